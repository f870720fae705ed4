// The libusb back-end, the device access and the USB link against a printer on an
// emulated bus (umockdev): libusb enumerates, opens and claims the device as it does a
// real one, through usbfs requests that the emulated printer answers.
//
// The program re-runs itself with umockdev's preload library when started without it,
// so it runs the same from CTest and by hand. The link's own pauses go through a clock
// that skips them; the waits that libusb makes (a request's time-out) are real, and
// kept short.
//
// What the emulation does not reach: the device node is a socket that always polls
// ready, so libusb's event loop spins instead of sleeping while it waits (the CPU cost
// of a real wait is not seen); the status a real host controller gives a transfer cut
// by an unplug (-EPROTO, -ESHUTDOWN or -ENODEV by controller) is the one chosen here;
// libusb reads the descriptors from sysfs, so a device lying in its answers to
// GET_DESCRIPTOR is not reached; the usblp driver is a flag, not a kernel driver; a
// node without permission (no udev rule, EACCES on open) cannot be made for a process
// that runs as root; and the link's 40 s limit on a bulk write that the printer never
// takes is a real wait inside libusb, so it is run at the back-end with a short limit.
#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "core/app/printer_detection.h"
#include "core/protocol/command_exchange.h"
#include "core/transport/libusb_backend.h"
#include "core/transport/usb_link.h"
#include "core/transport/usb_port.h"
#include "core/transport/usbio_device.h"
#include "sim/command_handler.h"
#include "sim/printer_state.h"
#include "sim/sim_frame.h"
#include "usb/emulated_printer.h"

namespace tervane {
namespace {

using testing::EmulatedPrinter;
using Reply = EmulatedPrinter::Reply;
using Kind = EmulatedPrinter::Reply::Kind;

constexpr UsbHardwareId kPrinterId{0x7e4a, 0x0001};
constexpr char kSkipReason[] =
    "umockdev's preload library is not active (LD_PRELOAD not honoured here), so the "
    "emulated USB bus cannot run";

// Real time, plus the pauses the code asked for, which are skipped; each pause also lets
// the emulated printer do what it asked for (leave the bus, come back).
class BusClock final : public Clock {
 public:
  explicit BusClock(EmulatedPrinter& printer) : printer_(printer), start_(Steady::now()) {}
  std::int64_t MonotonicMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start_).count() + skipped_;
  }
  void SleepMs(int milliseconds) override {
    if (milliseconds > 0) skipped_ += milliseconds;
    printer_.Pending();
  }
  CivilTime LocalNow() override { return SystemClock().LocalNow(); }
  CivilTime UtcNow() override { return SystemClock().UtcNow(); }
  std::int64_t Skipped() const { return skipped_; }

 private:
  using Steady = std::chrono::steady_clock;
  EmulatedPrinter& printer_;
  Steady::time_point start_;
  std::int64_t skipped_ = 0;
};

// What the process holds open: device nodes (a handle libusb did not close), and
// descriptors other than sockets (libusb's event and timer descriptors, so a context
// that was not ended). Sockets are left out: umockdev's own side of the bus, in this
// process too, keeps the server end of a closed device node for a while.
struct OpenFiles {
  int deviceNodes = 0;
  int others = 0;
  std::vector<std::string> targets;  // each counted descriptor and what it points at
};

OpenFiles CountOpenFiles() {
  OpenFiles files;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return files;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == dirfd(dir)) continue;
    char path[300], target[300] = {};
    std::snprintf(path, sizeof path, "/proc/self/fd/%s", entry->d_name);
    if (readlink(path, target, sizeof target - 1) <= 0) continue;
    if (std::strstr(target, "/dev/bus/usb/") != nullptr) {
      ++files.deviceNodes;
    } else if (std::strncmp(target, "socket:", 7) != 0) {
      ++files.others;
    } else {
      continue;
    }
    files.targets.push_back(std::string(entry->d_name) + " -> " + target);
  }
  closedir(dir);
  return files;
}

std::string Describe(const OpenFiles& files) {
  std::string text = std::to_string(files.deviceNodes) + " device nodes, " + std::to_string(files.others) +
                     " other files:";
  for (const auto& target : files.targets) text += " [" + target + "]";
  return text;
}

// Nothing opened since `then` is still open. The descriptors of umockdev's side of the
// bus live in this process too: its GLib threads make and drop event descriptors of
// their own around a device's open and close, a little after ours. So the count is
// given a moment to settle, and fewer than then is fine; a handle or a context of ours
// left open never settles.
::testing::AssertionResult NothingMoreOpenThan(const OpenFiles& then) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  OpenFiles now = CountOpenFiles();
  while (!(now.deviceNodes == then.deviceNodes && now.others <= then.others)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return ::testing::AssertionFailure() << "now " << Describe(now) << "\nthen " << Describe(then);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    now = CountOpenFiles();
  }
  return ::testing::AssertionSuccess();
}

std::vector<std::uint8_t> Bytes(int count) {
  std::vector<std::uint8_t> bytes(static_cast<size_t>(count));
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

Reply Answer(std::vector<std::uint8_t> bytes) { return {Kind::kData, std::move(bytes)}; }

class UsbLinkPortFactory final : public PortFactory {
 public:
  explicit UsbLinkPortFactory(CUsbLink& link) : link_(link) {}
  std::unique_ptr<CPort> Create(const std::string& name) override {
    return name == "USB" ? std::make_unique<CUsbPort>(link_) : nullptr;
  }

 private:
  CUsbLink& link_;
};

class EmulatedUsbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!EmulatedPrinter::Available()) GTEST_SKIP() << kSkipReason;
    std::string error;
    ASSERT_TRUE(printer.Plug(4, &error)) << error;
    // libusb's own descriptors (event, timer, hot-plug monitor) come with its first use,
    // and GLib's of umockdev's side with the first device opened.
    std::vector<UsbDeviceInfo> devices;
    ASSERT_EQ(backend.Enumerate(ids, &devices), UsbError::kSuccess);
    UsbHandle handle = 0;
    ASSERT_EQ(backend.Open({1, 4, kPrinterId.vendorId, kPrinterId.productId}, &handle), UsbError::kSuccess);
    backend.Close(handle);
    baseline = CountOpenFiles();
  }

  // Nothing of the device left open on either side.
  void ExpectNothingLeftOpen() {
    EXPECT_TRUE(NothingMoreOpenThan(baseline));
    EXPECT_EQ(printer.InFlight(), 0) << "transfers left with the device";
  }
  std::int64_t RealMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
        .count();
  }

  EmulatedPrinter printer{EmulatedPrinter::LoadDescription("printer.umockdev")};
  std::vector<UsbHardwareId> ids{{0x1234, 0x0001}, kPrinterId};
  LibusbBackend backend;
  BusClock clock{printer};
  OpenFiles baseline;
};

TEST_F(EmulatedUsbTest, BackendFindsOpensAndClaimsTheInterfaceFromTheKernelDriver) {
  std::vector<UsbDeviceInfo> devices;
  ASSERT_EQ(backend.Enumerate(ids, &devices), UsbError::kSuccess);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].bus, 1);
  EXPECT_EQ(devices[0].address, 4);
  EXPECT_EQ(devices[0].vendorId, kPrinterId.vendorId);
  const std::vector<UsbHardwareId> others{{0x1234, 0x0001}};
  ASSERT_EQ(backend.Enumerate(others, &devices), UsbError::kSuccess);
  EXPECT_TRUE(devices.empty());

  const UsbDeviceInfo device{1, 4, kPrinterId.vendorId, kPrinterId.productId};
  UsbHandle control = 0, pipe = 0;
  ASSERT_EQ(backend.Open(device, &control), UsbError::kSuccess);
  ASSERT_EQ(backend.Open(device, &pipe), UsbError::kSuccess);
  EXPECT_NE(control, pipe);
  EXPECT_EQ(CountOpenFiles().deviceNodes, 1) << "two handles share one open device";
  EXPECT_TRUE(printer.KernelDriverBound());

  ASSERT_EQ(backend.ClaimInterface(control, 0, 0, 0), UsbError::kSuccess);
  EXPECT_FALSE(printer.KernelDriverBound()) << "usblp is taken off the interface";
  EXPECT_EQ(printer.Count().detaches, 1);
  EXPECT_EQ(printer.Count().claims, 1);
  // Claimed once, through either handle.
  EXPECT_EQ(backend.ClaimInterface(pipe, 0, 0, 0), UsbError::kSuccess);
  EXPECT_EQ(printer.Count().claims, 1);
  EXPECT_EQ(backend.ClaimInterface(control, 1, 0, 0), UsbError::kNotFound) << "there is one configuration";

  UsbConfigInfo config;
  ASSERT_EQ(backend.GetConfiguration(pipe, &config), UsbError::kSuccess);
  ASSERT_EQ(config.interfaces.size(), 1u);
  EXPECT_EQ(config.interfaces[0].interfaceClass, 7);
  ASSERT_EQ(config.endpoints.size(), 2u);
  EXPECT_EQ(config.endpoints[0].address, 0x02);
  EXPECT_EQ(config.endpoints[0].attributes & 3, 2);
  EXPECT_EQ(config.endpoints[0].maxPacketSize, 64);
  EXPECT_EQ(config.endpoints[1].address, 0x81);

  UsbDriverInfo info;
  EXPECT_EQ(backend.DriverInfo(control, &info), UsbError::kSuccess);
  EXPECT_EQ(info.apiVersion, kUsbioApiVersion);

  backend.Close(control);
  EXPECT_EQ(printer.Count().releases, 0) << "the pipe still holds the device";
  backend.Close(pipe);
  EXPECT_EQ(printer.Count().releases, 1);
  EXPECT_TRUE(printer.KernelDriverBound()) << "the interface goes back to usblp";
  EXPECT_EQ(printer.Count().reattaches, 1);
  EXPECT_EQ(backend.ClaimInterface(control, 0, 0, 0), UsbError::kInvalidParam) << "a closed handle";

  // A kernel without the combined request: the driver is detached, then the interface
  // claimed, in two steps.
  printer.SetDisconnectClaim(false);
  ASSERT_EQ(backend.Open(device, &control), UsbError::kSuccess);
  ASSERT_EQ(backend.ClaimInterface(control, 0, 0, 0), UsbError::kSuccess);
  EXPECT_EQ(printer.Count().detaches, 2);
  EXPECT_EQ(printer.Count().claims, 2);
  backend.Close(control);
  EXPECT_TRUE(printer.KernelDriverBound());
  EXPECT_EQ(printer.Count().unknownRequests, 1) << "only the combined request went unanswered";
  ExpectNothingLeftOpen();
}

TEST_F(EmulatedUsbTest, BackendTransfersShortStalledOverflowingAndTimedOut) {
  const UsbDeviceInfo device{1, 4, kPrinterId.vendorId, kPrinterId.productId};
  UsbHandle handle = 0;
  ASSERT_EQ(backend.Open(device, &handle), UsbError::kSuccess);
  ASSERT_EQ(backend.ClaimInterface(handle, 0, 0, 0), UsbError::kSuccess);

  std::uint8_t answer[8] = {};
  int got = -1;
  printer.QueueStatus(Answer({0x11, 0x22, 0x33}));
  ASSERT_EQ(backend.ControlIn(handle, 0xA0, 0x80, 0, 0, answer, 8, 500, &got), UsbError::kSuccess);
  EXPECT_EQ(got, 3) << "a short answer is no error";
  EXPECT_EQ(answer[2], 0x33);
  ASSERT_EQ(backend.ControlIn(handle, 0xA0, 0x81, 0, 0, answer, 8, 500, &got), UsbError::kSuccess);
  EXPECT_EQ(std::string(answer, answer + got), "KELOOLEK");

  printer.QueueStatus(Answer(Bytes(12)));
  EXPECT_EQ(backend.ControlIn(handle, 0xA0, 0x80, 0, 0, answer, 8, 500, &got), UsbError::kOverflow);
  EXPECT_EQ(got, 0);
  printer.QueueStatus({Kind::kStall, {}});
  EXPECT_EQ(backend.ControlIn(handle, 0xA0, 0x80, 0, 0, answer, 8, 500, &got), UsbError::kPipe);
  printer.QueueData({Kind::kNoAnswer, {}});
  auto since = std::chrono::steady_clock::now();
  EXPECT_EQ(backend.ControlIn(handle, 0xA0, 0x81, 0, 0, answer, 8, 50, &got), UsbError::kTimeout);
  EXPECT_LT(RealMs(since), 1000);
  EXPECT_EQ(printer.Count().discarded, 1) << "the timed-out request is cancelled at the device";
  EXPECT_EQ(printer.Count().statusRequests, 3);

  // Bulk OUT: all at once, in part, stalled (the halt then cleared), never taken.
  const auto frame = Bytes(300);
  ASSERT_EQ(backend.BulkWrite(handle, 0x02, frame.data(), 300, 1000, &got), UsbError::kSuccess);
  EXPECT_EQ(got, 300);
  printer.SetBulkRule({.acceptLimit = 100});
  ASSERT_EQ(backend.BulkWrite(handle, 0x02, frame.data(), 300, 1000, &got), UsbError::kSuccess);
  EXPECT_EQ(got, 100);
  printer.SetBulkRule({.stalls = 1});
  EXPECT_EQ(backend.BulkWrite(handle, 0x02, frame.data(), 300, 1000, &got), UsbError::kPipe);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(backend.ClearHalt(handle, 0x02), UsbError::kSuccess);
  EXPECT_EQ(printer.Count().clearHalts, 1);
  printer.SetBulkRule({.noAnswer = true});
  since = std::chrono::steady_clock::now();
  EXPECT_EQ(backend.BulkWrite(handle, 0x02, frame.data(), 300, 50, &got), UsbError::kTimeout);
  EXPECT_LT(RealMs(since), 1000);
  EXPECT_EQ(printer.Submitted(), (std::vector<int>{300, 300, 300, 300}));
  auto written = frame;
  written.insert(written.end(), frame.begin(), frame.begin() + 100);
  EXPECT_EQ(printer.Written(), written);

  // A reset keeps the device where it is and the interface claimed.
  printer.SetBulkRule({});
  EXPECT_EQ(backend.ResetDevice(handle), UsbError::kSuccess);
  EXPECT_EQ(printer.Count().resets, 1);
  EXPECT_EQ(backend.BulkWrite(handle, 0x02, frame.data(), 10, 1000, &got), UsbError::kSuccess);

  // Pulled out: every request reports the device gone.
  printer.Unplug();
  EXPECT_EQ(backend.ControlIn(handle, 0xA0, 0x80, 0, 0, answer, 8, 500, &got), UsbError::kNoDevice);
  EXPECT_EQ(backend.BulkWrite(handle, 0x02, frame.data(), 10, 1000, &got), UsbError::kNoDevice);
  backend.Close(handle);
  ExpectNothingLeftOpen();
}

// The listing of every USB device (`usb list`): the printer with its class per interface,
// each device opened only for its strings and closed again, gone once unplugged.
TEST_F(EmulatedUsbTest, DescribeListsThePrinterByItsInterfaceClass) {
  std::vector<UsbDeviceDescription> devices;
  ASSERT_EQ(backend.Describe(&devices), UsbError::kSuccess);
  const auto printerIn = [](const std::vector<UsbDeviceDescription>& list) {
    return std::find_if(list.begin(), list.end(), [](const UsbDeviceDescription& d) {
      return d.info.vendorId == kPrinterId.vendorId && d.info.productId == kPrinterId.productId;
    });
  };
  const auto found = printerIn(devices);
  ASSERT_NE(found, devices.end());
  EXPECT_EQ(found->info.bus, 1);
  EXPECT_EQ(found->info.address, 4);
  EXPECT_EQ(found->deviceClass, 0);
  EXPECT_EQ(found->interfaceClasses, std::vector<std::uint8_t>{kUsbClassPrinter});
  EXPECT_TRUE(NothingMoreOpenThan(baseline));

  printer.Unplug();
  ASSERT_EQ(backend.Describe(&devices), UsbError::kSuccess);
  EXPECT_EQ(printerIn(devices), devices.end());
  EXPECT_TRUE(NothingMoreOpenThan(baseline));
}

TEST_F(EmulatedUsbTest, DeviceAccessOpensBindsAndRecovers) {
  std::vector<UsbioPresentDevice> present;
  ASSERT_TRUE(ListUsbioDevices(backend, ids, present));
  ASSERT_EQ(present.size(), 1u);
  EXPECT_EQ(present[0].path, "bus 001 device 004 (7e4a:0001)");
  EXPECT_EQ(present[0].openStatus, kUsbioOk);
  EXPECT_TRUE(NothingMoreOpenThan(baseline)) << "the listing opens each device only briefly";

  const UsbioDeviceSet set = EnumerateUsbio(backend, ids);
  CUsbioDevice device(backend);
  CUsbioPipe pipe(backend);
  EXPECT_EQ(device.OpenInstance(1, set), kUsbioNoSuchInstance);
  ASSERT_EQ(device.OpenInstance(0, set), kUsbioOk);
  ASSERT_EQ(device.SetConfiguration(0, 0, 0, kUsbMaxTransferSize), kUsbioOk);
  EXPECT_EQ(device.QueryConfigurationInfo(), kUsbioOk);
  EXPECT_EQ(pipe.Bind(0, 0x81, set), kUsbioInvalidRequest) << "81h is the IN endpoint";
  ASSERT_EQ(pipe.Bind(0, kUsbOutEndpoint, set), kUsbioOk);

  std::uint8_t answer[8];
  std::uint32_t returned = 0;
  printer.QueueStatus({Kind::kStall, {}});
  EXPECT_EQ(device.ClassIn(kUsbStatusRequest, answer, 8, &returned), kUsbioNotResponding);
  printer.QueueStatus(Answer(Bytes(9)));
  EXPECT_EQ(device.ClassIn(kUsbStatusRequest, answer, 8, &returned), kUsbioDataOverrun);
  printer.QueueData({Kind::kNoAnswer, {}});
  const auto since = std::chrono::steady_clock::now();
  EXPECT_EQ(device.ClassIn(kUsbDataRequest, answer, 8, &returned), kUsbioTimeout);
  EXPECT_GE(RealMs(since), kUsbioControlTimeoutMs - 50);

  const auto frame = Bytes(64);
  UsbioTransfer transfer{frame.data(), 64};
  EXPECT_EQ(pipe.Write(transfer, 1000), kUsbioOk);
  EXPECT_EQ(transfer.transferred, 64);
  EXPECT_EQ(device.SendRecoveryRequests(), kUsbioOk);
  EXPECT_EQ(printer.Count().clearHalts, 1) << "the one bulk OUT endpoint";
  EXPECT_EQ(printer.Count().resets, 1);

  printer.Unplug();
  EXPECT_EQ(device.ClassIn(kUsbStatusRequest, answer, 8, &returned), kUsbioDeviceRemoved);
  EXPECT_EQ(pipe.Write(transfer, 1000), kUsbioDeviceRemoved);
  pipe.CloseHandles();
  device.CloseHandles();
  ExpectNothingLeftOpen();
}

// The link over the emulated printer, from the port the exchange uses.
class EmulatedLinkTest : public EmulatedUsbTest {
 protected:
  void TearDown() override {
    link.CloseAll();
    if (EmulatedPrinter::Available()) ExpectNothingLeftOpen();
  }
  bool SendBytes(const std::vector<std::uint8_t>& bytes) {
    port.Open(9600);
    return port.Send(bytes.data(), static_cast<int>(bytes.size()), 0);
  }

  CUsbLink link{backend, clock, ids};
  CUsbPort port{link};
};

TEST_F(EmulatedLinkTest, ModelQueryRunsThroughTheLinkAgainstThePrinter) {
  // The printer's side of the protocol: the simulated printer's command handler,
  // answering each whole frame that arrives on the bulk endpoint.
  sim::PrinterState state;
  sim::CommandHandler handler(state, clock);
  sim::FrameAssembler frames;
  printer.SetResponder([&](const std::uint8_t* data, size_t size) {
    std::vector<std::uint8_t> reply;
    for (const auto& event : frames.Feed(data, size, 0)) {
      if (event.kind != sim::FrameAssembler::EventKind::kFrame) continue;
      const auto answer = handler.Handle(event.frame);
      reply.insert(reply.end(), answer.begin(), answer.end());
    }
    return reply;
  });
  ProgramSettings settings;
  settings.g_portName = "USB";
  UsbLinkPortFactory ports(link);
  CommandRecord query = ModelQueryCommand();
  ASSERT_EQ(ExecuteCommand(query, ExchangeContext{&settings, &ports, &clock, nullptr, nullptr}), kOk)
      << query.ResultText << query.HexTrace;
  ASSERT_EQ(query.replyData.size(), 45u);
  EXPECT_EQ(query.replyData[0], 0x06);
  EXPECT_EQ(query.returnFields[1].value.substr(0, 8), "ZT-300 A");
  EXPECT_EQ(printer.Count().detaches, 1);
  EXPECT_EQ(printer.Count().dataRequests, 6) << "45 bytes come in answers of 8";
  EXPECT_TRUE(link.IsOpen()) << "the link stays open for the next command";
}

TEST_F(EmulatedLinkTest, FrameGoesOutInChunksAndAnIdlePrinterIsPolledAtItsPace) {
  const auto frame = Bytes(1300);
  ASSERT_TRUE(SendBytes(frame));
  EXPECT_EQ(printer.Submitted(), (std::vector<int>{512, 512, 276}));
  EXPECT_EQ(printer.Written(), frame);
  EXPECT_EQ(printer.Count().statusRequests, 3) << "a busy check before each chunk";

  // Nothing to read: the idle marker until the time-out plus its grace have passed, each
  // answer followed by the idle pause (the clock's, so the test does not wait for it).
  std::uint8_t byte = 0;
  const std::int64_t skippedBefore = clock.Skipped();
  const std::int64_t clockBefore = clock.MonotonicMs();
  const auto since = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Receive(&byte, 1, 2000));
  const int polls = printer.Count().dataRequests;
  EXPECT_GE(clock.MonotonicMs() - clockBefore, 2000 + kUsbReceiveGraceMs);
  EXPECT_EQ(clock.Skipped() - skippedBefore, std::int64_t{polls} * kUsbIdlePauseMs);
  EXPECT_LE(polls, (2000 + kUsbReceiveGraceMs) / kUsbIdlePauseMs + 1) << "never polled faster";
  EXPECT_LT(RealMs(since), 2000) << "the pauses between polls are the clock's";

  // Data in pieces: a short answer and a full one land in the buffer in order.
  printer.QueueData(Answer({'A', 'B', 'C'}));
  printer.QueueData(Answer({'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K'}));
  std::uint8_t buffer[11] = {};
  ASSERT_TRUE(port.Receive(buffer, 11, 2000));
  EXPECT_EQ(std::string(buffer, buffer + 11), "ABCDEFGHIJK");
}

TEST_F(EmulatedLinkTest, PaperOutClosesTheLinkAndTheNextChunkReopensIt) {
  ASSERT_TRUE(SendBytes(Bytes(10)));
  const int opensBefore = printer.Count().opens;
  printer.QueueStatus(Answer({0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));  // s1 bit 6
  ASSERT_TRUE(SendBytes(Bytes(20)));
  EXPECT_EQ(printer.Count().opens, opensBefore + 1) << "closed on the fault, opened again";
  EXPECT_EQ(printer.Count().claims, 2);
  EXPECT_EQ(printer.Count().reattaches, 1) << "closing gave the interface back in between";
  EXPECT_EQ(printer.Written().size(), 30u);
  EXPECT_TRUE(link.IsOpen());
}

TEST_F(EmulatedLinkTest, UnplugMidChunkFailsItAndThePrinterIsFoundAgainAtItsNewAddress) {
  printer.SetBulkRule({.unplugAfter = 300});
  const auto frame = Bytes(512);
  EXPECT_FALSE(SendBytes(frame));
  EXPECT_EQ(printer.Written(), std::vector<std::uint8_t>(frame.begin(), frame.begin() + 300));
  EXPECT_FALSE(printer.Plugged());
  EXPECT_FALSE(link.IsOpen());
  ExpectNothingLeftOpen();

  // Plugged in again, the printer has another address; the next command finds it.
  ASSERT_TRUE(printer.Plug(9));
  ASSERT_TRUE(SendBytes(Bytes(40)));
  EXPECT_EQ(printer.Written().size(), 340u);

  // Unplugged and plugged in again between two commands: the next one meets the
  // removed device on its status check, reopens at the new address and goes through.
  printer.Unplug();
  ASSERT_TRUE(printer.Plug(10));
  ASSERT_TRUE(link.IsOpen());
  ASSERT_TRUE(SendBytes(Bytes(60)));
  EXPECT_EQ(printer.Written().size(), 400u);
  EXPECT_TRUE(link.IsOpen());
}

TEST_F(EmulatedLinkTest, AStallRecoveredByAResetThatMovesThePrinterToANewAddress) {
  ASSERT_TRUE(port.Open(9600));
  printer.SetBulkRule({.stalls = 1});
  printer.SetReenumerateOnReset(true);
  const auto frame = Bytes(100);
  ASSERT_TRUE(SendBytes(frame));
  EXPECT_EQ(printer.Address(), 5);
  EXPECT_EQ(printer.Count().resets, 1);
  EXPECT_EQ(printer.Written(), frame);
  EXPECT_TRUE(link.IsOpen());
}

TEST_F(EmulatedLinkTest, FailuresEndInAZeroResultWithNothingLeftOpen) {
  // An endpoint that stalls for ever: one recovery, then the chunk fails.
  printer.SetBulkRule({.stalls = -1});
  EXPECT_FALSE(SendBytes(Bytes(50)));
  EXPECT_EQ(printer.Submitted().size(), 2u);
  EXPECT_EQ(printer.Count().resets, 1);
  printer.SetBulkRule({});

  // Status answers longer than 8 bytes cannot be read; they do not stop the write.
  printer.QueueStatus(Answer(Bytes(16)));
  EXPECT_TRUE(SendBytes(Bytes(5)));

  // A data endpoint that stalls for ever: two recoveries, then the third stall ends the poll.
  for (int k = 0; k < 5; ++k) printer.QueueData({Kind::kStall, {}});
  std::uint8_t byte = 0;
  const int pollsBefore = printer.Count().dataRequests;
  EXPECT_FALSE(port.Receive(&byte, 1, 2000));
  EXPECT_EQ(printer.Count().dataRequests - pollsBefore, 3);

  // A poll that never completes: each one ends with its own time-out, and the receive
  // with its deadline.
  for (int k = 0; k < 5; ++k) printer.QueueData({Kind::kNoAnswer, {}});
  const auto since = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Receive(&byte, 1, 0));
  EXPECT_LT(RealMs(since), 2 * kUsbioControlTimeoutMs + 500);
  printer.ClearReplies();

  // Pulled out while a poll is answered: the reopen finds the device going, then gone.
  printer.QueueData({Kind::kGone, {}});
  EXPECT_FALSE(port.Receive(&byte, 1, 2000));
  EXPECT_FALSE(printer.Plugged());
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(NothingMoreOpenThan(baseline));
  ASSERT_TRUE(printer.Plug(6));

  // Removed while claimed: the next command finds it gone, tries to reopen, and fails.
  ASSERT_TRUE(port.Open(9600));
  printer.Unplug();
  EXPECT_FALSE(SendBytes(Bytes(5)));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(printer.Written().size(), 5u);
  EXPECT_EQ(printer.Count().unknownRequests, 0);
}

TEST_F(EmulatedLinkTest, APrinterThatStaysBusyFailsTheChunkAfterTenSecondsPolledAtItsPace) {
  ASSERT_TRUE(port.Open(9600));
  printer.SetStandingStatus({0x60, 0, 0, 0, 0, 0, 0, 0});  // s0 bits 5 and 6
  const int before = printer.Count().statusRequests;
  const auto since = std::chrono::steady_clock::now();
  EXPECT_FALSE(SendBytes(Bytes(10)));
  const int checks = printer.Count().statusRequests - before;
  EXPECT_LE(checks, kUsbBusyLimitMs / kUsbBusyPollMs + 1) << "a status check every 5 ms at most";
  EXPECT_GE(clock.Skipped(), std::int64_t{checks - 1} * kUsbBusyPollMs);
  EXPECT_TRUE(printer.Written().empty());
  EXPECT_LT(RealMs(since), 5000);

  // Busy no more: the same link sends.
  printer.SetStandingStatus(std::vector<std::uint8_t>(8, 0));
  EXPECT_TRUE(SendBytes(Bytes(10)));
}

// Broken descriptors: the printer is not opened, nothing is claimed, nothing is left
// open, and the link says so at once or after its second attempt.
class EmulatedBadDescriptorTest : public ::testing::TestWithParam<const char*> {};

TEST_P(EmulatedBadDescriptorTest, FailsTheOpenCleanly) {
  if (!EmulatedPrinter::Available()) GTEST_SKIP() << kSkipReason;
  EmulatedPrinter printer(EmulatedPrinter::LoadDescription(GetParam()));
  ASSERT_TRUE(printer.Plug(4));
  LibusbBackend backend;
  BusClock clock(printer);
  std::vector<UsbDeviceInfo> devices;
  ASSERT_EQ(backend.Enumerate({&kPrinterId, 1}, &devices), UsbError::kSuccess);
  // A first failed open brings up whatever umockdev's side keeps for a device once touched.
  CUsbLink(backend, clock, {kPrinterId}).EnsureOpen();
  const OpenFiles before = CountOpenFiles();
  {
    CUsbLink link(backend, clock, {kPrinterId});
    EXPECT_FALSE(link.EnsureOpen());
    EXPECT_NE(link.LastOpenStatus(), kUsbioOk);
    EXPECT_FALSE(link.IsOpen());
    CUsbPort port(link);
    const std::uint8_t frame[4] = {1, 2, 3, 4};
    EXPECT_FALSE(port.Send(frame, 4, 0));
  }
  EXPECT_EQ(printer.Count().claims, 0);
  EXPECT_EQ(printer.Written().size(), 0u);
  EXPECT_EQ(printer.InFlight(), 0);
  EXPECT_TRUE(NothingMoreOpenThan(before));
}

INSTANTIATE_TEST_SUITE_P(Descriptions, EmulatedBadDescriptorTest,
                         ::testing::Values("absurd-descriptors.umockdev", "truncated-descriptors.umockdev"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param).find("absurd") == 0 ? "AbsurdLengths" : "CutShort";
                         });

}  // namespace
}  // namespace tervane

// Started without umockdev's preload library, the program starts itself again with it
// (as umockdev-wrapper would); the tests skip, saying why, only when even then it is not
// active. The sanitizer runtime, when there is one, must not refuse to come second.
int main(int argc, char** argv) {
  if (!tervane::testing::EmulatedPrinter::Available() && std::getenv("TERVANE_UMOCKDEV_RESTARTED") == nullptr) {
    setenv("TERVANE_UMOCKDEV_RESTARTED", "1", 1);
    const char* preload = std::getenv("LD_PRELOAD");
    std::string libraries = "libumockdev-preload.so.0";
    if (preload != nullptr && *preload != '\0') libraries += std::string(":") + preload;
    setenv("LD_PRELOAD", libraries.c_str(), 1);
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string options = asan != nullptr ? std::string(asan) + ":" : std::string();
    setenv("ASAN_OPTIONS", (options + "verify_asan_link_order=0").c_str(), 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "cannot restart with umockdev's preload library: %s\n", std::strerror(errno));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
