// Commands learned from a catalogue: a technician's own comandos.xml may name commands
// the printer does not know by itself; they are answered with the declared reply size
// (fields filled sensibly for their kind) and COMANDO OK, and the parameter bytes are
// checked against what the catalogue's layout allows.
#include <algorithm>

#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "sim/command_handler.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

struct Span {
  std::size_t min = 0;
  std::size_t max = 0;
};

// How many frame bytes a parameter of this kind and size can put in the frame.
Span ParameterSpan(const ParameterRecord& p) {
  const std::size_t size = static_cast<std::size_t>(std::max(p.size, 0));
  const std::string& k = p.kind;
  Span span;
  if (k == "BINARIO" || k == "CUPOM_OU_BILHETE_CONV_156") {
    span = {1, 1};
  } else if (k == "TROCA_SIT_TRIB") {
    span = {1, 1 + std::min<std::size_t>(size, 64)};
  } else if (k == "STRING_VAR_SIZE" || k == "BIG_STRING_VAR_SIZE" || k == "CLICHE" ||
             k == "STRING_VAR_SIZE_WITHOUT_CR" || k == "BILHETE_PASSAGEM" || k == "LEIT_DADOS_MEM_FISCAL" ||
             k == "DISCOUNT") {
    span = {1, kMaxFrame};  // sent whole, whatever its length
  } else if (k == "FECHA_CUPOM" || k == "AC_OU_DESC_SUB" || k == "AC_OU_DESC_ITEM" ||
             k == "DESCR_FORMA_PAGAMENTO" || k == "DESCR_FORMA_PAGAMENTO_SEM_TEF" || k == "IMPR_FITA_DETALHE" ||
             k == "LEIT_MEM_FISCAL") {
    span = {1, size};
  } else if (k == "NOT_EDITABLE" || k == "DIG_HEX_NOT_EDITABLE" || k == "STRING" || k == "BIG_STRING" ||
             k == "RANDOM_STRING" || k == "INTEGER" || k == "FINANCE" || k == "FINANCE_3" ||
             k == "PERCENTAGE" || k == "RANDOM_NUMBER" || k == "BCD_INTEGER" || k == "DATA" ||
             k == "DATA_2_2_4" || k == "HORA" || k == "CHEQUE_POS" || k == "DIG_HEX" ||
             k == "CAR_GRAF_AUTENTICACAO" || k == "VINC_ISS" || k == "OPTIONS") {
    span = {size, size};
  } else {
    return {0, 0};  // a kind the workbench does not know puts nothing in the frame
  }
  if (!p.mandatory) span.min = 0;
  return span;
}

bool TextKind(const std::string& kind) { return kind == "ASCII"; }

}  // namespace

int CommandHandler::Learn(const CommandCatalogue& catalogue) {
  int added = 0;
  for (const CommandRecord& record : catalogue.commands) {
    if (!record.hasEscape || !record.escapeError.empty() || record.escapeCount == 0) continue;
    const Bytes escape(record.escapeBytes.begin(), record.escapeBytes.begin() + record.escapeCount);
    const bool known = std::any_of(commands_.begin(), commands_.end(),
                                   [&](const CommandEntry& entry) { return entry.escape == escape; });
    if (known) continue;  // the printer's own behaviour wins

    LearnedCommand learned;
    learned.title = record.title;
    if (record.group == "GPRS") {
      learned.form = ReplyForm::kGprs;
    } else if (record.declaredReturnSize == -1) {
      learned.form = ReplyForm::kOpenEtx;
    } else if (record.declaredReturnSize == -2) {
      learned.form = ReplyForm::kOpenNul;
    } else {
      learned.replySize = std::max(record.declaredReturnSize, 0);
    }
    for (const ReturnFieldRecord& field : record.returnFields) learned.fields.push_back({field.kind, field.size});
    for (const ParameterRecord& p : record.parameters) {
      const Span span = ParameterSpan(p);
      learned.minParams += span.min;
      learned.maxParams = std::min(kMaxFrame, learned.maxParams + span.max);
    }

    CommandEntry entry;
    entry.escape = escape;
    entry.title = record.title;
    entry.form = learned.form;
    entry.replySize = learned.replySize;
    entry.minParams = learned.minParams;
    entry.maxParams = learned.maxParams;
    entry.models = record.modelMask == 0 ? 0x1FFFF : record.modelMask;
    entry.handler = &CommandHandler::LearnedReply;
    entry.learned = static_cast<int>(learned_.size());
    learned_.push_back(std::move(learned));
    commands_.push_back(std::move(entry));
    ++added;
  }
  return added;
}

void CommandHandler::LearnedReply(const Bytes& params, Response& r) {
  const LearnedCommand& learned = learned_[static_cast<std::size_t>(current_->learned)];
  switch (learned.form) {
    case ReplyForm::kGprs:
      r.data = {0x00, 0x00};  // kind 0: executed
      return;
    case ReplyForm::kOpenEtx:
    case ReplyForm::kOpenNul: {
      std::string text = learned.title;
      ToPrinterCharset(text);
      text = OpenReplyText(PrinterText("Resposta simulada: ") + text);
      r.data.assign(text.begin(), text.end());
      return;
    }
    case ReplyForm::kFixed:
      break;
  }
  // Each return field gets what the printer would hold for its kind: the live value
  // where the printer has one, else spaces for text and zeros for numbers.
  using Reader = void (CommandHandler::*)(const Bytes&, Response&);
  struct KindReader {
    const char* kind;
    Reader reader;
  };
  static const KindReader kReaders[] = {
      {"BCD_FLAG_INT_TEC", &CommandHandler::StatusProbe},
      {"BCD_FLAG_EPROM_CONECT", &CommandHandler::Eprom},
      {"FLAG_CORTE", &CommandHandler::Cutter},
      {"FLAG_ALINHAMENTO", &CommandHandler::Alignment},
      {"FLAG_RED_AUT_COM", &CommandHandler::ZMode},
      {"FLAG_SENSORES", &CommandHandler::Sensors},
      {"ASCII_FLAGS_FISCAIS", &CommandHandler::FiscalFlags},
      {"ASCII_FLAGS_FISCAIS_II", &CommandHandler::FiscalFlags2},
      {"ASCII_FLAGS_FISCAIS_III", &CommandHandler::FiscalFlags3},
      {"ASCII_FLAG_VINC_ISS", &CommandHandler::IssRead},
      {"STATUS_PAPEL", &CommandHandler::PaperStatus},
      {"ALIQUOTAS", &CommandHandler::RatesRead},
      {"FORMAS_DE_PAGAMENTO", &CommandHandler::PaymentMethodsRead},
      {"DEPARTAMENTOS", &CommandHandler::DepartmentsRead},
      {"TOT_NAO_SUJ_ICMS", &CommandHandler::NonFiscalTotalizersRead},
      {"RELAT_GER", &CommandHandler::ManagementReportsRead},
      {"TOT_PARCIAIS", &CommandHandler::PartialTotals},
      {"VER_INT_MEM_FISCAL", &CommandHandler::MemoryCheckOld},
      {"VER_INT_MEM_FISCAL_COMP", &CommandHandler::MemoryCheckFull},
  };
  Bytes data;
  for (const LearnedField& field : learned.fields) {
    const std::size_t size = static_cast<std::size_t>(std::max(field.size, 0));
    Response part;
    for (const KindReader& kr : kReaders) {
      if (field.kind == kr.kind) (this->*kr.reader)(params, part);
    }
    if (field.kind == "BCD_DATA" || field.kind == "BCD_HORA") {
      DateTime(params, part);
      if (field.kind == "BCD_HORA") part.data.erase(part.data.begin(), part.data.begin() + 3);
    }
    const std::uint8_t fill = TextKind(field.kind) ? ' ' : (field.kind == "BCD_FLAG_PAYMENT_MODE" ? '0' : 0);
    part.data.resize(size, fill);
    data.insert(data.end(), part.data.begin(), part.data.end());
  }
  r.data = std::move(data);
}

}  // namespace tervane::sim
