// The memory downloads: open a download (what and which range), fetch it block by
// block, each block with its number, length, a last-block flag and a CRC-16, and close
// it. The whole file is built and signed when the download opens, so the blocks of one
// download are always consistent.
#include <algorithm>

#include "sim/command_handler.h"
#include "sim/detail_tape.h"
#include "sim/field_codec.h"
#include "sim/memory_download.h"
#include "vendor/formats/crc16.h"

namespace tervane::sim {
namespace {

void PutLe(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void CommandHandler::MemoryDownloadOpen(const Bytes& p, Response& r) {
  if (RefuseIfDocumentOpen(r)) return;
  DownloadRequest request;
  request.kind = static_cast<char>(p[0]);
  request.range = static_cast<char>(p[1]);
  request.start = FieldText(p, 2, 6);
  request.end = FieldText(p, 8, 6);
  request.user = FieldText(p, 14, 3);
  PrinterMemories& m = state_.memories;
  if (m.basicSoftware.empty()) m.basicSoftware = MakeBasicSoftwareImage(state_.model, state_.firmware);
  std::string payload;
  const std::uint16_t code = BuildDownload(state_, request, ToMemoryTime(Now()), payload);
  if (code != 0) {
    m.download = DownloadSession{};
    r.Refuse(0, code == ext::kTipoParInvalido ? st2::kParameterType : st2::kNotExecuted, code);
    return;
  }
  const std::size_t blocks = (payload.size() + kDownloadBlockSize - 1) / kDownloadBlockSize;
  m.download = DownloadSession{true, request.kind, std::move(payload)};
  PutLe(r.data, static_cast<std::uint32_t>(m.download.payload.size()), 4);
  PutLe(r.data, static_cast<std::uint32_t>(blocks), 2);
  PutLe(r.data, static_cast<std::uint32_t>(kDownloadBlockSize), 2);
}

void CommandHandler::MemoryDownloadBlock(const Bytes& p, Response& r) {
  PrinterMemories& m = state_.memories;
  std::int64_t number = 0;
  if (!FieldDigits(p, 0, 5, &number)) {
    r.Refuse(0, st2::kParameterType, ext::kTipoParInvalido);
    return;
  }
  const std::size_t size = m.download.payload.size();
  const std::size_t blocks = (size + kDownloadBlockSize - 1) / kDownloadBlockSize;
  if (!m.download.open || static_cast<std::size_t>(number) >= blocks) {
    r.Refuse(0, st2::kNotExecuted, ext::kIntervaloInvalido);
    return;
  }
  if (m.hangupAtBlock >= 0 && number == m.hangupAtBlock) {
    m.hangupRequested = true;
    return;
  }
  const std::size_t offset = static_cast<std::size_t>(number) * kDownloadBlockSize;
  const std::size_t length = std::min(kDownloadBlockSize, size - offset);
  Bytes block;
  PutLe(block, static_cast<std::uint32_t>(number), 2);
  PutLe(block, static_cast<std::uint32_t>(length), 2);
  block.push_back(static_cast<std::size_t>(number) + 1 == blocks ? 1 : 0);
  block.insert(block.end(), m.download.payload.begin() + static_cast<std::ptrdiff_t>(offset),
               m.download.payload.begin() + static_cast<std::ptrdiff_t>(offset + length));
  block.resize(5 + kDownloadBlockSize, 0);
  PutLe(block, vendor::Crc16(std::string_view(reinterpret_cast<const char*>(block.data()), block.size())), 2);
  r.data = std::move(block);
}

void CommandHandler::MemoryDownloadClose(const Bytes&, Response& r) {
  if (!state_.memories.download.open) {
    r.Refuse(0, st2::kNotExecuted, ext::kIntervaloInvalido);
    return;
  }
  state_.memories.download = DownloadSession{};
}

}  // namespace tervane::sim
