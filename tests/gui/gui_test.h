// The workbench's window tests: each QTest class registers itself and gui_test_main runs
// them all on the offscreen platform, with the application profile in a fresh folder.
#pragma once

#include <QAction>
#include <QByteArray>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/common/charset.h"

namespace tervane::testing {

using GuiTestFactory = std::function<std::unique_ptr<QObject>()>;

std::vector<GuiTestFactory>& GuiTests();

struct GuiTestRegistration {
  explicit GuiTestRegistration(GuiTestFactory factory) { GuiTests().push_back(std::move(factory)); }
};

// The simulator's program, once the shipped catalogue is copied into `work` for it to
// learn. Empty, with `why` saying what is missing, when either is not built or the copy
// fails.
inline QString SimulatorWithCatalogue(const QTemporaryDir& work, QString* why) {
  const QString program = QStringLiteral(TERVANE_BIN_DIR "/tervane-sim");
  const QString catalogue = QStringLiteral(TERVANE_REPO_DIR "/data/comandos.xml");
  if (!QFile::exists(program) || !QFile::exists(catalogue)) {
    *why = QStringLiteral("the simulator or the catalogue is not built");
  } else if (!work.isValid() || !QFile::copy(catalogue, work.filePath(QStringLiteral("comandos.xml")))) {
    *why = QStringLiteral("the catalogue could not be copied into ") + work.path();
  } else {
    return program;
  }
  return {};
}

// How many times `part` occurs in `text`.
inline int Count(const QString& text, const QString& part) { return static_cast<int>(text.count(part)); }

// The file's bytes, or none when it cannot be read.
inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The titles of the window's menus, in menubar order.
inline QStringList MenuTitles(QMainWindow& window) {
  QStringList titles;
  // Without the mnemonic marks: "&Operações" is "Operações", "&&" an "&".
  for (QAction* a : window.menuBar()->actions()) {
    const QString text = a->text();
    QString plain;
    for (qsizetype k = 0; k < text.size(); ++k) {
      if (text[k] == QLatin1Char('&') && k + 1 < text.size()) ++k;
      plain += text[k];
    }
    titles << plain;
  }
  return titles;
}

}  // namespace tervane::testing

#define TERVANE_GUI_TEST(Class) \
  static ::tervane::testing::GuiTestRegistration registration_##Class([] { return std::make_unique<Class>(); })
