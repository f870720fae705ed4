#include "vendor/formats/mfd_salvage.h"

#include <cstdint>
#include <string>
#include <variant>

#include "vendor/formats/crc16.h"
#include "vendor/formats/record_stream.h"

namespace tervane::vendor {

namespace {

constexpr std::size_t kRecordOverhead = 7;  // type, length, CRC
// While looking for the next record after a hole, lengths beyond this are not believed:
// no printed document comes near it, and checking every candidate's CRC over a length
// read from stray bytes would make the search slow.
constexpr std::uint32_t kLongestRecord = 1u << 20;

std::uint32_t Le32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

// The length of the whole record at `at` when one with a matching CRC begins there, else 0.
std::size_t WholeRecordAt(std::string_view data, std::size_t at) {
  if (data.size() - at < kRecordOverhead) return 0;
  const std::uint32_t length = Le32(data, at + 1);
  if (length > kLongestRecord || length > data.size() - at - kRecordOverhead) return 0;
  const std::size_t crcAt = at + 5 + length;
  const std::uint16_t stored = static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[crcAt]) |
                                                          (static_cast<std::uint8_t>(data[crcAt + 1]) << 8));
  if (Crc16(data.substr(at, 5 + length)) != stored) return 0;
  return kRecordOverhead + length;
}

// Reads one record (document or marker) through the strict reader, as the only entry of
// a stream that has the file's header record before it.
bool ReadOne(std::string_view headerRecord, std::string_view record, MfdEntry& entry) {
  std::string stream(headerRecord);
  stream.append(record);
  AppendEndRecord(stream, 2);
  stream.append(kMfdTailSize, '\xFF');
  MfdContents one;
  const FileReadResult result = ReadMfdData(stream, 0, one);
  if (!result.ok() || one.entries.size() != 1) return false;
  entry = std::move(one.entries[0]);
  return true;
}

}  // namespace

FileReadResult SalvageCapturedMfd(std::string_view bytes, MfdContents& contents,
                                  std::vector<MfdMissingRange>& missing) {
  missing.clear();
  const FileReadResult strict = ReadMfd(bytes, contents);
  if (strict.ok() || MfdOriginMark(bytes) != kMfdCaptureMark) return strict;
  if (bytes.size() < kMfdDataOffset + kMfdTailSize) return strict;
  // The capture's data ends with the 256 FFh bytes and carries no signature.
  const std::string_view data = bytes.substr(kMfdDataOffset, bytes.size() - kMfdDataOffset - kMfdTailSize);
  const std::size_t headerSize = WholeRecordAt(data, 0);
  if (headerSize == 0 || static_cast<std::uint8_t>(data[0]) != kMfdHeaderRecord) return strict;
  const std::string_view headerRecord = data.substr(0, headerSize);
  {
    std::string alone(headerRecord);
    AppendEndRecord(alone, 1);
    alone.append(kMfdTailSize, '\xFF');
    MfdContents head;
    const FileReadResult read = ReadMfdData(alone, kMfdDataOffset, head);
    if (!read.ok()) return read;  // no serial number, or a header that does not read
    contents = MfdContents{};
    contents.header = head.header;
  }

  // Documents in order with the points where a hole came before them.
  bool holeBefore = false;
  bool holeAtEnd = true;  // until the end record is found
  std::vector<bool> afterHole;
  for (std::size_t at = headerSize; at < data.size();) {
    const std::size_t size = WholeRecordAt(data, at);
    const std::uint8_t type = static_cast<std::uint8_t>(data[at]);
    if (size != 0 && type == kEndRecord) {
      holeAtEnd = false;
      break;
    }
    MfdEntry entry;
    if (size != 0 && (type == kMfdDocumentRecord || type == kMfdMarkerRecord) &&
        ReadOne(headerRecord, data.substr(at, size), entry)) {
      contents.entries.push_back(std::move(entry));
      afterHole.push_back(holeBefore);
      holeBefore = false;
      at += size;
      continue;
    }
    holeBefore = true;
    ++at;
  }
  if (holeBefore) holeAtEnd = true;

  // The COOs lost in each hole: between the documents on either side of it, of the same
  // owner; before the first document from the header's first COO; after the last one up
  // to the header's last COO.
  const MfdDocument* previous = nullptr;
  bool pendingHole = false;
  for (std::size_t i = 0; i < contents.entries.size(); ++i) {
    if (afterHole[i]) pendingHole = true;
    const auto* d = std::get_if<MfdDocument>(&contents.entries[i]);
    if (d == nullptr) continue;
    if (pendingHole) {
      if (previous == nullptr) {
        if (d->coo > contents.header.firstCoo)
          missing.push_back({d->user, contents.header.firstCoo, d->coo - 1});
      } else if (previous->user == d->user && d->coo > previous->coo + 1) {
        missing.push_back({d->user, previous->coo + 1, d->coo - 1});
      } else if (previous->user != d->user && d->coo > 1) {
        missing.push_back({d->user, 1, d->coo - 1});
      }
    }
    pendingHole = false;
    previous = d;
  }
  if (holeAtEnd) {
    const int from = previous ? previous->coo + 1 : contents.header.firstCoo;
    if (from <= contents.header.lastCoo)
      missing.push_back({previous ? previous->user : contents.header.user, from, contents.header.lastCoo});
  }
  return {};
}

}  // namespace tervane::vendor
