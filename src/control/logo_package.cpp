#include "control/logo_package.h"

#include <array>
#include <cstring>

namespace tervane {
namespace {

constexpr std::array<std::uint16_t, 256> MakeKermitTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408u : crc >> 1;
    table[i] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kKermitTable = MakeKermitTable();

}  // namespace

std::uint16_t Crc16Kermit(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
  for (std::size_t i = 0; i < size; ++i) {
    crc = static_cast<std::uint16_t>((crc >> 8) ^ kKermitTable[(crc ^ data[i]) & 0xFF]);
  }
  return crc;
}

LogoPackage::LogoPackage(std::uint8_t number, std::uint8_t count, const std::uint8_t* data, std::size_t size) {
  if (size > kLogoPacketData || (data == nullptr && size > 0)) {
    throw LogoSizeError("LogoPackageConstructorSizeError");
  }
  length_ = size + 10;
  const std::size_t declared = length_ - 3;
  bytes_[0] = 0x02;
  bytes_[1] = static_cast<std::uint8_t>(declared & 0xFF);
  bytes_[2] = static_cast<std::uint8_t>(declared >> 8);
  bytes_[3] = 0x1C;
  bytes_[4] = 0x3E;
  bytes_[5] = 0x41;
  bytes_[6] = number;
  bytes_[7] = count;
  if (size > 0) std::memcpy(bytes_.data() + 8, data, size);
  unsigned sum = 0;
  for (std::size_t i = 3; i < 8 + size; ++i) sum += bytes_[i];
  bytes_[8 + size] = static_cast<std::uint8_t>(sum & 0xFF);
  bytes_[9 + size] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
}

}  // namespace tervane
