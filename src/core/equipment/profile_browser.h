// The logic of the "Carregar configurações existentes" dialog: its own list of stored
// profiles, the client and serial-number choices, the search, the chosen profile and its
// description, deletion and the save question. The dialog binds its combos, list and
// buttons to this class.
#pragma once

#include <string>
#include <vector>

#include "core/common/prompter.h"
#include "core/common/progress.h"
#include "core/equipment/profile_file.h"
#include "core/equipment/profile_record.h"

namespace tervane {

class ProfileBrowser {
 public:
  explicit ProfileBrowser(std::string profileFile) : path_(std::move(profileFile)) {}

  // Opening: loads the profile file under the wait notice (when given). Returns
  // LoadProfiles' code; an unreadable file leaves the list empty.
  int Open(WaitNotice* waitNotice = nullptr);

  // The client combo: every non-empty client, once (compared without regard to case, as
  // the combo finds its entries), in list order.
  std::vector<std::string> ClientChoices() const;
  // The serial combo: the serial of every profile, in list order.
  std::vector<std::string> SerialChoices() const;
  // The serial combo after a client was chosen: the serials of that client's profiles.
  std::vector<std::string> SerialsOfClient(const std::string& client) const;

  // "Procurar": the serials of the profiles matching the serial, the client or both
  // (nothing when both are empty). Afterwards no profile is chosen.
  std::vector<std::string> Search(const std::string& client, const std::string& serial);

  // Choosing a found entry: the last profile with that serial becomes the chosen one.
  // Returns false (nothing chosen) when no profile has it.
  bool Select(const std::string& serial);
  bool HasChoice() const { return chosen_; }
  const ProfileRecord& Chosen() const { return choice_; }
  // The five description lines of the chosen profile (serial, client, CNPJ, IE, IM,
  // each "label: value"), joined by CR LF; empty when nothing is chosen.
  std::string Description() const;

  // "Excluir": removes every profile with the chosen serial; when any went, the list is
  // marked changed and "Deseja salvar as alterações?" is asked, Yes saving the file.
  // Afterwards nothing is chosen. Returns how many were removed.
  int DeleteChosen(Prompter* prompter);

  // "Carregar configuração": the save question when the list changed; then true when a
  // profile is chosen (the dialog closes with OK), else "Por favor, escolha um
  // registro." is shown and false returned.
  bool LoadChosen(Prompter* prompter);

  bool Changed() const { return changed_; }
  const ProfileList& Profiles() const { return list_; }

 private:
  void AskToSave(Prompter* prompter);

  std::string path_;
  ProfileList list_;
  ProfileRecord choice_;
  bool chosen_ = false;
  bool changed_ = false;
};

// Case-insensitive comparison of two Windows-1252 texts (letters of both cases, accented
// ones included).
bool SameTextIgnoringCase(const std::string& a, const std::string& b);

}  // namespace tervane
