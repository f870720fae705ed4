#include "gui/protocol/result_window.h"

#include <QFontDatabase>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "core/common/string_table.h"
#include "gui/common/qt_text.h"
#include "core/protocol/command_log.h"

namespace tervane::gui {
namespace {

constexpr int kResultado = 33009;
constexpr int kCannotOpenTxt = 33001;  // "Não foi possível abrir o arquivo .txt"

}  // namespace

std::string ComposeSavedResult(int choice, const std::string& resultText, const std::string& hexTrace) {
  switch (choice) {
    case 1: return resultText;
    case 2: return HexDump(hexTrace);
    case 3: return resultText + HexDump(hexTrace);
    default: return {};
  }
}

CResultDlg::CResultDlg(QWidget* parent, const std::string& resultText, const std::string& hexTrace, Prompter& prompter)
    : QDialog(parent),
      resultText_(resultText),
      hexTrace_(hexTrace),
      prompter_(prompter),
      opener_([](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }),
      text_(new QPlainTextEdit(this)),
      toggle_(new QPushButton(Str(str::kDump), this)),
      save_(new QPushButton(QStringLiteral("Salvar"), this)) {
  setWindowTitle(Str(kResultado));
  // The desktop's fixed-width font at the user's size: the dump's columns line up.
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setPlainText(ToQtDisplay(resultText_));

  auto* close = new QPushButton(Str(str::kSair), this);
  connect(toggle_, &QPushButton::clicked, this, &CResultDlg::Toggle);
  connect(save_, &QPushButton::clicked, this, &CResultDlg::Save);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  close->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(toggle_);
  buttons->addWidget(save_);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  resize(640, 420);
}

void CResultDlg::Toggle() {
  showingDump_ = !showingDump_;
  toggle_->setText(Str(showingDump_ ? str::kMensagem : str::kDump));
  text_->setPlainText(ToQtDisplay(showingDump_ ? HexDump(hexTrace_) : resultText_));
}

bool CResultDlg::Save() {
  std::string path = "Msg_Ret";
  if (!prompter_.ChooseSaveFile("*.txt", "Arquivos de Texto (*.txt)|*.txt|Todos os Arquivos (*.*)|*.*||", path)) {
    return false;
  }
  const std::string& message = LoadString(str::kMensagem);
  const std::string& dump = LoadString(str::kDump);
  const int choice = prompter_.Choose(LoadString(kResultado), {message, dump, message + " + " + dump});
  if (choice < 1 || choice > 3) return false;
  const std::string content = ComposeSavedResult(choice, resultText_, hexTrace_);
  const QString file = QString::fromStdString(path);
  QFile out(file);
  bool written = false;
  if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    written = out.write(content.data(), static_cast<qint64>(content.size())) == static_cast<qint64>(content.size());
    out.close();
  }
  if (!written) {
    // A result that could not be saved is reported instead of opening a file that does
    // not hold it.
    prompter_.ShowMessage(LoadString(kResultado), LoadString(kCannotOpenTxt) + "\r\n" + FromQt(file));
    return false;
  }
  opener_(file);
  return true;
}

}  // namespace tervane::gui
