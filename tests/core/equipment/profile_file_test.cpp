// equipamentos.xml: the written layout, what reading makes of odd files, and the list
// operations that decide which profile survives.
#include <fstream>

#include "core/common/atomic_file.h"
#include "core/common/xml_document.h"
#include "core/equipment/profile_browser.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/equipment_support.h"
#include "support/fake_prompter.h"

namespace tervane::testing {
namespace {

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ReadFile(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

std::string Wrap(const std::string& equipamentos) {
  return "<?xml version='1.0' encoding='Windows-1252'?>\n<equipamentos>" + equipamentos + "</equipamentos>";
}

ProfileRecord FullProfile() {
  ProfileRecord p;
  p.serialNumber = "KL0101000042";
  p.client = Cp("Padaria São João");
  p.cnpj = "11.222.333/0001-44";
  p.ie = "ISENTO";
  p.im = "IM-7";
  p.uf = "SP";
  p.password = "0123456789ABCDEF0123";
  p.storeNumber = "12";
  p.tillNumber = "003";
  p.date = "050324";
  p.time = "143015";
  p.daylightSaving = true;
  p.cliche = Cp("CLICHE_ENF_INI_XMLPÃO & CIACLICHE_ENF_END_XML\r\nRua <1>\r\n");
  p.issDiscount = true;
  p.automaticZ = true;
  p.rates[0] = "1800";
  p.rates[3] = "700";  // typed with three digits: kept as typed
  p.issBinding = "0100000000000001";
  p.restaurantOrStore = "0";
  p.conferenceCouponParameter = "-1";
  p.totalizerNames[0] = "SANGRIA";
  p.totalizerNames[49] = Cp("ÚLTIMO");
  return p;
}

TEST(ProfileFileTest, WritesTheFixedLayoutAndNeverThePassword) {
  ProfileRecord p;
  p.serialNumber = "S1";
  p.password = "C3C3C3C3C3C3C3C3C3C3";
  const std::string bytes = ProfilesDocumentBytes({p});
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
                        "<?xml-stylesheet type='text/xml' href='style.xsl'?>\n"
                        "<equipamentos xml:space=\"preserve\">\n\t<equipamento>\n\t\t<numero_de_serie>S1</numero_de_serie>"
                        "\n\t\t<cliente",
                        0),
            0u);
  EXPECT_NE(bytes.find("<tot_nao_suj50/>\n\t</equipamento>\n</equipamentos>\n"), std::string::npos);
  EXPECT_EQ(bytes.find("C3C3"), std::string::npos);

  // Element order, as a reader of the file sees it.
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadBytes(bytes));
  const XmlNodeList children = doc.SelectElements("equipamento")[0].Children();
  std::vector<std::string> names;
  for (int i = 0; i < children.size(); ++i) {
    if (children[i].Type() == XmlNodeType::kElement) {
      names.push_back(children[i].Name());
    } else {
      EXPECT_EQ(children[i].Text(), i + 1 == children.size() ? "\n\t" : "\n\t\t");
    }
  }
  ASSERT_EQ(names.size(), 87u);  // every field but the password
  const std::vector<std::string> head = {"numero_de_serie", "cliente", "CNPJ", "IE", "IM", "UF", "numero_da_loja",
                                         "numero_do_caixa", "data", "hora", "horario_de_verao", "cliche",
                                         "cupom_adicional", "desc_ISS", "vinc_CNF", "RV_na_conferencia",
                                         "RZ_automatica", "Bilhete_passagem", "aliquota1"};
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 19), head);
  EXPECT_EQ(names[33], "aliquota16");
  EXPECT_EQ(names[34], "vinc");
  EXPECT_EQ(names[35], "Restaurante_Loja");
  EXPECT_EQ(names[36], "Parametriza_Cupom_Conferencia");
  EXPECT_EQ(names[37], "tot_nao_suj1");
  EXPECT_EQ(names[86], "tot_nao_suj50");
}

TEST(ProfileFileTest, RoundTripKeepsEveryFieldButThePassword) {
  TempDir dir;
  const std::string path = dir.File("equipamentos.xml");
  ProfileRecord p = FullProfile();
  ASSERT_EQ(SaveProfiles(path, {p, ProfileRecord()}), 0);
  // The cliché's CR LF reach the file and come back as LF from the parser.
  EXPECT_NE(ReadFile(path).find(Cp("CIACLICHE_ENF_END_XML\r\nRua &lt;1&gt;\r\n</cliche>")), std::string::npos);

  ProfileList loaded;
  ASSERT_EQ(LoadProfiles(path, loaded), 0);
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_TRUE(loaded[0].password.empty());
  p.password.clear();
  EXPECT_EQ(loaded[0], p);
  EXPECT_EQ(loaded[1], ProfileRecord());
}

TEST(ProfileFileTest, ReadingOddFiles) {
  TempDir dir;
  const std::string path = dir.File("equipamentos.xml");
  // Booleans: empty text is true, "0" false, missing false; unknown children are
  // ignored; missing fields keep their defaults; profiles are found at any depth; the
  // first child of a name wins; LF in the cliché becomes CR LF.
  WriteFile(path, Wrap("<equipamento><numero_de_serie>A</numero_de_serie><cupom_adicional/>"
                       "<desc_ISS>0</desc_ISS><vinc_CNF>x</vinc_CNF><outro>?</outro>"
                       "<cliche>L1\nL2</cliche><IE>first</IE><IE>second</IE></equipamento>"
                       "<grupo><equipamento><numero_de_serie>B</numero_de_serie></equipamento></grupo>"));
  ProfileList list;
  ASSERT_EQ(LoadProfiles(path, list), 0);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_TRUE(list[0].additionalCoupon);
  EXPECT_FALSE(list[0].issDiscount);
  EXPECT_TRUE(list[0].linkedToCnf);
  EXPECT_FALSE(list[0].automaticZ);
  EXPECT_EQ(list[0].cliche, "L1\r\nL2");
  EXPECT_EQ(list[0].ie, "first");
  EXPECT_EQ(list[0].rates[5], "0000");
  EXPECT_EQ(list[0].issBinding, "0000000000000000");
  EXPECT_EQ(list[1].serialNumber, "B");

  // Not well-formed: -1, an empty list, and the reason; a missing file says so.
  WriteFile(path, Wrap("<equipamento><numero_de_serie>A</numero_de_serie>"));
  ProfileLoadInfo info;
  EXPECT_EQ(LoadProfiles(path, list, &info), -1);
  EXPECT_TRUE(list.empty());
  EXPECT_FALSE(info.fileMissing);
  EXPECT_NE(info.description.find("line"), std::string::npos);
  EXPECT_EQ(LoadProfiles(dir.File("none.xml"), list, &info), -1);
  EXPECT_TRUE(info.fileMissing);

  // A file that cannot be written is reported, not taken for saved.
  std::string error;
  EXPECT_EQ(SaveProfiles(dir.File("no/such/folder/equipamentos.xml"), {ProfileRecord()}, &error), -1);
  EXPECT_FALSE(error.empty());
}

TEST(ProfileFileTest, StoreReplaceAndDeleteBySerial) {
  ProfileRecord a, b, a2;
  a.serialNumber = "A";
  a.client = "first";
  b.serialNumber = "B";
  a2.serialNumber = "A";
  a2.client = "second";
  ProfileList list = {a, b, a2};

  ProfileRecord newer = a;
  newer.client = "new";
  EXPECT_TRUE(StoreProfile(list, newer, false));  // exists: nothing changes
  EXPECT_EQ(list[0].client, "first");
  EXPECT_FALSE(StoreProfile(list, newer, true));  // the first "A" goes, the new one is last
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].serialNumber, "B");
  EXPECT_EQ(list[1].client, "second");
  EXPECT_EQ(list[2].client, "new");
  EXPECT_FALSE(StoreProfile(list, list[0], true));  // an element of the list itself
  EXPECT_EQ(list.back().serialNumber, "B");

  EXPECT_EQ(DeleteProfilesBySerial(list, "A"), 2);
  EXPECT_EQ(list.size(), 1u);
}

TEST(ProfileBrowserTest, FindsChoosesAndDeletes) {
  TempDir dir;
  const std::string path = dir.File("equipamentos.xml");
  auto make = [](const std::string& serial, const std::string& client, const std::string& cnpj) {
    ProfileRecord p;
    p.serialNumber = serial;
    p.client = client;
    p.cnpj = cnpj;
    return p;
  };
  ASSERT_EQ(SaveProfiles(path, {make("A", "Acme", "1"), make("B", "ACME", "3"), make("A", "Other", "2"),
                                make("C", "", "4")}),
            0);
  ProfileBrowser browser(path);
  ASSERT_EQ(browser.Open(), 0);
  EXPECT_EQ(browser.ClientChoices(), (std::vector<std::string>{"Acme", "Other"}));
  EXPECT_EQ(browser.SerialsOfClient("Other"), std::vector<std::string>{"A"});
  EXPECT_EQ(browser.Search("", "A"), (std::vector<std::string>{"A", "A"}));
  EXPECT_EQ(browser.Search("Acme", ""), std::vector<std::string>{"A"});
  EXPECT_TRUE(browser.Search("", "").empty());

  ASSERT_TRUE(browser.Select("A"));  // the last profile with that serial
  EXPECT_EQ(browser.Description(), Cp("Número de série: A\r\nCliente: Other\r\nCNPJ: 2\r\nIE: \r\nIM: "));
  FakePrompter prompter;
  prompter.QueueYesNo(true);
  EXPECT_EQ(browser.DeleteChosen(&prompter), 2);
  EXPECT_FALSE(browser.HasChoice());
  ProfileList stored;
  ASSERT_EQ(LoadProfiles(path, stored), 0);
  EXPECT_EQ(stored.size(), 2u);

  // "Carregar configuração" asks again about the changed list, and needs a choice.
  prompter.QueueYesNo(false).QueueYesNo(false);
  EXPECT_FALSE(browser.LoadChosen(&prompter));
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kMessage).back().description, Cp("Por favor, escolha um registro."));
  ASSERT_TRUE(browser.Select("B"));
  EXPECT_TRUE(browser.LoadChosen(&prompter));
  EXPECT_EQ(browser.Chosen().client, "ACME");
  EXPECT_EQ(prompter.RequestsOf(PromptKind::kYesNo).size(), 3u);
}

}  // namespace
}  // namespace tervane::testing
