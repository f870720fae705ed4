#include <gtest/gtest.h>

#include <fstream>

#include "core/transport/com_port_map.h"
#include "core/transport/port_factory.h"
#include "core/transport/serial_port.h"
#include "core/transport/socket_port.h"
#include "core/transport/usb_port.h"
#include "core/transport/transport_test_util.h"

namespace tervane {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

TEST(CreatePort, ChoosesTheKindByTheExactWholeNameAndUsbFailsWithoutAPrinter) {
  SystemPortFactory factory(PortContext{});  // no settings, no clock: defaults
  EXPECT_NE(dynamic_cast<CSocketPort*>(factory.Create("SOCKET").get()), nullptr);
  for (const char* name : {"usb", "File", "SOCKET ", "COM1:", "COM9:", "/dev/ttyUSB0", ""}) {
    const auto port = factory.Create(name);
    EXPECT_NE(dynamic_cast<CSerialPort*>(port.get()), nullptr) << name;
    EXPECT_EQ(port->Name(), name);
  }
  auto usb = factory.Create("USB");
  ASSERT_NE(dynamic_cast<CUsbPort*>(usb.get()), nullptr);
  std::uint8_t byte = 5;
  std::uint32_t count = 3;
  // No printer of the configured identifiers is plugged in here: nothing opens, nothing
  // is sent or received; emptying the receive buffer still works.
  EXPECT_FALSE(usb->Open(9600));
  EXPECT_TRUE(usb->Purge());
  EXPECT_FALSE(usb->Send(&byte, 1, 20000));
  EXPECT_FALSE(usb->Receive(&byte, 1, 2000));
  EXPECT_FALSE(usb->WriteRequest(&byte, 1, &count));
  EXPECT_EQ(count, 0u);
}

TEST(ComPortMap, EnvironmentThenSettingsFileThenDefault) {
  TempDir config;
  ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
  ScopedEnv com1("TERVANE_COM1", std::nullopt), com2("TERVANE_COM2", "/dev/pts/7");
  ScopedEnv com3("TERVANE_COM3", std::nullopt), com8("TERVANE_COM8", std::nullopt);
  ::mkdir((config / "tervane").c_str(), 0700);
  std::ofstream(config / "tervane/tervane.ini") << "; settings\n[other]\nCOM3=/dev/wrong\n[ports]\n"
                                                   "  COM1 = /dev/ttyUSB0  \nCOM2=\"/dev/by-id/x\"\n"
                                                   "# COM8=/dev/commented\ncom8=\n[later]\nCOM3=/dev/wrong\n";
  EXPECT_EQ(ResolvePortDevice("COM1:"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/pts/7") << "the environment wins";
  EXPECT_EQ(ResolvePortDevice("COM3:"), "/dev/ttyS2") << "other sections do not count";
  EXPECT_EQ(ResolvePortDevice("COM8:"), "/dev/ttyS7") << "an empty value means the default";
  {
    ScopedEnv unset("TERVANE_COM2", std::nullopt);
    EXPECT_EQ(ResolvePortDevice("COM2:"), "/dev/by-id/x");
  }
  for (const char* name : {"COM9:", "COM0:", "COM1", "com1:", "COM10:", "/dev/pts/3"}) {
    EXPECT_EQ(ResolvePortDevice(name), name);
  }
  {
    ScopedEnv noXdg("XDG_CONFIG_HOME", "relative/dir");  // not absolute: HOME is used
    ScopedEnv home("HOME", config / "home");
    EXPECT_EQ(PortSettingsFilePath(), config / "home/.config/tervane/tervane.ini");
    EXPECT_EQ(ResolvePortDevice("COM1:"), "/dev/ttyS0") << "no file there";
  }

  TempDir dev;
  for (const char* file : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "ttyS", "ttySX", "tty0"}) {
    std::ofstream(dev / file) << "";
  }
  // No device tree given: every ttyS counts as a real UART.
  const auto list = ListPorts({"COM1:", dev / "missing"}, dev.path(), dev / "no-sys");
  std::vector<std::string> lines;
  for (const PortListEntry& e : list) lines.push_back(e.name + ">" + e.device + " " + e.origin + (e.present ? "+" : ""));
  const std::vector<std::string> expected = {
      "COM1:>/dev/ttyUSB0 settings", "COM2:>/dev/pts/7 environment",
      "COM3:>/dev/ttyS2 default",   "COM4:>/dev/ttyS3 default",
      "COM5:>/dev/ttyS4 default",   "COM6:>/dev/ttyS5 default",
      "COM7:>/dev/ttyS6 default",   "COM8:>/dev/ttyS7 default",
      dev / "ttyS2>" + dev / "ttyS2 present+",     dev / "ttyS10>" + dev / "ttyS10 present+",
      dev / "ttyACM1>" + dev / "ttyACM1 adapter+", dev / "ttyUSB0>" + dev / "ttyUSB0 adapter+",
      "COM1:>/dev/ttyUSB0 given",   dev / "missing>" + dev / "missing given"};
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    // Whether /dev/tty* nodes exist depends on the machine; the rest does not.
    EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]) << i;
  }
}

}  // namespace
}  // namespace tervane
