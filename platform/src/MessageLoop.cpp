// Reading, posting, translating and dispatching messages, and waiting for them.
#include "MessageQueue.h"
#include "Window.h"
#include "synch.h"
#include "timing.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

// A window filter must be null, (HWND)-1 or a window of the calling thread.
bool IsValidReadFilterLocked(HWND hWnd, const MessageQueue& queue) {
  if (hWnd == nullptr || hWnd == kThreadMessagesOnly) return true;
  auto window = FindWindowLocked(hWnd);
  return window && window->queue.get() == &queue;
}

// Windows keeps the key state as the thread reads its input; the Shift,
// Control and Alt state then decides what TranslateMessage makes of a key.
void TrackKeyState(MessageQueue& queue, const MSG& msg) {
  bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
  if (!down && !up) return;
  auto key = static_cast<BYTE>(msg.wParam & 0xFF);
  BYTE state = down ? 0x80 : 0;
  queue.keys[key] = state;
  if (key == VK_LSHIFT || key == VK_RSHIFT) queue.keys[VK_SHIFT] = state;
  if (key == VK_LCONTROL || key == VK_RCONTROL) queue.keys[VK_CONTROL] = state;
  if (key == VK_LMENU || key == VK_RMENU) queue.keys[VK_MENU] = state;
}

char CharacterOfKey(WPARAM key, bool shift, bool control) {
  if (key >= 'A' && key <= 'Z') {
    if (control) return static_cast<char>(key - 'A' + 1);
    return static_cast<char>(shift ? key : key - 'A' + 'a');
  }
  if (control) return 0;
  if (key >= '0' && key <= '9') return shift ? ")!@#$%^&*("[key - '0'] : static_cast<char>(key);
  if (key >= static_cast<WPARAM>(VK_NUMPAD0) && key <= static_cast<WPARAM>(VK_NUMPAD0 + 9))
    return static_cast<char>('0' + key - VK_NUMPAD0);
  switch (key) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_TAB: return '\t';
    case VK_BACK: return '\b';
    case VK_ESCAPE: return 0x1B;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    default: return 0;
  }
}

BOOL Post(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard guard(WaitLock());
  MSG msg{hWnd, Msg, wParam, lParam, GetTickCount(), POINT{0, 0}};
  std::shared_ptr<MessageQueue> queue;
  if (hWnd == nullptr) {
    queue = CurrentQueueLocked();
  } else {
    auto window = FindWindowLocked(hWnd);
    if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
    if (!window->queue) return FailWith(ERROR_ACCESS_DENIED);  // the desktop reads no queue
    queue = window->queue;
  }
  DWORD error = queue->PostLocked(msg);
  if (error == ERROR_INVALID_THREAD_ID) error = ERROR_INVALID_WINDOW_HANDLE;
  return error ? FailWith(error) : TRUE;
}

}  // namespace

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  if (lpMsg == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  auto queue = CurrentQueue();
  std::unique_lock lock(WaitLock());
  if (!IsValidReadFilterLocked(hWnd, *queue)) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  queue->lastRead = WaitClock::now();
  queue->LookedLocked();
  ServeSentMessages(lock, *queue);
  UINT kinds = wRemoveMsg >> 16;
  QueueFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax, kinds ? kinds : QS_ALLINPUT};
  bool remove = (wRemoveMsg & PM_REMOVE) != 0;
  if (!queue->TakeLocked(filter, remove, lpMsg)) return FALSE;
  if (remove) TrackKeyState(*queue, *lpMsg);
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto queue = CurrentQueue();
  std::unique_lock lock(WaitLock());
  QueueFilter filter{hWnd, wMsgFilterMin, wMsgFilterMax, QS_ALLINPUT};
  for (;;) {
    // Checked on every pass: the filter window may be destroyed by a
    // procedure served meanwhile, and waiting for it would never end.
    if (!IsValidReadFilterLocked(hWnd, *queue)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
    queue->lastRead = WaitClock::now();
    queue->LookedLocked();
    if (ServeSentMessages(lock, *queue)) continue;
    if (queue->TakeLocked(filter, true, lpMsg)) {
      TrackKeyState(*queue, *lpMsg);
      return lpMsg->message == WM_QUIT ? FALSE : TRUE;
    }
    WaitForInputLocked(lock, *queue, filter, std::nullopt);
  }
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  if (lpMsg == nullptr) return FALSE;
  UINT message = lpMsg->message;
  if (message == WM_KEYUP || message == WM_SYSKEYUP) return TRUE;
  if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return FALSE;
  auto queue = CurrentQueue();
  bool shift = queue->keys[VK_SHIFT] & 0x80;
  bool control = (queue->keys[VK_CONTROL] & 0x80) && message == WM_KEYDOWN;
  char character = CharacterOfKey(lpMsg->wParam, shift, control);
  if (character == 0) return TRUE;
  MSG charMsg{lpMsg->hwnd,
              message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
              static_cast<WPARAM>(static_cast<unsigned char>(character)),
              lpMsg->lParam,
              lpMsg->time,
              lpMsg->pt};
  // The character is read next, before anything posted after the key.
  std::lock_guard guard(WaitLock());
  queue->PostLocked(charMsg, true);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
    bool live = false;
    {
      auto queue = CurrentQueue();
      std::lock_guard guard(WaitLock());
      for (const Timer& timer : queue->timers)
        live = live || (timer.hwnd == lpMsg->hwnd && timer.id == lpMsg->wParam && timer.proc == proc);
    }
    if (live) proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
    return 0;
  }
  if (lpMsg->hwnd == nullptr) return 0;
  std::shared_ptr<Window> window;
  {
    std::lock_guard guard(WaitLock());
    window = FindWindowLocked(lpMsg->hwnd);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (window->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  return CallProc(window, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
  auto queue = CurrentQueue();
  std::lock_guard guard(WaitLock());
  queue->quitPosted = true;
  queue->quitCode = nExitCode;
  if (queue->quitTakenByLastLook)
    queue->quitTakenByLastLook = false;
  else
    queue->AddInputLocked(QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (hWnd == HWND_BROADCAST) {
    std::vector<HWND> windows;
    {
      std::lock_guard guard(WaitLock());
      windows = User().topLevel;
    }
    for (HWND window : windows) Post(window, Msg, wParam, lParam);
    return TRUE;
  }
  return Post(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  std::lock_guard guard(WaitLock());
  auto queue = FindQueueLocked(idThread);
  if (!queue) return FailWith(ERROR_INVALID_THREAD_ID);
  DWORD error = queue->PostLocked(MSG{nullptr, Msg, wParam, lParam, GetTickCount(), POINT{0, 0}});
  return error ? FailWith(error) : TRUE;
}

BOOL WINAPI WaitMessage() {
  auto queue = CurrentQueue();
  std::unique_lock lock(WaitLock());
  queue->lastRead = WaitClock::now();
  if (ServeSentMessages(lock, *queue)) return TRUE;
  QueueFilter anyNewInput;
  anyNewInput.newOnly = true;
  WaitForInputLocked(lock, *queue, anyNewInput, std::nullopt);
  ServeSentMessages(lock, *queue);
  return TRUE;
}

DWORD WINAPI GetQueueStatus(UINT flags) {
  auto queue = CurrentQueue();
  std::lock_guard guard(WaitLock());
  UINT mask = flags & 0xFFFF;
  UINT available = queue->StatusLocked() & mask;
  UINT added = queue->changeBits & mask;
  if (queue->HasNewInputLocked(QS_TIMER) && (mask & QS_TIMER)) added |= QS_TIMER;
  queue->LookedLocked();
  return MAKELONG(static_cast<WORD>(added), static_cast<WORD>(available));
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                       DWORD dwWakeMask) {
  if (nCount >= MAXIMUM_WAIT_OBJECTS || (nCount > 0 && pHandles == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  auto deadline = DeadlineAfter(dwMilliseconds);
  std::vector<std::shared_ptr<Waitable>> objects;
  for (DWORD i = 0; i < nCount; ++i) {
    auto object = LookupHandleAs<Waitable>(pHandles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  auto queue = CurrentQueue();
  std::unique_lock lock(WaitLock());
  queue->lastRead = WaitClock::now();
  QueueFilter filter{nullptr, 0, 0, dwWakeMask, true};
  // Waiting for sent messages counts as reading the queue (not hung).
  WaitFilterScope scope(*queue, filter, (dwWakeMask & QS_SENDMESSAGE) != 0);
  if (fWaitAll) objects.push_back(queue);  // all handles and input together
  for (;;) {
    auto until = deadline;
    if (auto timerDue = queue->NextTimerDueLocked(filter); timerDue && (!until || *timerDue < *until)) until = timerDue;
    DWORD result = fWaitAll ? WaitOnObjects(lock, objects, true, until)
                            : WaitOnObjects(lock, objects, false, until, queue.get(), WAIT_OBJECT_0 + nCount);
    if (result != WAIT_TIMEOUT) return result;
    if (deadline && WaitClock::now() >= *deadline) return WAIT_TIMEOUT;
  }
}

SHORT WINAPI GetKeyState(int nVirtKey) {
  auto queue = CurrentQueue();
  return (queue->keys[nVirtKey & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}
