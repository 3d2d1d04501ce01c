// The input ring (filled by the dispatch worker, read by the port's thread)
// and the output ring's producer side.
#include "SioDispatch.h"
#include "SioDispatchLock.h"
#include "SioErrors.h"

namespace {

DWORD WrapInput(DWORD position) { return position % InputRingSize; }

}  // namespace

DWORD TSioBaseDispatcher::RingDistance(DWORD head, DWORD tail, bool full) {
  if (head == tail) return full ? InputRingSize : 0;
  if (head > tail) return head - tail;
  return head + InputRingSize - tail;
}

// A read during a data notification counts as read-ahead only on the thread
// the notified handler runs on; any other reader consumes as usual, so no
// byte is handed to a poller twice.
bool TSioBaseDispatcher::IsReadAheadRead() const { return ReadAheadActive && ReadAheadThread == GetCurrentThreadId(); }

bool TSioBaseDispatcher::HasInput() {
  // Outside a read-ahead the answer needs no lock: every change of the
  // positions is made under InputLock in an order that never shows waiting
  // bytes as gone (see FillInputRing), so this reads one state the ring was
  // in. A polling host asks once per byte.
  DWORD resets = InputResets.load(std::memory_order_acquire);
  if (resets % 2 == 0 && !ReadAheadActive.load(std::memory_order_acquire)) {
    bool waiting = InHead.load(std::memory_order_acquire) != InTail.load(std::memory_order_acquire) ||
                   InputFull.load(std::memory_order_acquire);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (InputResets.load(std::memory_order_relaxed) == resets) return waiting;
  }
  TSioLock lock(InputLock);
  if (IsReadAheadRead()) {
    DWORD next = WrapInput(InTail + ReadAheadCount);
    return next != InHead || (InputFull && ReadAheadCount < InputRingSize);
  }
  return InHead != InTail || InputFull;
}

void TSioBaseDispatcher::ResetInputPositions() {
  InputResets.fetch_add(1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  InHead.store(0, std::memory_order_relaxed);
  InTail.store(0, std::memory_order_relaxed);
  InputFull.store(false, std::memory_order_relaxed);
  InputResets.fetch_add(1, std::memory_order_release);
  ++InputEpoch;
  // Bytes may have come before anyone listened for their event.
  DriverDrained = false;
}

int TSioBaseDispatcher::PeekInputLocked(BYTE& value, DWORD n) const {
  // Positions start at 1; position 0 would read the byte before the oldest.
  if (n == 0) return ecBadArgument;
  if (InputRing == nullptr || n > RingDistance(InHead, InTail, InputFull)) return ecBufferIsEmpty;
  value = InputRing[WrapInput(InTail + n - 1)];
  return 0;
}

int TSioBaseDispatcher::PeekInput(BYTE& value, DWORD n) {
  TSioLock lock(InputLock);
  return PeekInputLocked(value, n);
}

int TSioBaseDispatcher::TakeInput(BYTE& value) {
  int result;
  {
    // One hold per byte: a host polling byte by byte pays for nothing more.
    TSioLock lock(InputLock);
    if (IsReadAheadRead()) {
      ++ReadAheadCount;
      result = PeekInputLocked(value, ReadAheadCount);
      if (result != 0) --ReadAheadCount;
    } else {
      result = PeekInputLocked(value, 1);
      if (result == 0) {
        InTail.store(WrapInput(InTail.load(std::memory_order_relaxed) + 1), std::memory_order_release);
        InputFull.store(false, std::memory_order_release);
        KeepScanWithinInput();
      }
    }
  }
  // The trace lives under StateLock, which is never taken inside InputLock.
  if (result == 0 && TraceActive) AddTraceEntry('R', value);
  return result;
}

DWORD TSioBaseDispatcher::InputCount() {
  TSioLock lock(InputLock);
  DWORD count = RingDistance(InHead, InTail, InputFull);
  if (IsReadAheadRead()) count -= ReadAheadCount;
  return count;
}

int TSioBaseDispatcher::DiscardInput() {
  // The matchers are reset under StateLock, which comes before InputLock.
  TSioLock stateLock(StateLock);
  TSioLock lock(InputLock);
  int result = FlushSide(true);
  ++InputEpoch;
  if (ReadAheadActive) {
    ReadAheadMax = RingDistance(InHead, InTail, InputFull);
  } else {
    InTail = InHead.load();
    ReadAheadCount = 0;
  }
  InputFull = false;
  KeepScanWithinInput();
  ResetDataMatchers();
  return result;
}

int TSioBaseDispatcher::WriteBlock(const void* bytes, DWORD count) {
  if (count == 0) return 0;
  int result = 0;
  DWORD queued = count;
  {
    TSioLock lock(OutputLock);
    ErrorFlags = RefreshStatus(DeviceStatus);
    if (OutputRing == nullptr) return ecOutputBufferTooSmall;
    DWORD free = OutQueueSize - DeviceStatus.cbOutQue;
    if (count > free) return ecOutputBufferTooSmall;
    if (!NtPlatform && Rs485Active) {
      if (UartBase == 0) return ecBaseAddressNotSet;
      DriveRts(true);
    }
    bool wasFull = OutputFull;
    if (count == free) OutputFull = true;
    int put = QueueOutput(bytes, count);
    if (put <= 0) {
      // Nothing went into the ring, so it must not be marked full.
      OutputFull = wasFull;
      queued = static_cast<DWORD>(-put);
      result = ecPutBlockFail;
      ErrorFlags = RefreshStatus(DeviceStatus);
    }
    OutputWritten = true;
  }
  TSioLock lock(StateLock);
  const BYTE* data = static_cast<const BYTE*>(bytes);
  if (LogActive) AddLogEntry(1, 2, queued, data, queued);
  if (TraceActive) {
    for (DWORD i = 0; i < queued; ++i) AddTraceEntry('T', data[i]);
  }
  return result;
}

int TSioBaseDispatcher::WriteByte(BYTE value) { return WriteBlock(&value, 1); }

DWORD TSioBaseDispatcher::OutputCount() {
  TSioLock lock(OutputLock);
  PollDeviceErrors();
  return DeviceStatus.cbOutQue;
}

DWORD TSioBaseDispatcher::OutputSpace() {
  TSioLock lock(OutputLock);
  return OutQueueSize - OutputCount();
}

int TSioBaseDispatcher::DiscardOutput() { return FlushSide(false); }

int TSioBaseDispatcher::ApplyQueueSizes(DWORD inputSize, DWORD outputSize) {
  if (SetQueueSizes(inputSize, outputSize)) return 0;
  return -static_cast<int>(GetLastError());
}
