// The lock files that keep a port off other serial programs: each test opens
// the slave side of a pty with a lock folder of its own, and plays the other
// program by writing lock files there itself.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CommTestSupport.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "windows.h"

using namespace qorv::platform;
using qorv::test::OpenComPort;
using qorv::test::OpenDescriptorCount;
using qorv::test::PtyPair;
namespace fs = std::filesystem;

namespace {

constexpr int kPort = 4;

// The lock file format: the pid as ten ASCII characters and a newline.
std::string LockText(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

std::string FileText(const fs::path& path) {
  auto bytes = qorv::test::ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

// A pid that no process has any more.
pid_t EndedProcessId() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return child;
}

// Root passes every permission check, so a folder's mode alone would not keep
// it out. Capabilities belong to each thread: this one gives up overriding
// file permissions while the guard lives (nothing changes for other users).
class FilePermissionsApply {
 public:
  FilePermissionsApply() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    saved_ok_ = syscall(SYS_capget, &header_, saved_) == 0;
    if (!saved_ok_) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
      reduced[cap / 32].effective &= ~(1u << (cap % 32));
    syscall(SYS_capset, &header_, reduced);
  }
  ~FilePermissionsApply() {
    if (saved_ok_) syscall(SYS_capset, &header_, saved_);
  }
  FilePermissionsApply(const FilePermissionsApply&) = delete;
  FilePermissionsApply& operator=(const FilePermissionsApply&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool saved_ok_ = false;
};

class TtyLockTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pty.SlavePath().rfind("/dev/pts/", 0), 0u) << pty.SlavePath();
    lockFile = folder.Path() / ("LCK..pts_" + pty.SlavePath().substr(9));
    ASSERT_TRUE(WriteIniValue("system.ini", "SerialLockFolder", folder.Path().string()));
    ASSERT_TRUE(WriteDeviceMapping(kPort, pty.SlavePath()));
  }
  void TearDown() override {
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    fs::permissions(folder.Path(), fs::perms::owner_all);
  }
  HANDLE Open() {
    port = OpenComPort(kPort);
    return port;
  }
  void Close() {
    ASSERT_TRUE(CloseHandle(port));
    port = INVALID_HANDLE_VALUE;
  }

  PtyPair pty;
  qorv::test::TempDir folder{"qorv-lock"};
  fs::path lockFile;
  HANDLE port = INVALID_HANDLE_VALUE;
};

}  // namespace

// The lock names this process, under the device's own name also when the port
// maps to a link to it, and goes with the handle.
TEST_F(TtyLockTest, OpenPortHoldsALockFileNamingThisProcessUntilClosed) {
  ASSERT_NE(Open(), INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(FileText(lockFile), LockText(getpid()));
  EXPECT_EQ(fs::status(lockFile).permissions() & fs::perms::others_read, fs::perms::others_read)
      << "other programs must be able to read the owner";
  EXPECT_EQ(FolderEntries(folder.Path()).size(), 1u) << "no temporary file is left";
  Close();
  EXPECT_FALSE(fs::exists(lockFile));

  qorv::test::TempDir links("qorv-links");
  fs::create_symlink(pty.SlavePath(), links.Path() / "ttyRecorder");
  ASSERT_TRUE(WriteDeviceMapping(kPort, (links.Path() / "ttyRecorder").string()));
  ASSERT_NE(Open(), INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(FileText(lockFile), LockText(getpid()));
  Close();
  EXPECT_TRUE(FolderEntries(folder.Path()).empty());
}

// Another program's live lock, or one that cannot be read (its owner may be
// writing it), keeps the port closed: nothing is opened and the lock stays.
TEST_F(TtyLockTest, ForeignLiveLockDeniesTheOpenAndTakesNothing) {
  for (const std::string& held : {LockText(getppid()), std::string(), std::string("modem\n")}) {
    SCOPED_TRACE(held);
    qorv::test::WriteFileBytes(lockFile, held);
    auto descriptors = OpenDescriptorCount();
    EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(FileText(lockFile), held);
    EXPECT_EQ(FolderEntries(folder.Path()).size(), 1u);
  }
  fs::remove(lockFile);
  EXPECT_NE(Open(), INVALID_HANDLE_VALUE) << GetLastError();
}

// A second open in this process is refused by our own lock, which stays.
TEST_F(TtyLockTest, SecondOpenInThisProcessLeavesTheFirstHandlesLock) {
  ASSERT_NE(Open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenComPort(kPort), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(FileText(lockFile), LockText(getpid()));
}

// The lock of a program that ended without removing it is taken over.
TEST_F(TtyLockTest, StaleLockOfAnEndedProcessIsReplaced) {
  qorv::test::WriteFileBytes(lockFile, LockText(EndedProcessId()));
  ASSERT_NE(Open(), INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(FileText(lockFile), LockText(getpid()));
  Close();
  EXPECT_FALSE(fs::exists(lockFile));
}

// A port that is refused after its lock was taken leaves no lock behind.
TEST_F(TtyLockTest, FailedOpenRemovesItsLock) {
  int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(fs::exists(lockFile));
  EXPECT_TRUE(FolderEntries(folder.Path()).empty());
  ::close(other);
}

// Without a usable lock folder the port still opens, with no lock; a live lock
// that can be read there is still honoured.
TEST_F(TtyLockTest, PortOpensWithoutALockWhereTheFolderIsMissingOrNotWritable) {
  ASSERT_TRUE(WriteIniValue("system.ini", "SerialLockFolder", (folder.Path() / "missing").string()));
  ASSERT_NE(Open(), INVALID_HANDLE_VALUE) << GetLastError();
  Close();
  EXPECT_FALSE(fs::exists(folder.Path() / "missing"));

  ASSERT_TRUE(WriteIniValue("system.ini", "SerialLockFolder", folder.Path().string()));
  fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  FilePermissionsApply applied;
  int probe = ::open((folder.Path() / "probe").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_LT(probe, 0) << "the folder must not be writable for this test";
  ASSERT_NE(Open(), INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_TRUE(FolderEntries(folder.Path()).empty());
  Close();

  fs::permissions(folder.Path(), fs::perms::owner_all);
  qorv::test::WriteFileBytes(lockFile, LockText(getppid()));
  fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(Open(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}
