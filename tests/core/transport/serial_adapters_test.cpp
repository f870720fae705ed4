// USB-serial adapters found in a prepared device tree and device folder: stable names,
// maker and product, access, phantom UARTs left out, broken links and vanished nodes
// ignored, adapters a COM name maps to told apart from the others.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/transport/com_port_map.h"
#include "core/transport/serial_adapters.h"
#include "core/transport/transport_test_util.h"

namespace tervane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

void Write(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text << "\n";
}

// A device tree with one FTDI adapter (ttyUSB0, behind a USB interface), one CDC-ACM
// modem without attributes (ttyACM0), a real UART ttyS0 and a phantom ttyS1; the device
// folder links ttyUSB0 and ttyACM0 to pseudo-terminals.
class AdapterTree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(usb.ok());
    ASSERT_TRUE(acm.ok());
    sys = tree / "sys";
    dev = tree / "dev";
    const std::string usbDevice = sys + "/devices/pci0000:00/usb1/1-2";
    Write(usbDevice + "/idVendor", "0403");
    Write(usbDevice + "/idProduct", "6001");
    Write(usbDevice + "/manufacturer", "FTDI");
    Write(usbDevice + "/product", "FT232R USB UART");
    Write(usbDevice + "/serial", "A1B2C3");
    const std::string port = usbDevice + "/1-2:1.0/ttyUSB0";
    fs::create_directories(port);
    fs::create_directories(sys + "/class/tty/ttyUSB0");
    fs::create_directory_symlink(port, sys + "/class/tty/ttyUSB0/device");
    fs::create_directories(sys + "/class/tty/ttyACM0");
    Write(sys + "/class/tty/ttyS0/type", "4");
    Write(sys + "/class/tty/ttyS1/type", "0");

    fs::create_directories(dev + "/serial/by-id");
    fs::create_symlink(usb.slave, dev + "/ttyUSB0");
    fs::create_symlink(acm.slave, dev + "/ttyACM0");
    fs::create_symlink("../../ttyUSB0", dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    fs::create_symlink("../../ttyUSB9", dev + "/serial/by-id/usb-Gone_Adapter-if00-port0");  // points nowhere
    // ttyS nodes: regular files stand in for the device nodes.
    Write(dev + "/ttyS0", "");
    Write(dev + "/ttyS1", "");
  }

  SerialScanRoots Roots() const { return SerialScanRoots{dev, sys}; }

  TempDir tree;
  PtyPair usb, acm;
  std::string sys, dev;
};

TEST_F(AdapterTree, AdaptersAreListedByStableNameWithMakerAndProduct) {
  const std::vector<SerialAdapter> adapters = ListSerialAdapters(Roots());
  ASSERT_EQ(adapters.size(), 2u);
  const SerialAdapter& ftdi = adapters[1];
  EXPECT_EQ(ftdi.device, dev + "/ttyUSB0");
  EXPECT_EQ(ftdi.Name(), dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
  EXPECT_EQ(ftdi.Description(), "FTDI FT232R USB UART (0403:6001, s\xE9rie A1B2C3)");
  EXPECT_TRUE(ftdi.accessible);
  // The modem has neither a stable name nor attributes: its node is its name.
  const SerialAdapter& modem = adapters[0];
  EXPECT_EQ(modem.Name(), dev + "/ttyACM0");
  EXPECT_EQ(modem.Description(), "");

  // A node that goes away between listing and opening is simply not there next time.
  fs::remove(dev + "/ttyACM0");
  EXPECT_EQ(ListSerialAdapters(Roots()).size(), 1u);
}

TEST_F(AdapterTree, APtyLinkedUnderByIdAloneIsAnAdapterToo) {
  fs::remove(dev + "/ttyUSB0");
  fs::remove(dev + "/ttyACM0");
  fs::remove_all(sys + "/class/tty/ttyUSB0");
  fs::remove_all(sys + "/class/tty/ttyACM0");
  fs::create_symlink(usb.slave, dev + "/serial/by-id/usb-Tervane_Bench_Cable_0042-if00");
  const std::vector<SerialAdapter> adapters = ListSerialAdapters(Roots());
  ASSERT_EQ(adapters.size(), 1u);
  EXPECT_EQ(adapters[0].Name(), dev + "/serial/by-id/usb-Tervane_Bench_Cable_0042-if00");
  EXPECT_EQ(adapters[0].device, usb.slave);
  EXPECT_EQ(adapters[0].Description(), "Tervane Bench Cable 0042");
}

TEST_F(AdapterTree, ThePortListOffersRealUartsAndAdaptersOnly) {
  std::vector<std::string> present;
  std::vector<std::string> descriptions;
  for (const PortListEntry& entry : ListPorts({}, dev, sys)) {
    if (entry.origin == "present" || entry.origin == "adapter") present.push_back(entry.name);
    if (entry.origin == "adapter") descriptions.push_back(entry.description);
  }
  EXPECT_THAT(present, ElementsAre(dev + "/ttyS0", dev + "/ttyACM0",
                                   dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
  EXPECT_THAT(descriptions, ElementsAre("", "FTDI FT232R USB UART (0403:6001, s\xE9rie A1B2C3)"));
  EXPECT_TRUE(IsPhantomSerialPort("ttyS1", Roots()));
  EXPECT_FALSE(IsPhantomSerialPort("ttyS0", Roots()));
  EXPECT_FALSE(IsPhantomSerialPort("ttyS7", Roots()));  // not in the tree: taken as real
}

TEST_F(AdapterTree, DetectionProbesOnlyTheAdaptersNoComNameMapsTo) {
  // COM2: stands for the FTDI adapter by its stable name; the modem is not mapped.
  ScopedEnv com2("TERVANE_COM2", dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
  EXPECT_THAT(UnmappedAdapterNames(Roots()), ElementsAre(dev + "/ttyACM0"));
  // Mapped by its kernel name, or through the pty itself, it is the same device.
  ScopedEnv com3("TERVANE_COM3", acm.slave);
  EXPECT_TRUE(UnmappedAdapterNames(Roots()).empty());
  EXPECT_TRUE(SameDevice(dev + "/ttyACM0", acm.slave));
  EXPECT_FALSE(SameDevice(dev + "/ttyUSB9", dev + "/ttyUSB9"));  // resolves to nothing
}

TEST(SerialAdapters, AnEmptyOrUnreadableTreeListsNothing) {
  TempDir empty;
  EXPECT_TRUE(ListSerialAdapters(SerialScanRoots{empty / "dev", empty / "sys"}).empty());
  EXPECT_TRUE(ListSerialAdapters(SerialScanRoots{"", ""}).empty());
}

}  // namespace
}  // namespace tervane::testing
