#include "vendor/formats/mfd_file.h"

#include <algorithm>

#include "core/common/atomic_file.h"
#include "vendor/formats/byte_codec.h"
#include "vendor/formats/record_stream.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {

namespace {

constexpr std::uint8_t kMfdVersion = 1;
constexpr int kMaxCoo = 999999;

std::string Block(std::uint8_t type, std::string_view mark, const char tail[2]) {
  std::string block(kMfdBlockSize, '\0');
  block[0] = static_cast<char>(type);
  std::string padded(mark.substr(0, 7));
  padded.resize(7, ' ');
  block.replace(1, 7, padded);
  block[254] = tail[0];
  block[255] = tail[1];
  return block;
}

std::string HeaderPayload(const MfdHeader& h) {
  ByteWriter w;
  w.U8(kMfdVersion);
  w.Text(h.serial);
  w.Text(h.brand);
  w.Text(h.model);
  w.U16(static_cast<std::uint16_t>(h.user));
  w.U8(static_cast<std::uint8_t>(h.range));
  w.U32(static_cast<std::uint32_t>(h.firstCoo));
  w.U32(static_cast<std::uint32_t>(h.lastCoo));
  w.Time(h.first);
  w.Time(h.last);
  return w.Take();
}

std::string DocumentPayload(const MfdDocument& d) {
  ByteWriter w;
  w.U32(static_cast<std::uint32_t>(d.coo));
  w.U16(static_cast<std::uint16_t>(d.user));
  w.Time(d.when);
  w.U8(static_cast<std::uint8_t>(d.kind));
  const std::size_t count = std::min<std::size_t>(d.lines.size(), 0xFFFF);
  w.U16(static_cast<std::uint16_t>(count));
  for (std::size_t i = 0; i < count; ++i) w.Text(d.lines[i]);
  return w.Take();
}

std::string MarkerPayload(const MfdMarker& m) {
  ByteWriter w;
  w.U8(static_cast<std::uint8_t>(m.kind));
  w.Time(m.when);
  w.U16(static_cast<std::uint16_t>(m.user));
  w.U32(static_cast<std::uint32_t>(m.lastCoo));
  return w.Take();
}

// Each parser returns an empty text on success, else what was wrong.
std::string ParseHeader(std::string_view payload, MfdHeader& h) {
  ByteReader r(payload);
  std::uint8_t version = 0, range = 0;
  std::uint16_t user = 0;
  std::uint32_t first = 0, last = 0;
  if (!r.U8(version)) return "the header record is empty";
  if (version != kMfdVersion) return "unknown header version";
  r.Text(h.serial);
  r.Text(h.brand);
  r.Text(h.model);
  r.U16(user);
  r.U8(range);
  r.U32(first);
  r.U32(last);
  r.Time(h.first);
  r.Time(h.last);
  if (r.Failed() || !r.AtEnd()) return "the header record is malformed";
  if (range != '0' && range != '1' && range != '2') return "the header names an unknown range";
  if (user > kMaxUserNumber || first > kMaxCoo || last > kMaxCoo) return "the header holds an impossible counter";
  h.user = user;
  h.range = static_cast<MfdRange>(range);
  h.firstCoo = static_cast<int>(first);
  h.lastCoo = static_cast<int>(last);
  return {};
}

std::string ParseDocument(std::string_view payload, MfdDocument& d) {
  ByteReader r(payload);
  std::uint32_t coo = 0;
  std::uint16_t user = 0, count = 0;
  std::uint8_t kind = 0;
  r.U32(coo);
  r.U16(user);
  r.Time(d.when);
  r.U8(kind);
  r.U16(count);
  if (r.Failed()) return "a document record is malformed";
  if (coo > kMaxCoo || user > kMaxUserNumber) return "a document holds an impossible counter";
  if (!IsDocumentKind(kind)) return "a document of unknown kind";
  d.lines.clear();
  // Every line takes at least its two length bytes, so the count cannot ask for more
  // lines than the payload can hold.
  if (count > r.Left() / 2) return "a document's line count runs past its record";
  d.lines.reserve(count);
  for (int i = 0; i < count; ++i) {
    std::string line;
    if (!r.Text(line)) return "a document's line runs past its record";
    d.lines.push_back(std::move(line));
  }
  if (!r.AtEnd()) return "a document record holds extra bytes";
  d.coo = static_cast<int>(coo);
  d.user = user;
  d.kind = static_cast<DocumentKind>(kind);
  return {};
}

std::string ParseMarker(std::string_view payload, MfdMarker& m) {
  ByteReader r(payload);
  std::uint8_t kind = 0;
  std::uint16_t user = 0;
  std::uint32_t coo = 0;
  r.U8(kind);
  r.Time(m.when);
  r.U16(user);
  r.U32(coo);
  if (r.Failed() || !r.AtEnd()) return "a marker record is malformed";
  if (kind != 1 && kind != 2) return "a marker of unknown kind";
  if (user > kMaxUserNumber || coo > kMaxCoo) return "a marker holds an impossible counter";
  m.kind = static_cast<MarkerKind>(kind);
  m.user = user;
  m.lastCoo = static_cast<int>(coo);
  return {};
}

bool AllBytes(std::string_view bytes, char value) {
  for (char c : bytes)
    if (c != value) return false;
  return true;
}

}  // namespace

bool IsDocumentKind(std::uint8_t value) { return value >= 1 && value <= 10; }

std::string MfdStreamBytes(const MfdContents& contents) {
  std::string out;
  AppendRecord(out, kMfdHeaderRecord, HeaderPayload(contents.header));
  for (const auto& entry : contents.entries) {
    if (const auto* d = std::get_if<MfdDocument>(&entry))
      AppendRecord(out, kMfdDocumentRecord, DocumentPayload(*d));
    else
      AppendRecord(out, kMfdMarkerRecord, MarkerPayload(std::get<MfdMarker>(entry)));
  }
  AppendEndRecord(out, static_cast<std::uint32_t>(contents.entries.size() + 1));
  return out;
}

std::string MfdFrameBytes(std::string_view stream, std::string_view mark) {
  std::string out;
  out.reserve(kMfdDataOffset + stream.size() + kMfdTailSize);
  out.assign(kMfdLeadSize, '\xFF');
  for (int i = 0; i < 3; ++i) out += Block(0x00, mark, "BU");
  for (int i = 0; i < 3; ++i) out += Block(0x01, mark, "<@");
  out.append(stream);
  out.append(kMfdTailSize, '\xFF');
  return out;
}

std::string MfdOriginMark(std::string_view bytes) {
  if (bytes.size() < kMfdDataOffset || !AllBytes(bytes.substr(0, kMfdLeadSize), '\xFF')) return {};
  const std::string_view mark = bytes.substr(kMfdLeadSize + 1, 7);
  if (mark != kMfdCaptureMark && mark != kMfdDownloadMark) return {};
  for (int i = 0; i < 6; ++i) {
    const std::string_view block = bytes.substr(kMfdLeadSize + i * kMfdBlockSize, kMfdBlockSize);
    const bool second = i >= 3;
    if (block[0] != (second ? '\x01' : '\x00') || block.substr(1, 7) != mark ||
        !AllBytes(block.substr(8, 246), '\0') || block.substr(254) != (second ? "<@" : "BU"))
      return {};
  }
  return std::string(mark);
}

FileReadResult ReadMfd(std::string_view bytes, MfdContents& contents) {
  contents = MfdContents{};
  if (bytes.size() < kMfdDataOffset)
    return Failure(bytes.size() < kMfdLeadSize ? FileStatus::kWrongFormat : FileStatus::kTruncated,
                   bytes.size(), "the file is shorter than the memory frame");
  if (MfdOriginMark(bytes).empty())
    return Failure(FileStatus::kWrongFormat, 0, "the memory frame is not that of an .mfd file");
  return ReadMfdData(bytes.substr(kMfdDataOffset), kMfdDataOffset, contents);
}

FileReadResult ReadMfdData(std::string_view data, std::size_t base, MfdContents& contents) {
  contents = MfdContents{};
  RecordStreamReader stream(data, base);
  bool haveHeader = false;
  for (;;) {
    std::uint8_t type = 0;
    std::string_view payload;
    std::size_t offset = 0;
    const auto step = stream.Next(type, payload, offset);
    if (step == RecordStreamReader::Step::kFailed) return stream.Result();
    if (step == RecordStreamReader::Step::kEnd) {
      if (!haveHeader) return Failure(FileStatus::kCorrupt, offset, "the data has no header record");
      break;
    }
    std::string problem;
    if (!haveHeader) {
      if (type != kMfdHeaderRecord)
        return Failure(FileStatus::kCorrupt, offset, "the data does not start with a header record");
      problem = ParseHeader(payload, contents.header);
      haveHeader = problem.empty();
    } else if (type == kMfdDocumentRecord) {
      MfdDocument d;
      problem = ParseDocument(payload, d);
      if (problem.empty()) contents.entries.emplace_back(std::move(d));
    } else if (type == kMfdMarkerRecord) {
      MfdMarker m;
      problem = ParseMarker(payload, m);
      if (problem.empty()) contents.entries.emplace_back(m);
    } else {
      problem = "a record of unknown type";
    }
    if (!problem.empty()) return Failure(FileStatus::kCorrupt, offset, problem);
  }

  const std::size_t tail = stream.Position();
  if (data.size() - tail < kMfdTailSize)
    return Failure(FileStatus::kTruncated, base + data.size(), "the file ends inside its closing bytes");
  if (!AllBytes(data.substr(tail, kMfdTailSize), '\xFF'))
    return Failure(FileStatus::kCorrupt, base + tail, "the closing bytes after the data are not FFh");
  const std::size_t rest = data.size() - tail - kMfdTailSize;
  if (rest != 0 && rest != kSignatureSize)
    return Failure(rest < kSignatureSize ? FileStatus::kTruncated : FileStatus::kCorrupt,
                   base + tail + kMfdTailSize, "the bytes after the data are not a signature");
  if (contents.header.serial.empty())
    return Failure(FileStatus::kNoSerial, base, "the header names no serial number");
  return {};
}

FileReadResult ReadMfdFile(const std::string& path, MfdContents& contents) {
  std::string bytes, error;
  contents = MfdContents{};
  if (!ReadWholeFile(path, bytes, &error)) return Failure(FileStatus::kCannotOpen, 0, error);
  return ReadMfd(bytes, contents);
}

}  // namespace tervane::vendor
