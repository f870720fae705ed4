#include "control/package_manager.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "control/logo_package.h"
#include "control/raster_encoder.h"
#include "core/common/frame_bytes.h"
#include "core/interpret/status_text.h"

namespace tervane {
namespace {

constexpr std::uint8_t kWakeUp[] = {0x02, 0x05, 0x00, 0x1B, 0x23, 0x00, 0x3E, 0x00};
constexpr int kWriteLimitMs = 3000;
constexpr int kWakeReadLimitMs = 800;
constexpr int kWakeReadBytes = 18;
constexpr int kPacketReplyLimitMs = 500;
constexpr int kConfirmReplyLimitMs = 10000;
constexpr int kReplyBytes = 5;

// How long `bytes` take to leave on the line (9600 baud, 10 bits a byte with start and
// stop bits), rounded up. A write returns once the bytes are queued in the driver, not
// when they have been sent; the printer can only answer a packet after its last byte
// arrived, so the reply's time limit starts after that.
int LineTimeMs(std::size_t bytes) { return static_cast<int>((bytes * 10 * 1000 + 9599) / 9600); }

std::atomic<std::uint16_t> g_logoCrc{0};

// The line's own per-call time-outs: 2 ms per byte plus 200 ms.
int CallWaitMs(int bytes, std::int64_t remaining) {
  const std::int64_t wait = std::min<std::int64_t>(2LL * bytes + 200, std::max<std::int64_t>(remaining, 0));
  return static_cast<int>(wait);
}

}  // namespace

std::uint16_t StoredLogoCrc() { return g_logoCrc.load(); }
void SetStoredLogoCrc(std::uint16_t crc) { g_logoCrc.store(crc); }

std::vector<std::uint8_t> ConfirmationFrame(std::uint16_t crc) {
  const std::uint8_t r = static_cast<std::uint8_t>(crc % 255);
  const std::uint8_t q = static_cast<std::uint8_t>((crc / 255) & 0xFF);
  const unsigned sum = 0x9Cu + r + q;
  return {0x02, 0x07, 0x00, 0x1C, 0x3E, 0x42, r, q, static_cast<std::uint8_t>(sum & 0xFF),
          static_cast<std::uint8_t>(sum >> 8)};
}

std::string LogoTextBlock(const std::string& line1, const std::string& line2, const std::string& line3,
                          const std::string& line4) {
  std::string block;
  block.reserve(kLogoTextBlock);
  for (const std::string* line : {&line1, &line2, &line3, &line4}) {
    block += line->substr(0, kLogoLineMax);
    block.append(kLogoLineMax - std::min(kLogoLineMax, line->size()), ' ');
  }
  return block;
}

std::string LogoErrorText(std::uint8_t code, LogoLanguage language) {
  switch (code) {
    case 0: return {};
    case 13: return LogoString(4, language);
    case 59: return LogoString(22, language);
    case 210: return LogoString(19, language);
    case 211: return LogoString(20, language);
    default: return LogoString(18, language) + ": " + std::to_string(code);
  }
}

PackageManager::PackageManager(LogoLine& line, Clock& clock, LogoMessageSink* messages, LogoLanguage language)
    : line_(line), clock_(clock), messages_(messages), language_(language) {}

bool PackageManager::OpenPort(const std::string& name) {
  line_.Close();
  return line_.Open(name);
}

void PackageManager::ClosePort() { line_.Close(); }

bool PackageManager::TimedWrite(const std::uint8_t* data, int size, int limitMs) {
  const std::int64_t deadline = clock_.MonotonicMs() + limitMs;
  int sent = 0;
  while (sent < size) {
    const std::int64_t remaining = deadline - clock_.MonotonicMs();
    if (remaining <= 0) return false;
    const int n = line_.WriteSome(data + sent, size - sent, CallWaitMs(size - sent, remaining));
    if (n < 0) {
      clock_.SleepMs(50);
      continue;
    }
    sent += n;
    if (sent < size) clock_.SleepMs(1);
  }
  return true;
}

bool PackageManager::TimedRead(std::uint8_t* buffer, int count, int limitMs, int* got) {
  const std::int64_t deadline = clock_.MonotonicMs() + limitMs;
  int have = 0;
  while (have < count) {
    const std::int64_t remaining = deadline - clock_.MonotonicMs();
    if (remaining <= 0) break;
    const int n = line_.ReadSome(buffer + have, count - have, CallWaitMs(count - have, remaining));
    if (n < 0) {
      clock_.SleepMs(50);
      continue;
    }
    have += n;
    if (n == 1 && buffer[0] == kNak) break;
    if (have < count) clock_.SleepMs(1);
  }
  if (got != nullptr) *got = have;
  return have == count;
}

PackageManager::ReplyOutcome PackageManager::ReadReply(int limitMs) {
  std::uint8_t reply[kReplyBytes] = {};
  int got = 0;
  if (!TimedRead(reply, kReplyBytes, limitMs, &got) || reply[0] != kAck) return ReplyOutcome::kFailed;
  if ((reply[2] & 0x01) != 0) {
    lastError_ = reply[3];
    refused_ = true;
    lastSt1_ = reply[1];
    lastSt2_ = reply[2];
    return ReplyOutcome::kPrinterError;
  }
  return ReplyOutcome::kAccepted;
}

int PackageManager::Upload(const MonoImage& picture, const std::string& line1, const std::string& line2,
                           const std::string& line3, const std::string& line4) {
  for (const std::string* line : {&line1, &line2, &line3, &line4}) {
    if (line->size() > kLogoLineMax) return kLogoInvalidText;
  }
  const std::string block = LogoTextBlock(line1, line2, line3, line4);
  std::vector<std::uint8_t> graphic;
  if (EncodeRaster(picture, &graphic) != kRasterOk) return kLogoGraphicTooLarge;
  std::vector<std::uint8_t> data(block.begin(), block.end());
  data.insert(data.end(), graphic.begin(), graphic.end());
  return UploadData(data);
}

int PackageManager::UploadData(const std::vector<std::uint8_t>& data) {
  lastError_ = 0;
  refused_ = false;
  SetStoredLogoCrc(0);
  if (!line_.IsOpen()) return kLogoFailed;

  // Wake the printer; what it answers does not matter.
  TimedWrite(kWakeUp, sizeof kWakeUp, kWriteLimitMs);
  std::uint8_t wakeReply[kWakeReadBytes];
  TimedRead(wakeReply, kWakeReadBytes, kWakeReadLimitMs, nullptr);
  line_.Purge();

  try {
    SetStoredLogoCrc(Crc16Kermit(data.data(), data.size()));
    if (data.size() > kLogoMaxData) throw LogoSizeError("PackageManagerConstructorSizeError");
    const std::size_t count = std::max<std::size_t>(1, (data.size() + kLogoPacketData - 1) / kLogoPacketData);
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t offset = k * kLogoPacketData;
      const std::size_t size = std::min(kLogoPacketData, data.size() - offset);
      const LogoPackage packet(static_cast<std::uint8_t>(k + 1), static_cast<std::uint8_t>(count),
                               data.data() + offset, size);
      if (!TimedWrite(packet.Data(), static_cast<int>(packet.Length()), kWriteLimitMs)) return kLogoFailed;
      switch (ReadReply(kPacketReplyLimitMs + LineTimeMs(packet.Length()))) {
        case ReplyOutcome::kAccepted: break;
        case ReplyOutcome::kFailed: return kLogoFailed;
        case ReplyOutcome::kPrinterError: return kLogoPrinterError;
      }
    }
  } catch (const LogoSizeError& error) {
    if (messages_ != nullptr) messages_->ShowError(error.what());
    return kLogoFailed;
  } catch (const std::bad_alloc&) {
    if (messages_ != nullptr) messages_->ShowError(LogoString(6, language_));
    return kLogoFailed;
  }
  return kLogoOk;
}

int PackageManager::Confirm() {
  lastError_ = 0;
  refused_ = false;
  if (!line_.IsOpen()) return kLogoFailed;
  const std::vector<std::uint8_t> frame = ConfirmationFrame(StoredLogoCrc());
  if (!TimedWrite(frame.data(), static_cast<int>(frame.size()), kWriteLimitMs)) return kLogoFailed;
  switch (ReadReply(kConfirmReplyLimitMs)) {
    case ReplyOutcome::kAccepted: return kLogoOk;
    case ReplyOutcome::kPrinterError: return kLogoPrinterError;
    case ReplyOutcome::kFailed: break;
  }
  return kLogoFailed;
}

std::string PackageManager::ErrorText() const {
  if (refused_ && lastError_ == 0) {
    // A refusal without a code: the status bytes are all there is to say why.
    std::string text = StatusText(lastSt1_, lastSt2_);
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.erase(0, 1);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text.empty() ? LogoString(18, language_) : text;
  }
  return LogoErrorText(lastError_, language_);
}

}  // namespace tervane
