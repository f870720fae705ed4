#include "sim/memory_download.h"

#include <cstdlib>

#include "sim/printer_key.h"
#include "sim/refusal_codes.h"
#include "vendor/formats/mf_file.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/formats/pub_file.h"
#include "vendor/formats/sb_key_files.h"
#include "vendor/formats/signature.h"

namespace tervane::sim {
namespace {

using namespace tervane::vendor;

bool SixDigits(const std::string& text, int& value) {
  if (text.size() != 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::atoi(text.c_str());
  return true;
}

std::string Signed(const std::string& body) { return body + SignBody(body, PrinterKeyPem()); }

}  // namespace

bool TapeStream(const PrinterState& state, const DownloadRequest& request, std::string& stream, bool& empty) {
  empty = false;
  MfdContents contents;
  MfdHeader& h = contents.header;
  h.serial = TrimRight(state.serial);
  h.brand = state.brand;
  h.model = state.model;
  h.user = state.user;

  // Which documents are in: by date, by COO of one user, or all. Markers go with the
  // documents around them (by date: their own date).
  int from = 0, to = 0, dateFrom = 0, dateTo = 0, user = state.user;
  if (request.range == '1') {
    MemoryTime a, b;
    if (!ParseDdMmYy(request.start, a) || !ParseDdMmYy(request.end, b) || b < a) return false;
    dateFrom = a.DateKey();
    dateTo = b.DateKey();
    h.range = MfdRange::kDates;
  } else if (request.range == '2') {
    if (!SixDigits(request.start, from) || !SixDigits(request.end, to) || to < from) return false;
    const std::string u = TrimRight(request.user);
    if (!u.empty()) {
      for (char c : u)
        if (c < '0' || c > '9') return false;
      user = std::atoi(u.c_str());
    }
    h.user = user;
    h.range = MfdRange::kCoo;
  } else if (request.range == '0') {
    h.range = MfdRange::kTotal;
  } else {
    return false;
  }

  auto inside = [&](const MfdDocument& d) {
    if (request.range == '1') return d.when.DateKey() >= dateFrom && d.when.DateKey() <= dateTo;
    if (request.range == '2') return d.user == user && d.coo >= from && d.coo <= to;
    return true;
  };
  const auto& tape = state.memories.tape;
  std::size_t first = tape.size(), last = 0;
  for (std::size_t i = 0; i < tape.size(); ++i) {
    if (const auto* d = std::get_if<MfdDocument>(&tape[i]); d && inside(*d)) {
      if (first == tape.size()) first = i;
      last = i;
    }
  }
  if (first == tape.size()) {
    empty = true;
    return false;
  }
  bool seen = false;
  for (std::size_t i = first; i <= last; ++i) {
    if (const auto* d = std::get_if<MfdDocument>(&tape[i])) {
      if (!inside(*d)) continue;
      if (!seen) {
        seen = true;
        h.firstCoo = d->coo;
        h.first = d->when;
      }
      h.lastCoo = d->coo;
      h.last = d->when;
    } else if (request.range == '1') {
      const int key = std::get<MfdMarker>(tape[i]).when.DateKey();
      if (key < dateFrom || key > dateTo) continue;
    }
    contents.entries.push_back(tape[i]);
  }
  stream = MfdStreamBytes(contents);
  return true;
}

std::uint16_t BuildDownload(const PrinterState& state, const DownloadRequest& request, const MemoryTime& now,
                            std::string& payload) {
  payload.clear();
  const std::string serial = TrimRight(state.serial);
  switch (request.kind) {
    case 'D':
    case 'P': {
      std::string stream;
      bool empty = false;
      if (!TapeStream(state, request, stream, empty)) return empty ? ext::kIntervaloInvalido : ext::kTipoParInvalido;
      if (request.kind == 'D') {
        payload = stream + SignBody(MfdFrameBytes(stream, kMfdDownloadMark), PrinterKeyPem());
      } else {
        payload = Signed(KeyFileBytes(
            KeyFile{KeyKind::kMpk, serial, now, Sha256(stream), std::string(1, request.range), request.start,
                    request.end, request.user}));
      }
      return 0;
    }
    case 'F':
    case 'K': {
      MfContents mf;
      mf.header = MfHeader{serial, state.brand, state.model, state.user, TrimRight(state.cnpj), TrimRight(state.ie), now};
      mf.entries = state.memories.fiscal;
      const std::string body = MfFileBytes(mf);
      payload = request.kind == 'F' ? Signed(body)
                                    : Signed(KeyFileBytes(KeyFile{KeyKind::kMfk, serial, now, Sha256(body), "", "", "", ""}));
      return 0;
    }
    case 'S':
    case 'B': {
      if (request.kind == 'S') {
        payload = Signed(SbImageBytes(SbImage{state.firmware, state.model, serial, state.memories.basicSoftware}));
      } else {
        payload = Signed(KeyFileBytes(
            KeyFile{KeyKind::kSbk, serial, now, Sha256(state.memories.basicSoftware), "", "", "", ""}));
      }
      return 0;
    }
    case 'C': {
      PublicKeyFile pub{ModulusOfPrivateKey(PrinterKeyPem()), state.brand, state.model, serial, now};
      payload = PublicKeyFileText(pub);
      return 0;
    }
    default:
      return ext::kTipoParInvalido;
  }
}

std::string MakeBasicSoftwareImage(const std::string& model, const std::string& version, std::size_t size) {
  std::string image = "SOFTWARE BASICO " + model + " VERSAO " + version + "\n";
  std::uint32_t x = 2463534242u;
  for (char c : model + version) x = x * 31 + static_cast<unsigned char>(c);
  while (image.size() < size) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    image.push_back(static_cast<char>(x & 0xFF));
  }
  image.resize(size);
  return image;
}

}  // namespace tervane::sim
