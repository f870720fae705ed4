#include "sim/command_handler.h"

#include <algorithm>
#include <ctime>

#include "sim/detail_tape.h"
#include "sim/field_codec.h"

namespace tervane::sim {
namespace {

constexpr std::uint32_t kAll = 0x1FFFF;
constexpr std::uint32_t kOlder = 31;       // the five older models
constexpr std::uint32_t kNewer = 0x1FF00;  // every model from bit 256 on
constexpr std::size_t kAny = kMaxFrame;    // no upper bound below the frame limit

struct Row {
  Bytes escape;
  const char* title;
  ReplyForm form;
  int replySize;
  std::size_t minParams;
  std::size_t maxParams;
  bool intervention;
  bool prints;
  std::uint32_t models;
  Handler handler;
};

using H = CommandHandler;
using F = ReplyForm;

}  // namespace

CommandHandler::CommandHandler(PrinterState& state, Clock& clock) : state_(state), clock_(clock) {
  // escape, title, form, reply size, params min/max, intervention, prints, models, handler
  const Row rows[] = {
      // Queries.
      {{35, 20}, "Status do Equipamento", F::kFixed, 1, 0, 0, false, false, kAll, &H::StatusProbe},
      {{35, 60}, "Marca, Modelo e Tipo", F::kFixed, 42, 0, 0, false, false, kAll, &H::ModelQuery},
      {{35, 0}, "Número de Série", F::kFixed, 15, 0, 0, false, false, kOlder, &H::SerialOld},
      {{35, 40}, "Número de Série da MFD", F::kFixed, 20, 0, 0, false, false, kNewer, &H::SerialMfd},
      {{35, 1}, "Número do Usuário", F::kFixed, 2, 0, 0, false, false, kAll, &H::UserNumber},
      {{35, 2}, "CGC/IE", F::kFixed, 33, 0, 0, false, false, kOlder, &H::OwnerOld},
      {{35, 42}, "CNPJ", F::kFixed, 20, 0, 0, false, false, kNewer, &H::OwnerCnpj},
      {{35, 43}, "IE", F::kFixed, 20, 0, 0, false, false, kNewer, &H::OwnerIe},
      {{35, 44}, "IM", F::kFixed, 20, 0, 0, false, false, kNewer, &H::OwnerIm},
      {{35, 70}, "UF", F::kFixed, 2, 0, 0, false, false, kNewer, &H::OwnerUf},
      {{35, 14}, "Número do ECF", F::kFixed, 2, 0, 0, false, false, kAll, &H::TillNumber},
      {{35, 15}, "Número da Loja", F::kFixed, 2, 0, 0, false, false, kAll, &H::StoreNumber},
      {{35, 23}, "Data e Hora", F::kFixed, 6, 0, 0, false, false, kAll, &H::DateTime},
      {{35, 17}, "Flags Fiscais", F::kFixed, 1, 0, 0, false, false, kAll, &H::FiscalFlags},
      {{35, 18}, "Flags Fiscais II", F::kFixed, 1, 0, 0, false, false, kAll, &H::FiscalFlags2},
      {{35, 19}, "Flags Fiscais III", F::kFixed, 1, 0, 0, false, false, kAll, &H::FiscalFlags3},
      {{35, 13}, "Clichê do Proprietário", F::kFixed, 186, 0, 0, false, false, kAll, &H::ClicheRead},
      {{26}, "Leitura das Alíquotas", F::kFixed, 33, 0, 0, false, false, kAll, &H::RatesRead},
      {{35, 24}, "Número de Alíquotas Programadas", F::kFixed, 1, 0, 0, false, false, kAll, &H::RateCount},
      {{35, 29}, "Vinculação ao ISS", F::kFixed, 2, 0, 0, false, false, kAll, &H::IssRead},
      {{35, 25}, "Totalizadores Não Fiscais (9)", F::kFixed, 171, 0, 0, false, false, kOlder,
       &H::TotalizerNames9},
      {{35, 48}, "Totalizadores Não Fiscais (30)", F::kFixed, 570, 0, 0, false, false, kNewer,
       &H::TotalizerNames30},
      {{35, 253}, "Configurações de Impressão", F::kFixed, 3, 0, 0, false, false, kAll,
       &H::PrintConfiguration},
      {{35, 32}, "Formas de Pagamento", F::kFixed, 620, 0, 0, false, false, kAll, &H::PaymentMethodsRead},
      {{35, 33}, "Departamentos", F::kFixed, 600, 0, 0, false, false, kAll, &H::DepartmentsRead},
      {{35, 34}, "Totalizadores Não Sujeitos ao ICMS", F::kFixed, 780, 0, 0, false, false, kAll,
       &H::NonFiscalTotalizersRead},
      {{35, 35}, "Relatórios Gerenciais", F::kFixed, 570, 0, 0, false, false, kAll,
       &H::ManagementReportsRead},
      {{35, 3}, "Contador de Documentos (COO)", F::kFixed, 3, 0, 0, false, false, kAll, &H::CooRead},
      {{35, 4}, "Grande Total", F::kFixed, 9, 0, 0, false, false, kAll, &H::GrandTotalRead},
      {{35, 5}, "Status do Papel", F::kFixed, 2, 0, 0, false, false, kAll, &H::PaperStatus},
      {{35, 6}, "Sensores", F::kFixed, 1, 0, 0, false, false, kAll, &H::Sensors},
      {{35, 7}, "Status do Cheque", F::kFixed, 1, 0, 0, false, false, kAll, &H::ChequeStatus},
      {{35, 8}, "EPROM", F::kFixed, 1, 0, 0, false, false, kAll, &H::Eprom},
      {{35, 9}, "Truncamento", F::kFixed, 1, 0, 0, false, false, kAll, &H::Truncation},
      {{35, 10}, "Corte de Papel", F::kFixed, 1, 0, 0, false, false, kAll, &H::Cutter},
      {{35, 11}, "Alinhamento", F::kFixed, 1, 0, 0, false, false, kAll, &H::Alignment},
      {{35, 12}, "Sensor da Gaveta", F::kFixed, 1, 0, 0, false, false, kAll, &H::Drawer},
      {{35, 16}, "Modo da Redução Z", F::kFixed, 1, 0, 0, false, false, kAll, &H::ZMode},
      {{35, 27}, "Totalizadores Parciais", F::kFixed, 219, 0, 0, false, false, kAll, &H::PartialTotals},
      {{35, 21}, "Versão do Software Básico", F::kFixed, 6, 0, 0, false, false, kAll, &H::FirmwareVersion},
      {{35, 55}, "Informações da MFD", F::kOpenEtx, 0, 0, 0, false, false, kAll, &H::MfdInformation},
      {{35, 56}, "Mensagem do Equipamento", F::kOpenNul, 0, 0, 0, false, false, kAll, &H::EquipmentMessage},
      {{126}, "Verificação da MF", F::kFixed, 6, 0, 0, false, false, kOlder, &H::MemoryCheckOld},
      {{95}, "Verificação Completa da MF", F::kFixed, 30, 0, 0, false, false, kNewer, &H::MemoryCheckFull},

      // The coupon.
      {{0}, "Abertura de Cupom Fiscal", F::kFixed, 0, 0, 29, false, true, kAll, &H::OpenCoupon},
      {{9}, "Venda de Item", F::kFixed, 0, 60, 60, false, true, kAll, &H::SellItem},
      {{56}, "Venda de Item (3 decimais)", F::kFixed, 0, 59, 73, false, true, kAll, &H::SellItem3},
      {{31}, "Cancelamento de Item", F::kFixed, 0, 3, 3, false, true, kAll, &H::CancelItem},
      {{58}, "Acréscimo ou Desconto em Item", F::kFixed, 0, 8, 12, false, true, kAll, &H::ItemAdjustment},
      {{32}, "Inicia Fechamento do Cupom", F::kFixed, 0, 5, 15, false, true, kAll, &H::Totalize},
      {{72}, "Forma de Pagamento", F::kFixed, 0, 16, 96, false, true, kAll, &H::Pay},
      {{34}, "Fecha Cupom", F::kFixed, 0, 0, 492, false, true, kAll, &H::CloseCoupon},
      {{10}, "Fecha Cupom Resumido", F::kFixed, 0, 5, 125, false, true, kAll, &H::CloseCouponShort},
      {{14}, "Cancelamento de Cupom Fiscal", F::kFixed, 0, 0, 0, false, true, kAll, &H::CancelCoupon},
      {{80, 62}, "Modo Cupom ou Bilhete", F::kFixed, 0, 1, 1, false, false, kAll, &H::CouponOrTicket},
      {{29}, "Abre Bilhete de Passagem", F::kFixed, 0, 45, 200, false, true, kAll, &H::OpenTicket},

      // Readings.
      {{6}, "Leitura X", F::kFixed, 0, 0, 0, false, true, kAll, &H::ReadingX},
      {{5}, "Redução Z", F::kFixed, 0, 0, 12, false, true, kAll, &H::ReductionZ},
      {{8}, "Leitura da Memória Fiscal", F::kFixed, 0, 13, 13, false, false, kAll, &H::FiscalMemoryReading},
      {{63}, "Impressão da Fita Detalhe", F::kFixed, 0, 13, 16, false, true, kAll, &H::DetailTape},
      {{80, 70}, "Leitura de Dados da Memória Fiscal", F::kOpenEtx, 0, 2, 3, false, false, kAll,
       &H::FiscalMemoryData},

      // Non-fiscal documents and devices.
      {{20}, "Relatório Gerencial", F::kFixed, 0, 0, kAny, false, true, kAll, &H::ManagementReport},
      {{21}, "Fechamento de Relatório Gerencial", F::kFixed, 0, 0, 0, false, true, kAll, &H::CloseReport},
      {{25}, "Sangria", F::kFixed, 0, 14, 14, false, true, kAll, &H::Bleed},
      {{19}, "Recebimento Não Fiscal", F::kFixed, 0, 16, 30, false, true, kAll, &H::NonFiscalReceipt},
      {{66}, "Abre Comprovante Vinculado", F::kFixed, 0, 16, 36, false, true, kAll, &H::OpenVoucher},
      {{22}, "Acionamento da Gaveta", F::kFixed, 0, 1, 1, false, false, kAll, &H::OpenDrawer},
      {{57}, "Impressão de Cheque", F::kFixed, 0, 105, 225, false, true, kAll, &H::PrintCheque},
      {{16}, "Autenticação", F::kFixed, 0, 0, 13, false, true, kAll, &H::Authenticate},
      {{80, 66}, "Caracter de Autenticação", F::kFixed, 0, 18, 18, false, false, kAll,
       &H::AuthenticationGlyph},
      {{80, 90}, "Teste de Comunicação", F::kFixed, 0, 46, 46, false, false, kAll, &H::CommunicationTest},
      {{80, 1}, "Avanço de Linhas", F::kFixed, 0, 1, 1, false, true, kAll, &H::LineFeed},

      // Programming (technical intervention).
      {{4}, "Programa CNPJ/IE/IM", F::kFixed, 0, 49, 83, true, false, kAll, &H::ProgramOwner},
      {{2}, "Acerta Data e Hora", F::kFixed, 0, 13, 13, false, false, kAll, &H::SetDateTime},
      {{3}, "Clichê do Proprietário", F::kFixed, 0, 0, kClicheSize, true, false, kAll, &H::ProgramCliche},
      {{17}, "Programa ECF e Loja", F::kFixed, 0, 7, 7, true, false, kAll, &H::ProgramTillStore},
      {{7}, "Programa Alíquota", F::kFixed, 0, 5, 5, true, false, kAll, &H::ProgramRate},
      {{36}, "Troca de Situações Tributárias", F::kFixed, 0, 65, 65, true, false, kAll, &H::ReplaceRates},
      {{38}, "Vinculação ao ISS", F::kFixed, 0, 16, 16, true, false, kAll, &H::ProgramIss},
      {{40}, "Nomeia Totalizador Não Fiscal", F::kFixed, 0, 21, 21, true, false, kAll, &H::NameTotalizer},
      {{71}, "Programa Formas de Pagamento", F::kFixed, 3, 17, 323, true, false, kAll,
       &H::ProgramPaymentMethods},
      {{73}, "Programa Formas de Pagamento sem TEF", F::kFixed, 3, 16, 304, true, false, kAll,
       &H::ProgramPaymentMethodsNoTef},
      {{68}, "Habilita/Desabilita Cupom adicional", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::SwitchAdditionalCoupon},
      {{123}, "Habilita/Desabilita Desconto em ISS", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::SwitchIssDiscount},
      {{80, 64}, "Habilita/Desabilita Vinculado a CNF", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::SwitchVoucherInNonFiscal},
      {{80, 65}, "Habilita/Desabilita RV na conferencia", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::SwitchConferenceReading},
      {{84}, "Habilita/Desabilita RZ Automática", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::SwitchAutomaticZ},
      {{80, 63}, "Parametriza para Restaurante ou Loja", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::RestaurantOrStore},
      {{80, 57}, "Parametriza Cupom de Conferencia", F::kFixed, 0, 1, 1, true, false, kAll,
       &H::ConferenceCoupon},

      // Graphic header: packets of an upload, then the confirmation naming its CRC.
      {{62, 65}, "Clichê Gráfico: Pacote", F::kFixed, 0, 2, 882, true, false, kAll, &H::LogoPacket},
      {{62, 66}, "Clichê Gráfico: Confirmação", F::kFixed, 0, 2, 2, true, false, kAll, &H::LogoConfirm},

      // Memory downloads: open (kind, range kind, start, end, user), blocks, close.
      {{80, 110}, "Abre Download de Memória", F::kFixed, 8, 17, 17, false, false, kAll, &H::MemoryDownloadOpen},
      {{80, 111}, "Bloco de Download", F::kFixed, 5 + static_cast<int>(kDownloadBlockSize) + 2, 5, 5, false,
       false, kAll, &H::MemoryDownloadBlock},
      {{80, 112}, "Fecha Download", F::kFixed, 0, 0, 0, false, false, kAll, &H::MemoryDownloadClose},

      // GPRS module.
      {{80, 80}, "GPRS: Testa Conexão", F::kGprs, 0, 0, 0, false, false, kNewer, &H::GprsTest},
      {{80, 81}, "GPRS: Nível do Sinal", F::kGprs, 0, 0, 0, false, false, kNewer, &H::GprsSignal},
      {{80, 82}, "GPRS: Mensagem do Módulo", F::kGprs, 0, 0, 0, false, false, kNewer, &H::GprsMessage},
  };
  for (const Row& row : rows) {
    CommandEntry entry;
    entry.escape = row.escape;
    entry.title = row.title;
    entry.form = row.form;
    entry.replySize = row.replySize;
    entry.minParams = row.minParams;
    entry.maxParams = row.maxParams;
    entry.needsIntervention = row.intervention;
    entry.prints = row.prints;
    entry.models = row.models;
    entry.handler = row.handler;
    commands_.push_back(std::move(entry));
  }
}

const CommandEntry* CommandHandler::Find(const Bytes& body) const {
  const CommandEntry* best = nullptr;
  for (const CommandEntry& entry : commands_) {
    if (entry.escape.size() + 1 > body.size()) continue;
    if ((entry.models & state_.modelMask) == 0) continue;
    if (!std::equal(entry.escape.begin(), entry.escape.end(), body.begin() + 1)) continue;
    if (!best || entry.escape.size() > best->escape.size()) best = &entry;
  }
  return best;
}

Bytes CommandHandler::Handle(const Bytes& frame) {
  if (recordedReply) {
    Bytes reply;
    if (recordedReply(frame, &reply)) return reply;
  }
  const Bytes body = FrameBody(frame);
  if (body.empty()) return Bytes{kNak};
  return HandleBody(body);
}

Bytes CommandHandler::HandleBody(const Bytes& body) {
  Response r;
  if (body.empty() || (body[0] != kEsc && body[0] != kFs)) {
    // Without ESC or FS the printer cannot tell which reply mode is wanted: plain status.
    r.Refuse(st1::kNotEsc, 0, ext::kPrimeiroDadoDifEscOu1c);
    return Layout(r, 0, false);
  }
  const bool extended = body[0] == kFs;
  const CommandEntry* entry = Find(body);
  if (!entry) {
    r.Refuse(st1::kUnknownCommand, 0, ext::kComandoInvalido);
    return Layout(r, 0, extended);
  }
  current_ = entry;
  r.form = entry->form;
  // A fiscal-memory reading sent back through the port is an open reply, decided by the
  // frame alone (first command byte 08h, frame byte 17 "R" or "r"), as the reader decides it.
  if (r.form != ReplyForm::kGprs && body.size() > 14 && body[1] == 0x08 && (body[14] == 'R' || body[14] == 'r')) {
    r.form = ReplyForm::kOpenEtx;
  }
  const Bytes params(body.begin() + 1 + static_cast<std::ptrdiff_t>(entry->escape.size()), body.end());
  if (params.size() < entry->minParams || params.size() > entry->maxParams) {
    r.Refuse(st1::kParameterCount, 0, ext::kNumeroParametrosInvalido);
  } else if (entry->needsIntervention && !state_.intervention) {
    r.Refuse(0, st2::kNotExecuted, ext::kNaoEmIntervencaoTecnica);
  } else if (entry->prints && state_.paper == PaperState::kOut) {
    r.Refuse(0, st2::kNotExecuted, ext::kImpressoraSemPapel);
  } else {
    const CommandSnapshot before = TakeSnapshot(state_);
    (this->*entry->handler)(params, r);
    // What the command printed or wrote goes to the detail tape and the fiscal memory.
    if (r.ext == 0 && entry->learned < 0) RecordOnTape(*entry, params, before, state_, Now());
  }
  if (r.form == ReplyForm::kGprs && r.data.empty() && !r.gprsBusy) {
    // A refused GPRS command still answers in its form: kind 0, "not executed".
    r.data = {0x00, 0x01};
  }
  if (state_.paper == PaperState::kOut) r.st1 |= st1::kPaperOut;
  if (state_.paper == PaperState::kLow) r.st1 |= st1::kPaperLow;
  current_ = nullptr;
  return Layout(r, entry->replySize, extended);
}

Bytes CommandHandler::Layout(const Response& r, int replySize, bool extended) {
  Bytes out{kAck};
  auto status = [&](bool withExtended) {
    out.push_back(r.st1);
    out.push_back(r.st2);
    if (withExtended) PutWord(out, r.ext);
  };
  switch (r.form) {
    case ReplyForm::kFixed: {
      Bytes data = r.data;
      data.resize(static_cast<std::size_t>(std::max(replySize, 0)), 0);
      out.insert(out.end(), data.begin(), data.end());
      status(extended);
      break;
    }
    case ReplyForm::kOpenEtx:
      status(extended);
      out.insert(out.end(), r.data.begin(), r.data.end());
      out.push_back(kEtx);
      break;
    case ReplyForm::kOpenNul:
      status(false);
      out.insert(out.end(), r.data.begin(), r.data.end());
      out.push_back(0x00);
      break;
    case ReplyForm::kGprs:
      if (r.gprsBusy) {
        // Kind 4: two bytes, a text, and a NUL; no status follows.
        out.push_back(0x04);
        out.insert(out.end(), r.data.begin(), r.data.end());
        out.push_back(0x00);
      } else {
        out.insert(out.end(), r.data.begin(), r.data.end());
        status(extended);
      }
      break;
  }
  return out;
}

void CommandHandler::LogoPacket(const Bytes& params, Response& r) {
  const std::uint16_t code = state_.logo.TakePacket(params[0], params[1], params.data() + 2, params.size() - 2);
  if (code != 0) r.Refuse(0, st2::kNotExecuted, code);
}

void CommandHandler::LogoConfirm(const Bytes& params, Response& r) {
  const std::uint16_t code = state_.logo.Confirm(params[0], params[1]);
  if (code != 0) {
    r.Refuse(0, st2::kNotExecuted, code);
    return;
  }
  if (onLogoKept) onLogoKept();
}

CivilTime CommandHandler::Now() const {
  const CivilTime host = clock_.LocalNow();
  std::tm tm{};
  tm.tm_year = host.year - 1900;
  tm.tm_mon = host.month - 1;
  tm.tm_mday = host.day;
  tm.tm_hour = host.hour;
  tm.tm_min = host.minute;
  tm.tm_sec = host.second;
  // Civil-time arithmetic done in UTC terms so no time-zone rule interferes.
  const std::time_t t = timegm(&tm) + static_cast<std::time_t>(state_.clockOffset);
  std::tm out{};
  gmtime_r(&t, &out);
  return CivilTime{out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec, 0};
}

SimDate CommandHandler::Today() const {
  const CivilTime now = Now();
  return SimDate{now.year, now.month, now.day};
}

}  // namespace tervane::sim
