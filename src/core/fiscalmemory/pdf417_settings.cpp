#include "core/fiscalmemory/pdf417_settings.h"

#include <cctype>

#include "core/common/ini_file.h"

namespace tervane {
namespace {

constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

const char* const kBaudRateTexts[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
const char* const kByteLengthTexts[] = {"5", "6", "7", "8"};
const char* const kParityTexts[] = {"Nenhuma", "Par", "\xCDmpar"};
const char* const kStopBitsTexts[] = {"1", "1,5", "2"};
const char* const kHandshakeTexts[] = {"Nenhum", "Hardware"};
const char* const kPortNameTexts[] = {"COM1:", "COM2:", "COM3:", "COM4:"};

// A whole decimal number, blanks around it allowed; false for anything else.
bool ParseInt(const std::string& text, int* value) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t first = i;
  long long n = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    n = n * 10 + (text[i++] - '0');
    if (n > 1000000) return false;
  }
  if (i == first) return false;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i != text.size()) return false;
  *value = static_cast<int>(negative ? -n : n);
  return true;
}

template <std::size_t N>
const char* const* List(const char* const (&texts)[N], int* count) {
  if (count != nullptr) *count = static_cast<int>(N);
  return texts;
}

}  // namespace

bool IniScannerProfile::ReadValue(const std::string& key, std::string* value) const {
  return ReadIniValue(path_, kScannerSection, key, value);
}

bool WriteScannerProfile(const std::string& path, const ScannerProfileValues& values, std::string* error) {
  return WriteIniValues(path, kScannerSection,
                        {{kScannerPortNameKey, values.portName},
                         {kScannerBaudRateKey, std::to_string(values.baudRate)},
                         {kScannerByteLengthKey, std::to_string(values.byteLength)},
                         {kScannerParityKey, std::to_string(values.parity)},
                         {kScannerStopBitsKey, std::to_string(values.stopBits)},
                         {kScannerHandshakeKey, std::to_string(values.handshake)}},
                        error);
}

ScannerProfileValues ReadScannerProfile(const ScannerProfileSource& source, bool forDialog) {
  ScannerProfileValues values;
  values.handshake = forDialog ? 1 : 0;
  std::string text;
  if (source.ReadValue(kScannerPortNameKey, &text)) values.portName = text;
  auto readInt = [&](const char* key, int* target) {
    std::string t;
    int n = 0;
    if (source.ReadValue(key, &t) && ParseInt(t, &n)) *target = n;
  };
  readInt(kScannerBaudRateKey, &values.baudRate);
  readInt(kScannerByteLengthKey, &values.byteLength);
  readInt(kScannerParityKey, &values.parity);
  readInt(kScannerStopBitsKey, &values.stopBits);
  readInt(kScannerHandshakeKey, &values.handshake);
  return values;
}

ScannerLineSettings ToLineSettings(const ScannerProfileValues& values) {
  ScannerLineSettings line;
  line.portName = values.portName;
  line.baudRate = values.baudRate >= 0 && values.baudRate < 8 ? kBaudRates[values.baudRate] : 1200;
  line.dataBits = values.byteLength >= 0 && values.byteLength < 4 ? 5 + values.byteLength : 8;
  line.parity = values.parity == 1   ? ScannerParity::kEven
                : values.parity == 2 ? ScannerParity::kOdd
                                     : ScannerParity::kNone;
  line.stopBits = values.stopBits == 1   ? ScannerStopBits::kOneAndHalf
                  : values.stopBits == 2 ? ScannerStopBits::kTwo
                                         : ScannerStopBits::kOne;
  line.hardwareHandshake = values.handshake == 1;
  return line;
}

const char* const* ScannerBaudRateTexts(int* count) { return List(kBaudRateTexts, count); }
const char* const* ScannerByteLengthTexts(int* count) { return List(kByteLengthTexts, count); }
const char* const* ScannerParityTexts(int* count) { return List(kParityTexts, count); }
const char* const* ScannerStopBitsTexts(int* count) { return List(kStopBitsTexts, count); }
const char* const* ScannerHandshakeTexts(int* count) { return List(kHandshakeTexts, count); }
const char* const* ScannerPortNameTexts(int* count) { return List(kPortNameTexts, count); }

}  // namespace tervane
