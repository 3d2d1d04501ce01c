#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "systemroot.h"
#include "winerror.h"

namespace {

namespace fs = std::filesystem;
using namespace qorv::platform;

std::string FileText(const fs::path& path) {
  auto bytes = qorv::test::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

// A new root gets its drive map, empty device map, registry folder and the
// Windows folders on C:.
TEST(PlatformSystemRoot, FreshRootIsFilledIn) {
  fs::path root = SystemRootPath();
  EXPECT_EQ(root, fs::path(std::getenv("QORV_SYSTEM_ROOT")));
  EXPECT_EQ(ReadIniValue("drives.ini", "C"), "fixed,drive_c");
  EXPECT_EQ(ReadIniValue("drives.ini", "d"), "absent");
  EXPECT_EQ(ReadIniValue("drives.ini", "E"), "absent");
  EXPECT_TRUE(fs::exists(root / "devices.ini"));
  EXPECT_TRUE(ReadIniEntries("devices.ini").empty());
  EXPECT_EQ(RegistryFolder(), root / "registry");
  for (const char* folder : {"registry", "drive_c/Windows/System32", "drive_c/Windows/Fonts", "drive_c/Windows/Temp",
                             "drive_c/Users/Public/Desktop"}) {
    EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
  }
}

// A changed QORV_SYSTEM_ROOT is followed; without it the XDG data folder is used.
TEST(PlatformSystemRoot, FollowsEnvironment) {
  qorv::test::TempDir other("qorv-other-root");
  const char* data = std::getenv("XDG_DATA_HOME");
  std::optional<std::string> savedData = data ? std::optional<std::string>(data) : std::nullopt;
  setenv("QORV_SYSTEM_ROOT", (other.Path() / "r").c_str(), 1);
  EXPECT_EQ(SystemRootPath(), other.Path() / "r");
  EXPECT_TRUE(fs::exists(other.Path() / "r/drives.ini"));
  unsetenv("QORV_SYSTEM_ROOT");
  setenv("XDG_DATA_HOME", other.Path().c_str(), 1);
  EXPECT_EQ(SystemRootPath(), other.Path() / "qorv/root");
  EXPECT_TRUE(fs::exists(other.Path() / "qorv/root/drive_c/Windows"));
  if (savedData)
    setenv("XDG_DATA_HOME", savedData->c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

// Threads making first use of a new root at once all see its drive map: none
// gets ahead of the one filling it in.
TEST(PlatformSystemRoot, FirstUseFromManyThreadsSeesFilledInRoot) {
  qorv::test::TempDir fresh("qorv-fresh-root");
  setenv("QORV_SYSTEM_ROOT", fresh.Path().c_str(), 1);
  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::atomic<int> fixed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      start.arrive_and_wait();
      if (ReadDriveMapping('C').Kind == DriveKind::Fixed) ++fixed;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(fixed.load(), kThreads);
}

// Writing keeps comments and other entries, replaces in place, matches keys
// in any case and collapses duplicates a hand edit may have left.
TEST(PlatformIniFiles, UpdateKeepsOtherLines) {
  fs::path file = SystemRootPath() / "devices.ini";
  qorv::test::WriteFileBytes(file, "; ports\r\nCOM1=/dev/ttyS0\r\nCOM2=/dev/a\ncom2=/dev/b\n");
  EXPECT_EQ(ReadDeviceMapping(2), "/dev/a");
  ASSERT_TRUE(WriteDeviceMapping(2, "/dev/pts/5"));
  ASSERT_TRUE(WriteDeviceMapping(9, "substitute:rec"));
  EXPECT_EQ(FileText(file), "; ports\nCOM1=/dev/ttyS0\nCOM2=/dev/pts/5\nCOM9=substitute:rec\n");
  ASSERT_TRUE(RemoveDeviceMapping(1));
  ASSERT_TRUE(RemoveDeviceMapping(1));
  EXPECT_FALSE(ReadDeviceMapping(1));
  EXPECT_EQ(ReadDeviceMapping(9), "substitute:rec");
  EXPECT_FALSE(ReadDeviceMapping(0));
}

// Input that would corrupt the file is refused and the file stays as it was.
TEST(PlatformIniFiles, BadEntriesAreRefusedWithoutChange) {
  ASSERT_TRUE(WriteDeviceMapping(3, "/dev/pts/1"));
  fs::path file = SystemRootPath() / "devices.ini";
  std::string before = FileText(file);
  EXPECT_FALSE(WriteDeviceMapping(3, "/dev/x\nCOM4=/dev/evil"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WriteDeviceMapping(0, "/dev/x"));
  EXPECT_FALSE(WriteDeviceMapping(3, ""));
  EXPECT_FALSE(WriteIniValue("devices.ini", "A=B", "x"));
  EXPECT_FALSE(WriteIniValue("devices.ini", "", "x"));
  EXPECT_EQ(FileText(file), before);
  for (const auto& entry : fs::directory_iterator(SystemRootPath())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos) << entry.path();
  }
}

// Two processes, each with two threads, writing their own entries at once:
// the lock and the rename lose none of them.
TEST(PlatformIniFiles, ConcurrentWritersLoseNothing) {
  constexpr int kPerWriter = 25;
  auto writeRange = [](int first) {
    bool ok = true;
    for (int port = first; port < first + kPerWriter; ++port)
      ok = WriteDeviceMapping(port, "/dev/p" + std::to_string(port)) && ok;
    return ok;
  };
  (void)SystemRootPath();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool theirs = false;
    std::thread second([&] { theirs = writeRange(1 + kPerWriter); });
    bool mine = writeRange(1);
    second.join();
    _exit(mine && theirs ? 0 : 1);
  }
  bool theirs = false;
  std::thread second([&] { theirs = writeRange(1 + 3 * kPerWriter); });
  bool mine = writeRange(1 + 2 * kPerWriter);
  second.join();
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(mine && theirs);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadIniEntries("devices.ini").size(), 4u * kPerWriter);
  for (int port = 1; port <= 4 * kPerWriter; ++port) {
    EXPECT_EQ(ReadDeviceMapping(port), "/dev/p" + std::to_string(port));
  }
}

// Drive letters outside A-Z and unknown kinds are refused or read as absent.
TEST(PlatformDriveMap, BadLettersAndKinds) {
  EXPECT_FALSE(ConfigureDrive('1', "x", DriveKind::Fixed));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DRIVE);
  ASSERT_TRUE(WriteIniValue("drives.ini", "G", "floppy,somewhere"));
  EXPECT_EQ(ReadDriveMapping('G').Kind, DriveKind::Absent);
  ASSERT_TRUE(ConfigureDrive('H', SystemRootPath() / "abs", DriveKind::Fixed));
  EXPECT_EQ(ReadDriveMapping('h').Folder, SystemRootPath() / "abs");
  EXPECT_TRUE(fs::is_directory(SystemRootPath() / "abs"));
}

}  // namespace
