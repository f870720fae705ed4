#include "gui/equipment/program_equipment_dialog.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/app/help_file.h"
#include "core/common/charset.h"
#include "core/common/install_paths.h"
#include "core/common/settings.h"
#include "core/common/string_ids.h"
#include "core/common/text.h"
#include "core/equipment/profile_file.h"
#include "gui/common/qt_text.h"
#include "gui/equipment/profile_browser_dialog.h"
#include "gui/equipment/profile_sheet.h"
#include "gui/protocol/result_window.h"

namespace tervane::gui {
namespace {

ProgrammingContext MakeContext(const ExchangeContext& exchange, ProgressSink* sequenceProgress,
                               Prompter* prompter, ProgrammingFrontEnd* frontEnd, const std::string& file) {
  ProgrammingContext context;
  context.exchange = exchange;
  context.sequenceProgress = sequenceProgress;
  context.prompter = prompter;
  context.frontEnd = frontEnd;
  context.profileFile = file;
  return context;
}

std::string ProfilePath(const ExchangeContext& exchange, const std::string& file) {
  if (!file.empty() || exchange.settings == nullptr) return file;
  return ProfileFilePath(*exchange.settings);
}

}  // namespace

CProgramEquipmentDlg::CProgramEquipmentDlg(QWidget* parent, const ExchangeContext& exchange, Prompter& prompter,
                                           std::string profileFile)
    : QDialog(parent),
      prompter_(prompter),
      waitNotice_(exchange.waitNotice),
      clock_(exchange.clock ? *exchange.clock : SystemClock()),
      profileFile_(ProfilePath(exchange, profileFile)),
      sequenceProgress_(this),
      session_(MakeContext(exchange, &sequenceProgress_, &prompter, this, profileFile_)),
      stored_(new QPushButton(Str(str::kCarregarExistentes), this)),
      printer_(new QPushButton(Str(str::kCarregarDoEquipamento), this)),
      new_(new QPushButton(Str(str::kNovaConfiguracao), this)),
      cancel_(new QPushButton(Str(str::kCancelar), this)) {
  setWindowTitle(Str(str::kProgramarEquipamento));
  if (exchange.settings) {
    const std::string workDir = exchange.settings->g_workDir;
    help_ = [this, workDir] {
      const HelpFile help = FindHelpFile(workDir, ShippedDocDir());
      const QString path = QString::fromStdString(help.path);
      if (!help.found || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        prompter_.ShowMessage("", Format(Utf8ToCp1252Lossy("Não foi possível abrir %s").c_str(), FromQt(path).c_str()));
      }
    };
  }
  auto* layout = new QVBoxLayout(this);
  for (QPushButton* button : {stored_, printer_, new_}) {
    button->setMinimumHeight(36);
    layout->addWidget(button);
  }
  layout->addSpacing(8);
  layout->addWidget(cancel_, 0, Qt::AlignRight);
  setMinimumWidth(360);

  connect(stored_, &QPushButton::clicked, this, [this] { ProgramFromStoredProfile(); });
  connect(printer_, &QPushButton::clicked, this, [this] { ProgramFromPrinter(); });
  connect(new_, &QPushButton::clicked, this, [this] { ProgramFromCurrentProfile(); });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

CProgramEquipmentDlg::~CProgramEquipmentDlg() = default;

// Marks the dialog busy for the length of one way in.
class CProgramEquipmentDlg::RunScope {
 public:
  explicit RunScope(CProgramEquipmentDlg& dialog) : dialog_(dialog) { Set(true); }
  ~RunScope() { Set(false); }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  void Set(bool running) {
    dialog_.running_ = running;
    for (QPushButton* button : {dialog_.stored_, dialog_.printer_, dialog_.new_, dialog_.cancel_}) {
      button->setEnabled(!running);
    }
  }
  CProgramEquipmentDlg& dialog_;
};

void CProgramEquipmentDlg::reject() {
  if (!running_) QDialog::reject();
}

bool CProgramEquipmentDlg::EditProfile(ProfileSheet& sheet) {
  CProfileSheet dialog(this, sheet, prompter_, clock_);
  if (help_) dialog.SetHelp(help_);
  if (dialog.exec() != QDialog::Accepted) return false;
  sheet = dialog.Sheet();
  return true;
}

void CProgramEquipmentDlg::ShowResults(const std::string& resultText, const std::string& hexTrace) {
  CResultDlg dialog(this, resultText, hexTrace, prompter_);
  dialog.exec();
}

ProgrammingOutcome CProgramEquipmentDlg::ProgramFromStoredProfile() {
  if (running_) return {};
  RunScope busy(*this);
  CProfileBrowserDlg browser(this, profileFile_, prompter_, waitNotice_);
  browser.exec();
  if (!browser.HasChoice()) return Finish(ProgrammingOutcome{});
  return Finish(session_.ProgramFromStoredProfile(browser.Chosen()));
}

ProgrammingOutcome CProgramEquipmentDlg::ProgramFromPrinter() {
  if (running_) return {};
  RunScope busy(*this);
  return Finish(session_.ProgramFromPrinter(&lastRead_));
}

ProgrammingOutcome CProgramEquipmentDlg::ProgramFromCurrentProfile() {
  if (running_) return {};
  RunScope busy(*this);
  return Finish(session_.ProgramFromCurrentProfile());
}

ProgrammingOutcome CProgramEquipmentDlg::Finish(ProgrammingOutcome outcome) {
  last_ = outcome;
  update();  // the dialog stays open for the next run
  return outcome;
}

}  // namespace tervane::gui
