#include "ModulePin.h"

#include <dlfcn.h>

#include <mutex>

namespace qorv::framework {

void KeepThisModuleLoaded() {
  static std::once_flag once;
  std::call_once(once, [] {
    Dl_info self{};
    if (!dladdr(reinterpret_cast<void*>(&KeepThisModuleLoaded), &self) || !self.dli_fname) return;
    // The reference taken here is never dropped, and NODELETE outlasts the
    // loader's own last dlclose as well. A program's own path is no loaded
    // library; NOLOAD then answers null and nothing happens.
    dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  });
}

void KeepLoadTimeAllocatorsLoaded() {
  // Only a library loaded already is marked (NOLOAD loads nothing new), and
  // the reference taken is never dropped.
  dlopen("libpixman-1.so.0", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace qorv::framework
