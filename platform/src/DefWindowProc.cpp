// The default handling of window messages.
#include <algorithm>
#include <cstring>

#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

constexpr LPARAM kAltDown = 1 << 29;  // WM_SYSKEYDOWN context code

void SetTextOf(HWND hWnd, LPCSTR text) {
  std::lock_guard guard(WaitLock());
  if (auto window = FindWindowLocked(hWnd)) window->text = text ? text : "";
}

LRESULT CopyTextOf(HWND hWnd, WPARAM capacity, LPSTR buffer) {
  if (buffer == nullptr || capacity == 0) return 0;
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  if (!window) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t count = std::min<std::size_t>(window->text.size(), capacity - 1);
  std::memcpy(buffer, window->text.data(), count);
  buffer[count] = '\0';
  return static_cast<LRESULT>(count);
}

LRESULT TextLengthOf(HWND hWnd) {
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  return window ? static_cast<LRESULT>(window->text.size()) : 0;
}

}  // namespace

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      // A title given as a resource ordinal is no text.
      if (create && create->lpszName && !IsAtomName(create->lpszName)) SetTextOf(hWnd, create->lpszName);
      return TRUE;
    }
    case WM_SETTEXT: SetTextOf(hWnd, reinterpret_cast<LPCSTR>(lParam)); return TRUE;
    case WM_GETTEXT: return CopyTextOf(hWnd, wParam, reinterpret_cast<LPSTR>(lParam));
    case WM_GETTEXTLENGTH: return TextLengthOf(hWnd);
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == static_cast<WPARAM>(VK_F4) && (lParam & kAltDown)) SendMessageA(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hWnd, &paint);
      EndPaint(hWnd, &paint);
      return 0;
    }
    default: return 0;
  }
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}
