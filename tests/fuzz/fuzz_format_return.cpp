// Decodes a random reply against a random layout of return fields.
//
// Input: byte 0 flags (bit 0 extended reply, bit 1 declared size -2), byte 1 the number
// of fields (low three bits, plus one), then per field a kind byte and a two-byte size
// (low byte first, read as signed so negative sizes occur); the rest is the reply.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/interpret/return_formatter.h"

namespace {

const char* const kKinds[] = {
    "ASCII", "BCD_FLAG_PAYMENT_MODE", "INTEGER", "BCD_INTEGER", "BCD_PERCENTAGE", "BCD_FINANCE",
    "BCD_DATA", "BCD_HORA", "STATUS_PAPEL", "ASCII_FLAGS_FISCAIS", "ASCII_FLAGS_FISCAIS_II",
    "ASCII_FLAGS_FISCAIS_III", "FLAG_SENSORES", "FLAG_CHEQUE", "ASCII_FLAG_VINC_ISS",
    "BCD_FLAG_INT_TEC", "BCD_FLAG_EPROM_CONECT", "FLAG_TRUNCAMENTO", "FLAG_CORTE",
    "FLAG_ALINHAMENTO", "FLAG_BP_CF", "FLAG_PRESENTER_GAVETA", "FLAG_GAVETA",
    "FLAG_CUTTER_AUTENTIC", "FLAG_RED_AUT_COM", "FORMAS_DE_PAGAMENTO", "DEPARTAMENTOS",
    "TOT_NAO_SUJ_ICMS", "RELAT_GER", "ALIQUOTAS", "TOT_PARCIAIS", "VER_INT_MEM_FISCAL",
    "VER_INT_MEM_FISCAL_COMP", "DESCONHECIDO", "",
};
constexpr size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  tervane::CommandRecord command;
  tervane::ProgramSettings settings;
  settings.g_extendedReply = data[0] & 1;
  command.declaredReturnSize = (data[0] & 2) ? -2 : 0;
  const size_t fields = (data[1] & 7) + 1u;
  size_t at = 2;
  for (size_t i = 0; i < fields && at + 3 <= size; ++i, at += 3) {
    tervane::ReturnFieldRecord f;
    f.kind = kKinds[data[at] % kKindCount];
    f.size = static_cast<std::int16_t>(data[at + 1] | (data[at + 2] << 8));
    f.title = "F";
    command.returnFields.push_back(f);
  }
  // An exact-size buffer, so that a read past the reply is caught.
  command.replyData.assign(data + at, data + size);
  command.replyData.shrink_to_fit();
  tervane::FormatReturn(command, settings);
  return 0;
}
