// Kinds whose bytes are flags: the bit groups, the ISS binding and the one-byte switches.
#include <algorithm>
#include <array>

#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/interpret/field_decoders.h"

namespace tervane::interpret {
namespace {

struct BitGroupText {
  const char* header;
  std::array<const char*, 8> bits;  // bit 0 first
};

constexpr const char* kUnusedBit = "-----bit não utilizado----";

constexpr std::array<BitGroupText, 5> kBitGroups = {{
    {"\r\nFlags Fiscais:\r\nAtivado?\t\tDescrição\r\n",
     {"Cupom fiscal aberto", "Fechamento de formas de pagamento iniciado", "Horário de verão",
      "Já houve redução Z no dia (ECF Bloqueado)", "Última RZ foi  automática",
      "Permite cancelar cupom fiscal", kUnusedBit, "Memória fiscal sem espaço"}},
    {"\r\nFlags Fiscais II:\r\nAtivado?\t\tDescrição\r\n",
     {"Comprovante não fiscal aberto", "Comprovante de débito ou crédito aberto",
      "Relatório Gerencial Aberto", "Totalizando cupom", kUnusedBit,
      "Permite cancelamento do CNF", "Estorno de CDC permitido", kUnusedBit}},
    {"\r\nFlags Fiscais III:\r\nAtivado?\t\tDescrição\r\n",
     {"Impressora com pouco papel", "Sensor de pouco papel habilitado",
      "Cancelamento automático de cupom às duas horas habilitado", "Desconto em issqn habilitado",
      "RZ automática habilitada", "Impressora off line", kUnusedBit, "Abertura detectada"}},
    {"\r\nFlags Sensores:\r\nAtivado?\t\tDescrição\r\n",
     {"Cabeça levantada", "Tampa aberta", "Sem papel", "Pouco papel", "Status do sensor da gaveta",
      kUnusedBit, "Tecla PAPER pressionada", "Jumper na posição intervenção tecnica"}},
    {"\r\nFlags do cheque:\r\nAtivado?\t\tDescrição\r\n",
     {"Documento não posicionado", "Sem papel", "Sem papel", kUnusedBit,
      "Status do buffer de impressão ( não liberado?)", "Cabeça de impressão em posição aberta",
      "Buffer vazio", "Buffer cheio"}},
}};

// A group's texts in Windows-1252: the header and, per bit, "\t\t" + description (+ "\r\n"
// except for bit 7), ready to follow the bit's answer.
struct BitGroupLines {
  std::string header;
  std::array<std::string, 8> tails;
};

const std::array<BitGroupLines, 5>& GroupLines() {
  static const auto lines = [] {
    std::array<BitGroupLines, 5> out;
    for (size_t g = 0; g < kBitGroups.size(); ++g) {
      out[g].header = Utf8ToCp1252Lossy(kBitGroups[g].header);
      for (size_t b = 0; b < 8; ++b) {
        out[g].tails[b] = "\t\t" + Utf8ToCp1252Lossy(kBitGroups[g].bits[b]);
        if (b < 7) out[g].tails[b] += "\r\n";
      }
    }
    return out;
  }();
  return lines;
}

struct SwitchMessages {
  std::uint8_t on;
  int equalId;
  int differentId;
};

constexpr std::array<SwitchMessages, 10> kSwitches = {{
    {0x55, 32886, 32932},  // technical intervention
    {0x55, 32855, 32856},  // EPROM
    {0x00, 32947, 32917},  // truncation / rounding
    {0x30, 32839, 32840},  // cut of the next document
    {0x30, 32800, 32801},  // left alignment
    {0x00, 32934, 32863},  // passenger ticket / fiscal coupon
    {0x00, 32901, 32982},  // presenter
    {0x00, 32826, 32827},  // drawer sensor level
    {0x00, 32841, 33028},  // cutter
    {0x00, 32920, 32919},  // reduction Z by command / automatic
}};

}  // namespace

void DecodeBitGroup(const FieldBytes& bytes, int group, ReturnFieldRecord& field, std::string& result) {
  const BitGroupLines& lines = GroupLines()[static_cast<size_t>(group)];
  const std::uint8_t first = bytes.data[0];
  result += lines.header;
  for (int bit = 0; bit < 8; ++bit) {
    result += YesNo((first >> bit) & 1);
    result += lines.tails[static_cast<size_t>(bit)];
  }
  // The value covers every byte of the field, bit 0 of each byte first.
  const size_t n = std::max<size_t>(bytes.size, 1);
  field.value.clear();
  field.value.reserve(8 * n);
  for (size_t i = 0; i < n; ++i) {
    for (int bit = 0; bit < 8; ++bit) field.value += ((bytes.data[i] >> bit) & 1) ? '1' : '0';
  }
}

void DecodeIssBinding(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  static const std::string header =
      Utf8ToCp1252Lossy("\r\nFlags de vinculaçoao ao ISS:\r\nNúmero\t\tVinculado ao ISS?\r\n");
  result += header;
  field.value.clear();
  // Flag 1 is bit 7 of the first byte, flag 16 bit 0 of the second.
  for (int flag = 1; flag <= 16; ++flag) {
    const std::uint8_t byte = bytes.data[flag <= 8 ? 0 : 1];
    const bool set = (byte >> (7 - (flag - 1) % 8)) & 1;
    result += Format("\r\n%2d\t\t", flag);
    result += YesNo(set);
    field.value += set ? '1' : '0';
  }
}

void DecodeSwitch(const FieldBytes& bytes, int which, ReturnFieldRecord& field, std::string& result) {
  const SwitchMessages& s = kSwitches[static_cast<size_t>(which)];
  const std::string& message = LoadString(bytes.data[0] == s.on ? s.equalId : s.differentId);
  result += "\r\n";
  result += message;
  result += "\r\n";
  field.text = message;
}

}  // namespace tervane::interpret
