// Threads as kernel objects: a thread handle is signalled when the thread ends.
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

#include "KernelObject.h"
#include "MessageQueue.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

// Thrown by ExitThread and caught at the thread's entry, so the thread's own
// stack unwinds as it would return.
struct ThreadExitRequest {
  DWORD code;
};

class ThreadObject : public Waitable {
 public:
  bool IsSignaled() const override { return finished_; }

  // All with WaitLock() held.
  void FinishLocked(DWORD code) {
    exitCode_ = code;
    finished_ = true;
    WakeWaiters();
  }
  DWORD ExitCodeLocked() const { return finished_ ? exitCode_ : STILL_ACTIVE; }

  std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
  DWORD id = 0;
  SignalFlag resumed{true};

 private:
  bool finished_ = false;
  DWORD exitCode_ = 0;
};

thread_local std::shared_ptr<ThreadObject> currentThread;

}  // namespace

DWORD WINAPI GetCurrentThreadId() {
  thread_local DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
  return id;
}

HANDLE WINAPI GetCurrentThread() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }
HANDLE WINAPI GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }
DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<ThreadObject>();
  if (!(dwCreationFlags & CREATE_SUSPENDED)) object->resumed.Set();
  HANDLE handle = InsertHandle(object);
  if (!handle) return nullptr;

  // The creator learns the new thread's id before it returns, as on Windows.
  auto startedPtr = std::make_shared<SignalFlag>(true);
  try {
    std::thread([object, lpStartAddress, lpParameter, startedPtr] {
      currentThread = object;
      object->id = GetCurrentThreadId();
      startedPtr->Set();
      {
        std::unique_lock lock(WaitLock());
        auto resumed = std::shared_ptr<Waitable>(object, &object->resumed);
        WaitOnObjects(lock, {resumed}, false, std::nullopt);
      }
      DWORD code;
      try {
        code = lpStartAddress(lpParameter);
      } catch (const ThreadExitRequest& exit) {
        code = exit.code;
      }
      // As on Windows, the thread's windows and queue go before its handle is
      // signalled, and senders still waiting on it are released.
      ReleaseThreadQueue();
      std::lock_guard guard(WaitLock());
      object->FinishLocked(code);
    }).detach();
  } catch (const std::system_error&) {
    RemoveHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  {
    std::unique_lock lock(WaitLock());
    WaitOnObjects(lock, {startedPtr}, false, std::nullopt);
  }
  if (lpThreadId) *lpThreadId = object->id;
  return handle;
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
  auto thread = LookupHandleAs<ThreadObject>(hThread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  std::lock_guard guard(WaitLock());
  bool wasSuspended = !thread->resumed.IsSignaled();
  thread->resumed.SetLocked();
  return wasSuspended ? 1 : 0;
}

namespace {
std::shared_ptr<ThreadObject> ThreadFromHandle(HANDLE h) {
  if (h == GetCurrentThread()) return currentThread;
  return LookupHandleAs<ThreadObject>(h);
}
}  // namespace

BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority) {
  if (hThread == GetCurrentThread() && !currentThread) return TRUE;  // a thread we did not create
  auto thread = ThreadFromHandle(hThread);
  if (!thread) return FailWith(ERROR_INVALID_HANDLE);
  thread->priority = nPriority;
  return TRUE;
}

int WINAPI GetThreadPriority(HANDLE hThread) {
  if (hThread == GetCurrentThread() && !currentThread) return THREAD_PRIORITY_NORMAL;
  auto thread = ThreadFromHandle(hThread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return THREAD_PRIORITY_ERROR_RETURN;
  }
  return thread->priority;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = ThreadFromHandle(hThread);
  if (!thread) return FailWith(ERROR_INVALID_HANDLE);
  if (lpExitCode == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(WaitLock());
  *lpExitCode = thread->ExitCodeLocked();
  return TRUE;
}

void WINAPI ExitThread(DWORD dwExitCode) { throw ThreadExitRequest{dwExitCode}; }
