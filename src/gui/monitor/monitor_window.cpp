#include "gui/monitor/monitor_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/monitor/pass_through.h"
#include "core/monitor/pseudo_terminal.h"
#include "core/monitor/transcript.h"
#include "core/transport/open_failure.h"
#include "core/transport/serial_port.h"
#include "gui/common/qt_text.h"

namespace tervane::gui {
namespace {

// The table's columns.
enum MonitorColumn { kTimeColumn, kDirectionColumn, kTitleColumn, kStatusColumn, kRoundTripColumn, kMonitorColumns };

QString TimeOfDay(const CivilTime& t) {
  return QStringLiteral("%1:%2:%3.%4")
      .arg(t.hour, 2, 10, QLatin1Char('0'))
      .arg(t.minute, 2, 10, QLatin1Char('0'))
      .arg(t.second, 2, 10, QLatin1Char('0'))
      .arg(t.millisecond, 3, 10, QLatin1Char('0'));
}

bool Unsolicited(const MonitoredExchange& exchange) { return exchange.decoded.command.empty(); }

QString TitleOf(const MonitoredExchange& exchange) {
  const DecodedExchange& d = exchange.decoded;
  if (Unsolicited(exchange)) return QStringLiteral("bytes da impressora sem comando");
  if (d.check != FrameCheck::kGood) {
    return QStringLiteral("quadro inválido (%1)").arg(QString::fromLatin1(FrameCheckName(d.check)));
  }
  if (d.title.empty()) return QStringLiteral("comando desconhecido");
  return ToQt(d.title);
}

QString OutcomeText(ReplyOutcome outcome) {
  switch (outcome) {
    case ReplyOutcome::kAck: return QStringLiteral("ACK");
    case ReplyOutcome::kNak: return QStringLiteral("NAK");
    case ReplyOutcome::kUnknown: return QStringLiteral("resposta desconhecida");
    case ReplyOutcome::kNone: break;
  }
  return QStringLiteral("sem resposta");
}

QString StatusOf(const MonitoredExchange& exchange) {
  const DecodedExchange& d = exchange.decoded;
  QString text = OutcomeText(d.outcome);
  if (d.outcome == ReplyOutcome::kAck && !d.replyComplete) text += QStringLiteral(" (incompleta)");
  const std::vector<std::string> lines = TextLines(d.statusText);
  if (!lines.empty()) text += QStringLiteral(" · ") + ToQt(lines.front());
  if (lines.size() > 1) text += QStringLiteral(" (+%1)").arg(lines.size() - 1);
  return text;
}

QString Hex(const WireBytes& bytes) {
  return bytes.empty() ? QStringLiteral("(nenhum)") : QString::fromStdString(WireHex(bytes));
}

}  // namespace

CMonitorWnd::CMonitorWnd(QWidget* parent, const CommandCatalogue& catalogue, const QStringList& devices)
    : QDialog(parent),
      catalogue_(catalogue),
      device_(new QComboBox(this)),
      baud_(new QComboBox(this)),
      link_(new QLineEdit(this)),
      start_(new QPushButton(QStringLiteral("&Iniciar"), this)),
      stop_(new QPushButton(QStringLiteral("&Parar"), this)),
      status_(new QLabel(this)),
      filter_(new QLineEdit(this)),
      pause_(new QCheckBox(QStringLiteral("Pa&usar a exibição"), this)),
      save_(new QPushButton(QStringLiteral("&Salvar transcrição..."), this)),
      table_(new QTableWidget(0, kMonitorColumns, this)),
      detail_(new QPlainTextEdit(this)) {
  setWindowTitle(QStringLiteral("Monitor"));
  device_->setEditable(true);
  device_->addItems(devices);
  for (int baud : {9600, 19200, 38400, 57600, 115200}) baud_->addItem(QString::number(baud), baud);
  link_->setPlaceholderText(QStringLiteral("opcional, por exemplo /tmp/ecf"));
  filter_->setPlaceholderText(QStringLiteral("título ou estado"));
  filter_->setClearButtonEnabled(true);
  status_->setTextFormat(Qt::PlainText);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setWordWrap(true);

  table_->setHorizontalHeaderLabels({QStringLiteral("Hora"), QStringLiteral("Direção"), QStringLiteral("Comando"),
                                     QStringLiteral("Estado"), QStringLiteral("Tempo (ms)")});
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(kTitleColumn, QHeaderView::Stretch);
  table_->horizontalHeader()->setSectionResizeMode(kStatusColumn, QHeaderView::Stretch);
  detail_->setReadOnly(true);
  detail_->setLineWrapMode(QPlainTextEdit::NoWrap);
  detail_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Dispositivo da impressora:"), device_);
  form->addRow(QStringLiteral("&Velocidade (bits/s):"), baud_);
  form->addRow(QStringLiteral("&Link para o programa:"), link_);
  auto* controls = new QHBoxLayout;
  controls->addWidget(start_);
  controls->addWidget(stop_);
  controls->addStretch();
  auto* view = new QHBoxLayout;
  auto* filterLabel = new QLabel(QStringLiteral("&Filtro:"), this);
  filterLabel->setBuddy(filter_);
  view->addWidget(filterLabel);
  view->addWidget(filter_, 1);
  view->addWidget(pause_);
  view->addWidget(save_);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(table_);
  split->addWidget(detail_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(controls);
  layout->addWidget(status_);
  layout->addLayout(view);
  layout->addWidget(split, 1);
  resize(900, 640);

  connect(start_, &QPushButton::clicked, this, [this] { Start(); });
  connect(stop_, &QPushButton::clicked, this, [this] { Stop(); });
  connect(save_, &QPushButton::clicked, this, &CMonitorWnd::OnSave);
  connect(filter_, &QLineEdit::textChanged, this, &CMonitorWnd::ApplyFilter);
  connect(pause_, &QCheckBox::toggled, this, [this](bool paused) {
    if (paused) return;
    // What came in while paused is shown now.
    while (shown_ < static_cast<int>(exchanges_.size())) AddRow(shown_++);
    ApplyFilter();
  });
  connect(table_, &QTableWidget::itemSelectionChanged, this, &CMonitorWnd::ShowSelected);
  chooseSaveFile_ = [this] {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Salvar transcrição"), QString(),
                                        QStringLiteral("Transcrições (*.jsonl);;Todos os arquivos (*)"));
  };
  status_->setText(QStringLiteral("Parado."));
  UpdateButtons();
}

CMonitorWnd::~CMonitorWnd() {
  Stop();
}

QString CMonitorWnd::StatusText() const {
  return status_->text();
}

bool CMonitorWnd::Start() {
  if (Running()) return true;
  const QString device = device_->currentText().trimmed();
  if (device.isEmpty()) {
    status_->setText(QStringLiteral("Escolha o dispositivo da impressora."));
    return false;
  }
  auto printer = std::make_unique<CSerialPort>(FromQt(device), SystemClock());
  if (!printer->Open(baud_->currentData().toInt())) {
    status_->setText(ToQt(OpenFailureText(FromQt(device), printer->OpenFailure())));
    return false;
  }
  auto pty = std::make_unique<PseudoTerminal>();
  std::string error;
  if (!pty->Open(link_->text().trimmed().toStdString(), &error)) {
    printer->Close();
    status_->setText(QStringLiteral("Não foi possível oferecer a porta ao programa: %1")
                         .arg(QString::fromStdString(error)));
    return false;
  }
  devicePath_ = QString::fromStdString(printer->DevicePath());
  programPort_ = QString::fromStdString(pty->SlavePath());
  run_ = std::make_unique<PassThrough>(pty->MasterFd(), printer->Descriptor(), SystemClock());
  printer_ = std::move(printer);
  pty_ = std::move(pty);

  // The decoder lives on the forwarding thread; each exchange comes back to this window
  // as a queued call, dropped by Qt if the window is gone by then.
  PassThrough* run = run_.get();
  worker_ = std::thread([this, run] {
    ProtocolMonitor monitor(catalogue_, SystemClock(), [this](const MonitoredExchange& exchange) {
      QMetaObject::invokeMethod(this, [this, exchange] { Add(exchange); }, Qt::QueuedConnection);
    });
    run->fromPos = [&monitor](const std::uint8_t* bytes, std::size_t size) { monitor.FromPos(bytes, size); };
    run->fromPrinter = [&monitor](const std::uint8_t* bytes, std::size_t size) { monitor.FromPrinter(bytes, size); };
    run->tick = [&monitor] { monitor.Tick(); };
    run->nextWakeMs = [&monitor] { return monitor.NextDeadlineMs(); };
    const PassThroughEnd end = run->Run();
    monitor.Finish();
    QMetaObject::invokeMethod(this, [this, end] { Ended(static_cast<int>(end)); }, Qt::QueuedConnection);
  });
  const QString link = link_->text().trimmed();
  status_->setText(QStringLiteral("Repassando: impressora em %1 a %2 bits/s; a porta do programa é %3%4.")
                       .arg(devicePath_, baud_->currentText(), programPort_,
                            link.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(link)));
  UpdateButtons();
  return true;
}

void CMonitorWnd::Stop() {
  if (!worker_.joinable()) return;
  run_->Stop();
  worker_.join();
  run_.reset();
  pty_->Close();
  pty_.reset();
  printer_->Close();
  printer_.reset();
  programPort_.clear();
  status_->setText(QStringLiteral("Parado; %1 troca(s) vista(s).").arg(exchanges_.size()));
  UpdateButtons();
}

void CMonitorWnd::Ended(int reason) {
  if (!worker_.joinable()) return;  // stopped from here; Stop said so
  const QString device = devicePath_;
  Stop();
  switch (static_cast<PassThroughEnd>(reason)) {
    case PassThroughEnd::kPrinterGone:
      status_->setText(QStringLiteral("O dispositivo %1 da impressora deixou de responder (desconectado?); o "
                                      "repasse parou depois de %2 troca(s).")
                           .arg(device)
                           .arg(exchanges_.size()));
      break;
    case PassThroughEnd::kPosGone:
      status_->setText(QStringLiteral("O programa fechou a porta; o repasse parou."));
      break;
    case PassThroughEnd::kError:
      status_->setText(QStringLiteral("A espera pelas linhas falhou; o repasse parou."));
      break;
    case PassThroughEnd::kStopped:
      break;
  }
}

void CMonitorWnd::UpdateButtons() {
  const bool running = Running();
  start_->setEnabled(!running);
  stop_->setEnabled(running);
  device_->setEnabled(!running);
  baud_->setEnabled(!running);
  link_->setEnabled(!running);
}

void CMonitorWnd::Add(const MonitoredExchange& exchange) {
  exchanges_.push_back(exchange);
  if (pause_->isChecked()) return;
  while (shown_ < static_cast<int>(exchanges_.size())) AddRow(shown_++);
}

void CMonitorWnd::AddRow(int index) {
  const MonitoredExchange& exchange = exchanges_[static_cast<size_t>(index)];
  const int row = table_->rowCount();
  table_->insertRow(row);
  const QString cells[kMonitorColumns] = {
      TimeOfDay(exchange.time),
      Unsolicited(exchange) ? QStringLiteral("ECF → PDV") : QStringLiteral("PDV → ECF"),
      TitleOf(exchange),
      StatusOf(exchange),
      exchange.roundTripMs >= 0 ? QString::number(exchange.roundTripMs) : QStringLiteral("—"),
  };
  for (int column = 0; column < kMonitorColumns; ++column) {
    auto* item = new QTableWidgetItem(cells[column]);
    if (column == kTimeColumn) item->setData(Qt::UserRole, index);
    table_->setItem(row, column, item);
  }
  table_->setRowHidden(row, !Matches(row));
}

bool CMonitorWnd::Matches(int row) const {
  const QString wanted = filter_->text().trimmed();
  if (wanted.isEmpty()) return true;
  for (int column : {kTitleColumn, kStatusColumn}) {
    if (table_->item(row, column)->text().contains(wanted, Qt::CaseInsensitive)) return true;
  }
  return false;
}

void CMonitorWnd::ApplyFilter() {
  for (int row = 0; row < table_->rowCount(); ++row) table_->setRowHidden(row, !Matches(row));
}

void CMonitorWnd::ShowSelected() {
  const QList<QTableWidgetItem*> selected = table_->selectedItems();
  if (selected.isEmpty()) {
    detail_->clear();
    return;
  }
  const int index = table_->item(selected.front()->row(), kTimeColumn)->data(Qt::UserRole).toInt();
  detail_->setPlainText(DetailText(exchanges_[static_cast<size_t>(index)]));
}

QString CMonitorWnd::DetailText(const MonitoredExchange& exchange) {
  const DecodedExchange& d = exchange.decoded;
  QStringList lines;
  lines << QStringLiteral("Hora: %1").arg(QString::fromStdString(IsoUtcTime(exchange.time)));
  lines << QStringLiteral("Comando: %1%2").arg(TitleOf(exchange), d.group.empty() ? QString() : QStringLiteral(" (%1)").arg(ToQt(d.group)));
  if (!Unsolicited(exchange)) {
    lines << QStringLiteral("Quadro: %1%2").arg(QString::fromLatin1(FrameCheckName(d.check)),
                                                d.extended ? QStringLiteral(", retorno estendido") : QString());
    for (const DecodedParameter& p : d.parameters) {
      lines << QStringLiteral("  %1 (%2): %3").arg(ToQt(p.title), ToQt(p.kind), ToQt(p.value));
    }
    if (d.unexplainedBytes > 0) lines << QStringLiteral("  %1 byte(s) além dos parâmetros do catálogo").arg(d.unexplainedBytes);
  }
  lines << QStringLiteral("Resposta: %1%2").arg(OutcomeText(d.outcome),
                                                d.replyComplete ? QString() : QStringLiteral(" (incompleta)"));
  auto hexByte = [](int b) { return QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper(); };
  if (d.st1 >= 0) lines << QStringLiteral("ST1 %1h  ST2 %2h").arg(hexByte(d.st1), hexByte(std::max(d.st2, 0)));
  for (const std::string& line : TextLines(d.statusText)) lines << QStringLiteral("  ") + ToQt(line);
  if (d.extendedCode >= 0) {
    lines << QStringLiteral("Código estendido %1: %2").arg(d.extendedCode).arg(ToQt(d.extendedText).trimmed());
  }
  if (!d.fields.empty()) {
    lines << QStringLiteral("Campos:");
    for (const DecodedField& f : d.fields) lines << QStringLiteral("  %1: %2").arg(ToQt(f.title), ToQt(f.value));
  }
  if (exchange.roundTripMs >= 0) lines << QStringLiteral("Tempo de resposta: %1 ms").arg(exchange.roundTripMs);
  lines << QStringLiteral("Enviado:  %1").arg(Hex(d.command));
  lines << QStringLiteral("Recebido: %1").arg(Hex(d.reply));
  return lines.join(QLatin1Char('\n'));
}

bool CMonitorWnd::SaveTranscript(const QString& path, QString* error) const {
  TranscriptWriter writer;
  std::string failure;
  if (!writer.Open(path.toStdString(), &failure)) {
    if (error) *error = QString::fromStdString(failure);
    return false;
  }
  for (const MonitoredExchange& exchange : exchanges_) {
    ExchangeContextInfo info;
    info.time = IsoUtcTime(exchange.time);
    info.port = devicePath_.toStdString();
    info.roundTripMs = exchange.roundTripMs;
    writer.Write(TranscriptLine(exchange.decoded, info));
  }
  if (!writer.Close(&failure)) {
    if (error) *error = QString::fromStdString(failure);
    return false;
  }
  return true;
}

void CMonitorWnd::OnSave() {
  const QString path = chooseSaveFile_ ? chooseSaveFile_() : QString();
  if (path.isEmpty()) return;
  QString error;
  if (SaveTranscript(path, &error)) {
    status_->setText(QStringLiteral("%1 troca(s) gravada(s) em %2.").arg(exchanges_.size()).arg(path));
  } else {
    status_->setText(QStringLiteral("Não foi possível gravar %1: %2").arg(path, error));
  }
}

void CMonitorWnd::reject() {
  // Closing the window ends the session and releases the device and the port.
  Stop();
  QDialog::reject();
}

}  // namespace tervane::gui
