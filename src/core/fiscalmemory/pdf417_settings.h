// The scanner's line settings, kept in the application profile's section "Scanner Port"
// as positions in the settings dialog's lists.
#pragma once

#include <string>

namespace tervane {

inline constexpr const char* kScannerSection = "Scanner Port";
inline constexpr const char* kScannerPortNameKey = "Port name";
inline constexpr const char* kScannerBaudRateKey = "Baud rate";
inline constexpr const char* kScannerByteLengthKey = "Byte length";
inline constexpr const char* kScannerParityKey = "Parity";
inline constexpr const char* kScannerStopBitsKey = "Stop bits";
inline constexpr const char* kScannerHandshakeKey = "Handshake";

enum class ScannerParity { kNone, kEven, kOdd };
enum class ScannerStopBits { kOne, kOneAndHalf, kTwo };

// The six profile values as stored: list positions (the port name is text).
struct ScannerProfileValues {
  std::string portName = "COM1:";
  int baudRate = 7;    // 115200
  int byteLength = 3;  // 8 data bits
  int parity = 0;      // none
  int stopBits = 0;    // 1
  int handshake = 0;   // none (the settings dialog shows 1 for a missing key)
};

// What the values mean for the line.
struct ScannerLineSettings {
  std::string portName = "COM1:";
  int baudRate = 115200;
  int dataBits = 8;
  ScannerParity parity = ScannerParity::kNone;
  ScannerStopBits stopBits = ScannerStopBits::kOne;
  bool hardwareHandshake = false;
};

// Where the profile values come from: the workbench and the command line read the
// profile's INI file, tests a map.
class ScannerProfileSource {
 public:
  virtual ~ScannerProfileSource() = default;
  // The value of `key` in section "Scanner Port"; false (value untouched) when missing.
  virtual bool ReadValue(const std::string& key, std::string* value) const = 0;
};

// The scanner section of an INI file, read with ReadIniValue (core/common/ini_file.h):
// names written plainly ("Port name") and as Qt's settings class writes them
// ("Port%20name" in "[Scanner%20Port]") both match.
class IniScannerProfile final : public ScannerProfileSource {
 public:
  explicit IniScannerProfile(std::string path) : path_(std::move(path)) {}
  bool ReadValue(const std::string& key, std::string* value) const override;

 private:
  std::string path_;
};

// Saves the six values in the scanner section of the INI file at `path` with
// WriteIniValues, as the settings dialog does; the file's other lines are kept. False
// (with `error` when given) when the file cannot be read or saved.
bool WriteScannerProfile(const std::string& path, const ScannerProfileValues& values,
                         std::string* error = nullptr);

// Reads the six values; each missing or non-numeric one takes its default. For the
// settings dialog (`forDialog`) a missing "Handshake" reads as 1, for a capture as 0.
// Never fails.
ScannerProfileValues ReadScannerProfile(const ScannerProfileSource& source, bool forDialog);

// Maps list positions to line settings: baud 0..7 = 1200, 2400, 4800, 9600, 19200,
// 38400, 57600, 115200 (any other: 1200); byte length 0..3 = 5..8 data bits (any other:
// 8); parity 1 even, 2 odd, anything else none; stop bits 1 = 1.5, 2 = 2, anything else
// 1; handshake 1 = hardware, anything else none.
ScannerLineSettings ToLineSettings(const ScannerProfileValues& values);

// The list texts of the settings dialog, Windows-1252, in position order.
const char* const* ScannerBaudRateTexts(int* count);
const char* const* ScannerByteLengthTexts(int* count);
const char* const* ScannerParityTexts(int* count);
const char* const* ScannerStopBitsTexts(int* count);
const char* const* ScannerHandshakeTexts(int* count);
const char* const* ScannerPortNameTexts(int* count);

}  // namespace tervane
