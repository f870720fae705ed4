#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "gui/gui_test.h"

namespace tervane::testing {

std::vector<GuiTestFactory>& GuiTests() {
  static std::vector<GuiTestFactory> tests;
  return tests;
}

}  // namespace tervane::testing

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The profile (progress position, COM map) goes to a folder of this run only.
  QTemporaryDir config;
  if (!config.isValid()) {
    std::fprintf(stderr, "no temporary folder for the profile\n");
    return 1;
  }
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  // A failing test must not wait on a debugger for its stack trace.
  qputenv("QTEST_DISABLE_STACK_DUMP", "1");
  for (int n = 1; n <= 8; ++n) qunsetenv(qPrintable(QStringLiteral("TERVANE_COM%1").arg(n)));

  QApplication app(argc, argv);
  // TERVANE_GUI_TEST_ONLY=ClassName runs one test class.
  const QByteArray only = qgetenv("TERVANE_GUI_TEST_ONLY");
  int failed = 0;
  for (const auto& factory : tervane::testing::GuiTests()) {
    std::unique_ptr<QObject> test = factory();
    if (!only.isEmpty()) {
      // The class name without its namespace must be the one asked for.
      QByteArray name(test->metaObject()->className());
      name = name.mid(name.lastIndexOf(':') + 1);
      if (name != only) continue;
    }
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
