// Where the libraries find the printer's address and the exchange folder: the
// environment first, then the settings file, then nothing.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "vendor/download/library_settings.h"

namespace tervane::vendor {
namespace {

namespace fs = std::filesystem;

TEST(LibrarySettings, EnvironmentThenSettingsFileThenNothing) {
  const fs::path home = fs::temp_directory_path() / ("tervane_ls_" + std::to_string(::getpid()));
  fs::create_directories(home / "tervane");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  ::unsetenv("TERVANE_PRINTER_ADDRESS");
  ::unsetenv("TERVANE_EXCHANGE_DIR");

  ProgramSettings s = LibrarySettings();
  EXPECT_EQ(s.g_printerAddress, "");
  EXPECT_EQ(s.g_exchangeDir, "");
  EXPECT_EQ(s.g_workDir, fs::current_path().string());

  std::ofstream(home / "tervane" / "tervane.ini") << "[ports]\nCOM1=/dev/null\n[Printer]\n address = 10.0.0.9:9100 \n"
                                                  << "exchange_dir=\"/tmp/troca\"\n";
  s = LibrarySettings();
  EXPECT_EQ(s.g_printerAddress, "10.0.0.9:9100");
  EXPECT_EQ(s.g_exchangeDir, "/tmp/troca");

  ::setenv("TERVANE_PRINTER_ADDRESS", "127.0.0.1:4000", 1);
  ::setenv("TERVANE_EXCHANGE_DIR", "", 1);  // empty counts as unset
  s = LibrarySettings();
  EXPECT_EQ(s.g_printerAddress, "127.0.0.1:4000");
  EXPECT_EQ(s.g_exchangeDir, "/tmp/troca");

  ::unsetenv("TERVANE_PRINTER_ADDRESS");
  ::unsetenv("TERVANE_EXCHANGE_DIR");
  if (oldXdg) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(home);
}

}  // namespace
}  // namespace tervane::vendor
