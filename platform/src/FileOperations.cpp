// File and folder operations by name: copy, delete, move, folders, attributes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "FileDescriptor.h"
#include "FileShare.h"
#include "NoThrow.h"
#include "PathMap.h"
#include "fileapi.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

bool StatPath(const std::filesystem::path& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool CopyContents(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!WriteAll(to, buffer, static_cast<size_t>(n))) return false;
  }
}

std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  return target.parent_path() /
         ("." + target.filename().string() + ".copy." + std::to_string(::getpid()) + "." + std::to_string(counter++));
}

// Whether a file that exists may be replaced or removed now: it must not be
// read-only, and no open of it in this process or (through the flock) in
// another may forbid it. When this process holds it, allowing deletion, its
// own lock would answer the probe, so the probe is skipped.
DWORD ReplaceBlocker(const std::filesystem::path& path, const struct stat& st) {
  if (!(st.st_mode & S_IWUSR)) return ERROR_ACCESS_DENIED;
  FileKey key{st.st_dev, st.st_ino};
  if (!OpensAllowDelete(key)) return ERROR_SHARING_VIOLATION;
  if (HasOpens(key)) return ERROR_SUCCESS;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Valid() && ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    return ERROR_SHARING_VIOLATION;
  }
  return ERROR_SUCCESS;
}

// The copy is written beside the target under a temporary name and renamed
// over it, so the target is never seen half-written and a failed copy leaves
// the old target as it was.
BOOL CopyFileTo(const std::filesystem::path& source, const std::filesystem::path& target, bool failIfExists) {
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) return FailWith(errno == ENOENT ? MissingPathError(source) : ErrorFromErrno(errno));
  struct stat sourceStat {};
  if (::fstat(in.Get(), &sourceStat) != 0) return FailWithErrno();
  if (S_ISDIR(sourceStat.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
  ShareReservation reading;
  if (!ReserveShare(in.Get(), GENERIC_READ, FILE_SHARE_READ, reading)) return FALSE;
  struct stat targetStat {};
  if (StatPath(target, targetStat)) {
    if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
    if (S_ISDIR(targetStat.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino) {
      return FailWith(ERROR_SHARING_VIOLATION);
    }
    if (DWORD blocker = ReplaceBlocker(target, targetStat)) return FailWith(blocker);
  } else if (!StatPath(target.parent_path(), targetStat)) {
    return FailWith(ERROR_PATH_NOT_FOUND);
  }
  auto temporary = TemporaryBeside(target);
  FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, sourceStat.st_mode & 0777));
  if (!out.Valid()) return FailWithErrno();
  // Windows keeps the source's last-write time on the copy.
  struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
  bool ok = CopyContents(in.Get(), out.Get()) && ::futimens(out.Get(), times) == 0;
  int savedErrno = errno;
  out.Reset();
  if (ok && failIfExists) {
    // link() refuses an existing name, so a target created meanwhile by
    // someone else is not replaced.
    ok = ::link(temporary.c_str(), target.c_str()) == 0;
    savedErrno = errno;
    ::unlink(temporary.c_str());
    if (!ok && savedErrno == EEXIST) return FailWith(ERROR_FILE_EXISTS);
  } else if (ok) {
    ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    savedErrno = errno;
  }
  if (ok) return TRUE;
  ::unlink(temporary.c_str());
  return FailWith(savedErrno == ENOSPC ? ERROR_DISK_FULL : ErrorFromErrno(savedErrno));
}

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto source = MapFileName(lpExistingFileName);
    if (!source) return FALSE;
    auto target = MapFileName(lpNewFileName);
    if (!target) return FALSE;
    return CopyFileTo(*source, *target, bFailIfExists != FALSE);
  });
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto path = MapFileName(lpFileName);
    if (!path) return FALSE;
    struct stat st {};
    if (::lstat(path->c_str(), &st) != 0) return FailWith(MissingPathError(*path));
    if (S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (DWORD blocker = ReplaceBlocker(*path, st)) return FailWith(blocker);
    return ::unlink(path->c_str()) == 0 ? TRUE : FailWithErrno();
  });
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto source = MapFileName(lpExistingFileName);
    if (!source) return FALSE;
    auto target = MapFileName(lpNewFileName);
    if (!target) return FALSE;
    struct stat st {};
    if (::lstat(source->c_str(), &st) != 0) return FailWith(MissingPathError(*source));
    if (!S_ISDIR(st.st_mode) && !OpensAllowDelete({st.st_dev, st.st_ino})) return FailWith(ERROR_SHARING_VIOLATION);
    // RENAME_NOREPLACE: MoveFileA never replaces an existing name.
    if (::renameat2(AT_FDCWD, source->c_str(), AT_FDCWD, target->c_str(), RENAME_NOREPLACE) == 0) return TRUE;
    int err = errno;
    if (err == EEXIST) return FailWith(ERROR_ALREADY_EXISTS);
    if (err == ENOENT) return FailWith(ERROR_PATH_NOT_FOUND);
    if (err == EINVAL && S_ISDIR(st.st_mode)) return FailWith(ERROR_ACCESS_DENIED);  // into itself
    if (err != EXDEV) return FailWith(ErrorFromErrno(err));
    // Another file system: files are copied and the original removed; folders
    // cannot move across drives, as on Windows.
    if (S_ISDIR(st.st_mode)) return FailWith(ERROR_NOT_SAME_DEVICE);
    if (!CopyFileTo(*source, *target, true)) return FALSE;
    if (::unlink(source->c_str()) == 0) return TRUE;
    err = errno;
    ::unlink(target->c_str());
    return FailWith(ErrorFromErrno(err));
  });
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto path = MapFileName(lpPathName);
    if (!path) return FALSE;
    if (::mkdir(path->c_str(), 0777) == 0) return TRUE;
    if (errno == EEXIST) return FailWith(ERROR_ALREADY_EXISTS);
    if (errno == ENOENT || errno == ENOTDIR) return FailWith(ERROR_PATH_NOT_FOUND);
    return FailWithErrno();
  });
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto path = MapFileName(lpPathName);
    if (!path) return FALSE;
    struct stat st {};
    if (::lstat(path->c_str(), &st) != 0) return FailWith(MissingPathError(*path));
    if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
    if (::rmdir(path->c_str()) == 0) return TRUE;
    return FailWith(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno));
  });
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  return Guarded(DWORD{INVALID_FILE_ATTRIBUTES}, [&]() -> DWORD {
    auto path = MapFileName(lpFileName);
    if (!path) return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    if (::stat(path->c_str(), &st) != 0) {
      SetLastError(errno == ENOENT ? MissingPathError(*path) : ErrorFromErrno(errno));
      return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
  });
}
