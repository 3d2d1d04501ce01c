#include "FormInput.h"

namespace {

LPARAM Point(int x, int y) {
  return static_cast<LPARAM>((static_cast<DWORD>(static_cast<WORD>(y)) << 16) | static_cast<WORD>(x));
}

}  // namespace

void PostMouseMove(TCustomForm& form, int x, int y) { PostMessageA(form.Handle(), WM_MOUSEMOVE, 0, Point(x, y)); }

void PostMouseButton(TCustomForm& form, UINT message, int x, int y) {
  WPARAM keys = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK ? MK_LBUTTON : 0;
  PostMessageA(form.Handle(), message, keys, Point(x, y));
}

void PostClick(TCustomForm& form, int x, int y) {
  PostMouseMove(form, x, y);
  PostMouseButton(form, WM_LBUTTONDOWN, x, y);
  PostMouseButton(form, WM_LBUTTONUP, x, y);
}

void PostKey(TCustomForm& form, WORD virtualKey) {
  PostMessageA(form.Handle(), WM_KEYDOWN, virtualKey, 1);
  PostMessageA(form.Handle(), WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
}

void PostChar(TCustomForm& form, char character) {
  PostMessageA(form.Handle(), WM_CHAR, static_cast<unsigned char>(character), 1);
}

void PostClose(TCustomForm& form) { PostMessageA(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }
