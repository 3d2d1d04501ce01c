// Handlers, triggers and their checks, and the step that moves received bytes
// from the driver into the input ring.
//
// The dispatch worker walks the trigger lists under StateLock and releases it
// before it delivers a message, so handlers may register and deregister; a
// handler removed during a delivery is only marked and purged at its end.
#include <algorithm>
#include <array>

#include "SioDispatch.h"
#include "SioDispatchLock.h"
#include "SioErrors.h"

namespace {

constexpr UINT DeliveryTimeoutMs = 3000;
constexpr BYTE LogDispatch = 1;
constexpr BYTE LogTrigger = 2;
constexpr BYTE LogHandlerAdded = 7;
constexpr BYTE LogHandlerRemoved = 8;
constexpr BYTE LogTriggerDataChanged = 9;
constexpr BYTE SubReadCom = 1;
constexpr BYTE SubAvail = 5;
constexpr BYTE SubTimer = 6;
constexpr BYTE SubData = 7;
constexpr BYTE SubStatus = 8;
constexpr BYTE SubAvailChanged = 16;
constexpr BYTE SubWindow = 17;

// Upper case of each byte in the ANSI code page, as CharUpperBuffA gives it:
// a byte whose upper-case letter has no byte of its own stays as it is.
const std::array<BYTE, 256>& AnsiUpperTable() {
  static const std::array<BYTE, 256> table = [] {
    std::array<BYTE, 256> upper{};
    for (int i = 0; i < 256; ++i) {
      upper[i] = static_cast<BYTE>(i);
      char in = static_cast<char>(i);
      WCHAR wide = 0;
      if (MultiByteToWideChar(CP_ACP, 0, &in, 1, &wide, 1) != 1) continue;
      WCHAR up = wide;
      if (wide >= u'a' && wide <= u'z') {
        up = static_cast<WCHAR>(wide - 32);
      } else if ((wide >= 0xE0 && wide <= 0xFE && wide != 0xF7)) {
        up = static_cast<WCHAR>(wide - 32);
      } else if (wide == 0x153) {
        up = 0x152;
      }
      if (up == wide) continue;
      char out = 0;
      BOOL usedDefault = FALSE;
      if (WideCharToMultiByte(CP_ACP, 0, &up, 1, &out, 1, nullptr, &usedDefault) == 1 && !usedDefault) {
        upper[i] = static_cast<BYTE>(out);
      }
    }
    return upper;
  }();
  return table;
}

DWORD NextRingIndex(DWORD i) { return (i + 1) % InputRingSize; }

}  // namespace

// ---- Notification ----

template <class Handler, class Call>
bool TSioBaseDispatcher::DeliverToList(std::vector<std::unique_ptr<Handler>>& list, const Call& call, bool& stopped) {
  size_t count;
  {
    TSioLock lock(StateLock);
    count = list.size();
  }
  for (size_t i = 0; i < count; ++i) {
    Handler copy;
    {
      // Entries are only marked while handlers run, so index i stays valid;
      // the vector itself may grow under a handler that registers another.
      TSioLock lock(StateLock);
      copy = *list[i];
    }
    {
      TSioLock lock(InputLock);
      ReadAheadCount = 0;
    }
    if (!copy.Deleted) call(copy);
    if (ClosePending) {
      stopped = true;
      return false;
    }
    TSioLock lock(InputLock);
    ReadAheadMax = std::max(ReadAheadMax, ReadAheadCount);
  }
  return true;
}

bool TSioBaseDispatcher::NotifyHandlers(UINT msg, WPARAM wParam, DWORD data) {
  bool portHandlerActive;
  {
    TSioLock lock(StateLock);
    if (!HandlerService) return true;
    HandlersRunning = true;
    portHandlerActive = PortHandlerActive;
  }
  bool readAhead = msg == msgTriggerAvail || msg == msgTriggerData;
  {
    TSioLock lock(InputLock);
    ReadAheadMax = 0;
    ReadAheadActive = readAhead;
    // No thread reads ahead until a handler's own thread is named.
    ReadAheadThread = 0;
  }
  bool stopped = false;
  try {
    DeliverToAllHandlers(msg, wParam, data, portHandlerActive, stopped);
  } catch (...) {
    // A handler that threw ends the delivery like a close requested in it:
    // the ring keeps its bytes and the next delivery starts afresh.
    EndDelivery(true, readAhead, msg, wParam);
    throw;
  }
  return EndDelivery(stopped, readAhead, msg, wParam);
}

void TSioBaseDispatcher::DeliverToAllHandlers(UINT msg, WPARAM wParam, DWORD data, bool portHandlerActive,
                                              bool& stopped) {
  // The data travels in the low word only, so it can never spill into the
  // dispatcher handle in the high word.
  LPARAM lParam = static_cast<LPARAM>(MAKELONG(static_cast<WORD>(data), static_cast<WORD>(DispatcherHandle)));
  DWORD ownThread = GetCurrentThreadId();
  auto setReader = [this](DWORD thread) {
    TSioLock lock(InputLock);
    ReadAheadThread = thread;
  };

  DeliverToList(
      EventHandlers,
      [&](const TEventHandler& handler) {
        if (handler.Synchronized) {
          setReader(MainThreadId);
          CallSynchronized(handler.Method, msg, wParam, lParam);
        } else {
          setReader(ownThread);
          handler.Method.Code(handler.Method.Object, msg, wParam, lParam);
        }
      },
      stopped);
  if (!stopped) {
    DeliverToList(
        ProcedureHandlers,
        [&](const TProcedureHandler& handler) {
          if (handler.Procedure == nullptr) return;
          setReader(ownThread);
          handler.Procedure(msg, wParam, lParam);
        },
        stopped);
  }
  if (stopped) return;
  size_t windows;
  {
    TSioLock lock(StateLock);
    windows = WindowHandlers.size();
  }
  if (windows > 1 || portHandlerActive) {
    DeliverToList(
        WindowHandlers,
        [&](const TWindowHandler& handler) {
          setReader(GetWindowThreadProcessId(handler.Window, nullptr));
          DWORD_PTR ignored = 0;
          SendMessageTimeoutA(handler.Window, msg, wParam, lParam, SMTO_BLOCK, DeliveryTimeoutMs, &ignored);
        },
        stopped);
  }
}

bool TSioBaseDispatcher::EndDelivery(bool stopped, bool readAhead, UINT msg, WPARAM wParam) {
  bool result = true;
  {
    TSioLock lock(InputLock);
    ReadAheadThread = 0;
    if (stopped) {
      // The ring keeps every byte; reads after the close consume as usual.
      ReadAheadActive = false;
      result = false;
    } else {
      if (readAhead) {
        ReadAheadActive = false;
        // A reader outside the delivery may have consumed meanwhile; never
        // advance past the bytes still waiting.
        DWORD advance = std::min(ReadAheadMax, RingDistance(InHead, InTail, InputFull));
        InTail = (InTail + advance) % InputRingSize;
        if (ReadAheadMax != 0) InputFull = false;
        KeepScanWithinInput();
        if (msg == msgTriggerAvail && ReadAheadMax != wParam) result = false;
      }
      ReadAheadCount = 0;
    }
  }
  {
    TSioLock lock(StateLock);
    HandlersRunning = false;
    if (HandlerListDirty) {
      PurgeDeletedHandlers();
      HandlerListDirty = false;
      SetHandlerService(0);
    }
  }
  return result;
}

void TSioBaseDispatcher::PurgeDeletedHandlers() {
  auto purge = [](auto& list) {
    for (size_t i = list.size(); i-- > 0;) {
      if (list[i]->Deleted) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
  };
  purge(WindowHandlers);
  purge(ProcedureHandlers);
  purge(EventHandlers);
}

// ---- Matching and checks ----

bool TSioBaseDispatcher::MatchDataByte(TDataTrigger& trigger, BYTE c) {
  const DWORD length = trigger.PatternLength;
  if (length == 0 || length > MaxPatternLength) return false;
  if (trigger.IgnoreCase) c = AnsiUpperTable()[c];
  bool matched = false;
  bool started = false;
  bool check = true;
  for (DWORD k = 0; k < length; ++k) {
    if (check) {
      DWORD p = trigger.MatchState[k];
      if (trigger.Pattern[p] == c) {
        if (p == length - 1) {
          // A complete match ends every partial one, and the byte that
          // completed it starts none: matches never overlap.
          std::fill(std::begin(trigger.MatchState), std::end(trigger.MatchState), 0);
          matched = true;
          break;
        } else {
          trigger.MatchState[k] = p + 1;
        }
      } else if (trigger.Pattern[0] == c) {
        trigger.MatchState[k] = 1;
        started = true;
      } else {
        trigger.MatchState[k] = 0;
      }
    }
    if (trigger.MatchState[k] == 1) started = true;
    if (k == length - 1) break;
    check = trigger.MatchState[k + 1] != 0 || (!started && trigger.Pattern[0] == c);
  }
  return matched;
}

DWORD TSioBaseDispatcher::UptoPosition(DWORD position, DWORD back) {
  TSioLock lock(InputLock);
  DWORD end = (position + InputRingSize - back % InputRingSize) % InputRingSize;
  DWORD count = RingDistance(end, InTail, false) + 1;
  // A reader may have taken that position since it was scanned: the distance
  // from the tail then wraps, and no byte up to it is waiting any more.
  if (count > RingDistance(InHead, InTail, InputFull)) return 0;
  if (ReadAheadActive) count -= std::min(count, ReadAheadCount);
  return count;
}

void TSioBaseDispatcher::KeepScanWithinInput() {
  DWORD waiting = RingDistance(InHead, InTail, InputFull);
  if (ScanBacklog <= waiting) return;
  ScanBacklog = waiting;
  ScanPosition = InTail;
}

bool TSioBaseDispatcher::ScanNewBytes(DWORD& matchedAt, DWORD& longest, DWORD& lengthTrigger, bool& scanned) {
  // General before input, as everywhere both are held; readers wait for the
  // whole run of new bytes instead of trading the locks for every byte.
  TSioLock stateLock(StateLock);
  TSioLock inputLock(InputLock);
  lengthTrigger = LengthTrigger;
  if (InputRing == nullptr || ScanBacklog == 0) return false;
  bool anyPattern = std::any_of(DataTriggerList.begin(), DataTriggerList.end(),
                                [](const TDataTrigger& trigger) { return trigger.PatternLength != 0; });
  scanned = true;
  if (!anyPattern) {
    ScanPosition = (ScanPosition + ScanBacklog) % InputRingSize;
    ScanBacklog = 0;
    return false;
  }
  while (ScanBacklog != 0) {
    DWORD i = ScanPosition;
    BYTE c = InputRing[i];
    ScanPosition = NextRingIndex(i);
    --ScanBacklog;
    bool anyMatch = false;
    for (TDataTrigger& trigger : DataTriggerList) {
      if (trigger.PatternLength == 0) continue;
      if (!trigger.Matched) trigger.Matched = MatchDataByte(trigger, c);
      if (trigger.Matched) {
        longest = std::max(longest, trigger.PatternLength);
        anyMatch = true;
      }
    }
    if (anyMatch) {
      matchedAt = i;
      return true;
    }
  }
  return false;
}

bool TSioBaseDispatcher::CheckDataMatch() {
  bool result = true;
  DWORD i = 0;
  bool scanned = false;
  DWORD longest = 0;
  DWORD lengthTrigger = 0;
  if (ScanNewBytes(i, longest, lengthTrigger, scanned)) {
    if (lengthTrigger != 0 && AvailNotifiedAt != i) {
      DWORD upto = UptoPosition(i, 0);
      if (static_cast<LONG>(upto - longest) >= static_cast<LONG>(lengthTrigger)) {
        DWORD before = UptoPosition(i, longest);
        if (LogActive) AddLogEntry(LogTrigger, SubAvail, before, nullptr, 0);
        result = NotifyHandlers(msgTriggerAvail, before, 0);
        AvailNotifiedAt = i;
      }
    }
    size_t index;
    {
      TSioLock lock(StateLock);
      index = DataTriggerList.size();
    }
    while (index-- > 0) {
      DWORD handle;
      DWORD length;
      {
        TSioLock lock(StateLock);
        if (index >= DataTriggerList.size() || !DataTriggerList[index].Matched) continue;
        DataTriggerList[index].Matched = false;
        handle = DataTriggerList[index].Handle;
        length = DataTriggerList[index].PatternLength;
      }
      if (LogActive) AddLogEntry(LogTrigger, SubData, handle, nullptr, 0);
      result = NotifyHandlers(msgTriggerData, handle, length);
    }
    return result;
  }
  {
    TSioLock lock(InputLock);
    i = ScanPosition;
  }
  DWORD waiting = InputCount();
  {
    TSioLock lock(StateLock);
    lengthTrigger = LengthTrigger;
  }
  // New bytes after a whole ring's worth end where the last avail did; they
  // still deserve their message.
  bool newPosition = AvailNotifiedAt != i || scanned;
  if (lengthTrigger != 0 && newPosition && waiting >= lengthTrigger) {
    if (LogActive) AddLogEntry(LogTrigger, SubAvail, waiting, nullptr, 0);
    result = NotifyHandlers(msgTriggerAvail, waiting, 0);
    AvailNotifiedAt = i;
    return result;
  }
  return false;
}

bool TSioBaseDispatcher::CheckStatusChange() {
  bool needOutputCount = false;
  {
    TSioLock lock(StateLock);
    for (const TStatusTrigger& trigger : StatusTriggerList) {
      bool live = trigger.Armed && !trigger.Hit;
      if (live && (trigger.Kind == StatusKindOutputFree || trigger.Kind == StatusKindOutputUsed)) {
        needOutputCount = true;
      }
    }
  }
  // OutputLock and StateLock never nest: count first, then walk.
  DWORD used = needOutputCount ? OutputCount() : 0;

  DWORD handle = 0;
  DWORD value = 0;
  bool fired = false;
  {
    TSioLock lock(StateLock);
    for (TStatusTrigger& trigger : StatusTriggerList) {
      if (!trigger.Armed || trigger.Hit) continue;
      value = 0;
      switch (trigger.Kind) {
        case StatusKindModem:
          fired = ((LOBYTE(trigger.Condition) ^ ModemLines) & HIBYTE(trigger.Condition)) != 0;
          break;
        case StatusKindLineError: {
          DWORD flags = ErrorFlags;
          fired = (trigger.Condition & flags) != 0;
          if (fired) trigger.Condition = LOWORD(flags);
          break;
        }
        case StatusKindOutputFree:
          value = OutQueueSize - used;
          fired = value >= trigger.Condition;
          break;
        case StatusKindOutputUsed:
          value = used;
          fired = value <= trigger.Condition;
          break;
        case StatusKindOutputSent: fired = OutputWritten.exchange(false); break;
        default: fired = false;
      }
      if (fired) {
        trigger.Armed = false;
        trigger.Hit = true;
        StatusHitThisPass = true;
        handle = trigger.Handle;
        break;
      }
    }
  }
  if (!fired) return false;
  if (LogActive) AddLogEntry(LogTrigger, SubStatus, handle, nullptr, 0);
  return NotifyHandlers(msgTriggerStatus, handle, value);
}

bool TSioBaseDispatcher::CheckTimerExpiry() {
  DWORD handle = 0;
  bool fired = false;
  {
    TSioLock lock(StateLock);
    for (TTimerTrigger& trigger : TimerTriggerList) {
      if (trigger.Active && TimerExpired(trigger.Timer)) {
        trigger.Active = false;
        handle = trigger.Handle;
        fired = true;
        break;
      }
    }
  }
  if (!fired) return false;
  if (LogActive) AddLogEntry(LogTrigger, SubTimer, handle, nullptr, 0);
  return NotifyHandlers(msgTriggerTimer, handle, 0);
}

// ---- Filling the input ring ----

DWORD TSioBaseDispatcher::ReadIntoRing(DWORD position, DWORD count) {
  int got = ReadDevice(&InputRing[position], count);
  if (got < 0) {
    ReadFailed(-1);
    got = 0;
  }
  return std::min(static_cast<DWORD>(got), count);
}

bool TSioBaseDispatcher::FillInputRing() {
  std::lock_guard fill(FillLock);
  return FillInputRingHeld();
}

bool TSioBaseDispatcher::FillInputRingUnless(const std::atomic<bool>& busy) {
  std::lock_guard fill(FillLock);
  if (busy) {
    DriverDrained = false;
    return false;
  }
  return FillInputRingHeld();
}

bool TSioBaseDispatcher::FillInputRingHeld() {
  // Only this fill writes between the head and the tail, and readers only
  // make that room larger, so the room seen here stays free while the driver
  // is asked and read without InputLock.
  DWORD head;
  DWORD tail;
  DWORD epoch;
  {
    TSioLock lock(InputLock);
    if (InputFull) {
      DriverDrained = false;
      return true;
    }
    if (InputRing == nullptr) return false;
    head = InHead;
    tail = InTail;
    epoch = InputEpoch;
  }
  PollDeviceErrors();
  DWORD queued;
  {
    TSioLock outputLock(OutputLock);
    queued = DeviceStatus.cbInQue;
  }
  DriverDrained = queued == 0;
  if (queued == 0) return false;

  // The whole free run up to the ring's end is asked for; the part after the
  // wrap only for what the driver said it holds.
  DWORD free = head == tail ? InputRingSize : RingDistance(tail, head, false);
  DWORD run = std::min(free, InputRingSize - head);
  DWORD want = std::min(free, queued);
  DWORD firstCount = ReadIntoRing(head, run);
  DWORD second = 0;
  bool readSecond = firstCount == run && want > run;
  if (readSecond) second = ReadIntoRing(0, want - run);
  DWORD count = firstCount + second;
  {
    TSioLock lock(InputLock);
    // A discard or a new ring since the room was seen: the bytes go with it.
    if (count != 0 && epoch == InputEpoch) {
      // Full is set before the head reaches the tail, so that a reader
      // without the lock never sees waiting bytes as an empty ring.
      DWORD newHead = (head + count) % InputRingSize;
      if (newHead == InTail.load(std::memory_order_relaxed)) InputFull.store(true, std::memory_order_release);
      InHead.store(newHead, std::memory_order_release);
      ScanBacklog += count;
    }
    // Bytes arriving after the count came with an event of their own; only a
    // ring that filled may have left some behind.
    DriverDrained = count >= queued && !InputFull;
  }
  // Each read is its own log entry, as it was its own read. The log lives
  // under StateLock, which is never taken inside InputLock; the bytes stay as
  // read until this fill ends, as only a fill writes the ring.
  if (LogActive) {
    AddLogEntry(LogDispatch, SubReadCom, firstCount, &InputRing[head], firstCount);
    if (readSecond) AddLogEntry(LogDispatch, SubReadCom, second, &InputRing[0], second);
  }
  return true;
}

// ---- Trigger list helpers ----

void TSioBaseDispatcher::DropAllTriggers() {
  TSioLock lock(StateLock);
  LengthTrigger = 0;
  TimerTriggerList.clear();
  DataTriggerList.clear();
  StatusTriggerList.clear();
  NextTriggerHandle = 1;
}

void TSioBaseDispatcher::ClearStatusHits() {
  TSioLock lock(StateLock);
  for (TStatusTrigger& trigger : StatusTriggerList) trigger.Hit = false;
  StatusHitThisPass = false;
}

void TSioBaseDispatcher::ResetDataMatchers() {
  TSioLock lock(StateLock);
  for (TDataTrigger& trigger : DataTriggerList) {
    std::fill(std::begin(trigger.MatchState), std::end(trigger.MatchState), 0);
  }
}

// Handles of every kind come from one counter, so none repeats; the low three
// bits hold a status trigger's kind.
int TSioBaseDispatcher::CreateStatusHandle(DWORD kind) { return static_cast<int>((NextTriggerHandle++ << 3) | kind); }

int TSioBaseDispatcher::AddTimerTrigger(DWORD milliseconds) {
  TSioLock lock(StateLock);
  TTimerTrigger trigger;
  trigger.Handle = static_cast<DWORD>(CreateStatusHandle(0));
  LONG now = static_cast<LONG>(MillisecondClock() / kMsPerTick);
  trigger.Timer.StartTick = now;
  trigger.Timer.ExpiryTick = now + static_cast<LONG>((milliseconds + kMsPerTick - 1) / kMsPerTick);
  trigger.Active = true;
  TimerTriggerList.push_back(trigger);
  return static_cast<int>(trigger.Handle);
}

int TSioBaseDispatcher::AddDataTrigger(const void* pattern, DWORD length, bool ignoreCase) {
  if (pattern == nullptr || length == 0 || length > MaxPatternLength) return ecBadArgument;
  TSioLock lock(StateLock);
  TDataTrigger trigger;
  trigger.Handle = static_cast<DWORD>(CreateStatusHandle(0));
  trigger.PatternLength = length;
  trigger.IgnoreCase = ignoreCase;
  std::copy_n(static_cast<const BYTE*>(pattern), length, trigger.Pattern);
  DataTriggerList.push_back(trigger);
  return static_cast<int>(trigger.Handle);
}

int TSioBaseDispatcher::AddStatusTrigger(DWORD kind, WORD condition) {
  if (kind < StatusKindModem || kind > StatusKindOutputSent) return ecBadArgument;
  TSioLock lock(StateLock);
  TStatusTrigger trigger;
  trigger.Handle = static_cast<DWORD>(CreateStatusHandle(kind));
  trigger.Kind = kind;
  trigger.Condition = condition;
  trigger.Armed = true;
  StatusTriggerList.push_back(trigger);
  return static_cast<int>(trigger.Handle);
}

bool TSioBaseDispatcher::RemoveTrigger(DWORD handle) {
  TSioLock lock(StateLock);
  auto removeFrom = [handle](auto& list) {
    auto it = std::find_if(list.begin(), list.end(), [handle](const auto& t) { return t.Handle == handle; });
    if (it == list.end()) return false;
    list.erase(it);
    return true;
  };
  return removeFrom(TimerTriggerList) || removeFrom(DataTriggerList) || removeFrom(StatusTriggerList);
}

// ---- Handlers ----

namespace {

// Removes the first live entry that the predicate picks: at once, or only
// marked while a delivery walks the list.
template <class Handler, class Pred>
bool RemoveHandler(std::vector<std::unique_ptr<Handler>>& list, const Pred& pred, bool handlersRunning, bool& dirty) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if ((*it)->Deleted || !pred(**it)) continue;
    if (handlersRunning) {
      (*it)->Deleted = true;
      dirty = true;
    } else {
      list.erase(it);
    }
    return true;
  }
  return false;
}

}  // namespace

void TSioBaseDispatcher::RegisterWindowHandler(HWND window) {
  TSioLock lock(StateLock);
  auto handler = std::make_unique<TWindowHandler>();
  handler->Window = window;
  WindowHandlers.push_back(std::move(handler));
  HandlerService = true;
  if (LogActive) {
    AddLogEntry(LogHandlerAdded, SubWindow, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)), nullptr, 0);
  }
}

void TSioBaseDispatcher::DeregisterWindowHandler(HWND window) {
  TSioLock lock(StateLock);
  bool found = false;
  for (auto it = WindowHandlers.begin(); it != WindowHandlers.end(); ++it) {
    if ((*it)->Window != window) continue;
    found = true;
    if (LogActive) {
      AddLogEntry(LogHandlerRemoved, SubWindow, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)), nullptr, 0);
    }
    if (HandlersRunning) {
      (*it)->Deleted = true;
      HandlerListDirty = true;
    } else {
      WindowHandlers.erase(it);
    }
    break;
  }
  if (!found) SetHandlerService(0);
}

void TSioBaseDispatcher::AddProcedureHandler(TTriggerProcedure procedure) {
  TSioLock lock(StateLock);
  auto handler = std::make_unique<TProcedureHandler>();
  handler->Procedure = procedure;
  ProcedureHandlers.push_back(std::move(handler));
  SetHandlerService(0);
}

void TSioBaseDispatcher::RemoveProcedureHandler(TTriggerProcedure procedure) {
  TSioLock lock(StateLock);
  bool dirty = HandlerListDirty;
  RemoveHandler(
      ProcedureHandlers, [procedure](const TProcedureHandler& h) { return h.Procedure == procedure; }, HandlersRunning,
      dirty);
  HandlerListDirty = dirty;
  if (!HandlersRunning) SetHandlerService(0);
}

void TSioBaseDispatcher::AddEventHandler(const TTriggerMethod& method, bool synchronized) {
  TSioLock lock(StateLock);
  auto handler = std::make_unique<TEventHandler>();
  handler->Method = method;
  handler->Synchronized = synchronized;
  EventHandlers.push_back(std::move(handler));
  SetHandlerService(0);
}

void TSioBaseDispatcher::RemoveEventHandler(const TTriggerMethod& method) {
  TSioLock lock(StateLock);
  bool dirty = HandlerListDirty;
  RemoveHandler(
      EventHandlers, [&method](const TEventHandler& h) { return h.Method == method; }, HandlersRunning, dirty);
  HandlerListDirty = dirty;
  if (!HandlersRunning) SetHandlerService(0);
}

void TSioBaseDispatcher::SetHandlerService(int kind) {
  TSioLock lock(StateLock);
  // The first window handler is the port's own; it counts only through
  // PortHandlerActive.
  bool others = WindowHandlers.size() > 1 || !ProcedureHandlers.empty() || !EventHandlers.empty();
  switch (kind) {
    case 0: HandlerService = others || PortHandlerActive; break;
    case 1:
      PortHandlerActive = true;
      HandlerService = true;
      break;
    case 2:
      PortHandlerActive = false;
      HandlerService = others;
      break;
    default: break;
  }
}

void TSioBaseDispatcher::SetLengthTrigger(DWORD count) {
  TSioLock lock(StateLock);
  LengthTrigger = count;
  if (LogActive) AddLogEntry(LogTriggerDataChanged, SubAvailChanged, count, nullptr, 0);
}

// ---- Snapshots ----

void TSioBaseDispatcher::SaveTriggers(TTriggerSnapshot& snapshot) {
  TSioLock lock(StateLock);
  FreeTriggerSnapshot(snapshot);
  snapshot.LengthTrigger = LengthTrigger;
  snapshot.TimerTriggers = std::make_unique<TTimerTriggerList>(TimerTriggerList);
  snapshot.DataTriggers = std::make_unique<TDataTriggerList>(DataTriggerList);
  snapshot.StatusTriggers = std::make_unique<TStatusTriggerList>(StatusTriggerList);
}

void TSioBaseDispatcher::RestoreTriggers(const TTriggerSnapshot& snapshot) {
  TSioLock lock(StateLock);
  LengthTrigger = snapshot.LengthTrigger;
  TimerTriggerList.clear();
  DataTriggerList.clear();
  StatusTriggerList.clear();
  if (snapshot.TimerTriggers) TimerTriggerList = *snapshot.TimerTriggers;
  if (snapshot.DataTriggers) DataTriggerList = *snapshot.DataTriggers;
  if (snapshot.StatusTriggers) StatusTriggerList = *snapshot.StatusTriggers;
}

void TSioBaseDispatcher::FreeTriggerSnapshot(TTriggerSnapshot& snapshot) {
  snapshot.TimerTriggers.reset();
  snapshot.DataTriggers.reset();
  snapshot.StatusTriggers.reset();
}

// ---- Options and RS-485 ----

void TSioBaseDispatcher::SetOptionBits(DWORD bits) {
  TSioLock lock(StateLock);
  OptionBits |= bits;
}

void TSioBaseDispatcher::ClearOptionBits(DWORD bits) {
  TSioLock lock(StateLock);
  OptionBits &= ~bits;
}

void TSioBaseDispatcher::ApplyRs485Mode(bool on) {
  TSioLock lock(StateLock);
  Rs485Active = on;
  TSioDispatcherThread* worker = OutWorker;
  if (worker != nullptr) SetWorkerPriority(worker, WorkerPriorityNormal + PriorityBoost + (on ? 1 : 0));
  if (on && !NtPlatform) UartBase = static_cast<WORD>(EscapeFunction(GETBASEIRQ));
}

// This platform gives programs no access to x86 I/O ports. A read from a port
// with nothing behind it returns all bits set, which also reads as
// "transmitter empty" for the one caller, so its wait ends at once.
BYTE TSioBaseDispatcher::ReadIoPort(WORD) { return 0xFF; }
