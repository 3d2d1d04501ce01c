// The kernel object model behind every HANDLE: a process-wide handle table of
// reference-counted objects, and the waitable objects that WaitFor*Objects and
// the message queues block on.
//
// Waiting: every waitable object's signalled state is read and changed only
// under WaitLock(). A thread that must block registers its Waiter (one per
// thread, with its own condition variable) on each object it waits for; Signal()
// wakes just those waiters. So a wait never polls and a SetEvent never wakes
// unrelated threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "wintypes.h"

namespace qorv::platform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Called when the handle naming this object is closed. The object may still
  // be referenced (a thread running a wait on it) and is destroyed when the
  // last reference goes. Devices end pending I/O here.
  virtual void OnHandleClosed() {}
};

// Inserts an object and returns its new handle (never NULL or
// INVALID_HANDLE_VALUE), or NULL with ERROR_NO_SYSTEM_RESOURCES.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
// The object named by a handle, or null (the caller sets ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes a handle; returns its object (null when the handle was not valid).
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

std::mutex& WaitLock();

class Waiter;

class Waitable : public KernelObject {
 public:
  // Both are called with WaitLock() held.
  virtual bool IsSignaled() const = 0;
  // Takes the signal for the waiter that was released (an auto-reset event
  // resets itself here). Called only after IsSignaled() returned true.
  virtual void Acquire() {}

  // Wakes every thread waiting on this object; call with WaitLock() held,
  // after changing the state that IsSignaled() reads.
  void WakeWaiters();

 private:
  friend class Waiter;
  std::vector<Waiter*> waiters_;  // guarded by WaitLock()
};

using WaitClock = std::chrono::steady_clock;

// A deadline fixed once, so a wait woken for nothing does not stretch its
// time-out. INFINITE is no deadline.
std::optional<WaitClock::time_point> DeadlineAfter(DWORD milliseconds);

// Waits, with WaitLock() held through `lock`, until one of the objects is
// signalled (returns its index, after Acquire), all of them when waitAll, or
// the deadline passes (returns WAIT_TIMEOUT). Objects may be waited for by
// several threads at once. `extra`, when given, is checked first on every wake
// and ends the wait with `extraResult` when it answers true: the message
// queues use it to end a MsgWaitForMultipleObjects when input arrives.
DWORD WaitOnObjects(std::unique_lock<std::mutex>& lock, const std::vector<std::shared_ptr<Waitable>>& objects,
                    bool waitAll, std::optional<WaitClock::time_point> deadline, Waitable* extra = nullptr,
                    DWORD extraResult = 0);

// A waitable with a plain flag, for code that needs a private signal (an
// event without a handle): a device's completion, a queue's wake-up.
class SignalFlag : public Waitable {
 public:
  explicit SignalFlag(bool manualReset, bool initial = false) : manualReset_(manualReset), signaled_(initial) {}
  bool IsSignaled() const override { return signaled_; }
  void Acquire() override {
    if (!manualReset_) signaled_ = false;
  }
  // With WaitLock() held.
  void SetLocked() {
    signaled_ = true;
    WakeWaiters();
  }
  void ResetLocked() { signaled_ = false; }
  // Taking WaitLock() themselves.
  void Set();
  void Reset();

 private:
  bool manualReset_;
  bool signaled_;
};

// An object that ReadFile, WriteFile, GetOverlappedResult and CancelIo work on:
// disk files and serial devices. Each sets the last error and returns FALSE on
// failure, exactly as the Windows call does for its kind of handle.
class IoObject : public Waitable {
 public:
  virtual BOOL Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) = 0;
  virtual BOOL Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) = 0;
  virtual BOOL CancelIo() { return TRUE; }
  virtual BOOL Flush() { return TRUE; }
  // A file handle is signalled when no overlapped operation is pending on it.
  bool IsSignaled() const override { return true; }
};

// Marks an overlapped operation finished and sets its event: Internal takes the
// Windows error (0 for success), InternalHigh the byte count. Both fields are
// written atomically, since the waiter reads them on another thread.
void CompleteOverlapped(OVERLAPPED* overlapped, DWORD error, DWORD count);
// Marks an operation as running (Internal = STATUS_PENDING) and resets its event.
void StartOverlapped(OVERLAPPED* overlapped);
// Reads Internal atomically.
ULONG_PTR OverlappedStatus(const OVERLAPPED* overlapped);

// Events are signal flags with a handle.
class EventObject : public SignalFlag {
 public:
  using SignalFlag::SignalFlag;
};

}  // namespace qorv::platform
