#include "gui/fiscalmemory/pdf417_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/common/string_table.h"
#include "core/fiscalmemory/pdf417_texts.h"
#include "gui/catalogue/qt_prompter.h"
#include "gui/common/app_profile.h"
#include "gui/common/qt_text.h"
#include "gui/fiscalmemory/pdf417_settings_dialog.h"

namespace tervane::gui {

// Passes the reading thread's reports to the window's thread. A report that arrives
// after the window is gone is dropped.
class CPdf417Dlg::Observer final : public Pdf417Observer {
 public:
  explicit Observer(CPdf417Dlg* window) : window_(window) {}

  void OnSymbol(const Pdf417View& view) override {
    QMetaObject::invokeMethod(window_, [window = window_, view] {
      if (!window) return;
      QApplication::beep();
      window->ShowView(view);
    }, Qt::QueuedConnection);
  }
  void OnAllRead() override {
    QMetaObject::invokeMethod(window_, [window = window_] {
      if (window) window->OnAllRead();
    }, Qt::QueuedConnection);
  }
  void OnPortLost() override {
    QMetaObject::invokeMethod(window_, [window = window_] {
      if (window) window->status_->setText(QStringLiteral("A porta serial deixou de responder; a leitura parou."));
    }, Qt::QueuedConnection);
  }

 private:
  QPointer<CPdf417Dlg> window_;
};

CPdf417Dlg::CPdf417Dlg(QWidget* parent, Prompter& prompter, bool signature, Clock& clock,
                       Pdf417Session::PortMaker makePort)
    : QDialog(parent), prompter_(prompter), observer_(std::make_unique<Observer>(this)) {
  session_ = std::make_unique<Pdf417Session>(prompter_, clock, observer_.get(), std::move(makePort));
  session_->SetSignature(signature);
  setWindowTitle(ToQt(pdf417text::WindowTitle()));

  expected_ = new QLineEdit(this);
  received_ = new QLineEdit(this);
  for (QLineEdit* edit : {expected_, received_}) {
    edit->setReadOnly(true);
    edit->setMaximumWidth(80);
  }
  auto* counts = new QGridLayout;
  counts->addWidget(new QLabel(QStringLiteral("Total de símbolos do conjunto:"), this), 0, 0);
  counts->addWidget(expected_, 0, 1);
  counts->addWidget(new QLabel(QStringLiteral("Total de símbolos já lidos:"), this), 1, 0);
  counts->addWidget(received_, 1, 1);
  counts->setColumnStretch(2, 1);

  auto* result = new QGroupBox(QStringLiteral("Resultado da Leitura"), this);
  status_ = new QLabel(result);
  status_->setMinimumWidth(360);
  auto* resultLayout = new QVBoxLayout(result);
  resultLayout->addWidget(status_);

  dump_ = new QPlainTextEdit(this);
  dump_->setReadOnly(true);
  dump_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  dump_->setMinimumHeight(200);

  start_ = new QPushButton(QStringLiteral("&Iniciar"), this);
  stop_ = new QPushButton(QStringLiteral("&Parar"), this);
  configure_ = new QPushButton(QStringLiteral("Configurar"), this);
  start_->setAutoDefault(false);
  stop_->setAutoDefault(false);
  configure_->setAutoDefault(false);
  connect(start_, &QPushButton::clicked, this, &CPdf417Dlg::StartCapture);
  connect(stop_, &QPushButton::clicked, this, &CPdf417Dlg::StopCapture);
  connect(configure_, &QPushButton::clicked, this, &CPdf417Dlg::Configure);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addStretch(1);
  buttons->addWidget(configure_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(counts);
  layout->addWidget(result);
  layout->addWidget(new QLabel(QStringLiteral("Dump"), this));
  layout->addWidget(dump_, 1);
  layout->addLayout(buttons);
  SetCapturing(false);
}

CPdf417Dlg::~CPdf417Dlg() {
  // The thread is stopped (and the port closed) while the window still exists.
  session_.reset();
}

QString CPdf417Dlg::ExpectedText() const { return expected_->text(); }
QString CPdf417Dlg::ReceivedText() const { return received_->text(); }
QString CPdf417Dlg::StatusText() const { return status_->text(); }
QString CPdf417Dlg::DumpText() const { return dump_->toPlainText(); }

void CPdf417Dlg::SetCapturing(bool capturing) {
  start_->setEnabled(!capturing);
  stop_->setEnabled(capturing);
}

void CPdf417Dlg::ShowView(const Pdf417View& view) {
  expected_->setText(ToQt(view.expectedText));
  received_->setText(ToQt(view.receivedText));
  status_->setText(ToQt(view.status));
  dump_->setPlainText(ToQt(view.dump));
}

void CPdf417Dlg::StartCapture() {
  if (session_->Running()) return;
  const ScannerLineSettings line =
      ToLineSettings(ReadScannerProfile(IniScannerProfile(ProfilePath().toStdString()), false));
  if (!session_->Start(line)) return;
  SetCapturing(true);
  ShowView(Pdf417View{});
  savedPath_.clear();
}

void CPdf417Dlg::StopCapture() {
  if (!session_->Running()) return;
  std::string saved;
  lastStop_ = session_->Stop("", &saved);
  if (lastStop_ == Pdf417StopResult::kCapturing) return;
  if (lastStop_ == Pdf417StopResult::kSaved) savedPath_ = saved;
  SetCapturing(false);
}

void CPdf417Dlg::OnAllRead() {
  if (!session_->Running()) return;
  prompter_.ShowMessage(pdf417text::AllReadCaption(), pdf417text::AllReadText());
  // "&Parar", pressed for the user.
  StopCapture();
}

void CPdf417Dlg::Configure() {
  CPdf417ConfigDlg dialog(this, ProfilePath().toStdString());
  dialog.exec();
}

void CPdf417Dlg::closeEvent(QCloseEvent* event) {
  // A capture in progress goes through the stop flow first; going back to capturing
  // keeps the window open.
  StopCapture();
  if (session_->Running()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CPdf417Dlg::reject() {
  StopCapture();
  if (session_->Running()) return;
  QDialog::reject();
}

void RunPdf417Capture(QWidget* parent, Prompter* prompter) {
  QtPrompter own(parent);
  Prompter& asker = prompter != nullptr ? *prompter : own;
  {
    CPdf417Dlg window(parent, asker, false);
    window.exec();
  }
  if (!asker.AskYesNo(LoadString(str::kTervane), pdf417text::ReadSignatureQuestion())) return;
  CPdf417Dlg window(parent, asker, true);
  window.exec();
}

}  // namespace tervane::gui
