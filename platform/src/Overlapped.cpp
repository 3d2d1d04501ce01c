// Completion of overlapped operations on every I/O object, and the generic
// GetOverlappedResult and CancelIo.
//
// A completing thread stores the status and count atomically, then wakes every
// thread blocked in GetOverlappedResult through one process-wide condition, and
// sets the record's event. Waiting on the condition rather than on the
// event keeps a waiter correct when the record has no event or when the event is
// shared with other records.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "KernelObject.h"
#include "fileapi.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

struct CompletionSignal {
  std::mutex lock;
  std::condition_variable completed;
};

CompletionSignal& Completions() {
  // Never destroyed: device threads may complete operations during exit.
  static auto* signal = new CompletionSignal;
  return *signal;
}

std::atomic_ref<ULONG_PTR> Field(ULONG_PTR& field) { return std::atomic_ref<ULONG_PTR>(field); }

std::shared_ptr<SignalFlag> EventOf(const OVERLAPPED* overlapped) {
  if (overlapped->hEvent == nullptr) return nullptr;
  return LookupHandleAs<SignalFlag>(overlapped->hEvent);
}

}  // namespace

namespace qorv::platform {

void CompleteOverlapped(OVERLAPPED* overlapped, DWORD error, DWORD count) {
  if (overlapped == nullptr) return;
  // Once the status is stored the owner may free the record, so its event is
  // found first.
  auto event = EventOf(overlapped);
  auto& signal = Completions();
  {
    // The event is set under the same lock, so GetOverlappedResult never sees
    // the operation finished before its event is set: a caller that resets the
    // event after the result cannot have it set again behind its back.
    std::lock_guard guard(signal.lock);
    Field(overlapped->InternalHigh).store(count);
    Field(overlapped->Internal).store(error);
    if (event) event->Set();
  }
  signal.completed.notify_all();
}

void StartOverlapped(OVERLAPPED* overlapped) {
  if (overlapped == nullptr) return;
  Field(overlapped->InternalHigh).store(0);
  Field(overlapped->Internal).store(STATUS_PENDING);
  if (auto event = EventOf(overlapped)) event->Reset();
}

ULONG_PTR OverlappedStatus(const OVERLAPPED* overlapped) {
  return std::atomic_ref<ULONG_PTR>(const_cast<OVERLAPPED*>(overlapped)->Internal).load();
}

bool IsCompleted(const OVERLAPPED* overlapped, bool wait) {
  auto& signal = Completions();
  std::unique_lock lock(signal.lock);
  auto done = [&] { return OverlappedStatus(overlapped) != STATUS_PENDING; };
  if (wait) signal.completed.wait(lock, done);
  return done();
}

void WaitForCompletion(const OVERLAPPED* overlapped) { IsCompleted(overlapped, true); }

}  // namespace qorv::platform

BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred,
                                BOOL bWait) {
  if (lpOverlapped == nullptr || lpNumberOfBytesTransferred == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  // A finished operation is reported whatever became of its handle: closing a
  // device completes its pending operations, and their owners read the result
  // afterwards. Only a wait needs the handle, so that a record no device will
  // ever complete fails instead of blocking for good.
  if (!IsCompleted(lpOverlapped, false)) {
    if (!LookupHandleAs<IoObject>(hFile)) return FailWith(ERROR_INVALID_HANDLE);
    if (!IsCompleted(lpOverlapped, bWait != FALSE)) return FailWith(ERROR_IO_INCOMPLETE);
  }
  auto status = static_cast<DWORD>(OverlappedStatus(lpOverlapped));
  *lpNumberOfBytesTransferred = static_cast<DWORD>(Field(lpOverlapped->InternalHigh).load());
  if (status != ERROR_SUCCESS) return FailWith(status);
  return TRUE;
}

BOOL WINAPI CancelIo(HANDLE hFile) {
  auto object = LookupHandleAs<IoObject>(hFile);
  if (!object) return FailWith(ERROR_INVALID_HANDLE);
  return object->CancelIo();
}
