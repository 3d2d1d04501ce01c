#include "Timer.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "Application.h"
#include "ModulePin.h"

namespace {

LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (message != WM_TIMER) return DefWindowProcA(hwnd, message, wParam, lParam);
  auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!timer) return 0;
  // A handler's failure goes to the application's display, never into the
  // message loop.
  try {
    timer->Timer();
  } catch (const std::exception& e) {
    Application->HandleException(e);
  } catch (...) {
    Application->HandleException(Exception("Unknown exception"));
  }
  return 0;
}

const char* TimerClassName() {
  static std::string name = [] {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "QorvFramework.Timer.%p", reinterpret_cast<void*>(&TimerWindowProc));
    return std::string(buffer);
  }();
  return name.c_str();
}

}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  static std::once_flag once;
  std::call_once(once, [] {
    // The platform keeps the class and its procedure, an address inside this
    // module, for the rest of the process.
    qorv::framework::KeepThisModuleLoaded();
    WNDCLASSA wc{};
    wc.lpfnWndProc = TimerWindowProc;
    wc.lpszClassName = TimerClassName();
    RegisterClassA(&wc);
  });
  window_ = CreateWindowExA(0, TimerClassName(), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, this);
  UpdateTimer();
}

TTimer::~TTimer() {
  if (window_) {
    KillTimer(window_, 1);
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (!window_) return;
  KillTimer(window_, 1);
  // A timer being loaded starts only once all its properties are known.
  if (enabled_ && interval_ > 0 && !IsLoading()) SetTimer(window_, 1, interval_, nullptr);
}

void TTimer::Timer() {
  if (enabled_ && OnTimer) OnTimer(this);
}
