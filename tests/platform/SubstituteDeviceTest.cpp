// The serial calls against the substitute device: waits, overlapped writes,
// line settings, line events, unplugging, and the device's fault injection.
#include <gtest/gtest.h>

#include <thread>

#include "CommTestSupport.h"
#include "substitutedevice.h"
#include "systemroot.h"
#include "windows.h"

using namespace qorv::platform;
using qorv::test::OpenComPort;
using qorv::test::Overlapped;

namespace {

constexpr int kPort = 9;
const auto kBound = std::chrono::seconds(10);

class SubstitutePortTest : public testing::Test {
 protected:
  void SetUp() override {
    device = SubstituteDevice::Create("sub");
    ASSERT_TRUE(WriteDeviceMapping(kPort, "substitute:sub"));
    port = OpenComPort(kPort);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  }
  std::vector<std::uint8_t> ReadAll() {
    std::vector<std::uint8_t> bytes(65536);
    DWORD n = 0;
    Overlapped read;
    EXPECT_TRUE(ReadFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &n, &read.record));
    bytes.resize(n);
    return bytes;
  }
  // Starts a wait that must stay pending.
  void StartPendingWait(Overlapped& wait, DWORD& mask) {
    ASSERT_FALSE(WaitCommEvent(port, &mask, &wait.record));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  }

  std::shared_ptr<SubstituteDevice> device;
  HANDLE port = INVALID_HANDLE_VALUE;
};

DWORD ResultOf(HANDLE port, Overlapped& op, DWORD* count = nullptr) {
  DWORD n = 0;
  BOOL ok = GetOverlappedResult(port, &op.record, &n, TRUE);
  if (count) *count = n;
  return ok ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

// ---- opening ----

TEST_F(SubstitutePortTest, SecondOpenIsDeniedUntilTheFirstHandleCloses) {
  EXPECT_EQ(OpenComPort(kPort), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(CloseHandle(port));
  EXPECT_FALSE(device->IsOpen());
  port = OpenComPort(kPort);
  EXPECT_NE(port, INVALID_HANDLE_VALUE);
}

TEST(SubstituteOpen, UnmappedPortsUnknownDevicesAndBadNamesAreNotFound) {
  auto device = SubstituteDevice::Create("known");
  ASSERT_TRUE(WriteDeviceMapping(3, "substitute:unknown"));
  ASSERT_TRUE(WriteDeviceMapping(4, "substitute:known"));
  ASSERT_TRUE(WriteDeviceMapping(255, "substitute:known"));
  for (const char* name : {"\\\\.\\COM3", "\\\\.\\COM5", "\\\\.\\COM0", "\\\\.\\COM256", "\\\\.\\COMx", "\\\\.\\COM",
                           "\\\\.\\LPT4", "\\\\.\\COM4a"}) {
    HANDLE h =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << name;
  }
  // Both ends of the number range, and the prefix in lower case.
  for (const char* name : {"\\\\.\\COM4", "\\\\.\\com255"}) {
    HANDLE h =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << name;
    CloseHandle(h);
  }
}

TEST(SubstituteOpen, FailedOpenLeavesTheDeviceClosedAndUsable) {
  auto device = SubstituteDevice::Create("flaky");
  ASSERT_TRUE(WriteDeviceMapping(2, "substitute:flaky"));
  device->FailCall(SubstituteOp::Open, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenComPort(2), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(device->IsOpen());
  HANDLE h = OpenComPort(2);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(device->IsOpen());
  CloseHandle(h);
}

// ---- event waits ----

TEST_F(SubstitutePortTest, SetCommMaskZeroEndsAPendingWaitWithAbortAndMaskZero) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  Overlapped wait;
  DWORD mask = 0xFFFF;
  StartPendingWait(wait, mask);
  DWORD n;
  EXPECT_FALSE(GetOverlappedResult(port, &wait.record, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
  EXPECT_FALSE(wait.Signalled());

  ASSERT_TRUE(SetCommMask(port, 0));
  EXPECT_TRUE(wait.WaitDone());
  EXPECT_EQ(ResultOf(port, wait), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(mask, 0u);
}

TEST_F(SubstitutePortTest, CancelIoEndsPendingWaitAndWritesButKeepsTheHandle) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  Overlapped wait, write;
  DWORD mask = 0xFFFF;
  StartPendingWait(wait, mask);
  device->SetWriteMode(SubstituteWriteMode::Pending);
  ASSERT_FALSE(WriteFile(port, "ab", 2, nullptr, &write.record));
  ASSERT_TRUE(CancelIo(port));
  EXPECT_EQ(ResultOf(port, wait), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(ResultOf(port, write), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(mask, 0u);
  EXPECT_TRUE(device->Written().empty());
  StartPendingWait(wait, mask);
  device->QueueInput("c");
  EXPECT_EQ(ResultOf(port, wait), ERROR_SUCCESS);
}

TEST_F(SubstitutePortTest, ResultOfAFinishedOperationOutlivesItsHandle) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  Overlapped wait;
  DWORD mask = 0;
  StartPendingWait(wait, mask);
  ASSERT_TRUE(CloseHandle(port));
  DWORD n;
  EXPECT_FALSE(GetOverlappedResult(port, &wait.record, &n, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  port = INVALID_HANDLE_VALUE;
  // A record that nothing will complete cannot be waited for without a device.
  Overlapped orphan;
  orphan.record.Internal = STATUS_PENDING;
  EXPECT_FALSE(GetOverlappedResult(reinterpret_cast<HANDLE>(0x7FFC), &orphan.record, &n, TRUE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(SubstitutePortTest, CloseHandleEndsAPendingWait) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_CTS));
  Overlapped wait;
  DWORD mask = 0xFFFF;
  StartPendingWait(wait, mask);
  ASSERT_TRUE(CloseHandle(port));
  port = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(wait.WaitDone());
  EXPECT_EQ(wait.record.Internal, ERROR_OPERATION_ABORTED);
  EXPECT_EQ(mask, 0u);
}

TEST_F(SubstitutePortTest, WaitCompletesWhenBytesArriveOnAnotherThread) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_CTS));
  Overlapped wait;
  DWORD mask = 0;
  StartPendingWait(wait, mask);
  std::thread peer([&] { device->QueueInput("ab"); });
  EXPECT_EQ(ResultOf(port, wait), ERROR_SUCCESS);
  peer.join();
  EXPECT_EQ(mask, EV_RXCHAR);
  EXPECT_EQ(ReadAll(), (std::vector<std::uint8_t>{'a', 'b'}));
  // Nothing left: a read returns at once with nothing.
  EXPECT_TRUE(ReadAll().empty());
}

TEST_F(SubstitutePortTest, SynchronousWaitBlocksUntilAnEvent) {
  ASSERT_TRUE(SetCommMask(port, EV_DSR));
  DWORD mask = 0;
  std::thread peer([&] { device->SetModemLines(MS_DSR_ON); });
  EXPECT_TRUE(WaitCommEvent(port, &mask, nullptr));
  peer.join();
  EXPECT_EQ(mask, EV_DSR);
}

TEST_F(SubstitutePortTest, EventsBetweenWaitsAreKeptUntilTheMaskChanges) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_ERR));
  device->QueueInput("x");
  device->RaiseLineErrors(CE_FRAME);
  Overlapped wait;
  DWORD mask = 0;
  ASSERT_TRUE(WaitCommEvent(port, &mask, &wait.record)) << "remembered events end the wait at once";
  EXPECT_EQ(mask, EV_RXCHAR | EV_ERR);
  EXPECT_TRUE(wait.Signalled());

  device->QueueInput("y");
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  Overlapped second;
  StartPendingWait(second, mask);
  ASSERT_TRUE(SetCommMask(port, 0));
  EXPECT_EQ(ResultOf(port, second), ERROR_OPERATION_ABORTED);
}

TEST_F(SubstitutePortTest, EventsOutsideTheMaskDoNotEndAWait) {
  ASSERT_TRUE(SetCommMask(port, EV_CTS));
  Overlapped wait;
  DWORD mask = 0;
  StartPendingWait(wait, mask);
  device->QueueInput("abc");
  device->RaiseLineErrors(CE_OVERRUN);
  EXPECT_FALSE(wait.Signalled());
  device->SetModemLines(MS_CTS_ON);
  EXPECT_EQ(ResultOf(port, wait), ERROR_SUCCESS);
  EXPECT_EQ(mask, EV_CTS);
}

TEST_F(SubstitutePortTest, OnlyOneWaitAndNoWaitWithoutAMask) {
  DWORD mask = 0;
  Overlapped first;
  EXPECT_FALSE(WaitCommEvent(port, &mask, &first.record));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << "mask 0";
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  StartPendingWait(first, mask);
  Overlapped second;
  DWORD secondMask = 0;
  EXPECT_FALSE(WaitCommEvent(port, &secondMask, &second.record));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  device->QueueInput("z");
  EXPECT_EQ(ResultOf(port, first), ERROR_SUCCESS);
}

TEST_F(SubstitutePortTest, RingTrailingEdgeIsRefusedUnlessTheDeviceAcceptsIt) {
  ASSERT_TRUE(SetCommMask(port, 0x21F9));
  DWORD mask = 0;
  Overlapped wait;
  EXPECT_FALSE(WaitCommEvent(port, &mask, &wait.record));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ASSERT_TRUE(SetCommMask(port, 0x1F9));
  StartPendingWait(wait, mask);
  ASSERT_TRUE(SetCommMask(port, 0));
  ASSERT_EQ(ResultOf(port, wait), ERROR_OPERATION_ABORTED);

  device->SetAcceptRingTrailingEdge(true);
  ASSERT_TRUE(SetCommMask(port, EV_RINGTE));
  device->SetModemLines(MS_RING_ON);
  Overlapped ring;
  StartPendingWait(ring, mask);
  device->SetModemLines(0);
  EXPECT_EQ(ResultOf(port, ring), ERROR_SUCCESS);
  EXPECT_EQ(mask, EV_RINGTE);
}

TEST_F(SubstitutePortTest, LineErrorsAreReportedOnceAndBreakHasItsOwnEvent) {
  ASSERT_TRUE(SetCommMask(port, EV_BREAK));
  Overlapped wait;
  DWORD mask = 0;
  StartPendingWait(wait, mask);
  device->RaiseLineErrors(CE_RXPARITY);
  EXPECT_FALSE(wait.Signalled());
  device->RaiseLineErrors(CE_BREAK);
  EXPECT_EQ(ResultOf(port, wait), ERROR_SUCCESS);
  EXPECT_EQ(mask, EV_BREAK);

  DWORD errors = 0;
  COMSTAT status{};
  ASSERT_TRUE(ClearCommError(port, &errors, &status));
  EXPECT_EQ(errors, CE_RXPARITY | CE_BREAK);
  ASSERT_TRUE(ClearCommError(port, &errors, nullptr));
  EXPECT_EQ(errors, 0u);
}

TEST_F(SubstitutePortTest, InputBeyondTheQueueIsDroppedWithOverrun) {
  ASSERT_TRUE(SetupComm(port, 16, 16));
  device->QueueInput(std::string(16, 'a'));
  DWORD errors = 0;
  COMSTAT status{};
  ASSERT_TRUE(ClearCommError(port, &errors, &status));
  EXPECT_EQ(errors, 0u) << "exactly full is no overrun";
  EXPECT_EQ(status.cbInQue, 16u);
  device->QueueInput("b");
  ASSERT_TRUE(ClearCommError(port, &errors, &status));
  EXPECT_EQ(errors, CE_RXOVER);
  EXPECT_EQ(ReadAll().size(), 16u);
  EXPECT_FALSE(SetupComm(port, 0, 16));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// ---- writes ----

TEST_F(SubstitutePortTest, PendingWriteCompletesLaterWithTheCountTaken) {
  device->SetWriteMode(SubstituteWriteMode::Pending);
  Overlapped write;
  DWORD n = 99;
  ASSERT_FALSE(WriteFile(port, "hello", 5, &n, &write.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  EXPECT_FALSE(GetOverlappedResult(port, &write.record, &n, FALSE));
  EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
  COMSTAT status{};
  ASSERT_TRUE(ClearCommError(port, nullptr, &status));
  EXPECT_EQ(status.cbOutQue, 5u);

  std::thread peer([&] { device->CompleteNextWrite(3); });
  EXPECT_EQ(ResultOf(port, write, &n), ERROR_SUCCESS);
  peer.join();
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(device->Written(), (std::vector<std::uint8_t>{'h', 'e', 'l'}));
}

TEST_F(SubstitutePortTest, WritesQueueBehindAPendingOneAndCompleteInOrder) {
  device->SetWriteMode(SubstituteWriteMode::Pending);
  Overlapped first, second;
  ASSERT_FALSE(WriteFile(port, "ab", 2, nullptr, &first.record));
  device->SetWriteMode(SubstituteWriteMode::Complete);
  ASSERT_FALSE(WriteFile(port, "cd", 2, nullptr, &second.record)) << "must not overtake the pending write";
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  ASSERT_TRUE(SetCommMask(port, EV_TXEMPTY));
  ASSERT_TRUE(device->CompleteNextWrite());
  EXPECT_FALSE(second.Signalled());
  ASSERT_TRUE(device->CompleteNextWrite());
  DWORD n = 0;
  EXPECT_EQ(ResultOf(port, second, &n), ERROR_SUCCESS);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(device->Written(), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd'}));
  DWORD mask = 0;
  Overlapped wait;
  EXPECT_TRUE(WaitCommEvent(port, &mask, &wait.record));
  EXPECT_EQ(mask, EV_TXEMPTY);
}

TEST_F(SubstitutePortTest, WriteThatFinishesAtOnceStillCompletesItsRecord) {
  Overlapped write;
  write.record.Internal = STATUS_PENDING;
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(port, "xyz", 3, &n, &write.record));
  EXPECT_EQ(n, 3u);
  EXPECT_TRUE(write.Signalled());
  EXPECT_EQ(ResultOf(port, write, &n), ERROR_SUCCESS);
  EXPECT_EQ(n, 3u);
}

TEST_F(SubstitutePortTest, FailedWritesReportTheirErrorAndTakeNothing) {
  device->SetWriteMode(SubstituteWriteMode::Fail, ERROR_GEN_FAILURE);
  Overlapped write;
  DWORD n = 7;
  EXPECT_FALSE(WriteFile(port, "abc", 3, &n, &write.record));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_EQ(n, 0u);

  device->SetWriteMode(SubstituteWriteMode::Pending);
  ASSERT_FALSE(WriteFile(port, "abc", 3, &n, &write.record));
  ASSERT_TRUE(device->FailNextWrite(ERROR_COUNTER_TIMEOUT));
  EXPECT_EQ(ResultOf(port, write, &n), ERROR_COUNTER_TIMEOUT);
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(device->Written().empty());
  EXPECT_FALSE(device->FailNextWrite(ERROR_GEN_FAILURE)) << "nothing left pending";
}

TEST_F(SubstitutePortTest, PurgeOfOutputAbortsPendingWritesAndInputIsDropped) {
  device->SetWriteMode(SubstituteWriteMode::Pending);
  Overlapped write;
  ASSERT_FALSE(WriteFile(port, "abc", 3, nullptr, &write.record));
  device->QueueInput("stale");
  ASSERT_TRUE(PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR));
  EXPECT_EQ(ResultOf(port, write), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(device->PendingWrites(), 0u);
  ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR));
  EXPECT_TRUE(ReadAll().empty());
  EXPECT_FALSE(PurgeComm(port, 0x10));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  auto log = device->LineLog();
  EXPECT_EQ(log, (std::vector<std::string>{"PURGE 0x05", "PURGE 0x0A"}));
}

TEST_F(SubstitutePortTest, SynchronousWriteWaitsForThePendingCompletion) {
  device->SetWriteMode(SubstituteWriteMode::Pending);
  std::thread peer([&] {
    ASSERT_TRUE(device->WaitForPendingWrites(1, kBound));
    device->CompleteNextWrite();
  });
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(port, "sync", 4, &n, nullptr));
  peer.join();
  EXPECT_EQ(n, 4u);
}

// ---- line settings and escape functions ----

TEST_F(SubstitutePortTest, InvalidLineSettingsAreRefusedAndChangeNothing) {
  DCB good{};
  ASSERT_TRUE(GetCommState(port, &good));
  struct Case {
    const char* what;
    void (*change)(DCB&);
  } cases[] = {
      {"baud 0", [](DCB& d) { d.BaudRate = 0; }},
      {"4 data bits", [](DCB& d) { d.ByteSize = 4; }},
      {"9 data bits", [](DCB& d) { d.ByteSize = 9; }},
      {"parity 5", [](DCB& d) { d.Parity = 5; }},
      {"stop bits 3", [](DCB& d) { d.StopBits = 3; }},
      {"xon equals xoff",
       [](DCB& d) {
         d.fOutX = 1;
         d.XonChar = d.XoffChar = 0x11;
       }},
  };
  for (const auto& c : cases) {
    DCB dcb = good;
    c.change(dcb);
    EXPECT_FALSE(SetCommState(port, &dcb)) << c.what;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.what;
  }
  EXPECT_TRUE(device->LineLog().empty());
  DCB after{};
  ASSERT_TRUE(GetCommState(port, &after));
  EXPECT_EQ(after.BaudRate, good.BaudRate);
  EXPECT_EQ(after.ByteSize, good.ByteSize);

  for (BYTE bits : {5, 8}) {
    DCB dcb = good;
    dcb.ByteSize = bits;
    EXPECT_TRUE(SetCommState(port, &dcb)) << int(bits);
  }
}

TEST_F(SubstitutePortTest, LineStateChangesAreRecordedInOrder) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.BaudRate = 115200;
  dcb.Parity = EVENPARITY;
  dcb.ByteSize = 7;
  dcb.StopBits = TWOSTOPBITS;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  ASSERT_TRUE(SetCommState(port, &dcb));
  EXPECT_FALSE(device->DtrOn());
  EXPECT_TRUE(device->RtsOn());
  for (DWORD code : {SETDTR, CLRRTS, SETBREAK, CLRBREAK, SETXOFF, SETXON}) EXPECT_TRUE(EscapeCommFunction(port, code));
  EXPECT_TRUE(device->DtrOn());
  EXPECT_FALSE(device->RtsOn());
  EXPECT_FALSE(device->BreakOn());

  EXPECT_FALSE(EscapeCommFunction(port, GETBASEIRQ)) << "no base address";
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(EscapeCommFunction(port, 11));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  EXPECT_EQ(device->LineLog(),
            (std::vector<std::string>{
                "DCB 115200 7 E 2 dtr=0 rts=2 cts=0 dsr=0 outx=0 inx=0 xon=17 xoff=19 xonlim=2048 xofflim=512",
                "SETDTR", "CLRRTS", "SETBREAK", "CLRBREAK", "SETXOFF", "SETXON"}));
  DCB back{};
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(back.BaudRate, 115200u);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  EXPECT_EQ(back.DCBlength, sizeof(DCB));
}

TEST_F(SubstitutePortTest, ModemStatusFollowsTheLines) {
  DWORD status = 1;
  ASSERT_TRUE(GetCommModemStatus(port, &status));
  EXPECT_EQ(status, 0u);
  device->SetModemLines(MS_CTS_ON | MS_RLSD_ON);
  ASSERT_TRUE(GetCommModemStatus(port, &status));
  EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON);
}

// ---- unplugging ----

TEST_F(SubstitutePortTest, UnplugEndsPendingWorkAndLaterCallsFailButCloseWorks) {
  ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
  device->QueueInput("kept");
  Overlapped drained;
  DWORD mask = 0;
  ASSERT_TRUE(WaitCommEvent(port, &mask, &drained.record));
  Overlapped wait;
  StartPendingWait(wait, mask);
  device->SetWriteMode(SubstituteWriteMode::Pending);
  Overlapped write;
  ASSERT_FALSE(WriteFile(port, "abc", 3, nullptr, &write.record));

  device->Unplug();
  EXPECT_EQ(ResultOf(port, wait), ERROR_DEVICE_REMOVED);
  EXPECT_EQ(ResultOf(port, write), ERROR_DEVICE_REMOVED);
  EXPECT_FALSE(WaitCommEvent(port, &mask, &wait.record));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_FALSE(WriteFile(port, "x", 1, nullptr, &write.record));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  DCB dcb{};
  EXPECT_FALSE(GetCommState(port, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);

  EXPECT_EQ(ReadAll(), (std::vector<std::uint8_t>{'k', 'e', 'p', 't'})) << "received bytes are not lost";
  char byte;
  DWORD n;
  Overlapped read;
  EXPECT_FALSE(ReadFile(port, &byte, 1, &n, &read.record));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);

  EXPECT_TRUE(CloseHandle(port));
  port = OpenComPort(kPort);
  EXPECT_EQ(port, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// The device going away while it is handed the oldest pending write ends
// that write and every write queued behind it, each exactly once.
TEST_F(SubstitutePortTest, DeviceGoingAwayWhileTakingAPendingWriteEndsEachWriteOnce) {
  device->SetWriteMode(SubstituteWriteMode::Pending);
  Overlapped first, second;
  ASSERT_FALSE(WriteFile(port, "ab", 2, nullptr, &first.record));
  ASSERT_FALSE(WriteFile(port, "cd", 2, nullptr, &second.record));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);

  device->SetWriteMode(SubstituteWriteMode::Vanish);
  device->RetryPendingWrites();
  EXPECT_EQ(ResultOf(port, first), ERROR_DEVICE_REMOVED);
  EXPECT_EQ(ResultOf(port, second), ERROR_DEVICE_REMOVED);
  EXPECT_EQ(device->PendingWrites(), 0u);
  EXPECT_TRUE(device->Written().empty());
  COMSTAT status{};
  EXPECT_FALSE(ClearCommError(port, nullptr, &status));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);

  // Nothing is left to end at close: a record completed twice is set again.
  for (Overlapped* write : {&first, &second}) {
    write->record.Internal = STATUS_PENDING;
    ASSERT_TRUE(ResetEvent(write->record.hEvent));
  }
  EXPECT_TRUE(CloseHandle(port));
  port = INVALID_HANDLE_VALUE;
  EXPECT_FALSE(first.Signalled());
  EXPECT_FALSE(second.Signalled());
}

// ---- counting and fault injection ----

TEST_F(SubstitutePortTest, FaultsHitTheNthCallOnceOrForGood) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  DWORD before = device->Calls(SubstituteOp::SetState);

  device->FailCall(SubstituteOp::SetState, 2, ERROR_GEN_FAILURE);
  EXPECT_TRUE(SetCommState(port, &dcb));
  EXPECT_FALSE(SetCommState(port, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_TRUE(SetCommState(port, &dcb)) << "a transient fault fails once";

  device->FailCall(SubstituteOp::SetState, 1, ERROR_NOT_READY, true);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(SetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  }
  device->ClearFaults();
  EXPECT_TRUE(SetCommState(port, &dcb));
  EXPECT_EQ(device->Calls(SubstituteOp::SetState) - before, 7u) << "failed calls count too";
  EXPECT_EQ(device->InjectedFaults(), 4u);
  EXPECT_EQ(device->LineLog().size(), 3u) << "a failed call records nothing";
}

// Every call of a port set-up, failed in turn: the failing call reports the
// injected error and leaves what it would have changed untouched.
TEST_F(SubstitutePortTest, EveryCallOfASetUpCanFailAndChangesNothingThen) {
  struct Step {
    SubstituteOp op;
    BOOL (*run)(HANDLE);
  } steps[] = {
      {SubstituteOp::SetupQueues, [](HANDLE h) { return SetupComm(h, 20000, 4096); }},
      {SubstituteOp::SetMask, [](HANDLE h) { return SetCommMask(h, EV_RXCHAR); }},
      {SubstituteOp::SetTimeouts,
       [](HANDLE h) {
         COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
         return SetCommTimeouts(h, &t);
       }},
      {SubstituteOp::GetState,
       [](HANDLE h) {
         DCB d{};
         return GetCommState(h, &d);
       }},
      {SubstituteOp::SetState,
       [](HANDLE h) {
         DCB d{};
         GetCommState(h, &d);
         d.BaudRate = 115200;
         return SetCommState(h, &d);
       }},
      {SubstituteOp::Escape, [](HANDLE h) { return EscapeCommFunction(h, CLRDTR); }},
      {SubstituteOp::Purge, [](HANDLE h) { return PurgeComm(h, PURGE_RXCLEAR); }},
  };
  for (const auto& failing : steps) {
    auto logBefore = device->LineLog().size();
    device->FailCall(failing.op, 1, ERROR_GEN_FAILURE);
    for (const auto& step : steps) {
      BOOL ok = step.run(port);
      if (step.op == failing.op) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
      } else {
        EXPECT_TRUE(ok) << static_cast<int>(step.op);
      }
    }
    // Six steps record an entry (GetState records nothing); the failed one not.
    auto expected = logBefore + (failing.op == SubstituteOp::GetState ? 6 : 5);
    EXPECT_EQ(device->LineLog().size(), expected) << static_cast<int>(failing.op);
  }
  EXPECT_EQ(device->InjectedFaults(), 7u);
}
