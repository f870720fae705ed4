#include "sim/logo_store.h"

#include <zlib.h>

#include <algorithm>
#include <string_view>

#include "core/common/atomic_file.h"

namespace tervane::sim {
namespace {

constexpr std::size_t kTextBlock = 192;
constexpr int kWidth = 576;
constexpr int kStripe = 24;

void PutBig32(LogoBytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(LogoBytes& out, const char* type, const LogoBytes& body) {
  PutBig32(out, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBig32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

// Kept apart from the control's table-driven Crc16Kermit on purpose: the simulator checks
// the control's logo packages as a printer would, so it computes the CRC bit by bit with
// code of its own, and a fault in the control's CRC fails the logo tests instead of
// being shared by both ends.
std::uint16_t LogoCrc(const std::uint8_t* data, std::size_t size) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
  }
  return crc;
}

std::uint16_t LogoStore::TakePacket(int number, int count, const std::uint8_t* data, std::size_t size) {
  if (number == 1) {
    pending.clear();
    expectedPackets = 0;
    nextPacket = 1;
    if (slotsFree <= 0) return kLogoStoreFull;
    if (count < 1) return kLogoPacketOutOfOrder;
    expectedPackets = count;
  } else if (expectedPackets == 0 || number != nextPacket || count != expectedPackets) {
    pending.clear();
    expectedPackets = 0;
    nextPacket = 1;
    return kLogoPacketOutOfOrder;
  }
  pending.insert(pending.end(), data, data + size);
  ++nextPacket;
  return 0;
}

std::uint16_t LogoStore::Confirm(std::uint8_t r, std::uint8_t q) {
  if (!PendingComplete()) return kLogoNothingToConfirm;
  const std::uint16_t crc = LogoCrc(pending.data(), pending.size());
  if (r != crc % 255 || q != ((crc / 255) & 0xFF)) return kLogoCrcMismatch;
  if (slotsFree <= 0) return kLogoStoreFull;
  kept = std::move(pending);
  pending.clear();
  expectedPackets = 0;
  nextPacket = 1;
  --slotsFree;
  ++confirmations;
  return 0;
}

DecodedLogo DecodeLogo(const LogoBytes& data) {
  DecodedLogo logo;
  logo.width = kWidth;
  for (int i = 0; i < 4; ++i) {
    const std::size_t from = static_cast<std::size_t>(i) * 48;
    if (from >= data.size()) break;
    std::string line(data.begin() + static_cast<long>(from),
                     data.begin() + static_cast<long>(std::min(data.size(), from + 48)));
    while (!line.empty() && line.back() == ' ') line.pop_back();
    logo.lines[i] = line;
  }
  int stripe = 0;
  int column = 0;
  auto ensureRows = [&](int rows) {
    if (rows > logo.height) {
      logo.pixels.resize(static_cast<std::size_t>(rows) * kWidth, 0);
      logo.height = rows;
    }
  };
  std::size_t i = std::min(data.size(), kTextBlock);
  while (i < data.size()) {
    const std::uint8_t b = data[i];
    if (b == 0x0A) {
      ++stripe;
      column = 0;
      ensureRows(stripe * kStripe);
      ++i;
      continue;
    }
    if (b != 0x1B || i + 1 >= data.size()) {
      ++i;
      continue;
    }
    const std::uint8_t op = data[i + 1];
    if (op == 0x33 && i + 2 < data.size()) {
      i += 3;
    } else if (op == 0x66 && i + 3 < data.size()) {
      i += 4;
    } else if (op == 0x24 && i + 3 < data.size()) {
      column = (data[i + 2] | (data[i + 3] << 8)) - 1;
      i += 4;
    } else if (op == 0x2A && i + 4 < data.size()) {
      const int n = data[i + 3] | (data[i + 4] << 8);
      i += 5;
      ensureRows((stripe + 1) * kStripe);
      for (int c = 0; c < n && i + 3 <= data.size(); ++c, ++column, i += 3) {
        for (int k = 0; k < 3; ++k) {
          for (int bit = 0; bit < 8; ++bit) {
            if ((data[i + k] & (0x80 >> bit)) == 0 || column < 0 || column >= kWidth) continue;
            const int y = stripe * kStripe + k * 8 + bit;
            logo.pixels[static_cast<std::size_t>(y) * kWidth + column] = 1;
          }
        }
      }
    } else {
      i += 2;
    }
  }
  return logo;
}

bool WriteLogoPng(const DecodedLogo& logo, const std::string& path, std::string* error) {
  const int width = std::max(logo.width, 1);
  const int height = std::max(logo.height, 1);
  // One-bit grayscale: 0 black, 1 white; each row starts with filter byte 0.
  const std::size_t rowBytes = static_cast<std::size_t>((width + 7) / 8);
  LogoBytes raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (std::size_t byte = 0; byte < rowBytes; ++byte) {
      std::uint8_t v = 0;
      for (int bit = 0; bit < 8; ++bit) {
        const int x = static_cast<int>(byte) * 8 + bit;
        const bool black = x < logo.width && y < logo.height &&
                           logo.pixels[static_cast<std::size_t>(y) * logo.width + x] != 0;
        if (!black) v |= static_cast<std::uint8_t>(0x80 >> bit);
      }
      raw.push_back(v);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  LogoBytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
    if (error) *error = "cannot compress the picture";
    return false;
  }
  packed.resize(packedSize);

  LogoBytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  LogoBytes header;
  PutBig32(header, static_cast<std::uint32_t>(width));
  PutBig32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {1, 0, 0, 0, 0});  // bit depth 1, grayscale, deflate, no filter, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", {});

  return SaveFileAtomically(path, std::string_view(reinterpret_cast<const char*>(png.data()), png.size()),
                            error);
}

}  // namespace tervane::sim
