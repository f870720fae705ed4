#include "core/equipment/profile_file.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "core/common/text.h"
#include "core/common/xml_document.h"

namespace tervane {
namespace {

// One stored field: its element name and where it lives in the record.
struct TextField {
  const char* element;
  std::string ProfileRecord::*member;
};
struct FlagField {
  const char* element;
  bool ProfileRecord::*member;
};

// The fields in the order the file lists them; rates, ISS binding, the restaurant fields
// and the totalizer names follow in SaveProfiles.
const TextField kLeadingTexts[] = {
    {"numero_de_serie", &ProfileRecord::serialNumber},
    {"cliente", &ProfileRecord::client},
    {"CNPJ", &ProfileRecord::cnpj},
    {"IE", &ProfileRecord::ie},
    {"IM", &ProfileRecord::im},
    {"UF", &ProfileRecord::uf},
    {"numero_da_loja", &ProfileRecord::storeNumber},
    {"numero_do_caixa", &ProfileRecord::tillNumber},
    {"data", &ProfileRecord::date},
    {"hora", &ProfileRecord::time},
};
const FlagField kDaylightSaving = {"horario_de_verao", &ProfileRecord::daylightSaving};
const TextField kCliche = {"cliche", &ProfileRecord::cliche};
const FlagField kOptions[] = {
    {"cupom_adicional", &ProfileRecord::additionalCoupon},
    {"desc_ISS", &ProfileRecord::issDiscount},
    {"vinc_CNF", &ProfileRecord::linkedToCnf},
    {"RV_na_conferencia", &ProfileRecord::rvInConference},
    {"RZ_automatica", &ProfileRecord::automaticZ},
    {"Bilhete_passagem", &ProfileRecord::passengerTicket},
};
const TextField kIssBinding = {"vinc", &ProfileRecord::issBinding};
const TextField kRestaurant[] = {
    {"Restaurante_Loja", &ProfileRecord::restaurantOrStore},
    {"Parametriza_Cupom_Conferencia", &ProfileRecord::conferenceCouponParameter},
};

std::string RateElement(int k) { return "aliquota" + std::to_string(k + 1); }
std::string TotalizerElement(int k) { return "tot_nao_suj" + std::to_string(k + 1); }

// Every LF becomes CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Reads one `equipamento` element.
class ProfileReader {
 public:
  explicit ProfileReader(XmlNode element) : children_(element.Children()) {}

  // The text of the first child of that name; false (value untouched) when there is none.
  bool Read(std::string_view name, std::string& value) const {
    const int at = FindChild(children_, name, 0);
    if (at < 0) return false;
    value = children_[at].Text();
    return true;
  }
  void ReadText(const TextField& field, ProfileRecord& p) const { Read(field.element, p.*field.member); }
  void ReadFlag(const FlagField& field, ProfileRecord& p) const {
    std::string text;
    if (Read(field.element, text)) p.*field.member = text != "0";
  }

 private:
  XmlNodeList children_;
};

ProfileRecord ReadProfile(XmlNode element) {
  const ProfileReader reader(element);
  ProfileRecord p;
  for (const TextField& f : kRestaurant) reader.ReadText(f, p);
  for (const TextField& f : kLeadingTexts) reader.ReadText(f, p);
  reader.ReadFlag(kDaylightSaving, p);
  if (reader.Read(kCliche.element, p.cliche)) p.cliche = WithCrLf(p.cliche);
  for (const FlagField& f : kOptions) reader.ReadFlag(f, p);
  for (int k = 0; k < kProfileRates; ++k) reader.Read(RateElement(k), p.rates[static_cast<size_t>(k)]);
  reader.ReadText(kIssBinding, p);
  for (int k = 0; k < kProfileTotalizers; ++k) {
    reader.Read(TotalizerElement(k), p.totalizerNames[static_cast<size_t>(k)]);
  }
  p.password.clear();
  return p;
}

// Appends "\n\t\t" and <name>value</name> to the profile element.
void WriteField(XmlNode parent, std::string_view name, std::string_view value) {
  parent.AppendText("\n\t\t");
  XmlNode element = parent.AppendElement(name);
  if (!value.empty()) element.AppendText(value);
}

void WriteProfile(XmlNode root, const ProfileRecord& p) {
  root.AppendText("\n\t");
  XmlNode e = root.AppendElement("equipamento");
  for (const TextField& f : kLeadingTexts) WriteField(e, f.element, p.*f.member);
  WriteField(e, kDaylightSaving.element, p.*kDaylightSaving.member ? "1" : "0");
  WriteField(e, kCliche.element, p.*kCliche.member);
  for (const FlagField& f : kOptions) WriteField(e, f.element, p.*f.member ? "1" : "0");
  for (int k = 0; k < kProfileRates; ++k) WriteField(e, RateElement(k), p.rates[static_cast<size_t>(k)]);
  WriteField(e, kIssBinding.element, p.*kIssBinding.member);
  for (const TextField& f : kRestaurant) WriteField(e, f.element, p.*f.member);
  for (int k = 0; k < kProfileTotalizers; ++k) {
    WriteField(e, TotalizerElement(k), p.totalizerNames[static_cast<size_t>(k)]);
  }
  e.AppendText("\n\t");
}

// Texts of the profile file never hold a NUL byte: the XML engine cannot carry one.
// Cutting at the first NUL keeps the document writable whatever a field holds.
ProfileRecord WithoutNul(const ProfileRecord& p) {
  ProfileRecord q = p;
  auto cut = [](std::string& s) {
    const size_t at = s.find('\0');
    if (at != std::string::npos) s.resize(at);
  };
  for (const TextField& f : kLeadingTexts) cut(q.*f.member);
  cut(q.cliche);
  cut(q.issBinding);
  for (const TextField& f : kRestaurant) cut(q.*f.member);
  for (auto& r : q.rates) cut(r);
  for (auto& n : q.totalizerNames) cut(n);
  return q;
}

XmlDocument BuildDocument(const ProfileList& list) {
  XmlDocument doc;
  doc.AppendProcessingInstruction("xml", "version='1.0' encoding='Windows-1252'");
  doc.AppendProcessingInstruction("xml-stylesheet", "type='text/xml' href='style.xsl'");
  XmlNode root = doc.AppendElement("equipamentos");
  root.SetAttribute("xml:space", "preserve");
  for (const ProfileRecord& p : list) WriteProfile(root, WithoutNul(p));
  root.AppendText("\n");
  return doc;
}

}  // namespace

std::string ProfileFilePath(const ProgramSettings& settings) {
  return ResolveInWorkDir(settings, kProfileFileName);
}

namespace {

int ReadLoaded(const XmlDocument& doc, const XmlLoadResult& loaded, ProfileList& list, ProfileLoadInfo* info) {
  list.clear();
  if (info) *info = ProfileLoadInfo{};
  if (!loaded) {
    if (info) info->description = loaded.description;
    return -1;
  }
  const XmlNodeList elements = doc.SelectElements("equipamento");
  list.reserve(static_cast<size_t>(elements.size()));
  for (int i = 0; i < elements.size(); ++i) list.push_back(ReadProfile(elements[i]));
  return 0;
}

}  // namespace

int LoadProfiles(const std::string& path, ProfileList& list, ProfileLoadInfo* info) {
  XmlDocument doc;
  const XmlLoadResult loaded = doc.LoadFile(path);
  const int code = ReadLoaded(doc, loaded, list, info);
  if (code != 0 && info) {
    std::error_code ec;
    info->fileMissing = !std::filesystem::exists(path, ec) && !ec;
  }
  return code;
}

int ReadProfilesDocument(std::string_view bytes, ProfileList& list, ProfileLoadInfo* info) {
  XmlDocument doc;
  const XmlLoadResult loaded = doc.LoadBytes(bytes);
  return ReadLoaded(doc, loaded, list, info);
}

std::string ProfilesDocumentBytes(const ProfileList& list) {
  std::string bytes;
  BuildDocument(list).SaveToBytes(bytes);
  return bytes;
}

int SaveProfiles(const std::string& path, const ProfileList& list, std::string* error, std::ostream* trace) {
  const XmlDocument doc = BuildDocument(list);
  const bool saved = doc.SaveFile(path, error);
  if (trace) *trace << (saved ? "DOM saved to dynamDom.xml\n" : "Failed to save DOM to dynaDom.xml\n");
  return saved ? 0 : -1;
}

bool StoreProfile(ProfileList& list, const ProfileRecord& profile, bool replace) {
  const auto same = std::find_if(list.begin(), list.end(),
                                 [&](const ProfileRecord& p) { return p.serialNumber == profile.serialNumber; });
  if (same != list.end() && !replace) return true;
  ProfileRecord stored = profile;  // `profile` may be an element of the list
  if (same != list.end()) list.erase(same);
  list.push_back(std::move(stored));
  return false;
}

int DeleteProfilesBySerial(ProfileList& list, std::string_view serial) {
  const auto before = list.size();
  std::erase_if(list, [&](const ProfileRecord& p) { return p.serialNumber == serial; });
  return static_cast<int>(before - list.size());
}

std::string WithoutSpaces(std::string_view text) {
  std::string out(text);
  RemoveAll(out, ' ');
  return out;
}

}  // namespace tervane
