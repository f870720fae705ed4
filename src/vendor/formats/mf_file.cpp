#include "vendor/formats/mf_file.h"

#include "core/common/atomic_file.h"
#include "vendor/formats/byte_codec.h"
#include "vendor/formats/record_stream.h"
#include "vendor/formats/signature.h"

namespace tervane::vendor {

namespace {

constexpr std::string_view kMfMagicBytes(kMfMagic, 4);
constexpr int kMaxCounter = 999999;
constexpr std::size_t kMaxRates = 16;

bool IsRateCode(const std::string& rate) {
  if (rate.size() != 4) return false;
  for (char c : rate)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string HeaderPayload(const MfHeader& h) {
  ByteWriter w;
  w.Text(h.serial);
  w.Text(h.brand);
  w.Text(h.model);
  w.U16(static_cast<std::uint16_t>(h.user));
  w.Text(h.cnpj);
  w.Text(h.ie);
  w.Time(h.downloaded);
  return w.Take();
}

std::string UserChangePayload(const MfUserChange& u) {
  ByteWriter w;
  w.U16(static_cast<std::uint16_t>(u.user));
  w.Text(u.cnpj);
  w.Text(u.ie);
  w.Time(u.when);
  w.U32(static_cast<std::uint32_t>(u.crz));
  w.U32(static_cast<std::uint32_t>(u.cro));
  return w.Take();
}

std::string ReductionPayload(const MfReduction& z) {
  ByteWriter w;
  w.U32(static_cast<std::uint32_t>(z.crz));
  w.U32(static_cast<std::uint32_t>(z.coo));
  w.U32(static_cast<std::uint32_t>(z.cro));
  w.Time(z.when);
  w.Time(z.movement);
  for (std::int64_t v : {z.grandTotal, z.gross, z.cancelled, z.discounts, z.surcharges, z.exempt,
                         z.notLevied, z.substitution})
    w.I64(v);
  const std::size_t count = std::min(z.rates.size(), kMaxRates);
  w.U8(static_cast<std::uint8_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    std::string code = z.rates[i].rate.substr(0, 4);
    code.resize(4, '0');
    w.Raw(code);
    w.U8(z.rates[i].iss ? 1 : 0);
    w.I64(z.rates[i].total);
  }
  return w.Take();
}

std::string ParseHeader(std::string_view payload, MfHeader& h) {
  ByteReader r(payload);
  std::uint16_t user = 0;
  r.Text(h.serial);
  r.Text(h.brand);
  r.Text(h.model);
  r.U16(user);
  r.Text(h.cnpj);
  r.Text(h.ie);
  r.Time(h.downloaded);
  if (r.Failed() || !r.AtEnd()) return "the header record is malformed";
  if (user > kMaxUserNumber) return "the header holds an impossible user number";
  h.user = user;
  return {};
}

std::string ParseUserChange(std::string_view payload, MfUserChange& u) {
  ByteReader r(payload);
  std::uint16_t user = 0;
  std::uint32_t crz = 0, cro = 0;
  r.U16(user);
  r.Text(u.cnpj);
  r.Text(u.ie);
  r.Time(u.when);
  r.U32(crz);
  r.U32(cro);
  if (r.Failed() || !r.AtEnd()) return "a user-change record is malformed";
  if (user > kMaxUserNumber || crz > kMaxCounter || cro > kMaxCounter)
    return "a user-change record holds an impossible counter";
  u.user = user;
  u.crz = static_cast<int>(crz);
  u.cro = static_cast<int>(cro);
  return {};
}

std::string ParseReduction(std::string_view payload, MfReduction& z) {
  ByteReader r(payload);
  std::uint32_t crz = 0, coo = 0, cro = 0;
  r.U32(crz);
  r.U32(coo);
  r.U32(cro);
  r.Time(z.when);
  r.Time(z.movement);
  for (std::int64_t* v : {&z.grandTotal, &z.gross, &z.cancelled, &z.discounts, &z.surcharges,
                          &z.exempt, &z.notLevied, &z.substitution})
    r.I64(*v);
  std::uint8_t count = 0;
  r.U8(count);
  if (r.Failed()) return "a reduction record is malformed";
  if (count > kMaxRates) return "a reduction lists more than 16 tax rates";
  z.rates.clear();
  for (int i = 0; i < count; ++i) {
    MfRateTotal t;
    std::string_view code;
    std::uint8_t iss = 0;
    r.Raw(4, code);
    r.U8(iss);
    r.I64(t.total);
    if (r.Failed()) return "a reduction's tax rates run past its record";
    t.rate = std::string(code);
    if (!IsRateCode(t.rate) || iss > 1) return "a reduction holds a malformed tax rate";
    t.iss = iss == 1;
    z.rates.push_back(std::move(t));
  }
  if (!r.AtEnd()) return "a reduction record holds extra bytes";
  if (crz > kMaxCounter || coo > kMaxCounter || cro > kMaxCounter)
    return "a reduction holds an impossible counter";
  z.crz = static_cast<int>(crz);
  z.coo = static_cast<int>(coo);
  z.cro = static_cast<int>(cro);
  return {};
}

// Reads the stream; on success `end` is the offset just after the end record.
FileReadResult ReadBody(std::string_view bytes, MfContents& contents, std::size_t& end) {
  contents = MfContents{};
  if (bytes.size() < kMfMagicBytes.size() || bytes.substr(0, kMfMagicBytes.size()) != kMfMagicBytes)
    return Failure(FileStatus::kWrongFormat, 0, "the file does not start as an .mf file");
  RecordStreamReader stream(bytes.substr(kMfMagicBytes.size()), kMfMagicBytes.size());
  bool haveHeader = false;
  for (;;) {
    std::uint8_t type = 0;
    std::string_view payload;
    std::size_t offset = 0;
    const auto step = stream.Next(type, payload, offset);
    if (step == RecordStreamReader::Step::kFailed) return stream.Result();
    if (step == RecordStreamReader::Step::kEnd) {
      if (!haveHeader) return Failure(FileStatus::kCorrupt, offset, "the file has no header record");
      break;
    }
    std::string problem;
    if (!haveHeader) {
      if (type != kMfHeaderRecord)
        return Failure(FileStatus::kCorrupt, offset, "the records do not start with a header");
      problem = ParseHeader(payload, contents.header);
      haveHeader = problem.empty();
    } else if (type == kMfUserChangeRecord) {
      MfUserChange u;
      problem = ParseUserChange(payload, u);
      if (problem.empty()) contents.entries.emplace_back(std::move(u));
    } else if (type == kMfReductionRecord) {
      MfReduction z;
      problem = ParseReduction(payload, z);
      if (problem.empty()) contents.entries.emplace_back(std::move(z));
    } else {
      problem = "a record of unknown type";
    }
    if (!problem.empty()) return Failure(FileStatus::kCorrupt, offset, problem);
  }
  end = kMfMagicBytes.size() + stream.Position();
  return {};
}

}  // namespace

std::string MfFileBytes(const MfContents& contents) {
  std::string out(kMfMagicBytes);
  AppendRecord(out, kMfHeaderRecord, HeaderPayload(contents.header));
  for (const auto& entry : contents.entries) {
    if (const auto* u = std::get_if<MfUserChange>(&entry))
      AppendRecord(out, kMfUserChangeRecord, UserChangePayload(*u));
    else
      AppendRecord(out, kMfReductionRecord, ReductionPayload(std::get<MfReduction>(entry)));
  }
  AppendEndRecord(out, static_cast<std::uint32_t>(contents.entries.size() + 1));
  return out;
}

FileReadResult ReadMf(std::string_view bytes, MfContents& contents) {
  std::size_t end = 0;
  FileReadResult result = ReadBody(bytes, contents, end);
  if (!result.ok()) return result;
  const std::size_t rest = bytes.size() - end;
  if (rest != 0 && rest != kSignatureSize)
    return Failure(rest < kSignatureSize ? FileStatus::kTruncated : FileStatus::kCorrupt, end,
                   "the bytes after the records are not a signature");
  if (contents.header.serial.empty())
    return Failure(FileStatus::kNoSerial, kMfMagicBytes.size(), "the header names no serial number");
  return {};
}

FileReadResult ReadMfFile(const std::string& path, MfContents& contents) {
  std::string bytes, error;
  contents = MfContents{};
  if (!ReadWholeFile(path, bytes, &error)) return Failure(FileStatus::kCannotOpen, 0, error);
  return ReadMf(bytes, contents);
}

std::size_t MfBodySize(std::string_view bytes) {
  MfContents ignored;
  std::size_t end = 0;
  return ReadBody(bytes, ignored, end).ok() ? end : 0;
}

}  // namespace tervane::vendor
