#include "TtyLockFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "FileDescriptor.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr int kAttempts = 3;
// What ReadOwner answers besides a pid.
constexpr pid_t kNoLockFile = 0;
constexpr pid_t kUnknownOwner = -1;

enum class Creation { Created, Exists, Impossible };

std::string PidText(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes the whole lock aside and links it into place, so no other program
// ever reads a lock file without its pid.
Creation Create(const std::filesystem::path& path) {
  std::string temp = (path.parent_path() / "LTMP.XXXXXX").string();
  FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.Valid()) return Creation::Impossible;
  bool written = ::fchmod(fd.Get(), 0644) == 0 && WriteAll(fd.Get(), PidText(::getpid()));
  fd.Reset();
  int linked = written ? ::link(temp.c_str(), path.c_str()) : -1;
  int error = errno;
  ::unlink(temp.c_str());
  if (linked == 0) return Creation::Created;
  return written && error == EEXIST ? Creation::Exists : Creation::Impossible;
}

// The pid a lock file names, kNoLockFile when none is seen (also in a
// folder that is missing or cannot be searched), kUnknownOwner when it cannot
// be read or holds no pid.
pid_t ReadOwner(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return kNoLockFile;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.Valid()) return errno == ENOENT ? kNoLockFile : kUnknownOwner;
  char text[32];
  ssize_t n = ::read(fd.Get(), text, sizeof text - 1);
  if (n <= 0) return kUnknownOwner;
  text[n] = '\0';
  const char* p = text;
  while (*p == ' ') ++p;
  long long pid = 0;
  const char* digits = p;
  while (*p >= '0' && *p <= '9' && pid <= INT_MAX) pid = pid * 10 + (*p++ - '0');
  while (*p == ' ' || *p == '\n' || *p == '\r') ++p;
  if (p == digits || *p != '\0' || pid <= 0 || pid > INT_MAX) return kUnknownOwner;
  return static_cast<pid_t>(pid);
}

bool IsAlive(pid_t pid) {
  if (pid == ::getpid()) return true;
  // EPERM: the process exists but belongs to someone else.
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

std::string LockFileNameFor(const std::string& devicePath) {
  std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
  if (!name.empty() && name.front() == '/') name.erase(0, 1);
  for (char& c : name)
    if (c == '/') c = '_';
  return "LCK.." + name;
}

TtyLockFile& TtyLockFile::operator=(TtyLockFile&& other) noexcept {
  if (this != &other) {
    Release();
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

DWORD TtyLockFile::Take(const std::string& devicePath, TtyLockFile* lock) {
  auto folder = SerialLockFolder();
  if (folder.empty()) return ERROR_SUCCESS;
  auto path = folder / LockFileNameFor(devicePath);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Creation creation = Create(path);
    if (creation == Creation::Created) {
      lock->Release();
      lock->path_ = path;
      return ERROR_SUCCESS;
    }
    pid_t owner = ReadOwner(path);
    if (owner == kNoLockFile) {
      if (creation == Creation::Impossible) return ERROR_SUCCESS;
      continue;  // removed since the link failed
    }
    if (owner == kUnknownOwner || IsAlive(owner)) return ERROR_ACCESS_DENIED;
    // Left behind by a program that ended without removing it.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return ERROR_SUCCESS;
  }
  // Other programs keep taking the lock between our attempts.
  return ERROR_ACCESS_DENIED;
}

void TtyLockFile::Release() {
  if (path_.empty()) return;
  if (ReadOwner(path_) == ::getpid()) ::unlink(path_.c_str());
  path_.clear();
}

}  // namespace qorv::platform
