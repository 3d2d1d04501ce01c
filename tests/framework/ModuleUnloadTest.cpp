// A library that links its own framework (the control library does) is loaded
// and let go again by hosts: for its type library, for registration, or by
// CoFreeUnusedLibraries. What it made must go with it, unless it handed the
// platform or other libraries code of its own to run later.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Application.h"
#include "HeadlessGuiTest.h"
#include "fileapi.h"
#include "systemroot.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

namespace fs = std::filesystem;

using TApplicationFn = void* (*)();
using TWatchFn = void (*)(void (*)(void*), void*);
using TShowFormFn = int (*)();

void CountEnd(void* count) { ++*static_cast<int*>(count); }

// True while the loader still holds the library, whoever loaded it.
bool StillLoaded(const fs::path& library) {
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

class FrameworkModuleUnload : public HeadlessGuiTest {
 protected:
  // Each test loads a copy of its own: a copy that stayed loaded in one test
  // must not stand in for the library in the next.
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    library =
        qorv::platform::ReadDriveMapping('C').Folder /
        (std::string("framework-module-") + testing::UnitTest::GetInstance()->current_test_info()->name() + ".so");
    fs::copy_file(QORV_TEST_FRAMEWORK_MODULE, library, fs::copy_options::overwrite_existing);
  }

  template <class Fn>
  static Fn Entry(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(GetProcAddress(module, name));
  }

  fs::path library;
};

TEST_F(FrameworkModuleUnload, AModuleThatMadeNoWindowFreesItsApplicationAtEveryUnload) {
  int ends = 0;
  for (int load = 1; load <= 5; ++load) {
    HMODULE module = LoadLibraryA(library.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    auto application = Entry<TApplicationFn>(module, "FrameworkModuleApplication");
    auto watch = Entry<TWatchFn>(module, "FrameworkModuleWatchApplication");
    ASSERT_TRUE(application && watch);
    // Each load makes an application of its own, apart from the program's.
    ASSERT_NE(application(), nullptr);
    EXPECT_NE(application(), static_cast<void*>(Application));
    watch(CountEnd, &ends);

    ASSERT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(StillLoaded(library)) << "load " << load;
    EXPECT_EQ(ends, load) << "the application of load " << load << " was not freed";
  }
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "unloading the module leaked";
#endif
}

TEST_F(FrameworkModuleUnload, AModuleThatMadeAWindowStaysLoadedAndKeepsItsApplication) {
  // The module stays to the process's end and frees its application then.
  static int ends = 0;
  ends = 0;
  HMODULE module = LoadLibraryA(library.c_str());
  ASSERT_NE(module, nullptr) << GetLastError();
  auto watch = Entry<TWatchFn>(module, "FrameworkModuleWatchApplication");
  auto showForm = Entry<TShowFormFn>(module, "FrameworkModuleShowForm");
  ASSERT_TRUE(watch && showForm);
  watch(CountEnd, &ends);
  // The platform now holds a window class whose procedure is in the module.
  ASSERT_EQ(showForm(), 1);

  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(StillLoaded(library));
  EXPECT_EQ(ends, 0);

  // Loaded again, it is the same module, and its class still works.
  HMODULE again = LoadLibraryA(library.c_str());
  ASSERT_NE(again, nullptr) << GetLastError();
  auto showAgain = Entry<TShowFormFn>(again, "FrameworkModuleShowForm");
  ASSERT_NE(showAgain, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(showAgain), reinterpret_cast<void*>(showForm));
  EXPECT_EQ(showAgain(), 1);
  EXPECT_TRUE(FreeLibrary(again));
}

}  // namespace
