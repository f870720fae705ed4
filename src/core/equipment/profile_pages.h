// What the four profile pages show and how they map to and from a profile: the page
// windows bind their controls to these members and call Load before the sheet is shown
// and Store after OK. Limits are the character limits of the controls.
#pragma once

#include <array>
#include <string>

#include "core/common/settings.h"
#include "core/common/clock.h"
#include "core/equipment/profile_record.h"

namespace tervane {

// Character limits of the page controls.
namespace profile_limits {
inline constexpr int kClient = 20;
inline constexpr int kSerialNumber = 20;
inline constexpr int kCnpj = 20;
inline constexpr int kIe = 20;
inline constexpr int kIm = 20;
inline constexpr int kUf = 2;
inline constexpr int kPassword = 20;
inline constexpr int kStoreNumber = 4;
inline constexpr int kTillNumber = 3;
inline constexpr int kDate = 6;
inline constexpr int kTime = 6;
inline constexpr int kCliche = 186;
inline constexpr int kRate = 4;
inline constexpr int kTotalizerName = 19;
}  // namespace profile_limits

// The password field never comes from a profile: it starts with this value.
inline constexpr char kDefaultInterventionPassword[] = "C3C3C3C3C3C3C3C3C3C3";

// Page captions by string number, and the restaurant page's own caption.
inline constexpr int kGeneralInformationCaptionId = 32864;  // "Informações Gerais"
inline constexpr int kTaxRatesCaptionId = 32803;            // "Alíquotas"
inline constexpr int kTotalizersCaptionId = 32946;          // "Totalizadores Parciais não sujeitos"
inline constexpr char kRestaurantCaption[] = "Restaurante";

// "Informações Gerais": owner, numbers, clock, cliché, options and the password.
struct GeneralInformationPage {
  std::string client, serialNumber, cnpj, ie, im, uf;
  std::string password = kDefaultInterventionPassword;
  std::string storeNumber, tillNumber, date, time, cliche;
  bool daylightSaving = false;
  bool additionalCoupon = false;
  bool issDiscount = false;
  bool linkedToCnf = false;
  bool rvInConference = false;
  bool automaticZ = false;
  bool passengerTicket = false;

  // Every field but the password, which goes back to its default.
  void Load(const ProfileRecord& profile);
  // Every field, the password included, as the page holds it.
  void Store(ProfileRecord& profile) const;
  // "Carregar do computador": date DDMMYY and time HHMMSS from the computer's clock.
  void LoadComputerClock(const CivilTime& now);
};

// "Alíquotas": sixteen rates, each bound to ICMS (false) or ISS (true).
struct TaxRatePage {
  std::array<std::string, kProfileRates> rates;
  std::array<bool, kProfileRates> iss{};

  // Rate k from rate k; any binding character but '0' selects ISS, a missing one ICMS.
  void Load(const ProfileRecord& profile);
  // Rates as typed; the binding as sixteen '1' (ISS) / '0' (ICMS) characters.
  void Store(ProfileRecord& profile) const;
};

// "Restaurante" (restaurant models only).
struct RestaurantPage {
  int restaurantOrStore = 0;       // 0 "Parametriza para restaurante", 1 "Parametriza para loja"
  bool conferenceCoupon = false;   // "Parametriza cupom de conferência"
  int parameter = 0;               // "Parâmetro 0" .. "Parâmetro 3"

  // Decimal values of the two fields (empty reads 0); a negative conference-coupon
  // value clears the check and sets the parameter to 0.
  void Load(const ProfileRecord& profile);
  // The choice as a decimal digit; the parameter's, or "-1" when the check is clear.
  void Store(ProfileRecord& profile) const;
};

// "Totalizadores Parciais não sujeitos": fifty names, of which the first `enabledCount`
// can be edited.
struct TotalizerPage {
  std::array<std::string, kProfileTotalizers> names;
  int enabledCount = kProfileTotalizers;

  bool IsEnabled(int index) const { return index >= 0 && index < enabledCount; }  // 0-based
  void Load(const ProfileRecord& profile);
  // All fifty names, disabled ones included (they keep what was loaded).
  void Store(ProfileRecord& profile) const;
};

// The property sheet of one programming run.
struct ProfileSheet {
  GeneralInformationPage general;
  TaxRatePage taxRates;
  TotalizerPage totalizers;
  RestaurantPage restaurant;
  bool showRestaurantPage = false;
  // After a read of the printer: a warning shown above the pages when the read was not
  // whole, and a mark on the option switches and restaurant settings, which no read
  // reports ("não lido do equipamento"), saying whether they come from the stored profile.
  std::string readWarning;
  bool unreadSwitches = false;
  bool unreadFromStored = false;
};

// The mark the pages put on values a read of the printer does not report.
std::string NotReadMark(bool fromStoredProfile);

// Fills the pages from the profile for the selected model: the totalizer count from the
// model's group, the restaurant page for the restaurant models only.
ProfileSheet MakeProfileSheet(const ProfileRecord& profile, const ProgramSettings& settings);

// Copies the pages back into the profile (the restaurant page only when it was shown);
// the serial number loses its spaces.
void ApplyProfileSheet(const ProfileSheet& sheet, ProfileRecord& profile);

}  // namespace tervane
