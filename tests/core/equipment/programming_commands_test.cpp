// The programming commands built from a profile for each model group, the rate list,
// and the pages' mappings to and from a profile.
#include "core/equipment/profile_pages.h"
#include "core/equipment/programming_commands.h"
#include "core/equipment/equipment_support.h"
#include "core/protocol/frame_builder.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

ProfileRecord ProgrammableProfile() {
  ProfileRecord p;
  p.cnpj = "11.222.333/0001-44";
  p.ie = "ISENTO";
  p.im = "IM-7";
  p.uf = "SP";
  p.password = kDefaultInterventionPassword;
  p.tillNumber = "003";
  p.storeNumber = "0012";
  p.date = "050324";
  p.time = "143015";
  p.cliche = "LOJA\r\n";
  p.passengerTicket = true;
  p.rates[0] = "1800";
  p.rates[2] = "0500";
  p.issBinding = "00x0000000000001";
  for (int i = 0; i < kProfileTotalizers; ++i) p.totalizerNames[static_cast<size_t>(i)] = "T" + std::to_string(i + 1);
  return p;
}

std::vector<std::string> Escapes(const std::vector<CommandRecord>& list) {
  std::vector<std::string> out;
  for (const auto& c : list) out.push_back(c.escapeText);
  return out;
}

int CountEscape(const std::vector<CommandRecord>& list, const std::string& escape) {
  return static_cast<int>(std::count_if(list.begin(), list.end(), [&](const auto& c) { return c.escapeText == escape; }));
}

TEST(ProgrammingCommandsTest, NewerModelSendsTheLongOwnerLayoutAndAtMost28Names) {
  const ProgramSettings settings = SettingsFor("ZT-300 A", "/tmp");
  FakePrompter prompter;
  const auto list = BuildProgrammingCommands(ProgrammableProfile(), settings, &prompter);
  EXPECT_TRUE(prompter.Requests().empty());
  ASSERT_EQ(list.size(), 6u + 28u + 5u);
  for (const auto& c : list) EXPECT_EQ(c.group, "Intervencao tecnica");

  const CommandRecord& owner = list[0];
  EXPECT_EQ(owner.title, "Programa CNPJ/IE/IM");
  ASSERT_EQ(owner.parameterCount(), 7);
  EXPECT_EQ(owner.parameters[4].value, "B");
  EXPECT_EQ(owner.parameters[6].kind, "DIG_HEX");
  EXPECT_EQ(owner.parameters[6].value, kDefaultInterventionPassword);
  const std::vector<std::string> escapes = Escapes(list);
  EXPECT_EQ(std::vector<std::string>(escapes.begin(), escapes.begin() + 7),
            (std::vector<std::string>{"4", "2", "3", "17", "36", "38", "40"}));
  EXPECT_EQ(list[5].parameters[0].value, "0010000000000001");  // any binding but '0' is ISS
  EXPECT_EQ(list[6 + 27].parameters[0].value, "28");
  EXPECT_EQ(list[6 + 27].parameters[1].value, "T28");
  EXPECT_EQ(std::vector<std::string>(escapes.end() - 5, escapes.end()),
            (std::vector<std::string>{"68", "123", "80 64", "80 65", "84"}));

  // Every command frames; the owner data, rate list and a name have their exact sizes.
  for (CommandRecord c : list) ASSERT_EQ(AssembleFrame(c, settings), 0) << c.title;
  CommandRecord rates = list[4];
  AssembleFrame(rates, settings);
  EXPECT_EQ(rates.frame.length, 3u + 2u + 65u + 2u);
  EXPECT_EQ(rates.frame.bytes[5], 2);  // the count byte
}

TEST(ProgrammingCommandsTest, OlderRestaurantAndUndetectedVariants) {
  // Older model: the short owner layout, 48 names, no restaurant rows.
  auto older = BuildProgrammingCommands(ProgrammableProfile(), SettingsFor("ZK-110 A", "/tmp"), nullptr);
  EXPECT_EQ(older[0].title, "Programa CGC/IE/IM");
  ASSERT_EQ(older[0].parameterCount(), 4);
  EXPECT_EQ(older[0].parameters[2].title, "BP, B para bilhete de passagem");
  EXPECT_EQ(CountEscape(older, "40"), 48);
  EXPECT_EQ(CountEscape(older, "80 63"), 0);

  // A restaurant model with every name set reaches the 61 commands; the conference
  // coupon is parametrised when its field is empty or 0..3, not when it is -1.
  const ProgramSettings restaurant = SettingsFor("ZK-110 BR", "/tmp");
  ProfileRecord p = ProgrammableProfile();
  p.restaurantOrStore = "1";
  p.conferenceCouponParameter = "2";
  auto full = BuildProgrammingCommands(p, restaurant, nullptr);
  ASSERT_EQ(full.size(), static_cast<size_t>(kMaxProgrammingCommands));
  EXPECT_EQ(full[59].escapeText, "80 63");
  EXPECT_EQ(full[59].parameters[0].value, "1");
  EXPECT_EQ(full[60].escapeText, "80 57");
  EXPECT_EQ(full[60].parameters[0].value, "2");
  p.conferenceCouponParameter = "-1";
  auto unchecked = BuildProgrammingCommands(p, restaurant, nullptr);
  EXPECT_EQ(unchecked.back().escapeText, "80 63");
  EXPECT_EQ(CountEscape(unchecked, "80 57"), 0);
  EXPECT_EQ(CountEscape(BuildProgrammingCommands(p, SettingsFor("ZK-110 AR", "/tmp"), nullptr), "80 63"), 1);

  // Before any model is known (mask 255): the newer owner layout, the older name count.
  ProgramSettings undetected;
  ASSERT_EQ(undetected.g_modelMask, 255u);
  auto first = BuildProgrammingCommands(ProgrammableProfile(), undetected, nullptr);
  EXPECT_EQ(first[0].title, "Programa CNPJ/IE/IM");
  EXPECT_EQ(CountEscape(first, "40"), 48);
}

TEST(ProgrammingCommandsTest, EmptyNamesAndSwitches) {
  ProfileRecord p = ProgrammableProfile();
  p.totalizerNames.fill("");
  p.totalizerNames[1] = "SANGRIA";
  p.totalizerNames[29] = "NOT SENT";  // position 30 of 30 stays in the profile only
  p.additionalCoupon = true;
  p.linkedToCnf = true;
  auto list = BuildProgrammingCommands(p, SettingsFor("ZT-300 A", "/tmp"), nullptr);
  ASSERT_EQ(CountEscape(list, "40"), 1);
  EXPECT_EQ(list[6].parameters[0].value, "02");
  // Odd enables 68 and 123; even enables 80 64, 80 65 and 84.
  std::vector<std::string> switches;
  for (size_t i = list.size() - 5; i < list.size(); ++i) switches.push_back(list[i].parameters[0].value);
  EXPECT_EQ(switches, (std::vector<std::string>{"1", "0", "0", "1", "1"}));
}

TEST(ProgrammingCommandsTest, RateList) {
  ProfileRecord p;
  EXPECT_EQ(RateListValue(p), "00" + std::string(64, '0'));
  p.rates[1] = "1800";
  p.rates[4] = "700";    // three characters: neither counted nor sent
  p.rates[7] = "12000";  // five characters: the same
  p.rates[15] = "0250";
  EXPECT_EQ(RateListValue(p), "0218000250" + std::string(56, '0'));
  p.rates.fill("0100");
  EXPECT_EQ(RateListValue(p).substr(0, 6), "160100");
  EXPECT_EQ(RateListValue(p).size(), 66u);
}

TEST(ProfilePagesTest, SheetMapsToAndFromTheProfile) {
  ProfileRecord p = ProgrammableProfile();
  p.password = "FFFF";
  p.serialNumber = "KL 01 02";
  p.restaurantOrStore = "";
  p.conferenceCouponParameter = "";

  ProfileSheet sheet = MakeProfileSheet(p, SettingsFor("ZT-300 A", "/tmp"));
  EXPECT_EQ(sheet.general.password, kDefaultInterventionPassword);  // never from the profile
  EXPECT_EQ(sheet.totalizers.enabledCount, 30);
  EXPECT_FALSE(sheet.showRestaurantPage);
  EXPECT_TRUE(sheet.taxRates.iss[2]);  // any binding character but '0' is ISS
  sheet.taxRates.rates[1] = "1200";
  sheet.taxRates.iss[1] = true;
  sheet.general.LoadComputerClock(CivilTime{2009, 12, 31, 7, 5, 9, 0});
  ApplyProfileSheet(sheet, p);
  EXPECT_EQ(p.serialNumber, "KL0102");
  EXPECT_EQ(p.issBinding, "0110000000000001");
  EXPECT_EQ(p.date, "311209");
  EXPECT_EQ(p.time, "070509");
  EXPECT_EQ(p.restaurantOrStore, "");  // no restaurant page: untouched

  // Restaurant page: empty fields read as restaurant with parameter 0 checked; -1 clears.
  ProfileSheet r = MakeProfileSheet(p, SettingsFor("ZK-110 AR", "/tmp"));
  EXPECT_TRUE(r.showRestaurantPage);
  EXPECT_EQ(r.totalizers.enabledCount, 50);
  EXPECT_EQ(r.restaurant.restaurantOrStore, 0);
  EXPECT_TRUE(r.restaurant.conferenceCoupon);
  r.restaurant.restaurantOrStore = 1;
  r.restaurant.conferenceCoupon = false;
  r.restaurant.parameter = 3;
  ApplyProfileSheet(r, p);
  EXPECT_EQ(p.restaurantOrStore, "1");
  EXPECT_EQ(p.conferenceCouponParameter, "-1");

}

}  // namespace
}  // namespace tervane::testing
