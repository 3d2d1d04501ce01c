// The window tree: visibility, position, parent, enabled state, focus, text
// and lookup. Windows have no frame: the client area is the whole window.
#include <algorithm>
#include <cstring>

#include "MessageQueue.h"
#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

std::shared_ptr<Window> FindOrFailLocked(HWND hWnd) {
  auto window = FindWindowLocked(hWnd);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

// Screen position of the window's client origin.
POINT OriginLocked(const Window& window) {
  POINT origin{window.rect.left, window.rect.top};
  HWND parentHandle = window.parent;
  while (parentHandle != nullptr && parentHandle != HWND_MESSAGE) {
    auto parent = FindWindowLocked(parentHandle);
    if (!parent) break;
    origin.x += parent->rect.left;
    origin.y += parent->rect.top;
    parentHandle = parent->parent;
  }
  return origin;
}

void InvalidateAllLocked(Window& window) {
  if (Width(window.rect) <= 0 || Height(window.rect) <= 0) return;
  window.needsPaint = true;
  window.needsErase = true;
  window.update = RECT{0, 0, Width(window.rect), Height(window.rect)};
  if (window.queue) window.queue->AddInputLocked(QS_PAINT);
}

// The parent of a child window draws again where the child was and where
// it is after the child moved, was resized, shown, hidden or taken away: a
// parent may draw its children's pixels into its own (the GUI framework
// does), and what the child no longer covers must be drawn anyway.
void InvalidateUnderChildLocked(HWND parentHandle, const Window& child) {
  if (!(child.style & WS_CHILD) || parentHandle == nullptr || parentHandle == HWND_MESSAGE) return;
  if (auto parent = FindWindowLocked(parentHandle)) InvalidateLocked(*parent, &child.rect, false);
}

std::vector<HWND>* SiblingsLocked(const Window& window) {
  if (window.parent == nullptr) return &User().topLevel;
  if (window.parent == HWND_MESSAGE) return nullptr;
  auto parent = FindWindowLocked(window.parent);
  return parent ? &parent->children : nullptr;
}

void ReorderLocked(const Window& window, HWND insertAfter) {
  auto* siblings = SiblingsLocked(window);
  if (!siblings) return;
  auto& list = *siblings;
  list.erase(std::remove(list.begin(), list.end(), window.handle), list.end());
  if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    list.insert(list.begin(), window.handle);
  } else if (insertAfter == HWND_BOTTOM) {
    list.push_back(window.handle);
  } else {
    auto at = std::find(list.begin(), list.end(), insertAfter);
    list.insert(at == list.end() ? list.begin() : at + 1, window.handle);
  }
}

// A disabled or hidden window, or one whose ancestor is, keeps no focus.
void DropFocusWithin(HWND hWnd) {
  HWND focus = GetFocus();
  if (focus != nullptr && (focus == hWnd || IsChild(hWnd, focus))) SetFocus(nullptr);
}

}  // namespace

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  bool show = nCmdShow != SW_HIDE;
  bool wasVisible;
  {
    std::lock_guard guard(WaitLock());
    auto window = FindOrFailLocked(hWnd);
    if (!window) return FALSE;
    wasVisible = (window->style & WS_VISIBLE) != 0;
    if (wasVisible == show) return wasVisible;
  }
  SendTo(hWnd, WM_SHOWWINDOW, show, 0);
  {
    std::lock_guard guard(WaitLock());
    auto window = FindWindowLocked(hWnd);
    if (!window) return wasVisible;
    if (show) {
      window->style |= WS_VISIBLE;
      InvalidateAllLocked(*window);
    } else {
      window->style &= ~WS_VISIBLE;
    }
    InvalidateUnderChildLocked(window->parent, *window);
  }
  if (!show) DropFocusWithin(hWnd);
  return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  return window && IsVisibleLocked(*window) ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
  bool moved = false, sized = false;
  RECT rect;
  {
    std::lock_guard guard(WaitLock());
    auto window = FindOrFailLocked(hWnd);
    if (!window) return FALSE;
    rect = window->rect;
    if (!(uFlags & SWP_NOMOVE)) {
      moved = X != rect.left || Y != rect.top;
      rect = RECT{X, Y, X + Width(rect), Y + Height(rect)};
    }
    if (!(uFlags & SWP_NOSIZE)) {
      LONG width = std::max(cx, 0), height = std::max(cy, 0);
      sized = width != Width(rect) || height != Height(rect);
      rect.right = rect.left + width;
      rect.bottom = rect.top + height;
    }
    const bool placeChanged = (moved || sized) && (window->style & WS_VISIBLE) && !(uFlags & SWP_NOREDRAW);
    if (placeChanged) InvalidateUnderChildLocked(window->parent, *window);
    window->rect = rect;
    if (placeChanged) InvalidateUnderChildLocked(window->parent, *window);
    if (!(uFlags & SWP_NOZORDER)) ReorderLocked(*window, hWndInsertAfter);
    if (sized && !(uFlags & SWP_NOREDRAW)) InvalidateAllLocked(*window);
  }
  if (moved) SendTo(hWnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(rect.left), static_cast<WORD>(rect.top)));
  if (sized)
    SendTo(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<WORD>(Width(rect)), static_cast<WORD>(Height(rect))));
  if (uFlags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOWNA);
  if (uFlags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
  return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                      SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  if (lpRect == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return FALSE;
  *lpRect = RECT{0, 0, Width(window->rect), Height(window->rect)};
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (lpRect == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return FALSE;
  POINT origin = OriginLocked(*window);
  *lpRect = RECT{origin.x, origin.y, origin.x + Width(window->rect), origin.y + Height(window->rect)};
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  if (lpPoint == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return FALSE;
  POINT origin = OriginLocked(*window);
  lpPoint->x += origin.x;
  lpPoint->y += origin.y;
  return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  if (lpPoint == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return FALSE;
  POINT origin = OriginLocked(*window);
  lpPoint->x -= origin.x;
  lpPoint->y -= origin.y;
  return TRUE;
}

HWND WINAPI GetParent(HWND hWnd) {
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return nullptr;
  if (window->style & WS_CHILD) return window->parent == HWND_MESSAGE ? nullptr : window->parent;
  if (window->style & WS_POPUP) return window->owner;
  return nullptr;
}

HWND WINAPI SetParent(HWND hWndChild, HWND hWndNewParent) {
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWndChild);
  if (!window) return nullptr;
  auto& user = User();
  if (hWndNewParent == user.desktop->handle) hWndNewParent = nullptr;
  std::shared_ptr<Window> parent;
  if (hWndNewParent != nullptr && hWndNewParent != HWND_MESSAGE) {
    parent = FindOrFailLocked(hWndNewParent);
    if (!parent) return nullptr;
    if (parent == window || IsDescendantLocked(hWndChild, hWndNewParent)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  }
  HWND previous = window->parent == nullptr ? user.desktop->handle : window->parent;
  if (auto* siblings = SiblingsLocked(*window))
    siblings->erase(std::remove(siblings->begin(), siblings->end(), hWndChild), siblings->end());
  const bool visible = (window->style & WS_VISIBLE) != 0;
  if (visible) InvalidateUnderChildLocked(window->parent, *window);
  window->parent = hWndNewParent;
  if (visible) InvalidateUnderChildLocked(window->parent, *window);
  if (parent)
    parent->children.insert(parent->children.begin(), hWndChild);
  else if (hWndNewParent == nullptr)
    user.topLevel.insert(user.topLevel.begin(), hWndChild);
  return previous;
}

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
  std::lock_guard guard(WaitLock());
  return IsDescendantLocked(hWndParent, hWnd) ? TRUE : FALSE;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return nullptr;
  if (uCmd == GW_CHILD) return window->children.empty() ? nullptr : window->children.front();
  if (uCmd > GW_HWNDPREV) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto* siblings = SiblingsLocked(*window);
  if (!siblings || siblings->empty()) return nullptr;
  if (uCmd == GW_HWNDFIRST) return siblings->front();
  if (uCmd == GW_HWNDLAST) return siblings->back();
  auto at = std::find(siblings->begin(), siblings->end(), hWnd);
  if (at == siblings->end()) return nullptr;
  if (uCmd == GW_HWNDNEXT) return at + 1 == siblings->end() ? nullptr : *(at + 1);
  return at == siblings->begin() ? nullptr : *(at - 1);
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  bool wasDisabled;
  {
    std::lock_guard guard(WaitLock());
    auto window = FindOrFailLocked(hWnd);
    if (!window) return FALSE;
    wasDisabled = (window->style & WS_DISABLED) != 0;
    if (wasDisabled == !bEnable) return wasDisabled;
    if (bEnable)
      window->style &= ~WS_DISABLED;
    else
      window->style |= WS_DISABLED;
  }
  if (!bEnable) DropFocusWithin(hWnd);
  SendTo(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  return window && !(window->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND WINAPI SetFocus(HWND hWnd) {
  auto queue = CurrentQueue();
  HWND previous;
  {
    std::lock_guard guard(WaitLock());
    if (hWnd != nullptr) {
      auto window = FindOrFailLocked(hWnd);
      if (!window || window->queue != queue) return nullptr;
    }
    previous = queue->focus;
    if (previous == hWnd) return previous;
    queue->focus = hWnd;
  }
  if (previous != nullptr && IsWindow(previous)) SendTo(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd != nullptr && IsWindow(hWnd)) SendTo(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND WINAPI GetFocus() {
  auto queue = CurrentQueue();
  std::lock_guard guard(WaitLock());
  return queue->focus;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!IsWindow(hWnd)) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  return SendTo(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  {
    std::lock_guard guard(WaitLock());
    auto window = FindOrFailLocked(hWnd);
    if (!window) {
      lpString[0] = '\0';
      return 0;
    }
    if (window->threadId != GetCurrentThreadId()) {
      // Another thread's window: read directly, so a busy owner cannot hang us.
      std::size_t count = std::min(window->text.size(), static_cast<std::size_t>(nMaxCount - 1));
      std::memcpy(lpString, window->text.data(), count);
      lpString[count] = '\0';
      return static_cast<int>(count);
    }
  }
  return static_cast<int>(SendTo(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  {
    std::lock_guard guard(WaitLock());
    auto window = FindOrFailLocked(hWnd);
    if (!window) return 0;
    if (window->threadId != GetCurrentThreadId()) return static_cast<int>(window->text.size());
  }
  return static_cast<int>(SendTo(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  std::lock_guard guard(WaitLock());
  auto window = FindOrFailLocked(hWnd);
  if (!window) return 0;
  if (lpdwProcessId) *lpdwProcessId = GetCurrentProcessId();
  return window->threadId;
}

HWND WINAPI GetDesktopWindow() {
  std::lock_guard guard(WaitLock());
  return User().desktop->handle;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
  std::lock_guard guard(WaitLock());
  for (HWND handle : User().topLevel) {
    auto window = FindWindowLocked(handle);
    if (!window) continue;
    if (lpClassName != nullptr) {
      bool classMatches = IsAtomName(lpClassName)
                              ? window->windowClass->atom == reinterpret_cast<ULONG_PTR>(lpClassName)
                              : EqualsIgnoreCase(window->windowClass->name, lpClassName);
      if (!classMatches) continue;
    }
    if (lpWindowName != nullptr && !EqualsIgnoreCase(window->text, lpWindowName)) continue;
    return handle;
  }
  return nullptr;
}

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  if (lpEnumFunc == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  std::vector<HWND> windows;
  {
    std::lock_guard guard(WaitLock());
    windows = User().topLevel;
  }
  for (HWND window : windows) {
    if (!IsWindow(window)) continue;
    if (!lpEnumFunc(window, lParam)) return FALSE;
  }
  return TRUE;
}
