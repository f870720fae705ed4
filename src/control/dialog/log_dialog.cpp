#include "control/dialog/log_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "core/common/charset.h"
#include "core/common/clock.h"
#include "control/dialog/logo_view.h"
#include "control/dialog/text_view.h"
#include "control/logo_line.h"
#include "control/package_manager.h"

namespace tervane {
namespace {

QString FromCp1252(const std::string& text) {
  QString out = QString::fromStdString(Cp1252ToUtf8(text));
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

std::string ToCp1252(const QString& text) { return Utf8ToCp1252Lossy(text.toStdString()); }

// The uploader's own error boxes (the two size errors, a failed packet) go through the
// dialog's message handler.
class DialogSink final : public LogoMessageSink {
 public:
  explicit DialogSink(std::function<void(const QString&)> show) : show_(std::move(show)) {}
  void ShowError(const std::string& text) override { show_(FromCp1252(text)); }

 private:
  std::function<void(const QString&)> show_;
};

// The wait cursor while Send or Save hold the line.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

CLogDlg::CLogDlg(QWidget* parent) : QDialog(parent), language_(UserLogoLanguage()) {
  if (parent != nullptr) setWindowFlags(Qt::Widget);
  BuildControls();
}

CLogDlg::~CLogDlg() = default;

QString CLogDlg::Text(int id) const { return FromCp1252(LogoString(id, language_)); }

void CLogDlg::BuildControls() {
  setObjectName(QStringLiteral("logoDialog"));
  const AlignmentTexts alignment = LogoAlignmentTexts(language_);

  auto* form = new QGridLayout;
  static const char* const kLineNames[4] = {"line1", "line2", "line3", "line4"};
  for (int i = 0; i < 4; ++i) {
    lines_[i] = new QLineEdit(this);
    lines_[i]->setObjectName(QString::fromLatin1(kLineNames[i]));
    lines_[i]->setMinimumWidth(lines_[i]->fontMetrics().averageCharWidth() * 30);
    if (i < 3) {
      labels_[i] = new QLabel(Text(7 + i), this);
      labels_[i]->setObjectName(QStringLiteral("label%1").arg(i + 1));
      labels_[i]->setBuddy(lines_[i]);
      form->addWidget(labels_[i], i, 0);
    }
    form->addWidget(lines_[i], i, 1);
  }

  fontButton_ = new QPushButton(Text(10), this);
  fontButton_->setObjectName(QStringLiteral("fontButton"));
  addButton_ = new QPushButton(Text(11), this);
  addButton_->setObjectName(QStringLiteral("addButton"));
  auto* textButtons = new QHBoxLayout;
  textButtons->addWidget(fontButton_);
  textButtons->addWidget(addButton_);
  textButtons->addStretch();

  alignmentGroup_ = new QGroupBox(FromCp1252(alignment.group), this);
  alignmentGroup_->setObjectName(QStringLiteral("alignmentGroup"));
  leftButton_ = new QRadioButton(FromCp1252(alignment.left), alignmentGroup_);
  leftButton_->setObjectName(QStringLiteral("leftButton"));
  centerButton_ = new QRadioButton(FromCp1252(alignment.center), alignmentGroup_);
  centerButton_->setObjectName(QStringLiteral("centerButton"));
  leftButton_->setChecked(true);
  auto* radios = new QHBoxLayout(alignmentGroup_);
  radios->addWidget(leftButton_);
  radios->addWidget(centerButton_);

  auto* left = new QVBoxLayout;
  left->addLayout(form);
  left->addLayout(textButtons);
  left->addWidget(alignmentGroup_);
  left->addStretch();

  // The preview: a white area with a one-pixel frame; the panes are its children and the
  // capture stays one pixel inside the frame.
  preview_ = new QFrame(this);
  preview_->setObjectName(QStringLiteral("preview"));
  preview_->setFrameStyle(QFrame::Box | QFrame::Plain);
  preview_->setLineWidth(1);
  preview_->setFixedSize(kPreviewWidth, kPreviewHeight);
  preview_->setAutoFillBackground(true);
  QPalette palette = preview_->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, Qt::black);
  preview_->setPalette(palette);

  logoButton_ = new QPushButton(QStringLiteral("Logo..."), this);
  logoButton_->setObjectName(QStringLiteral("logoButton"));
  sendButton_ = new QPushButton(Text(12), this);
  sendButton_->setObjectName(QStringLiteral("sendButton"));
  saveButton_ = new QPushButton(Text(13), this);
  saveButton_->setObjectName(QStringLiteral("saveButton"));
  sendButton_->setEnabled(false);
  saveButton_->setEnabled(false);
  for (QPushButton* button : {fontButton_, addButton_, logoButton_, sendButton_, saveButton_}) {
    button->setAutoDefault(false);
  }
  auto* sendButtons = new QHBoxLayout;
  sendButtons->addWidget(logoButton_);
  sendButtons->addStretch();
  sendButtons->addWidget(sendButton_);
  sendButtons->addWidget(saveButton_);

  auto* right = new QVBoxLayout;
  right->addWidget(preview_);
  right->addLayout(sendButtons);
  right->addStretch();

  auto* top = new QHBoxLayout(this);
  top->addLayout(left, 1);
  top->addLayout(right);
  top->setSizeConstraint(QLayout::SetFixedSize);

  connect(logoButton_, &QPushButton::clicked, this, &CLogDlg::ChooseLogo);
  connect(addButton_, &QPushButton::clicked, this, [this] { AddText(); });
  connect(fontButton_, &QPushButton::clicked, this, &CLogDlg::ChooseFont);
  connect(sendButton_, &QPushButton::clicked, this, &CLogDlg::Send);
  connect(saveButton_, &QPushButton::clicked, this, &CLogDlg::Save);
  connect(leftButton_, &QRadioButton::clicked, this, [this] { SetAlignment(LogoAlignment::kLeft); });
  connect(centerButton_, &QRadioButton::clicked, this, [this] { SetAlignment(LogoAlignment::kCenter); });
}

void CLogDlg::SetPortName(const QString& name) { portName_ = name; }

QString CLogDlg::PortName() const { return portName_; }

void CLogDlg::SetFreeMove(bool on) {
  freeMove_ = on;
  if (logoView_ != nullptr) logoView_->SetFreeMove(on);
  if (textView_ != nullptr) textView_->SetFreeMove(on);
  leftButton_->setEnabled(!on);
  centerButton_->setEnabled(!on);
}

bool CLogDlg::FreeMove() const { return freeMove_; }

QWidget* CLogDlg::Preview() const { return preview_; }

void CLogDlg::SetMessageHandler(MessageHandler handler) { messages_ = std::move(handler); }

void CLogDlg::Message(QMessageBox::Icon icon, const QString& text) {
  if (messages_) {
    messages_(icon, text);
    return;
  }
  // No owner window: the box stands on its own, as every message of the logo component.
  QMessageBox box(icon, QString::fromLatin1(kLogoCaption), text, QMessageBox::Ok);
  box.exec();
}

void CLogDlg::MessageString(QMessageBox::Icon icon, int id) { Message(icon, Text(id)); }

void CLogDlg::ChooseLogo() {
  const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                    QStringLiteral("Bitmap Files (*.bmp)"));
  if (path.isEmpty()) return;
  LoadLogo(path);
}

bool CLogDlg::LoadLogo(const QString& path) {
  delete logoView_;
  logoView_ = nullptr;
  picture_ = QImage();
  UpdateSend();

  LoadedPicture loaded;
  if (LoadPicture(path, &loaded) != kPictureOk) {
    MessageString(QMessageBox::Critical, 3);
    return false;
  }
  picture_ = loaded.picture;
  logoView_ = new CLogoView(preview_, picture_);
  logoView_->setObjectName(QStringLiteral("logoView"));
  logoView_->SetFreeMove(freeMove_);
  logoView_->show();
  UpdateSend();
  LayOut();
  return true;
}

bool CLogDlg::AddText() {
  for (int i = 0; i < 3; ++i) {
    if (lines_[i]->text().isEmpty()) {
      lines_[i]->setFocus();
      return false;
    }
  }
  delete textView_;
  textView_ = nullptr;
  UpdateSend();
  if (!font_) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font(), this);
    font_ = chosen;  // the dialog's own font when it was cancelled
  }
  QString lines[4];
  for (int i = 0; i < 4; ++i) lines[i] = lines_[i]->text();
  const QRect area(10, kPreviewHeight / 2, kPreviewWidth - 20, kPreviewHeight - 10 - kPreviewHeight / 2);
  textView_ = new CTextView(preview_, area, lines, *font_);
  textView_->setObjectName(QStringLiteral("textView"));
  textView_->SetFreeMove(freeMove_);
  textView_->show();
  UpdateSend();
  LayOut();
  return true;
}

void CLogDlg::ChooseFont() {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font_.value_or(font()), this);
  if (ok) SetTextFont(chosen);
}

void CLogDlg::SetTextFont(const QFont& font) {
  const bool hadFont = font_.has_value();
  font_ = font;
  if (hadFont) AddText();
}

void CLogDlg::SetAlignment(LogoAlignment alignment) {
  alignment_ = alignment;
  leftButton_->setChecked(alignment == LogoAlignment::kLeft);
  centerButton_->setChecked(alignment == LogoAlignment::kCenter);
  LayOut();
}

void CLogDlg::LayOut() {
  // Each pane keeps its size; a pane that passes the preview's edge is cut there, in the
  // preview and in what is sent alike (the off-screen composition of the CLI does the same).
  const QRect area = preview_->rect();
  const QSize picture = logoView_ != nullptr ? logoView_->size() : QSize(0, 0);
  if (alignment_ == LogoAlignment::kLeft) {
    // Side by side from the top-left corner.
    if (logoView_ != nullptr) logoView_->move(area.topLeft());
    if (textView_ != nullptr) textView_->move(area.left() + picture.width(), area.top());
  } else {
    // Both centred; the text starts below the picture.
    const int middle = area.left() + area.width() / 2;
    if (logoView_ != nullptr) logoView_->move(middle - picture.width() / 2, area.top());
    if (textView_ != nullptr) textView_->move(middle - textView_->width() / 2, area.top() + picture.height());
  }
  preview_->update();
}

void CLogDlg::UpdateSend() {
  sendButton_->setEnabled(logoView_ != nullptr && textView_ != nullptr && !picture_.isNull());
}

MonoImage CLogDlg::CapturePreview() {
  if (logoView_ == nullptr || textView_ == nullptr) return {};
  logoView_->SetFrameShown(false);
  textView_->SetFrameShown(false);
  const QRect l = logoView_->geometry();
  const QRect t = textView_->geometry();
  const int top = std::min(l.top(), t.top());
  const int bottom = std::max(l.bottom(), t.bottom()) + 1;
  const int right = std::max(l.right(), t.right()) + 1;
  const int width = std::min(right - 2, kPreviewWidth - 2);
  const int height = std::min(bottom - top - 2, kPreviewHeight - 2);
  QImage shot = preview_->grab().toImage();
  logoView_->SetFrameShown(true);
  textView_->SetFrameShown(true);
  if (shot.size() != preview_->size()) shot = shot.scaled(preview_->size());

  MonoImage out = MonoImage::White(width, height);
  for (int y = 0; y < out.height; ++y) {
    const int sy = top + 1 + y;
    if (sy < 0 || sy >= shot.height()) continue;
    for (int x = 0; x < out.width; ++x) {
      const int sx = x + 1;
      if (sx >= shot.width()) break;
      out.Set(x, y, (shot.pixel(sx, sy) & 0xFFFFFF) != 0xFFFFFF);
    }
  }
  return out;
}

void CLogDlg::Send() {
  if (logoView_ == nullptr || textView_ == nullptr || picture_.isNull()) return;
  const MonoImage captured = CapturePreview();

  LogoSerialLine line(SystemClock());
  DialogSink sink([this](const QString& text) { Message(QMessageBox::Critical, text); });
  PackageManager manager(line, SystemClock(), &sink, language_);
  if (!manager.OpenPort(portName_.toStdString())) {
    MessageString(QMessageBox::Critical, 5);
    return;
  }
  int result = kLogoFailed;
  {
    BusyCursor busy;
    result = manager.Upload(captured, ToCp1252(textView_->Line(0)), ToCp1252(textView_->Line(1)),
                            ToCp1252(textView_->Line(2)), ToCp1252(textView_->Line(3)));
  }
  const QString printerError = FromCp1252(manager.ErrorText());
  manager.ClosePort();
  saveButton_->setEnabled(false);
  switch (result) {
    case kLogoOk:
      saveButton_->setEnabled(true);
      MessageString(QMessageBox::Information, 14);
      break;
    case kLogoPrinterError: Message(QMessageBox::Critical, printerError); break;
    case kLogoGraphicTooLarge: MessageString(QMessageBox::Critical, 16); break;
    case kLogoInvalidText: MessageString(QMessageBox::Critical, 17); break;
    default: MessageString(QMessageBox::Critical, 15); break;
  }
}

void CLogDlg::Save() {
  LogoSerialLine line(SystemClock());
  PackageManager manager(line, SystemClock(), nullptr, language_);
  if (!manager.OpenPort(portName_.toStdString())) {
    MessageString(QMessageBox::Critical, 5);
    return;
  }
  int result = kLogoFailed;
  {
    BusyCursor busy;
    result = manager.Confirm();
  }
  const QString printerError = FromCp1252(manager.ErrorText());
  manager.ClosePort();
  saveButton_->setEnabled(false);
  switch (result) {
    case kLogoOk: MessageString(QMessageBox::Information, 21); break;
    case kLogoPrinterError: Message(QMessageBox::Critical, printerError); break;
    default: MessageString(QMessageBox::Critical, 15); break;
  }
}

}  // namespace tervane
