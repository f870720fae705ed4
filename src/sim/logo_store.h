// The printer's graphic-header store: packets of an upload gathered in order, the
// confirmation that checks their CRC and keeps the logo, and the decoding of a kept
// logo's raster commands back into a picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervane::sim {

using LogoBytes = std::vector<std::uint8_t>;

// Extended codes the logo commands answer with.
inline constexpr std::uint16_t kLogoStoreFull = 210;
inline constexpr std::uint16_t kLogoNothingToConfirm = 211;
inline constexpr std::uint16_t kLogoCrcMismatch = 213;
inline constexpr std::uint16_t kLogoPacketOutOfOrder = 214;

struct LogoStore {
  int slotsFree = 8;            // logos the printer can still keep
  LogoBytes pending;            // data of the upload in progress (or complete, unconfirmed)
  int expectedPackets = 0;      // packet count announced by packet 1; 0 = no upload
  int nextPacket = 1;
  LogoBytes kept;               // the last confirmed logo's data (text block, graphic)
  int confirmations = 0;

  bool PendingComplete() const { return expectedPackets > 0 && nextPacket > expectedPackets; }

  // Takes packet `number` of `count` with its data. Returns 0, or the extended code of
  // a refusal (store full on a first packet, out of order otherwise); a refused packet
  // other than a first one drops the upload in progress.
  std::uint16_t TakePacket(int number, int count, const std::uint8_t* data, std::size_t size);

  // Confirms the complete upload if R and Q name its CRC. Returns 0, or the extended
  // code of a refusal.
  std::uint16_t Confirm(std::uint8_t r, std::uint8_t q);
};

// A decoded logo: the four text lines and the picture its raster commands draw.
struct DecodedLogo {
  std::string lines[4];               // trailing spaces cut
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;   // row by row, 1 = black
};

// Decodes kept data: 192 bytes of text, then the graphic stream (1Bh 33h n, 1Bh 66h n m,
// 1Bh 2Ah 21h with 24-dot columns, 1Bh 24h positions, LF between stripes). Unknown
// bytes are skipped. The picture is 576 dots wide and as tall as its stripes.
DecodedLogo DecodeLogo(const LogoBytes& data);

// Writes a picture as a black-and-white PNG. False (with `error`) when the file cannot
// be written.
bool WriteLogoPng(const DecodedLogo& logo, const std::string& path, std::string* error);

// The CRC-16/KERMIT of data (the printer's own check).
std::uint16_t LogoCrc(const std::uint8_t* data, std::size_t size);

}  // namespace tervane::sim
