#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/interpret/field_decoders.h"

namespace tervane::interpret {

void AppendBcd(std::string& out, const std::uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    out += static_cast<char>(0x30 + (bytes[i] >> 4));
    out += static_cast<char>(0x30 + (bytes[i] & 0x0F));
  }
}

void AppendMoney(std::string& out, const std::uint8_t* bytes, size_t count) {
  if (count == 0) return;
  AppendBcd(out, bytes, count - 1);
  out += ',';
  AppendBcd(out, bytes + count - 1, 1);
}

void AppendCollected(std::string& out, const std::uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count && bytes[i] != 0; ++i) {
    if (bytes[i] == 0x0A) {
      out += "\r\n";
    } else {
      out += static_cast<char>(bytes[i]);
    }
  }
}

void AppendPrinterText(std::string& out, const std::uint8_t* bytes, size_t count) {
  const size_t start = out.size();
  AppendCollected(out, bytes, count);
  for (size_t i = start; i < out.size(); ++i) {
    out[i] = static_cast<char>(FromPrinterByte(static_cast<unsigned char>(out[i])));
  }
}

void AppendNamedLine(std::string& out, const std::string& name, const std::string& shown) {
  out += "\r\n";
  out += name;
  out += ":\t";
  out += shown;
  out += "\r\n";
}

const std::string& YesNo(bool yes) {
  static const std::string& sim = LoadString(str::kSim);
  static const std::string& nao = LoadString(str::kNao);
  return yes ? sim : nao;
}

}  // namespace tervane::interpret
