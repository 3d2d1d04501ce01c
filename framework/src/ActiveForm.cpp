#include "ActiveForm.h"

#include "ActiveFormControl.h"
#include "ModulePin.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace {

LRESULT CALLBACK ParkingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

const char* ParkingClassName() {
  static std::string name = [] {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "QorvFramework.Parking.%p", reinterpret_cast<void*>(&ParkingWindowProc));
    return std::string(buffer);
  }();
  return name.c_str();
}

}  // namespace

TActiveForm::TActiveForm(TComponent* owner) : TCustomForm(owner) {
  BorderStyle = bsNone;
  static std::once_flag once;
  std::call_once(once, [] {
    // The platform keeps the class and its procedure, an address inside this
    // module, for the rest of the process.
    qorv::framework::KeepThisModuleLoaded();
    WNDCLASSA wc{};
    wc.lpfnWndProc = ParkingWindowProc;
    wc.lpszClassName = ParkingClassName();
    RegisterClassA(&wc);
  });
  parking_ = CreateWindowExA(0, ParkingClassName(), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

TActiveForm::~TActiveForm() {
  // The form's own window goes first, while the form is still whole.
  DestroyHandle();
  if (parking_) DestroyWindow(parking_);
}

LRESULT TActiveForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (control_) return control_->FormMessage(message, wParam, lParam);
  return TCustomForm::WndProc(message, wParam, lParam);
}

void TActiveForm::SiteIn(HWND host) {
  site_ = host;
  if (HandleAllocated()) ::SetParent(Handle(), host ? host : parking_);
}

void TActiveForm::SetEventSink(IUnknown* sink) {
  const bool first = !sinkChanged_;
  sinkChanged_ = true;
  if (first && sink && OnCreate) OnCreate(this);
}

void TActiveForm::FireDestroyOnce() {
  // Unbound before the call: a handler that closes the control again must
  // find nothing left to fire.
  TNotifyEvent handler = std::move(OnDestroy);
  OnDestroy = nullptr;
  if (handler) handler(this);
}
