#include "vendor/formats/crc16.h"

namespace tervane::vendor {

std::uint16_t Crc16(std::string_view bytes, std::uint16_t crc) {
  for (unsigned char c : bytes) {
    crc = static_cast<std::uint16_t>(crc ^ (c << 8));
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

}  // namespace tervane::vendor
