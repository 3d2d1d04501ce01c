// Window classes and message logs shared by the window and message tests.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "windows.h"

namespace qorv::test {

struct LoggedMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD threadId;
};

// A thread-safe record of the messages a window procedure saw.
class MessageLog {
 public:
  void Add(const LoggedMessage& m) {
    std::lock_guard guard(lock_);
    entries_.push_back(m);
  }
  std::vector<LoggedMessage> Entries() const {
    std::lock_guard guard(lock_);
    return entries_;
  }
  std::vector<UINT> Messages() const {
    std::vector<UINT> out;
    for (auto& e : Entries()) out.push_back(e.message);
    return out;
  }
  int Count(UINT message) const {
    int n = 0;
    for (auto& e : Entries()) n += e.message == message;
    return n;
  }
  void Clear() {
    std::lock_guard guard(lock_);
    entries_.clear();
  }

 private:
  mutable std::mutex lock_;
  std::vector<LoggedMessage> entries_;
};

// The log every "QorvTestWindow" window writes to, and an optional hook that
// answers messages (return true to use *result instead of DefWindowProcA).
MessageLog& TestLog();
using MessageHook = bool (*)(HWND, UINT, WPARAM, LPARAM, LRESULT* result);
void SetTestHook(MessageHook hook);

// Registers "QorvTestWindow" (8 extra bytes) once per process.
void RegisterTestClass();
// A message-only, top-level or child test window of the calling thread.
HWND CreateTestWindow(HWND parent = nullptr, DWORD style = 0, LPCSTR title = "");

// Reads and dispatches everything the calling thread's queue holds now.
void PumpPending();
// Removes everything the calling thread's queue holds, WM_QUIT included,
// without dispatching: tests that run in one process start from an empty queue.
void DiscardPending();

// An event that closes itself.
class Event {
 public:
  explicit Event(bool manualReset = true) : handle_(CreateEventA(nullptr, manualReset, FALSE, nullptr)) {}
  ~Event() { CloseHandle(handle_); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE Get() const { return handle_; }
  void Set() const { SetEvent(handle_); }
  bool WaitFor(DWORD ms = 10000) const { return WaitForSingleObject(handle_, ms) == WAIT_OBJECT_0; }

 private:
  HANDLE handle_;
};

}  // namespace qorv::test
