// The window table, window classes and the helpers every window file shares.
#include <algorithm>
#include <cstring>

#include "MessageQueue.h"
#include "Window.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

// Window extra bytes beyond this are refused: no caller needs more, and a
// bad count must not turn into a huge allocation per window.
constexpr int kMaxExtraBytes = 65536;

std::shared_ptr<Window> MakeDesktop() {
  auto desktopClass = std::make_shared<WindowClass>();
  desktopClass->name = "#32769";
  auto desktop = std::make_shared<Window>();
  desktop->windowClass = desktopClass;
  desktop->proc = DefWindowProcA;
  desktop->style = WS_VISIBLE;
  desktop->rect = RECT{0, 0, 1920, 1080};
  return desktop;
}

}  // namespace

UserState& User() {
  static auto* state = [] {
    auto* s = new UserState;
    s->nextHandle = 0x10000;
    s->desktop = MakeDesktop();
    s->desktop->handle = reinterpret_cast<HWND>(s->nextHandle);
    s->nextHandle += 4;
    s->windows[s->desktop->handle] = s->desktop;
    return s;
  }();
  return *state;
}

bool IsAtomName(LPCSTR nameOrAtom) { return reinterpret_cast<ULONG_PTR>(nameOrAtom) < 0x10000; }

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::shared_ptr<Window> FindWindowLocked(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  auto& windows = User().windows;
  auto it = windows.find(hwnd);
  if (it == windows.end() || it->second->dead) return nullptr;
  return it->second;
}

std::shared_ptr<WindowClass> FindClassLocked(LPCSTR nameOrAtom) {
  if (nameOrAtom == nullptr) return nullptr;
  for (auto& windowClass : User().classes) {
    if (IsAtomName(nameOrAtom) ? windowClass->atom == reinterpret_cast<ULONG_PTR>(nameOrAtom)
                               : EqualsIgnoreCase(windowClass->name, nameOrAtom))
      return windowClass;
  }
  return nullptr;
}

bool IsDescendantLocked(HWND ancestor, HWND hwnd) {
  auto window = FindWindowLocked(hwnd);
  // Depth is bounded by the table size: SetParent refuses cycles.
  while (window && window->parent != nullptr && window->parent != HWND_MESSAGE) {
    if (window->parent == ancestor) return true;
    window = FindWindowLocked(window->parent);
  }
  return false;
}

bool IsVisibleLocked(const Window& window) {
  const Window* current = &window;
  for (;;) {
    if (!(current->style & WS_VISIBLE)) return false;
    if (current->parent == HWND_MESSAGE) return false;  // message-only windows are never shown
    if (current->parent == nullptr) return true;
    auto parent = FindWindowLocked(current->parent);
    if (!parent) return true;
    current = parent.get();
  }
}

HWND FocusOfThreadLocked(DWORD threadId) {
  auto queue = FindQueueLocked(threadId);
  return queue ? queue->focus : nullptr;
}

void UnlinkWindowLocked(Window& window) {
  if (window.dead) return;
  window.dead = true;
  auto& user = User();
  // The table and the queue hold the last references; keep the window alive
  // until this function is done with it.
  std::shared_ptr<Window> keepAlive;
  if (auto it = user.windows.find(window.handle); it != user.windows.end()) {
    keepAlive = std::move(it->second);
    user.windows.erase(it);
  }
  auto drop = [&](std::vector<HWND>& list) {
    list.erase(std::remove(list.begin(), list.end(), window.handle), list.end());
  };
  if (window.parent == nullptr) {
    drop(user.topLevel);
  } else if (auto parent = FindWindowLocked(window.parent)) {
    drop(parent->children);
  }
  if (window.windowClass) --window.windowClass->windows;
  if (!window.queue) return;
  MessageQueue& queue = *window.queue;
  auto& windows = queue.windows;
  auto owned = std::find_if(windows.begin(), windows.end(), [&](auto& w) { return w.get() == &window; });
  if (owned != windows.end()) {
    if (!keepAlive) keepAlive = std::move(*owned);
    windows.erase(owned);
  }
  auto& posted = queue.posted;
  posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == window.handle; }),
               posted.end());
  auto& timers = queue.timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == window.handle; }),
               timers.end());
  queue.FailSendsLocked(window.handle);
  if (queue.focus == window.handle) queue.focus = nullptr;
}

LRESULT CallProc(const std::shared_ptr<Window>& window, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  {
    std::lock_guard guard(WaitLock());
    proc = window->proc;
  }
  return proc ? proc(window->handle, msg, wParam, lParam) : 0;
}

LRESULT SendTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(hwnd, msg, wParam, lParam); }

}  // namespace qorv::platform

using namespace qorv::platform;

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  if (lpWndClass == nullptr || lpWndClass->lpfnWndProc == nullptr || lpWndClass->lpszClassName == nullptr ||
      IsAtomName(lpWndClass->lpszClassName) || lpWndClass->lpszClassName[0] == '\0' || lpWndClass->cbWndExtra < 0 ||
      lpWndClass->cbClsExtra < 0 || lpWndClass->cbWndExtra > kMaxExtraBytes ||
      lpWndClass->cbClsExtra > kMaxExtraBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard guard(WaitLock());
  if (FindClassLocked(lpWndClass->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto& user = User();
  auto windowClass = std::make_shared<WindowClass>();
  windowClass->name = lpWndClass->lpszClassName;
  windowClass->info = *lpWndClass;
  windowClass->info.lpszClassName = nullptr;
  windowClass->info.lpszMenuName = nullptr;
  windowClass->atom = user.nextAtom++;
  user.classes.push_back(windowClass);
  return windowClass->atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  std::lock_guard guard(WaitLock());
  auto windowClass = FindClassLocked(lpClassName);
  if (!windowClass) return FailWith(ERROR_CLASS_DOES_NOT_EXIST);
  if (windowClass->windows > 0) return FailWith(ERROR_CLASS_HAS_WINDOWS);
  auto& classes = User().classes;
  classes.erase(std::remove(classes.begin(), classes.end(), windowClass), classes.end());
  return TRUE;
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (lpClassName == nullptr || nMaxCount <= 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::string& name = window->windowClass->name;
  std::size_t count = std::min(name.size(), static_cast<std::size_t>(nMaxCount - 1));
  std::memcpy(lpClassName, name.data(), count);
  lpClassName[count] = '\0';
  return static_cast<int>(count);
}
