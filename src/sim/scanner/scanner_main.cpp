// tervane-scanner: a simulated PDF-417 hand scanner. It serves the symbols of a set on a
// pseudo-terminal, one read symbol at a time, paced at the chosen line speed, in the
// chosen order, with repeats, missing symbols or hostile symbols on request. It prints
// the pseudo-terminal's path on its first output line, waits for a reader to open it,
// sends, and ends when the reader closes the line (or after --linger-ms).
#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/common/atomic_file.h"
#include "core/common/version.h"
#include "core/fiscalmemory/pdf417_capture.h"

namespace {

using Symbol = std::vector<std::uint8_t>;

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// True while nobody has the slave side open: the master then reports a hang-up.
bool SlaveClosed(int master) {
  pollfd p{master, 0, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

// Writes `bytes` at the pace of the line: each character takes 1 start bit, the data
// bits, the parity bit and the stop bits.
bool SendPaced(int master, const Symbol& bytes, int baud, int bitsPerChar) {
  constexpr std::size_t kChunk = 32;
  const double msPerChar = 1000.0 * bitsPerChar / baud;
  for (std::size_t i = 0; i < bytes.size(); i += kChunk) {
    const std::size_t n = std::min(kChunk, bytes.size() - i);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(master, bytes.data() + i + done, n - done);
      if (w < 0 && (errno == EINTR || errno == EAGAIN)) {
        SleepMs(1);
        continue;
      }
      if (w <= 0) return false;
      done += static_cast<std::size_t>(w);
    }
    SleepMs(static_cast<int>(msPerChar * n));
  }
  return true;
}

Symbol Header(std::uint32_t total, std::uint32_t offset, std::size_t dataBytes) {
  Symbol s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<std::uint8_t>(total >> (8 * i)));
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<std::uint8_t>(offset >> (8 * i)));
  for (std::size_t i = 0; i < dataBytes; ++i) s.push_back(static_cast<std::uint8_t>(0x30 + i % 10));
  s.push_back('\r');
  s.push_back('\n');
  return s;
}

// Symbols no printer prints, to see the capture refuse them.
bool HostileSymbol(const std::string& kind, std::uint32_t setLength, Symbol* out) {
  if (kind == "zero-length") *out = Header(0, 0, 668);
  else if (kind == "huge-length") *out = Header(0xFFFFFFF0u, 0, 668);
  else if (kind == "beyond") *out = Header(setLength, setLength + 668, 668);
  else if (kind == "oversize") *out = Header(setLength, 0, 1500);
  else if (kind == "short") *out = Symbol{1, 2, 3};
  else return false;
  return true;
}

std::vector<int> ParseOrder(const std::string& text, bool* ok) {
  std::vector<int> order;
  std::stringstream in(text);
  std::string item;
  *ok = true;
  while (std::getline(in, item, ',')) {
    char* end = nullptr;
    const long n = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || n < 1) {
      *ok = false;
      return {};
    }
    order.push_back(static_cast<int>(n));
  }
  return order;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "tervane-scanner: a simulated PDF-417 hand scanner on a pseudo-terminal. Serves the symbols of a "
      "set made from an .mfd file built from symbols, an .rsa file, any other file taken as the set's "
      "data, or generated data.",
      "tervane-scanner");
  std::string setFile;
  std::size_t generate = 0;
  unsigned seed = 1;
  std::string orderText;
  std::vector<int> repeats;
  std::vector<int> missing;
  std::vector<std::string> hostile;
  int baud = 115200;
  int dataBits = 8;
  std::string parity = "none";
  std::string stopBits = "1";
  int gapMs = 2000;
  int openDelayMs = 300;
  int lingerMs = 0;
  app.set_version_flag("--version", std::string("tervane-scanner ") + tervane::kVersion, "Print the version and exit");
  app.add_option("--set", setFile, "The set: FILE.mfd (its symbols' data), FILE.rsa or any file (its bytes)");
  app.add_option("--generate", generate, "Generate a set of this many data bytes instead")->check(CLI::Range(1, 1000000));
  app.add_option("--seed", seed, "Seed of the generated data (default 1)");
  app.add_option("--order", orderText, "Symbols to send, 1-based, comma separated, repeats allowed (default: all in order)");
  app.add_option("--repeat", repeats, "Send this symbol once more right after it (may be given more than once)");
  app.add_option("--missing", missing, "Leave this symbol out (may be given more than once)");
  app.add_option("--hostile", hostile,
                 "Send a symbol no printer prints before the set: zero-length, huge-length, beyond, oversize, short")
      ->check(CLI::IsMember({"zero-length", "huge-length", "beyond", "oversize", "short"}));
  app.add_option("--baud", baud, "Line speed, also the pace of sending (default 115200)")->check(CLI::PositiveNumber);
  app.add_option("--data-bits", dataBits, "Data bits 5-8 (default 8)")->check(CLI::Range(5, 8));
  app.add_option("--parity", parity, "none, even or odd (default none)")->check(CLI::IsMember({"none", "even", "odd"}));
  app.add_option("--stop-bits", stopBits, "1, 1.5 or 2 (default 1)")->check(CLI::IsMember({"1", "1.5", "2"}));
  app.add_option("--gap-ms", gapMs, "Pause between two symbols, as a person scanning (default 2000)");
  app.add_option("--open-delay-ms", openDelayMs, "Pause after the reader opens the line (default 300)");
  app.add_option("--linger-ms", lingerMs, "End this long after the last symbol instead of when the reader closes");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version end with 0; every usage error with 1.
    return app.exit(e) == 0 ? 0 : 1;
  }

  std::string data;
  if (!setFile.empty()) {
    std::string bytes, error;
    if (!tervane::ReadWholeFile(setFile, bytes, &error)) {
      std::cerr << "tervane-scanner: cannot read " << setFile << ": " << error << "\n";
      return 1;
    }
    const bool mfd = setFile.size() > 4 && (setFile.compare(setFile.size() - 4, 4, ".mfd") == 0 ||
                                            setFile.compare(setFile.size() - 4, 4, ".MFD") == 0);
    if (mfd && !tervane::Pdf417DataFromMfdFile(bytes, &data)) {
      std::cerr << "tervane-scanner: " << setFile << " is not an MFD file built from symbols\n";
      return 1;
    }
    if (!mfd) data = bytes;
  } else if (generate > 0) {
    std::mt19937 random(seed);
    data.resize(generate);
    for (char& c : data) c = static_cast<char>(random() % 255 + 1);
  } else {
    std::cerr << "tervane-scanner: give --set FILE or --generate BYTES\n";
    return 1;
  }
  const auto symbols = tervane::SplitIntoPdf417Symbols(data);
  if (symbols.empty()) {
    std::cerr << "tervane-scanner: the set is empty or too large\n";
    return 1;
  }

  std::vector<int> order;
  if (!orderText.empty()) {
    bool ok = false;
    order = ParseOrder(orderText, &ok);
    if (!ok) {
      std::cerr << "tervane-scanner: --order takes 1-based numbers separated by commas\n";
      return 1;
    }
  } else {
    for (std::size_t i = 1; i <= symbols.size(); ++i) order.push_back(static_cast<int>(i));
  }
  std::vector<Symbol> plan;
  for (const std::string& kind : hostile) {
    Symbol s;
    HostileSymbol(kind, static_cast<std::uint32_t>(data.size()), &s);
    plan.push_back(std::move(s));
  }
  for (int index : order) {
    if (index > static_cast<int>(symbols.size())) {
      std::cerr << "tervane-scanner: the set has " << symbols.size() << " symbols, not " << index << "\n";
      return 1;
    }
    if (std::find(missing.begin(), missing.end(), index) != missing.end()) continue;
    plan.push_back(symbols[index - 1]);
    for (int r : repeats) {
      if (r == index) plan.push_back(symbols[index - 1]);
    }
  }

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::cerr << "tervane-scanner: cannot make a pseudo-terminal: " << std::strerror(errno) << "\n";
    return 1;
  }
  const char* slave = ::ptsname(master);
  // The slave side gets the line settings in raw mode, for a reader that keeps them. It
  // is opened and closed once here: only then does the master report a hang-up until
  // the reader opens it, which is how the start is noticed.
  const int probe = ::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios line{};
  if (probe >= 0 && ::tcgetattr(probe, &line) == 0) {
    ::cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    line.c_cflag |= dataBits == 5 ? CS5 : dataBits == 6 ? CS6 : dataBits == 7 ? CS7 : CS8;
    if (parity != "none") line.c_cflag |= PARENB | (parity == "odd" ? PARODD : 0);
    if (stopBits != "1") line.c_cflag |= CSTOPB;
    ::tcsetattr(probe, TCSANOW, &line);
  }
  if (probe >= 0) ::close(probe);
  ::signal(SIGPIPE, SIG_IGN);
  std::cout << slave << std::endl;
  std::cerr << "tervane-scanner: " << plan.size() << " symbol(s) of a " << symbols.size() << "-symbol set ("
            << data.size() << " bytes) on " << slave << "\n";

  while (SlaveClosed(master)) SleepMs(20);
  SleepMs(openDelayMs);
  const int bitsPerChar = 1 + dataBits + (parity == "none" ? 0 : 1) + (stopBits == "1" ? 1 : 2);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    if (i > 0) SleepMs(gapMs);
    if (SlaveClosed(master)) {
      std::cerr << "tervane-scanner: the reader closed the line\n";
      ::close(master);
      return 0;
    }
    if (!SendPaced(master, plan[i], baud, bitsPerChar)) {
      std::cerr << "tervane-scanner: the line broke\n";
      ::close(master);
      return 1;
    }
    std::cerr << "tervane-scanner: sent symbol " << (i + 1) << "/" << plan.size() << "\n";
  }
  if (lingerMs > 0) {
    SleepMs(lingerMs);
  } else {
    while (!SlaveClosed(master)) SleepMs(50);
  }
  ::close(master);
  return 0;
}
