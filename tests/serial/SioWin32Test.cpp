// The device layer and its workers against the substitute device, which gives
// exact driver behaviour: pending writes, refused mask bits, a vanishing device.
#include <gtest/gtest.h>

#include <atomic>

#include "SioPortTestHelpers.h"
#include "SioWin32.h"
#include "substitutedevice.h"

using qorv::platform::SubstituteDevice;
using qorv::platform::SubstituteOp;
using qorv::platform::SubstituteWriteMode;
using qorv::test::PumpUntil;
using qorv::test::WaitUntil;

namespace {

constexpr int kPort = 9;

class SioWin32Fixture : public testing::Test {
 protected:
  void SetUp() override {
    Device = SubstituteDevice::Create("win32");
    ASSERT_TRUE(qorv::platform::WriteDeviceMapping(kPort, "substitute:win32"));
  }

  int Open(TSioWin32Dispatcher& d, DWORD outSize = 4096) {
    return d.OpenDevice("\\\\.\\COM9", 115200, NOPARITY, 8, 1, 4096, outSize, 0);
  }

  std::string Written() {
    auto bytes = Device->Written();
    return std::string(bytes.begin(), bytes.end());
  }

  std::shared_ptr<SubstituteDevice> Device;
};

std::string Receive(TSioBaseDispatcher& d, size_t count) {
  std::string out;
  WaitUntil([&] {
    BYTE value;
    while (d.TakeInput(value) == 0) out.push_back(static_cast<char>(value));
    return out.size() >= count;
  });
  return out;
}

}  // namespace

TEST_F(SioWin32Fixture, OpenStartsWorkersAndCloseEndsThemBeforeTheDeviceCloses) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  EXPECT_TRUE(d.WorkersRunning);
  EXPECT_EQ(d.RunningWorkers, 3);
  EXPECT_TRUE(Device->IsOpen());
  d.CloseDevice();
  EXPECT_FALSE(d.WorkersRunning);
  EXPECT_EQ(d.RunningWorkers, 0);
  EXPECT_EQ(d.ComWorker.load(), nullptr);
  EXPECT_EQ(d.DispWorker.load(), nullptr);
  EXPECT_EQ(d.OutWorker.load(), nullptr);
  EXPECT_FALSE(Device->IsOpen());
  EXPECT_EQ(d.DeviceHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(d.EventReady, nullptr) << "the worker events are closed with the workers";
}

TEST_F(SioWin32Fixture, WorkersSetMaskAndNonBlockingTimeouts) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  auto log = Device->LineLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "MASK 0x1F9"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "TIMEOUTS 4294967295 0 0 0 0"), log.end());
}

TEST_F(SioWin32Fixture, StartWorkersTwiceRaisesAndChangesNothing) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  TSioDispatcherThread* com = d.ComWorker;
  try {
    d.StartWorkers();
    FAIL() << "expected an exception";
  } catch (const ESioException&) {
    FAIL() << "not one of the engine's exceptions";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Dispatcher already started");
  }
  EXPECT_EQ(d.ComWorker.load(), com);
  EXPECT_EQ(d.RunningWorkers, 3);
}

TEST_F(SioWin32Fixture, StopWorkersWithoutStartLeavesEventsAndYieldSliceAnswersZero) {
  TSioWin32Dispatcher d(nullptr);
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  d.EventReady = event;
  d.StopWorkers();
  EXPECT_EQ(d.EventReady, event);
  EXPECT_EQ(d.YieldSlice(), 0);
}

TEST_F(SioWin32Fixture, FailedOpensLeaveNothingRunning) {
  struct Case {
    const char* name;
    SubstituteOp op;
    int expected;
  };
  const Case cases[] = {
      {"device open refused", SubstituteOp::Open, -static_cast<int>(ERROR_GEN_FAILURE)},
      {"queue sizes refused", SubstituteOp::SetupQueues, -static_cast<int>(ERROR_GEN_FAILURE)},
      {"line state refused", SubstituteOp::SetState, -static_cast<int>(ERROR_GEN_FAILURE)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Device->FailCall(c.op, 1, ERROR_GEN_FAILURE);
    TSioWin32Dispatcher d(nullptr);
    EXPECT_EQ(Open(d), c.expected);
    EXPECT_FALSE(d.WorkersRunning);
    EXPECT_EQ(d.RunningWorkers, 0);
    EXPECT_FALSE(Device->IsOpen());
    Device->ClearFaults();
  }
}

TEST_F(SioWin32Fixture, ReceivedBytesReachTheInputRing) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  Device->QueueInput("hello");
  EXPECT_EQ(Receive(d, 5), "hello");
}

TEST_F(SioWin32Fixture, RefusedRingTrailingEdgeFallsBackToNtMask) {
  TSioWin32Dispatcher d(nullptr);
  d.NtPlatform = false;
  ASSERT_EQ(Open(d), 0);
  ASSERT_TRUE(WaitUntil([&] {
    auto log = Device->LineLog();
    return std::find(log.begin(), log.end(), "MASK 0x1F9") != log.end();
  }));
  auto log = Device->LineLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "MASK 0x21F9"), log.end());
  // The worker goes on waiting with the narrower mask.
  Device->QueueInput("ab");
  EXPECT_EQ(Receive(d, 2), "ab");
  EXPECT_NE(d.ComWorker.load(), nullptr);
}

TEST_F(SioWin32Fixture, QueuedBytesLeaveInOrder) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d, 64), 0);
  ASSERT_EQ(d.WriteBlock("abc", 3), 0);
  ASSERT_EQ(d.WriteByte('d'), 0);
  ASSERT_TRUE(Device->WaitForWritten(4, std::chrono::seconds(10)));
  EXPECT_EQ(Written(), "abcd");
  EXPECT_TRUE(WaitUntil([&] { return d.OutputCount() == 0; }));
}

TEST_F(SioWin32Fixture, WrappedRingIsRotatedAndSentInOneWrite) {
  Device->SetWriteMode(SubstituteWriteMode::Pending);
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d, 16), 0);
  ASSERT_EQ(d.WriteBlock("0123456789", 10), 0);
  ASSERT_TRUE(Device->WaitForPendingWrites(1, std::chrono::seconds(10)));
  // Six of ten taken: the worker writes the remaining four, still pending.
  ASSERT_TRUE(Device->CompleteNextWrite(6));
  ASSERT_TRUE(Device->WaitForPendingWrites(1, std::chrono::seconds(10)));
  // Twelve more bytes fill the ring exactly; they wrap past its end.
  ASSERT_EQ(d.WriteBlock("ABCDEFGHIJKL", 12), 0);
  EXPECT_EQ(d.OutputCount(), 16u);
  EXPECT_EQ(d.WriteByte('x'), -3006);
  ASSERT_TRUE(Device->CompleteNextWrite());  // "6789"
  ASSERT_TRUE(Device->WaitForPendingWrites(1, std::chrono::seconds(10)));
  ASSERT_TRUE(Device->CompleteNextWrite());  // all twelve at once
  ASSERT_TRUE(Device->WaitForWritten(22, std::chrono::seconds(10)));
  EXPECT_EQ(Written(), "0123456789ABCDEFGHIJKL");
  EXPECT_TRUE(WaitUntil([&] { return d.OutputCount() == 0; }));
  EXPECT_EQ(Device->PendingWrites(), 0u);
  EXPECT_EQ(d.OutHead, 0u);
  EXPECT_EQ(d.OutTail, 0u);
}

TEST_F(SioWin32Fixture, FlushDuringPendingWriteResetsRingAndNextBytesStartAtZero) {
  Device->SetWriteMode(SubstituteWriteMode::Pending);
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d, 32), 0);
  ASSERT_EQ(d.WriteBlock("stale bytes", 11), 0);
  ASSERT_TRUE(Device->WaitForPendingWrites(1, std::chrono::seconds(10)));
  EXPECT_EQ(d.DiscardOutput(), 0);
  EXPECT_EQ(d.OutputCount(), 0u);
  EXPECT_EQ(Device->PendingWrites(), 0u) << "the flush ends the write in flight";
  EXPECT_NE(d.ComWorker.load(), nullptr) << "the event worker's wait survives the flush";
  Device->SetWriteMode(SubstituteWriteMode::Complete);
  ASSERT_EQ(d.WriteBlock("new", 3), 0);
  ASSERT_TRUE(Device->WaitForWritten(3, std::chrono::seconds(10)));
  std::string written = Written();
  EXPECT_EQ(written.substr(written.size() - 3), "new");
  EXPECT_EQ(written.find("stale bytes"), std::string::npos);
}

TEST_F(SioWin32Fixture, FailedWritesDropTheirBytes) {
  Device->SetWriteMode(SubstituteWriteMode::Fail);
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d, 32), 0);
  ASSERT_EQ(d.WriteBlock("lost", 4), 0);
  EXPECT_TRUE(WaitUntil([&] { return d.OutputCount() == 0; }));
  Device->SetWriteMode(SubstituteWriteMode::Complete);
  ASSERT_EQ(d.WriteBlock("kept", 4), 0);
  ASSERT_TRUE(Device->WaitForWritten(4, std::chrono::seconds(10)));
  EXPECT_EQ(Written(), "kept");
}

TEST_F(SioWin32Fixture, CloseWithWriteInFlightDoesNotHang) {
  Device->SetWriteMode(SubstituteWriteMode::Pending);
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d, 32), 0);
  ASSERT_EQ(d.WriteBlock("pending", 7), 0);
  ASSERT_TRUE(Device->WaitForPendingWrites(1, std::chrono::seconds(10)));
  d.CloseDevice();
  EXPECT_FALSE(d.WorkersRunning);
  EXPECT_FALSE(Device->IsOpen());
}

TEST_F(SioWin32Fixture, VanishedDeviceStopsTheEventWorkerAndStillCloses) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  Device->QueueInput("x");
  ASSERT_EQ(Receive(d, 1), "x");
  Device->Unplug();
  EXPECT_TRUE(WaitUntil([&] { return d.ComWorker.load() == nullptr; }));
  EXPECT_NE(d.DispWorker.load(), nullptr) << "the dispatch worker goes on";
  EXPECT_EQ(d.WriteBlock("y", 1), 0);
  EXPECT_TRUE(WaitUntil([&] { return d.OutputCount() == 0; })) << "writes to a gone device are dropped";
  d.CloseDevice();
  EXPECT_FALSE(d.WorkersRunning);
}

// The event worker ends at once when its first wait is refused, possibly
// before the other workers have started: those are still counted as running,
// so the close waits for them before it frees what they use.
TEST_F(SioWin32Fixture, EventWorkerEndingDuringStartStillLeavesTheOthersStoppedByClose) {
  Device->FailCall(SubstituteOp::WaitEvent, 1, ERROR_GEN_FAILURE);
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  ASSERT_TRUE(WaitUntil([&] { return d.ComWorker.load() == nullptr; }));
  EXPECT_TRUE(d.WorkersRunning) << "the dispatch and output workers still run";
  Device->QueueInput("x");
  EXPECT_EQ(Receive(d, 1), "x") << "the dispatch worker's periodic pass collects input";
  d.CloseDevice();
  EXPECT_FALSE(d.WorkersRunning);
  EXPECT_EQ(d.RunningWorkers, 0);
  EXPECT_EQ(d.DispWorker.load(), nullptr);
  EXPECT_EQ(d.OutWorker.load(), nullptr);
  EXPECT_FALSE(Device->IsOpen());
}

namespace {

std::atomic<int> closesFromHandler{0};

// A procedure handler runs on the dispatch worker; closing from it defers the
// end of the close to that worker.
void CloseFromHandler(UINT msg, WPARAM, LPARAM lParam) {
  if (msg != msgTriggerAvail) return;
  TSioBaseDispatcher* d;
  {
    TSioLock lock(PortListLock);
    d = PortList[static_cast<size_t>(lParam >> 16)];
  }
  d->CloseDevice();
  ++closesFromHandler;
}

}  // namespace

TEST_F(SioWin32Fixture, CloseFromInsideAHandlerIsFinishedByTheDispatchWorker) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  d.SetLengthTrigger(1);
  d.AddProcedureHandler(CloseFromHandler);
  Device->QueueInput("trigger");
  ASSERT_TRUE(WaitUntil([&] { return closesFromHandler.load() == 1; }));
  EXPECT_TRUE(d.ClosePending);
  ASSERT_TRUE(WaitUntil([&] { return !d.WorkersRunning; }));
  EXPECT_EQ(d.RunningWorkers, 0);
  EXPECT_FALSE(Device->IsOpen()) << "the last worker closes the device";
  TSioLock lock(d.InputLock);
  EXPECT_EQ(d.InputRing, nullptr) << "the rings are freed by the dispatch worker";
}

TEST_F(SioWin32Fixture, TelephonyDispatcherWithoutHandleFails) {
  TSioTapi32Dispatcher d(nullptr, nullptr);
  EXPECT_EQ(d.OpenDeviceHandle(nullptr, 64, 64), -2007);
  EXPECT_EQ(GetLastError(), 2007u);
}

TEST_F(SioWin32Fixture, ProbeOpensAndClosesWithoutWorkers) {
  TSioWin32Dispatcher d(nullptr);
  LONG_PTR handle = d.OpenDeviceHandle("\\\\.\\COM9", 64, 64);
  ASSERT_GT(handle, 0);
  EXPECT_FALSE(d.WorkersRunning);
  EXPECT_EQ(d.CloseDeviceHandle(), 0);
  EXPECT_FALSE(Device->IsOpen());
  EXPECT_EQ(d.OpenDeviceHandle("\\\\.\\COM8", 64, 64), -1) << "an unmapped port";
}

namespace {

struct TSyncProbe {
  std::atomic<DWORD> thread{0};
  static void Handler(void* object, UINT msg, WPARAM, LPARAM) {
    if (msg == msgTriggerAvail) static_cast<TSyncProbe*>(object)->thread = GetCurrentThreadId();
  }
};

}  // namespace

TEST_F(SioWin32Fixture, SynchronizedHandlerRunsOnTheCreatingThread) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(Open(d), 0);
  TSyncProbe probe;
  d.SetLengthTrigger(1);
  d.AddEventHandler(TTriggerMethod{TSyncProbe::Handler, &probe}, true);
  Device->QueueInput("s");
  // The dispatch worker waits until this thread serves its call.
  ASSERT_TRUE(PumpUntil([&] { return probe.thread.load() != 0; }));
  EXPECT_EQ(probe.thread.load(), GetCurrentThreadId());
  d.CloseDevice();
}

namespace {

struct TGrowthProbe {
  TSioWin32Dispatcher* Dispatcher = nullptr;
  std::shared_ptr<SubstituteDevice> Device;
  std::atomic<bool> DrainedAtEntry{false};
  std::atomic<bool> EventWorkerLeftTheBytes{false};
  std::atomic<DWORD> CountAtEntry{99};
  std::atomic<DWORD> CountAtExit{99};
  std::atomic<int> Calls{0};
};

TGrowthProbe* growthProbe = nullptr;

// A timer handler runs inside a pass of the dispatch worker; bytes arriving
// meanwhile must wait for the pass to end.
void ArriveDuringTimerHandler(UINT msg, WPARAM, LPARAM) {
  if (msg != msgTriggerTimer || growthProbe->Calls++ != 0) return;
  TSioWin32Dispatcher& d = *growthProbe->Dispatcher;
  growthProbe->DrainedAtEntry = d.DriverDrained.load();
  growthProbe->CountAtEntry = d.InputCount();
  growthProbe->Device->QueueInput("late");
  // The event worker takes the arrival's event and, finding the pass under
  // way, leaves the bytes in the driver and says so.
  growthProbe->EventWorkerLeftTheBytes = WaitUntil([&] { return !d.DriverDrained; });
  growthProbe->CountAtExit = d.InputCount();
}

}  // namespace

TEST_F(SioWin32Fixture, BytesArrivingDuringAHandlerReachTheRingOnlyAfterItsPass) {
  TSioWin32Dispatcher d(nullptr);
  TGrowthProbe probe;
  probe.Dispatcher = &d;
  probe.Device = Device;
  growthProbe = &probe;
  ASSERT_EQ(Open(d), 0);
  // The first pass finds the driver empty.
  ASSERT_TRUE(WaitUntil([&] { return d.DriverDrained.load(); }));
  d.AddProcedureHandler(ArriveDuringTimerHandler);
  ASSERT_GT(d.AddTimerTrigger(1), 0);
  ASSERT_TRUE(WaitUntil([&] { return probe.Calls.load() > 0 && probe.CountAtExit != 99u; }));
  EXPECT_TRUE(probe.DrainedAtEntry);
  EXPECT_TRUE(probe.EventWorkerLeftTheBytes);
  EXPECT_EQ(probe.CountAtEntry, 0u);
  EXPECT_EQ(probe.CountAtExit, 0u) << "the ring did not grow while the handler ran";
  EXPECT_EQ(Receive(d, 4), "late") << "the next pass takes them";
  d.CloseDevice();
  growthProbe = nullptr;
}

TEST_F(SioWin32Fixture, BurstLargerThanTheRingArrivesWholeAndInOrder) {
  TSioWin32Dispatcher d(nullptr);
  ASSERT_EQ(d.OpenDevice("\\\\.\\COM9", 115200, NOPARITY, 8, 1, 40000, 4096, 0), 0);
  std::string burst(30000, '\0');
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<char>(i * 31 + (i >> 9));
  Device->QueueInput(burst);
  EXPECT_EQ(Receive(d, burst.size()), burst) << "what the ring could not take waited in the driver";
}
