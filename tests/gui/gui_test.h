// The workbench's window tests: each QTest class registers itself and gui_test_main runs
// them all on the offscreen platform, with the application profile in a fresh folder.
#pragma once

#include <QObject>
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

// Windows-1252 text from a UTF-8 literal, for comparisons with core text.
inline std::string Cp(const char* utf8) {
  return Utf8ToCp1252Lossy(utf8);
}

}  // namespace tervane::testing

#define TERVANE_GUI_TEST(Class) \
  static ::tervane::testing::GuiTestRegistration registration_##Class([] { return std::make_unique<Class>(); })
