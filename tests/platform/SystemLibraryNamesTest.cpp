// The system library the platform stands for: a program that loads
// OLEAUT32.DLL and looks a function up in it by name finds the platform's.
#include <gtest/gtest.h>

#include "fileapi.h"
#include "oaidl.h"
#include "winerror.h"

namespace {

HMODULE PlatformModule() { return qorv::platform::ModuleFromAddress(&GetModuleHandleA); }

}  // namespace

// Any spelling of the automation library's name is the platform library;
// other names still fail as before.
TEST(PlatformSystemLibraries, NamesResolveToThePlatformLibrary) {
  EXPECT_EQ(GetModuleHandleA("OLEAUT32.DLL"), PlatformModule());
  EXPECT_EQ(GetModuleHandleA("oleaut32"), PlatformModule());
  EXPECT_EQ(GetModuleHandleA("OLEAUT33.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  HMODULE loaded = LoadLibraryA("OLEAUT32.DLL");
  ASSERT_EQ(loaded, PlatformModule());
  EXPECT_TRUE(FreeLibrary(loaded));
  // The platform is still there: the program linked it.
  EXPECT_EQ(GetModuleHandleA("OLEAUT32.DLL"), PlatformModule());
}

// UnRegisterTypeLib is found under its plain name and is the real one: it
// answers as UnRegisterTypeLib does for a library nobody registered.
TEST(PlatformSystemLibraries, UnRegisterTypeLibIsFoundByName) {
  using Proc = HRESULT (*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  auto proc = reinterpret_cast<Proc>(GetProcAddress(GetModuleHandleA("OLEAUT32.DLL"), "UnRegisterTypeLib"));
  ASSERT_NE(proc, nullptr) << GetLastError();
  const GUID nobody{0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(proc(nobody, 1, 0, 0x409, SYS_WIN32), UnRegisterTypeLib(nobody, 1, 0, 0x409, SYS_WIN32));
  EXPECT_EQ(GetProcAddress(GetModuleHandleA("OLEAUT32.DLL"), "NoSuchFunction"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
}

// The error mode is kept for the process and the previous one answered.
TEST(PlatformSystemLibraries, ErrorModeAnswersThePreviousMode) {
  UINT original = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(GetErrorMode(), SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(SetErrorMode(original), SEM_NOOPENFILEERRORBOX);
  EXPECT_EQ(GetErrorMode(), original);
}
