// Creating and destroying windows.
#include <algorithm>
#include <exception>

#include "MessageQueue.h"
#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

HWND TopLevelOfLocked(HWND hwnd) {
  auto window = FindWindowLocked(hwnd);
  while (window && window->parent != nullptr && window->parent != HWND_MESSAGE) {
    auto parent = FindWindowLocked(window->parent);
    if (!parent) break;
    window = parent;
  }
  return window ? window->handle : nullptr;
}

int OrZero(int value) { return value == CW_USEDEFAULT ? 0 : value; }

// Pre-order list of a window and its descendants.
void CollectTreeLocked(const std::shared_ptr<Window>& window, std::vector<std::shared_ptr<Window>>& out) {
  out.push_back(window);
  for (HWND child : window->children)
    if (auto c = FindWindowLocked(child)) CollectTreeLocked(c, out);
}

void DestroyTree(const std::shared_ptr<Window>& root) {
  DWORD self = GetCurrentThreadId();
  std::vector<std::shared_ptr<Window>> owned;
  {
    std::lock_guard guard(WaitLock());
    for (auto& [handle, window] : User().windows)
      if (window->owner == root->handle && !window->destroying && window->threadId == self) owned.push_back(window);
  }
  for (auto& window : owned) DestroyTree(window);

  std::vector<std::shared_ptr<Window>> tree;
  {
    std::lock_guard guard(WaitLock());
    if (root->dead || root->destroying) return;
    CollectTreeLocked(root, tree);
    for (auto& window : tree) window->destroying = true;
    for (auto& window : tree) {
      if (auto queue = window->queue; queue && queue->focus == window->handle) queue->focus = nullptr;
    }
  }
  // Procedures of other threads' child windows are not called here: they run
  // only on their own thread. Those windows are unlinked all the same.
  std::exception_ptr error;
  auto call = [&](const std::shared_ptr<Window>& window, UINT msg) {
    if (window->threadId != self) return;
    try {
      CallProc(window, msg, 0, 0);
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  };
  for (auto& window : tree) call(window, WM_DESTROY);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    call(*it, WM_NCDESTROY);
    std::lock_guard guard(WaitLock());
    UnlinkWindowLocked(**it);
  }
  if (error) std::rethrow_exception(error);
}

std::shared_ptr<Window> NewWindowLocked(const std::shared_ptr<WindowClass>& windowClass, DWORD exStyle, DWORD style,
                                        const RECT& rect, HWND parent, HMENU hMenu, HINSTANCE instance) {
  auto& user = User();
  auto window = std::make_shared<Window>();
  window->handle = reinterpret_cast<HWND>(user.nextHandle);
  user.nextHandle += 4;
  window->windowClass = windowClass;
  window->queue = CurrentQueueLocked();
  window->threadId = window->queue->threadId;
  window->proc = windowClass->info.lpfnWndProc;
  window->style = style & ~WS_VISIBLE;  // shown at the end of the creation
  window->exStyle = exStyle;
  window->instance = instance;
  window->rect = rect;
  window->extra.assign(static_cast<std::size_t>(windowClass->info.cbWndExtra), 0);
  if (parent == HWND_MESSAGE) {
    window->parent = HWND_MESSAGE;
  } else if (style & WS_CHILD) {
    window->parent = parent;
    window->id = reinterpret_cast<LONG_PTR>(hMenu);
    FindWindowLocked(parent)->children.insert(FindWindowLocked(parent)->children.begin(), window->handle);
  } else {
    window->owner = parent ? TopLevelOfLocked(parent) : nullptr;
    user.topLevel.insert(user.topLevel.begin(), window->handle);
  }
  user.windows[window->handle] = window;
  ++windowClass->windows;
  window->queue->windows.push_back(window);
  return window;
}

// Ends a creation that a procedure refused, as Windows does: a window that got
// WM_NCCREATE gets WM_NCDESTROY. The window leaves the table even when a
// procedure throws on the way out.
HWND AbandonCreation(const std::shared_ptr<Window>& window, bool createSent) {
  struct Unlink {
    const std::shared_ptr<Window>& window;
    ~Unlink() {
      std::lock_guard guard(WaitLock());
      UnlinkWindowLocked(*window);
    }
  } unlink{window};
  if (createSent)
    DestroyWindow(window->handle);
  else
    CallProc(window, WM_NCDESTROY, 0, 0);
  return nullptr;
}

}  // namespace

namespace qorv::platform {

void DestroyThreadWindows(MessageQueue& queue, bool sendMessages) {
  for (;;) {
    std::shared_ptr<Window> next;
    {
      std::lock_guard guard(WaitLock());
      if (queue.windows.empty()) return;
      if (!sendMessages) {
        while (!queue.windows.empty()) UnlinkWindowLocked(*queue.windows.back());
        return;
      }
      // A root of this thread's trees: its parent is not a window of this thread.
      for (auto& window : queue.windows) {
        auto parent = (window->parent && window->parent != HWND_MESSAGE) ? FindWindowLocked(window->parent) : nullptr;
        if (!parent || parent->threadId != queue.threadId) {
          next = window;
          break;
        }
      }
      if (!next) next = queue.windows.front();
      if (next->destroying) {
        UnlinkWindowLocked(*next);
        continue;
      }
    }
    DestroyTree(next);
  }
}

}  // namespace qorv::platform

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
  std::shared_ptr<Window> window;
  {
    std::lock_guard guard(WaitLock());
    // The desktop as parent or owner means none.
    if (hWndParent == User().desktop->handle && !(dwStyle & WS_CHILD)) hWndParent = nullptr;
    auto windowClass = FindClassLocked(lpClassName);
    if (!windowClass) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    if (hWndParent != nullptr && hWndParent != HWND_MESSAGE && !FindWindowLocked(hWndParent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if ((dwStyle & WS_CHILD) && (hWndParent == nullptr || hWndParent == User().desktop->handle)) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    int x = OrZero(X), y = OrZero(Y);
    RECT rect{x, y, x + std::max(OrZero(nWidth), 0), y + std::max(OrZero(nHeight), 0)};
    window = NewWindowLocked(windowClass, dwExStyle, dwStyle, rect, hWndParent, hMenu, hInstance);
  }
  CREATESTRUCTA create{lpParam,
                       hInstance,
                       hMenu,
                       hWndParent,
                       window->rect.bottom - window->rect.top,
                       window->rect.right - window->rect.left,
                       window->rect.top,
                       window->rect.left,
                       static_cast<LONG>(dwStyle),
                       lpWindowName,
                       lpClassName,
                       dwExStyle};
  auto lParam = reinterpret_cast<LPARAM>(&create);
  bool createSent = false;
  try {
    if (!CallProc(window, WM_NCCREATE, 0, lParam)) return AbandonCreation(window, false);
    createSent = true;
    if (CallProc(window, WM_CREATE, 0, lParam) == -1) return AbandonCreation(window, true);
    if (!IsWindow(window->handle)) return nullptr;
    RECT rect;
    {
      // WM_CREATE may have moved or sized the window already.
      std::lock_guard guard(WaitLock());
      rect = window->rect;
    }
    CallProc(window, WM_SIZE, SIZE_RESTORED,
             MAKELPARAM(static_cast<WORD>(rect.right - rect.left), static_cast<WORD>(rect.bottom - rect.top)));
    CallProc(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(rect.left), static_cast<WORD>(rect.top)));
    if (dwStyle & WS_VISIBLE) ShowWindow(window->handle, SW_SHOW);
  } catch (...) {
    // The procedure's exception is the one the caller sees.
    try {
      AbandonCreation(window, createSent);
    } catch (...) {
    }
    throw;
  }
  return IsWindow(window->handle) ? window->handle : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  std::shared_ptr<Window> window;
  {
    std::lock_guard guard(WaitLock());
    window = FindWindowLocked(hWnd);
    if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
    if (window == User().desktop || window->threadId != GetCurrentThreadId()) return FailWith(ERROR_ACCESS_DENIED);
    if (window->destroying) return TRUE;
  }
  DestroyTree(window);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  std::lock_guard guard(WaitLock());
  return FindWindowLocked(hWnd) ? TRUE : FALSE;
}
