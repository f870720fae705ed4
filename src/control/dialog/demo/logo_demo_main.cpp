// tervane-logo-demo: opens the logo composition dialog, composes a logo from a bitmap and
// three or four lines, saves a picture of the dialog, then presses Send and Save as a
// user would. Each message box is shown for a moment, printed, and closed.
//
// Exit status: 0 when the upload and the saving both succeeded; 1 on bad arguments or
// an unloadable bitmap; 2 when the printer did not take the logo.
#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "control/dialog/log_dialog.h"

using tervane::CLogDlg;

namespace {

// Closes each message box that comes up, after printing it, so the demo runs unattended.
void CloseMessageBoxes(QStringList* seen) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->property("demoSeen").toBool()) return;
    box->setProperty("demoSeen", true);
    std::printf("[%s] %s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
    std::fflush(stdout);
    seen->append(box->text());
    QTimer::singleShot(700, box, &QMessageBox::accept);
  });
  timer->start(100);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Composes, sends and saves a logo through the logo dialog."));
  parser.addHelpOption();
  const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port Send and Save open."), QStringLiteral("P"));
  const QCommandLineOption bmp(QStringLiteral("bmp"), QStringLiteral("Bitmap of the logo."), QStringLiteral("FILE"));
  const QCommandLineOption line1(QStringLiteral("line1"), QStringLiteral("Corporate name."), QStringLiteral("T"));
  const QCommandLineOption line2(QStringLiteral("line2"), QStringLiteral("Trade name."), QStringLiteral("T"));
  const QCommandLineOption line3(QStringLiteral("line3"), QStringLiteral("Address."), QStringLiteral("T"));
  const QCommandLineOption line4(QStringLiteral("line4"), QStringLiteral("Optional fourth line."), QStringLiteral("T"));
  const QCommandLineOption center(QStringLiteral("center"), QStringLiteral("Centre the picture and the text."));
  const QCommandLineOption font(QStringLiteral("font"), QStringLiteral("Font family of the text."), QStringLiteral("F"),
                                QStringLiteral("DejaVu Sans"));
  const QCommandLineOption shot(QStringLiteral("screenshot"), QStringLiteral("Save a picture of the dialog here."),
                                QStringLiteral("PNG"));
  parser.addOptions({port, bmp, line1, line2, line3, line4, center, font, shot});
  parser.process(app);
  if (!parser.isSet(port) || !parser.isSet(bmp) || !parser.isSet(line1) || !parser.isSet(line2) ||
      !parser.isSet(line3)) {
    std::fprintf(stderr, "tervane-logo-demo: --port, --bmp and --line1..--line3 are required\n");
    return 1;
  }

  QStringList seen;
  CloseMessageBoxes(&seen);
  CLogDlg dialog;
  dialog.SetPortName(parser.value(port));
  dialog.show();
  dialog.findChild<QLineEdit*>(QStringLiteral("line1"))->setText(parser.value(line1));
  dialog.findChild<QLineEdit*>(QStringLiteral("line2"))->setText(parser.value(line2));
  dialog.findChild<QLineEdit*>(QStringLiteral("line3"))->setText(parser.value(line3));
  dialog.findChild<QLineEdit*>(QStringLiteral("line4"))->setText(parser.value(line4));
  dialog.SetTextFont(QFont(parser.value(font), 9));
  if (!dialog.LoadLogo(parser.value(bmp))) return 1;
  dialog.findChild<QPushButton*>(QStringLiteral("addButton"))->click();
  if (parser.isSet(center)) dialog.SetAlignment(tervane::LogoAlignment::kCenter);

  int status = 0;
  QTimer::singleShot(500, &dialog, [&] {
    if (parser.isSet(shot)) dialog.grab().save(parser.value(shot));
    std::printf("Send to %s\n", qPrintable(dialog.PortName()));
    dialog.findChild<QPushButton*>(QStringLiteral("sendButton"))->click();
    auto* save = dialog.findChild<QPushButton*>(QStringLiteral("saveButton"));
    if (!save->isEnabled()) {
      status = 2;
    } else {
      std::printf("Save\n");
      save->click();
      if (seen.size() != 2 || seen.back() != QString::fromStdString(
                                                  tervane::LogoString(21, dialog.Language()))) {
        status = 2;
      }
    }
    app.quit();
  });
  app.exec();
  return status;
}
