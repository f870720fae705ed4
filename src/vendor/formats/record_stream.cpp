#include "vendor/formats/record_stream.h"

#include "vendor/formats/byte_codec.h"
#include "vendor/formats/crc16.h"

namespace tervane::vendor {

int KeloStatusFor(FileStatus status) {
  switch (status) {
    case FileStatus::kOk: return 0;
    case FileStatus::kNoSerial: return 2;
    default: return 6;
  }
}

FileReadResult Failure(FileStatus status, std::size_t offset, std::string description) {
  FileReadResult r;
  r.status = status;
  r.offset = offset;
  r.description = std::move(description);
  return r;
}

void AppendRecord(std::string& out, std::uint8_t type, std::string_view payload) {
  ByteWriter w;
  w.U8(type);
  w.U32(static_cast<std::uint32_t>(payload.size()));
  w.Raw(payload);
  w.U16(Crc16(w.Bytes()));
  out += w.Bytes();
}

void AppendEndRecord(std::string& out, std::uint32_t count) {
  ByteWriter w;
  w.U32(count);
  AppendRecord(out, kEndRecord, w.Bytes());
}

RecordStreamReader::Step RecordStreamReader::Next(std::uint8_t& type, std::string_view& payload,
                                                  std::size_t& offset) {
  if (!result_.ok()) return Step::kFailed;
  offset = base_ + pos_;
  ByteReader r(stream_.substr(pos_));
  std::uint32_t size = 0;
  if (!r.U8(type) || !r.U32(size)) {
    result_ = Failure(FileStatus::kTruncated, offset, "the data ends before the end record");
    return Step::kFailed;
  }
  if (size > r.Left() || r.Left() - size < 2) {
    result_ = Failure(FileStatus::kTruncated, offset,
                      "a record's length runs past the end of the data");
    return Step::kFailed;
  }
  r.Raw(size, payload);
  const std::string_view checked = stream_.substr(pos_, r.Position());
  std::uint16_t check = 0;
  r.U16(check);
  if (check != Crc16(checked)) {
    result_ = Failure(FileStatus::kCorrupt, offset, "a record's check does not match its bytes");
    return Step::kFailed;
  }
  pos_ += r.Position();
  if (type != kEndRecord) {
    ++count_;
    return Step::kRecord;
  }
  ByteReader end(payload);
  std::uint32_t count = 0;
  if (!end.U32(count) || !end.AtEnd() || count != count_) {
    result_ = Failure(FileStatus::kCorrupt, offset,
                      "the end record does not count the records before it");
    return Step::kFailed;
  }
  return Step::kEnd;
}

}  // namespace tervane::vendor
