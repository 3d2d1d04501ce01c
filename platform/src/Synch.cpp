// Events, waits, handle closing, critical sections and interlocked counters.
#include <atomic>
#include <mutex>
#include <thread>

#include "KernelObject.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

bool IsPseudoHandle(HANDLE h) { return h == GetCurrentProcess() || h == GetCurrentThread(); }

}  // namespace

BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (IsPseudoHandle(hObject)) return TRUE;
  auto object = RemoveHandle(hObject);
  if (!object) return FailWith(ERROR_INVALID_HANDLE);
  object->OnHandleClosed();
  return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  if (lpName != nullptr) {
    // Named events are shared between processes on Windows; nothing here needs them.
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  HANDLE h = InsertHandle(std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE));
  if (h) SetLastError(ERROR_SUCCESS);
  return h;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  auto event = LookupHandleAs<EventObject>(hEvent);
  if (!event) return FailWith(ERROR_INVALID_HANDLE);
  event->Set();
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
  auto event = LookupHandleAs<EventObject>(hEvent);
  if (!event) return FailWith(ERROR_INVALID_HANDLE);
  event->Reset();
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
  if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  auto deadline = DeadlineAfter(dwMilliseconds);
  std::vector<std::shared_ptr<Waitable>> objects;
  objects.reserve(nCount);
  for (DWORD i = 0; i < nCount; ++i) {
    auto object = LookupHandleAs<Waitable>(lpHandles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  std::unique_lock lock(WaitLock());
  return WaitOnObjects(lock, objects, bWaitAll != FALSE, deadline);
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (dwMilliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->Impl = new std::recursive_mutex; }

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  delete static_cast<std::recursive_mutex*>(cs->Impl);
  cs->Impl = nullptr;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->Impl)->lock(); }

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
  return static_cast<std::recursive_mutex*>(cs->Impl)->try_lock() ? TRUE : FALSE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->Impl)->unlock(); }

namespace {
// The counters live in plain LONGs that the callers own; std::atomic_ref gives
// them the sequentially consistent read-modify-write of the Interlocked calls.
std::atomic_ref<LONG> Atomic(LONG volatile* p) { return std::atomic_ref<LONG>(*const_cast<LONG*>(p)); }
}  // namespace

LONG WINAPI InterlockedIncrement(LONG volatile* Addend) { return Atomic(Addend).fetch_add(1) + 1; }
LONG WINAPI InterlockedDecrement(LONG volatile* Addend) { return Atomic(Addend).fetch_sub(1) - 1; }
LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) { return Atomic(Target).exchange(Value); }
LONG WINAPI InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) { return Atomic(Addend).fetch_add(Value); }
LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand) {
  Atomic(Destination).compare_exchange_strong(Comparand, Exchange);
  return Comparand;
}
