#include "core/equipment/profile_pages.h"

#include "core/common/charset.h"
#include "core/common/text.h"
#include "core/equipment/model_groups.h"
#include "core/equipment/profile_file.h"

namespace tervane {

void GeneralInformationPage::Load(const ProfileRecord& p) {
  client = p.client;
  serialNumber = p.serialNumber;
  cnpj = p.cnpj;
  ie = p.ie;
  im = p.im;
  uf = p.uf;
  password = kDefaultInterventionPassword;
  storeNumber = p.storeNumber;
  tillNumber = p.tillNumber;
  date = p.date;
  time = p.time;
  cliche = p.cliche;
  daylightSaving = p.daylightSaving;
  additionalCoupon = p.additionalCoupon;
  issDiscount = p.issDiscount;
  linkedToCnf = p.linkedToCnf;
  rvInConference = p.rvInConference;
  automaticZ = p.automaticZ;
  passengerTicket = p.passengerTicket;
}

void GeneralInformationPage::Store(ProfileRecord& p) const {
  p.client = client;
  p.serialNumber = serialNumber;
  p.cnpj = cnpj;
  p.ie = ie;
  p.im = im;
  p.uf = uf;
  p.password = password;
  p.storeNumber = storeNumber;
  p.tillNumber = tillNumber;
  p.date = date;
  p.time = time;
  p.cliche = cliche;
  p.daylightSaving = daylightSaving;
  p.additionalCoupon = additionalCoupon;
  p.issDiscount = issDiscount;
  p.linkedToCnf = linkedToCnf;
  p.rvInConference = rvInConference;
  p.automaticZ = automaticZ;
  p.passengerTicket = passengerTicket;
}

void GeneralInformationPage::LoadComputerClock(const CivilTime& now) {
  date = Format("%02d%02d%02d", now.day, now.month, now.year % 100);
  time = Format("%02d%02d%02d", now.hour, now.minute, now.second);
}

void TaxRatePage::Load(const ProfileRecord& p) {
  for (size_t k = 0; k < rates.size(); ++k) {
    rates[k] = p.rates[k];
    iss[k] = k < p.issBinding.size() && p.issBinding[k] != '0';
  }
}

void TaxRatePage::Store(ProfileRecord& p) const {
  p.issBinding.assign(kProfileRates, '0');
  for (size_t k = 0; k < rates.size(); ++k) {
    p.rates[k] = rates[k];
    if (iss[k]) p.issBinding[k] = '1';
  }
}

void RestaurantPage::Load(const ProfileRecord& p) {
  restaurantOrStore = Atoi(p.restaurantOrStore);
  const int value = Atoi(p.conferenceCouponParameter);
  conferenceCoupon = value >= 0;
  parameter = value >= 0 ? value : 0;
}

void RestaurantPage::Store(ProfileRecord& p) const {
  p.restaurantOrStore = std::to_string(restaurantOrStore);
  p.conferenceCouponParameter = conferenceCoupon ? std::to_string(parameter) : "-1";
}

void TotalizerPage::Load(const ProfileRecord& p) { names = p.totalizerNames; }

void TotalizerPage::Store(ProfileRecord& p) const { p.totalizerNames = names; }

ProfileSheet MakeProfileSheet(const ProfileRecord& profile, const ProgramSettings& settings) {
  ProfileSheet sheet;
  sheet.general.Load(profile);
  sheet.taxRates.Load(profile);
  sheet.totalizers.Load(profile);
  sheet.totalizers.enabledCount = EnabledTotalizerCount(settings.g_modelMask);
  sheet.showRestaurantPage = IsRestaurantModel(settings);
  if (sheet.showRestaurantPage) sheet.restaurant.Load(profile);
  return sheet;
}

void ApplyProfileSheet(const ProfileSheet& sheet, ProfileRecord& profile) {
  sheet.general.Store(profile);
  sheet.taxRates.Store(profile);
  sheet.totalizers.Store(profile);
  if (sheet.showRestaurantPage) sheet.restaurant.Store(profile);
  profile.serialNumber = WithoutSpaces(profile.serialNumber);
}

std::string NotReadMark(bool fromStoredProfile) {
  return Utf8ToCp1252Lossy(fromStoredProfile ? "não lido do equipamento: valores do perfil salvo"
                                             : "não lido do equipamento: confira antes de programar");
}

}  // namespace tervane
