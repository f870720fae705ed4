// USB in printer detection: no printer moves on to the serial ports at once; a printer
// on USB is found and asked for its model through the link. Also that the real libusb
// back-end gives its answer quickly when no configured printer is plugged in.
#include <gtest/gtest.h>

#include <chrono>

#include "core/app/printer_detection.h"
#include "support/fake_port.h"
#include "support/fake_usb_backend.h"
#include "core/transport/usb_link.h"
#include "core/transport/usb_port.h"

namespace tervane {
namespace {

using testing::FakeClock;
using testing::FakePort;
using testing::FakePortRecord;
using testing::FakePortScript;
using testing::FakeUsbBackend;

// "USB" goes to a link over the scripted printer; serial names to silent fake ports.
class UsbFirstFactory final : public PortFactory {
 public:
  UsbFirstFactory(CUsbLink& link, FakeClock& clock) : link_(link), clock_(clock) {}
  std::unique_ptr<CPort> Create(const std::string& name) override {
    created.emplace_back(name, clock_.MonotonicMs());
    if (name == "USB") return std::make_unique<CUsbPort>(link_);
    FakePortScript closed;
    closed.openOk = false;
    return std::make_unique<FakePort>(name, closed, std::make_shared<FakePortRecord>(), &clock_);
  }
  std::vector<std::pair<std::string, std::int64_t>> created;

 private:
  CUsbLink& link_;
  FakeClock& clock_;
};

TEST(UsbDetection, WithNoUsbPrinterDetectionMovesToTheSerialPortsWithin100Ms) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  usb.Unplug();
  CUsbLink link(usb, clock, {{0x7e4a, 0x0001}});
  UsbFirstFactory factory(link, clock);
  ProgramSettings settings;
  DetectionContext context;
  context.settings = &settings;
  context.ports = &factory;
  context.clock = &clock;
  const DetectionResult result = DetectPrinter(context);
  EXPECT_FALSE(result.printerFound);
  ASSERT_GE(factory.created.size(), 2u);
  EXPECT_EQ(factory.created[0].first, "USB");
  EXPECT_EQ(factory.created[1].first, "COM1:");
  EXPECT_LT(factory.created[1].second - factory.created[0].second, 100);
  EXPECT_EQ(usb.Count(FakeUsbBackend::Op::kEnumerate), 1);
}

TEST(UsbDetection, APrinterOnUsbIsFoundAndAskedForItsModel) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  CUsbLink link(usb, clock, {{0x7e4a, 0x0001}});
  UsbFirstFactory factory(link, clock);
  ProgramSettings settings;
  usb.QueueData({0x06, 0x55, 0x00, 0x00});  // the probe's answer: ACK, normal mode
  std::string model = std::string("Kelo").append(11, ' ') + "ZT-300 A";
  model.append(35 - model.size(), ' ');
  model += "ECF-IF ";
  const std::string replyText = "\x06" + model + std::string(2, '\0');
  const std::vector<std::uint8_t> reply(replyText.begin(), replyText.end());
  usb.onCall = [&, queued = false](FakeUsbBackend::Op op) mutable {
    // The model reply is there once the model query has been written.
    if (op == FakeUsbBackend::Op::kBulk && usb.Count(FakeUsbBackend::Op::kBulk) == 2 && !queued) {
      queued = true;
      usb.QueueData(reply);
    }
  };
  DetectionContext context;
  context.settings = &settings;
  context.ports = &factory;
  context.clock = &clock;
  const DetectionResult result = DetectPrinter(context);
  EXPECT_TRUE(result.printerFound);
  EXPECT_EQ(result.portName, "USB");
  EXPECT_TRUE(result.normalMode);
  EXPECT_EQ(result.modelQueryResult, kOk) << result.modelQueryText;
  EXPECT_EQ(result.modelName, "ZT-300 A            ");
  EXPECT_EQ(usb.successfulOpens, 2) << "one open serves the probe and the model query";
  EXPECT_EQ(usb.Written().size(), 16u) << "two 8-byte frames";
}

TEST(UsbDetection, TheLibusbBackEndAnswersQuicklyWithoutAConfiguredPrinter) {
  // Identifiers no real device carries.
  CUsbLink link(SystemUsbBackend(), SystemClock(), {{0xFFFE, 0xFFF0}});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(link.EnsureOpen());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 100);
  EXPECT_TRUE(link.LastOpenStatus() == kUsbioNoSuchInstance || link.LastOpenStatus() == kUsbioNoDeviceClass);
}

}  // namespace
}  // namespace tervane
