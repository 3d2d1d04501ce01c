// The registry's database: one per system root, shared by processes, safe
// against a writer killed in the middle, and refusing a file that is not one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "RegistryTestSupport.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "windows.h"

using qorv::platform::SystemRootPath;
using qorv::test::CreateKey;
using qorv::test::KeyExists;
using qorv::test::QueryBytes;
using qorv::test::QueryString;
using qorv::test::ScopedKey;
using qorv::test::SetDword;
using qorv::test::SetString;

namespace {

// Sets QORV_SYSTEM_ROOT for a scope and puts the previous one back.
class RootSwitch {
 public:
  explicit RootSwitch(const std::filesystem::path& root) : previous_(std::getenv("QORV_SYSTEM_ROOT")) {
    setenv("QORV_SYSTEM_ROOT", root.c_str(), 1);
  }
  ~RootSwitch() { setenv("QORV_SYSTEM_ROOT", previous_.c_str(), 1); }
  RootSwitch(const RootSwitch&) = delete;
  RootSwitch& operator=(const RootSwitch&) = delete;

 private:
  std::string previous_;
};

std::string ValueName(const char* prefix, int i) { return prefix + std::to_string(i); }

// The bytes the killed writer stores as value i: large enough to span pages,
// so a torn write would show as wrong data.
std::string Pattern(int i) {
  std::string data(6000, '\0');
  for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<char>((i * 31 + k) & 0xFF);
  return data;
}

// Writes `count` values name<i> = i into HKCU\Software\Race; true when all
// succeeded.
bool WriteValues(const char* prefix, int count) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) ok = SetDword(key, ValueName(prefix, i).c_str(), static_cast<DWORD>(i)) == 0;
  RegCloseKey(key);
  return ok;
}

}  // namespace

// Each root has its own registry: changing QORV_SYSTEM_ROOT between calls
// switches to the other root's keys, and back; a handle keeps the root it was
// opened in.
TEST(RegistryStore, FollowsTheSystemRoot) {
  ScopedKey first(CreateKey(HKEY_CURRENT_USER, "Software\\Where"));
  ASSERT_EQ(SetString(first.Get(), "Root", "first"), ERROR_SUCCESS);
  qorv::test::TempDir other("qorv-other-root");
  {
    RootSwitch toOther(other.Path());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Where"));
    ScopedKey second(CreateKey(HKEY_CURRENT_USER, "Software\\Where"));
    ASSERT_EQ(SetString(second.Get(), "Root", "second"), ERROR_SUCCESS);
    EXPECT_EQ(QueryString(first.Get(), "Root"), "first");
    EXPECT_TRUE(std::filesystem::exists(other.Path() / "registry.db"));
  }
  ScopedKey again;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Where", 0, KEY_READ, again.Out()), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(again.Get(), "Root"), "first");
}

// A registry file replaced under the same root path is opened afresh rather
// than read through the connection to the old file.
TEST(RegistryStore, ReplacedFileIsOpenedAgain) {
  { ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Software\\Old")); }
  auto root = SystemRootPath();
  for (const char* file : {"registry.db", "registry.db-wal", "registry.db-shm"}) std::filesystem::remove(root / file);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Old"));
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Software\\New"));
  EXPECT_TRUE(std::filesystem::exists(root / "registry.db"));
}

// A file that is not a registry database is refused with ERROR_BADDB and
// left as it was.
TEST(RegistryStore, ForeignFileIsRefusedAndKept) {
  qorv::test::TempDir root("qorv-foreign-root");
  auto file = root.Path() / "registry.db";
  std::string foreign = "These are someone's notes, not a database.\n" + std::string(4096, '#');
  qorv::test::WriteFileBytes(file, foreign);
  RootSwitch toForeign(root.Path());
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_BADDB);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_BADDB);
  auto bytes = qorv::test::ReadFileBytes(file);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), foreign);
}

// Two processes writing 10,000 values each into one key at the same time:
// every value of both is there afterwards.
TEST(RegistryStore, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kEach = 10000;
  ASSERT_TRUE(WriteValues("warmup", 1));  // the parent's connection exists before the fork
  ScopedKey parentHandle(CreateKey(HKEY_CURRENT_USER, "Software\\Race"));
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    char start = 0;
    close(go[1]);
    // The parent's handles and connection are not the child's to use.
    if (SetDword(parentHandle.Get(), "through the parent's handle", 1) != ERROR_INVALID_HANDLE) _exit(2);
    bool ok = read(go[0], &start, 1) == 1 && WriteValues("child", kEach);
    _exit(ok ? 0 : 1);
  }
  close(go[0]);
  ASSERT_EQ(write(go[1], "g", 1), 1);
  close(go[1]);
  bool parentOk = WriteValues("parent", kEach);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(parentOk);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, key.Out()), ERROR_SUCCESS);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u * kEach + 1);
  int missing = 0;
  for (const char* prefix : {"child", "parent"}) {
    for (int i = 0; i < kEach; ++i) {
      DWORD value = 0, size = sizeof value;
      LONG error = RegQueryValueExA(key.Get(), ValueName(prefix, i).c_str(), nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(&value), &size);
      if (error != ERROR_SUCCESS || value != static_cast<DWORD>(i)) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
}

// A writer killed with SIGKILL in the middle of its writes: the registry
// still opens, holds every write the writer reported complete with its exact
// bytes, and takes new writes.
TEST(RegistryStore, KilledWriterLeavesEveryCompletedWrite) {
  constexpr int kReportsBeforeKill = 1500;
  int reports[2];
  ASSERT_EQ(pipe(reports), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(reports[0]);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Killed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      _exit(1);
    }
    for (int i = 0;; ++i) {
      std::string data = Pattern(i);
      if (RegSetValueExA(key, ValueName("v", i).c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
        _exit(2);
      }
      if (write(reports[1], &i, sizeof i) != sizeof i) _exit(3);
    }
  }
  close(reports[1]);
  int last = -1, reported = 0;
  while (reported < kReportsBeforeKill && read(reports[0], &reported, sizeof reported) == sizeof reported) {
    last = reported++;
  }
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << WEXITSTATUS(status);
  // Reports already in the pipe are writes that completed before the kill.
  for (int next = 0; read(reports[0], &next, sizeof next) == sizeof next;) last = next;
  close(reports[0]);
  ASSERT_GE(last, kReportsBeforeKill - 1);

  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Killed", 0, KEY_ALL_ACCESS, key.Out()), ERROR_SUCCESS);
  int wrong = 0;
  for (int i = 0; i <= last; ++i) {
    if (QueryBytes(key.Get(), ValueName("v", i).c_str()) != Pattern(i)) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
  // A write the kill cut off is either whole or absent.
  LONG error = 0;
  std::string cut = QueryBytes(key.Get(), ValueName("v", last + 1).c_str(), &error);
  EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || cut == Pattern(last + 1));
  EXPECT_EQ(SetDword(key.Get(), "after", 1), ERROR_SUCCESS);
}

// Threads of one process share the registry: writers, readers and a thread
// deleting and making again a key the others hold open, all at once. Every
// value written is there; a call on a key deleted under it answers
// ERROR_KEY_DELETED and nothing else.
TEST(RegistryStore, ThreadsShareTheRegistry) {
  constexpr int kWriters = 4;
  constexpr int kEach = 300;
  ScopedKey shared(CreateKey(HKEY_CURRENT_USER, "Software\\Threads"));
  std::atomic<int> unexpected{0};
  std::atomic<bool> writing{true};
  std::thread churn([&] {
    while (writing) {
      ScopedKey made(CreateKey(HKEY_CURRENT_USER, "Software\\Threads\\Churn"));
      LONG error = RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Threads\\Churn");
      if (error != ERROR_SUCCESS) ++unexpected;
    }
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < kWriters; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        std::string name = "t" + std::to_string(t) + "-" + std::to_string(i);
        if (SetDword(shared.Get(), name.c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS) ++unexpected;
        HKEY churned = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Threads\\Churn", 0, KEY_ALL_ACCESS, &churned) == 0) {
          LONG error = SetDword(churned, "v", 1);
          if (error != ERROR_SUCCESS && error != ERROR_KEY_DELETED) ++unexpected;
          RegCloseKey(churned);
        }
        char first[32];
        DWORD size = sizeof first;
        if (RegEnumValueA(shared.Get(), 0, first, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
          ++unexpected;
        }
      }
    });
  }
  for (auto& writer : writers) writer.join();
  writing = false;
  churn.join();
  EXPECT_EQ(unexpected, 0);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(shared.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, static_cast<DWORD>(kWriters * kEach));
}
