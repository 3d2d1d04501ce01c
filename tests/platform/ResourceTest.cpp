#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "fileapi.h"
#include "resource.h"
#include "winerror.h"

HMODULE QorvTestStaticLibraryModule();

namespace {

std::string ResourceText(HMODULE module, LPCSTR name, LPCSTR type) {
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return "<missing " + std::to_string(GetLastError()) + ">";
  HGLOBAL data = LoadResource(module, info);
  auto* bytes = static_cast<const char*>(LockResource(data));
  return bytes ? std::string(bytes, SizeofResource(module, info)) : "<unlocked>";
}

// Names and types are found by string (any case), by number and by "#n".
TEST(PlatformResourceLookup, FindsByEveryKindOfName) {
  struct Case {
    LPCSTR Name;
    LPCSTR Type;
    std::string Expected;
  } cases[] = {
      {"HELLO", RT_RCDATA, "first resource\n"},
      {"hello", RT_RCDATA, "first resource\n"},
      {"#7", RT_RCDATA,
       std::string("\0\1"
                   "7\2"
                   "a\"\\?\xff",
                   9)},
      {MAKEINTRESOURCEA(7), RT_RCDATA,
       std::string("\0\1"
                   "7\2"
                   "a\"\\?\xff",
                   9)},
      {"TypedName", "typelib", "MZ lowercase\n"},
      {MAKEINTRESOURCEA(3), "PNG", "first resource\n"},
      {"EMPTY", RT_RCDATA, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResourceText(nullptr, c.Name, c.Type), c.Expected) << (IS_INTRESOURCE(c.Name) ? "id" : c.Name);
  }
}

// An empty resource still locks to a valid pointer, so callers can tell it
// from a failure.
TEST(PlatformResourceLookup, EmptyResourceLocksToNonNull) {
  HRSRC info = FindResourceA(GetModuleHandleA(nullptr), "EMPTY", RT_RCDATA);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, info), 0u);
  EXPECT_NE(LockResource(LoadResource(nullptr, info)), nullptr);
}

// A type that exists with a name that does not is 1814; an unknown type 1813;
// a module with no resources at all 1812.
TEST(PlatformResourceLookup, MissingNameTypeAndTableAreDistinguished) {
  EXPECT_EQ(FindResourceA(nullptr, "NOPE", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(FindResourceA(nullptr, "HELLO", RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_EQ(FindResourceA(nullptr, "HELLO", "#abc"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  // The C library: a module that embeds no resources (the platform itself
  // holds stdole2.tlb).
  HMODULE library = qorv::platform::ModuleFromAddress(reinterpret_cast<const void*>(&std::strlen));
  ASSERT_NE(library, nullptr);
  ASSERT_NE(library, GetModuleHandleA(nullptr));
  EXPECT_EQ(FindResourceA(library, "HELLO", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
}

// Handles that name no resource are refused instead of being read through.
TEST(PlatformResourceLookup, ForeignHandlesAreRefused) {
  int notAResource = 0;
  auto bogus = reinterpret_cast<HRSRC>(&notAResource);
  EXPECT_EQ(LoadResource(nullptr, bogus), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SizeofResource(nullptr, bogus), 0u);
  EXPECT_EQ(LockResource(&notAResource), nullptr);
  EXPECT_EQ(LockResource(nullptr), nullptr);
}

// A static library's resources land in the module that links it, the same
// module its code names with ModuleFromAddress.
TEST(PlatformResourceModules, StaticLibraryResourcesBelongToLinkingModule) {
  EXPECT_EQ(QorvTestStaticLibraryModule(), GetModuleHandleA(nullptr));
  EXPECT_EQ(ResourceText(QorvTestStaticLibraryModule(), "STATICRES", RT_RCDATA), "static library resource\n");
}

// A loaded library finds its own table, the program's is not searched, and
// after FreeLibrary its table is gone.
TEST(PlatformResourceModules, LoadedLibrarySearchesOnlyItsOwnTable) {
  HMODULE module = LoadLibraryA(QORV_TEST_MODULE);
  ASSERT_NE(module, nullptr) << GetLastError();
  auto ownHandle = reinterpret_cast<HMODULE (*)()>(GetProcAddress(module, "QorvTestModuleHandle"));
  ASSERT_NE(ownHandle, nullptr);
  EXPECT_EQ(ownHandle(), module);
  EXPECT_EQ(ResourceText(module, "HELLO", RT_RCDATA), "module resource\n");
  EXPECT_EQ(ResourceText(nullptr, "HELLO", RT_RCDATA), "first resource\n");
  EXPECT_EQ(FindResourceA(nullptr, "MODULEONLY", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(module, "STATICRES", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_EQ(FindResourceA(module, "HELLO", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
}

int RunRescomp(const std::filesystem::path& script, const std::filesystem::path& output) {
  std::string command =
      std::string(QORV_RESCOMP) + " '" + script.string() + "' '" + output.string() + "' resource.h 2>/dev/null";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every malformed script fails the build step and leaves no output behind;
// the well-formed one (comments, blank lines, quoted file, top ids) succeeds.
TEST(PlatformResourceCompiler, RefusesMalformedScriptsWithoutOutput) {
  qorv::test::TempDir out("rescomp");
  auto data = qorv::test::TestDataDir() / "platform/data/rescomp";
  for (const char* bad : {"missing-file.rc", "duplicate.rc", "zero-id.rc", "large-id.rc", "large-type.rc",
                          "missing-field.rc", "no-such-script.rc"}) {
    auto output = out.Path() / (std::string(bad) + ".cpp");
    EXPECT_EQ(RunRescomp(data / bad, output), 1) << bad;
    EXPECT_FALSE(std::filesystem::exists(output)) << bad;
  }
  auto output = out.Path() / "good.cpp";
  EXPECT_EQ(RunRescomp(data / "good.rc", output), 0);
  EXPECT_TRUE(std::filesystem::exists(output));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.Path()), {}), 1);
}

}  // namespace
