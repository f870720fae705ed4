// CGeneralInformationPrPg, the page "Informações Gerais" of an equipment profile: owner
// identification, store and till numbers, date and time, the owner's cliché, the
// intervention password and the seven on/off options.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <array>

#include "core/common/clock.h"
#include "core/common/prompter.h"
#include "core/equipment/profile_pages.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tervane::gui {

// A multi-line box whose limit holds back what a person types or pastes, never what the
// program puts in: a cliché read back from a printer carries marker texts longer than
// the style bytes they stand for, and cutting them would send a broken cliché.
class ClicheTextEdit final : public QPlainTextEdit {
  Q_OBJECT

 public:
  ClicheTextEdit(int limit, QWidget* parent = nullptr);
  // The text with CR LF line breaks, as the profile holds it.
  QString CrLfText() const;
  // Replaces the text whatever its length; typing may then only shorten it.
  void SetCrLfText(const QString& text);
  // Characters as the profile counts them (a line break is CR LF, two).
  static int CountedLength(const QString& text);

 private:
  void Enforce();
  int limit_;
  int allowed_;       // the limit, or the length of a longer text the program put in
  bool enforcing_ = false;
};

class CGeneralInformationPrPg final : public QWidget {
  Q_OBJECT

 public:
  // `prompter` runs the cliché editor of "Editar"; `clock` gives "Carregar do
  // computador" the computer's date and time. Both must outlive the page.
  CGeneralInformationPrPg(Prompter& prompter, Clock& clock, QWidget* parent = nullptr);

  void Load(const GeneralInformationPage& page);
  GeneralInformationPage Store() const;

  // "Carregar do computador": Data and Hora from the computer's clock.
  void LoadComputerClock();
  // "Editar": the cliché editor; on OK its composed text replaces the cliché field, on
  // Cancel the field stays as it was.
  void EditCliche();

  QLineEdit* Client() const { return client_; }
  QLineEdit* SerialNumber() const { return serial_; }
  QLineEdit* Cnpj() const { return cnpj_; }
  QLineEdit* Ie() const { return ie_; }
  QLineEdit* Im() const { return im_; }
  QLineEdit* Uf() const { return uf_; }
  QLineEdit* Password() const { return password_; }
  QLineEdit* StoreNumber() const { return store_; }
  QLineEdit* TillNumber() const { return till_; }
  QLineEdit* Date() const { return date_; }
  QLineEdit* Time() const { return time_; }
  ClicheTextEdit* Cliche() const { return cliche_; }
  QPushButton* ComputerClockButton() const { return clockButton_; }
  QPushButton* EditClicheButton() const { return editButton_; }
  // The option boxes in the order of GeneralInformationPage's flags: daylight saving,
  // additional coupon, ISS discount, linked to CNF, RV in the conference, automatic Z,
  // passenger ticket.
  QCheckBox* Option(int k) const { return options_.at(static_cast<size_t>(k)); }

 private:
  Prompter& prompter_;
  Clock& clock_;
  QLineEdit* client_;
  QLineEdit* serial_;
  QLineEdit* cnpj_;
  QLineEdit* ie_;
  QLineEdit* im_;
  QLineEdit* uf_;
  QLineEdit* password_;
  QLineEdit* store_;
  QLineEdit* till_;
  QLineEdit* date_;
  QLineEdit* time_;
  ClicheTextEdit* cliche_;
  std::array<QCheckBox*, 7> options_{};
  QPushButton* clockButton_;
  QPushButton* editButton_;
};

}  // namespace tervane::gui
