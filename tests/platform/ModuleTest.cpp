#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "fileapi.h"
#include "resource.h"
#include "systemroot.h"
#include "winerror.h"

namespace {

namespace fs = std::filesystem;

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

std::string ModuleName(HMODULE module) {
  char buffer[1024];
  DWORD n = GetModuleFileNameA(module, buffer, sizeof buffer);
  return n ? std::string(buffer, n) : "<error " + std::to_string(GetLastError()) + ">";
}

// A library is found by file name (any case, with or without extension) and
// answers its own path; one under a mapped drive answers a Windows path.
TEST(PlatformModules, LoadedLibraryIsNamedAndFound) {
  const fs::path library = QORV_TEST_MODULE;
  HMODULE module = LoadLibraryA(library.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleA(library.filename().c_str()), module);
  EXPECT_EQ(GetModuleHandleA("LIBQORV_TEST_MODULE"), module);
  EXPECT_EQ(GetModuleHandleA("C:\\anywhere\\libqorv_test_module.so"), module);
  EXPECT_EQ(ModuleName(module), library.string());
  EXPECT_EQ(ModuleName(nullptr), ModuleName(GetModuleHandleA(nullptr)));
  ASSERT_TRUE(qorv::platform::ConfigureDrive('F', library.parent_path(), qorv::platform::DriveKind::Fixed));
  EXPECT_EQ(ModuleName(module), "F:\\" + library.filename().string());
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("libqorv_test_module.so"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

// A bare name is looked for in the system folder; LoadLibraryA counts, so the
// module stays until the last FreeLibrary, and a further one fails.
TEST(PlatformModules, BareNameSearchesSystemFolderAndCountsLoads) {
  fs::copy_file(QORV_TEST_MODULE, DriveC() / "Windows/System32/QorvTest.ocx");
  HMODULE first = LoadLibraryA("qorvtest.ocx");
  ASSERT_NE(first, nullptr) << GetLastError();
  HMODULE second = LoadLibraryA("C:\\Windows\\System32\\QorvTest.ocx");
  EXPECT_EQ(second, first);
  EXPECT_EQ(ModuleName(first), "C:\\Windows\\System32\\QorvTest.ocx");
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(first, "QorvTestModuleAnswer"), nullptr);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(PlatformModules, LoadFailuresTellMissingFromBroken) {
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\System32\\none.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryA("no-such-library-anywhere.ocx"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  qorv::test::WriteFileBytes(DriveC() / "Windows/System32/broken.ocx", "not a library");
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\System32\\broken.ocx"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
}

// Only the module's own exports are answered: not a symbol of a library it
// depends on, not an ordinal, not a module that is not loaded.
TEST(PlatformModules, ProcAddressOnlyFromTheModuleItself) {
  HMODULE module = LoadLibraryA(QORV_TEST_MODULE);
  ASSERT_NE(module, nullptr);
  auto answer = reinterpret_cast<int (*)()>(GetProcAddress(module, "QorvTestModuleAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  for (LPCSTR name : {"NoSuchExport", "_Z13FindResourceAP11HINSTANCE__PKcS2_", "malloc"}) {
    EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  }
  EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetProcAddress(module, "QorvTestModuleAnswer"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

// A name longer than the buffer is cut to fit with its terminator; the full
// buffer size and ERROR_INSUFFICIENT_BUFFER say so.
TEST(PlatformModules, FileNameTruncatesAtBufferSize) {
  std::string full = ModuleName(nullptr);
  char buffer[8];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), sizeof buffer);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(buffer), full.substr(0, 7));
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 0), 0u);
  int local = 0;
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&local), buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

}  // namespace
