#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "fileapi.h"
#include "synch.h"
#include "systemroot.h"
#include "winerror.h"

namespace {

namespace fs = std::filesystem;

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

std::string Contents(const char* windowsName) {
  auto path = qorv::platform::WindowsToLinuxPath(windowsName);
  auto bytes = qorv::test::ReadFileBytes(*path);
  return {bytes.begin(), bytes.end()};
}

void Put(const char* windowsName, const std::string& text) {
  qorv::test::WriteFileBytes(*qorv::platform::WindowsToLinuxPath(windowsName), text);
}

HANDLE Open(const char* name, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Every disposition against a missing and an existing file: what it opens,
// what it reports and what it leaves of the old contents.
TEST(PlatformFileCreate, DispositionsOnMissingAndExistingFiles) {
  struct Case {
    DWORD Disposition;
    bool Exists;
    bool Opens;
    DWORD Error;
    const char* ContentsAfter;  // nullptr: no file
  } cases[] = {
      {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.Disposition << (c.Exists ? " existing" : " missing"));
    DeleteFileA("C:\\d.txt");
    if (c.Exists) Put("C:\\d.txt", "old");
    SetLastError(12345);
    HANDLE h = Open("C:\\d.txt", GENERIC_READ | GENERIC_WRITE, 0, c.Disposition);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.Opens);
    EXPECT_EQ(GetLastError(), c.Error);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (c.ContentsAfter) {
      EXPECT_EQ(Contents("C:\\d.txt"), c.ContentsAfter);
    } else {
      EXPECT_EQ(GetFileAttributesA("C:\\d.txt"), INVALID_FILE_ATTRIBUTES);
    }
  }
}

TEST(PlatformFileCreate, RefusesBadArgumentsAndFolders) {
  EXPECT_EQ(Open("C:\\x", GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open("C:\\x", GENERIC_READ, 0, 6), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open("C:\\x", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open("C:\\Windows", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open("C:\\no\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open("Q:\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(nullptr, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  // Device names go to the serial layer, which knows no unmapped port.
  EXPECT_EQ(Open("\\\\.\\COM77", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// Share mode 0 holds a file exclusively; a refused CREATE_ALWAYS must not
// truncate the held file on its way to failing.
TEST(PlatformFileSharing, ExclusiveHolderRefusesEveryOtherOpen) {
  HANDLE held = Open("C:\\held.txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(held, "keep", 4, &written, nullptr));
  for (DWORD disposition : {OPEN_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
    EXPECT_EQ(Open("C:\\HELD.TXT", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, disposition),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  }
  EXPECT_EQ(Contents("C:\\held.txt"), "keep");
  EXPECT_FALSE(DeleteFileA("C:\\held.txt"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(CopyFileA("C:\\held.txt", "C:\\copy.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(held);
  HANDLE again = Open("C:\\held.txt", GENERIC_READ, 0, OPEN_EXISTING);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

// A file held with FILE_SHARE_DELETE may be deleted; without it, not.
TEST(PlatformFileSharing, DeleteNeedsShareDeleteOfEveryHolder) {
  Put("C:\\del.txt", "x");
  HANDLE held = Open("C:\\del.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  HANDLE other = Open("C:\\del.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileA("C:\\del.txt"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(other);
  EXPECT_TRUE(DeleteFileA("C:\\del.txt"));
  EXPECT_EQ(GetFileAttributesA("C:\\del.txt"), INVALID_FILE_ATTRIBUTES);
  CloseHandle(held);
}

// Threads racing to open one file exclusively: exactly one wins, whatever
// the interleaving of the share check and the system-wide lock.
TEST(PlatformFileSharing, RacingExclusiveOpensHaveOneWinner) {
  Put("C:\\race.txt", "x");
  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::latch attempted(kThreads);
  std::atomic<int> winners{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      start.arrive_and_wait();
      HANDLE h = Open("C:\\race.txt", GENERIC_READ, 0, OPEN_EXISTING);
      bool won = h != INVALID_HANDLE_VALUE;
      DWORD error = GetLastError();
      if (won) ++winners;
      EXPECT_TRUE(won || error == ERROR_SHARING_VIOLATION) << error;
      attempted.arrive_and_wait();  // hold the handle until every thread has tried
      if (won) CloseHandle(h);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(winners.load(), 1);
}

// Windows's rule both ways: readers sharing reads coexist; a writer needs the
// holder to share writes and must itself share the holder's reads.
TEST(PlatformFileSharing, AccessAndShareMustAgreeBothWays) {
  Put("C:\\s.txt", "x");
  struct {
    DWORD HeldAccess, HeldShare, Access, Share;
    bool Opens;
  } cases[] = {
      {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
      {GENERIC_READ, FILE_SHARE_READ, GENERIC_WRITE, FILE_SHARE_READ, false},
      {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_READ, true},
      {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, false},
      {GENERIC_WRITE, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, 0, false},
  };
  for (const auto& c : cases) {
    HANDLE held = Open("C:\\s.txt", c.HeldAccess, c.HeldShare, OPEN_EXISTING);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE second = Open("C:\\s.txt", c.Access, c.Share, OPEN_EXISTING);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.Opens)
        << c.HeldAccess << "/" << c.HeldShare << " then " << c.Access << "/" << c.Share;
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    CloseHandle(held);
  }
}

// Another process cannot open a file this one holds with share mode 0. The
// child is forked before the open, so its copy of this process's open list is
// empty and only the system-wide lock can refuse it.
TEST(PlatformFileSharing, ExclusiveAcrossProcesses) {
  Put("C:\\cross.txt", "x");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char go;
    if (read(ready[0], &go, 1) != 1) _exit(2);
    HANDLE h = Open("C:\\cross.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    _exit(h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION ? 0 : 1);
  }
  HANDLE held = Open("C:\\cross.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_EQ(write(ready[1], "g", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  CloseHandle(held);
  close(ready[0]);
  close(ready[1]);
}

// Reads stop at the end with success; writes need write access; positions
// move as SetFilePointer says and never before the start.
TEST(PlatformFileIo, ReadWriteSeekAndSize) {
  HANDLE h = Open("C:\\io.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 10u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_END), 6u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(std::string(buffer, n), "6789");
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);  // unchanged by the refused move
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  LONG highMove = 1;
  EXPECT_EQ(SetFilePointer(h, 5, &highMove, FILE_BEGIN), 5u);  // 4 GiB + 5: a sparse position
  EXPECT_EQ(highMove, 1);
  highMove = 0;
  EXPECT_EQ(SetFilePointer(h, 4, &highMove, FILE_BEGIN), 4u);
  EXPECT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, nullptr), 4u);
  EXPECT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);

  HANDLE reader = Open("C:\\io.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(WriteFile(reader, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(SetEndOfFile(reader));
  EXPECT_FALSE(ReadFile(reader, buffer, 1, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(reader);
  EXPECT_FALSE(ReadFile(reader, buffer, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetFileSize(reader, nullptr), INVALID_FILE_SIZE);
}

// With an OVERLAPPED the offset is the record's, the call completes at once,
// and the record and its event say so.
TEST(PlatformFileIo, OverlappedRecordCompletesAtOnce) {
  HANDLE h = Open("C:\\ov.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED ov{};
  ov.Offset = 3;
  ov.hEvent = event;
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "abc", 3, &n, &ov));
  EXPECT_EQ(ov.Internal, 0u);
  EXPECT_EQ(ov.InternalHigh, 3u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  char buffer[8] = {};
  ov.Offset = 2;
  ResetEvent(event);
  ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &n, &ov));
  EXPECT_EQ(std::string(buffer, n), std::string("\0abc", 4));
  ov.Offset = 6;
  EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &n, &ov));
  EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
  CloseHandle(event);
  CloseHandle(h);
}

TEST(PlatformFileOperations, CopyHonoursFailIfExistsAndKeepsTimes) {
  Put("C:\\src.txt", "new");
  Put("C:\\dst.txt", "old");
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\dst.txt", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(Contents("C:\\dst.txt"), "old");
  EXPECT_TRUE(CopyFileA("C:\\src.txt", "C:\\DST.TXT", FALSE));
  EXPECT_EQ(Contents("C:\\dst.txt"), "new");
  EXPECT_TRUE(CopyFileA("c:\\SRC.txt", "C:\\fresh.txt", TRUE));
  EXPECT_EQ(fs::last_write_time(DriveC() / "fresh.txt"), fs::last_write_time(DriveC() / "src.txt"));
  EXPECT_FALSE(CopyFileA("C:\\none.txt", "C:\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\no\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\Windows", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // Nothing half-made is left beside the targets.
  for (const auto& entry : fs::directory_iterator(DriveC())) {
    EXPECT_EQ(entry.path().filename().string().find(".copy."), std::string::npos) << entry.path();
  }
}

// A read-only target is not replaced; its attributes say why.
TEST(PlatformFileOperations, ReadOnlyTargetIsKept) {
  Put("C:\\src.txt", "new");
  Put("C:\\ro.txt", "old");
  fs::permissions(DriveC() / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_EQ(GetFileAttributesA("C:\\ro.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\ro.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileA("C:\\ro.txt"));
  EXPECT_EQ(Contents("C:\\ro.txt"), "old");
}

TEST(PlatformFileOperations, DeleteAndMoveReportWindowsErrors) {
  Put("C:\\a.txt", "a");
  Put("C:\\b.txt", "b");
  EXPECT_FALSE(MoveFileA("C:\\a.txt", "C:\\b.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(Contents("C:\\b.txt"), "b");
  EXPECT_TRUE(MoveFileA("C:\\A.TXT", "C:\\c.txt"));
  EXPECT_EQ(Contents("C:\\c.txt"), "a");
  EXPECT_FALSE(MoveFileA("C:\\a.txt", "C:\\d.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(DeleteFileA("C:\\c.txt"));
  EXPECT_FALSE(DeleteFileA("C:\\c.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA("C:\\gone\\c.txt"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA("C:\\Windows"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(PlatformFileOperations, FoldersCreateAndRemoveWithWindowsErrors) {
  EXPECT_TRUE(CreateDirectoryA("C:\\Ostrivel", nullptr));
  EXPECT_FALSE(CreateDirectoryA("c:\\OSTRIVEL", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryA("C:\\a\\b", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(CreateDirectoryA("C:\\Ostrivel\\Data", nullptr));
  EXPECT_EQ(GetFileAttributesA("C:\\Ostrivel\\Data"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(RemoveDirectoryA("C:\\Ostrivel"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  Put("C:\\f.txt", "f");
  EXPECT_FALSE(RemoveDirectoryA("C:\\f.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_TRUE(RemoveDirectoryA("C:\\Ostrivel\\Data"));
  EXPECT_TRUE(RemoveDirectoryA("C:\\Ostrivel"));
  EXPECT_FALSE(RemoveDirectoryA("C:\\Ostrivel"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("C:\\Ostrivel"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
