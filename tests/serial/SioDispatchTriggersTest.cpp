#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "SioDispatchTestDevice.h"
#include "SioErrors.h"

namespace {

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  bool operator==(const TMessage&) const = default;
};

// An event handler that records each message and then runs an action.
struct TRecorder {
  std::vector<TMessage> Messages;
  std::function<void(UINT)> Action;

  static void Call(void* self, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* r = static_cast<TRecorder*>(self);
    r->Messages.push_back({msg, wParam, lParam});
    if (r->Action) r->Action(msg);
  }
  TTriggerMethod Method() { return {&TRecorder::Call, this}; }
};

std::string ReadBytes(TSioBaseDispatcher& d, int n) {
  std::string s;
  BYTE b;
  for (int i = 0; i < n && d.TakeInput(b) == 0; ++i) s += static_cast<char>(b);
  return s;
}

std::vector<int> MatchPositions(const std::string& pattern, const std::string& input, bool ignoreCase = false) {
  TDataTrigger t;
  t.PatternLength = static_cast<DWORD>(pattern.size());
  t.IgnoreCase = ignoreCase;
  std::copy(pattern.begin(), pattern.end(), t.Pattern);
  std::vector<int> positions;
  for (size_t i = 0; i < input.size(); ++i) {
    if (TSioBaseDispatcher::MatchDataByte(t, static_cast<BYTE>(input[i]))) positions.push_back(static_cast<int>(i + 1));
  }
  return positions;
}

LPARAM LParamOf(const TSioBaseDispatcher& d, WORD data) {
  return static_cast<LPARAM>(MAKELONG(data, static_cast<WORD>(d.DispatcherHandle)));
}

}  // namespace

TEST(SioDispatchMatcher, RepeatedAndOverlappingPatterns) {
  struct Case {
    const char* pattern;
    const char* input;
    std::vector<int> matches;  // 1-based positions of the completing bytes
  };
  const Case cases[] = {
      {"aab", "aaab", {4}},   {"ab", "aab", {3}},           {"abc", "ababc", {5}}, {"ab", "xaxab", {5}},
      {"aa", "aaaa", {2, 4}}, {"abab", "abababab", {4, 8}}, {"a", "aba", {1, 3}},  {"abc", "abxabc", {6}},
      {"aaab", "aaaab", {5}}, {"xyz", "xyxyz", {5}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchPositions(c.pattern, c.input), c.matches) << c.pattern << " over " << c.input;
  }
}

TEST(SioDispatchMatcher, IgnoreCaseUpperCasesOnlyTheReceivedByte) {
  EXPECT_EQ(MatchPositions("OK", "ok", true), std::vector<int>{2});
  EXPECT_EQ(MatchPositions("OK", "oK", true), std::vector<int>{2});
  EXPECT_TRUE(MatchPositions("ok", "ok", true).empty()) << "a lower-case pattern never matches";
  EXPECT_TRUE(MatchPositions("OK", "ok", false).empty());
}

class SioDispatchDataTriggers : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(d.Open(), 0);
    d.AddEventHandler(recorder.Method(), false);
  }
  TTestDispatcher d;
  TRecorder recorder;
};

TEST_F(SioDispatchDataTriggers, AvailComesBeforeThePatternWhenEnoughBytesPrecedeIt) {
  int handle = d.AddDataTrigger("END", 3, false);
  ASSERT_GT(handle, 0);
  d.SetLengthTrigger(10);
  d.ReceiveIntoRing("0123456789abEND");
  while (d.CheckDataMatch()) {
  }
  ASSERT_GE(recorder.Messages.size(), 2u);
  EXPECT_EQ(recorder.Messages[0], (TMessage{msgTriggerAvail, 12, LParamOf(d, 0)}));
  EXPECT_EQ(recorder.Messages[1], (TMessage{msgTriggerData, static_cast<WPARAM>(handle), LParamOf(d, 3)}));
}

TEST_F(SioDispatchDataTriggers, TooFewBytesBeforeThePatternGiveOnlyTheDataMessage) {
  int handle = d.AddDataTrigger("END", 3, false);
  d.SetLengthTrigger(10);
  d.ReceiveIntoRing("012345678END");
  EXPECT_TRUE(d.CheckDataMatch());
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_EQ(recorder.Messages[0], (TMessage{msgTriggerData, static_cast<WPARAM>(handle), LParamOf(d, 3)}));
}

TEST_F(SioDispatchDataTriggers, LongestOfSeveralMatchesDecidesAndLastTriggerIsToldFirst) {
  int shortHandle = d.AddDataTrigger("D", 1, false);
  int longHandle = d.AddDataTrigger("END", 3, false);
  d.SetLengthTrigger(2);
  d.ReceiveIntoRing("xyzEND");
  d.CheckDataMatch();
  ASSERT_EQ(recorder.Messages.size(), 3u);
  EXPECT_EQ(recorder.Messages[0], (TMessage{msgTriggerAvail, 3, LParamOf(d, 0)}));
  EXPECT_EQ(recorder.Messages[1].WParam, static_cast<WPARAM>(longHandle));
  EXPECT_EQ(recorder.Messages[2].WParam, static_cast<WPARAM>(shortHandle));
}

TEST_F(SioDispatchDataTriggers, AvailIsSentOncePerScanPosition) {
  d.SetLengthTrigger(5);
  d.ReceiveIntoRing("1234");
  EXPECT_FALSE(d.CheckDataMatch());
  d.ReceiveIntoRing("5");
  EXPECT_FALSE(d.CheckDataMatch()) << "nobody took the bytes";
  EXPECT_FALSE(d.CheckDataMatch());
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_EQ(recorder.Messages[0].WParam, 5u);
}

TEST_F(SioDispatchDataTriggers, HandlersReadAheadFromTheSameStartAndTheMostIsConsumed) {
  std::string first, second;
  recorder.Action = [&](UINT) { first = ReadBytes(d, 3); };
  TRecorder other;
  other.Action = [&](UINT) { second = ReadBytes(d, 5); };
  d.AddEventHandler(other.Method(), false);
  d.SetLengthTrigger(8);
  d.ReceiveIntoRing("abcdefgh");
  EXPECT_FALSE(d.CheckDataMatch()) << "three bytes of the avail were left";
  EXPECT_EQ(first, "abc");
  EXPECT_EQ(second, "abcde");
  EXPECT_FALSE(d.ReadAheadActive);
  EXPECT_EQ(d.InputCount(), 3u);
  EXPECT_EQ(ReadBytes(d, 10), "fgh");
}

TEST_F(SioDispatchDataTriggers, AvailTakenWhollyLetsTheCheckGoOn) {
  recorder.Action = [&](UINT) { ReadBytes(d, 100); };
  d.SetLengthTrigger(4);
  d.ReceiveIntoRing("abcd");
  EXPECT_TRUE(d.CheckDataMatch());
  EXPECT_EQ(d.InputCount(), 0u);
  EXPECT_FALSE(d.InputFull);
}

TEST_F(SioDispatchDataTriggers, ReadAheadOnAFullRingThatWrapsAtItsEnd) {
  // Distinct bytes, so a read from the wrong place shows.
  std::string data(InputRingSize, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
  d.SetLengthTrigger(InputRingSize);
  for (DWORD take : {100u, InputRingSize}) {
    SCOPED_TRACE(take);
    d.PositionInputRing(5000);
    d.ReceiveIntoRing(data);
    ASSERT_TRUE(d.InputFull);
    std::string seen;
    DWORD countAfter = 0;
    bool moreAfter = true;
    int nextAfter = 0;
    recorder.Action = [&](UINT msg) {
      if (msg != msgTriggerAvail) return;
      seen = ReadBytes(d, static_cast<int>(take));
      countAfter = d.InputCount();
      moreAfter = d.HasInput();
      BYTE b;
      nextAfter = d.PeekInput(b, 1);
      if (take == InputRingSize) nextAfter = d.TakeInput(b);
    };
    EXPECT_EQ(d.CheckDataMatch(), take == InputRingSize) << "an avail taken wholly lets the check go on";
    EXPECT_EQ(seen, data.substr(0, take));
    EXPECT_EQ(countAfter, InputRingSize - take);
    EXPECT_EQ(moreAfter, take < InputRingSize);
    EXPECT_EQ(nextAfter, take < InputRingSize ? 0 : ecBufferIsEmpty) << "nothing beyond the full ring";
    EXPECT_FALSE(d.InputFull);
    EXPECT_EQ(d.InputCount(), InputRingSize - take);
    recorder.Action = nullptr;
    EXPECT_EQ(ReadBytes(d, InputRingSize), data.substr(take));
  }
}

// Length trigger 2 and data trigger "!" over "aaaa!bbbb!", with every byte
// taken during the first avail delivery: by the notified handler reading
// ahead, or by another thread (a poller) consuming.
TEST(SioDispatchDataTriggerReaders, BytesTakenDuringADeliveryAreNeitherOfferedNorScannedAgain) {
  for (bool otherThread : {false, true}) {
    SCOPED_TRACE(otherThread ? "another thread consumes" : "the handler reads ahead");
    TTestDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    TRecorder recorder;
    std::vector<DWORD> waitingAtAvail;
    recorder.Action = [&](UINT msg) {
      if (msg != msgTriggerAvail) return;
      waitingAtAvail.push_back(d.InputCount());
      if (waitingAtAvail.size() != 1) return;
      if (otherThread) {
        std::thread([&] { ReadBytes(d, 100); }).join();
      } else {
        EXPECT_EQ(ReadBytes(d, 100), "aaaa!bbbb!");
      }
    };
    d.AddEventHandler(recorder.Method(), false);
    int handle = d.AddDataTrigger("!", 1, false);
    d.SetLengthTrigger(2);
    d.ReceiveIntoRing("aaaa!bbbb!");
    for (int check = 0; check < 10 && d.CheckDataMatch(); ++check) {
    }
    ASSERT_EQ(recorder.Messages.size(), 2u);
    EXPECT_EQ(recorder.Messages[0], (TMessage{msgTriggerAvail, 4, LParamOf(d, 0)}));
    EXPECT_EQ(recorder.Messages[1], (TMessage{msgTriggerData, static_cast<WPARAM>(handle), LParamOf(d, 1)}));
    EXPECT_EQ(d.InputCount(), 0u);
    {
      TSioLock lock(d.InputLock);
      EXPECT_EQ(d.ScanPosition, d.InTail) << "the scan never stands behind the oldest waiting byte";
      EXPECT_EQ(d.ScanBacklog, 0u);
    }

    // Bytes that arrive later are scanned and offered as usual.
    d.ReceiveIntoRing("cc!");
    for (int check = 0; check < 10 && d.CheckDataMatch(); ++check) {
    }
    ASSERT_EQ(recorder.Messages.size(), 5u);
    EXPECT_EQ(recorder.Messages[2], (TMessage{msgTriggerAvail, 2, LParamOf(d, 0)}));
    EXPECT_EQ(recorder.Messages[3].Msg, msgTriggerData);
    EXPECT_EQ(recorder.Messages[4], (TMessage{msgTriggerAvail, 3, LParamOf(d, 0)})) << "nobody took them";
    ASSERT_EQ(waitingAtAvail.size(), 3u);
    size_t avail = 0;
    for (const TMessage& m : recorder.Messages) {
      if (m.Msg != msgTriggerAvail) continue;
      EXPECT_LE(m.WParam, waitingAtAvail[avail++]) << "never more than is waiting";
    }
  }
}

TEST(SioDispatchNotify, ServiceOffSendsNothingAndLeavesTheRing) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.ReceiveIntoRing("abc");
  EXPECT_TRUE(d.NotifyHandlers(msgTriggerAvail, 3, 0));
  EXPECT_FALSE(d.HandlersRunning);
  EXPECT_FALSE(d.ReadAheadActive);
  EXPECT_EQ(d.InputCount(), 3u);
}

TEST(SioDispatchNotify, OwnWindowAloneIsNotSentToButAccountingRuns) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.RegisterWindowHandler(reinterpret_cast<HWND>(0x1234));
  EXPECT_TRUE(d.HandlerService);
  d.ReceiveIntoRing("abc");
  EXPECT_FALSE(d.NotifyHandlers(msgTriggerAvail, 3, 0)) << "no handler took the three bytes";
  EXPECT_TRUE(d.NotifyHandlers(msgTriggerTimer, 1, 0));
  EXPECT_EQ(d.InputCount(), 3u);
  d.SetHandlerService(2);
  EXPECT_FALSE(d.HandlerService);
  d.SetHandlerService(1);
  EXPECT_TRUE(d.HandlerService);
  EXPECT_TRUE(d.PortHandlerActive);
}

TEST(SioDispatchNotify, HandlersRemovedDuringDeliveryStayUntilItEnds) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  HWND window = reinterpret_cast<HWND>(0x1234);
  d.RegisterWindowHandler(window);
  TRecorder recorder;
  size_t windowsDuring = 0, handlersDuring = 0;
  recorder.Action = [&](UINT) {
    d.DeregisterWindowHandler(window);
    d.RemoveEventHandler(recorder.Method());
    windowsDuring = d.WindowHandlers.size();
    handlersDuring = d.EventHandlers.size();
  };
  d.AddEventHandler(recorder.Method(), false);
  EXPECT_TRUE(d.NotifyHandlers(msgTriggerTimer, 7, 0));
  EXPECT_EQ(windowsDuring, 1u);
  EXPECT_EQ(handlersDuring, 1u);
  EXPECT_TRUE(d.WindowHandlers.empty());
  EXPECT_TRUE(d.EventHandlers.empty());
  EXPECT_FALSE(d.HandlerListDirty);
  EXPECT_FALSE(d.HandlerService);
  EXPECT_TRUE(d.NotifyHandlers(msgTriggerTimer, 7, 0));
  EXPECT_EQ(recorder.Messages.size(), 1u);
}

TEST(SioDispatchNotify, CloseFromInsideAHandlerIsDeferred) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  TRecorder closer, later;
  closer.Action = [&](UINT) {
    ReadBytes(d, 2);
    d.CloseDevice();
  };
  d.AddEventHandler(closer.Method(), false);
  d.AddEventHandler(later.Method(), false);
  d.ReceiveIntoRing("abcd");
  DWORD tail = d.InTail;
  EXPECT_FALSE(d.NotifyHandlers(msgTriggerAvail, 4, 0));
  EXPECT_TRUE(d.ClosePending);
  EXPECT_TRUE(later.Messages.empty()) << "the delivery stops after the closing handler";
  EXPECT_EQ(d.InTail, tail);
  EXPECT_FALSE(d.ReadAheadActive);
  EXPECT_FALSE(d.HandlersRunning);
  EXPECT_NE(d.InputRing, nullptr) << "the rings wait for the dispatch worker";
  EXPECT_EQ(d.DeviceHandle, INVALID_HANDLE_VALUE);
  d.CloseBeforeDestroy();
  EXPECT_EQ(d.InputRing, nullptr);
  EXPECT_FALSE(d.WorkersRunning);
}

TEST(SioDispatchStatusTriggers, EachKindFiresOnItsCondition) {
  struct Case {
    const char* name;
    DWORD kind;
    WORD condition;
    std::function<void(TTestDispatcher&)> arrange;
    bool fires;
    WORD value;
  };
  auto queue = [](DWORD n) {
    return [n](TTestDispatcher& d) { ASSERT_EQ(d.WriteBlock(std::string(n, 'x').data(), n), 0); };
  };
  const Case cases[] = {
      {"CTS differs from the recorded off", 1, 0x1000, [](TTestDispatcher& d) { d.ModemLines = ModemCts; }, true, 0},
      {"CTS as recorded", 1, 0x1010, [](TTestDispatcher& d) { d.ModemLines = ModemCts; }, false, 0},
      {"unwatched line changed", 1, 0x2000, [](TTestDispatcher& d) { d.ModemLines = ModemCts; }, false, 0},
      {"parity watched", 2, 0x0004, [](TTestDispatcher& d) { d.ErrorFlags = 0x0C; }, true, 0},
      {"framing not watched", 2, 0x0004, [](TTestDispatcher& d) { d.ErrorFlags = 0x08; }, false, 0},
      {"free at the limit", 3, 100, queue(100), true, 100},
      {"free one below", 3, 100, queue(101), false, 0},
      {"used at the limit", 4, 10, queue(10), true, 10},
      {"used one above", 4, 10, queue(11), false, 0},
      {"output sent", 5, 0, queue(1), true, 0},
      {"nothing sent", 5, 0, [](TTestDispatcher&) {}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestDispatcher d;
    ASSERT_EQ(d.Open(200), 0);
    TRecorder recorder;
    d.AddEventHandler(recorder.Method(), false);
    int handle = d.AddStatusTrigger(c.kind, c.condition);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(TSioBaseDispatcher::StatusKindOfHandle(handle), c.kind);
    c.arrange(d);
    EXPECT_EQ(d.CheckStatusChange(), c.fires);
    if (!c.fires) {
      EXPECT_TRUE(recorder.Messages.empty());
      continue;
    }
    ASSERT_EQ(recorder.Messages.size(), 1u);
    EXPECT_EQ(recorder.Messages[0], (TMessage{msgTriggerStatus, static_cast<WPARAM>(handle), LParamOf(d, c.value)}));
    EXPECT_TRUE(d.StatusHitThisPass);
    EXPECT_FALSE(d.CheckStatusChange()) << "a status trigger fires once";
    d.ClearStatusHits();
    EXPECT_FALSE(d.StatusTriggerList[0].Hit);
    EXPECT_FALSE(d.CheckStatusChange()) << "and stays disarmed";
  }
}

TEST(SioDispatchStatusTriggers, LineErrorTriggerRecordsTheFlagsSeen) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.AddStatusTrigger(StatusKindLineError, 0x1F);
  d.ErrorFlags = LineErrorParity | LineErrorBreak;
  d.CheckStatusChange();
  EXPECT_EQ(d.StatusTriggerList[0].Condition, LineErrorParity | LineErrorBreak);
  EXPECT_FALSE(d.OutputWritten);
}

TEST(SioDispatchStatusTriggers, OutputSentFlagIsTakenOnlyWhenFiring) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.OutputWritten = true;
  d.AddStatusTrigger(StatusKindModem, 0x1000);
  EXPECT_FALSE(d.CheckStatusChange());
  EXPECT_TRUE(d.OutputWritten) << "a trigger of another kind leaves the flag";
}

TEST(SioDispatchTimerTriggers, ExpiryFiresOnceAndCountsAcrossTheClockWrap) {
  struct Case {
    const char* name;
    LONG start;  // relative to now, in ticks
    LONG expiry;
    bool fires;
  };
  const Case cases[] = {
      {"expired", -20, -2, true},
      {"not yet", -2, 100, false},
      {"wrapped, within the correction", 1000, kTickWrapTicks - 100, true},
      {"wrapped, beyond the correction", 1000, kTickWrapTicks + 100, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestDispatcher d;
    ASSERT_EQ(d.Open(), 0);
    TRecorder recorder;
    d.AddEventHandler(recorder.Method(), false);
    int handle = d.AddTimerTrigger(1000);
    LONG now = static_cast<LONG>(MillisecondClock() / kMsPerTick);
    d.TimerTriggerList[0].Timer = {now + c.start, now + c.expiry};
    EXPECT_EQ(d.CheckTimerExpiry(), c.fires);
    EXPECT_FALSE(d.CheckTimerExpiry());
    if (c.fires) {
      ASSERT_EQ(recorder.Messages.size(), 1u);
      EXPECT_EQ(recorder.Messages[0], (TMessage{msgTriggerTimer, static_cast<WPARAM>(handle), LParamOf(d, 0)}));
    }
  }
}

TEST(SioDispatchSnapshots, TriggersSurviveAReopenInANewDispatcher) {
  TTriggerSnapshot saved;
  int dataHandle;
  {
    TTestDispatcher first;
    ASSERT_EQ(first.Open(), 0);
    first.SetLengthTrigger(17);
    first.AddTimerTrigger(500);
    dataHandle = first.AddDataTrigger("OK", 2, false);
    first.AddStatusTrigger(StatusKindOutputSent, 0);
    first.SaveTriggers(saved);
  }
  TTestDispatcher second;
  ASSERT_EQ(second.Open(), 0);
  TRecorder recorder;
  second.AddEventHandler(recorder.Method(), false);
  second.RestoreTriggers(saved);
  EXPECT_EQ(second.LengthTrigger, 17u);
  EXPECT_EQ(second.TimerTriggerList.size(), 1u);
  EXPECT_EQ(second.StatusTriggerList.size(), 1u);
  ASSERT_EQ(second.DataTriggerList.size(), 1u);
  ASSERT_NE(saved.DataTriggers, nullptr) << "the snapshot is kept";

  second.ReceiveIntoRing("OK");
  second.CheckDataMatch();
  ASSERT_FALSE(recorder.Messages.empty());
  EXPECT_EQ(recorder.Messages.back().WParam, static_cast<WPARAM>(dataHandle));
  TSioBaseDispatcher::FreeTriggerSnapshot(saved);
  EXPECT_EQ(saved.TimerTriggers, nullptr);
}

TEST(SioDispatchSnapshots, AbsentListLeavesTheLiveListEmpty) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.AddDataTrigger("x", 1, false);
  TTriggerSnapshot snapshot;
  snapshot.LengthTrigger = 3;
  snapshot.TimerTriggers = std::make_unique<TTimerTriggerList>(1);
  d.RestoreTriggers(snapshot);
  EXPECT_TRUE(d.DataTriggerList.empty());
  EXPECT_EQ(d.TimerTriggerList.size(), 1u);
}

TEST(SioDispatchTriggerLists, AddRefusesBadArgumentsAndRemoveFindsEveryKind) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  EXPECT_EQ(d.AddDataTrigger("", 0, false), ecBadArgument);
  EXPECT_EQ(d.AddDataTrigger(std::string(23, 'a').data(), 23, false), ecBadArgument);
  EXPECT_GT(d.AddDataTrigger(std::string(22, 'a').data(), 22, false), 0);
  EXPECT_EQ(d.AddStatusTrigger(0, 0), ecBadArgument);
  EXPECT_EQ(d.AddStatusTrigger(6, 0), ecBadArgument);
  int timer = d.AddTimerTrigger(10);
  int status = d.AddStatusTrigger(StatusKindOutputUsed, 0);
  EXPECT_NE(timer, status);
  EXPECT_TRUE(d.RemoveTrigger(status));
  EXPECT_TRUE(d.RemoveTrigger(timer));
  EXPECT_FALSE(d.RemoveTrigger(timer));
  d.DropAllTriggers();
  EXPECT_TRUE(d.DataTriggerList.empty());
}

TEST(SioDispatchOptions, OptionBitsAndRs485) {
  TTestDispatcher d;
  ASSERT_EQ(d.Open(), 0);
  d.SetOptionBits(4 | 1);
  d.ClearOptionBits(1);
  EXPECT_EQ(d.OptionBits, 4u);
  d.EscapeResult = 0x3F8;
  d.ApplyRs485Mode(true);
  EXPECT_TRUE(d.Rs485Active);
  EXPECT_EQ(d.UartBase, 0) << "no base address is asked for on this platform";
  d.NtPlatform = false;
  d.ApplyRs485Mode(true);
  EXPECT_EQ(d.UartBase, 0x3F8);
  EXPECT_EQ(d.ReadIoPort(0x3FD) & 0x40, 0x40) << "transmitter-empty wait ends at once";
}
