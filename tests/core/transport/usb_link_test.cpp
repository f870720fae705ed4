// The USB link and port against the scripted printer: chunking, polling, busy and fault
// statuses, recovery, removal, and the limits on every wait (simulated time).
#include <gtest/gtest.h>

#include <numeric>

#include "support/fake_usb_backend.h"
#include "core/transport/usb_link.h"
#include "core/common/charset.h"
#include "core/transport/open_failure.h"
#include "core/transport/usb_port.h"

namespace tervane {
namespace {

using testing::FakeClock;
using testing::FakeUsbBackend;
using Op = FakeUsbBackend::Op;

const std::vector<std::uint8_t> kMarker{'K', 'E', 'L', 'O', 'O', 'L', 'E', 'K'};

std::vector<std::uint8_t> Bytes(int count) {
  std::vector<std::uint8_t> bytes(static_cast<size_t>(count));
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

class UsbLinkTest : public ::testing::Test {
 protected:
  std::int64_t Since(std::int64_t start) { return clock.MonotonicMs() - start; }
  // As the exchange does it: open, then send.
  bool SendBytes(const std::vector<std::uint8_t>& bytes) {
    port.Open(9600);
    return port.Send(bytes.data(), static_cast<int>(bytes.size()), 20000);
  }

  FakeClock clock;
  FakeUsbBackend usb{clock};
  CUsbLink link{usb, clock, {{0x1234, 0x0001}, {0x7e4a, 0x0001}}};
  CUsbPort port{link};
};

TEST_F(UsbLinkTest, OpensOnceConfiguredAndBoundAndStaysOpenAcrossCommands) {
  ASSERT_TRUE(port.Open(9600));
  EXPECT_EQ(usb.calls, (std::vector<Op>{Op::kEnumerate, Op::kOpen, Op::kDriverInfo, Op::kClaim, Op::kOpen,
                                         Op::kDriverInfo, Op::kConfig, Op::kConfig}));
  EXPECT_EQ(usb.OpenHandles(), 2) << "a control handle and a pipe handle";
  port.Close();
  CUsbPort next(link);
  usb.ClearRecords();
  EXPECT_TRUE(next.Open(9600));
  EXPECT_TRUE(usb.calls.empty()) << "an open link is not opened again";
  {
    CUsbLink scoped(usb, clock, {{0x7e4a, 0x0001}});
    link.CloseAll();
    EXPECT_TRUE(scoped.EnsureOpen());
  }
  EXPECT_EQ(usb.OpenHandles(), 0) << "the link's end closes its handles";
  EXPECT_EQ(usb.badHandleCalls, 0);
}

TEST_F(UsbLinkTest, FramesGoOutIn512ByteChunksEachAfterAStatusCheck) {
  const auto frame = Bytes(1300);
  ASSERT_TRUE(SendBytes(frame));
  EXPECT_EQ(usb.Trace(), "S512 S512 S276 ");
  EXPECT_EQ(usb.Written(), frame);

  // A printer taking less than offered gets the rest in further transfers of the chunk.
  usb.ClearRecords();
  usb.bulkAcceptLimit = 200;
  ASSERT_TRUE(SendBytes(Bytes(600)));
  EXPECT_EQ(usb.Trace(), "S200 200 112 S88 ");
  EXPECT_EQ(usb.Written(), Bytes(600));
}

TEST_F(UsbLinkTest, EightDataBytesArePolledOnceThenReadOneAtATime) {
  usb.QueueAnswer({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'});
  std::string got;
  for (int k = 0; k < 8; ++k) {
    std::uint8_t byte = 0;
    ASSERT_TRUE(port.Receive(&byte, 1, 2000)) << k;
    got += static_cast<char>(byte);
  }
  EXPECT_EQ(got, "ABCDEFGH");
  EXPECT_EQ(usb.Count(Op::kPoll), 1);

  // Bytes left over survive to the next read unless purged.
  usb.QueueAnswer({'x', 'y'});
  std::uint8_t byte = 0;
  ASSERT_TRUE(port.Receive(&byte, 1, 2000));
  EXPECT_EQ(link.Buffered(), 1u);
  EXPECT_TRUE(port.Purge());
  EXPECT_EQ(link.Buffered(), 0u);
}

TEST_F(UsbLinkTest, AnIdlePrinterEndsAReceiveAtItsTimeOutPlusHalfASecond) {
  std::uint8_t byte = 0;
  std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(port.Receive(&byte, 1, 2000));
  EXPECT_GE(Since(start), 2500);
  EXPECT_LE(Since(start), 2540);
  EXPECT_LE(usb.Count(Op::kPoll), 2540 / 30) << "idle answers are paced by 30 ms";
  EXPECT_FALSE(port.LinkLost()) << "an idle printer is a live link";

  // With a long time-out, 1000 idle answers in a row are allowed, the next ends it.
  usb.ClearRecords();
  start = clock.MonotonicMs();
  EXPECT_FALSE(port.Receive(&byte, 1, 600000));
  EXPECT_EQ(usb.Count(Op::kPoll), 1001);
  EXPECT_LT(Since(start), 40000);

  // ...in a row: data in between starts the count again.
  usb.ClearRecords();
  for (int k = 0; k < 900; ++k) usb.QueueAnswer(kMarker);
  usb.QueueAnswer({'1'});
  for (int k = 0; k < 900; ++k) usb.QueueAnswer(kMarker);
  usb.QueueAnswer({'2'});
  std::uint8_t two[2] = {};
  ASSERT_TRUE(port.Receive(two, 2, 600000));
  EXPECT_EQ(two[0], '1');
  EXPECT_EQ(two[1], '2');
}

TEST_F(UsbLinkTest, APartialReplyThatTimesOutIsKeptForTheNextRead) {
  usb.QueueAnswer({7, 8});
  std::uint8_t buffer[4] = {};
  EXPECT_FALSE(port.Receive(buffer, 4, 100));
  EXPECT_EQ(link.Buffered(), 2u);
  ASSERT_TRUE(port.Receive(buffer, 2, 100));
  EXPECT_EQ(buffer[0], 7);
  EXPECT_EQ(buffer[1], 8);
}

TEST_F(UsbLinkTest, AFaultStatusClosesTheDeviceAndTheChunkFollowsAFullReopen) {
  ASSERT_TRUE(port.Open(9600));
  // s1 bit 6 (paper out), s0 bit 2, s2 bit 5.
  for (const auto& status : {FakeUsbBackend::Status{0, 0x40}, FakeUsbBackend::Status{0x04},
                             FakeUsbBackend::Status{0, 0, 0x20}}) {
    usb.ClearRecords();
    usb.QueueStatus(status);
    const int opensBefore = usb.successfulOpens;
    ASSERT_TRUE(SendBytes(Bytes(10)));
    EXPECT_EQ(usb.successfulOpens, opensBefore + 2) << "device and pipe reopened";
    const auto enumerate = std::find(usb.calls.begin(), usb.calls.end(), Op::kEnumerate);
    const auto bulk = std::find(usb.calls.begin(), usb.calls.end(), Op::kBulk);
    EXPECT_TRUE(enumerate < bulk) << "the reopen comes before the chunk";
    EXPECT_EQ(usb.Written(), Bytes(10));
    EXPECT_EQ(usb.OpenHandles(), 2);
  }
}

TEST_F(UsbLinkTest, ABusyPrinterIsWaitedForUpToTenSeconds) {
  usb.BusyFor(3000);
  std::int64_t start = clock.MonotonicMs();
  ASSERT_TRUE(SendBytes(Bytes(5)));
  EXPECT_GE(Since(start), 3000);
  EXPECT_LT(Since(start), 3020);

  usb.ClearRecords();
  usb.BusyFor(60000);
  start = clock.MonotonicMs();
  EXPECT_FALSE(SendBytes(Bytes(5)));
  EXPECT_GE(Since(start), 10000);
  EXPECT_LT(Since(start), 10020);
  EXPECT_EQ(usb.Count(Op::kBulk), 0);
  EXPECT_LE(usb.Count(Op::kStatus), 10000 / 5 + 1) << "checks are 5 ms apart";

  // Busy through s3 bit 2: each such answer costs half a second.
  usb.BusyFor(0);
  usb.ClearRecords();
  usb.QueueStatus({0, 0, 0, 0x04});
  usb.QueueStatus({0, 0, 0, 0x04});
  start = clock.MonotonicMs();
  ASSERT_TRUE(SendBytes(Bytes(5)));
  EXPECT_GE(Since(start), 1000);
  EXPECT_EQ(usb.Trace(), "SSS5 ");
}

TEST_F(UsbLinkTest, RemovalBetweenCommandsLeadsToAReopenAttemptAndAZeroResult) {
  ASSERT_TRUE(SendBytes(Bytes(5)));
  usb.Unplug();
  usb.ClearRecords();
  CUsbPort next(link);
  EXPECT_TRUE(next.Open(9600)) << "the link still believes itself open";
  EXPECT_TRUE(next.Purge());
  EXPECT_FALSE(next.Send(Bytes(5).data(), 5, 20000));
  EXPECT_EQ(usb.calls, (std::vector<Op>{Op::kStatus, Op::kEnumerate})) << "device removed, then a reopen";
  EXPECT_EQ(next.LinkLoss().kind, LinkLossKind::kDeviceRemoved);
  EXPECT_FALSE(next.Open(9600));
  EXPECT_EQ(usb.OpenHandles(), 0);
  EXPECT_FALSE(link.IsOpen());
  std::uint8_t byte;
  EXPECT_FALSE(next.Receive(&byte, 1, 2000));

  usb.Plug();
  ASSERT_TRUE(next.Open(9600));
  EXPECT_FALSE(next.LinkLost()) << "a new open starts with a live link";
  EXPECT_FALSE(link.DeviceRemoved());
  ASSERT_TRUE(next.Send(Bytes(5).data(), 5, 20000)) << "plugged back, the next command goes through";
  EXPECT_EQ(usb.OpenHandles(), 2);
}

TEST_F(UsbLinkTest, OpeningTakesTwoAttemptsWithRecoveryAndGivesUpAtOnceWithoutAPrinter) {
  usb.Fail(Op::kClaim, UsbError::kIo);
  std::int64_t start = clock.MonotonicMs();
  ASSERT_TRUE(link.EnsureOpen());
  EXPECT_EQ(usb.Count(Op::kClearHalt), 1);
  EXPECT_EQ(usb.Count(Op::kReset), 1);
  EXPECT_GE(Since(start), 200);

  link.CloseAll();
  usb.FailAlways(Op::kClaim, UsbError::kIo);
  EXPECT_FALSE(link.EnsureOpen());
  EXPECT_EQ(usb.Count(Op::kEnumerate), 4) << "two attempts";
  EXPECT_EQ(usb.OpenHandles(), 0);
  usb.StopFailing();

  // A driver layer of another version is refused and its handle closed.
  usb.apiVersion = 0x0140;
  EXPECT_FALSE(link.EnsureOpen());
  EXPECT_EQ(link.LastOpenStatus(), kUsbioVersionMismatch);
  EXPECT_EQ(usb.OpenHandles(), 0);
  usb.apiVersion = kUsbioApiVersion;

  // No printer plugged in, or no USB at all: false at once, no recovery pause.
  usb.ClearRecords();
  usb.Unplug();
  start = clock.MonotonicMs();
  EXPECT_FALSE(port.Open(9600));
  usb.enumerationWorks = false;
  EXPECT_FALSE(port.Open(9600));
  EXPECT_LT(Since(start), 10);
  EXPECT_EQ(usb.Count(Op::kEnumerate), 2);
  EXPECT_EQ(usb.badHandleCalls, 0);
}

TEST_F(UsbLinkTest, AWriteRecoversOnceFromAStallAndReopensAfterRemovalMidChunk) {
  usb.Fail(Op::kBulk, UsbError::kPipe);
  ASSERT_TRUE(SendBytes(Bytes(20)));
  EXPECT_EQ(usb.Count(Op::kClearHalt), 1);
  EXPECT_EQ(usb.Written(), Bytes(20));

  usb.ClearRecords();
  usb.Fail(Op::kBulk, UsbError::kIo, 2);
  EXPECT_FALSE(SendBytes(Bytes(20))) << "a second not-responding answer fails the chunk";

  // Gone after taking 200 bytes of a chunk, back at once: the rest follows the reopen,
  // nothing repeated, nothing lost.
  usb.ClearRecords();
  usb.Fail(Op::kBulk, FakeUsbBackend::Fault{UsbError::kNoDevice, 200, true});
  usb.onCall = [&](Op op) {
    if (op == Op::kEnumerate && !usb.present) usb.Plug();
  };
  ASSERT_TRUE(SendBytes(Bytes(512)));
  EXPECT_EQ(usb.Trace(), "S200 312 ");
  EXPECT_EQ(usb.Written(), Bytes(512));

  // Gone for good: a zero result and no handle left behind.
  usb.onCall = nullptr;
  usb.Fail(Op::kBulk, FakeUsbBackend::Fault{UsbError::kNoDevice, 100, true});
  EXPECT_FALSE(SendBytes(Bytes(512)));
  EXPECT_EQ(usb.OpenHandles(), 0);
  EXPECT_EQ(usb.badHandleCalls, 0);
}

TEST_F(UsbLinkTest, AHungPrinterFailsTheChunkWithinFortySeconds) {
  ASSERT_TRUE(link.EnsureOpen());
  usb.FailAlways(Op::kBulk, UsbError::kTimeout);
  usb.FailAlways(Op::kStatus, UsbError::kTimeout);
  usb.FailAlways(Op::kPoll, UsbError::kTimeout);
  std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(SendBytes(Bytes(1300)));
  EXPECT_LE(Since(start), kUsbioControlTimeoutMs + kUsbTransferLimitMs);
  EXPECT_EQ(usb.Count(Op::kStatus), 1) << "an unanswered status counts as not busy, once";
  for (unsigned timeout : usb.bulkTimeouts) EXPECT_LE(timeout, unsigned(kUsbTransferLimitMs));

  start = clock.MonotonicMs();
  std::uint8_t byte;
  EXPECT_FALSE(port.Receive(&byte, 1, 2000));
  EXPECT_GE(Since(start), 2500);
  EXPECT_LE(Since(start), 2500 + kUsbioControlTimeoutMs);
  EXPECT_LE(usb.Count(Op::kPoll), 6) << "each timed-out poll took its own time-out";
  EXPECT_EQ(usb.OpenHandles(), 2);
}

TEST_F(UsbLinkTest, PollFaultsRecoverTwiceAndIgnoreOverrunsWithoutSpinning) {
  usb.Fail(Op::kPoll, UsbError::kPipe, 2);
  usb.QueueAnswer({'o', 'k'});
  std::uint8_t two[2];
  ASSERT_TRUE(port.Receive(two, 2, 2000));
  EXPECT_EQ(usb.Count(Op::kClearHalt), 2);

  usb.Fail(Op::kPoll, UsbError::kIo, 3);
  EXPECT_FALSE(port.Receive(two, 1, 2000)) << "the third not-responding answer ends the poll";

  // Answers longer than 8 bytes are overruns: ignored, paced, never copied past 8 bytes.
  usb.StopFailing();
  usb.ClearRecords();
  usb.QueueAnswer(Bytes(12));
  usb.QueueAnswer({'z'});
  ASSERT_TRUE(port.Receive(two, 1, 2000));
  EXPECT_EQ(two[0], 'z');
  usb.honestOverflow = false;  // a back-end claiming to have delivered 12 bytes
  usb.idleAnswer = Bytes(12);
  std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(port.Receive(two, 1, 2000));
  EXPECT_EQ(link.Buffered(), 0u);
  EXPECT_LE(usb.Count(Op::kPoll), 2 + 2540 / 30);

  // Empty answers are paced too.
  usb.idleAnswer = std::vector<std::uint8_t>{};
  usb.ClearRecords();
  start = clock.MonotonicMs();
  EXPECT_FALSE(port.Receive(two, 1, 2000));
  EXPECT_LE(usb.Count(Op::kPoll), 2540 / 30);
  EXPECT_GE(Since(start), 2500);
}

TEST_F(UsbLinkTest, AStatusThatOverrunsOrAnEndpointThatStallsForeverEndsInBoundedTime) {
  // A status answer longer than 8 bytes, or a status request that always stalls: the
  // status cannot be read, which counts as not busy, once per chunk.
  for (const UsbError error : {UsbError::kOverflow, UsbError::kPipe}) {
    usb.ClearRecords();
    usb.FailAlways(Op::kStatus, error);
    ASSERT_TRUE(SendBytes(Bytes(600)));
    EXPECT_EQ(usb.Trace(), "S512 S88 ");
    usb.StopFailing();
  }
  // A bulk endpoint that stalls forever: one recovery pair, then a zero result, with
  // nothing leaked and no loop.
  usb.ClearRecords();
  usb.FailAlways(Op::kBulk, UsbError::kPipe);
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(port.Send(Bytes(5).data(), 5, 20000));
  EXPECT_LT(Since(start), 1000);
  EXPECT_EQ(usb.Count(Op::kBulk), 2);
  EXPECT_EQ(usb.Count(Op::kReset), 1);
  EXPECT_FALSE(port.LinkLost()) << "a stalled printer is still there";
  EXPECT_EQ(usb.OpenHandles(), 2);
  link.CloseAll();
  EXPECT_EQ(usb.OpenHandles(), 0);
  EXPECT_EQ(usb.badHandleCalls, 0);
}

TEST_F(UsbLinkTest, ADeviceGoneInTheMiddleOfAPollGivesZeroAndNoLeakedHandle) {
  usb.QueueAnswer({'a', 'b', 'c'});
  usb.onCall = [&](Op op) {
    if (op == Op::kPoll && usb.Count(Op::kPoll) == 2) usb.Unplug();
  };
  std::uint8_t buffer[5];
  const std::int64_t start = clock.MonotonicMs();
  EXPECT_FALSE(port.Receive(buffer, 5, 2000));
  EXPECT_LT(Since(start), 100) << "a removed printer is not waited for";
  EXPECT_EQ(port.LinkLoss().kind, LinkLossKind::kDeviceRemoved);
  EXPECT_EQ(usb.OpenHandles(), 0);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(usb.Count(Op::kPoll), 2);
  EXPECT_EQ(link.Buffered(), 3u) << "what came before the removal is not thrown away by the poll";

  // A status request that ends with the device gone closes everything as well.
  usb.Plug();
  ASSERT_TRUE(link.EnsureOpen());
  usb.Fail(Op::kStatus, FakeUsbBackend::Fault{UsbError::kNoDevice, 0, true});
  std::uint8_t status[8];
  EXPECT_FALSE(link.ReadStatus(status));
  EXPECT_EQ(usb.OpenHandles(), 0);
  EXPECT_EQ(usb.badHandleCalls, 0);
}

TEST_F(UsbLinkTest, NoPermissionHeldElsewhereAndAbsentAreToldApartAndNeverReset) {
  struct Case {
    Op op;
    UsbError error;
    OpenFailureKind kind;
    const char* text;
  } cases[] = {
      {Op::kOpen, UsbError::kAccess, OpenFailureKind::kPermission, "sem permissão para abrir a impressora USB"},
      {Op::kClaim, UsbError::kBusy, OpenFailureKind::kBusy, "a impressora USB está em uso por outro programa"},
  };
  for (const Case& k : cases) {
    usb.ClearRecords();
    usb.FailAlways(k.op, k.error);
    CUsbPort attempt(link);
    const std::int64_t start = clock.MonotonicMs();
    EXPECT_FALSE(attempt.Open(9600));
    EXPECT_LT(Since(start), kUsbRecoveryPauseMs) << "no pause, no second attempt";
    EXPECT_EQ(usb.Count(Op::kOpen), 1);
    EXPECT_EQ(usb.Count(Op::kClearHalt), 0) << "no recovery for a device that is not ours";
    EXPECT_EQ(usb.Count(Op::kReset), 0);
    EXPECT_EQ(usb.OpenHandles(), 0);
    EXPECT_EQ(attempt.OpenFailure().kind, k.kind);
    EXPECT_EQ(attempt.OpenFailure().device, "/dev/bus/usb/001/004");
    const std::string text = OpenFailureText("USB", attempt.OpenFailure());
    EXPECT_NE(text.find(Cp("Não foi possível abrir a porta USB (/dev/bus/usb/001/004): ") + Cp(k.text)),
              std::string::npos)
        << Cp1252ToUtf8(text);
    usb.StopFailing();
  }
  const std::string permission = OpenFailureText("USB", {OpenFailureKind::kPermission, 0, "/dev/bus/usb/001/004"});
  EXPECT_NE(permission.find("tervane-cli usb install"), std::string::npos);

  // Not present: the third text, and still nothing reset.
  usb.ClearRecords();
  usb.Unplug();
  CUsbPort absent(link);
  EXPECT_FALSE(absent.Open(9600));
  EXPECT_EQ(absent.OpenFailure().kind, OpenFailureKind::kMissing);
  EXPECT_NE(OpenFailureText("USB", absent.OpenFailure()).find("nenhuma impressora USB foi encontrada"),
            std::string::npos);
  EXPECT_EQ(usb.Count(Op::kReset), 0);

  // Another failure keeps the two attempts with the recovery pair between them.
  usb.Plug();
  usb.ClearRecords();
  usb.Fail(Op::kClaim, UsbError::kIo, 2);
  CUsbPort stalled(link);
  EXPECT_FALSE(stalled.Open(9600));
  EXPECT_EQ(usb.Count(Op::kOpen), 2);
  EXPECT_EQ(usb.Count(Op::kReset), 1);
  EXPECT_EQ(stalled.OpenFailure().kind, OpenFailureKind::kOther);
  EXPECT_EQ(usb.OpenHandles(), 0);
}

}  // namespace
}  // namespace tervane
