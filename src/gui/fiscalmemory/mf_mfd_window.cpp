#include "gui/fiscalmemory/mf_mfd_window.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "core/common/string_table.h"
#include "core/fiscalmemory/key_print.h"
#include "core/fiscalmemory/mf_integrity.h"
#include "gui/common/qt_text.h"
#include "gui/fiscalmemory/mfd_diagnostics_action.h"
#include "gui/fiscalmemory/pdf417_window.h"

namespace tervane::gui {
CMfMfdWnd::CMfMfdWnd(QWidget* parent, const ExchangeContext& exchange, Prompter& prompter, WaitNotice& wait,
                     std::function<bool(const QString&)> opener, VendorLoader* loader)
    : QDialog(parent), exchange_(exchange), prompter_(prompter), wait_(wait), opener_(std::move(opener)),
      loader_(loader), menuBar_(new QMenuBar(this)), summary_(new QLabel(this)) {
  setWindowTitle(Str(str::kMfMfd));

  QMenu* file = menuBar_->addMenu(QStringLiteral("Arquivo"));
  file->setToolTipsVisible(true);
  Add(file, QStringLiteral("Emissão de documento(s)"),
      [](const MemoryToolContext& c) { return MakeFromMfd(c, MfdProduct::kDocuments); });
  Add(file, QStringLiteral("Geração de banco de dados"),
      [](const MemoryToolContext& c) { return MakeFromMfd(c, MfdProduct::kDatabase); });
  Add(file, QStringLiteral("Relatório da Memória Fiscal"), MakeMfReport);
  Add(file, QStringLiteral("Registros Tipo E"), MakeTypeERecords);
  Add(file, QStringLiteral("Decodificar Bitmaps PDF-417 Distintos"), DecodePdf417Bitmaps);
  {
    const QString text = QStringLiteral("Diagnostico do relatório da MFD");
    QAction* action = file->addAction(text);
    connect(action, &QAction::triggered, this, [this] { RunMfdDiagnosticsAction(this, *exchange_.settings); });
    entries_[text] = action;
  }
  Add(file, QStringLiteral("Valida .MFD em formato PDF417"), ValidatePdf417);
  Add(file, QStringLiteral("Valida MPK,MFK,SBK"), ValidateKeyFile);
  Add(file, QStringLiteral("Verifica integridade da MF"), [](const MemoryToolContext& c) { return CheckMfIntegrity(c); });

  QMenu* link = menuBar_->addMenu(QStringLiteral("Comunicação"));
  link->setToolTipsVisible(true);
  QMenu* download = link->addMenu(QStringLiteral("Download"));
  const std::pair<QString, MemoryDownload> downloads[] = {
      {QStringLiteral("Memória de fita-detalhe (MFD)"), MemoryDownload::kMfd},
      {QStringLiteral("Memória Fiscal (MF)"), MemoryDownload::kMf},
      {QStringLiteral("Software Básico(SB)"), MemoryDownload::kSb},
      {QStringLiteral("MPK"), MemoryDownload::kMpk},
      {QStringLiteral("MFK"), MemoryDownload::kMfk},
      {QStringLiteral("SBK"), MemoryDownload::kSbk},
      {QStringLiteral("Chave Pública"), MemoryDownload::kPublicKey},
  };
  for (const auto& [text, what] : downloads) {
    const MemoryDownload kind = what;
    Add(download, text, [kind](const MemoryToolContext& c) { return DownloadMemory(c, kind); });
  }
  {
    const QString text = QStringLiteral("Leitura via scanner (PDF - 417)");
    QAction* action = link->addAction(text);
    connect(action, &QAction::triggered, this, [this] { RunPdf417Capture(this, &prompter_); });
    entries_[text] = action;
  }
  Add(link, QStringLiteral("Impressão de Chave Pública"), PrintPublicKey);

  // What the operations will use: the port, the model and its library.
  const ProgramSettings& settings = *exchange_.settings;
  QString model = ToQt(settings.g_modelName).trimmed();
  if (model.isEmpty()) model = QStringLiteral("não identificado");
  summary_->setText(QStringLiteral("Porta: %1\nEquipamento: %2\nBiblioteca: %3")
                        .arg(ToQt(settings.g_portName), model,
                             QString::fromStdString(VendorLibraryFile(settings.g_modelMask))));
  summary_->setTextFormat(Qt::PlainText);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar_);
  layout->addWidget(summary_);
  layout->addStretch();
  resize(480, 220);
}

QAction* CMfMfdWnd::Add(QMenu* menu, const QString& text,
                        std::function<MemoryOutcome(const MemoryToolContext&)> operation) {
  QAction* action = menu->addAction(text);
  connect(action, &QAction::triggered, this, [this, operation = std::move(operation)] { last_ = operation(Context()); });
  entries_[text] = action;
  return action;
}

QAction* CMfMfdWnd::Entry(const QString& text) const {
  auto it = entries_.find(text);
  return it == entries_.end() ? nullptr : it->second;
}

MemoryToolContext CMfMfdWnd::Context() const {
  MemoryToolContext context;
  context.exchange = exchange_;
  context.prompter = &prompter_;
  context.loader = loader_;
  context.wait = &wait_;
  if (opener_) {
    context.openFile = [opener = opener_](const std::string& path) { return opener(QString::fromStdString(path)); };
  }
  return context;
}

}  // namespace tervane::gui
