// The hardware identifier file, the udev rule installation and the `usb` commands.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include "cli/cli_run.h"
#include "cli/usb_command.h"
#include "core/common/atomic_file.h"
#include "core/common/xml_document.h"
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
  size_t ruleLines = 0, unprobed = 0;
  for (size_t at = rules.find("SUBSYSTEM==\"usb\""); at != std::string::npos; at = rules.find("SUBSYSTEM==\"usb\"", at + 1)) {
    ++ruleLines;
    const std::string line = rules.substr(at, rules.find('\n', at) - at);
    if (line.ends_with(", ENV{ID_MM_DEVICE_IGNORE}=\"1\"")) ++unprobed;
  }
  EXPECT_EQ(ruleLines, 2u);
  EXPECT_EQ(unprobed, 2u) << "ModemManager must not probe a printer: " << rules;
  EXPECT_NE(rules.find("SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB[0-9]*\", DRIVERS==\"ftdi_sio|pl2303|ch341|cp210x\", "
                       "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"),
            std::string::npos)
      << "nor a printer behind a USB-serial converter";
  EXPECT_EQ(ReadFile(dir / "udevadm.log"),
            "control --reload-rules\ntrigger --subsystem-match=usb --subsystem-match=tty --action=change\n");

  // Without reloading, only the file is written.
  UsbDriverInstallOptions quiet = Options();
  quiet.reloadUdev = false;
  ASSERT_TRUE(InstallUsbDriver(quiet, &result, &error));
  EXPECT_TRUE(result.udevadm.empty());
  EXPECT_EQ(ReadFile(dir / "udevadm.log"), "control --reload-rules\ntrigger --subsystem-match=usb --subsystem-match=tty --action=change\n");
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

TEST(UsbCli, ListNamesTheIdentifiersTheirFileThePrintersAndTheOtherCandidates) {
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
  const std::string looked = "Identifiers looked for, from " + dir / "ids.txt" + ":\n  7e4a:0001\n";
  std::string out;
  EXPECT_EQ(list(&out), 0);
  EXPECT_EQ(out, looked + "USB bus 001 device 004 (7e4a:0001): ready\n");
  EXPECT_EQ(usb.OpenHandles(), 0) << "the check leaves nothing open";
  usb.Fail(testing::FakeUsbBackend::Op::kOpen, UsbError::kAccess);
  EXPECT_EQ(list(&out), 0);
  EXPECT_NE(out.find("no permission to open it (run tervane-cli usb install)"), std::string::npos) << out;

  // Other devices: a printer-class one and a vendor-class one are offered, with their
  // strings cleaned; a keyboard is not.
  usb.Unplug();
  usb.otherDevices = {
      {{1, 7, 0x04b8, 0x0202}, 0, {kUsbClassPrinter}, "EPSON", "TM-T20"},
      {{2, 3, 0x1a86, 0x7584}, kUsbClassVendorSpecific, {}, std::string("Maker\x01\xFF") + std::string(100, 'x'), ""},
      {{1, 9, 0x046d, 0xc31c}, 0, {0x03}, "Logitech", "Keyboard"},
  };
  EXPECT_EQ(list(&out), 0);
  EXPECT_EQ(out, looked + "No USB printer present.\n"
                          "Other USB devices of printer or vendor class present, not configured:\n"
                          "  04b8:0202  EPSON TM-T20 (printer class, bus 001 device 007)\n"
                          "  1a86:7584  Maker??" + std::string(57, 'x') + " (vendor class, bus 002 device 003)\n"
                          "To use one: tervane-cli usb ids add VID:PID, then tervane-cli usb install.\n");
  usb.enumerationWorks = false;
  EXPECT_EQ(list(&out), 1);
  EXPECT_NE(out.find(looked), std::string::npos) << "the identifiers are named even then";
}

TEST(UsbIds, TheUserFileIsMergedAfterTheShippedOneAndTakesAddedIdentifiers) {
  TempDir dir;
  ::mkdir((dir / "usb").c_str(), 0755);
  WriteFile(dir / "usb/ids.txt", "7e4a:0001\n7e4b:0010\n");
  ScopedEnv none(kUsbIdsEnvironment, std::nullopt);
  ScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  const std::string user = dir / "config/tervane/usb-ids.txt";
  EXPECT_EQ(UserUsbIdsFile(), user);

  std::string path, error;
  bool added = false;
  ASSERT_TRUE(AddUserUsbId({0x04b8, 0x0202}, &path, &added, &error)) << error;
  EXPECT_TRUE(added);
  EXPECT_EQ(path, user);
  ASSERT_TRUE(AddUserUsbId({0x7e4a, 0x0001}, &path, &added, &error)) << error;
  ASSERT_TRUE(AddUserUsbId({0x04b8, 0x0202}, &path, &added, &error)) << error;
  EXPECT_FALSE(added) << "listed once";
  struct stat st {};
  ASSERT_EQ(::stat((dir / "config/tervane").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  UsbIdConfiguration merged = LoadUsbIdConfiguration(dir.path());
  EXPECT_TRUE(merged.error.empty()) << merged.error;
  ASSERT_EQ(merged.sources.size(), 2u);
  EXPECT_EQ(merged.sources[0].path, dir / "usb/ids.txt");
  EXPECT_EQ(merged.sources[1].path, user);
  EXPECT_EQ(merged.ids, (std::vector<UsbHardwareId>{{0x7e4a, 0x0001}, {0x7e4b, 0x0010}, {0x04b8, 0x0202}}));
  EXPECT_EQ(ConfiguredUsbIds(dir.path()), merged.ids);

  // A user file spoilt by hand is named; the shipped identifiers still count, and
  // nothing is added to it until it is mended.
  WriteFile(user, "04b8:0202\nnot an id\n");
  merged = LoadUsbIdConfiguration(dir.path());
  EXPECT_NE(merged.error.find(user + ": line 2"), std::string::npos) << merged.error;
  EXPECT_EQ(merged.ids.size(), 2u);
  EXPECT_FALSE(AddUserUsbId({0x1111, 0x2222}, &path, &added, &error));
  EXPECT_EQ(ReadFile(user), "04b8:0202\nnot an id\n");

  UsbHardwareId id;
  EXPECT_TRUE(ParseUsbIdText(" 04B8:0202 ", id));
  EXPECT_EQ(id, (UsbHardwareId{0x04b8, 0x0202}));
  for (const char* bad : {"", "04b8", "04b8:202", "04b8-0202", "0x04:0202"}) EXPECT_FALSE(ParseUsbIdText(bad, id)) << bad;
}

TEST(UsbPrivilegedInstall, ANormalUserGoesThroughPkexecWithTheIdentifiersAndSaysWhyItFailed) {
  TempDir dir;
  WriteFile(dir / "ids.txt", "7e4a:0001\n04b8:0202\n");
  std::vector<std::vector<std::string>> runs;
  int status = 0;
  std::string output;
  PrivilegedInstall how;
  how.cli = "/usr/bin/tervane-cli";
  how.pkexec = "/usr/bin/pkexec";
  how.run = [&](const std::vector<std::string>& argv, std::string& out) {
    runs.push_back(argv);
    out = output;
    return status;
  };
  UsbDriverInstallOptions options;
  options.idsFile = dir / "ids.txt";
  options.group = "plugdev";
  UsbDriverInstallResult result;
  std::string error;
  ASSERT_TRUE(InstallUsbDriverAsUser(options, how, &result, &error)) << error;
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], (std::vector<std::string>{"/usr/bin/pkexec", "/usr/bin/tervane-cli", "usb", "install", "--group",
                                               "plugdev", "--id", "7e4a:0001", "--id", "04b8:0202"}));
  EXPECT_EQ(result.rulesPath, "/etc/udev/rules.d/60-tervane.rules");

  // The reasons a technician can act on.
  status = 126;
  EXPECT_FALSE(InstallUsbDriverAsUser(options, how, &result, &error));
  EXPECT_NE(error.find("recusada"), std::string::npos) << error;
  status = 127;
  EXPECT_FALSE(InstallUsbDriverAsUser(options, how, &result, &error));
  EXPECT_NE(error.find("agente polkit"), std::string::npos) << error;
  status = 1;
  output = "Erro na instalação do driver USB\nthe group \"plugdev\" does not exist\n";
  EXPECT_FALSE(InstallUsbDriverAsUser(options, how, &result, &error));
  EXPECT_EQ(error, "the group \"plugdev\" does not exist");
  how.pkexec = dir / "no-pkexec";
  how.run = nullptr;
  EXPECT_FALSE(InstallUsbDriverAsUser(options, how, &result, &error));
  EXPECT_EQ(runs.size(), 4u);

  // The command line says so, and passes the failure on after the message.
  how.pkexec = "/usr/bin/pkexec";
  status = 126;
  cli::OutputOptions text;
  cli::UsbInstallSeams seams;
  seams.run = [&](const std::vector<std::string>& argv, std::string&) {
    runs.push_back(argv);
    return 126;
  };
  seams.pkexec = "/usr/bin/pkexec";
  seams.asRoot = false;
  cli::UsbCommand command(text, SystemUsbBackend(), seams);
  CLI::App app;
  command.attach(app);
  app.parse(std::vector<std::string>{"04b8:0202", "--id", "7e4a:0001", "--id", "install", "usb"});
  std::ostringstream o, e;
  EXPECT_EQ(command.execute(o, e), 1);
  EXPECT_EQ(e.str(), "Erro na instalação do driver USB\na autorização de administrador foi recusada ou o pedido foi "
                     "fechado (pkexec)\n");
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_EQ(runs.back()[0], "/usr/bin/pkexec");
  EXPECT_TRUE(runs.back()[1].ends_with("/tervane-cli")) << runs.back()[1];
  EXPECT_EQ(std::vector<std::string>(runs.back().begin() + 2, runs.back().end()),
            (std::vector<std::string>{"usb", "install", "--group", DefaultUsbGroup(), "--id", "7e4a:0001", "--id",
                                      "04b8:0202"}));
}

TEST(UsbPrivilegedInstall, TheShippedPolkitActionIsWellFormedAndNamesTheProgram) {
  const std::string path = std::string(TERVANE_REPO_DIR) + "/packaging/polkit/" + kUsbInstallPolkitAction + ".policy";
  const std::string text = ReadFile(path);
  ASSERT_FALSE(text.empty()) << path;
  if (::access("/usr/bin/xmllint", X_OK) == 0) {
    EXPECT_EQ(std::system(("/usr/bin/xmllint --noout --nonet '" + path + "' 2>/dev/null").c_str()), 0);
  }
  XmlDocument doc;
  ASSERT_TRUE(doc.LoadFile(path).ok);
  const XmlNodeList actions = doc.SelectElements("action");
  ASSERT_EQ(actions.size(), 1);
  EXPECT_EQ(actions[0].Attribute("id"), kUsbInstallPolkitAction);
  std::map<std::string, std::string> annotations;
  const XmlNodeList annotates = doc.SelectElements("annotate");
  for (int i = 0; i < annotates.size(); ++i) annotations[annotates[i].Attribute("key")] = annotates[i].Text();
  EXPECT_EQ(annotations["org.freedesktop.policykit.exec.path"], "/usr/bin/tervane-cli");
  EXPECT_EQ(annotations["org.freedesktop.policykit.exec.argv1"], "usb");
  std::map<std::string, std::string> defaults;
  for (const char* key : {"allow_any", "allow_inactive", "allow_active"}) {
    const XmlNodeList nodes = doc.SelectElements(key);
    ASSERT_EQ(nodes.size(), 1) << key;
    defaults[key] = nodes[0].Text();
  }
  EXPECT_EQ(defaults["allow_any"], "auth_admin");
  EXPECT_EQ(defaults["allow_active"], "auth_admin_keep") << "an administrator's password, never none";
}

}  // namespace
}  // namespace tervane
