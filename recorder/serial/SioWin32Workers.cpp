// The bodies of the three workers of an open port.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "SioDispatchLock.h"
#include "SioWin32.h"
#include "windows.h"

namespace {

constexpr DWORD kDispatchWakeMs = 50;
constexpr DWORD kBacklogWakeMs = 1;
// Event bits after which the modem lines are read again: CTS, DSR, RLSD, ring
// and the ring's trailing edge.
constexpr DWORD kModemEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_RINGTE;
constexpr DWORD kLineEvents = EV_BREAK | EV_ERR;
constexpr DWORD kRingEvents = EV_RING | EV_RINGTE;
constexpr BYTE kTransmitterEmpty = 0x40;
constexpr WORD kLineStatusOffset = 5;
constexpr int kTransmitterPolls = 100000;

// The dispatch worker also reads EventMask after a time-out, without the
// event that orders it after this store.
void PublishEventMask(TSioWin32Dispatcher& d, DWORD events) {
  std::atomic_ref<DWORD>(d.EventMask).store(events);
  // A ring is remembered also when the wait completed at once.
  if (FlagIsSet(events, kRingEvents)) d.RingSeen = true;
}

DWORD LastEventMask(TSioWin32Dispatcher& d) { return std::atomic_ref<DWORD>(d.EventMask).load(); }

}  // namespace

// ---------------------------------------------------------------------------
// TComThread

void TComThread::Execute() {
  TSioWin32Dispatcher& d = Dispatcher;
  HANDLE ownEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED record{};
  record.hEvent = ownEvent;
  DWORD mask = d.InitialEventMask();
  SetCommMask(d.DeviceHandle, mask);
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  SetCommTimeouts(d.DeviceHandle, &timeouts);
  SetEvent(d.WorkerAck);

  if (ownEvent != nullptr) {
    while (!d.StopRequested) {
      if (!WaitForDeviceEvent(record, mask)) break;
      if (d.StopRequested) break;
      if (FlagIsSet(LastEventMask(d), EV_RXCHAR)) d.FillInputRingUnless(d.PassUnderway);
      SetEvent(d.EventReady);
      WaitForSingleObject(d.ServiceDone, INFINITE);
    }
    CloseHandle(ownEvent);
  }
  SetEvent(d.WorkerAck);
}

bool TComThread::WaitForDeviceEvent(OVERLAPPED& record, DWORD& mask) {
  TSioWin32Dispatcher& d = Dispatcher;
  // The driver writes the event word when the wait completes, which may be
  // after this call returns: it goes to a local, and EventMask is stored only
  // once the wait is over, so the dispatch worker never reads it mid-write.
  DWORD events = 0;
  if (d.WaitDeviceEvent(events, &record)) {
    PublishEventMask(d, events);
    return true;
  }
  DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    DWORD unused = 0;
    if (!GetOverlappedResult(d.DeviceHandle, &record, &unused, TRUE)) return false;
    PublishEventMask(d, events);
    ResetEvent(record.hEvent);
    return true;
  }
  if (error == ERROR_INVALID_PARAMETER && FlagIsSet(mask, EV_RINGTE)) {
    mask &= ~EV_RINGTE;
    SetCommMask(d.DeviceHandle, mask);
    return true;
  }
  // A wait refused at once for any other reason would be refused again on
  // every pass and spin the two workers; the dispatch worker's periodic pass
  // still collects received bytes.
  return false;
}

// ---------------------------------------------------------------------------
// TDispThread

void TDispThread::Execute() {
  TSioWin32Dispatcher& d = Dispatcher;
  SetEvent(d.WorkerAck);
  DWORD waitMs = kDispatchWakeMs;
  do {
    bool signalled = waitMs == 0 || WaitForSingleObject(d.EventReady, waitMs) == WAIT_OBJECT_0;
    if (d.StopRequested) return;
    BeginPass();
    ServicePass(signalled);
    TimerPass();
    waitMs = NextWait();
    d.PassUnderway = false;
  } while (!d.StopRequested && !d.ClosePending);
  SetEvent(d.WorkerAck);
}

void TDispThread::BeginPass() {
  TSioWin32Dispatcher& d = Dispatcher;
  d.PassUnderway = true;
  // A fill that began before the flag was set ends before the pass starts.
  std::lock_guard settled(d.FillLock);
}

void TDispThread::Finish() {
  // After a deferred close this worker frees the rings as it ends.
  Dispatcher.FreeOnWorkerExit = Dispatcher.ClosePending.load();
  TSioDispatcherThread::Finish();
}

DWORD TDispThread::NextWait() {
  // The driver signals bytes only as they arrive. Bytes it still holds after
  // a pass (the ring was full) would wait for the periodic wake-up, which at
  // full line speed stalls the port; so look again at once while there is
  // room, and soon while the reader is taking bytes out of a full ring.
  TSioWin32Dispatcher& d = Dispatcher;
  bool full;
  DWORD tail;
  {
    TSioLock lock(d.InputLock);
    if (d.InputRing == nullptr) return kDispatchWakeMs;
    full = d.InputFull;
    tail = d.InTail;
  }
  if (tail != LastInTail) IdleBacklogWakes = 0;
  LastInTail = tail;
  // A fill that took all the driver held needs no second look: what arrived
  // since comes with an event.
  if (d.DriverDrained && !full) return kDispatchWakeMs;
  d.PollDeviceErrors();
  DWORD held;
  {
    TSioLock lock(d.OutputLock);
    held = d.DeviceStatus.cbInQue;
  }
  if (held == 0) return kDispatchWakeMs;
  if (!full) return 0;
  // A full ring empties only as fast as its reader takes bytes; a reader that
  // has not taken any for a whole periodic interval is not woken for.
  if (IdleBacklogWakes >= kDispatchWakeMs / kBacklogWakeMs) return kDispatchWakeMs;
  ++IdleBacklogWakes;
  return kBacklogWakeMs;
}

bool TDispThread::RepeatStatusChecks() {
  TSioWin32Dispatcher& d = Dispatcher;
  while (d.CheckStatusChange()) {
    if (d.ClosePending) return false;
  }
  return true;
}

bool TDispThread::RepeatDataChecks() {
  TSioWin32Dispatcher& d = Dispatcher;
  while (d.CheckDataMatch()) {
    if (d.ClosePending) return false;
  }
  return true;
}

void TDispThread::ServicePass(bool signalled) {
  TSioWin32Dispatcher& d = Dispatcher;
  DWORD events = LastEventMask(d);
  if (FlagIsSet(events, kModemEvents)) {
    d.PollModemLines();
    if (!d.HandlersRunning) {
      if (!RepeatStatusChecks()) return;
      if (d.StatusHitThisPass) d.ClearStatusHits();
    }
  }
  if (FlagIsSet(events, kLineEvents)) {
    d.PollDeviceErrors();
    if (!d.HandlersRunning && !RepeatStatusChecks()) return;
  }
  // While the event worker runs it fills the ring for every arrival that
  // finds no pass under way, so a pass reads the driver only when the last
  // fill left bytes there (or was left to it), or when that worker is gone.
  if (!d.DriverDrained || d.ComWorker.load() == nullptr) d.FillInputRing();
  if (!d.HandlersRunning) {
    if (!RepeatStatusChecks()) return;
    if (!RepeatDataChecks()) return;
  }
  if (d.StatusHitThisPass) d.ClearStatusHits();
  // Only the event worker waits for this, after it asked for a pass; a pass
  // whose wait only timed out would leave the event set for the next request,
  // which then would not wait for its own pass.
  if (signalled) SetEvent(d.ServiceDone);
}

void TDispThread::TimerPass() {
  TSioWin32Dispatcher& d = Dispatcher;
  if (d.ClosePending || d.HandlersRunning) return;
  d.StatusHitThisPass = false;
  while (!d.ClosePending) {
    bool fired = d.CheckStatusChange() || d.CheckTimerExpiry();
    if (!fired) break;
  }
  if (d.StatusHitThisPass) d.ClearStatusHits();
}

// ---------------------------------------------------------------------------
// TOutThread

void TOutThread::Execute() {
  TSioWin32Dispatcher& d = Dispatcher;
  OVERLAPPED record{};
  record.hEvent = d.WriteDone;
  SetEvent(d.WorkerAck);
  const HANDLE wakeUps[2] = {d.OutputQueued, d.FlushRequest};
  do {
    DWORD woke = WaitForMultipleObjects(2, wakeUps, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) {
      if (d.StopRequested) break;
      DrainOutput(record);
    } else if (woke == WAIT_OBJECT_0 + 1) {
      SetEvent(d.FlushAck);
      SetEvent(d.WorkerAck);
    } else {
      break;  // the events are gone: nothing can wake this worker again
    }
  } while (!d.StopRequested && !d.ClosePending);
}

bool TOutThread::NextSpan(DWORD& start, DWORD& length) {
  TSioWin32Dispatcher& d = Dispatcher;
  TSioLock lock(d.OutputLock);
  if (!d.OutputFull && d.OutHead == d.OutTail) return false;
  if (d.OutputRing == nullptr) return false;
  if (d.OutHead > d.OutTail) {
    start = d.OutTail;
    length = d.OutHead - d.OutTail;
    return true;
  }
  if (d.OutHead == 0) {
    start = d.OutTail;
    length = d.OutQueueSize - d.OutTail;
    return true;
  }
  // The queued bytes wrap: rotate them to the start of the ring so that they
  // leave in one write.
  BYTE* ring = d.OutputRing.get();
  std::vector<BYTE> head(ring, ring + d.OutHead);
  DWORD tailPart = d.OutQueueSize - d.OutTail;
  std::copy(ring + d.OutTail, ring + d.OutQueueSize, ring);
  std::copy(head.begin(), head.end(), ring + tailPart);
  d.OutHead = (d.OutHead + d.OutQueueSize - d.OutTail) % d.OutQueueSize;
  d.OutTail = 0;
  start = 0;
  length = d.OutputFull ? d.OutQueueSize : d.OutHead;
  return true;
}

namespace {

void AdvanceOutTail(TSioWin32Dispatcher& d, DWORD count) {
  TSioLock lock(d.OutputLock);
  d.OutTail += count;
  if (d.OutTail >= d.OutQueueSize) d.OutTail = 0;
  if (d.OutTail == d.OutHead) {
    d.OutTail = 0;
    d.OutHead = 0;
  }
  d.OutputFull = false;
}

}  // namespace

bool TOutThread::FinishPendingWrite(OVERLAPPED& record, DWORD& written, bool& completed) {
  TSioWin32Dispatcher& d = Dispatcher;
  const HANDLE wakeUps[2] = {d.WriteDone, d.FlushRequest};
  DWORD woke = WaitForMultipleObjects(2, wakeUps, FALSE, INFINITE);
  if (woke == WAIT_OBJECT_0) {
    // The write has completed (its event is set only then), so waiting for
    // its result returns at once.
    completed = GetOverlappedResult(d.DeviceHandle, &record, &written, TRUE) != FALSE;
    ResetEvent(d.WriteDone);
    return true;
  }
  // A flush or a stop. The write may point into the ring that the flushing
  // thread resets or frees next, so it must be over before this worker goes
  // on. A flush purges the driver's output right after the acknowledgement,
  // which ends the write; a stop has no purge coming, so the write is
  // cancelled. (Cancelling here for a flush would also end the event
  // worker's wait on drivers whose cancel is not per thread.)
  SetEvent(d.FlushAck);
  SetEvent(d.WorkerAck);
  while (!d.StopRequested && WaitForMultipleObjects(2, wakeUps, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
  }
  if (d.StopRequested) CancelIo(d.DeviceHandle);
  GetOverlappedResult(d.DeviceHandle, &record, &written, TRUE);
  ResetEvent(d.WriteDone);
  return false;
}

void TOutThread::DrainOutput(OVERLAPPED& record) {
  TSioWin32Dispatcher& d = Dispatcher;
  DWORD start = 0;
  DWORD length = 0;
  while (!d.StopRequested && NextSpan(start, length)) {
    DWORD written = 0;
    const BYTE* span = d.OutputRing.get() + start;
    if (WriteFile(d.DeviceHandle, span, length, &written, &record)) {
      AdvanceOutTail(d, written);
    } else if (GetLastError() == ERROR_IO_PENDING) {
      bool completed = false;
      if (!FinishPendingWrite(record, written, completed)) return;
      // A pending write whose result cannot be read is written again.
      if (completed) AdvanceOutTail(d, written);
    } else {
      // The device refused the bytes; they are dropped so the ring drains.
      AdvanceOutTail(d, length);
    }
    DropTransmitterAfterRs485();
  }
}

void TOutThread::DropTransmitterAfterRs485() {
  TSioWin32Dispatcher& d = Dispatcher;
  if (d.NtPlatform || !d.Rs485Active) return;
  // The transmitter empties within a character time; the bound keeps a
  // port that never reports it from holding this worker for good.
  for (int poll = 0; poll < kTransmitterPolls; ++poll) {
    if (d.ReadIoPort(static_cast<WORD>(d.UartBase + kLineStatusOffset)) & kTransmitterEmpty) break;
  }
  d.DriveRts(false);
}
