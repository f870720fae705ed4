#include "component/variant.h"

#include <utility>

namespace tervane::component {

Variant Variant::Text(std::string cp1252) {
  Variant v;
  v.type_ = VariantType::kText;
  v.text_ = std::move(cp1252);
  return v;
}

Variant Variant::Bool(bool value) {
  Variant v;
  v.type_ = VariantType::kBool;
  v.number_ = value ? 1 : 0;
  return v;
}

Variant Variant::Short(std::int16_t value) {
  Variant v;
  v.type_ = VariantType::kShort;
  v.number_ = value;
  return v;
}

Variant Variant::ColourValue(Colour value) {
  Variant v;
  v.type_ = VariantType::kColour;
  v.number_ = value;
  return v;
}

const std::string& Variant::text() const {
  static const std::string kNone;
  return type_ == VariantType::kText ? text_ : kNone;
}

const char* VariantTypeName(VariantType type) {
  switch (type) {
    case VariantType::kEmpty: return "empty";
    case VariantType::kText: return "text";
    case VariantType::kBool: return "bool";
    case VariantType::kShort: return "short";
    case VariantType::kColour: return "colour";
  }
  return "?";
}

}  // namespace tervane::component
