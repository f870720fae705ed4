// A printer on USB reached by the memory libraries: the workbench lets go of its USB link
// for the library call and takes it again after, and the library drives the printer with
// USB link code of its own. The printer is the simulator's command engine behind the
// fake USB back-end; a whole detail-tape download and the public-key print run over "USB".
#include <gtest/gtest.h>

#include "core/app/model_table.h"
#include "core/fiscalmemory/key_print.h"
#include "core/fiscalmemory/memory_test_support.h"
#include "core/fiscalmemory/usb_hand_over.h"
#include "sim/command_handler.h"
#include "sim/history.h"
#include "support/fake_usb_backend.h"
#include "core/transport/usb_link.h"
#include "core/transport/usb_port.h"
#include "vendor/download/memory_download.h"
#include "vendor/formats/mfd_file.h"
#include "vendor/formats/pub_file.h"

namespace tervane::testing {
namespace {

using Op = FakeUsbBackend::Op;
const std::vector<UsbHardwareId> kIds = {{0x7e4a, 0x0001}};

// The simulated printer behind the fake back-end: the frames written to it go to the
// command engine, whose replies are handed over 8 bytes per data poll.
struct UsbPrinter {
  UsbPrinter() {
    sim::SeedHistory(state, 2);
    usb.onCall = [this](Op op) {
      if (op == Op::kPoll) Serve();
    };
  }
  void Serve() {
    for (; taken < usb.bulkWrites.size(); ++taken)
      pending.insert(pending.end(), usb.bulkWrites[taken].begin(), usb.bulkWrites[taken].end());
    while (pending.size() >= 3) {
      const std::size_t length = 3 + static_cast<std::size_t>(pending[1] | (pending[2] << 8));
      if (pending.size() < length) break;
      const sim::Bytes frame(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
      usb.QueueData(handler.Handle(frame));
    }
  }
  FakeClock clock;
  FakeUsbBackend usb{clock};
  sim::PrinterState state;
  sim::CommandHandler handler{state, clock};
  std::size_t taken = 0;
  std::vector<std::uint8_t> pending;
};

// What a library holding its own USB access has: its own link on the same device.
struct LibraryUsb final : PortFactory {
  explicit LibraryUsb(UsbPrinter& p) : printer(p), link(p.usb, p.clock, kIds) {}
  std::unique_ptr<CPort> Create(const std::string&) override { return std::make_unique<CUsbPort>(link); }
  UsbPrinter& printer;
  CUsbLink link;
  int handlesHeldByOthers = -1;  // the device's open handles when the library started
};

UsbPrinter* g_printer = nullptr;
LibraryUsb* g_library = nullptr;

int Download(vendor::DownloadKind kind, const char* port, const char* file) {
  g_library->handlesHeldByOthers = g_printer->usb.OpenHandles();
  vendor::DownloadAsk ask;
  ask.kind = kind;
  const int code = vendor::DownloadToFile(*g_library, g_printer->clock, port, ask, file);
  g_library->link.CloseAll();  // the library lets go of the device when it is done
  return code;
}
int DownloadMfd(const char* port, const char* file, const char*, const char*, const char*, const char*) {
  return Download(vendor::DownloadKind::kMfd, port, file);
}
int DownloadPublicKey(const char* port, const char* file) {
  return Download(vendor::DownloadKind::kPublicKey, port, file);
}

class UsbLibraryTest : public MemoryToolTest {
 protected:
  void SetUp() override {
    MemoryToolTest::SetUp();
    g_printer = &printer_;
    g_library = &library_;
    loader_.Provide(kVendorLibrary2, "KeloDownloadMFD", &DownloadMfd);
    loader_.Provide(kVendorLibrary2, "KeloDownloadPublicKey", &DownloadPublicKey);
    SetModel(PadModelName("ZT-400 A"), 16384);
    settings_.g_portName = "USB";
    context_.usbLink = &workbench_;
    ASSERT_TRUE(workbench_.EnsureOpen());  // the workbench has been talking to the printer
    held_ = printer_.usb.OpenHandles();      // its device and pipe handles
    ASSERT_GT(held_, 0);
  }
  void TearDown() override {
    g_printer = nullptr;
    g_library = nullptr;
    MemoryToolTest::TearDown();
  }

  int held_ = 0;
  UsbPrinter printer_;
  CUsbLink workbench_{printer_.usb, printer_.clock, kIds};
  LibraryUsb library_{printer_};
};

TEST_F(UsbLibraryTest, WholeDetailTapeDownloadOverUsb) {
  MemoryRangeForm all;
  all.kind = MemoryRangeForm::Kind::kTotal;
  prompter_.QueueMemoryRange(all).QueueSaveFile(Path("fita.mfd"));
  const MemoryOutcome outcome = DownloadMemory(context_, MemoryDownload::kMfd);
  ASSERT_EQ(outcome.code, vendor::kDownloadOk);
  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(library_.handlesHeldByOthers, 0);          // the workbench had let go
  EXPECT_EQ(printer_.usb.OpenHandles(), held_);        // and holds it again
  vendor::MfdContents tape;
  ASSERT_TRUE(vendor::ReadMfdFile(Path("fita.mfd"), tape).ok());
  EXPECT_EQ(tape.header.serial, printer_.state.serial);
  EXPECT_GT(tape.entries.size(), 10u);
}

TEST_F(UsbLibraryTest, KeyPrintOverUsb) {
  // The library downloads the key over its link, the workbench prints it over its own.
  ExchangeContext exchange = context_.exchange;
  struct WorkbenchUsb final : PortFactory {
    explicit WorkbenchUsb(CUsbLink& l) : link(l) {}
    std::unique_ptr<CPort> Create(const std::string&) override { return std::make_unique<CUsbPort>(link); }
    CUsbLink& link;
  } ports(workbench_);
  context_.exchange.ports = &ports;
  const KeyPrintResult result = PrintPublicKeyReport(context_);
  EXPECT_EQ(result.outcome.code, 1);
  EXPECT_EQ(result.commandsFailed, 0);
  EXPECT_EQ(library_.handlesHeldByOthers, 0);
  EXPECT_TRUE(result.outcome.succeeded);
  // The four print commands reached the printer: it printed a management report.
  bool report = false;
  for (const auto& e : printer_.state.memories.tape)
    if (const auto* d = std::get_if<vendor::MfdDocument>(&e)) report |= d->kind == vendor::DocumentKind::kManagementReport;
  EXPECT_TRUE(report);
  context_.exchange = exchange;
}

TEST_F(UsbLibraryTest, OtherPortsAreNotTouched) {
  settings_.g_portName = "/dev/ttyFAKE";
  {
    UsbHandOver handOver(context_);
    EXPECT_EQ(printer_.usb.OpenHandles(), held_);
  }
  EXPECT_EQ(printer_.usb.OpenHandles(), held_);
}

}  // namespace
}  // namespace tervane::testing
