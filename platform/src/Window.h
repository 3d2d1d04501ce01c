// Windows, window classes and the process-wide window table.
//
// Locking: every field here, the window table, the class list and the queue
// registry are read and changed only under WaitLock(), the same lock that
// guards the kernel waitables, so a thread can wait on its message queue and
// on handles at once (MsgWaitForMultipleObjects). WaitLock() is never held
// while a window procedure, timer procedure or enumeration callback runs.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "KernelObject.h"
#include "winuser.h"

namespace qorv::platform {

class MessageQueue;

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  WNDCLASSA info{};  // the strings are not kept: name holds the class name
  int windows = 0;   // live windows of the class
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  // The owner thread's queue; null only for the desktop. Fixed at creation.
  std::shared_ptr<MessageQueue> queue;
  DWORD threadId = 0;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HWND parent = nullptr;  // null: top-level; HWND_MESSAGE: message-only
  HWND owner = nullptr;
  std::vector<HWND> children;  // z order, top first
  RECT rect{};                 // relative to the parent's client area
  std::string text;
  std::vector<BYTE> extra;
  bool destroying = false;  // DestroyWindow has started on it
  bool dead = false;        // unlinked from the table
  bool needsPaint = false;
  bool needsErase = false;
  RECT update{};
};

struct UserState {
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  std::vector<HWND> topLevel;  // z order, top first; message-only windows excluded
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues;
  std::shared_ptr<Window> desktop;
  ULONG_PTR nextHandle = 0;
  ATOM nextAtom = 0xC000;
};

// The process-wide state; with WaitLock() held. Never destroyed, since
// threads may still end (and drop their queues) during static destruction.
UserState& User();

std::shared_ptr<Window> FindWindowLocked(HWND hwnd);
std::shared_ptr<WindowClass> FindClassLocked(LPCSTR nameOrAtom);
bool IsAtomName(LPCSTR nameOrAtom);
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
// True when `ancestor` is a parent, grandparent ... of `hwnd`.
bool IsDescendantLocked(HWND ancestor, HWND hwnd);
bool IsVisibleLocked(const Window& window);
// Adds the rectangle (null: the client area) to the window's update region.
void InvalidateLocked(Window& window, const RECT* rect, bool erase);
HWND FocusOfThreadLocked(DWORD threadId);
// Removes a window from the table, its parent, its class and its queue; drops
// its posted messages and timers and releases senders waiting for it.
void UnlinkWindowLocked(Window& window);

// Calls the window's current procedure; takes WaitLock() itself to read it,
// so call without the lock.
LRESULT CallProc(const std::shared_ptr<Window>& window, UINT msg, WPARAM wParam, LPARAM lParam);
// Sends a message through SendMessageA (to the owner thread when needed).
LRESULT SendTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Destroys the windows of a thread that is ending. With messages, each
// top-level tree goes through DestroyWindow; without, the windows are only
// unlinked (the thread's other thread-local state may already be gone).
void DestroyThreadWindows(MessageQueue& queue, bool sendMessages);

}  // namespace qorv::platform
