// Which implementation shows the shell's windows, and the one used when no
// GUI framework has registered: questions and messages on standard error.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "shellui.h"

namespace qorv::platform {

namespace {

class StandardErrorOperationUi : public IShellOperationUi {
 public:
  void ShowProgress(const ShellProgress&) override {}
  bool CancelRequested() override { return false; }
  ShellAnswer AskReplace(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n(answered Yes)\n", caption.c_str(), text.c_str());
    return ShellAnswer::Yes;
  }
  void ShowError(const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
};

class StandardErrorShellUi : public IShellUi {
 public:
  std::unique_ptr<IShellOperationUi> BeginOperation(HWND, bool) override {
    return std::make_unique<StandardErrorOperationUi>();
  }
  void ShowError(HWND, const std::string& caption, const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  }
};

struct Registrations {
  std::mutex Lock;
  std::vector<IShellUi*> Stack;  // under Lock; the last one serves
  StandardErrorShellUi Fallback;
};

Registrations& State() {
  static auto* state = new Registrations;  // used from module destructors at exit
  return *state;
}

}  // namespace

void RegisterShellUi(IShellUi* ui) {
  if (!ui) return;
  auto& state = State();
  std::lock_guard guard(state.Lock);
  state.Stack.push_back(ui);
}

void UnregisterShellUi(IShellUi* ui) {
  auto& state = State();
  std::lock_guard guard(state.Lock);
  auto& stack = state.Stack;
  stack.erase(std::remove(stack.begin(), stack.end(), ui), stack.end());
}

IShellUi& CurrentShellUi() {
  auto& state = State();
  std::lock_guard guard(state.Lock);
  if (state.Stack.empty()) return state.Fallback;
  return *state.Stack.back();
}

}  // namespace qorv::platform
