// One packet of a logo upload: the data part framed as an extended-mode printer
// command (STX, length, 1Ch 3Eh 41h, packet number, packet count, data, 16-bit sum).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace tervane {

inline constexpr std::size_t kLogoPacketData = 880;
inline constexpr std::size_t kLogoPacketMax = kLogoPacketData + 10;
inline constexpr std::size_t kLogoTextBlock = 192;
inline constexpr std::size_t kLogoMaxData = 12096;  // 13 full packets and one of 656

// The uploader's two size refusals. Raised only inside the uploader and caught by
// PackageManager::Upload, which reports them; what() is the text shown to the user.
class LogoSizeError : public std::length_error {
 public:
  using std::length_error::length_error;
};

// CRC-16/KERMIT (reflected polynomial 1021h, initial 0, no final exclusive or).
std::uint16_t Crc16Kermit(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

class LogoPackage {
 public:
  // Frames `size` data bytes as packet `number` of `count`. Raises LogoSizeError
  // ("LogoPackageConstructorSizeError") when size passes 880 or data is null with a size.
  LogoPackage(std::uint8_t number, std::uint8_t count, const std::uint8_t* data, std::size_t size);

  const std::uint8_t* Data() const { return bytes_.data(); }
  std::size_t Length() const { return length_; }

 private:
  std::array<std::uint8_t, kLogoPacketMax> bytes_{};
  std::size_t length_ = 0;
};

}  // namespace tervane
