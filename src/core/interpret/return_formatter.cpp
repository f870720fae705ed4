#include "core/interpret/return_formatter.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "core/common/frame_bytes.h"
#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/interpret/field_decoders.h"
#include "core/interpret/status_text.h"

namespace tervane {
namespace interpret {
namespace {

// Kinds holding one value: the value goes to the value slot, its shown form to the
// work text.

void DecodeAscii(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  field.text.reserve(bytes.size);
  AppendPrinterText(field.text, bytes.data, bytes.size);
  field.value = field.text;
  AppendNamedLine(result, field.title, field.text);
}

void DecodePaymentMode(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  static const std::string refused =
      Utf8ToCp1252Lossy("\r\nNão foi possível inserir esta forma de pagamento.\r\n");
  static const std::string programmed = Utf8ToCp1252Lossy("\r\nForma de pagamento nº ");
  AppendCollected(field.text, bytes.data, bytes.size);
  const int number = Atoi(field.text);
  if (number == 255) {
    result += refused;
  } else {
    result += programmed;
    result += std::to_string(number);
    result += " programada\r\n";
  }
}

// One byte is the defined case; a longer field reads as a little-endian number, as the
// printer's other multi-byte counts do, and one too long for 64 bits is shown in hex.
void DecodeInteger(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  const size_t n = std::max<size_t>(bytes.size, 1);
  if (n <= 8) {
    std::uint64_t number = 0;
    for (size_t i = n; i-- > 0;) number = (number << 8) | bytes.data[i];
    field.text = std::to_string(number);
  } else {
    for (size_t i = 0; i < n; ++i) {
      if (i) field.text += ' ';
      field.text += HexByte(bytes.data[i]);
    }
  }
  field.value.clear();
  result += "\r\n";
  result += field.title;
  result += "\t\t";
  result += field.text;
  result += "\r\n";
}

void DecodeBcdInteger(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  AppendBcd(field.text, bytes.data, bytes.size);
  field.value = field.text;
  AppendNamedLine(result, field.title, field.text);
}

void DecodePercentage(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  field.value.clear();
  AppendBcd(field.value, bytes.data, 2);
  AppendBcd(field.text, bytes.data, 1);
  field.text += ',';
  AppendBcd(field.text, bytes.data + 1, 1);
  field.text += '%';
  AppendNamedLine(result, field.title, field.text);
}

void DecodeFinance(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  field.value.clear();
  AppendBcd(field.value, bytes.data, bytes.size);
  AppendMoney(field.text, bytes.data, bytes.size);
  AppendNamedLine(result, field.title, field.text);
}

// Date (day, month, year) when separator is '/', time (hour, minute, second) when ':'.
void DecodeDateOrTime(const FieldBytes& bytes, int separator, ReturnFieldRecord& field,
                      std::string& result) {
  field.value.clear();
  AppendBcd(field.value, bytes.data, 3);
  field.text = field.value.substr(0, 2) + static_cast<char>(separator) + field.value.substr(2, 2) +
               static_cast<char>(separator) + field.value.substr(4, 2);
  result += separator == '/' ? "\r\nData: " : "\r\nHora: ";
  result += field.text;
  result += "\r\n";
}

void DecodePaperStatus(const FieldBytes& bytes, int, ReturnFieldRecord& field, std::string& result) {
  const unsigned number = bytes.data[0] | (bytes.data[1] << 8);
  field.value = std::to_string(number);
  field.text = field.value;
  result += "\r\n";
  result += field.title;
  result += "\t\t";
  result += field.value;
  result += "\r\n";
}

struct Kind {
  std::string_view name;
  size_t minBytes;  // bytes read from the position whatever the field's size
  Decoder decode;
  int arg;
};

constexpr Kind kKinds[] = {
    {"ASCII", 0, DecodeAscii, 0},
    {"BCD_FLAG_PAYMENT_MODE", 0, DecodePaymentMode, 0},
    {"INTEGER", 1, DecodeInteger, 0},
    {"BCD_INTEGER", 0, DecodeBcdInteger, 0},
    {"BCD_PERCENTAGE", 2, DecodePercentage, 0},
    {"BCD_FINANCE", 0, DecodeFinance, 0},
    {"BCD_DATA", 3, DecodeDateOrTime, '/'},
    {"BCD_HORA", 3, DecodeDateOrTime, ':'},
    {"STATUS_PAPEL", 2, DecodePaperStatus, 0},
    {"ASCII_FLAGS_FISCAIS", 1, DecodeBitGroup, kFlagsFiscais},
    {"ASCII_FLAGS_FISCAIS_II", 1, DecodeBitGroup, kFlagsFiscaisII},
    {"ASCII_FLAGS_FISCAIS_III", 1, DecodeBitGroup, kFlagsFiscaisIII},
    {"FLAG_SENSORES", 1, DecodeBitGroup, kFlagSensores},
    {"FLAG_CHEQUE", 1, DecodeBitGroup, kFlagCheque},
    {"ASCII_FLAG_VINC_ISS", 2, DecodeIssBinding, 0},
    {"BCD_FLAG_INT_TEC", 1, DecodeSwitch, kIntTec},
    {"BCD_FLAG_EPROM_CONECT", 1, DecodeSwitch, kEpromConect},
    {"FLAG_TRUNCAMENTO", 1, DecodeSwitch, kTruncamento},
    {"FLAG_CORTE", 1, DecodeSwitch, kCorte},
    {"FLAG_ALINHAMENTO", 1, DecodeSwitch, kAlinhamento},
    {"FLAG_BP_CF", 1, DecodeSwitch, kBpCf},
    {"FLAG_PRESENTER_GAVETA", 1, DecodeSwitch, kPresenterGaveta},
    {"FLAG_GAVETA", 1, DecodeSwitch, kGaveta},
    {"FLAG_CUTTER_AUTENTIC", 1, DecodeSwitch, kCutterAutentic},
    {"FLAG_RED_AUT_COM", 1, DecodeSwitch, kRedAutCom},
    {"FORMAS_DE_PAGAMENTO", kPaymentMethodsBytes, DecodePaymentMethods, 0},
    {"DEPARTAMENTOS", kDepartmentsBytes, DecodeDepartments, 0},
    {"TOT_NAO_SUJ_ICMS", kUntaxedTotalsBytes, DecodeUntaxedTotals, 0},
    {"RELAT_GER", kReportCountersBytes, DecodeReportCounters, 0},
    {"ALIQUOTAS", 1, DecodeTaxRates, 0},
    {"TOT_PARCIAIS", kPartialTotalsBytes, DecodePartialTotals, 0},
    {"VER_INT_MEM_FISCAL", 6, DecodeMemoryCells, 1},
    {"VER_INT_MEM_FISCAL_COMP", 30, DecodeMemoryCells, 5},
};

const Kind* FindKind(const std::string& name) {
  for (const Kind& k : kKinds) {
    if (k.name == name) return &k;
  }
  return nullptr;
}

// The status bytes after the n field bytes: ST1, ST2 and, in extended mode, the
// extended code. Bytes the reply does not hold give no line.
void AppendStatusBlock(std::string& result, const std::vector<std::uint8_t>& reply,
                       std::uint64_t n, bool extended) {
  if (reply.empty()) return;
  const auto has = [&](std::uint64_t index) { return index < reply.size(); };
  if (reply[0] == kAck) {
    if (!has(n + 2)) return;
    result += StatusText(reply[n + 1], reply[n + 2]);
    if (extended && has(n + 4)) result += ExtendedErrorText(reply[n + 3], reply[n + 4]);
  } else if (reply[0] == kNak) {
    result += LoadString(extended ? str::kFalhaEnvio : str::kComandoNaoRecebido);
  }
}

}  // namespace
}  // namespace interpret

int FormatReturn(CommandRecord& command, const ProgramSettings& settings) {
  using namespace interpret;
  std::string& result = command.ResultText;
  const std::vector<std::uint8_t>& reply = command.replyData;
  result += "\r\n";

  // A negative size counts as 0: positions only move forward.
  std::uint64_t fieldBytes = 0;
  for (const ReturnFieldRecord& f : command.returnFields) {
    fieldBytes += static_cast<std::uint64_t>(std::max(f.size, 0));
  }
  if (command.declaredReturnSize != -2) {
    AppendStatusBlock(result, reply, fieldBytes, settings.g_extendedReply);
  }

  std::uint64_t position = 1;
  for (ReturnFieldRecord& field : command.returnFields) {
    field.text.clear();
    const Kind* kind = FindKind(field.kind);
    if (kind == nullptr) continue;
    const size_t size = static_cast<size_t>(std::max(field.size, 0));
    const std::uint64_t needed = std::max(size, kind->minBytes);
    // A reply shorter than the layout ends the decoding at the first field it does not
    // hold entirely: the fields decoded so far stand, nothing is read past the reply.
    if (position > reply.size() || reply.size() - position < needed) break;
    const FieldBytes bytes{reply.data() + position, reply.size() - position, size};
    kind->decode(bytes, kind->arg, field, result);
    position += size;
  }
  return 0;
}

}  // namespace tervane
