// The port component end to end: over a pty (a real tty) and over the
// substitute device, with the recorder control's settings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "SioPort.h"
#include "SioPortTestHelpers.h"
#include "SioWin32.h"
#include "substitutedevice.h"

using qorv::platform::SubstituteDevice;
using qorv::test::PumpUntil;
using qorv::test::TPtyPort;
using qorv::test::WaitUntil;

namespace {

// The recorder control's settings: 115200 8N1, InSize 20000, DTR and RTS off.
std::unique_ptr<TSioComPort> RecorderPort(WORD number) {
  auto port = std::make_unique<TSioComPort>(nullptr);
  port->SetBaud(115200);
  port->SetInSize(20000);
  port->SetAutoOpen(false);
  port->SetDTR(false);
  port->SetRTS(false);
  port->SetTraceHex(false);
  port->SetUseEventWord(false);
  port->SetTapiMode(tmNone);
  port->SetComNumber(number);
  return port;
}

std::string ReadAvailable(TSioComPort& port, size_t count) {
  std::string out;
  WaitUntil([&] {
    while (port.InputReady()) out.push_back(port.ReadChar());
    return out.size() >= count;
  });
  return out;
}

class SioPortSubstitute : public testing::Test {
 protected:
  void SetUp() override {
    // Each test sets the hooks it relies on; the port dialog's own hook comes
    // back afterwards.
    SavedHooks = SioPortHooks();
    SioPortHooks() = TSioPortHooks{};
    Device = SubstituteDevice::Create("port");
    ASSERT_TRUE(qorv::platform::WriteDeviceMapping(9, "substitute:port"));
  }
  void TearDown() override { SioPortHooks() = SavedHooks; }
  std::shared_ptr<SubstituteDevice> Device;
  TSioPortHooks SavedHooks;
};

}  // namespace

// ---------------------------------------------------------------------------
// Over a pty

TEST(SioPortPty, RecorderSettingsCarryFramesBothWays) {
  TPtyPort pty(3);
  ASSERT_TRUE(pty.Valid());
  auto port = RecorderPort(3);
  port->SetOpen(true);
  ASSERT_TRUE(port->Open());
  EXPECT_EQ(port->OpenState(), PortStateOpen);
  EXPECT_NE(port->NotifyWindow(), nullptr);

  const std::string frame("\xFC\x52\x31\x4F\x46\xFD", 6);
  port->WriteText(frame);
  port->WriteChar('\x0D');
  EXPECT_EQ(pty.Receive(7), frame + "\x0D");

  ASSERT_TRUE(pty.Send(std::string("\xFD\x01\x02\x00\xFE", 5)));
  EXPECT_EQ(ReadAvailable(*port, 5), std::string("\xFD\x01\x02\x00\xFE", 5));
  EXPECT_FALSE(port->InputReady());
  EXPECT_THROW(port->ReadChar(), EBufferIsEmpty);

  port->SetOpen(false);
  EXPECT_EQ(port->OpenState(), PortStateClosed);
  EXPECT_EQ(port->Dispatcher(), nullptr);
  EXPECT_EQ(port->NotifyWindow(), nullptr);
}

TEST(SioPortPty, ComNumberMovesAnOpenPortKeepingTriggersAndTrace) {
  TPtyPort first(3);
  TPtyPort second(4);
  ASSERT_TRUE(first.Valid() && second.Valid());
  auto port = RecorderPort(3);
  port->SetTraceName("C:\\first.trc");
  port->SetOpen(true);
  port->SetTracing(tlOn);
  ASSERT_GT(port->Dispatcher()->AddDataTrigger("OK", 2, false), 0);
  port->WriteText("to first");
  EXPECT_EQ(first.Receive(8), "to first");

  port->SetComNumber(4);
  EXPECT_TRUE(port->Open());
  EXPECT_EQ(port->ComNumber(), 4);
  EXPECT_EQ(port->Tracing(), tlOn) << "a trace that was on survives the move";
  EXPECT_EQ(port->Dispatcher()->DataTriggerList.size(), 1u) << "the triggers come back";
  auto trace = qorv::test::ReadFileBytes(qorv::test::DriveCFile("first.trc"));
  EXPECT_EQ(std::string(trace.begin(), trace.end()), "Transmit: \r\nto first") << "the close wrote the trace";
  port->WriteText("to second");
  EXPECT_EQ(second.Receive(9), "to second");
}

TEST(SioPortPty, TracingOnAtCloseWritesTheTraceFile) {
  TPtyPort pty(3);
  ASSERT_TRUE(pty.Valid());
  auto port = RecorderPort(3);
  port->SetTraceName("C:\\port.trc");
  port->SetTracing(tlOn);
  EXPECT_EQ(port->Tracing(), tlOn) << "kept while closed, started at open";
  port->SetOpen(true);
  port->WriteText("AB");
  EXPECT_EQ(pty.Receive(2), "AB");
  ASSERT_TRUE(pty.Send("Z"));
  EXPECT_EQ(ReadAvailable(*port, 1), "Z");
  port->SetOpen(false);
  EXPECT_EQ(port->Tracing(), tlOff);
  auto bytes = qorv::test::ReadFileBytes(qorv::test::DriveCFile("port.trc"));
  // Decimal rendering (TraceHex off), sent bytes first, then the byte read.
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Transmit: \r\nAB\r\n\r\nReceive: \r\nZ");
}

TEST(SioPortPty, VanishedDeviceClosesPromptlyWithoutSpinning) {
  TPtyPort pty(3);
  ASSERT_TRUE(pty.Valid());
  auto port = RecorderPort(3);
  port->SetOpen(true);
  ASSERT_TRUE(pty.Send("1"));
  ASSERT_EQ(ReadAvailable(*port, 1), "1");
  pty.CloseMaster();

  // The workers keep polling a gone device; writes are dropped, not stuck.
  port->WriteText("into the void");
  EXPECT_FALSE(port->InputReady());
  auto start = std::chrono::steady_clock::now();
  port->SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(port->OpenState(), PortStateClosed);
}

TEST(SioPortPty, StressBothDirectionsLosesAndDoublesNothing) {
  TPtyPort pty(3);
  ASSERT_TRUE(pty.Valid());
  auto port = RecorderPort(3);
  port->SetOutSize(8192);
  port->SetOpen(true);
  constexpr size_t kBytes = 3 * 1024 * 1024;
  const std::string toDevice = qorv::test::PatternBytes(kBytes, 1);
  const std::string fromDevice = qorv::test::PatternBytes(kBytes, 2);

  std::string gotByDevice;
  std::thread peer([&] {
    // The far end sends and receives at once, unpaced.
    std::thread sender([&] { pty.Send(fromDevice); });
    gotByDevice = pty.Receive(kBytes, std::chrono::seconds(60));
    sender.join();
  });

  std::string gotByPort;
  size_t sent = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((sent < kBytes || gotByPort.size() < kBytes) && std::chrono::steady_clock::now() < deadline) {
    bool progressed = false;
    if (sent < kBytes) {
      DWORD space = port->Dispatcher()->OutputSpace();
      size_t chunk = std::min<size_t>({space, kBytes - sent, 1024});
      if (chunk > 0) {
        port->WriteText(toDevice.substr(sent, chunk));
        sent += chunk;
        progressed = true;
      }
    }
    while (port->InputReady()) {
      gotByPort.push_back(port->ReadChar());
      progressed = true;
    }
    if (!progressed) std::this_thread::yield();
  }
  peer.join();
  EXPECT_EQ(gotByPort.size(), kBytes);
  EXPECT_TRUE(gotByPort == fromDevice) << "received bytes lost, doubled or reordered";
  EXPECT_EQ(gotByDevice.size(), kBytes);
  EXPECT_TRUE(gotByDevice == toDevice) << "sent bytes lost, doubled or reordered";
}

// ---------------------------------------------------------------------------
// Open errors and open sequence (substitute device)

TEST_F(SioPortSubstitute, OpenErrorsMapToTheirExceptionsAndLeaveNothing) {
  auto holder = RecorderPort(9);
  holder->SetOpen(true);

  auto held = RecorderPort(9);
  EXPECT_THROW(held->SetOpen(true), EAlreadyOpen);
  auto unmapped = RecorderPort(7);
  EXPECT_THROW(unmapped->SetOpen(true), EBadId);
  auto unnumbered = RecorderPort(0);
  unnumbered->SetPromptForPort(false);
  EXPECT_THROW(unnumbered->SetOpen(true), ENoPortSelected);
  auto noDialog = RecorderPort(0);
  EXPECT_THROW(noDialog->SetOpen(true), ENoPortSelected) << "no dialog available counts as no choice";

  for (TSioComPort* failed : {held.get(), unmapped.get(), unnumbered.get(), noDialog.get()}) {
    EXPECT_FALSE(failed->Open());
    EXPECT_EQ(failed->OpenState(), PortStateClosed);
    EXPECT_EQ(failed->Dispatcher(), nullptr);
    EXPECT_EQ(failed->NotifyWindow(), nullptr);
  }
  EXPECT_TRUE(holder->Open());
}

TEST_F(SioPortSubstitute, PortDialogChoosesTheNumber) {
  SioPortHooks().SelectPort = [](WORD& number) {
    number = 9;
    return true;
  };
  auto port = RecorderPort(0);
  port->SetOpen(true);
  EXPECT_TRUE(port->Open());
  EXPECT_EQ(port->ComNumber(), 9);
  SioPortHooks().SelectPort = [](WORD&) { return false; };
  auto cancelled = RecorderPort(0);
  EXPECT_THROW(cancelled->SetOpen(true), ENoPortSelected);
}

TEST_F(SioPortSubstitute, OpenAppliesLineSettingsAndLineLevels) {
  auto port = RecorderPort(9);
  port->SetOpen(true);
  DCB state = Device->State();
  EXPECT_EQ(state.BaudRate, 115200u);
  EXPECT_EQ(state.ByteSize, 8);
  EXPECT_EQ(state.Parity, NOPARITY);
  EXPECT_EQ(state.StopBits, ONESTOPBIT);
  EXPECT_FALSE(Device->DtrOn());
  EXPECT_FALSE(Device->RtsOn());
  auto log = Device->LineLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "SETUP 20000 4096"), log.end());
  port->SetBaud(9600);
  EXPECT_EQ(Device->State().BaudRate, 9600u);
  port->SetDTR(true);
  EXPECT_TRUE(Device->DtrOn());
}

TEST_F(SioPortSubstitute, FailedReapplicationClosesThePort) {
  auto port = RecorderPort(9);
  port->SetSWFlowOptions(swfBoth);  // thresholds from InSize 20000
  port->SetBufferFull(0);
  ASSERT_EQ(port->BufferFull(), 15000);
  Device->FailCall(qorv::platform::SubstituteOp::SetState, 2, ERROR_GEN_FAILURE, true);
  EXPECT_ANY_THROW(port->SetOpen(true));
  EXPECT_EQ(port->OpenState(), PortStateClosed);
  EXPECT_EQ(port->Dispatcher(), nullptr);
  EXPECT_FALSE(Device->IsOpen());
}

TEST_F(SioPortSubstitute, ByteOperationsWithoutDispatcher) {
  auto port = RecorderPort(9);
  EXPECT_THROW(port->WriteText("x"), ECommNotOpen);
  EXPECT_THROW(port->InputReady(), ECommNotOpen);
  EXPECT_THROW(port->BeginTrace(0), ECommNotOpen);
  port->SetAutoOpen(true);
  port->WriteText("x");
  EXPECT_TRUE(port->Open()) << "AutoOpen opens on first use";
  EXPECT_TRUE(Device->WaitForWritten(1, std::chrono::seconds(10)));
}

TEST_F(SioPortSubstitute, WriteTextIsAllOrNothing) {
  auto port = RecorderPort(9);
  port->SetOutSize(16);
  port->SetOpen(true);
  Device->SetWriteMode(qorv::platform::SubstituteWriteMode::Pending);
  port->WriteText("0123456789");
  ASSERT_TRUE(Device->WaitForPendingWrites(1, std::chrono::seconds(10)));
  EXPECT_THROW(port->WriteText("seven!!"), EOutputBufferTooSmall);
  EXPECT_EQ(port->Dispatcher()->OutputCount(), 10u) << "nothing of the refused text is queued";
  port->WriteText("");
  port->WriteText("sixsix");
  EXPECT_EQ(port->Dispatcher()->OutputCount(), 16u);
}

TEST_F(SioPortSubstitute, OpenAndCloseNotifyUsersAndEvents) {
  std::vector<std::string> calls;
  auto port = RecorderPort(9);
  port->OnPortOpen = [&](TObject*) { calls.push_back("open event"); };
  port->OnPortClose = [&](TObject*) { calls.push_back("close event"); };
  static std::vector<std::string>* record = nullptr;
  record = &calls;
  auto callback = [](void* data, TSioCustomComPort*, bool opening) {
    record->push_back(std::string(static_cast<const char*>(data)) + (opening ? " opened" : " closed"));
  };
  port->AddPortUser(callback, const_cast<char*>("first"));
  port->AddPortUser(callback, const_cast<char*>("second"));
  port->SetOpen(true);
  ASSERT_TRUE(port->RemovePortUser(callback, const_cast<char*>("first")));
  port->SetOpen(false);
  const std::vector<std::string> expected = {"second opened", "first opened", "open event", "second closed",
                                             "close event"};
  EXPECT_EQ(calls, expected);
}

// ---------------------------------------------------------------------------
// Writers

TEST(SioPortWriters, ClampsAndFixedProperties) {
  TSioComPort port(nullptr);
  port.SetTraceSize(5000000);
  EXPECT_EQ(port.TraceSize(), 4000000u);
  port.SetTraceSize(4000000);
  EXPECT_EQ(port.TraceSize(), 4000000u);
  port.SetLogSize(20000000);
  EXPECT_EQ(port.LogSize(), 16000000u);
  port.SetUseMSRShadow(false);
  EXPECT_TRUE(port.UseMSRShadow());
  port.SetDeviceLayer(dlWinsock);
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
  EXPECT_EQ(port.Version(), "v1.00");
}

TEST(SioPortWriters, FlowThresholdsFollowInSize) {
  TSioComPort hw(nullptr);
  hw.SetHWFlowOptions(HWFlowBit(hwfUseRTS));
  EXPECT_EQ(hw.BufferFull(), 3686);
  EXPECT_EQ(hw.BufferResume(), 409);
  TSioComPort sw(nullptr);
  sw.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(sw.BufferFull(), 3072);
  EXPECT_EQ(sw.BufferResume(), 1024);
  TSioComPort plain(nullptr);
  plain.SetBufferFull(4096);
  EXPECT_EQ(plain.BufferFull(), 4096) << "at InSize the value is kept";
  plain.SetBufferFull(5000);
  EXPECT_EQ(plain.BufferFull(), 4500);
  hw.SetBufferFull(5000);
  EXPECT_EQ(hw.BufferFull(), 3686) << "hardware flow replaces an out-of-range threshold";
}

TEST(SioPortWriters, Rs485AndRtsFlowExcludeEachOther) {
  TSioComPort port(nullptr);
  port.SetHWFlowOptions(HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS) | HWFlowBit(hwfUseDTR));
  port.SetRS485Mode(true);
  EXPECT_EQ(port.HWFlowOptions(), HWFlowBit(hwfUseDTR));
  EXPECT_FALSE(port.RTS());
  port.SetHWFlowOptions(HWFlowBit(hwfRequireCTS));
  EXPECT_FALSE(port.RS485Mode());
}

TEST(SioPortWriters, TracingAndLoggingOnAClosedPortHoldOnlyOffOrOn) {
  const struct {
    TTraceLogState set;
    TTraceLogState reads;
  } rows[] = {{tlOn, tlOn}, {tlDump, tlOff}, {tlAppend, tlOff}, {tlClear, tlOff}, {tlPause, tlOff}, {tlOff, tlOff}};
  for (const auto& row : rows) {
    TSioComPort port(nullptr);
    port.SetTracing(row.set);
    port.SetLogging(row.set);
    EXPECT_EQ(port.Tracing(), row.reads) << "set " << row.set;
    EXPECT_EQ(port.Logging(), row.reads) << "set " << row.set;
  }
}

TEST_F(SioPortSubstitute, TracingStateMachineOnAnOpenPort) {
  auto port = RecorderPort(9);
  port->SetTraceName("C:\\never.trc");
  port->SetOpen(true);
  for (TTraceLogState command : {tlDump, tlAppend, tlClear, tlPause}) {
    port->SetTracing(command);
    EXPECT_EQ(port->Tracing(), tlOff);
  }
  EXPECT_FALSE(std::filesystem::exists(qorv::test::DriveCFile("never.trc")));

  port->SetTracing(tlOn);
  port->WriteText("abc");
  port->SetTracing(tlPause);
  EXPECT_EQ(port->Tracing(), tlPause);
  port->SetTracing(tlOn);
  {
    TSioLock lock(port->Dispatcher()->StateLock);
    EXPECT_EQ(port->Dispatcher()->TraceNext, 3u) << "entries from before the pause are kept";
  }
  port->SetTraceSize(20);
  EXPECT_EQ(port->Tracing(), tlOn);
  {
    TSioLock lock(port->Dispatcher()->StateLock);
    EXPECT_EQ(port->Dispatcher()->TraceCapacity, 20u);
    EXPECT_EQ(port->Dispatcher()->TraceNext, 0u);
  }
  port->SetLogging(tlOn);
  port->SetLogging(tlClear);
  EXPECT_EQ(port->Logging(), tlOn);
  port->SetTracing(tlOff);
  port->SetTraceSize(0);
  EXPECT_THROW(port->BeginTrace(0), EBadArgument) << "a trace of no entries is refused";
  EXPECT_EQ(port->Tracing(), tlOff);
}

TEST_F(SioPortSubstitute, TraceThatCannotBeWrittenStillClosesThePort) {
  auto port = RecorderPort(9);
  port->SetTraceName("Q:\\no\\such\\drive.trc");
  port->SetOpen(true);
  port->SetTracing(tlOn);
  port->WriteText("x");
  EXPECT_ANY_THROW(port->SetOpen(false));
  EXPECT_EQ(port->OpenState(), PortStateClosed);
  EXPECT_EQ(port->Dispatcher(), nullptr);
  EXPECT_EQ(port->Tracing(), tlOff);
  EXPECT_FALSE(Device->IsOpen());
  port->SetOpen(true);
  EXPECT_TRUE(port->Open()) << "the port can be opened again";
}

// ---------------------------------------------------------------------------
// Events through the notification window

TEST_F(SioPortSubstitute, AvailTriggerReachesEventsOnTheWindowThread) {
  // Declared first: the port's close at the end may still run its events.
  std::vector<std::string> calls;
  DWORD handlerThread = 0;
  auto port = RecorderPort(9);
  port->SetOnTrigger([&](TObject* cp, WORD msg, WORD handle, WORD data) {
    EXPECT_EQ(cp, port.get());
    calls.push_back("trigger " + std::to_string(msg) + " " + std::to_string(handle) + " " + std::to_string(data));
  });
  port->SetOnTriggerAvail([&](TObject*, WORD count) {
    handlerThread = GetCurrentThreadId();
    calls.push_back("avail " + std::to_string(count));
    for (WORD i = 0; i < count; ++i) port->ReadChar();
  });
  port->SetOpen(true);
  Device->QueueInput("abc");
  ASSERT_TRUE(PumpUntil([&] { return !calls.empty() && calls.back().rfind("avail", 0) == 0; }));
  EXPECT_EQ(handlerThread, GetCurrentThreadId());
  EXPECT_EQ(calls[0], "trigger 32257 3 3");
  EXPECT_EQ(calls[1], "avail 3");
}

TEST_F(SioPortSubstitute, LineErrorStatusTriggerCallsThreeEvents) {
  std::vector<std::string> calls;
  auto port = RecorderPort(9);
  port->SetOnTriggerStatus([&](TObject*, WORD) { calls.push_back("status"); });
  port->SetOnTriggerLineError([&](TObject*, WORD error, bool lineBreak) {
    calls.push_back("line error " + std::to_string(error) + (lineBreak ? " break" : ""));
  });
  port->SetOpen(true);
  ASSERT_GT(port->Dispatcher()->AddStatusTrigger(StatusKindLineError, CE_FRAME), 0);
  Device->RaiseLineErrors(CE_FRAME);
  ASSERT_TRUE(PumpUntil([&] { return calls.size() >= 2; }));
  EXPECT_EQ(calls[0], "status");
  EXPECT_EQ(calls[1], "line error 4");
}

TEST_F(SioPortSubstitute, MessageForAFreedDispatcherIsIgnored) {
  bool called = false;
  auto port = RecorderPort(9);
  port->SetOnTrigger([&](TObject*, WORD, WORD, WORD) { called = true; });
  port->SetOpen(true);
  LRESULT result = TSioCustomComPort::PortWindowProc(port->NotifyWindow(), msgTriggerAvail, 1, 0x7FFF0000);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(called);
}

TEST_F(SioPortSubstitute, HandlerExceptionDoesNotStopLaterMessages) {
  int avails = 0;
  std::vector<std::string> shown;
  auto port = RecorderPort(9);
  SioPortHooks().ShowException = [&](const std::exception& error) { shown.push_back(error.what()); };
  port->SetOnTriggerAvail([&](TObject*, WORD count) {
    for (WORD i = 0; i < count; ++i) port->ReadChar();
    if (++avails == 1) throw Exception("handler failed");
  });
  port->SetOpen(true);
  Device->QueueInput("1");
  ASSERT_TRUE(PumpUntil([&] { return avails == 1; }));
  Device->QueueInput("2");
  ASSERT_TRUE(PumpUntil([&] { return avails == 2; }));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "handler failed");
}

namespace {

// A dispatcher event handler (on the dispatch worker, or on the port's thread
// through the worker's synchronized call) that fails on an avail message.
void FailOnAvail(void*, UINT msg, WPARAM, LPARAM) {
  if (msg == msgTriggerAvail) throw Exception("worker handler failed");
}

}  // namespace

TEST_F(SioPortSubstitute, ExceptionLeavingTheDispatchWorkerIsShownOnThePortsThreadAndEndsOnlyThatWorker) {
  for (bool synchronized : {false, true}) {
    SCOPED_TRACE(synchronized ? "synchronized handler" : "handler on the worker");
    std::vector<std::string> shown;
    std::vector<DWORD> shownOn;
    SioPortHooks().ShowException = [&](const std::exception& error) {
      shown.push_back(error.what());
      shownOn.push_back(GetCurrentThreadId());
    };
    auto port = RecorderPort(9);
    port->SetOpen(true);
    TSioBaseDispatcher* dispatcher = port->Dispatcher();
    dispatcher->AddEventHandler(TTriggerMethod{&FailOnAvail, nullptr}, synchronized);
    Device->QueueInput("x");
    ASSERT_TRUE(PumpUntil([&] { return !shown.empty(); })) << "the failure is shown, not swallowed";
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "worker handler failed");
    EXPECT_EQ(shownOn[0], GetCurrentThreadId()) << "on the thread that owns the port's window";

    // The dispatch worker has ended; the port stays open with the other two.
    ASSERT_TRUE(PumpUntil([&] { return dispatcher->DispWorker.load() == nullptr; }));
    EXPECT_TRUE(dispatcher->WorkersRunning);
    EXPECT_NE(dispatcher->ComWorker.load(), nullptr);
    EXPECT_NE(dispatcher->OutWorker.load(), nullptr);
    EXPECT_FALSE(dispatcher->HandlersRunning) << "the delivery was ended";
    EXPECT_EQ(port->OpenState(), PortStateOpen);
    EXPECT_TRUE(port->Open());
    size_t written = Device->Written().size();
    port->WriteText("still out");
    EXPECT_TRUE(Device->WaitForWritten(written + 9, std::chrono::seconds(10)));

    port->SetOpen(false);
    EXPECT_EQ(port->OpenState(), PortStateClosed);
    EXPECT_FALSE(Device->IsOpen());
    EXPECT_EQ(shown.size(), 1u);
  }
}

namespace {

// Holds the dispatch worker inside an avail delivery until released (or, if
// nobody releases it, for a bounded time, noted as a time-out).
struct THeldHandler {
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Entered = false;
  bool Released = false;
  bool TimedOut = false;

  static void Call(void* self, UINT msg, WPARAM, LPARAM) {
    if (msg != msgTriggerAvail) return;
    auto* h = static_cast<THeldHandler*>(self);
    std::unique_lock lock(h->Mutex);
    h->Entered = true;
    h->Changed.notify_all();
    if (!h->Changed.wait_for(lock, std::chrono::seconds(20), [h] { return h->Released; })) h->TimedOut = true;
  }
  bool WaitEntered() {
    std::unique_lock lock(Mutex);
    return Changed.wait_for(lock, std::chrono::seconds(10), [this] { return Entered; });
  }
  void Release() {
    std::lock_guard lock(Mutex);
    Released = true;
    Changed.notify_all();
  }
};

}  // namespace

TEST_F(SioPortSubstitute, DeferredCloseLetsOtherThreadsOpenPortsWhileItsWorkersRun) {
  auto otherDevice = SubstituteDevice::Create("other");
  ASSERT_TRUE(qorv::platform::WriteDeviceMapping(10, "substitute:other"));
  auto port = RecorderPort(9);
  port->SetOpen(true);
  THeldHandler held;
  port->Dispatcher()->AddEventHandler(TTriggerMethod{&THeldHandler::Call, &held}, false);
  Device->QueueInput("x");
  ASSERT_TRUE(held.WaitEntered());

  // Closed while the dispatch worker is inside a delivery: the close finishes
  // once the workers have ended.
  port->SetOpen(false);
  EXPECT_EQ(port->OpenState(), PortStateClosing);

  // Opening a port takes the port list's lock, on another thread.
  std::atomic<bool> otherOpened = false;
  std::atomic<bool> otherDone = false;
  std::thread opener([&] {
    auto other = RecorderPort(10);
    other->SetOpen(true);
    otherOpened = other->OpenState() == PortStateOpen;
    other->SetOpen(false);
    other.reset();
    otherDone = true;
  });
  bool progressed = PumpUntil([&] { return otherDone.load(); });
  held.Release();
  opener.join();
  EXPECT_TRUE(progressed) << "the other port opened and closed while this close waited";
  EXPECT_TRUE(otherOpened);
  EXPECT_FALSE(held.TimedOut);

  ASSERT_TRUE(PumpUntil([&] { return port->OpenState() == PortStateClosed; }));
  EXPECT_EQ(port->Dispatcher(), nullptr);
  EXPECT_EQ(port->NotifyWindow(), nullptr);
  EXPECT_FALSE(Device->IsOpen());
}

TEST_F(SioPortSubstitute, CloseFromAnEventHandlerCompletesLaterAndReopens) {
  BYTE stateInHandler = 0xFF;
  int opens = 0;
  auto port = RecorderPort(9);
  port->SetOnTriggerAvail([&](TObject*, WORD) {
    port->SetOpen(false);
    stateInHandler = port->OpenState();
    port->SetOpen(true);  // arrives while the close completes
  });
  port->OnPortOpen = [&](TObject*) { ++opens; };
  port->SetOpen(true);
  Device->QueueInput("x");
  ASSERT_TRUE(PumpUntil([&] { return stateInHandler != 0xFF; }));
  EXPECT_EQ(stateInHandler, PortStateClosing);
  ASSERT_TRUE(PumpUntil([&] { return opens == 2; }));
  EXPECT_EQ(port->OpenState(), PortStateOpen);
  EXPECT_TRUE(port->Open());
  EXPECT_FALSE(port->ReopenRequested());
}

TEST_F(SioPortSubstitute, DestroyingAComponentWithACloseStillPendingFinishesIt) {
  bool closed = false;
  auto port = RecorderPort(9);
  port->SetOnTriggerAvail([&](TObject*, WORD) {
    port->SetOpen(false);
    closed = true;
  });
  port->SetOpen(true);
  Device->QueueInput("x");
  ASSERT_TRUE(PumpUntil([&] { return closed; }));
  port.reset();
  EXPECT_FALSE(Device->IsOpen());
  // A completion message left in the queue finds no component.
  EXPECT_TRUE(PumpUntil([] { return true; }));
}

// ---------------------------------------------------------------------------
// Loading and copying

TEST_F(SioPortSubstitute, OpenStreamedFromAFormHappensAfterLoading) {
  auto port = RecorderPort(9);
  port->BeginLoading();
  port->SetOpen(true);
  EXPECT_TRUE(port->Open()) << "only stored while loading";
  EXPECT_EQ(port->Dispatcher(), nullptr);
  port->EndLoading();
  EXPECT_EQ(port->OpenState(), PortStateOpen);

  std::vector<std::string> shown;
  SioPortHooks().ShowException = [&](const std::exception& error) { shown.push_back(error.what()); };
  auto failing = RecorderPort(7);
  failing->BeginLoading();
  failing->SetOpen(true);
  failing->EndLoading();
  EXPECT_FALSE(failing->Open());
  EXPECT_EQ(failing->Dispatcher(), nullptr);
  EXPECT_EQ(shown.size(), 1u) << "the failed open is shown, not raised";
}

TEST_F(SioPortSubstitute, CopySettingsFromCopiesFieldsAndTriggersButNotTheOpenState) {
  auto source = RecorderPort(9);
  source->SetParity(pEven);
  source->SetTracing(tlOn);
  source->SetOpen(true);
  ASSERT_GT(source->Dispatcher()->AddDataTrigger("AT", 2, true), 0);
  TSioComPort copy(nullptr);
  copy.CopySettingsFrom(source.get());
  EXPECT_EQ(copy.Baud(), 115200);
  EXPECT_EQ(copy.Parity(), pEven);
  EXPECT_EQ(copy.ComNumber(), 9);
  EXPECT_EQ(copy.Tracing(), tlOn);
  EXPECT_FALSE(copy.Open());
  EXPECT_EQ(copy.Dispatcher(), nullptr);
  TObject unrelated;
  copy.CopySettingsFrom(&unrelated);
  EXPECT_EQ(copy.Baud(), 115200) << "a source of another class is ignored";
  source->SetOpen(false);
  copy.SetOpen(true);
  EXPECT_EQ(copy.Dispatcher()->DataTriggerList.size(), 1u) << "the source's triggers come with the copy";
}
