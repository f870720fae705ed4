// Building blocks of return formatting: byte-to-text helpers and the decoders of the
// field kinds. Internal to interpret/; FormatReturn is the public face.
//
// Every decoder gets a FieldBytes that already holds all the bytes it reads (the
// formatter checks that before calling), so no decoder ever checks lengths itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/catalogue/command_record.h"

namespace tervane::interpret {

// The bytes of one field, from its read position on. `count` is the number of bytes
// available to the decoder: at least the field's own size and at least the extent its
// kind reads.
struct FieldBytes {
  const std::uint8_t* data = nullptr;
  size_t count = 0;
  size_t size = 0;  // the field's declared size (tamanho), never negative
};

// Appends two characters per byte, high nibble first, each nibble n as the character
// 30h + n (a nibble above 9 gives ':' to '?', as the printer sent it).
void AppendBcd(std::string& out, const std::uint8_t* bytes, size_t count);

// Money over `count` bytes: the digits of all bytes but the last, a comma, the last
// byte's two digits. Appends nothing for zero bytes.
void AppendMoney(std::string& out, const std::uint8_t* bytes, size_t count);

// Text collection: 0Ah becomes "\r\n", a zero byte ends the text, other bytes unchanged.
void AppendCollected(std::string& out, const std::uint8_t* bytes, size_t count);

// Collection followed by the printer character-set conversion.
void AppendPrinterText(std::string& out, const std::uint8_t* bytes, size_t count);

// "\r\n<name>:\t<shown>\r\n".
void AppendNamedLine(std::string& out, const std::string& name, const std::string& shown);

// "sim" or "não" from the string table.
const std::string& YesNo(bool yes);

// Decoders. Each appends its lines to `result` and fills the field's slots as its kind
// prescribes; `arg` selects the variant of kinds that share a decoder.
using Decoder = void (*)(const FieldBytes& bytes, int arg, ReturnFieldRecord& field,
                         std::string& result);

void DecodeBitGroup(const FieldBytes& bytes, int group, ReturnFieldRecord& field, std::string& result);
void DecodeIssBinding(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodeSwitch(const FieldBytes& bytes, int which, ReturnFieldRecord& field, std::string& result);

void DecodePaymentMethods(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodeDepartments(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodeUntaxedTotals(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodeReportCounters(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodeTaxRates(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodePartialTotals(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result);
void DecodeMemoryCells(const FieldBytes& bytes, int groups, ReturnFieldRecord& field, std::string& result);

// Bytes each fixed layout reads from its position.
inline constexpr size_t kPaymentMethodsBytes = 620;
inline constexpr size_t kDepartmentsBytes = 600;
inline constexpr size_t kUntaxedTotalsBytes = 780;
inline constexpr size_t kReportCountersBytes = 570;
inline constexpr size_t kPartialTotalsBytes = 219;

// Bit-group and switch variants, in the order of their tables.
enum BitGroup : int { kFlagsFiscais, kFlagsFiscaisII, kFlagsFiscaisIII, kFlagSensores, kFlagCheque };
enum Switch : int {
  kIntTec, kEpromConect, kTruncamento, kCorte, kAlinhamento, kBpCf, kPresenterGaveta,
  kGaveta, kCutterAutentic, kRedAutCom
};

}  // namespace tervane::interpret
