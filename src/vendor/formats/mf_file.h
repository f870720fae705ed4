// The fiscal-memory file (.mf): the printer's permanent memory as downloaded.
//
//   "KMF" 01h                                  magic and version
//   the record stream (record_stream.h):
//     01h header       serial, brand, model, current user, CNPJ, IE, moment of download
//     02h user change  the owner number from then on, its CNPJ and IE, the moment, the CRZ
//                      and CRO current at the change
//     03h reduction    one per Z reduction: counters, moments, grand total and day totals
//     FFh end
//   the 128-byte signature of every byte before it (downloaded files)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vendor/formats/file_status.h"
#include "vendor/formats/memory_time.h"

namespace tervane::vendor {

inline constexpr char kMfMagic[] = "KMF\x01";
inline constexpr std::uint8_t kMfHeaderRecord = 0x01;
inline constexpr std::uint8_t kMfUserChangeRecord = 0x02;
inline constexpr std::uint8_t kMfReductionRecord = 0x03;

struct MfHeader {
  std::string serial;  // empty = none (a read then fails with kNoSerial)
  std::string brand;
  std::string model;
  int user = 0;
  std::string cnpj;
  std::string ie;
  MemoryTime downloaded;
  bool operator==(const MfHeader&) const = default;
};

struct MfUserChange {
  int user = 0;
  std::string cnpj;
  std::string ie;
  MemoryTime when;
  int crz = 0;  // reductions made before the change
  int cro = 0;
  bool operator==(const MfUserChange&) const = default;
};

// One tax rate's share of a day.
struct MfRateTotal {
  std::string rate;   // four digits, "1800" = 18,00 %
  bool iss = false;   // bound to the municipal service tax rather than ICMS
  std::int64_t total = 0;
  bool operator==(const MfRateTotal&) const = default;
};

struct MfReduction {
  int crz = 0;
  int coo = 0;              // the reduction's own COO
  int cro = 0;
  MemoryTime when;          // when the reduction was made
  MemoryTime movement;      // the day it closed (date part; may be before `when`)
  std::int64_t grandTotal = 0;  // cents, after this day
  std::int64_t gross = 0;       // venda bruta of the day
  std::int64_t cancelled = 0;
  std::int64_t discounts = 0;
  std::int64_t surcharges = 0;
  std::int64_t exempt = 0;        // "II"
  std::int64_t notLevied = 0;     // "NN"
  std::int64_t substitution = 0;  // "FF"
  std::vector<MfRateTotal> rates;  // at most 16
  bool operator==(const MfReduction&) const = default;
};

using MfEntry = std::variant<MfUserChange, MfReduction>;

struct MfContents {
  MfHeader header;
  std::vector<MfEntry> entries;  // in recording order
  bool operator==(const MfContents&) const = default;
};

// The file's bytes without a signature.
std::string MfFileBytes(const MfContents& contents);

// Reads a whole .mf file's bytes (a trailing signature is allowed and ignored). On
// failure `contents` keeps what was read before the fault. Never trusts a length.
FileReadResult ReadMf(std::string_view bytes, MfContents& contents);
FileReadResult ReadMfFile(const std::string& path, MfContents& contents);

// Where the record stream of a well-formed .mf ends (the signature starts there), or 0
// when the bytes are not a well-formed .mf.
std::size_t MfBodySize(std::string_view bytes);

}  // namespace tervane::vendor
