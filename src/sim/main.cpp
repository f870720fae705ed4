// tervane-sim: an emulated fiscal printer on a pseudo-terminal, a TCP port and a folder
// of exchange files, so the workbench and its tools run with no printer attached.
#include <cctype>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>

#include "core/app/model_table.h"
#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/common/clock.h"
#include "core/common/version.h"
#include "sim/command_handler.h"
#include "sim/detail_tape.h"
#include "sim/fault_injector.h"
#include "sim/history.h"
#include "sim/printer_state.h"
#include "sim/replay_book.h"
#include "sim/sim_server.h"

namespace {

const char* kDescription =
    "tervane-sim: a simulated fiscal printer (ECF) for the Tervane workbench.\n"
    "It answers the framed printer protocol (STX, length, ESC/FS, command, parameters,\n"
    "16-bit sum) on any combination of three faces, and runs until SIGINT or SIGTERM,\n"
    "then removes what it created.";

const char* kFooter = R"(Faces (at least one; each prints one line on standard output when ready):
  --pty               a pseudo-terminal; prints "pty /dev/pts/N". Open the slave like a
                      serial port. Clients may close and reopen it at will.
  --tcp PORT          the network bridge on 127.0.0.1; prints "tcp 127.0.0.1:PORT".
                      Each request is a frame followed by two bytes (little-endian) with
                      the reply length the client expects, FFFFh when variable; the
                      reply comes back raw. One connection per command, or many.
  --files DIR         the exchange files; prints "files DIR". A frame appended to
                      DIR/comando.dat is taken (the file is removed) and answered by
                      appending the reply to DIR/retorno.dat in one write. DIR is
                      created when missing; retorno.dat is removed at exit when it did
                      not exist at start, DIR when it was created and is empty.

Printer:
  Knows every command of the shipped catalogue by itself. "35 20" answers 55h in
  normal mode and 'I' in technical intervention; "35 60" the brand, the --model
  identifier padded to 20 characters, and "ECF-IF". Owner data, clock, cliche, tax
  rates and their ISS binding, totalizer names, payment methods and option switches
  are kept while it runs and read back by the query commands. Commands of the older
  models (ZK-110 A/AR/B/BR, ZK-140 B: "35 0", "35 2", "35 25", "126") and of the
  newer ones ("35 40", "35 42".."35 44", "35 70", "35 48", "95", GPRS) are unknown on
  the other group; an unknown --model has them all. Sales follow the fiscal day: a
  coupon must be opened, sold, totalized, paid and closed; an owner must be
  programmed first; after a Z reduction sales wait for the next day, and a day left
  unreduced must be reduced before the next sale.

Memories:
  Every document printed goes to the detail tape (COO, date and time, printed lines),
  with markers for power failures and user changes; every Z reduction and user change
  to the fiscal memory. "80 110" opens a download of the .mf, .mfd, .bin, .mpk, .mfk,
  .sbk or .pub file (signed with the simulator's own RSA key), "80 111" hands it out
  in 2048-byte blocks with a CRC-16 each, "80 112" closes it (docs/memory-downloads.md).
  --history N seeds N days of activity before today; --power-failure starts the
  printer as back from a power loss (a marker on the tape).

Replies:
  A frame with a bad length or sum gets NAK (15h); a frame left unfinished for a
  second gets NAK too. A good one gets ACK (06h), the
  command's data, ST1, ST2, and, when the frame used 1Ch instead of 1Bh, the extended
  code (two bytes, low first). Open replies: status block, text, 03h ("35 55",
  "80 70", and "8" with R/r as last parameter byte); NUL-ended replies ("35 56"):
  ACK ST1 ST2, text, 00h, never an extended code. GPRS commands ("80 80", "80 81",
  "80 82") answer 06h, a kind byte and its data, ST1, ST2 [ext]; with --gprs busy they
  answer 06h 04h, two bytes, a text and 00h. An unknown command gets ST1 bit 2 and
  extended code 1; programming commands outside technical intervention ST2 bit 0 and
  code 59; sale refusals their own codes (7 CF ABERTO, 8 CF NAO ABERTO, ...). Texts
  come in code page 850. With --paper low every reply carries ST1 bit 6; with
  --paper out ST1 bit 7, and printing commands are refused (code 11).
  Programming as a printer checks it: the owner-data command with a password other
  than --password is refused (158 SENHA CNPJ INVALIDA), and once an owner is in place
  and the day has sales (62); a clock set before the last Z reduction is refused (112);
  fifty totalizer names are kept, unnamed ones read as blanks.

Faults (--fault KIND[:RATE], repeatable; RATE is a probability per command, 1 when
left out; the first listed kind that fires wins; --seed makes the pattern repeat):
  nak        the command is not executed; the reply is 15h alone
  silence    the command is not executed; nothing is sent
  garbage    executed; the reply is replaced by as many random bytes
  truncate   executed; only a random leading part of the reply is sent
  delay      executed; the reply is held back --fault-delay milliseconds
  hangup     not executed; a TCP client is disconnected, the pty is replaced by a new
             one (a new "pty" line is printed and --link follows it), the file face
             stays silent

Pacing: --baud N sends replies at N bits per second, 11 bits per byte, scheduled on
a monotonic clock (the file face writes each reply whole once its time has come).

Graphic header (logo): "1C 3E 41" takes the packets of an upload (packet number,
  packet count, up to 880 data bytes) in order, "1C 3E 42" confirms the complete
  upload when its two bytes name the data's CRC-16/KERMIT (CRC mod 255, CRC / 255).
  Both need technical intervention (code 59). Refusals: 210 no free logo slot
  (--logo-slots, default 8), 211 nothing complete to confirm, 213 CRC mismatch,
  214 packet out of order. --dump-logo FILE writes each confirmed logo as a PNG.

Catalogue: --workdir DIR reads DIR/comandos.xml; commands it names that the printer
does not know by itself are answered with their declared reply size and COMANDO OK,
and their parameter bytes are checked against the catalogue's layout.

Replay: --replay FILE answers every frame recorded in a transcript (tervane-cli
monitor, send or sequence run with --record) with the reply recorded for the same
bytes: the first time with the first reply recorded for them, then the next, and
the last one again once they are used up. Frames not in the transcript are answered
by the printer's own rules; recorded replies do not change the printer's state.)";

int ParsePaper(const std::string& text, tervane::sim::PaperState* paper) {
  if (text == "ok") *paper = tervane::sim::PaperState::kOk;
  else if (text == "low") *paper = tervane::sim::PaperState::kLow;
  else if (text == "out") *paper = tervane::sim::PaperState::kOut;
  else return -1;
  return 0;
}

// Twenty hexadecimal digits into the ten bytes a printer compares.
bool ParsePassword(const std::string& text, std::string* bytes) {
  if (text.size() != 20) return false;
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const std::string pair = text.substr(i, 2);
    if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !std::isxdigit(static_cast<unsigned char>(pair[1]))) {
      return false;
    }
    out += static_cast<char>(std::stoi(pair, nullptr, 16));
  }
  *bytes = out;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tervane;
  using namespace tervane::sim;

  CLI::App app{kDescription, "tervane-sim"};
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("tervane-sim ") + tervane::kVersion, "Print the version and exit");
  ServerOptions server;
  std::string model = "ZT-300 A";
  std::string brand = "KELO";
  std::string serial;
  std::string password;
  bool intervention = false;
  std::string paper = "ok";
  std::string gprs = "on";
  int gprsSignal = 21;
  std::string workdir;
  std::vector<std::string> faultTexts;
  std::uint64_t seed = 0;
  bool seedGiven = false;
  int faultDelayMs = 3000;

  app.add_flag("--pty", server.pty, "Serve on a new pseudo-terminal");
  app.add_option("--link", server.link, "Also make PATH a symbolic link to the pty's slave")->type_name("PATH");
  app.add_option("--tcp", server.tcpPort, "Listen on 127.0.0.1:PORT (0 picks a free port)")
      ->type_name("PORT")
      ->check(CLI::Range(0, 65535));
  app.add_option("--files", server.filesDir, "Serve DIR/comando.dat -> DIR/retorno.dat")->type_name("DIR");
  app.add_option("--model", model, "Model identifier reported by \"35 60\" (default ZT-300 A); any "
                                   "name of the model table, or another text of up to 20 characters")
      ->type_name("NAME");
  app.add_option("--brand", brand, "Brand reported by \"35 60\" (default KELO)")->type_name("TEXT");
  app.add_option("--serial", serial, "Serial number (default TV0100000000123)")->type_name("TEXT");
  app.add_option("--password", password,
                 "Intervention password the owner-data command must carry, 20 hexadecimal digits (default "
                 "C3C3C3C3C3C3C3C3C3C3)")
      ->type_name("HEX");
  app.add_flag("--intervention", intervention,
               "Start in technical intervention: programming allowed, sales refused");
  app.add_option("--paper", paper, "Paper sensor: ok, low or out (default ok)")->type_name("STATE");
  app.add_option("--gprs", gprs, "GPRS module: on, off or busy (default on)")->type_name("STATE");
  app.add_option("--gprs-signal", gprsSignal, "Signal level reported by \"80 81\" (default 21)")
      ->check(CLI::Range(0, 65535));
  app.add_option("--workdir", workdir, "Learn further commands from DIR/comandos.xml")->type_name("DIR");
  app.add_option("--baud", server.baud, "Pace replies at N bits/s, 11 bits per byte (0: unpaced)")
      ->type_name("N")
      ->check(CLI::Range(0L, 10000000L));
  app.add_option("--fault", faultTexts, "Inject KIND[:RATE] (repeatable; see below)")->type_name("KIND[:RATE]");
  app.add_option("--seed", seed, "Seed of the fault draws (default: a random seed, shown with --verbose)")
      ->type_name("N");
  app.add_option("--fault-delay", faultDelayMs, "Milliseconds a delay fault holds a reply (default 3000)")
      ->type_name("MS")
      ->check(CLI::Range(0, 600000));
  std::string dumpLogo;
  int logoSlots = 8;
  app.add_option("--dump-logo", dumpLogo, "Write each confirmed logo to FILE as a PNG")->type_name("FILE");
  app.add_option("--logo-slots", logoSlots, "Logos the printer can still keep (default 8)")
      ->check(CLI::Range(0, 1000));
  int historyDays = 0;
  bool powerFailure = false;
  app.add_flag("--power-failure", powerFailure,
               "Start as back from a power failure: the detail tape records the marker");
  int hangupAtBlock = -1;
  app.add_option("--history", historyDays,
                 "Seed N days of activity before today (sales, vouchers, reports, readings, one Z a day)")
      ->type_name("N")
      ->check(CLI::Range(0, 3650));
  app.add_option("--hangup-at-block", hangupAtBlock,
                 "Drop the link when block N of a memory download is asked for (tests)")
      ->type_name("N");
  std::string replay;
  app.add_option("--replay", replay,
                 "Answer the frames recorded in a transcript (JSON Lines of tervane-cli --record) with their "
                 "recorded replies, in order for repeated frames; other frames by the printer's own rules")
      ->type_name("FILE");
  app.add_flag("--verbose", server.verbose, "Trace frames, replies and faults on standard error");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version end with 0; every usage error with 1.
    return app.exit(e) == 0 ? 0 : 1;
  }
  seedGiven = app.count("--seed") > 0;

  auto fail = [](const std::string& text) {
    std::cerr << "tervane-sim: " << text << '\n';
    return 2;
  };
  if (!server.pty && server.tcpPort < 0 && server.filesDir.empty()) {
    return fail("choose at least one face: --pty, --tcp PORT or --files DIR (see --help)");
  }
  if (!server.link.empty() && !server.pty) return fail("--link needs --pty");

  PrinterState state;
  const std::string modelName = Utf8ToCp1252Lossy(model);
  if (modelName.empty() || modelName.size() > 20) return fail("--model takes 1 to 20 characters");
  state.model = modelName;
  state.modelMask = ModelMaskFor(modelName);
  state.brand = Utf8ToCp1252Lossy(brand);
  if (!serial.empty()) state.serial = Utf8ToCp1252Lossy(serial);
  state.intervention = intervention;
  if (!password.empty()) {
    if (!ParsePassword(password, &state.interventionPassword)) return fail("--password takes 20 hexadecimal digits");
  }
  state.gprsSignal = gprsSignal;
  state.logo.slotsFree = logoSlots;
  if (ParsePaper(paper, &state.paper) != 0) return fail("--paper takes ok, low or out");
  if (gprs == "on") state.gprs = GprsState::kOn;
  else if (gprs == "off") state.gprs = GprsState::kOff;
  else if (gprs == "busy") state.gprs = GprsState::kBusy;
  else return fail("--gprs takes on, off or busy");

  state.memories.basicSoftware = MakeBasicSoftwareImage(state.model, state.firmware);
  state.memories.hangupAtBlock = hangupAtBlock;
  if (historyDays > 0) {
    const int documents = SeedHistory(state, historyDays);
    if (server.verbose) std::cerr << "tervane-sim: " << historyDays << " days of history, " << documents << " documents\n";
  }
  if (powerFailure) RecordPowerFailure(state, SystemClock().LocalNow());

  std::vector<FaultRule> rules;
  for (const std::string& text : faultTexts) {
    FaultRule rule;
    std::string error;
    if (!ParseFaultRule(text, &rule, &error)) return fail(error);
    rules.push_back(rule);
  }
  if (!seedGiven) seed = std::random_device{}();
  FaultInjector faults(rules, seed, faultDelayMs);

  CommandHandler handler(state, SystemClock());
  if (!workdir.empty()) {
    CommandCatalogue catalogue;
    CatalogueLoadResult result;
    if (LoadCatalogue(workdir, catalogue, &result) != 0) {
      return fail("cannot load " + workdir + "/comandos.xml: " + result.description);
    }
    const int learned = handler.Learn(catalogue);
    if (server.verbose) std::cerr << "tervane-sim: learned " << learned << " commands from the catalogue\n";
  }
  handler.onLogoKept = [&handler, &dumpLogo, &server] {
    const DecodedLogo logo = DecodeLogo(handler.State().logo.kept);
    if (server.verbose) {
      std::cerr << "tervane-sim: logo kept, " << handler.State().logo.kept.size() << " bytes, " << logo.height
                << " rows\n";
      for (const std::string& line : logo.lines) std::cerr << "tervane-sim:   |" << Cp1252ToUtf8(line) << "|\n";
    }
    if (dumpLogo.empty()) return;
    std::string error;
    if (!WriteLogoPng(logo, dumpLogo, &error)) std::cerr << "tervane-sim: " << error << '\n';
  };
  ReplayBook replayBook;
  if (!replay.empty()) {
    std::string error;
    int skipped = 0;
    if (!replayBook.Load(replay, &error, &skipped)) return fail(error);
    if (skipped > 0) std::cerr << "tervane-sim: " << replay << ": " << skipped << " lines skipped (not transcript lines)\n";
    if (server.verbose) std::cerr << "tervane-sim: replaying " << replayBook.Size() << " recorded replies\n";
    handler.recordedReply = [&replayBook](const Bytes& frame, Bytes* reply) { return replayBook.Answer(frame, reply); };
  }
  if (server.verbose && !rules.empty()) std::cerr << "tervane-sim: fault seed " << seed << '\n';

  // Stop signals arrive through a descriptor the loop watches, so cleanup always runs
  // on the loop's own thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) return fail("cannot watch for stop signals");
  std::signal(SIGPIPE, SIG_IGN);

  SimServer simServer(handler, faults, server, std::cout, &std::cerr);
  std::string error;
  if (!simServer.Start(&error)) {
    std::cerr << "tervane-sim: " << error << '\n';
    return 1;
  }
  const int status = simServer.Run(stopFd);
  ::close(stopFd);
  return status;
}
