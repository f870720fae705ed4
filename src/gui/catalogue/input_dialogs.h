// The basic input dialogs of the parameter editors: text, multi-line text, number, value,
// percentage, date, time (with its computer-clock mode) and the choice of up to twelve
// buttons. Each is modal; OK accepts, "Cancelar" rejects. They only collect what is
// typed: padding and formatting of the values belong to the core's editors.
#pragma once

#include <QDate>
#include <QDialog>
#include <QPlainTextEdit>
#include <QTime>
#include <vector>

class QCheckBox;
class QDateEdit;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QVBoxLayout;

namespace tervane::gui {

// A dialog with a description line on top and OK / "Cancelar" at the bottom; the
// subclasses put their fields in between.
class CInputDlg : public QDialog {
  Q_OBJECT

 public:
  CInputDlg(QWidget* parent, const QString& description);

 protected:
  QVBoxLayout* Fields() const { return fields_; }
  QDialogButtonBox* Buttons() const { return buttons_; }
  QLabel* Description() const { return description_; }

 private:
  QLabel* description_;
  QVBoxLayout* fields_;
  QDialogButtonBox* buttons_;
};

// Text dialog: one edit box limited to `maxLength` characters.
class CTextDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CTextDlg(QWidget* parent, const QString& description, int maxLength, const QString& text);
  QString Text() const;
  QLineEdit* Edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

// A multi-line box that refuses text beyond a limit counted as the core counts it: one
// per character, two per line break (CR LF).
class LimitedTextEdit final : public QPlainTextEdit {
  Q_OBJECT

 public:
  LimitedTextEdit(int limit, QWidget* parent = nullptr);
  // The text with CR LF line breaks.
  QString CrLfText() const;
  void SetCrLfText(const QString& text);
  // The length of a text as the core counts it.
  static int CountedLength(const QString& text);
  // A widget's text (LF breaks) with CR LF breaks, and back.
  static QString ToCrLf(QString text);
  static QString FromCrLf(QString text);

 private:
  void Enforce();
  int limit_;
  bool enforcing_ = false;
};

// Multi-line text dialog limited to `maxLength` characters.
class CMultiLineDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CMultiLineDlg(QWidget* parent, const QString& description, int maxLength, const QString& text);
  QString Text() const;
  LimitedTextEdit* Edit() const { return edit_; }

 private:
  LimitedTextEdit* edit_;
};

// Number dialog: digits only, at most `maxDigits`.
class CNumberDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CNumberDlg(QWidget* parent, const QString& description, int maxDigits, const QString& digits);
  QString Digits() const;
  QLineEdit* Edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

// Value dialog: digits with at most one decimal comma, integerDigits + decimals + 1
// characters in all.
class CValueDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CValueDlg(QWidget* parent, const QString& description, int integerDigits, int decimals, const QString& value);
  QString Value() const;
  QLineEdit* Edit() const { return edit_; }

 private:
  QLineEdit* edit_;
};

// Percentage dialog: two boxes of two digits, "XX , XX %".
class CPercentDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CPercentDlg(QWidget* parent, const QString& description, const QString& integerPart, const QString& decimalPart);
  QString IntegerPart() const;
  QString DecimalPart() const;

 private:
  QLineEdit* integer_;
  QLineEdit* decimal_;
};

// Date dialog: a date picker and "Carregar data do computador".
class CDateDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CDateDlg(QWidget* parent, const QString& description, const QDate& date);
  QDate Date() const;
  QDateEdit* Picker() const { return picker_; }

 private:
  QDateEdit* picker_;
};

// Time dialog: a time picker and "Carregar horário do computador". In its clock mode
// (offering the computer's clock) the picker shows the computer's time and cannot be
// changed, the load button is hidden and the "Horário de verão" box is shown.
class CTimeDlg final : public CInputDlg {
  Q_OBJECT

 public:
  CTimeDlg(QWidget* parent, const QString& description, const QTime& time, bool clockMode);
  QTime Time() const;
  bool DaylightSaving() const;
  QTimeEdit* Picker() const { return picker_; }
  QCheckBox* DaylightSavingBox() const { return daylightSaving_; }
  QPushButton* LoadButton() const { return load_; }

 private:
  QTimeEdit* picker_;
  QPushButton* load_;
  QCheckBox* daylightSaving_;
};

// Choice dialog: a description and up to twelve buttons; a button without a label is
// not shown. Pressing one closes the dialog; Chosen() is its 1-based index, 0 when the
// dialog was cancelled.
class CChoiceDlg final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxButtons = 12;
  CChoiceDlg(QWidget* parent, const QString& description, const std::vector<QString>& labels);
  int Chosen() const { return chosen_; }
  // Button k (0-based), shown or not.
  QPushButton* Button(int k) const { return buttons_.at(k); }

 private:
  std::vector<QPushButton*> buttons_;
  int chosen_ = 0;
};

}  // namespace tervane::gui
