// Window values by index: the extra bytes and the fields Windows exposes
// through GetWindowLong(Ptr)A.
#include <cstring>

#include "Window.h"
#include "synch.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

// Pointer-valued fields that a 32-bit value cannot hold on this host.
bool IsPointerIndex(int index) { return index == GWL_WNDPROC || index == GWL_HINSTANCE || index == GWL_HWNDPARENT; }

bool FitsExtra(const Window& window, int index, std::size_t size) {
  return index >= 0 && static_cast<std::size_t>(index) + size <= window.extra.size();
}

// Reads (and, when `newValue` is given, replaces) one value; returns the
// previous value, or sets the last error and returns nullopt.
std::optional<LONG_PTR> AccessValue(HWND hWnd, int index, std::size_t size, std::optional<LONG_PTR> newValue) {
  std::lock_guard guard(WaitLock());
  auto window = FindWindowLocked(hWnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return std::nullopt;
  }
  if (index >= 0) {
    if (!FitsExtra(*window, index, size)) {
      SetLastError(ERROR_INVALID_INDEX);
      return std::nullopt;
    }
    BYTE* at = window->extra.data() + index;
    LONG_PTR old;
    if (size == sizeof(LONG)) {
      LONG value;
      std::memcpy(&value, at, sizeof value);
      old = value;
      if (newValue) {
        value = static_cast<LONG>(*newValue);
        std::memcpy(at, &value, sizeof value);
      }
    } else {
      std::memcpy(&old, at, sizeof old);
      if (newValue) std::memcpy(at, &*newValue, sizeof(LONG_PTR));
    }
    return old;
  }
  if (size == sizeof(LONG) && IsPointerIndex(index)) {
    SetLastError(ERROR_INVALID_INDEX);
    return std::nullopt;
  }
  LONG_PTR old;
  switch (index) {
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(window->proc);
      if (newValue) window->proc = reinterpret_cast<WNDPROC>(*newValue);
      break;
    case GWL_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(window->instance);
      if (newValue) window->instance = reinterpret_cast<HINSTANCE>(*newValue);
      break;
    case GWL_HWNDPARENT:
      old =
          reinterpret_cast<LONG_PTR>(window->parent && window->parent != HWND_MESSAGE ? window->parent : window->owner);
      if (newValue && window->parent == nullptr) window->owner = reinterpret_cast<HWND>(*newValue);
      break;
    case GWL_ID:
      old = window->id;
      if (newValue) window->id = *newValue;
      break;
    case GWL_STYLE:
      old = static_cast<LONG>(window->style);
      if (newValue) window->style = static_cast<DWORD>(*newValue);
      break;
    case GWL_EXSTYLE:
      old = static_cast<LONG>(window->exStyle);
      if (newValue) window->exStyle = static_cast<DWORD>(*newValue);
      break;
    case GWL_USERDATA:
      old = window->userData;
      if (newValue) window->userData = *newValue;
      break;
    default: SetLastError(ERROR_INVALID_INDEX); return std::nullopt;
  }
  if (size == sizeof(LONG)) old = static_cast<LONG>(old);
  return old;
}

}  // namespace

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  return static_cast<LONG>(AccessValue(hWnd, nIndex, sizeof(LONG), std::nullopt).value_or(0));
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  return static_cast<LONG>(AccessValue(hWnd, nIndex, sizeof(LONG), dwNewLong).value_or(0));
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  return AccessValue(hWnd, nIndex, sizeof(LONG_PTR), std::nullopt).value_or(0);
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  return AccessValue(hWnd, nIndex, sizeof(LONG_PTR), dwNewLong).value_or(0);
}
