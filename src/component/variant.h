// The values that cross a dispatch interface: text (Windows-1252), a boolean, a 16-bit
// integer, a colour, or nothing.
#pragma once

#include <cstdint>
#include <string>

namespace tervane::component {

enum class VariantType { kEmpty, kText, kBool, kShort, kColour };

// A colour as 0x00BBGGRR, or a system colour as 0x800000nn (nn its index).
using Colour = std::uint32_t;
constexpr bool IsSystemColour(Colour colour) {
  return (colour & 0xFF000000u) == 0x80000000u;
}
constexpr Colour RgbColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<Colour>(red) | static_cast<Colour>(green) << 8 | static_cast<Colour>(blue) << 16;
}

class Variant {
 public:
  Variant() = default;
  static Variant Text(std::string cp1252);
  static Variant Bool(bool value);
  static Variant Short(std::int16_t value);
  static Variant ColourValue(Colour value);

  VariantType type() const { return type_; }
  bool IsEmpty() const { return type_ == VariantType::kEmpty; }
  // The value; each accessor answers its type's zero value ("" / false / 0) when the
  // variant holds another type.
  const std::string& text() const;
  bool boolean() const { return type_ == VariantType::kBool && number_ != 0; }
  std::int16_t shortValue() const {
    return type_ == VariantType::kShort ? static_cast<std::int16_t>(number_) : std::int16_t{0};
  }
  Colour colour() const { return type_ == VariantType::kColour ? static_cast<Colour>(number_) : Colour{0}; }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  VariantType type_ = VariantType::kEmpty;
  std::string text_;
  std::int64_t number_ = 0;
};

// The name of a type, for messages: "empty", "text", "bool", "short", "colour".
const char* VariantTypeName(VariantType type);

}  // namespace tervane::component
