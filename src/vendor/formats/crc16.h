// CRC-16/CCITT-FALSE (polynomial 1021h, initial value FFFFh, no reflection, no final
// xor): the check of each memory-file record and of each block of a download.
#pragma once

#include <cstdint>
#include <string_view>

namespace tervane::vendor {

std::uint16_t Crc16(std::string_view bytes, std::uint16_t crc = 0xFFFF);

}  // namespace tervane::vendor
