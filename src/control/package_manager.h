// The logo uploader: sends a composed logo (a 192-byte text block and the graphic
// stream) to the printer in acknowledged packets, and asks the printer to confirm and
// keep it, naming it by the CRC of what was sent.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/common/clock.h"
#include "control/logo_line.h"
#include "control/logo_strings.h"
#include "control/mono_image.h"

namespace tervane {

// Results of Upload and Confirm.
inline constexpr int kLogoOk = 1;
inline constexpr int kLogoFailed = 0;
inline constexpr int kLogoPrinterError = -1;
inline constexpr int kLogoGraphicTooLarge = -2;
inline constexpr int kLogoInvalidText = -3;
inline constexpr std::size_t kLogoLineMax = 48;

// Where the uploader shows its own error boxes (caption "VESTRAL", error icon).
class LogoMessageSink {
 public:
  virtual ~LogoMessageSink() = default;
  virtual void ShowError(const std::string& text) = 0;  // Windows-1252
};

// The CRC of the last uploaded data, kept for the whole process so that a later
// confirmation can name it; 0 before any upload.
std::uint16_t StoredLogoCrc();
void SetStoredLogoCrc(std::uint16_t crc);

// The 10-byte confirmation frame for a CRC: 02h 07h 00h 1Ch 3Eh 42h R Q and the sum
// 9Ch + R + Q low byte first, where R = CRC mod 255 and Q = CRC / 255 cut to 8 bits.
std::vector<std::uint8_t> ConfirmationFrame(std::uint16_t crc);

class PackageManager {
 public:
  // `line` is the port to drive (not owned); `messages` may be null (nothing shown).
  PackageManager(LogoLine& line, Clock& clock, LogoMessageSink* messages,
                 LogoLanguage language = UserLogoLanguage());
  ~PackageManager() { ClosePort(); }
  PackageManager(const PackageManager&) = delete;
  PackageManager& operator=(const PackageManager&) = delete;

  // Closes any open port, then opens and configures `name`. False when that fails.
  bool OpenPort(const std::string& name);
  void ClosePort();

  // Sends the picture and the four lines (Windows-1252, each at most 48 characters;
  // `line4` may be empty). Returns kLogoOk; kLogoInvalidText before anything is sent;
  // kLogoGraphicTooLarge when the graphic passes 12288 bytes, before anything is sent;
  // kLogoPrinterError when the printer refused a packet (ErrorText says why);
  // kLogoFailed for any other failure (no port, no or bad reply, too much data after the
  // wake-up, which is also shown through the message sink). The printer keeps what it
  // received before a failure.
  int Upload(const MonoImage& picture, const std::string& line1, const std::string& line2,
             const std::string& line3, const std::string& line4);

  // Sends ready-made data (text block and graphic stream) as Upload does from its
  // wake-up on. Same results, except the two checks of the composition.
  int UploadData(const std::vector<std::uint8_t>& data);

  // Asks the printer to keep the last uploaded logo. kLogoOk; kLogoPrinterError with
  // the printer's code in LastError; kLogoFailed on no, short or NAK reply, or no port.
  int Confirm();

  // The message for the last printer refusal (Windows-1252): the text of its error code,
  // or, when the printer flagged an error with code 0, what its status bytes say. Empty
  // when nothing was refused.
  std::string ErrorText() const;
  std::uint8_t LastError() const { return lastError_; }

  // Timed transfer: keeps writing until every byte went or `limitMs` passed. Sleeps
  // 1 ms after a good call and 50 ms after a failed one.
  bool TimedWrite(const std::uint8_t* data, int size, int limitMs);
  // Timed read of exactly `count` bytes within `limitMs`; stops at once when a single
  // byte came in one call and the reply so far starts with NAK. Returns the bytes read
  // in `got` (may be fewer than `count`); true only when all arrived.
  bool TimedRead(std::uint8_t* buffer, int count, int limitMs, int* got);

 private:
  enum class ReplyOutcome { kAccepted, kFailed, kPrinterError };
  ReplyOutcome ReadReply(int limitMs);

  LogoLine& line_;
  Clock& clock_;
  LogoMessageSink* messages_;
  LogoLanguage language_;
  std::uint8_t lastError_ = 0;
  bool refused_ = false;
  std::uint8_t lastSt1_ = 0;
  std::uint8_t lastSt2_ = 0;
};

// The text block: the four lines, each padded with spaces to 48 characters.
std::string LogoTextBlock(const std::string& line1, const std::string& line2, const std::string& line3,
                          const std::string& line4);

// The message for a printer error code in `language` (Windows-1252).
std::string LogoErrorText(std::uint8_t code, LogoLanguage language);

}  // namespace tervane
