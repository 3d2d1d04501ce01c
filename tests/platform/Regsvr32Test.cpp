// The registration tool run as a program, as the installer runs it: each
// outcome with its exit status and its message (printed, as tests have no
// display), and the registry entries a server writes through it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "RegistryTestSupport.h"
#include "TestSupport.h"
#include "fileapi.h"
#include "systemroot.h"
#include "windows.h"

using qorv::test::KeyExists;
using qorv::test::ProgramResult;
using qorv::test::QueryString;
using qorv::test::RunProgram;
using qorv::test::ScopedKey;

namespace {

ProgramResult Regsvr32(const std::vector<std::string>& args) { return RunProgram(QORV_REGSVR32, args); }

std::filesystem::path SystemFolderOnLinux() {
  return *qorv::platform::WindowsToLinuxPath(qorv::platform::SystemFolder());
}

// A Windows program's file: an MZ header whose PE header follows at 0x80.
void WriteWindowsLibrary(const std::filesystem::path& path) {
  std::string image(512, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = static_cast<char>(0x80);
  image.replace(0x80, 4, std::string("PE\0\0", 4));
  qorv::test::WriteFileBytes(path, image);
}

}  // namespace

// Failures: the exit status Windows's regsvr32 gives each, and a message
// saying what went wrong, on standard error only.
TEST(Regsvr32, FailuresHaveTheirStatusAndMessage) {
  WriteWindowsLibrary(SystemFolderOnLinux() / "Foreign.ocx");
  struct Case {
    std::vector<std::string> Args;
    int Status;
    std::string Says;
  };
  const Case cases[] = {
      {{(SystemFolderOnLinux() / "Missing.ocx").string()}, 3, "could not be loaded: no such file was found"},
      {{"C:\\Windows\\System32\\Missing.ocx"}, 3, "could not be loaded: no such file was found"},
      {{"C:\\Windows\\System32\\Foreign.ocx"}, 3, "is not a library this system can load"},
      {{QORV_TEST_MODULE}, 4, "has no entry point DllRegisterServer"},
      {{"/u", QORV_TEST_MODULE}, 4, "has no entry point DllUnregisterServer"},
      {{QORV_TEST_REGSERVER_FAILING},
       5,
       "DllRegisterServer of the library \"" QORV_TEST_REGSERVER_FAILING "\" failed with error 0x8002801C."},
      {{"-U", QORV_TEST_REGSERVER_FAILING}, 5, "DllUnregisterServer of the library"},
      {{}, 1, "No library was given.\nUsage: regsvr32 [/u] [/s] PATH"},
      {{"/x", QORV_TEST_REGSERVER}, 1, "Unknown option /x."},
      {{QORV_TEST_REGSERVER, QORV_TEST_REGSERVER}, 1, "Only one library can be given."},
  };
  for (const Case& c : cases) {
    std::string args = c.Args.empty() ? "(none)" : c.Args.back();
    ProgramResult result = Regsvr32(c.Args);
    EXPECT_EQ(result.ExitStatus, c.Status) << args;
    EXPECT_NE(result.Err.find(c.Says), std::string::npos) << args << ": " << result.Err;
    EXPECT_EQ(result.Out, "") << args;
  }
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "QorvTest.Server"));
}

// Registering through the tool as the system folder holds it, with a Windows
// path that has a blank: the server's entries reach this process's registry;
// unregistering removes them.
TEST(Regsvr32, RegistersAndUnregistersThroughTheSystemFolder) {
  auto tool = SystemFolderOnLinux() / "regsvr32.exe";
  ASSERT_TRUE(std::filesystem::exists(tool)) << "a new root links the tool into its system folder";
  std::filesystem::copy_file(QORV_TEST_REGSERVER, SystemFolderOnLinux() / "Qorv Test.ocx");
  const std::string library = "C:\\Windows\\System32\\Qorv Test.ocx";

  ProgramResult registered = RunProgram(tool.string(), {library});
  EXPECT_EQ(registered.ExitStatus, 0) << registered.Err;
  EXPECT_EQ(registered.Out, "DllRegisterServer of the library \"" + library + "\" succeeded: it is now registered.\n");
  EXPECT_EQ(registered.Err, "");
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "QorvTest.Server", 0, KEY_READ, key.Out()), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(key.Get(), nullptr), "registered");

  ProgramResult unregistered = RunProgram(tool.string(), {"/u", library});
  EXPECT_EQ(unregistered.ExitStatus, 0) << unregistered.Err;
  EXPECT_EQ(unregistered.Out,
            "DllUnregisterServer of the library \"" + library + "\" succeeded: it is now unregistered.\n");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "QorvTest.Server"));
}

// /s shows nothing whatever the outcome; the exit status still tells it.
TEST(Regsvr32, SilentShowsNothing) {
  ProgramResult registered = Regsvr32({"/s", QORV_TEST_REGSERVER});
  EXPECT_EQ(registered.ExitStatus, 0);
  EXPECT_EQ(registered.Out + registered.Err, "");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "QorvTest.Server"));
  ProgramResult failed = Regsvr32({QORV_TEST_REGSERVER_FAILING, "-S"});
  EXPECT_EQ(failed.ExitStatus, 5);
  EXPECT_EQ(failed.Out + failed.Err, "");
  ProgramResult missing = Regsvr32({"/S", "C:\\Missing.ocx"});
  EXPECT_EQ(missing.ExitStatus, 3);
  EXPECT_EQ(missing.Out + missing.Err, "");
}
