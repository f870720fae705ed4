// The logo composition dialog: four text lines, a font, a picture, the preview with its
// two movable panes, and the Send and Save buttons that upload the composition to the
// printer and ask it to keep it.
#pragma once

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>

#include "control/compose/logo_composer.h"
#include "control/logo_strings.h"
#include "control/mono_image.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tervane {

class CLogoView;
class CTextView;

class CLogDlg : public QDialog {
  Q_OBJECT

 public:
  // The whole composition dialog; a child widget (not a top-level window) when `parent`
  // is given, so that a container can embed it. Captions come from the user's locale
  // (English, Spanish or Portuguese; English for any other).
  explicit CLogDlg(QWidget* parent = nullptr);
  ~CLogDlg() override;

  // The port Send and Save open, used unchanged (initially "COM1").
  void SetPortName(const QString& name);
  QString PortName() const;

  // Sets both panes' free-move flag; the Left and Center buttons are enabled only while
  // it is false.
  void SetFreeMove(bool on);
  bool FreeMove() const;

  // ---- The dialog's operations, also callable without the file and font dialogs ----

  // Replaces the picture with the bitmap at `path` and lays the panes out. On failure
  // shows "Invalid file!" (or its translation) and returns false; the previous picture
  // and its pane are gone either way, and Send is then disabled.
  bool LoadLogo(const QString& path);

  // The Add button: needs lines 1 to 3 (focuses the first empty one and returns false);
  // asks for a font when none was chosen yet, then replaces the text pane and lays the
  // panes out. True when the text pane was made.
  bool AddText();

  // Takes `font` as the text font; when a font had been chosen before, the text pane is
  // made again with it (as Add does).
  void SetTextFont(const QFont& font);
  std::optional<QFont> TextFont() const { return font_; }

  // The Left / Center choice; lays the panes out.
  void SetAlignment(LogoAlignment alignment);
  LogoAlignment Alignment() const { return alignment_; }

  // Captures the preview from the left edge to the rightmost pane, between the higher
  // pane's top and the lower pane's bottom, every non-white pixel black. An empty picture
  // when either pane is missing.
  MonoImage CapturePreview();

  // Send: captures and uploads through the named port, then reports in a message box.
  // Does nothing without a picture and a text pane.
  void Send();
  // Save: asks the printer to keep the last logo uploaded by this process.
  void Save();

  // Where message boxes go: by default a modal box with no owner captioned "VESTRAL".
  // Texts come with LF line ends.
  using MessageHandler = std::function<void(QMessageBox::Icon icon, const QString& text)>;
  void SetMessageHandler(MessageHandler handler);

  LogoLanguage Language() const { return language_; }
  QWidget* Preview() const;
  CLogoView* LogoView() const { return logoView_; }
  CTextView* TextView() const { return textView_; }

 private:
  void BuildControls();
  void ChooseLogo();
  void ChooseFont();
  void LayOut();
  void UpdateSend();
  void Message(QMessageBox::Icon icon, const QString& text);
  void MessageString(QMessageBox::Icon icon, int id);
  QString Text(int id) const;

  LogoLanguage language_;
  QString portName_ = QStringLiteral("COM1");
  bool freeMove_ = false;
  LogoAlignment alignment_ = LogoAlignment::kLeft;
  std::optional<QFont> font_;
  QImage picture_;  // the loaded picture, null until a bitmap is loaded
  MessageHandler messages_;

  QLineEdit* lines_[4] = {};
  QLabel* labels_[3] = {};
  QPushButton* fontButton_ = nullptr;
  QPushButton* addButton_ = nullptr;
  QPushButton* logoButton_ = nullptr;
  QPushButton* sendButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QGroupBox* alignmentGroup_ = nullptr;
  QRadioButton* leftButton_ = nullptr;
  QRadioButton* centerButton_ = nullptr;
  QFrame* preview_ = nullptr;
  CLogoView* logoView_ = nullptr;
  CTextView* textView_ = nullptr;
};

}  // namespace tervane
