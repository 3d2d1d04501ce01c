#include "WindowTestSupport.h"

#include <atomic>

namespace qorv::test {

namespace {

std::atomic<MessageHook> hook{nullptr};

LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TestLog().Add(LoggedMessage{hwnd, msg, wParam, lParam, GetCurrentThreadId()});
  LRESULT result = 0;
  if (auto h = hook.load(); h && h(hwnd, msg, wParam, lParam, &result)) return result;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

MessageLog& TestLog() {
  static MessageLog log;
  return log;
}

void SetTestHook(MessageHook h) { hook = h; }

void RegisterTestClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = TestWindowProc;
    wc.cbWndExtra = 8;
    wc.lpszClassName = "QorvTestWindow";
    RegisterClassA(&wc);
  });
}

HWND CreateTestWindow(HWND parent, DWORD style, LPCSTR title) {
  RegisterTestClass();
  return CreateWindowExA(0, "QorvTestWindow", title, style, 0, 0, 100, 50, parent, nullptr, nullptr, nullptr);
}

void PumpPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void DiscardPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);
  }
}

}  // namespace qorv::test
