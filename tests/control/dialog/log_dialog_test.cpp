// The logo composition dialog on the offscreen platform: captions per language, the
// panes' layout and pinning, free move, the Add rules, and Send and Save against the
// simulated printer with the logo it keeps checked pixel by pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "control/dialog/log_dialog.h"
#include "control/dialog/logo_view.h"
#include "control/dialog/text_view.h"
#include "control/package_manager.h"
#include "support/process_temp_dir.h"
#include "support/sim_process.h"

namespace tervane {
namespace {

QApplication* g_app = nullptr;

QApplication& App() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "test_logo_dialog";
  static char* argv[] = {name, nullptr};
  if (g_app == nullptr) g_app = new QApplication(argc, argv);
  return *g_app;
}

// The application goes when the tests are over, before the program's exit handlers run:
// destroyed among them it would outlive Qt's own statics.
class QtApplicationEnvironment final : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

std::string TempPath(const std::string& name) { return tervane::testing::ProcessTempPath(name); }

// A bitmap of w x h, white with a black rectangle `black` (may be empty).
QString WriteBmp(const std::string& name, int w, int h, const QRect& black) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = black.top(); y <= black.bottom(); ++y) {
    for (int x = black.left(); x <= black.right(); ++x) image.setPixel(x, y, qRgb(0, 0, 0));
  }
  const QString path = QString::fromStdString(TempPath(name));
  EXPECT_TRUE(image.save(path, "BMP"));
  return path;
}

struct Shown {
  QMessageBox::Icon icon;
  QString text;
};

// A dialog in the given locale whose message boxes are recorded instead of shown.
class Dialog {
 public:
  explicit Dialog(const char* locale = "C") {
    App();
    ::setenv("LC_ALL", locale, 1);
    dlg = std::make_unique<CLogDlg>();
    ::unsetenv("LC_ALL");
    dlg->SetMessageHandler([this](QMessageBox::Icon icon, const QString& text) { shown.push_back({icon, text}); });
    dlg->SetTextFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  }
  template <typename T>
  T* Child(const char* name) const {
    T* child = dlg->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  void SetLines(const QString& l1, const QString& l2, const QString& l3, const QString& l4 = {}) {
    Child<QLineEdit>("line1")->setText(l1);
    Child<QLineEdit>("line2")->setText(l2);
    Child<QLineEdit>("line3")->setText(l3);
    Child<QLineEdit>("line4")->setText(l4);
  }
  bool Enabled(const char* button) const { return Child<QWidget>(button)->isEnabled(); }
  QString LastText() const { return shown.empty() ? QString() : shown.back().text; }

  std::unique_ptr<CLogDlg> dlg;
  std::vector<Shown> shown;
};

// Presses at `from` (in the pane), moves the pointer by `by` in two steps and releases.
// Positions are given to the pane where the pointer is in the preview at that moment.
void Drag(QWidget* pane, QPoint from, QPoint by) {
  const QPoint start = pane->mapToParent(from);
  auto send = [pane](QEvent::Type type, QPoint inPreview, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPoint local = inPreview - pane->pos();
    QMouseEvent event(type, QPointF(local), QPointF(pane->mapToGlobal(local)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(pane, &event);
  };
  send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  send(QEvent::MouseMove, start + by / 2, Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, start + by, Qt::LeftButton, Qt::NoButton);
}

TEST(LogDialog, CaptionsFollowTheUserLanguage) {
  struct Expected {
    const char* locale;
    const char* label1;
    const char* label3;
    const char* font;
    const char* add;
    const char* send;
    const char* group;
    const char* left;
    const char* center;
  };
  const Expected cases[] = {
      {"C", "Coorporate name", "Address", "Font...", "Add", "Send", "Alingment", "Left", "Center"},
      {"de_DE.UTF-8", "Coorporate name", "Address", "Font...", "Add", "Send", "Alingment", "Left", "Center"},
      {"es_AR.UTF-8", "Razón Social", "Direccion", "Fuente...", "Agregue", "Enviar", "Alineación", "Izquierdo",
       "Derecho"},
      {"pt_BR.UTF-8", "Razão Social", "Endereço", "Fonte...", "Adicionar", "Enviar", "Alinhamento", "Esquerda",
       "Centro"},
  };
  for (const Expected& e : cases) {
    SCOPED_TRACE(e.locale);
    Dialog d(e.locale);
    EXPECT_EQ(d.Child<QLabel>("label1")->text(), QString::fromUtf8(e.label1));
    EXPECT_EQ(d.Child<QLabel>("label3")->text(), QString::fromUtf8(e.label3));
    EXPECT_EQ(d.Child<QPushButton>("fontButton")->text(), QString::fromUtf8(e.font));
    EXPECT_EQ(d.Child<QPushButton>("addButton")->text(), QString::fromUtf8(e.add));
    EXPECT_EQ(d.Child<QPushButton>("sendButton")->text(), QString::fromUtf8(e.send));
    EXPECT_EQ(d.Child<QGroupBox>("alignmentGroup")->title(), QString::fromUtf8(e.group));
    EXPECT_EQ(d.Child<QRadioButton>("leftButton")->text(), QString::fromUtf8(e.left));
    EXPECT_EQ(d.Child<QRadioButton>("centerButton")->text(), QString::fromUtf8(e.center));
    EXPECT_EQ(d.Child<QPushButton>("logoButton")->text(), QStringLiteral("Logo..."));
    EXPECT_FALSE(d.Enabled("sendButton"));
    EXPECT_FALSE(d.Enabled("saveButton"));
  }
  // Portuguese Save, and the Spanish text of a refused bitmap.
  Dialog pt("pt_BR.UTF-8");
  EXPECT_EQ(pt.Child<QPushButton>("saveButton")->text(), QStringLiteral("Salvar"));
  Dialog es("es_ES");
  EXPECT_FALSE(es.dlg->LoadLogo(QStringLiteral("/nonexistent/logo.bmp")));
  EXPECT_EQ(es.LastText(), QString::fromUtf8("archivo inválido"));
}

TEST(LogDialog, BitmapWithRowsMissingIsRefusedNotHalfDrawn) {
  Dialog d;
  const QString path = WriteBmp("cut_rows.bmp", 64, 64, QRect(0, 0, 64, 64));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.resize(file.size() - 64 * 3 * 10));  // ten of 64 rows missing
  file.close();
  EXPECT_FALSE(d.dlg->LoadLogo(path));
  EXPECT_EQ(d.LastText(), QStringLiteral("Invalid file!"));
  EXPECT_EQ(d.dlg->LogoView(), nullptr);
}

TEST(LogDialog, EmbeddedWhenGivenAParentAndStartsOnCom1) {
  App();
  QWidget host;
  CLogDlg child(&host);
  EXPECT_FALSE(child.isWindow());
  CLogDlg alone;
  EXPECT_TRUE(alone.isWindow());
  EXPECT_EQ(alone.PortName(), QStringLiteral("COM1"));
  alone.SetPortName(QStringLiteral("COM3:"));
  EXPECT_EQ(alone.PortName(), QStringLiteral("COM3:"));  // kept as given
  EXPECT_FALSE(alone.FreeMove());
  EXPECT_EQ(alone.Preview()->size(), QSize(kPreviewWidth, kPreviewHeight));
}

TEST(LogDialog, AddNeedsTheFirstThreeLinesAndSendNeedsBothPanes) {
  Dialog d;
  d.SetLines("ACME", "", "Rua A");
  EXPECT_FALSE(d.dlg->AddText());
  EXPECT_EQ(d.dlg->TextView(), nullptr);
  EXPECT_EQ(d.dlg->focusWidget(), d.Child<QWidget>("line2"));
  d.SetLines("ACME", "Loja", "");
  EXPECT_FALSE(d.dlg->AddText());
  EXPECT_EQ(d.dlg->focusWidget(), d.Child<QWidget>("line3"));

  d.SetLines("ACME", "Loja", "Rua A");
  ASSERT_TRUE(d.dlg->AddText());
  ASSERT_NE(d.dlg->TextView(), nullptr);
  EXPECT_EQ(d.dlg->TextView()->Text(), QStringLiteral("ACME\r\nLoja\r\nRua A\r\n"));
  EXPECT_FALSE(d.Enabled("sendButton"));  // no picture yet
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("add_pic.bmp", 30, 20, QRect(0, 0, 30, 20))));
  EXPECT_TRUE(d.Enabled("sendButton"));

  // A font change remakes the text pane with the new font and the edits' current lines.
  d.Child<QLineEdit>("line4")->setText(QStringLiteral("Fone 1"));
  const QFont big(QStringLiteral("DejaVu Sans"), 12);
  d.dlg->SetTextFont(big);
  ASSERT_NE(d.dlg->TextView(), nullptr);
  EXPECT_EQ(d.dlg->TextView()->TextFont(), big);
  EXPECT_EQ(d.dlg->TextView()->Line(3), QStringLiteral("Fone 1"));

  // A bitmap that cannot be loaded takes the old picture away: Send goes off.
  const std::string junk = TempPath("junk.bmp");
  std::FILE* f = std::fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("PK not a bitmap at all", f);
  std::fclose(f);
  EXPECT_FALSE(d.dlg->LoadLogo(QString::fromStdString(junk)));
  EXPECT_EQ(d.LastText(), QStringLiteral("Invalid file!"));
  EXPECT_EQ(d.shown.back().icon, QMessageBox::Critical);
  EXPECT_EQ(d.dlg->LogoView(), nullptr);
  EXPECT_FALSE(d.Enabled("sendButton"));
  d.dlg->Send();  // nothing to send: no message, no port
  EXPECT_EQ(d.shown.size(), 1u);
}

TEST(LogDialog, LeftAndCenterLayout) {
  Dialog d;
  d.SetLines("ACME", "Loja", "Rua A");
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("layout.bmp", 60, 40, QRect(5, 5, 10, 10))));
  ASSERT_TRUE(d.dlg->AddText());
  const CLogoView* logo = d.dlg->LogoView();
  const CTextView* text = d.dlg->TextView();
  EXPECT_EQ(logo->geometry(), QRect(0, 0, 60, 40));
  // The text pane shrank to its text (plus 8) from the 210 pixels it was given.
  EXPECT_LT(text->width(), 210);
  EXPECT_GT(text->width(), 8);
  EXPECT_EQ(text->height(), kPreviewHeight - 10 - kPreviewHeight / 2);
  EXPECT_EQ(text->pos(), QPoint(60, 0));  // beside the picture

  d.dlg->SetAlignment(LogoAlignment::kCenter);
  EXPECT_TRUE(d.Child<QRadioButton>("centerButton")->isChecked());
  EXPECT_EQ(logo->pos(), QPoint(115 - 30, 0));
  EXPECT_EQ(text->pos(), QPoint(115 - text->width() / 2, 40));  // below the picture

  // A picture as wide as the printer: the text goes beside it, past the preview's edge,
  // and is not captured; the capture stops at the preview.
  d.dlg->SetAlignment(LogoAlignment::kLeft);
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("wide.bmp", 576, 30, QRect(0, 0, 576, 30))));
  EXPECT_EQ(d.dlg->LogoView()->pos(), QPoint(0, 0));
  EXPECT_EQ(text->pos(), QPoint(576, 0));
  const MonoImage shot = d.dlg->CapturePreview();
  EXPECT_EQ(shot.width, kPreviewWidth - 2);
  EXPECT_EQ(shot.height, text->height() - 2);
  EXPECT_TRUE(shot.Black(kPreviewWidth - 3, 28));
  EXPECT_FALSE(shot.Black(kPreviewWidth - 3, 29));  // below the picture: the text is not there
}

TEST(LogDialog, FreeMoveDragsPanesWithinThePreviewAndLocksTheAlignment) {
  Dialog d;
  d.SetLines("ACME", "Loja", "Rua A");
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("drag.bmp", 50, 30, QRect())));
  ASSERT_TRUE(d.dlg->AddText());
  CLogoView* logo = d.dlg->LogoView();
  auto* left = d.Child<QRadioButton>("leftButton");
  auto* center = d.Child<QRadioButton>("centerButton");

  // Off: the mouse does not move the pane.
  Drag(logo, QPoint(5, 5), QPoint(40, 40));
  EXPECT_EQ(logo->pos(), QPoint(0, 0));

  d.dlg->SetFreeMove(true);
  EXPECT_TRUE(d.dlg->FreeMove());
  EXPECT_TRUE(logo->FreeMove());
  EXPECT_TRUE(d.dlg->TextView()->FreeMove());
  EXPECT_FALSE(left->isEnabled());
  EXPECT_FALSE(center->isEnabled());

  Drag(logo, QPoint(5, 5), QPoint(40, 30));
  EXPECT_EQ(logo->pos(), QPoint(40, 30));
  // Dragged far past the bottom-right corner: pinned to both sides.
  Drag(logo, QPoint(5, 5), QPoint(900, 900));
  EXPECT_EQ(logo->geometry().bottomRight(), QPoint(kPreviewWidth - 1, kPreviewHeight - 1));
  // And past the top-left corner.
  Drag(logo, QPoint(5, 5), QPoint(-900, -900));
  EXPECT_EQ(logo->pos(), QPoint(0, 0));

  // A pane made while free move is on follows it too.
  ASSERT_TRUE(d.dlg->AddText());
  EXPECT_TRUE(d.dlg->TextView()->FreeMove());

  d.dlg->SetFreeMove(false);
  EXPECT_TRUE(left->isEnabled());
  EXPECT_TRUE(center->isEnabled());
  EXPECT_FALSE(logo->FreeMove());
}

TEST(LogDialog, CaptureTakesThePanesWithoutTheirFrames) {
  Dialog d;
  d.SetLines("MMMM", "MMMM", "MMMM");
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("capture.bmp", 40, 30, QRect(0, 0, 40, 30))));
  ASSERT_TRUE(d.dlg->AddText());
  const QRect text = d.dlg->TextView()->geometry();
  const MonoImage shot = d.dlg->CapturePreview();
  EXPECT_EQ(shot.width, text.right() + 1 - 2);
  EXPECT_EQ(shot.height, std::max(30, text.bottom() + 1) - 2);
  // The black picture from one pixel inside its edge; the frames are not captured: the
  // column just right of the picture and the bottom row of the capture stay white where
  // the text leaves room.
  EXPECT_TRUE(shot.Black(0, 0));
  EXPECT_TRUE(shot.Black(38, 28));
  int textBlack = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = text.left(); x < shot.width; ++x) textBlack += shot.Black(x, y);
  }
  EXPECT_GT(textBlack, 40);
  int bottomRow = 0;
  for (int x = 0; x < shot.width; ++x) bottomRow += shot.Black(x, shot.height - 1);
  EXPECT_EQ(bottomRow, 0);
  EXPECT_TRUE(d.dlg->LogoView()->FrameShown());  // restored after the capture
}

// ---- Against the simulator ----

class LogDialogSim : public ::testing::Test {
 protected:
  void SetUp() override {
    SetStoredLogoCrc(0);
    png = TempPath("log_dialog_sim.png");
    std::remove(png.c_str());
  }
  std::string StartSim(bool intervention) {
    std::vector<std::string> args{"--pty", "--baud", "0", "--dump-logo", png};
    if (intervention) args.push_back("--intervention");
    if (!sim.Start(std::string(TERVANE_BIN_DIR) + "/tervane-sim", args)) return {};
    return sim.Ready("pty");
  }
  QImage WaitForPng() {
    for (int i = 0; i < 100; ++i) {
      QImage image(QString::fromStdString(png));
      if (!image.isNull()) return image;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
  }

  testing::SimProcess sim;
  std::string png;
};

TEST_F(LogDialogSim, SendAndSaveKeepWhatThePreviewShows) {
  const std::string port = StartSim(true);
  ASSERT_FALSE(port.empty());
  Dialog d;
  d.dlg->SetPortName(QString::fromStdString(port));
  d.SetLines("ACME LTDA", "Loja Centro", "Rua A, 1");
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("sim_pic.bmp", 40, 30, QRect(0, 0, 40, 30))));
  ASSERT_TRUE(d.dlg->AddText());
  const QRect text = d.dlg->TextView()->geometry();

  d.dlg->Send();
  ASSERT_EQ(d.shown.size(), 1u);
  EXPECT_EQ(d.shown[0].icon, QMessageBox::Information);
  EXPECT_EQ(d.shown[0].text, QStringLiteral("Logo upload succeeded!"));
  EXPECT_TRUE(d.Enabled("saveButton"));

  d.dlg->Save();
  ASSERT_EQ(d.shown.size(), 2u);
  EXPECT_EQ(d.shown[1].text, QStringLiteral("Logo saving succeeded!"));
  EXPECT_FALSE(d.Enabled("saveButton"));

  const QImage kept = WaitForPng();
  ASSERT_FALSE(kept.isNull());
  auto black = [&](int x, int y) { return x < kept.width() && y < kept.height() && (kept.pixel(x, y) & 0xFFFFFF) == 0; };
  // The picture: preview pixel (x, y) is kept at (x - 1, y - 1).
  EXPECT_TRUE(black(0, 0));
  EXPECT_TRUE(black(37, 27));
  // The text beside it, and nothing right of the text pane.
  int inText = 0;
  for (int y = 0; y < text.bottom() - 1; ++y) {
    for (int x = text.left() - 1; x < text.right() - 1; ++x) inText += black(x, y);
  }
  EXPECT_GT(inText, 60);
  int beyond = 0;
  for (int y = 0; y < kept.height(); ++y) {
    for (int x = text.right(); x < kept.width(); ++x) beyond += black(x, y);
  }
  EXPECT_EQ(beyond, 0);

  // A second Save has nothing to keep: the printer's code comes back as its text.
  d.dlg->Save();
  EXPECT_EQ(d.LastText(), QStringLiteral("No logo available to save!"));
  EXPECT_EQ(d.shown.back().icon, QMessageBox::Critical);
}

TEST_F(LogDialogSim, RefusalsComeBackAsTheirMessages) {
  const std::string port = StartSim(false);
  ASSERT_FALSE(port.empty());
  Dialog d;
  d.dlg->SetPortName(QString::fromStdString(port));
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("sim_refuse.bmp", 20, 20, QRect(0, 0, 20, 20))));

  // 49 characters on a line: refused before anything is encoded or sent.
  d.SetLines(QString(49, QLatin1Char('X')), "Loja", "Rua A");
  ASSERT_TRUE(d.dlg->AddText());
  d.dlg->Send();
  EXPECT_EQ(d.LastText(), QStringLiteral("Invalid text"));
  EXPECT_EQ(d.shown.back().icon, QMessageBox::Critical);
  EXPECT_FALSE(d.Enabled("saveButton"));

  // 48 accented characters are 48 characters: they go, and outside technical
  // intervention the printer refuses.
  d.SetLines(QString(48, QChar(0x00E7)), "Loja", "Rua A");
  ASSERT_TRUE(d.dlg->AddText());
  d.dlg->Send();
  EXPECT_EQ(d.LastText(), QStringLiteral("Operation permited only during technical intervention!"));
  EXPECT_FALSE(d.Enabled("saveButton"));
}

TEST(LogDialog, UnopenablePortIsReportedAndNothingIsSent) {
  Dialog d("pt_BR.UTF-8");
  d.dlg->SetPortName(QStringLiteral("/nonexistent/ttyLOGO"));
  d.SetLines("ACME", "Loja", "Rua A");
  ASSERT_TRUE(d.dlg->LoadLogo(WriteBmp("noport.bmp", 20, 20, QRect())));
  ASSERT_TRUE(d.dlg->AddText());
  d.dlg->Send();
  EXPECT_EQ(d.LastText(), QString::fromUtf8("Erro ao acessar porta de comunicação"));
  d.dlg->Save();
  EXPECT_EQ(d.LastText(), QString::fromUtf8("Erro ao acessar porta de comunicação"));
  EXPECT_EQ(d.shown.size(), 2u);
  EXPECT_FALSE(d.Enabled("saveButton"));
}

}  // namespace
}  // namespace tervane
