// The Qt application object the window tests need: made on first use, on the offscreen
// platform unless another is chosen, and destroyed when the tests end (before the
// process's exit handlers, which Qt's own cleanup must not run after).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace tervane::testing {

class TestApplication final : public ::testing::Environment {
 public:
  static void Ensure() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_component";
    static char* argv[] = {name, nullptr};
    Instance() = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { Instance().reset(); }

 private:
  static std::unique_ptr<QApplication>& Instance() {
    static std::unique_ptr<QApplication> app;
    return app;
  }
};

inline ::testing::Environment* const kTestApplication =
    ::testing::AddGlobalTestEnvironment(new TestApplication);

}  // namespace tervane::testing
