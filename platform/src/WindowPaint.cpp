// Update regions and WM_PAINT. The region is kept as a bounding rectangle:
// callers repaint at least what was invalidated, which is all painting needs.
#include <algorithm>

#include "MessageQueue.h"
#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

bool Contains(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

RECT ClientOf(const Window& window) {
  return RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
}

// The non-null device context token BeginPaint hands out: no drawing happens
// through it.
HDC PaintToken(HWND hWnd) { return reinterpret_cast<HDC>(hWnd); }

}  // namespace

void qorv::platform::InvalidateLocked(Window& window, const RECT* rect, bool erase) {
  RECT area = rect ? Intersect(*rect, ClientOf(window)) : ClientOf(window);
  if (IsEmpty(area)) return;
  window.update = window.needsPaint ? Union(window.update, area) : area;
  window.needsPaint = true;
  window.needsErase = window.needsErase || erase;
  if (window.queue) window.queue->AddInputLocked(QS_PAINT);
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
  std::lock_guard guard(WaitLock());
  if (hWnd == nullptr) {
    for (auto& [handle, window] : User().windows)
      if (window != User().desktop) InvalidateLocked(*window, nullptr, bErase != FALSE);
    return TRUE;
  }
  auto window = FindWindowLocked(hWnd);
  if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  InvalidateLocked(*window, lpRect, bErase != FALSE);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect) {
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  if (lpRect == nullptr || Contains(*lpRect, window->update)) {
    window->needsPaint = false;
    window->needsErase = false;
  }
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  bool paint;
  {
    std::lock_guard guard(WaitLock());
    auto window = FindWindowLocked(hWnd);
    if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
    paint = window->needsPaint && IsVisibleLocked(*window);
  }
  if (paint) SendTo(hWnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL) {
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  if (!window) return FailWith(ERROR_INVALID_WINDOW_HANDLE);
  if (lpRect) *lpRect = window->needsPaint ? window->update : RECT{0, 0, 0, 0};
  return window->needsPaint ? TRUE : FALSE;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  if (lpPaint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool erase;
  {
    std::lock_guard guard(WaitLock());
    auto window = FindWindowLocked(hWnd);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    *lpPaint = PAINTSTRUCT{};
    lpPaint->hdc = PaintToken(hWnd);
    lpPaint->rcPaint = window->needsPaint ? window->update : RECT{0, 0, 0, 0};
    erase = window->needsErase;
    window->needsPaint = false;
    window->needsErase = false;
  }
  // fErase tells the caller the background still needs erasing.
  lpPaint->fErase = erase && SendTo(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(lpPaint->hdc), 0) == 0;
  return lpPaint->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }
