// The simulated printer's engine: takes one complete frame and returns the reply bytes.
// It knows its command set by itself (a built-in table) and may learn further commands
// from a catalogue. No I/O happens here, so tests drive it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/common/clock.h"
#include "sim/printer_state.h"
#include "sim/refusal_codes.h"
#include "sim/sim_frame.h"

namespace tervane {
struct CommandCatalogue;
}

namespace tervane::sim {

// Status bits (ST1, ST2) and extended codes the printer uses in its refusals.
namespace st1 {
inline constexpr std::uint8_t kPaperOut = 0x80;
inline constexpr std::uint8_t kPaperLow = 0x40;
inline constexpr std::uint8_t kClockError = 0x20;
inline constexpr std::uint8_t kPrinterError = 0x10;
inline constexpr std::uint8_t kNotEsc = 0x08;
inline constexpr std::uint8_t kUnknownCommand = 0x04;
inline constexpr std::uint8_t kCouponOpen = 0x02;
inline constexpr std::uint8_t kParameterCount = 0x01;
}  // namespace st1
namespace st2 {
inline constexpr std::uint8_t kParameterType = 0x80;
inline constexpr std::uint8_t kFiscalMemoryFull = 0x40;
inline constexpr std::uint8_t kRamError = 0x20;
inline constexpr std::uint8_t kRateNotProgrammed = 0x10;
inline constexpr std::uint8_t kRatesFull = 0x08;
inline constexpr std::uint8_t kCancelNotAllowed = 0x04;
inline constexpr std::uint8_t kOwnerNotProgrammed = 0x02;
inline constexpr std::uint8_t kNotExecuted = 0x01;
}  // namespace st2

enum class ReplyForm {
  kFixed,    // ACK, the declared number of data bytes, ST1, ST2 [, extended code]
  kOpenEtx,  // ACK, ST1, ST2 [, extended code], text, 03h
  kOpenNul,  // ACK, ST1, ST2, text, 00h (never an extended code)
  kGprs,     // ACK, kind byte, kind data, ST1, ST2 [, extended code]; or the busy form
};

// What one command produced, before it is laid out as bytes.
struct Response {
  ReplyForm form = ReplyForm::kFixed;
  Bytes data;               // fixed data, open text, or the GPRS kind byte and its data
  std::uint8_t st1 = 0;
  std::uint8_t st2 = 0;
  std::uint16_t ext = 0;
  bool gprsBusy = false;    // answer with the GPRS "module busy" form

  // Records a refusal: the status bits and the extended code saying why.
  void Refuse(std::uint8_t st1Bits, std::uint8_t st2Bits, std::uint16_t code) {
    st1 |= st1Bits;
    st2 |= st2Bits;
    ext = code;
  }
};

class CommandHandler;
using Handler = void (CommandHandler::*)(const Bytes& params, Response& response);

// A command learned from a catalogue: reply size and shape, return fields to fill, and
// the parameter byte counts the layout allows.
struct LearnedField {
  std::string kind;
  int size = 0;
};
struct LearnedCommand {
  std::string title;
  ReplyForm form = ReplyForm::kFixed;
  int replySize = 0;
  std::vector<LearnedField> fields;
  std::size_t minParams = 0;
  std::size_t maxParams = 0;
};

// One entry of the command table.
struct CommandEntry {
  Bytes escape;
  std::string title;
  ReplyForm form = ReplyForm::kFixed;
  int replySize = 0;                  // fixed form: data bytes
  std::size_t minParams = 0;          // parameter bytes accepted
  std::size_t maxParams = 0;
  bool needsIntervention = false;
  bool prints = false;                // refused when the paper is out
  std::uint32_t models = 0x1FFFF;     // model bits the command exists on
  Handler handler = nullptr;
  int learned = -1;                   // index into the learned commands, -1 built-in
};

class CommandHandler {
 public:
  CommandHandler(PrinterState& state, Clock& clock);

  // Answers one complete frame (STX .. sum). A frame whose length or sum is wrong gets
  // the single byte NAK; everything else gets ACK, data and status as the command's
  // reply form says. Never fails.
  Bytes Handle(const Bytes& frame);

  // Answers a frame already known to be good, given its body (ESC/FS, command, params).
  Bytes HandleBody(const Bytes& body);

  // Adds the catalogue's commands that the printer does not know by itself, so they are
  // answered with their declared reply size and COMANDO OK. Returns how many were added.
  int Learn(const CommandCatalogue& catalogue);

  // The command a body addresses (longest escape that matches and exists on the model),
  // or null.
  const CommandEntry* Find(const Bytes& body) const;

  const std::vector<CommandEntry>& Commands() const { return commands_; }
  PrinterState& State() { return state_; }

  // Called after a logo upload was confirmed and kept (state().logo.kept holds it).
  std::function<void()> onLogoKept;

  // Consulted first by Handle: true with the reply to send for a frame it knows (a
  // recorded session being replayed), false to answer by the printer's own rules.
  std::function<bool(const Bytes& frame, Bytes* reply)> recordedReply;

  // The printer's clock now (host local time plus the programmed offset).
  CivilTime Now() const;
  SimDate Today() const;

  // Builds the reply bytes of a response; `extended` adds the two extended-code bytes
  // (never to the NUL-terminated form).
  static Bytes Layout(const Response& response, int replySize, bool extended);

 private:
  // Queries.
  void StatusProbe(const Bytes&, Response&);
  void ModelQuery(const Bytes&, Response&);
  void SerialOld(const Bytes&, Response&);
  void SerialMfd(const Bytes&, Response&);
  void UserNumber(const Bytes&, Response&);
  void OwnerOld(const Bytes&, Response&);
  void OwnerCnpj(const Bytes&, Response&);
  void OwnerIe(const Bytes&, Response&);
  void OwnerIm(const Bytes&, Response&);
  void OwnerUf(const Bytes&, Response&);
  void TillNumber(const Bytes&, Response&);
  void StoreNumber(const Bytes&, Response&);
  void DateTime(const Bytes&, Response&);
  void FiscalFlags(const Bytes&, Response&);
  void FiscalFlags2(const Bytes&, Response&);
  void FiscalFlags3(const Bytes&, Response&);
  void ClicheRead(const Bytes&, Response&);
  void RatesRead(const Bytes&, Response&);
  void RateCount(const Bytes&, Response&);
  void IssRead(const Bytes&, Response&);
  void TotalizerNames9(const Bytes&, Response&);
  void TotalizerNames30(const Bytes&, Response&);
  void PrintConfiguration(const Bytes&, Response&);
  void PaymentMethodsRead(const Bytes&, Response&);
  void DepartmentsRead(const Bytes&, Response&);
  void NonFiscalTotalizersRead(const Bytes&, Response&);
  void ManagementReportsRead(const Bytes&, Response&);
  void CooRead(const Bytes&, Response&);
  void GrandTotalRead(const Bytes&, Response&);
  void PaperStatus(const Bytes&, Response&);
  void Sensors(const Bytes&, Response&);
  void ChequeStatus(const Bytes&, Response&);
  void Eprom(const Bytes&, Response&);
  void Truncation(const Bytes&, Response&);
  void Cutter(const Bytes&, Response&);
  void Alignment(const Bytes&, Response&);
  void Drawer(const Bytes&, Response&);
  void ZMode(const Bytes&, Response&);
  void PartialTotals(const Bytes&, Response&);
  void FirmwareVersion(const Bytes&, Response&);
  void MfdInformation(const Bytes&, Response&);
  void EquipmentMessage(const Bytes&, Response&);
  void MemoryCheckOld(const Bytes&, Response&);
  void MemoryCheckFull(const Bytes&, Response&);

  // The coupon.
  void OpenCoupon(const Bytes&, Response&);
  void SellItem(const Bytes&, Response&);
  void SellItem3(const Bytes&, Response&);
  void CancelItem(const Bytes&, Response&);
  void ItemAdjustment(const Bytes&, Response&);
  void Totalize(const Bytes&, Response&);
  void Pay(const Bytes&, Response&);
  void CloseCoupon(const Bytes&, Response&);
  void CloseCouponShort(const Bytes&, Response&);
  void CancelCoupon(const Bytes&, Response&);
  void CouponOrTicket(const Bytes&, Response&);
  void OpenTicket(const Bytes&, Response&);

  // Readings.
  void ReadingX(const Bytes&, Response&);
  void ReductionZ(const Bytes&, Response&);
  void FiscalMemoryReading(const Bytes&, Response&);
  void DetailTape(const Bytes&, Response&);
  void FiscalMemoryData(const Bytes&, Response&);

  // Non-fiscal documents and devices.
  void ManagementReport(const Bytes&, Response&);
  void CloseReport(const Bytes&, Response&);
  void Bleed(const Bytes&, Response&);
  void NonFiscalReceipt(const Bytes&, Response&);
  void OpenVoucher(const Bytes&, Response&);
  void OpenDrawer(const Bytes&, Response&);
  void PrintCheque(const Bytes&, Response&);
  void Authenticate(const Bytes&, Response&);
  void AuthenticationGlyph(const Bytes&, Response&);
  void CommunicationTest(const Bytes&, Response&);
  void LineFeed(const Bytes&, Response&);

  // Programming.
  void ProgramOwner(const Bytes&, Response&);
  void SetDateTime(const Bytes&, Response&);
  void ProgramCliche(const Bytes&, Response&);
  void ProgramTillStore(const Bytes&, Response&);
  void ProgramRate(const Bytes&, Response&);
  void ReplaceRates(const Bytes&, Response&);
  void ProgramIss(const Bytes&, Response&);
  void NameTotalizer(const Bytes&, Response&);
  void ProgramPaymentMethods(const Bytes&, Response&);
  void ProgramPaymentMethodsNoTef(const Bytes&, Response&);
  void SwitchAdditionalCoupon(const Bytes&, Response&);
  void SwitchIssDiscount(const Bytes&, Response&);
  void SwitchVoucherInNonFiscal(const Bytes&, Response&);
  void SwitchConferenceReading(const Bytes&, Response&);
  void SwitchAutomaticZ(const Bytes&, Response&);
  void RestaurantOrStore(const Bytes&, Response&);
  void ConferenceCoupon(const Bytes&, Response&);

  // Graphic header upload.
  void LogoPacket(const Bytes&, Response&);
  void LogoConfirm(const Bytes&, Response&);

  // Memory downloads.
  void MemoryDownloadOpen(const Bytes&, Response&);
  void MemoryDownloadBlock(const Bytes&, Response&);
  void MemoryDownloadClose(const Bytes&, Response&);

  // GPRS module.
  void GprsTest(const Bytes&, Response&);
  void GprsSignal(const Bytes&, Response&);
  void GprsMessage(const Bytes&, Response&);

  // Commands learned from a catalogue.
  void LearnedReply(const Bytes&, Response&);

  // Shared steps.
  bool RefuseUnlessSaleAllowed(Response& r);
  bool RefuseIfDocumentOpen(Response& r);
  bool RefuseIfNotFiscalDayOpen(Response& r);
  void StartDocument();
  void NoteMovement();
  void AddItem(CouponItem item, Response& r);
  void FinishCoupon();
  void ProgramPaymentList(const Bytes& params, std::size_t stride, Response& r);
  void SwitchOption(const Bytes& params, bool oddEnables, bool& option, Response& r);
  void OwnerField(const std::string& value, int width, Response& r);
  std::string FiscalMemoryText(bool byDate, SimDate from, SimDate to, int crzFrom, int crzTo,
                               bool simplified);

  PrinterState& state_;
  Clock& clock_;
  std::vector<CommandEntry> commands_;
  std::vector<LearnedCommand> learned_;
  const CommandEntry* current_ = nullptr;
};

}  // namespace tervane::sim
