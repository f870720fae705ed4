// The detail-tape memory file (.mfd). A downloaded file and a file rebuilt from captured
// PDF-417 symbols share one frame, so one reader serves both:
//
//   524288 bytes FFh
//   3 x 256-byte block: 00h, a 7-byte origin mark, 246 x 00h, "BU"
//   3 x 256-byte block: 01h, the same mark, 246 x 00h, "<@"
//   the record stream (record_stream.h): one header record, then documents and markers
//   256 bytes FFh
//   [downloads only: the 128-byte signature of every byte before it]
//
// The origin mark is "PDF-417" for a capture and "DOWNMFD" for a download.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vendor/formats/file_status.h"
#include "vendor/formats/memory_time.h"

namespace tervane::vendor {

inline constexpr std::size_t kMfdLeadSize = 524288;
inline constexpr std::size_t kMfdBlockSize = 256;
inline constexpr std::size_t kMfdDataOffset = kMfdLeadSize + 6 * kMfdBlockSize;
inline constexpr std::size_t kMfdTailSize = 256;
inline constexpr char kMfdCaptureMark[] = "PDF-417";
inline constexpr char kMfdDownloadMark[] = "DOWNMFD";

// Record types of the .mfd stream.
inline constexpr std::uint8_t kMfdHeaderRecord = 0x01;
inline constexpr std::uint8_t kMfdDocumentRecord = 0x02;
inline constexpr std::uint8_t kMfdMarkerRecord = 0x03;

// Which documents the file holds, as the download was asked.
enum class MfdRange : std::uint8_t { kTotal = '0', kDates = '1', kCoo = '2' };

struct MfdHeader {
  std::string serial;   // empty = the printer gave none (a read then fails with kNoSerial)
  std::string brand;
  std::string model;
  int user = 0;         // owner number the range was asked for (COO range) or current one
  MfdRange range = MfdRange::kTotal;
  int firstCoo = 0;     // the COOs and moments of the first and last document held
  int lastCoo = 0;
  MemoryTime first;
  MemoryTime last;
  bool operator==(const MfdHeader&) const = default;
};

// What kind of document a printed text was.
enum class DocumentKind : std::uint8_t {
  kSale = 1,               // cupom fiscal
  kSaleCancel = 2,         // cancellation of the last coupon
  kNonFiscal = 3,          // comprovante não fiscal (receipts, sangria, suprimento)
  kCardVoucher = 4,        // comprovante de crédito ou débito
  kVoucherReprint = 5,     // a card voucher's second copy or reprint
  kManagementReport = 6,   // relatório gerencial
  kReadingX = 7,
  kReductionZ = 8,
  kFiscalMemoryReading = 9,
  kOther = 10,
};
bool IsDocumentKind(std::uint8_t value);

struct MfdDocument {
  int coo = 0;
  int user = 0;                    // owner number when it was printed
  MemoryTime when;
  DocumentKind kind = DocumentKind::kOther;
  std::vector<std::string> lines;  // the printed text, Windows-1252, no line ends
  bool operator==(const MfdDocument&) const = default;
};

enum class MarkerKind : std::uint8_t { kPowerFailure = 1, kUserChange = 2 };

struct MfdMarker {
  MarkerKind kind = MarkerKind::kPowerFailure;
  MemoryTime when;
  int user = 0;      // the owner number from this point on
  int lastCoo = 0;   // the COO of the last document before the marker (0 = none)
  bool operator==(const MfdMarker&) const = default;
};

using MfdEntry = std::variant<MfdDocument, MfdMarker>;

struct MfdContents {
  MfdHeader header;
  std::vector<MfdEntry> entries;  // in the order the printer recorded them
  bool operator==(const MfdContents&) const = default;
};

// The record stream alone (header, entries, end record).
std::string MfdStreamBytes(const MfdContents& contents);

// The whole frame around a stream with the given origin mark (7 bytes), no signature.
std::string MfdFrameBytes(std::string_view stream, std::string_view mark = kMfdDownloadMark);

// Reads a whole .mfd file's bytes. On failure `contents` keeps the header (when it was
// read) and the entries read before the fault, so a partial capture can still be looked
// at; the result gives the status, the file offset and the reason. Lengths are never
// trusted; no input makes it crash or read out of bounds.
FileReadResult ReadMfd(std::string_view bytes, MfdContents& contents);
// Reads what follows the frame's six blocks (record stream, closing FFh bytes, optional
// signature) the way ReadMfd does; `base` is its offset in the file, for the results.
FileReadResult ReadMfdData(std::string_view data, std::size_t base, MfdContents& contents);
// Reads the file at `path`; kCannotOpen when it cannot be read.
FileReadResult ReadMfdFile(const std::string& path, MfdContents& contents);

// The origin mark of a file whose frame is intact ("PDF-417", "DOWNMFD"), else empty.
std::string MfdOriginMark(std::string_view bytes);

}  // namespace tervane::vendor
