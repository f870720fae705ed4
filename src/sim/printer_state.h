// Everything the simulated printer remembers: identity, owner data, programming, the
// fiscal day, the open document and the fiscal-memory records. Texts are kept as the
// printer holds them (code page 850 letters), exactly as they arrived in the frames, so
// what is programmed reads back byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/common/clock.h"
#include "sim/logo_store.h"
#include "sim/memories.h"

namespace tervane::sim {

inline constexpr int kRateCount = 16;
inline constexpr int kNonFiscalTotalizers = 30;   // those that take receipts and are reported
inline constexpr int kTotalizerNames = 50;        // names the printer keeps
inline constexpr int kPaymentMethods = 20;
inline constexpr int kManagementReports = 30;
inline constexpr int kDepartments = 20;
inline constexpr int kClicheSize = 186;
inline constexpr int kMaxItems = 999;

enum class PaperState { kOk, kLow, kOut };
enum class GprsState { kOn, kOff, kBusy };

// A calendar date; ordering compares year, month, day.
struct SimDate {
  int year = 0;   // four digits
  int month = 0;
  int day = 0;
  bool operator==(const SimDate&) const = default;
  bool Valid() const;
  auto operator<=>(const SimDate&) const = default;
};

struct PaymentMethod {
  std::string description;      // up to 16 bytes; empty = position free
  bool tef = false;             // allowed for card payments (and their vouchers)
  std::int64_t dayTotal = 0;    // cents received today
  std::int64_t lastCoupon = 0;  // cents received in the last coupon
};

struct CouponItem {
  std::string code;
  std::string description;
  std::string rate;             // "01".."16", "II", "FF", "NN"
  std::int64_t gross = 0;       // cents
  std::int64_t discount = 0;    // cents
  std::int64_t surcharge = 0;   // cents
  std::int64_t quantityMilli = 0;   // thousandths of a unit
  std::int64_t unitPriceMilli = 0;  // thousandths of a real
  bool cancelled = false;
  std::int64_t Net() const { return cancelled ? 0 : gross - discount + surcharge; }
};

struct CouponPayment {
  int method = 0;               // 1-based position
  std::int64_t amount = 0;      // cents
};

// The fiscal coupon (or passenger ticket) being issued.
struct Coupon {
  bool open = false;
  bool ticket = false;          // a passenger ticket rather than a sale coupon
  std::vector<CouponItem> items;
  bool totalized = false;       // closing started: no more items
  std::int64_t adjustment = 0;  // subtotal surcharge (+) or discount (-), cents
  std::vector<CouponPayment> payments;
  std::int64_t paid = 0;

  std::int64_t ItemsTotal() const;
  std::int64_t Total() const { return ItemsTotal() + adjustment; }
  int LiveItems() const;
};

// The totals of the fiscal day, written to the fiscal memory by the Z reduction.
struct DayTotals {
  std::array<std::int64_t, kRateCount> byRate{};
  std::int64_t exempt = 0;          // "II"
  std::int64_t notLevied = 0;       // "NN"
  std::int64_t substitution = 0;    // "FF"
  std::int64_t gross = 0;           // venda bruta
  std::int64_t cancelled = 0;
  std::int64_t discounts = 0;
  std::int64_t surcharges = 0;
  std::array<std::int64_t, kNonFiscalTotalizers> nonFiscal{};
  std::int64_t bleed = 0;           // sangria
  std::int64_t supply = 0;          // suprimento
};

// One record of the fiscal memory (one per Z reduction).
struct ReductionRecord {
  int crz = 0;
  int coo = 0;
  SimDate date;
  std::int64_t grandTotal = 0;
  std::int64_t gross = 0;
};

// What the last closed document allows afterwards.
struct LastDocument {
  bool coupon = false;              // the last document was a closed sale coupon
  bool cancellable = false;         // nothing else was issued since it closed
  bool cancelled = false;           // it was cancelled already
  int coo = 0;
  std::int64_t total = 0;
  std::vector<CouponPayment> payments;
  std::vector<bool> voucherIssued;  // per payment: a card voucher was opened for it
};

struct PrinterState {
  // Identity.
  std::string brand = "KELO";
  std::string model = "ZT-300 A";     // unpadded identifier
  std::uint32_t modelMask = 1024;     // the model's bit; 1FFFFh for an unknown model
  std::string type = "ECF-IF";
  std::string serial = "TV0100000000123";  // older models report 15, newer 20 characters
  std::string firmware = "010014";

  // Modes and sensors.
  bool intervention = false;
  // The intervention password the owner-data command (newer layout) must carry: ten bytes.
  std::string interventionPassword = std::string(10, '\xC3');
  PaperState paper = PaperState::kOk;
  GprsState gprs = GprsState::kOn;
  int gprsSignal = 21;

  // Owner data.
  int user = 1;
  std::string cnpj, ie, im, uf;
  bool passengerTicket = false;       // programmed for passenger tickets
  bool ticketMode = false;            // printing tickets now (toggled by the mode command)
  std::string till = "001";
  std::string store = "0001";
  std::string cliche;                 // printer bytes, style sequences included

  // Clock: the printer's time is the host's local time plus this many seconds.
  std::int64_t clockOffset = 0;
  bool daylightSaving = false;

  // Tax rates: 4 digits each ("1800" = 18,00 %); `rateCount` positions are programmed.
  std::array<std::string, kRateCount> rates;
  int rateCount = 0;
  std::array<bool, kRateCount> issBound{};

  std::array<std::string, kTotalizerNames> totalizerNames;        // 19 bytes max
  std::array<PaymentMethod, kPaymentMethods> payments;
  std::array<std::string, kManagementReports> reportNames;        // 17 bytes max
  std::array<int, kManagementReports> reportCounters{};
  std::array<std::string, kDepartments> departmentNames;          // 10 bytes max
  std::string authenticationGlyph;                                // 18 bytes

  // Option switches.
  bool additionalCoupon = false;
  bool issDiscount = false;
  bool voucherInNonFiscal = true;
  bool conferenceReading = true;
  bool automaticZ = false;
  char restaurantOrStore = '1';       // '0' restaurant, '1' store
  char conferenceCoupon = '0';        // '0'..'3'

  // Counters.
  int coo = 0;
  int crz = 0;
  int cro = 1;
  std::int64_t grandTotal = 0;        // cents

  // The fiscal day.
  bool hasMovement = false;           // a fiscal document was issued since the last Z
  SimDate movementDate;               // the day of that first document
  bool reducedToday = false;          // a Z was made on `reducedDate`
  SimDate reducedDate;
  bool lastZAutomatic = false;
  // The printer's clock at the last Z reduction, seconds since 1970 in printer time; 0
  // when no reduction was made here (the fiscal memory's last date then bounds the clock).
  std::int64_t lastReductionAt = 0;
  DayTotals day;

  // Documents.
  Coupon coupon;
  bool reportOpen = false;            // management report
  bool voucherOpen = false;           // card voucher (comprovante vinculado)
  LastDocument last;

  std::vector<ReductionRecord> fiscalMemory;

  // Graphic header (logo) uploads and the logos kept.
  LogoStore logo;

  // Detail tape, fiscal memory in file form, basic software, the download being served.
  PrinterMemories memories;

  PrinterState();
};

// Whole cents to the "%d,%02d" form, e.g. 12345 -> "123,45".
std::string Money(std::int64_t cents);

// Right-pads (or cuts) a byte text to `width` with `fill`.
std::string Fit(const std::string& text, std::size_t width, char fill = ' ');

// Seconds since 1970 of a civil time taken as UTC (the printer's clock arithmetic).
std::int64_t PrinterSeconds(const CivilTime& t);

// Cuts trailing spaces.
std::string TrimRight(const std::string& text);

}  // namespace tervane::sim
