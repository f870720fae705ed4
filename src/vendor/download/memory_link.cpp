#include "vendor/download/memory_link.h"

#include <algorithm>

namespace tervane::vendor {

namespace {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr char kEsc = 0x1B;
constexpr int kSerialBaud = 9600;
constexpr int kFilePollMs = 20;

}  // namespace

std::string DownloadFrame(const std::string& body) {
  const std::string withEsc = std::string(1, kEsc) + body;
  const std::size_t following = withEsc.size() + 2;
  unsigned sum = 0;
  for (unsigned char c : withEsc) sum += c;
  std::string frame;
  frame.push_back(static_cast<char>(kStx));
  frame.push_back(static_cast<char>(following & 0xFF));
  frame.push_back(static_cast<char>((following >> 8) & 0xFF));
  frame += withEsc;
  frame.push_back(static_cast<char>(sum & 0xFF));
  frame.push_back(static_cast<char>((sum >> 8) & 0xFF));
  return frame;
}

bool MemoryLink::Open(const std::string& portName) {
  Close();
  port_ = ports_.Create(portName);
  files_ = portName == "FILE";
  if (!port_ || !port_->Open(files_ ? 0 : kSerialBaud)) {
    Close();
    return false;
  }
  port_->Purge();
  return true;
}

void MemoryLink::Close() {
  if (port_) port_->Close();
  port_.reset();
}

bool MemoryLink::SendFrame(const std::string& frame, int expectedReply) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.data());
  const int length = static_cast<int>(frame.size());
  if (files_) {
    port_->Purge();
    std::uint32_t written = 0;
    return port_->WriteRequest(bytes, length, &written) && written == frame.size();
  }
  return port_->Send(bytes, length, expectedReply);
}

bool MemoryLink::ReadExactly(std::uint8_t* buffer, int length, int timeoutMs) {
  if (!files_) return port_->Receive(buffer, length, timeoutMs);
  // Exchange files: take what the peer has written until the reply is complete.
  const std::int64_t deadline = clock_.MonotonicMs() + timeoutMs;
  int got = 0;
  while (got < length) {
    std::uint32_t read = 0;
    if (!port_->ReadReply(buffer + got, length - got, &read)) return false;
    got += static_cast<int>(read);
    if (got < length) {
      if (clock_.MonotonicMs() >= deadline) return false;
      if (read == 0) clock_.SleepMs(kFilePollMs);
    }
  }
  return true;
}

void MemoryLink::DrainAndPause() {
  if (files_) {
    port_->Purge();
  } else {
    const std::int64_t giveUp = clock_.MonotonicMs() + kLongestDrainMs;
    std::uint8_t byte = 0;
    while (port_->Receive(&byte, 1, kQuietMs) && clock_.MonotonicMs() < giveUp) {
    }
  }
  clock_.SleepMs(kRetryPauseMs);
}

LinkResult MemoryLink::Exchange(const std::string& body, int dataSize, Reply& reply) {
  reply = Reply{};
  if (!port_) return LinkResult::kNoAnswer;
  const int expected = 1 + dataSize + 2;
  if (!SendFrame(DownloadFrame(body), expected)) return LinkResult::kNoAnswer;
  std::uint8_t first = 0;
  if (!ReadExactly(&first, 1, kReplyTimeoutMs)) return LinkResult::kNoAnswer;
  if (first == kNak) return LinkResult::kNak;
  if (first != kAck) {
    DrainAndPause();
    return LinkResult::kGarbled;
  }
  const int restSize = dataSize + 2;
  std::string rest(static_cast<std::size_t>(restSize), '\0');
  auto* into = reinterpret_cast<std::uint8_t*>(rest.data());
  for (int at = 0; at < restSize; at += kReplyPart) {
    if (!ReadExactly(into + at, std::min(kReplyPart, restSize - at), kReplyGapMs)) {
      DrainAndPause();
      return LinkResult::kShort;
    }
  }
  reply.data = rest.substr(0, static_cast<std::size_t>(dataSize));
  reply.st1 = static_cast<std::uint8_t>(rest[static_cast<std::size_t>(dataSize)]);
  reply.st2 = static_cast<std::uint8_t>(rest[static_cast<std::size_t>(dataSize) + 1]);
  return LinkResult::kOk;
}

}  // namespace tervane::vendor
