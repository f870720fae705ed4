// CProfileBrowserDlg, "Carregar configurações existentes": finds stored equipment profiles
// by client and serial number, shows the chosen one's description, deletes profiles and
// hands the chosen one back. The logic is the core's ProfileBrowser; this window binds
// its combos, list and buttons to it.
#pragma once

#include <QDialog>
#include <string>

#include "core/common/progress.h"
#include "core/common/prompter.h"
#include "core/equipment/profile_browser.h"

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace tervane::gui {

class CProfileBrowserDlg final : public QDialog {
  Q_OBJECT

 public:
  // Loads `profileFile` under `waitNotice` (may be null) and fills the combos. Questions
  // and messages go through `prompter`, which must outlive the dialog.
  CProfileBrowserDlg(QWidget* parent, const std::string& profileFile, Prompter& prompter,
                     WaitNotice* waitNotice = nullptr);

  // True after "Carregar configuração" closed the dialog with a profile chosen.
  bool HasChoice() const { return result() == QDialog::Accepted && browser_.HasChoice(); }
  const ProfileRecord& Chosen() const { return browser_.Chosen(); }
  const ProfileBrowser& Browser() const { return browser_; }

  QComboBox* Clients() const { return clients_; }
  QComboBox* Serials() const { return serials_; }
  QListWidget* Found() const { return found_; }
  QPlainTextEdit* DescriptionBox() const { return description_; }
  QPushButton* SearchButton() const { return search_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* LoadButton() const { return load_; }
  QPushButton* CancelButton() const { return cancel_; }

 public slots:
  void ChooseClient(int index);
  void Search();
  void SelectEntry(QListWidgetItem* item);
  void DeleteChosen();
  void LoadChosen();

 private:
  void FillCombos();
  void ShowDescription();

  ProfileBrowser browser_;
  Prompter& prompter_;
  QComboBox* clients_;
  QComboBox* serials_;
  QListWidget* found_;
  QPlainTextEdit* description_;
  QPushButton* search_;
  QPushButton* delete_;
  QPushButton* load_;
  QPushButton* cancel_;
};

}  // namespace tervane::gui
