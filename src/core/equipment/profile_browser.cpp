#include "core/equipment/profile_browser.h"

#include <algorithm>

#include "core/common/string_table.h"

namespace tervane {
namespace {

unsigned char Fold(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  // Windows-1252 capitals À..Þ (but ×) and Š, Œ, Ž, Ÿ.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

}  // namespace

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Fold(static_cast<unsigned char>(x)) == Fold(static_cast<unsigned char>(y));
         });
}

int ProfileBrowser::Open(WaitNotice* waitNotice) {
  if (waitNotice) waitNotice->Show(LoadString(str::kAguarde));
  const int code = LoadProfiles(path_, list_);
  if (waitNotice) waitNotice->Hide();
  chosen_ = false;
  changed_ = false;
  return code;
}

std::vector<std::string> ProfileBrowser::ClientChoices() const {
  std::vector<std::string> clients;
  for (const ProfileRecord& p : list_) {
    if (p.client.empty()) continue;
    const bool present = std::any_of(clients.begin(), clients.end(),
                                     [&](const std::string& c) { return SameTextIgnoringCase(c, p.client); });
    if (!present) clients.push_back(p.client);
  }
  return clients;
}

std::vector<std::string> ProfileBrowser::SerialChoices() const {
  std::vector<std::string> serials;
  for (const ProfileRecord& p : list_) serials.push_back(p.serialNumber);
  return serials;
}

std::vector<std::string> ProfileBrowser::SerialsOfClient(const std::string& client) const {
  std::vector<std::string> serials;
  for (const ProfileRecord& p : list_) {
    if (p.client == client) serials.push_back(p.serialNumber);
  }
  return serials;
}

std::vector<std::string> ProfileBrowser::Search(const std::string& client, const std::string& serial) {
  chosen_ = false;
  std::vector<std::string> found;
  if (client.empty() && serial.empty()) return found;
  for (const ProfileRecord& p : list_) {
    const bool clientOk = client.empty() || p.client == client;
    const bool serialOk = serial.empty() || p.serialNumber == serial;
    if (clientOk && serialOk) found.push_back(p.serialNumber);
  }
  return found;
}

bool ProfileBrowser::Select(const std::string& serial) {
  const auto last = std::find_if(list_.rbegin(), list_.rend(),
                                 [&](const ProfileRecord& p) { return p.serialNumber == serial; });
  chosen_ = last != list_.rend();
  if (chosen_) choice_ = *last;
  return chosen_;
}

std::string ProfileBrowser::Description() const {
  if (!chosen_) return {};
  const std::pair<int, const std::string*> lines[] = {
      {str::kNumeroSerie, &choice_.serialNumber},
      {str::kCliente, &choice_.client},
      {str::kCnpj, &choice_.cnpj},
      {str::kIe, &choice_.ie},
      {str::kIm, &choice_.im},
  };
  std::string text;
  for (const auto& [label, value] : lines) {
    if (!text.empty()) text += "\r\n";
    text += LoadString(label) + ": " + *value;
  }
  return text;
}

void ProfileBrowser::AskToSave(Prompter* prompter) {
  if (prompter == nullptr || !prompter->AskYesNo(LoadString(str::kTervane), LoadString(str::kSalvarAlteracoes))) return;
  std::string error;
  if (SaveProfiles(path_, list_, &error) != 0) {
    prompter->ShowMessage(LoadString(str::kTervane), LoadString(str::kRegistroNaoSalvo) + "\r\n" + error);
  }
}

int ProfileBrowser::DeleteChosen(Prompter* prompter) {
  int removed = 0;
  if (chosen_) {
    removed = DeleteProfilesBySerial(list_, choice_.serialNumber);
    if (removed > 0) {
      changed_ = true;
      AskToSave(prompter);
    }
  }
  chosen_ = false;
  return removed;
}

bool ProfileBrowser::LoadChosen(Prompter* prompter) {
  if (changed_) AskToSave(prompter);
  if (chosen_) return true;
  if (prompter) prompter->ShowMessage(LoadString(str::kTervane), LoadString(str::kEscolhaRegistro));
  return false;
}

}  // namespace tervane
