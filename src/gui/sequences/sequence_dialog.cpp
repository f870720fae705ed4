#include "gui/sequences/sequence_dialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/app/help_file.h"
#include "core/common/install_paths.h"
#include "core/common/string_table.h"
#include "core/common/charset.h"
#include "core/common/text.h"
#include "gui/app/app_icon.h"
#include "gui/common/qt_text.h"
#include "gui/protocol/result_window.h"

namespace tervane::gui {
namespace {

// Captions, labels and tool tips of the window (the first two tool tips carry two
// blanks, as the program has always shown them).
const QString kTitle = QStringLiteral("Sequências");
const QString kKindsLabel = QStringLiteral("Tipos de comando");
const QString kAvailableLabel = QStringLiteral("Comandos Disponíveis");
const QString kSequencesLabel = QStringLiteral("Sequências Disponíveis");
const QString kCommandsLabel = QStringLiteral("Comandos da Sequência");
const QString kParametersLabel = QStringLiteral("Parâmetros");
const QString kStepMode = QStringLiteral("Execução passo a passo");
const QString kExecutionsLabel = QStringLiteral("Nº de execuções:");
const QString kWaitLabel = QStringLiteral("Tempo de espera entre comandos:");

constexpr char kRangeMessage[] = "Digite um número inteiro entre %d e %d.";
constexpr char kCannotOpen[] = "Não foi possível abrir %s";

QPushButton* MakeButton(const QString& caption, const QString& tip, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setAutoDefault(false);  // Enter must not press whichever button had the focus
  if (!tip.isEmpty()) button->setToolTip(tip);
  return button;
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  return label;
}

// Refills a list with `texts` and makes `chosen` its current row (-1: none) without
// reporting a choice: the editor already holds it.
void Refill(QListWidget* list, const std::vector<std::string>& texts, int chosen) {
  const QSignalBlocker blocker(list);
  list->clear();
  for (const std::string& text : texts) list->addItem(ToQt(text));
  list->setCurrentRow(chosen >= 0 && chosen < list->count() ? chosen : -1);
  if (chosen < 0) list->clearSelection();
}

}  // namespace

CSequenceDialog::CSequenceDialog(QWidget* parent, const ProgramSettings& settings, Prompter& prompter,
                                 WaitNotice& wait, ExchangeContext exchange)
    : QDialog(parent), settings_(settings), prompter_(prompter), notice_(wait), exchange_(exchange),
      editor_(settings, prompter, &wait, exchange.clock), runProgress_(this), body_(new QWidget(this)),
      kinds_(new QListWidget(body_)), available_(new QListWidget(body_)), sequences_(new QListWidget(body_)),
      commands_(new QListWidget(body_)), parameters_(new QTreeWidget(body_)),
      stepMode_(new QCheckBox(kStepMode, body_)), executions_(new QLineEdit(QStringLiteral("1"), body_)),
      wait_(new QLineEdit(QStringLiteral("0"), body_)),
      add_(MakeButton(QStringLiteral("Adicionar >>"), QStringLiteral("Adicionar  comando"), body_)),
      remove_(MakeButton(QStringLiteral("<<Excluir"), QStringLiteral("Remover  comando"), body_)),
      delete_(MakeButton(QStringLiteral("Excluir"), QStringLiteral("Remove sequência"), body_)),
      new_(MakeButton(QStringLiteral("Nova"), QStringLiteral("Nova sequência"), body_)),
      open_(MakeButton(QStringLiteral("Abrir"), QString(), body_)),
      execute_(MakeButton(QStringLiteral("Executar"), QStringLiteral("Executar sequência"), body_)),
      save_(MakeButton(QStringLiteral("Salvar"), QStringLiteral("Salvar Sequência"), body_)),
      settingsButton_(MakeButton(QStringLiteral("Config."), QStringLiteral("Configurações"), body_)),
      help_(MakeButton(QStringLiteral("Help"), QStringLiteral("Ajuda"), body_)),
      reference_(MakeButton(QStringLiteral("Referência"), QStringLiteral("Referência dos comandos"), body_)),
      graphicHeader_(MakeButton(QString(), QStringLiteral("Clichê Gráfico"), body_)) {
  setWindowTitle(kTitle);
  setWindowIcon(AppIcon());
  presenter_ = [this](const std::string& resultText, const std::string& hexTrace) {
    CResultDlg result(this, resultText, hexTrace, prompter_);
    result.exec();
  };
  opener_ = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

  kinds_->setMaximumHeight(110);
  parameters_->setColumnCount(3);
  parameters_->setHeaderLabels({QStringLiteral("Nome"), QStringLiteral("Obrig."), QStringLiteral("Valor do Parâmetro")});
  parameters_->setRootIsDecorated(false);
  parameters_->setSelectionMode(QAbstractItemView::SingleSelection);
  parameters_->header()->setStretchLastSection(true);
  parameters_->setColumnWidth(0, 200);
  parameters_->setColumnWidth(1, 50);

  // Digits only: at most three for the executions, two for the wait.
  executions_->setMaxLength(3);
  executions_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), executions_));
  wait_->setMaxLength(2);
  wait_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), wait_));
  executions_->setFixedWidth(48);
  wait_->setFixedWidth(40);

  graphicHeader_->setIcon(ToolIcon(ToolPicture::kGraphicCliche));
  graphicHeader_->setIconSize(QSize(22, 22));
  graphicHeader_->setEnabled(false);
  settingsButton_->setEnabled(false);

  // Left: the catalogue; middle: the two moves; right: the working sequence and its
  // parameters; far right: the stored sequences.
  auto* catalogueSide = new QVBoxLayout;
  catalogueSide->addWidget(Caption(kKindsLabel, kinds_, body_));
  catalogueSide->addWidget(kinds_);
  catalogueSide->addWidget(Caption(kAvailableLabel, available_, body_));
  catalogueSide->addWidget(available_, 1);

  auto* moves = new QVBoxLayout;
  moves->addStretch();
  moves->addWidget(add_);
  moves->addWidget(remove_);
  moves->addStretch();

  auto* sequenceSide = new QVBoxLayout;
  sequenceSide->addWidget(Caption(kCommandsLabel, commands_, body_));
  sequenceSide->addWidget(commands_, 1);
  sequenceSide->addWidget(Caption(kParametersLabel, parameters_, body_));
  sequenceSide->addWidget(parameters_, 1);

  auto* storeButtons = new QHBoxLayout;
  storeButtons->addWidget(delete_);
  storeButtons->addWidget(new_);
  storeButtons->addWidget(open_);
  auto* storeSide = new QVBoxLayout;
  storeSide->addWidget(Caption(kSequencesLabel, sequences_, body_));
  storeSide->addWidget(sequences_, 1);
  storeSide->addLayout(storeButtons);

  auto* lists = new QHBoxLayout;
  lists->addLayout(catalogueSide, 3);
  lists->addLayout(moves);
  lists->addLayout(sequenceSide, 4);
  lists->addLayout(storeSide, 2);

  auto* run = new QHBoxLayout;
  run->addWidget(stepMode_);
  run->addSpacing(16);
  run->addWidget(Caption(kExecutionsLabel, executions_, body_));
  run->addWidget(executions_);
  run->addSpacing(16);
  run->addWidget(Caption(kWaitLabel, wait_, body_));
  run->addWidget(wait_);
  run->addStretch();
  run->addWidget(execute_);
  run->addWidget(save_);

  auto* tools = new QHBoxLayout;
  tools->addWidget(settingsButton_);
  tools->addWidget(help_);
  tools->addWidget(reference_);
  tools->addWidget(graphicHeader_);
  tools->addStretch();

  auto* bodyLayout = new QVBoxLayout(body_);
  bodyLayout->setContentsMargins(0, 0, 0, 0);
  bodyLayout->addLayout(lists, 1);
  bodyLayout->addLayout(run);
  bodyLayout->addLayout(tools);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(body_);
  resize(1040, 560);

  connect(kinds_, &QListWidget::currentRowChanged, this, &CSequenceDialog::OnKindChosen);
  connect(sequences_, &QListWidget::currentRowChanged, this, &CSequenceDialog::OnSequenceChosen);
  connect(commands_, &QListWidget::currentRowChanged, this, &CSequenceDialog::OnCommandChosen);
  connect(available_, &QListWidget::itemDoubleClicked, this, [this] { OnAdd(); });
  connect(commands_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OnEditCommand(commands_->row(item)); });
  connect(add_, &QPushButton::clicked, this, &CSequenceDialog::OnAdd);
  connect(remove_, &QPushButton::clicked, this, &CSequenceDialog::OnRemove);
  connect(delete_, &QPushButton::clicked, this, &CSequenceDialog::OnDelete);
  connect(new_, &QPushButton::clicked, this, &CSequenceDialog::OnNew);
  connect(open_, &QPushButton::clicked, this, &CSequenceDialog::OnOpenFile);
  connect(execute_, &QPushButton::clicked, this, [this] { OnExecute(); });
  connect(save_, &QPushButton::clicked, this, &CSequenceDialog::OnSave);
  connect(settingsButton_, &QPushButton::clicked, this, &CSequenceDialog::OnSettings);
  connect(help_, &QPushButton::clicked, this, &CSequenceDialog::OnHelp);
  connect(reference_, &QPushButton::clicked, this, &CSequenceDialog::OnReference);
  connect(graphicHeader_, &QPushButton::clicked, this, &CSequenceDialog::OnGraphicHeader);
  UpdateButtons();
}

CSequenceDialog::~CSequenceDialog() = default;

int CSequenceDialog::Open() {
  if (opened_) return 0;
  opened_ = true;
  const int code = editor_.Open();
  if (code != 0) prompter_.ShowMessage("", LoadString(str::kCatalogoNaoCarregado));
  FillKinds();
  FillAvailable();
  FillSequences();
  FillCommands();
  ClearParameters();
  UpdateButtons();
  return code;
}

int CSequenceDialog::Run() {
  Open();
  return exec();
}

void CSequenceDialog::SetSettingsHandler(std::function<void()> handler) {
  settingsHandler_ = std::move(handler);
  settingsButton_->setEnabled(static_cast<bool>(settingsHandler_));
}

void CSequenceDialog::SetGraphicHeaderHandler(std::function<void()> handler, const QString& whyNot) {
  graphicHeaderHandler_ = std::move(handler);
  graphicHeader_->setEnabled(static_cast<bool>(graphicHeaderHandler_));
  if (!graphicHeaderHandler_ && !whyNot.isEmpty()) graphicHeader_->setToolTip(whyNot);
}

// ------------------------------------------------------------------------ lists

void CSequenceDialog::FillKinds() {
  const std::vector<std::string> kinds = editor_.Kinds();
  int chosen = -1;
  for (size_t k = 0; k < kinds.size(); ++k) {
    if (kinds[k] == editor_.ChosenKind()) chosen = static_cast<int>(k);
  }
  Refill(kinds_, kinds, chosen);
}

void CSequenceDialog::FillAvailable() {
  Refill(available_, editor_.AvailableTitles(), -1);
}

void CSequenceDialog::FillSequences() {
  Refill(sequences_, editor_.SequenceNames(), editor_.ChosenSequence());
}

void CSequenceDialog::FillCommands() {
  Refill(commands_, editor_.WorkingTitles(), editor_.ChosenCommand());
}

void CSequenceDialog::FillParameters() {
  parameters_->clear();
  for (const ParameterRow& row : editor_.ParameterRows()) {
    new QTreeWidgetItem(parameters_, {ToQt(row.title), ToQt(row.mandatory), ToQt(row.value)});
  }
}

void CSequenceDialog::ClearParameters() {
  parameters_->clear();
}

void CSequenceDialog::UpdateButtons() {
  delete_->setEnabled(editor_.DeleteEnabled());
}

void CSequenceDialog::OnKindChosen(int row) {
  const std::vector<std::string> kinds = editor_.Kinds();
  if (row < 0 || row >= static_cast<int>(kinds.size())) return;
  editor_.ChooseKind(kinds[static_cast<size_t>(row)]);
  FillAvailable();
}

void CSequenceDialog::OnSequenceChosen(int row) {
  if (row < 0) return;
  editor_.ChooseSequence(row);
  FillCommands();
  ClearParameters();
}

void CSequenceDialog::OnCommandChosen(int row) {
  editor_.ChooseCommand(row);
  FillParameters();
}

// ------------------------------------------------------------------------ buttons

void CSequenceDialog::OnAdd() {
  const int row = available_->currentRow();
  const std::vector<std::string>& titles = editor_.AvailableTitles();
  if (running_ || row < 0 || row >= static_cast<int>(titles.size())) return;
  if (!editor_.AddCommand(titles[static_cast<size_t>(row)])) return;
  FillCommands();
  FillParameters();  // the new choice's parameters
}

void CSequenceDialog::OnRemove() {
  if (running_ || !editor_.RemoveCommand()) return;
  FillCommands();
  ClearParameters();
}

void CSequenceDialog::OnEditCommand(int row) {
  if (running_) return;
  editor_.ChooseCommand(row);
  if (!editor_.EditCommandValues(row)) return;
  FillParameters();
}

void CSequenceDialog::OnSave() {
  if (running_) return;
  editor_.Save();
  FillSequences();
  UpdateButtons();
}

void CSequenceDialog::OnNew() {
  if (running_) return;
  editor_.New();
  FillSequences();
  FillCommands();
  ClearParameters();
  UpdateButtons();
}

void CSequenceDialog::OnDelete() {
  if (running_) return;
  editor_.Delete();
  FillSequences();
  FillCommands();
  ClearParameters();
  UpdateButtons();
}

void CSequenceDialog::OnOpenFile() {
  if (running_) return;
  editor_.OpenFile();
  FillSequences();
  UpdateButtons();
}

bool CSequenceDialog::ReadNumber(QLineEdit* edit, int lowest, int highest, int& value) {
  bool ok = false;
  value = edit->text().trimmed().toInt(&ok);
  if (ok && value >= lowest && value <= highest) return true;
  prompter_.ShowMessage("", Utf8ToCp1252Lossy(Format(kRangeMessage, lowest, highest)));
  edit->setFocus();
  edit->selectAll();
  return false;
}

bool CSequenceDialog::OnExecute() {
  if (running_) return false;
  int executions = 0;
  int waitSeconds = 0;
  if (!ReadNumber(executions_, kMinExecutions, kMaxExecutions, executions)) return false;
  if (!ReadNumber(wait_, 0, kMaxWaitSeconds, waitSeconds)) return false;
  const bool stepMode = stepMode_->isChecked();

  // The window stays open but cannot be used while the sequence runs, so the working
  // sequence cannot change under the run; the progress window and the step question
  // stay reachable.
  running_ = true;
  body_->setEnabled(false);
  SequenceRunContext context;
  context.exchange = exchange_;
  context.progress = &runProgress_;
  context.prompter = &prompter_;
  last_ = editor_.Execute(executions, waitSeconds, stepMode, context);
  // A failed or cancelled run is always shown: with results turned off it would
  // otherwise end without a word.
  if (settings_.g_showResults || last_.code != 0) presenter_(last_.resultText, last_.hexTrace);
  body_->setEnabled(true);
  running_ = false;
  return true;
}

void CSequenceDialog::OnSettings() {
  if (running_ || !settingsHandler_) return;
  settingsHandler_();
  // The model and its filter may have changed.
  editor_.ChooseKind(editor_.ChosenKind());
  FillAvailable();
}

void CSequenceDialog::OpenWorkFile(const std::string& name) {
  const QString path = QString::fromStdString(ResolveInWorkDir(settings_, name));
  if (!opener_(path)) prompter_.ShowMessage("", Format(Utf8ToCp1252Lossy(kCannotOpen).c_str(), FromQt(path).c_str()));
}

void CSequenceDialog::OnHelp() {
  const HelpFile help = FindHelpFile(settings_.g_workDir, ShippedDocDir());
  const QString path = QString::fromStdString(help.path);
  if (!help.found || !opener_(path)) {
    prompter_.ShowMessage("", Format(Utf8ToCp1252Lossy(kCannotOpen).c_str(), FromQt(path).c_str()));
  }
}

void CSequenceDialog::OnReference() {
  OpenWorkFile("comandos.xml");
}

void CSequenceDialog::OnGraphicHeader() {
  if (running_ || !graphicHeaderHandler_) return;
  graphicHeaderHandler_();
}

void CSequenceDialog::reject() {
  // While a sequence runs only its progress window can stop it.
  if (running_) return;
  QDialog::reject();
}

void CSequenceDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace tervane::gui
