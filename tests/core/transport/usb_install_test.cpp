// The hardware identifier file, the udev rule installation and the `usb` commands.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "cli/cli_run.h"
#include "cli/usb_command.h"
#include "core/common/atomic_file.h"
#include "support/fake_usb_backend.h"
#include "core/transport/transport_test_util.h"
#include "core/transport/usb_driver_install.h"
#include "core/transport/usb_ids.h"

namespace tervane {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream(path) << text;
  ::chmod(path.c_str(), mode);
}

std::string ReadFile(const std::string& path) {
  std::string text;
  ReadWholeFile(path, text);
  return text;
}

TEST(UsbIds, TheFileListsPairsAndNamesTheLineOfAnyMistake) {
  std::vector<UsbHardwareId> ids;
  std::string error;
  ASSERT_TRUE(ParseUsbIds("# printers\r\n7E4A:0001  # first vendor\n\n  7e4b:0010\r\n7e4a:0001\n", ids, &error))
      << error;
  EXPECT_EQ(ids, (std::vector<UsbHardwareId>{{0x7e4a, 0x0001}, {0x7e4b, 0x0010}}));

  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {"7e4a:0001\n7e4a:001\n", "line 2: \"7e4a:001\""},
           {"7e4a-0001\n", "line 1: \"7e4a-0001\""},
           {"# c\nxyzw:0001\n", "line 2: \"xyzw:0001\""},
           {"7e4a:0001:0002\n", "line 1:"},
           {"# nothing\n\n", "no identifier"},
       }) {
    EXPECT_FALSE(ParseUsbIds(text, ids, &error)) << text;
    EXPECT_TRUE(ids.empty());
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }

  // The shipped file holds the five configured identifiers: one under a first vendor,
  // four consecutive products under a second.
  ASSERT_TRUE(LoadUsbIds(std::string(TERVANE_REPO_DIR) + "/data/usb/ids.txt", ids, &error)) << error;
  ASSERT_EQ(ids.size(), 5u);
  for (size_t k = 2; k < 5; ++k) {
    EXPECT_EQ(ids[k].vendorId, ids[1].vendorId);
    EXPECT_EQ(ids[k].productId, ids[k - 1].productId + 1);
  }

  // Found through the environment first, then the working directory's usb folder.
  TempDir dir;
  ::mkdir((dir / "usb").c_str(), 0755);
  WriteFile(dir / "usb/ids.txt", "1111:2222\n");
  {
    ScopedEnv none(kUsbIdsEnvironment, std::nullopt);
    EXPECT_EQ(FindUsbIdsFile(dir.path()), dir / "usb/ids.txt");
    EXPECT_EQ(ConfiguredUsbIds(dir.path()), (std::vector<UsbHardwareId>{{0x1111, 0x2222}}));
  }
  ScopedEnv env(kUsbIdsEnvironment, dir / "missing.txt");
  EXPECT_EQ(FindUsbIdsFile(dir.path()), dir / "missing.txt");
  EXPECT_TRUE(ConfiguredUsbIds(dir.path(), &error).empty());
  EXPECT_NE(error.find("missing.txt"), std::string::npos);
}

class UsbInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir((dir / "rules").c_str(), 0755);
    WriteFile(ids, "7e4a:0001\n7e4b:0010\n");
    // A udevadm that records its arguments and fails when asked to.
    WriteFile(udevadm,
              "#!/bin/sh\necho \"$@\" >> " + (dir / "udevadm.log") +
                  "\nif [ -e " + (dir / "fail") + " ]; then echo 'Failed to send reload request' >&2; exit 3; fi\n",
              0755);
  }
  UsbDriverInstallOptions Options() {
    UsbDriverInstallOptions options;
    options.rulesDir = dir / "rules";
    options.idsFile = ids;
    options.group = "root";
    options.udevadm = udevadm;
    return options;
  }

  TempDir dir;
  std::string ids = dir / "ids.txt";
  std::string udevadm = dir / "udevadm";
};

TEST_F(UsbInstallTest, WritesOneRuleLinePerIdentifierAndReloadsUdev) {
  UsbDriverInstallResult result;
  std::string error;
  ASSERT_TRUE(InstallUsbDriver(Options(), &result, &error)) << error;
  EXPECT_EQ(result.rulesPath, dir / "rules/60-tervane.rules");
  const std::string rules = ReadFile(result.rulesPath);
  EXPECT_NE(rules.find("ATTR{idVendor}==\"7e4a\", ATTR{idProduct}==\"0001\", MODE=\"0660\", GROUP=\"root\""),
            std::string::npos)
      << rules;
  EXPECT_NE(rules.find("ATTR{idVendor}==\"7e4b\", ATTR{idProduct}==\"0010\""), std::string::npos);
  size_t ruleLines = 0;
  for (size_t at = rules.find("SUBSYSTEM"); at != std::string::npos; at = rules.find("SUBSYSTEM", at + 1)) ++ruleLines;
  EXPECT_EQ(ruleLines, 2u);
  EXPECT_EQ(ReadFile(dir / "udevadm.log"), "control --reload-rules\ntrigger --subsystem-match=usb --action=change\n");

  // Without reloading, only the file is written.
  UsbDriverInstallOptions quiet = Options();
  quiet.reloadUdev = false;
  ASSERT_TRUE(InstallUsbDriver(quiet, &result, &error));
  EXPECT_TRUE(result.udevadm.empty());
  EXPECT_EQ(ReadFile(dir / "udevadm.log"), "control --reload-rules\ntrigger --subsystem-match=usb --action=change\n");
  EXPECT_FALSE(DefaultUsbGroup().empty());
}

TEST_F(UsbInstallTest, EachFailureIsReportedWithItsReason) {
  std::string error;
  // udevadm failing: reported, with its message, after the rule was written.
  WriteFile(dir / "fail", "");
  EXPECT_FALSE(InstallUsbDriver(Options(), nullptr, &error));
  EXPECT_NE(error.find("exit status 3: Failed to send reload request"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::exists(dir / "rules/60-tervane.rules"));
  std::filesystem::remove(dir / "rules/60-tervane.rules");

  UsbDriverInstallOptions options = Options();
  options.group = "no-such-group-here";
  EXPECT_FALSE(InstallUsbDriver(options, nullptr, &error));
  EXPECT_NE(error.find("does not exist"), std::string::npos);
  options.group = "root\", MODE=\"0666";
  EXPECT_FALSE(InstallUsbDriver(options, nullptr, &error));
  EXPECT_FALSE(std::filesystem::exists(dir / "rules/60-tervane.rules")) << "nothing written for a bad group";

  options = Options();
  options.idsFile = dir / "none.txt";
  EXPECT_FALSE(InstallUsbDriver(options, nullptr, &error));
  EXPECT_NE(error.find("none.txt"), std::string::npos);

  options = Options();
  options.rulesDir = dir / "no-such-dir";
  EXPECT_FALSE(InstallUsbDriver(options, nullptr, &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;

  EXPECT_EQ(UsbDriverInstallFailureText("why"), Utf8ToCp1252Lossy("Erro na instalação do driver USB\r\nwhy"));
}

TEST_F(UsbInstallTest, CliInstallWritesTheRuleOrPrintsTheFailureMessage) {
  using cli::testing::Cli;
  auto run = Cli({"usb", "install", "--rules-dir", dir / "rules", "--ids", ids, "--group", "root", "--udevadm", udevadm});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Rule written to " + dir / "rules/60-tervane.rules"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("udev rules reloaded"), std::string::npos);

  run = Cli({"usb", "install", "--rules-dir", dir / "absent", "--ids", ids, "--no-reload"});
  EXPECT_EQ(run.code, 1);
  EXPECT_TRUE(run.err.starts_with("Erro na instalação do driver USB\n")) << run.err;
  EXPECT_NE(run.err.find("absent/60-tervane.rules"), std::string::npos);
}

TEST(UsbCli, ListShowsThePrintersPresentAndWhetherTheyOpen) {
  testing::FakeClock clock;
  testing::FakeUsbBackend usb(clock);
  TempDir dir;
  WriteFile(dir / "ids.txt", "7e4a:0001\n");
  const auto list = [&](std::string* out) {
    cli::OutputOptions output;
    cli::UsbCommand command(output, usb);
    CLI::App app;
    command.attach(app);
    app.parse(std::vector<std::string>{dir / "ids.txt", "--ids", "list", "usb"});
    std::ostringstream o, e;
    const int code = command.execute(o, e);
    *out = o.str() + e.str();
    return code;
  };
  std::string out;
  EXPECT_EQ(list(&out), 0);
  EXPECT_EQ(out, "USB bus 001 device 004 (7e4a:0001): ready\n");
  EXPECT_EQ(usb.OpenHandles(), 0) << "the check leaves nothing open";
  usb.Fail(testing::FakeUsbBackend::Op::kOpen, UsbError::kAccess);
  EXPECT_EQ(list(&out), 0);
  EXPECT_NE(out.find("device cannot be opened (no permission?"), std::string::npos) << out;
  usb.Unplug();
  EXPECT_EQ(list(&out), 0);
  EXPECT_EQ(out, "No USB printer present.\n");
  usb.enumerationWorks = false;
  EXPECT_EQ(list(&out), 1);
}

}  // namespace
}  // namespace tervane
