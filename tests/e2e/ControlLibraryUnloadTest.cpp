// A host that loads the control library without making a control (for its
// type library, its registration or its class object) and lets it go again,
// over and over, gets the library really unloaded each time with nothing of
// it left behind. This program links no drawing libraries of its own, so the
// ones the library brings in come and go with it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "fileapi.h"
#include "oaidl.h"
#include "objbase.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using TCanUnloadNowFn = HRESULT (*)();

bool StillLoaded(const char* library) {
  void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEST(ControlLibraryUnload, LoadedAndFreedAgainAndAgainItGoesAndLeavesNothing) {
  for (int load = 1; load <= 5; ++load) {
    HMODULE module = LoadLibraryA(QORV_CONTROL_LIBRARY);
    ASSERT_NE(module, nullptr) << GetLastError();
    auto canUnloadNow = reinterpret_cast<TCanUnloadNowFn>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnloadNow, nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK);
    ASSERT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(StillLoaded(QORV_CONTROL_LIBRARY)) << "load " << load;
  }
  // Reading the type library loads the library for its resource as well.
  for (int read = 1; read <= 5; ++read) {
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLib(Wide(QORV_CONTROL_LIBRARY).c_str(), &library), S_OK);
    library->Release();
    EXPECT_FALSE(StillLoaded(QORV_CONTROL_LIBRARY)) << "read " << read;
  }
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "unloading the control library leaked";
#endif
}

}  // namespace
