// The public-key file (.pub): Windows-1252 text, lines ended by CR LF.
//
//   line 1  the key's modulus, 256 upper-case hexadecimal digits (1024 bits; the
//           public exponent is always 65537)
//   line 2  "KELO ZT-300 A N/S TV0100000000123": maker, model and serial number
//   line 3  "Fecha: 07/12/2026": the date the file was made
//
// The key print reads these three lines as they are: line 1 printed in groups of 32
// digits, lines 1 to 3 joined in the barcode, line 3 with "Fecha" read as "Data".
#pragma once

#include <string>
#include <string_view>

#include "vendor/formats/file_status.h"
#include "vendor/formats/memory_time.h"

namespace tervane::vendor {

struct PublicKeyFile {
  std::string modulus;  // 128 bytes, big-endian
  std::string brand;
  std::string model;
  std::string serial;
  MemoryTime date;      // only the date part is written
};

// The file's text (three lines, each ended by CR LF).
std::string PublicKeyFileText(const PublicKeyFile& key);
// Line 2 and line 3 alone, as PublicKeyFileText writes them.
std::string PublicKeyIdentityLine(const PublicKeyFile& key);
std::string PublicKeyDateLine(const MemoryTime& date);

// Reads the modulus from line 1 (256 hexadecimal digits of either case, the first not
// below 8 so the key has 1024 bits); lines 2 and 3 are read back into `lines2and3` when
// given, and only need to be present. Line ends may be CR LF or LF. Fails with
// kWrongFormat when line 1 is not such a key, kTruncated when a line is missing.
FileReadResult ReadPublicKeyText(std::string_view text, std::string& modulus,
                                 std::string* line2 = nullptr, std::string* line3 = nullptr);
FileReadResult ReadPublicKeyFile(const std::string& path, std::string& modulus,
                                 std::string* line2 = nullptr, std::string* line3 = nullptr);

}  // namespace tervane::vendor
