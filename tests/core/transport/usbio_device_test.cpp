// The device access layer against the scripted printer: opening by instance, the
// driver-information check, requests on closed handles, the request blocks and the bind
// and recovery requests.
#include <gtest/gtest.h>

#include "support/fake_usb_backend.h"
#include "core/transport/usbio_device.h"

namespace tervane {
namespace {

using testing::FakeClock;
using testing::FakeUsbBackend;
using Op = FakeUsbBackend::Op;

const std::vector<UsbHardwareId> kIds{{0x7e4a, 0x0001}};

TEST(UsbioDevice, OpenInstanceReportsEachWayOfFailingAndLeavesNothingOpen) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  CUsbioDevice device(usb);

  EXPECT_EQ(device.OpenInstance(0, EnumerateUsbio(usb, {})), kUsbioNoDeviceClass) << "no identifiers";
  EXPECT_TRUE(usb.calls.empty());
  usb.Unplug();
  UsbioDeviceSet none = EnumerateUsbio(usb, kIds);
  ASSERT_TRUE(none.valid) << "an empty enumeration is still an enumeration";
  EXPECT_EQ(device.OpenInstance(0, none), kUsbioNoSuchInstance);
  usb.Plug();
  const UsbioDeviceSet set = EnumerateUsbio(usb, kIds);
  ASSERT_EQ(set.devices.size(), 1u);
  EXPECT_EQ(device.OpenInstance(1, set), kUsbioNoSuchInstance);

  usb.Fail(Op::kOpen, UsbError::kAccess);
  EXPECT_EQ(device.OpenInstance(0, set), kUsbioOpenFailed);
  usb.Fail(Op::kDriverInfo, UsbError::kIo);
  EXPECT_EQ(device.OpenInstance(0, set), kUsbioNotResponding);
  EXPECT_EQ(usb.OpenHandles(), 0);

  for (std::uint16_t version : {0x0140, 0x0142, 0x0000, 0x4101}) {
    usb.apiVersion = version;
    EXPECT_EQ(device.OpenInstance(0, set), kUsbioVersionMismatch) << version;
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(usb.OpenHandles(), 0);
  }
  usb.apiVersion = kUsbioApiVersion;
  ASSERT_EQ(device.OpenInstance(0, set), kUsbioOk);
  EXPECT_EQ(device.DevicePath(), "bus 001 device 005 (7e4a:0001)");
  EXPECT_EQ(device.OpenInstance(0, set), kUsbioOk) << "already open";
  EXPECT_EQ(usb.OpenHandles(), 1);
  device.CloseHandles();
  device.CloseHandles();
  EXPECT_EQ(usb.OpenHandles(), 0);
  EXPECT_EQ(usb.badHandleCalls, 0);

  usb.enumerationWorks = false;
  EXPECT_FALSE(EnumerateUsbio(usb, kIds).valid);
}

TEST(UsbioDevice, RequestsOnAClosedHandleNeverReachTheBackEnd) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  CUsbioDevice device(usb);
  CUsbioPipe pipe(usb);
  std::uint8_t buffer[8];
  std::uint32_t returned = 99;
  for (std::uint32_t code : {kUsbioGetDriverInfo, kUsbioSetConfiguration, kUsbioGetConfigurationInfo,
                             kUsbioClassRequestIn, kUsbioBind, kUsbioUnbind, kUsbioResetPipe, kUsbioResetDevice}) {
    EXPECT_EQ(device.Request(code, nullptr, 0, buffer, sizeof buffer, &returned), kUsbioNotOpen);
    EXPECT_EQ(returned, 0u);
  }
  EXPECT_EQ(device.ClassIn(0x80, buffer, 8, &returned), kUsbioNotOpen);
  EXPECT_EQ(device.SendRecoveryRequests(), kUsbioNotOpen);
  EXPECT_EQ(pipe.Unbind(), kUsbioNotOpen);
  UsbioTransfer transfer{buffer, 8};
  EXPECT_EQ(pipe.Write(transfer, 0), kUsbioNotOpen);
  EXPECT_EQ(transfer.status, kUsbioNotOpen);
  EXPECT_TRUE(usb.calls.empty());
}

TEST(UsbioDevice, RequestBlocksHaveTheirWireLayout) {
  UsbioSetConfiguration config;
  config.configurationIndex = 0x0102;
  config.interfaceCount = 1;
  config.interfaces[0] = {0x0304, 0x0506, 5120};
  config.interfaces[31] = {7, 8, 0x0A0B0C0D};
  const auto bytes = config.Encode();
  ASSERT_EQ(bytes.size(), 260u);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12),
            (std::vector<std::uint8_t>{0x02, 0x01, 0x01, 0x00, 0x04, 0x03, 0x06, 0x05, 0x00, 0x14, 0x00, 0x00}));
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 8, bytes.end()),
            (std::vector<std::uint8_t>{7, 0, 8, 0, 0x0D, 0x0C, 0x0B, 0x0A}));
  UsbioSetConfiguration back;
  ASSERT_TRUE(UsbioSetConfiguration::Decode(bytes, back));
  EXPECT_EQ(back.interfaces[31].maximumTransferSize, 0x0A0B0C0Du);
  EXPECT_FALSE(UsbioSetConfiguration::Decode(std::span(bytes).first(259), back));

  UsbioClassRequest request;
  request.request = 0x81;
  const auto requestBytes = request.Encode();
  EXPECT_EQ(std::vector<std::uint8_t>(requestBytes.begin(), requestBytes.end()),
            (std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x81, 0, 0, 0, 0}));

  // Through a handle: a wrong block size is refused before the back-end; a class request
  // to the device goes out as bmRequestType A0h.
  FakeClock clock;
  FakeUsbBackend usb(clock);
  CUsbioDevice device(usb);
  ASSERT_EQ(device.OpenInstance(0, EnumerateUsbio(usb, kIds)), kUsbioOk);
  usb.ClearRecords();
  EXPECT_EQ(device.Request(kUsbioSetConfiguration, bytes.data(), 259, nullptr, 0), kUsbioInvalidRequest);
  EXPECT_EQ(device.Request(0x80942000, nullptr, 0, nullptr, 0), kUsbioInvalidRequest);
  EXPECT_TRUE(usb.calls.empty());
  std::uint8_t answer[8];
  std::uint32_t returned = 0;
  EXPECT_EQ(device.ClassIn(0x80, answer, 8, &returned), kUsbioOk);
  EXPECT_EQ(returned, 8u);
  EXPECT_EQ(usb.controlRequestTypes, std::vector<std::uint8_t>{0xA0});
}

TEST(UsbioDevice, AnAnswerLongerThanAskedIsAnOverrunEvenWhenTheBackEndCallsItSuccess) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  CUsbioDevice device(usb);
  ASSERT_EQ(device.OpenInstance(0, EnumerateUsbio(usb, kIds)), kUsbioOk);
  std::uint8_t answer[10] = {};
  std::uint32_t returned = 0;
  for (bool honest : {true, false}) {
    usb.honestOverflow = honest;
    usb.QueueAnswer(std::vector<std::uint8_t>(12, 0x55));
    EXPECT_EQ(device.ClassIn(0x81, answer, 8, &returned), kUsbioDataOverrun) << honest;
    EXPECT_EQ(answer[8], 0) << "nothing written past the 8 bytes asked for";
  }
}

TEST(UsbioDevice, PipeBindsOnlyToABulkOutEndpointAndRecoveryIsClearHaltThenReset) {
  FakeClock clock;
  FakeUsbBackend usb(clock);
  const UsbioDeviceSet set = EnumerateUsbio(usb, kIds);
  CUsbioPipe pipe(usb);
  EXPECT_EQ(pipe.Bind(0, 0x81, set), kUsbioInvalidRequest) << "an IN endpoint";
  EXPECT_FALSE(pipe.IsBound());
  std::uint8_t data[4] = {1, 2, 3, 4};
  UsbioTransfer transfer{data, 4};
  EXPECT_EQ(pipe.Write(transfer, 0), kUsbioInvalidRequest) << "unbound";
  EXPECT_EQ(pipe.Bind(0, 0x02, set), kUsbioOk);
  EXPECT_EQ(pipe.Write(transfer, 0), kUsbioOk);
  EXPECT_EQ(transfer.transferred, 4);
  EXPECT_EQ(pipe.Unbind(), kUsbioOk);
  EXPECT_FALSE(pipe.IsBound());
  pipe.CloseHandles();
  usb.hasOutEndpoint = false;
  EXPECT_EQ(pipe.Bind(0, 0x02, set), kUsbioInvalidRequest);
  pipe.CloseHandles();

  CUsbioDevice device(usb);
  usb.hasOutEndpoint = true;
  ASSERT_EQ(device.OpenInstance(0, set), kUsbioOk);
  usb.ClearRecords();
  EXPECT_EQ(device.SendRecoveryRequests(), kUsbioOk);
  EXPECT_EQ(usb.calls, (std::vector<Op>{Op::kConfig, Op::kClearHalt, Op::kReset}));
  usb.Fail(Op::kClearHalt, UsbError::kIo);
  usb.ClearRecords();
  EXPECT_EQ(device.SendRecoveryRequests(), kUsbioNotResponding);
  EXPECT_EQ(usb.Count(Op::kReset), 1) << "the second request is sent even when the first fails";
}

}  // namespace
}  // namespace tervane
