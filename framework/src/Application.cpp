#include "Application.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <utility>

#include "Dialogs.h"
#include "GuiBackend.h"
#include "ModuleKind.h"
#include "ModulePin.h"
#include "ShellDialogs.h"

namespace {

// The application lives as long as the module. A program never frees it, so
// forms that outlive static destruction never reach a dead object.
TApplication* MakeApplication() {
  if (!qorv::framework::ThisModuleIsTheProgram()) qorv::framework::KeepLoadTimeAllocatorsLoaded();
  return new TApplication(nullptr);
}

// A library frees it with its static objects when it is unloaded, or every
// load would leave one behind (a host loads the control library for its type
// library or its registration and lets it go again). A library that made
// windows, threads or fonts is kept loaded to the end instead (ModulePin.h),
// and then this runs at the process's end. Forms still alive refer to the
// application, so with any left it stays.
struct TApplicationEnd {
  TApplicationEnd() = default;
  TApplicationEnd(const TApplicationEnd&) = delete;
  TApplicationEnd& operator=(const TApplicationEnd&) = delete;
  ~TApplicationEnd() {
    if (!Application || qorv::framework::ThisModuleIsTheProgram() || !Application->Forms().empty()) return;
    delete std::exchange(Application, nullptr);
  }
};

bool IsOutOfMemory(const std::exception& error) {
  return dynamic_cast<const std::bad_alloc*>(&error) || dynamic_cast<const std::length_error*>(&error);
}

}  // namespace

TApplication* Application = MakeApplication();

namespace {
// Made after the application, so it ends before anything made earlier.
const TApplicationEnd applicationEnd;
}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication() = default;

void TApplication::Initialize() {
  qorv::framework::Backend();
  qorv::framework::InstallShellDialogs();
}

bool TApplication::Headless() const { return qorv::framework::Backend().IsHeadless(); }

void TApplication::Run() {
  if (mainForm_ && !terminated_) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

bool TApplication::ProcessMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  BOOL got = GetMessageA(&msg, nullptr, 0, 0);
  if (got == 0) {
    terminated_ = true;
    return;
  }
  if (got < 0) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void TApplication::HandleException(const std::exception& error) {
  // Memory that ran out inside a handler reads as the framework's own
  // exception, whichever standard exception the allocation raised.
  if (IsOutOfMemory(error)) {
    HandleException(EOutOfMemory());
    return;
  }
  if (OnException) {
    OnException(this, error);
    return;
  }
  ShowException(error);
}

void TApplication::ShowException(const std::exception& error) {
  std::string text = error.what();
  // The standard box ends the message with a full stop, as the original did.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  MessageBox(text, Title, MB_OK | MB_ICONSTOP);
}

void TApplication::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TApplication::RemoveForm(TCustomForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (mainForm_ == form) mainForm_ = nullptr;
  if (activeForm_ == form) activeForm_ = nullptr;
}

void TApplication::Reset() {
  terminated_ = false;
  mainForm_ = nullptr;
}
