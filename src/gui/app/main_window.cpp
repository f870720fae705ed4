#include "gui/app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <unistd.h>

#include "core/app/help_file.h"
#include "core/app/model_table.h"
#include "core/app/printer_detection.h"
#include "core/app/work_folder.h"
#include "core/common/charset.h"
#include "core/common/install_paths.h"
#include "core/common/string_table.h"
#include "core/protocol/catalogue_lint.h"
#include "core/protocol/command_log.h"
#include "gui/app/about_dialog.h"
#include "gui/app/app_icon.h"
#include "gui/app/progress_window.h"
#include "gui/app/settings_dialog.h"
#include "gui/app/wait_window.h"
#include "gui/catalogue/qt_prompter.h"
#include "gui/common/pumping_clock.h"
#include "gui/common/app_profile.h"
#include "gui/common/qt_text.h"
#include "gui/control/brandel.h"
#include "gui/control/graphic_cliche_dialog.h"
#include "gui/equipment/program_equipment_dialog.h"
#include "gui/sequences/sequence_dialog.h"
#include "gui/fiscalmemory/mf_mfd_window.h"
#include "gui/monitor/monitor_window.h"
#include "core/protocol/command_exchange.h"
#include "core/transport/com_port_map.h"
#include "core/transport/port_factory.h"
#include "core/transport/serial_adapters.h"

namespace tervane::gui {
namespace {

// Texts of the operations (string numbers).

const QString kNotYet = QStringLiteral("Ainda não disponível nesta versão do Tervane.");

const QString kGeometryKey = QStringLiteral("MainWindow/Geometry");

// A fixed text with a keyboard mnemonic on its `letter`-th character.
QString WithMnemonic(QString text, int letter) {
  if (letter >= 0 && letter < text.size()) text.insert(letter, QLatin1Char('&'));
  return text;
}

// Menu texts come from data: an "&" there is a character, not a mnemonic.
QString MenuText(const std::string& text) {
  QString result = ToQt(text);
  result.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return result;
}

}  // namespace

CMainWindow::CMainWindow(Options options)
    : options_(std::move(options)), ownPrompter_(std::make_unique<QtPrompter>(this)),
      prompter_(ownPrompter_.get()), wait_(new CWaitWnd(this)),
      progress_(std::make_unique<ProgressWindowSink>(this)) {
  ports_ = std::make_unique<SystemPortFactory>(PortContext{&settings_, &SystemClock()});
  runner_ = [this](CommandRecord& command) { return RunCommand(command); };
  opener_ = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

  setWindowTitle(Str(str::kTervane));
  setWindowIcon(AppIcon());
  // A white working area with the program's mark and the connection in the middle.
  auto* centre = new QWidget(this);
  centre->setAutoFillBackground(true);
  QPalette palette = centre->palette();
  palette.setColor(QPalette::Window, Qt::white);
  centre->setPalette(palette);
  auto* layout = new QVBoxLayout(centre);
  auto* mark = new QLabel(centre);
  mark->setPixmap(AppIcon().pixmap(96, 96));
  mark->setAlignment(Qt::AlignCenter);
  centre_ = new QLabel(centre);
  centre_->setAlignment(Qt::AlignCenter);
  centre_->setTextFormat(Qt::PlainText);
  SetTextColour(centre_, QColor(0x44, 0x51, 0x5f));
  layout->addStretch();
  layout->addWidget(mark);
  layout->addWidget(centre_);
  layout->addStretch();
  setCentralWidget(centre);

  statusPort_ = new QLabel(this);
  statusModel_ = new QLabel(this);
  statusBar()->addWidget(statusPort_);
  statusBar()->addWidget(statusModel_);
  statusWorkFolder_ = new QLabel(this);
  statusWorkFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusBar()->addPermanentWidget(statusWorkFolder_);

  CreateToolBar();
  BuildMenus();
  UpdateStatus();
  resize(900, 600);

  // F1 opens the help from anywhere in the window. It is a shortcut of its own rather
  // than the menu item's, whose label already says "(F1)".
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { DispatchId(ids::kAjuda); });
}

CMainWindow::~CMainWindow() = default;

void CMainWindow::ChooseWorkFolder(Options& options) {
  const WorkFolderChoice choice =
      tervane::ChooseWorkFolder(WorkFolderInputsFromEnvironment(options.workDir, QDir::currentPath().toStdString()));
  options.workDir = choice.workDir;
  options.logDir = choice.logDir;
  options.startupWarnings.insert(options.startupWarnings.end(), choice.warnings.begin(), choice.warnings.end());
}

WaitNotice& CMainWindow::Notice() {
  return *wait_;
}

void CMainWindow::SetPrompter(Prompter* prompter) {
  prompter_ = prompter ? prompter : ownPrompter_.get();
}

void CMainWindow::StartUp() {
  if (startedUp_) return;
  startedUp_ = true;
  // Detection and the model query pump events while they wait; nothing the user clicks
  // meanwhile may start a second exchange on the port they hold.
  startingUp_ = true;
  SetOperationsEnabled(false);
  settings_.g_workDir = options_.workDir.empty() ? QDir::currentPath().toStdString() : options_.workDir;
  settings_.g_logDir = options_.logDir;
  ShowStartupNotices();

  QString detection;
  if (options_.detectPrinter) {
    CWaitWnd status(this);
    status.setWindowTitle(Str(str::kTervane));
    DetectionContext context;
    context.settings = &settings_;
    context.ports = ports_.get();
    context.progress = progress_.get();
    context.statusWindow = &status;
    context.waitNotice = wait_;
    context.extraCandidates = UnmappedAdapterNames(DefaultScanRoots());
    const DetectionResult result = DetectPrinter(context);
    detection = ToQtDisplay(result.statusText);
    // Ports that are there but would not open say why under the outcome.
    for (const std::string& failure : result.openFailures) detection += QStringLiteral("\n") + ToQt(failure);
  }

  if (options_.loadCatalogue) {
    CatalogueLoadResult loadResult;
    CommandCatalogue loaded;
    wait_->Show(LoadString(str::kCarregandoCatalogo));
    const int code = LoadCatalogue(settings_.g_workDir, loaded, &loadResult);
    wait_->Hide();
    if (code == 0) {
      catalogue_ = std::move(loaded);
      catalogueLoaded_ = true;
      // What a hand edit got wrong is pointed out, without changing what was loaded.
      std::vector<CatalogueFinding> findings;
      if (LintCatalogueFile(settings_.g_workDir, findings) == 0 && !findings.empty()) {
        QStringList lines;
        for (const CatalogueFinding& finding : findings) lines << ToQt(FindingText(finding));
        catalogueWarning_ = new QLabel(
            QStringLiteral("Atenção: comandos.xml tem %1 problema(s); veja tervane-cli catalogue --check. %2")
                .arg(findings.size())
                .arg(lines.front()),
            this);
        catalogueWarning_->setToolTip(lines.join(QStringLiteral("\n")));
        SetTextColour(catalogueWarning_, QColor(0x9a, 0x5b, 0x00));
        statusBar()->addWidget(catalogueWarning_, 1);
      }
    } else if (options_.unattended) {
      std::fprintf(stderr, "tervane: %s\n%s\n", qPrintable(Str(str::kCatalogoNaoCarregado)),
                   qPrintable(ToQt(loadResult.description)));
    } else {
      QMessageBox box(QMessageBox::Warning, Str(str::kTervane), Str(str::kCatalogoNaoCarregado), QMessageBox::Ok, this);
      if (!loadResult.description.empty()) box.setDetailedText(ToQt(loadResult.description));
      box.exec();
    }
  }
  if (options_.detectPrinter) {
    detectedPort_ = settings_.g_portName;
    detectionText_ = detection;
  }
  BuildMenus();
  startingUp_ = false;
  SetOperationsEnabled(true);
  UpdateStatus();
  if (closeAfterStartUp_) QTimer::singleShot(0, this, &QWidget::close);
}

void CMainWindow::SetOperationsEnabled(bool enabled) {
  menuBar()->setEnabled(enabled);
  if (toolBar_) toolBar_->setEnabled(enabled);
}

void CMainWindow::closeEvent(QCloseEvent* event) {
  if (startingUp_) {
    // Closing in the middle of detection would tear the window down under the exchange
    // that is pumping its events: close once start-up has ended.
    closeAfterStartUp_ = true;
    event->ignore();
    return;
  }
  OpenProfile()->setValue(kGeometryKey, saveGeometry());
  QMainWindow::closeEvent(event);
}

bool CMainWindow::RestoreSavedGeometry() {
  const QByteArray saved = OpenProfile()->value(kGeometryKey).toByteArray();
  return !saved.isEmpty() && restoreGeometry(saved);
}

void CMainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !startingUp_) RefreshGraphicCliche();
}

void CMainWindow::RefreshGraphicCliche() {
  clicheUnavailable_ = BrandelUnavailableReason();
  const bool available = clicheUnavailable_.isEmpty();
  for (QAction* action : {ActionFor(ids::kClicheGrafico), ActionFor(ids::kToolClicheGrafico)}) {
    if (!action) continue;
    action->setEnabled(available);
    const QString title = Str(str::kProgramarClicheGrafico);
    action->setToolTip(available ? title : title + QStringLiteral("\n") + clicheUnavailable_);
    action->setStatusTip(available ? QString() : clicheUnavailable_);
  }
}

void CMainWindow::ShowStartupNotices() {
  // The home folder as "~" keeps the line short; the tip has the whole path.
  const QString workDir = QString::fromStdString(settings_.g_workDir);
  QString shown = workDir;
  const QString home = QDir::homePath();
  if (home.size() > 1 && (shown == home || shown.startsWith(home + QLatin1Char('/')))) {
    shown.replace(0, home.size(), QStringLiteral("~"));
  }
  statusWorkFolder_->setText(QStringLiteral("Pasta de trabalho: %1").arg(shown));
  statusWorkFolder_->setToolTip(workDir);
  if (!options_.startupWarnings.empty()) {
    QStringList lines;
    for (const std::string& warning : options_.startupWarnings) lines << ToQt(warning);
    QString text = QStringLiteral("Atenção: ") + lines.front();
    if (lines.size() > 1) text += QStringLiteral(" (e mais %1; veja a dica)").arg(lines.size() - 1);
    startupWarning_ = new QLabel(text, this);
    startupWarning_->setToolTip(lines.join(QStringLiteral("\n")));
    SetTextColour(startupWarning_, QColor(0x9a, 0x5b, 0x00));
    statusBar()->addWidget(startupWarning_, 1);
    if (options_.unattended) {
      for (const QString& line : lines) std::fprintf(stderr, "tervane: %s\n", qPrintable(line));
    }
    // The daily log keeps them too, as a record of its own among the exchanges.
    CommandRecord note;
    note.title = Utf8ToCp1252Lossy("Início do Tervane");
    for (const std::string& warning : options_.startupWarnings) note.ResultText += warning + "\n";
    WriteCommandLog(note, settings_);
  }
  if (::geteuid() == 0) {
    rootWarning_ = new QLabel(QStringLiteral("Atenção: o Tervane está sendo executado como root; use um usuário normal."),
                              this);
    rootWarning_->setToolTip(rootWarning_->text());
    SetTextColour(rootWarning_, QColor(0xa0, 0x00, 0x00));
    statusBar()->addWidget(rootWarning_);
  }
}

void CMainWindow::SetCatalogue(CommandCatalogue catalogue) {
  catalogue_ = std::move(catalogue);
  catalogueLoaded_ = true;
  BuildMenus();
}

QAction* CMainWindow::AddOperation(QMenu* menu, int id, int stringId, bool available) {
  QAction* action = menu->addAction(Str(stringId));
  action->setData(id);
  action->setEnabled(available);
  if (!available) action->setStatusTip(kNotYet);
  connect(action, &QAction::triggered, this, [this, id] { DispatchId(id); });
  return action;
}

void CMainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->clear();
  // The menus of the last build are the bar's children; they go with it.
  for (QMenu* menu : builtMenus_) menu->deleteLater();
  builtMenus_.clear();
  groupMenus_.clear();
  auto newMenu = [this, bar](const QString& title) {
    auto* menu = new QMenu(title, bar);
    builtMenus_.push_back(menu);
    return menu;
  };

  QMenu* operations = newMenu(WithMnemonic(Str(str::kOperacoes), 0));
  bar->addMenu(operations);
  operations->setToolTipsVisible(true);
  connect(operations, &QMenu::aboutToShow, this, &CMainWindow::RefreshGraphicCliche);
  AddOperation(operations, ids::kProgramarEquipamento, str::kProgramarEquipamento, true);
  AddOperation(operations, ids::kSequencias, str::kSequenciasComandos, true);
  AddOperation(operations, ids::kClicheGrafico, str::kProgramarClicheGrafico, true);
  AddOperation(operations, ids::kMfMfd, str::kMfMfd, true);
  // Beyond the fixed entries: the live monitor of another program's traffic.
  QAction* monitor = operations->addAction(QStringLiteral("M&onitor"));
  monitor->setData(ids::kMonitor);
  monitor->setToolTip(QStringLiteral("Mostra, decodificado, o que um programa de PDV troca com a impressora"));
  connect(monitor, &QAction::triggered, this, [this] { DispatchId(ids::kMonitor); });
  operations->addSeparator();
  AddOperation(operations, ids::kConfiguracoes, str::kConfiguracoes, true);
  AddOperation(operations, ids::kSair, str::kSair, true);

  // One menu per group, in the order each group first appears; commands in catalogue order.
  std::vector<std::pair<std::string, QMenu*>> groups;
  for (int i = 0; i < catalogue_.count(); ++i) {
    const CommandRecord& command = catalogue_.commands[i];
    QMenu* menu = nullptr;
    for (const auto& [name, existing] : groups) {
      if (name == command.group) menu = existing;
    }
    if (!menu) {
      menu = newMenu(MenuText(command.group));
      bar->addMenu(menu);
      groups.emplace_back(command.group, menu);
      groupMenus_.push_back(menu);
    }
    QAction* item = menu->addAction(MenuText(command.title));
    item->setData(ids::kFirstCommandId + i);
    item->setEnabled(IsCommandEnabled(command, settings_));
    connect(item, &QAction::triggered, this, [this, i] { OpenCommand(i); });
  }

  moreMenu_ = newMenu(QStringLiteral("&Mais"));
  helpMenu_ = newMenu(WithMnemonic(Str(str::kAjuda), 1));
  bar->addMenu(helpMenu_);
  AddOperation(helpMenu_, ids::kSobre, str::kSobre, true);
  AddOperation(helpMenu_, ids::kAjuda, str::kTopicosAjuda, true);
  AddOperation(helpMenu_, ids::kReferencia, str::kReferenciaComandos, true);
  groupsOnBar_ = static_cast<int>(groupMenus_.size());
  RefreshGraphicCliche();
  FitMenuBar();
}

void CMainWindow::FitMenuBar() {
  QMenuBar* bar = menuBar();
  if (!helpMenu_ || !moreMenu_) return;
  const int available = width();
  const int count = static_cast<int>(groupMenus_.size());
  // Every group on the bar when they fit; otherwise the last groups go, as submenus, into
  // "Mais" before "Ajuda", so that "Ajuda" never falls into the bar's overflow. Each step
  // moves one group, and each move makes the bar lay itself out again, so the search
  // starts from all on the bar and moves only what must move.
  for (int onBar = count; onBar >= 0; --onBar) {
    ArrangeMenuBar(onBar);
    if (bar->actionGeometry(helpMenu_->menuAction()).right() < available) return;
  }
}

void CMainWindow::ArrangeMenuBar(int onBar) {
  QMenuBar* bar = menuBar();
  const int count = static_cast<int>(groupMenus_.size());
  QAction* more = moreMenu_->menuAction();
  QAction* help = helpMenu_->menuAction();
  // Groups back on the bar, in order, before "Mais" (or "Ajuda" when "Mais" is not there).
  QAction* before = bar->actions().contains(more) ? more : help;
  for (; groupsOnBar_ < onBar; ++groupsOnBar_) {
    QAction* group = groupMenus_[groupsOnBar_]->menuAction();
    moreMenu_->removeAction(group);
    bar->insertAction(before, group);
  }
  // Groups off the bar, the last first, each at the head of "Mais".
  for (; groupsOnBar_ > onBar; --groupsOnBar_) {
    QAction* group = groupMenus_[groupsOnBar_ - 1]->menuAction();
    bar->removeAction(group);
    const QList<QAction*> inMore = moreMenu_->actions();
    moreMenu_->insertAction(inMore.isEmpty() ? nullptr : inMore.front(), group);
  }
  const bool moreOnBar = bar->actions().contains(more);
  if (onBar < count && !moreOnBar) bar->insertAction(help, more);
  if (onBar == count && moreOnBar) bar->removeAction(more);
}

void CMainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FitMenuBar();
}

void CMainWindow::CreateToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Ferramentas"));
  toolBar_->setMovable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolBar_->setIconSize(QSize(32, 32));
  struct Tool {
    int id;
    int handledAs;
    int text;
    ToolPicture icon;
    bool available;
  };
  const Tool tools[] = {
      {ids::kToolSequencias, ids::kSequencias, str::kSequenciasComandos, ToolPicture::kSequences, true},
      {ids::kToolClicheGrafico, ids::kClicheGrafico, str::kProgramarClicheGrafico, ToolPicture::kGraphicCliche, true},
      {ids::kToolMfMfd, ids::kMfMfd, str::kMfMfd, ToolPicture::kMemory, true},
      {ids::kToolProgramar, ids::kProgramarEquipamento, str::kProgramarEquipamento, ToolPicture::kProgramming, true},
      {ids::kToolConfiguracoes, ids::kConfiguracoes, str::kConfiguracoes, ToolPicture::kSettings, true},
  };
  for (const Tool& tool : tools) {
    QAction* action = toolBar_->addAction(ToolIcon(tool.icon), Str(tool.text));
    action->setData(tool.id);
    action->setEnabled(tool.available);
    action->setToolTip(tool.available ? Str(tool.text) : Str(tool.text) + QStringLiteral(" — ") + kNotYet);
    const int target = tool.handledAs;
    connect(action, &QAction::triggered, this, [this, target] { DispatchId(target); });
    toolActions_[tool.id] = action;
  }
}

QAction* CMainWindow::ActionFor(int id) const {
  if (auto it = toolActions_.find(id); it != toolActions_.end()) return it->second;
  // The group menus may sit inside "Mais".
  std::function<QAction*(QMenu*)> find = [&](QMenu* menu) -> QAction* {
    for (QAction* item : menu->actions()) {
      if (item->menu()) {
        if (QAction* found = find(item->menu())) return found;
      } else if (!item->isSeparator() && item->data().toInt() == id) {
        return item;
      }
    }
    return nullptr;
  };
  for (QAction* top : menuBar()->actions()) {
    if (!top->menu()) continue;
    if (QAction* found = find(top->menu())) return found;
  }
  return nullptr;
}

void CMainWindow::DispatchId(int id) {
  // A shortcut or a queued click during start-up must not start an operation; "Sair"
  // is kept and takes effect once start-up ends.
  if (startingUp_ && id != ids::kSair) return;
  switch (id) {
    case ids::kConfiguracoes: OpenSettings(); break;
    case ids::kSair: close(); break;
    case ids::kSobre: OpenAbout(); break;
    case ids::kAjuda: OpenHelp(); break;
    case ids::kReferencia: OpenCommandReference(); break;
    case ids::kSequencias: OpenSequences(); break;
    case ids::kClicheGrafico: OpenGraphicCliche(); break;
    case ids::kProgramarEquipamento: {
      // Programming runs its commands through the same ports, clock and windows as a
      // command from a menu.
      const ExchangeContext exchange{&settings_, ports_.get(), &pumpingClock_, progress_.get(), wait_};
      CProgramEquipmentDlg dialog(this, exchange, *prompter_);
      dialog.exec();
      break;
    }
    case ids::kMfMfd: OpenMemoryTools(); break;
    case ids::kMonitor: OpenMonitor(); break;
    default: break;  // operations not available in this version are disabled
  }
}

ExchangeContext CMainWindow::CommandExchange() {
  ExchangeContext context;
  context.settings = &settings_;
  context.ports = ports_.get();
  context.progress = progress_.get();
  context.waitNotice = wait_;
  context.clock = &pumpingClock_;  // pauses between reads keep the windows alive
  return context;
}

int CMainWindow::RunCommand(CommandRecord& command) {
  const int result = ExecuteCommand(command, CommandExchange());
  // A port that would not open: the connection line says why until the next success.
  if (!command.portFailure.empty()) {
    portFailure_ = ToQt(command.portFailure);
    UpdateStatus();
  } else if (result == kOk && !portFailure_.isEmpty()) {
    portFailure_.clear();
    UpdateStatus();
  }
  return result;
}

void CMainWindow::OpenSequences() {
  CSequenceDialog dialog(this, settings_, *prompter_, *wait_, CommandExchange());
  dialog.SetSettingsHandler([this] { OpenSettings(); });
  dialog.SetFileOpener(opener_);
  // The graphic-header button opens the logo control's dialog over the sequence window,
  // and is disabled, saying why, while the control is not registered.
  RefreshGraphicCliche();
  if (clicheUnavailable_.isEmpty()) {
    dialog.SetGraphicHeaderHandler([this, &dialog] {
      CGraphicClicheDlg cliche(&dialog, settings_, *prompter_);
      cliche.Run();
    });
  } else {
    dialog.SetGraphicHeaderHandler({}, clicheUnavailable_);
  }
  dialog.Run();
}

void CMainWindow::OpenCommand(int index) {
  if (startingUp_ || index < 0 || index >= catalogue_.count()) return;
  // The dialog works on its own copy; the catalogue keeps its defaults.
  CCommandDlg dialog(this, catalogue_.commands[index], settings_, *prompter_, *wait_, runner_);
  dialog.Run();
}

std::vector<std::string> CMainWindow::SerialDevices() const {
  std::vector<std::string> devices;
  const SerialScanRoots roots = DefaultScanRoots();
  for (const PortListEntry& entry : ListPorts(options_.extraDevices, roots.devDir, roots.sysDir)) {
    if (entry.origin == "present" || entry.origin == "given") devices.push_back(entry.device);
    if (entry.origin == "adapter") devices.push_back(entry.name);
  }
  return devices;
}

void CMainWindow::OpenSettings() {
  CSettingsDlg dialog(this, settings_, SerialDevices());
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string portBefore = settings_.g_portName;
  dialog.ApplyTo(settings_);
  // What the last failure said was about the port in use then.
  if (settings_.g_portName != portBefore) portFailure_.clear();
  BuildMenus();
  UpdateStatus();
}

void CMainWindow::OpenAbout() {
  CAboutDlg dialog(this, settings_);
  dialog.exec();
}

void CMainWindow::OpenMemoryTools() {
  ExchangeContext context;
  context.settings = &settings_;
  context.ports = ports_.get();
  context.progress = progress_.get();
  context.waitNotice = wait_;
  context.clock = &pumpingClock_;
  CMfMfdWnd window(this, context, *prompter_, *wait_, opener_);
  window.exec();
}

void CMainWindow::OpenHelp() {
  const HelpFile help = FindHelpFile(settings_.g_workDir, ShippedDocDir());
  const QString path = QString::fromStdString(help.path);
  if (!help.found || !opener_(path)) {
    QMessageBox::warning(this, Str(str::kTervane), QStringLiteral("Não foi possível abrir %1").arg(path));
  }
}

void CMainWindow::OpenGraphicCliche() {
  // The logo control is created by class ID; when it is not registered the dialog does
  // not open (its entries are disabled then, with a tip saying how to register it).
  CGraphicClicheDlg dialog(this, settings_, *prompter_);
  dialog.Run();
}

void CMainWindow::OpenMonitor() {
  QStringList devices;
  for (const std::string& device : SerialDevices()) devices << QString::fromStdString(device);
  CMonitorWnd window(this, catalogue_, devices);
  window.exec();
}

void CMainWindow::OpenCommandReference() {
  const QString path = QString::fromStdString(ResolveInWorkDir(settings_, "comandos.xml"));
  if (!opener_(path)) {
    QMessageBox::warning(this, Str(str::kTervane), QStringLiteral("Não foi possível abrir %1").arg(path));
  }
}

QString CMainWindow::ConnectionText() const {
  return centre_->text();
}

QString CMainWindow::PortStatusText() const {
  return statusPort_->text();
}

QString CMainWindow::CentreText() const {
  if (!portFailure_.isEmpty()) return portFailure_;
  if (!detectionText_.isEmpty() && settings_.g_portName == detectedPort_) return detectionText_;
  if (settings_.g_portName.empty()) return Str(str::kTervane);
  // Detection's outcome was about another port: say which one is in use now.
  return QStringLiteral("Porta %1 escolhida em Configurações").arg(ToQt(settings_.g_portName));
}

void CMainWindow::UpdateStatus() {
  const QString port = settings_.g_portName.empty() ? QStringLiteral("—") : ToQt(settings_.g_portName);
  QString model = ToQt(settings_.g_modelName).trimmed();
  if (model.isEmpty()) model = QStringLiteral("não identificado");
  statusPort_->setText(QStringLiteral("Porta: %1").arg(port));
  statusModel_->setText(QStringLiteral("Equipamento: %1%2")
                            .arg(model, settings_.g_extendedReply ? QStringLiteral("  ·  Retorno Estendido")
                                                                  : QString()));
  centre_->setText(CentreText());
  statusPort_->setToolTip(portFailure_);
}

}  // namespace tervane::gui
