// A library with a copy of the framework of its own, as the control library
// has, for the tests of what such a module leaves behind when it is unloaded.
#include <exception>

#include "Application.h"
#include "Forms.h"

#define QORV_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Owned by the module's application: tells the caller when the application
// frees what it owns.
class TEndWatch final : public TComponent {
 public:
  TEndWatch(TComponent* owner, void (*ended)(void*), void* context)
      : TComponent(owner), ended_(ended), context_(context) {}
  ~TEndWatch() override { ended_(context_); }

 private:
  void (*ended_)(void*);
  void* context_;
};

}  // namespace

// The module's application object (not the program's).
QORV_MODULE_EXPORT void* FrameworkModuleApplication() { return Application; }

// Calls ended(context) when the module's application goes.
QORV_MODULE_EXPORT void FrameworkModuleWatchApplication(void (*ended)(void*), void* context) {
  new TEndWatch(Application, ended, context);
}

// Makes a form with its window and frees it again; 1 when that worked.
QORV_MODULE_EXPORT int FrameworkModuleShowForm() {
  try {
    TForm* form = NewForm<TForm>(nullptr);
    const bool made = form->Handle() != nullptr;
    delete form;
    return made ? 1 : 0;
  } catch (const std::exception&) {
    return 0;
  }
}
