// An equipment profile: the values one fiscal printer is programmed with in technical
// intervention, kept per serial number in equipamentos.xml. Texts are Windows-1252.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tervane {

inline constexpr int kProfileRates = 16;
inline constexpr int kProfileTotalizers = 50;
inline constexpr char kFreeRate[] = "0000";                     // a rate position not in use
inline constexpr char kAllIcmsBinding[] = "0000000000000000";   // every rate bound to ICMS

// A value type (copyable) that pages and tools may derive from, hence the virtual
// destructor. Fields are in the order the profile has always declared them.
struct ProfileRecord {
  virtual ~ProfileRecord() = default;
  ProfileRecord() = default;
  ProfileRecord(const ProfileRecord&) = default;
  ProfileRecord& operator=(const ProfileRecord&) = default;
  ProfileRecord(ProfileRecord&&) = default;
  ProfileRecord& operator=(ProfileRecord&&) = default;

  // Restaurant models only: the conference-coupon parameter "0".."3", or "-1" when the
  // conference coupon is not parametrised; and "0" restaurant / "1" store.
  std::string conferenceCouponParameter;
  std::string restaurantOrStore;
  std::string client;             // at most 20
  std::string serialNumber;       // at most 20; the key, stored without spaces
  std::string cnpj;               // at most 20
  std::string ie;                 // at most 20, state registration
  std::string im;                 // at most 20, municipal registration
  std::string uf;                 // at most 2
  std::string password;           // 20 hexadecimal digits; never written to the file
  std::string storeNumber;        // at most 4
  std::string tillNumber;         // at most 3
  std::string date;               // DDMMYY
  std::string time;               // HHMMSS
  bool daylightSaving = false;
  std::string cliche;             // at most 186, lines separated by CR LF, style markers allowed
  bool additionalCoupon = false;
  bool issDiscount = false;
  bool linkedToCnf = false;
  bool rvInConference = false;
  bool automaticZ = false;
  bool passengerTicket = false;
  // Rates in hundredths of a percent ("1800" is 18,00 %); "0000" marks a free position.
  std::array<std::string, kProfileRates> rates = MakeFreeRates();
  // Character k is '1' when rate k is an ISS rate, '0' when it is an ICMS rate.
  std::string issBinding = kAllIcmsBinding;
  // Names of the partial totalizers not subject to ICMS, at most 19 characters each.
  std::array<std::string, kProfileTotalizers> totalizerNames;

  bool operator==(const ProfileRecord&) const = default;

 private:
  static std::array<std::string, kProfileRates> MakeFreeRates() {
    std::array<std::string, kProfileRates> r;
    r.fill(kFreeRate);
    return r;
  }
};

// Profiles in file order; StoreProfile moves a replaced profile to the end.
using ProfileList = std::vector<ProfileRecord>;

}  // namespace tervane
