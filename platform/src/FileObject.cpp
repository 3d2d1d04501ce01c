#include "FileObject.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "fileapi.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

off_t OffsetOf(const OVERLAPPED& overlapped) {
  return static_cast<off_t>((static_cast<std::uint64_t>(overlapped.OffsetHigh) << 32) | overlapped.Offset);
}

}  // namespace

FileObject::FileObject(FileDescriptor fd, DWORD access, ShareReservation share)
    : fd_(std::move(fd)), access_(access), share_(std::move(share)) {}

bool FileObject::CanRead() const { return access_ & (GENERIC_READ | GENERIC_ALL); }
bool FileObject::CanWrite() const { return access_ & (GENERIC_WRITE | GENERIC_ALL); }

void FileObject::OnHandleClosed() {
  std::lock_guard guard(lock_);
  fd_.Reset();
  share_.Release();
}

BOOL FileObject::Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) {
  if (done) *done = 0;
  if (!done && !overlapped) return FailWith(ERROR_INVALID_PARAMETER);
  if (!buffer && count) return FailWith(ERROR_NOACCESS);
  std::lock_guard guard(lock_);
  if (!fd_.Valid()) return FailWith(ERROR_INVALID_HANDLE);
  if (!CanRead()) return FailWith(ERROR_ACCESS_DENIED);
  DWORD total = 0;
  // A regular file returns short counts only at its end (or on a signal), so
  // loop until the count or the end: ReadFile reports end of file as success
  // with fewer bytes.
  while (total < count) {
    char* at = static_cast<char*>(buffer) + total;
    ssize_t n = overlapped ? ::pread(fd_.Get(), at, count - total, OffsetOf(*overlapped) + total)
                           : ::read(fd_.Get(), at, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      DWORD error = ErrorFromErrno(errno);
      if (overlapped) CompleteOverlapped(overlapped, error, total);
      return FailWith(error);
    }
    if (n == 0) break;
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  if (overlapped) {
    // Windows reports a read starting at or past the end as ERROR_HANDLE_EOF
    // for overlapped handles.
    if (total == 0 && count > 0) {
      CompleteOverlapped(overlapped, ERROR_HANDLE_EOF, 0);
      return FailWith(ERROR_HANDLE_EOF);
    }
    CompleteOverlapped(overlapped, ERROR_SUCCESS, total);
  }
  return TRUE;
}

BOOL FileObject::Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* overlapped) {
  if (done) *done = 0;
  if (!done && !overlapped) return FailWith(ERROR_INVALID_PARAMETER);
  if (!buffer && count) return FailWith(ERROR_NOACCESS);
  std::lock_guard guard(lock_);
  if (!fd_.Valid()) return FailWith(ERROR_INVALID_HANDLE);
  if (!CanWrite()) return FailWith(ERROR_ACCESS_DENIED);
  DWORD total = 0;
  while (total < count) {
    const char* at = static_cast<const char*>(buffer) + total;
    ssize_t n = overlapped ? ::pwrite(fd_.Get(), at, count - total, OffsetOf(*overlapped) + total)
                           : ::write(fd_.Get(), at, count - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // What was written stays written and is reported, as on Windows when
      // the disk fills.
      DWORD error = n == 0 ? ERROR_DISK_FULL : ErrorFromErrno(errno);
      if (done) *done = total;
      if (overlapped) CompleteOverlapped(overlapped, error, total);
      return FailWith(error);
    }
    total += static_cast<DWORD>(n);
  }
  if (done) *done = total;
  if (overlapped) CompleteOverlapped(overlapped, ERROR_SUCCESS, total);
  return TRUE;
}

BOOL FileObject::Flush() {
  std::lock_guard guard(lock_);
  if (!fd_.Valid()) return FailWith(ERROR_INVALID_HANDLE);
  if (!CanWrite()) return FailWith(ERROR_ACCESS_DENIED);
  return ::fsync(fd_.Get()) == 0 ? TRUE : FailWithErrno();
}

DWORD FileObject::Size(LPDWORD high) {
  std::lock_guard guard(lock_);
  struct stat st {};
  if (!fd_.Valid() || ::fstat(fd_.Get(), &st) != 0) {
    SetLastError(fd_.Valid() ? ErrorFromErrno(errno) : ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  auto size = static_cast<std::uint64_t>(st.st_size);
  if (high) *high = static_cast<DWORD>(size >> 32);
  // A size whose low part looks like the failure value is told apart by the
  // last error, which callers then read.
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
  return static_cast<DWORD>(size);
}

DWORD FileObject::SetPointer(LONG distance, LONG* distanceHigh, DWORD method) {
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the distance is a signed 32-bit value; with one, the
  // two form a signed 64-bit distance.
  std::int64_t move =
      distanceHigh ? static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                               static_cast<DWORD>(distance))
                   : distance;
  std::lock_guard guard(lock_);
  if (!fd_.Valid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  // The base is read without moving, so a refused move leaves the position
  // where it was.
  off_t base = 0;
  struct stat st {};
  if (whence == SEEK_CUR) base = ::lseek(fd_.Get(), 0, SEEK_CUR);
  if (whence == SEEK_END) base = ::fstat(fd_.Get(), &st) == 0 ? st.st_size : -1;
  if (base < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  std::int64_t target = static_cast<std::int64_t>(base) + move;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (::lseek(fd_.Get(), static_cast<off_t>(target), SEEK_SET) < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
  if (static_cast<DWORD>(target) == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
  return static_cast<DWORD>(target);
}

BOOL FileObject::SetEnd() {
  std::lock_guard guard(lock_);
  if (!fd_.Valid()) return FailWith(ERROR_INVALID_HANDLE);
  if (!CanWrite()) return FailWith(ERROR_ACCESS_DENIED);
  off_t position = ::lseek(fd_.Get(), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(fd_.Get(), position) != 0) return FailWithErrno();
  return TRUE;
}

}  // namespace qorv::platform
