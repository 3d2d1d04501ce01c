// A program's first current directory: the Windows path of the Linux folder it
// was started in when that folder lies on a drive, else C:\. Each case starts
// a small program that answers the directory it began in.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ChildProgram.h"
#include "TestSupport.h"
#include "shellapi.h"
#include "systemroot.h"
#include "windows.h"

namespace fs = std::filesystem;
using qorv::platform::ConfigureDrive;
using qorv::platform::DriveKind;

namespace {

constexpr DWORD kBound = 30000;

fs::path Linux(const std::string& windows) {
  auto path = qorv::platform::WindowsToLinuxPath(windows);
  EXPECT_TRUE(path) << windows;
  return path ? *path : fs::path();
}

fs::path Folder(const fs::path& path) {
  fs::create_directories(path);
  return path;
}

// The current directory the program answers when started in `folder`.
std::string StartedIn(const fs::path& folder) {
  auto result = qorv::test::RunProgramIn(folder, QORV_TEST_STARTUP_DIRECTORY, {});
  EXPECT_EQ(result.ExitStatus, 0) << folder << ": " << result.Err;
  return result.Out;
}

// Starts the program (copied under C:) through the shell with `directory`
// and answers what it wrote.
std::string ShellStarted(const char* directory) {
  fs::path program = Linux("C:\\Tools\\startdir.exe");
  if (!fs::exists(program)) {
    fs::create_directories(program.parent_path());
    fs::copy_file(QORV_TEST_STARTUP_DIRECTORY, program);
    fs::permissions(program, fs::perms(0755));
  }
  fs::path out = Linux("C:\\answer.txt");
  fs::remove(out);
  std::string parameters = out.string();
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = "C:\\Tools\\startdir.exe";
  info.lpParameters = parameters.c_str();
  info.lpDirectory = directory;
  info.nShow = SW_HIDE;
  EXPECT_TRUE(ShellExecuteExA(&info)) << "error " << GetLastError();
  if (!info.hProcess) return {};
  EXPECT_EQ(WaitForSingleObject(info.hProcess, kBound), WAIT_OBJECT_0);
  DWORD code = 0xDEAD;
  EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 0u);
  CloseHandle(info.hProcess);
  auto bytes = qorv::test::ReadFileBytes(out);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(StartupDirectory, FolderOnADriveBecomesTheCurrentDirectory) {
  EXPECT_EQ(StartedIn(Folder(Linux("C:\\Work\\Sub"))), "C:\\Work\\Sub");
  EXPECT_EQ(StartedIn(Linux("C:\\")), "C:\\");

  qorv::test::TempDir medium("qorv-medium");
  ASSERT_TRUE(ConfigureDrive('M', medium.Path(), DriveKind::Cdrom));
  EXPECT_EQ(StartedIn(medium.Path()), "M:\\") << "a drive's root keeps its separator";
  EXPECT_EQ(StartedIn(Folder(medium.Path() / "Component Package")), "M:\\Component Package");
  EXPECT_EQ(StartedIn(Folder(medium.Path() / "نصب")), "M:\\\xE4\xD5\xC8") << "in the ANSI code page";

  ASSERT_TRUE(ConfigureDrive('N', medium.Path() / "Inner", DriveKind::Fixed));
  EXPECT_EQ(StartedIn(Folder(medium.Path() / "Inner" / "x")), "N:\\x") << "the drive nearest the folder";
}

TEST(StartupDirectory, FolderOnNoDriveLeavesC) {
  qorv::test::TempDir outside("qorv-outside");
  EXPECT_EQ(StartedIn(outside.Path()), "C:\\");
  EXPECT_EQ(StartedIn("/"), "C:\\");

  ASSERT_TRUE(ConfigureDrive('M', outside.Path(), DriveKind::Cdrom));
  ASSERT_EQ(StartedIn(outside.Path()), "M:\\");
  ASSERT_TRUE(ConfigureDrive('M', "", DriveKind::Absent));
  EXPECT_EQ(StartedIn(outside.Path()), "C:\\") << "a drive taken away maps nothing";
}

// A current directory every relative name would fail on, or one naming
// another folder, is worse than C:\.
TEST(StartupDirectory, FolderWithoutAWindowsNameLeavesC) {
  fs::path driveC = Linux("C:\\");
  for (const char* name : {"a*b", "x:y", "what?", "dots.", "中文"}) {
    EXPECT_EQ(StartedIn(Folder(driveC / name)), "C:\\") << name;
  }
  fs::path deep = driveC;
  for (int i = 0; i < 5; ++i) deep /= std::string(60, static_cast<char>('a' + i));
  EXPECT_EQ(StartedIn(Folder(deep)), "C:\\") << "longer than a Windows path may be";
}

// A child started without a folder begins in its parent's current
// directory, as on Windows; with one, in that folder.
TEST(StartupDirectory, ChildBeginsWhereItsParentSaid) {
  Folder(Linux("C:\\Work"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work"));
  EXPECT_EQ(ShellStarted(nullptr), "C:\\Work");
  EXPECT_EQ(ShellStarted("C:\\Tools"), "C:\\Tools");
}
