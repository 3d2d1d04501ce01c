// Opening files by name and the handle-based file calls. Device names
// ("\\.\COM3") go to the serial layer; every other name is a file through the
// drive map.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "CommDevice.h"
#include "FileObject.h"
#include "FileShare.h"
#include "NoThrow.h"
#include "PathMap.h"
#include "fileapi.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

bool IsDeviceName(LPCSTR name) { return std::strncmp(name, "\\\\.\\", 4) == 0; }

int OpenFlagsFor(DWORD access) {
  bool reads = access & (GENERIC_READ | GENERIC_ALL);
  bool writes = access & (GENERIC_WRITE | GENERIC_ALL);
  if (reads && writes) return O_RDWR;
  if (writes) return O_WRONLY;
  return O_RDONLY;  // read, or no data access at all (attributes only)
}

// Opens, creating when the disposition allows, but never truncates: that waits
// until the share check has passed, so a refused open destroys nothing.
// `existed` tells whether the file was there before.
FileDescriptor OpenForDisposition(const std::filesystem::path& path, DWORD access, DWORD disposition, bool& existed) {
  int flags = OpenFlagsFor(access) | O_CLOEXEC;
  existed = true;
  if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
    return FileDescriptor(::open(path.c_str(), flags));
  }
  if (disposition == CREATE_NEW) {
    existed = false;
    return FileDescriptor(::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666));
  }
  // CREATE_ALWAYS and OPEN_ALWAYS: try the existing file first, then create;
  // retry when another process creates or removes it in between.
  for (int attempt = 0; attempt < 8; ++attempt) {
    int fd = ::open(path.c_str(), flags);
    if (fd >= 0 || errno != ENOENT) return FileDescriptor(fd);
    fd = ::open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) {
      existed = false;
      return FileDescriptor(fd);
    }
  }
  errno = EBUSY;
  return FileDescriptor();
}

DWORD OpenError(int err, const std::filesystem::path& path) {
  if (err == ENOENT) return MissingPathError(path);
  if (err == EEXIST) return ERROR_FILE_EXISTS;
  if (err == EISDIR) return ERROR_ACCESS_DENIED;
  return ErrorFromErrno(err);
}

bool IsValidDisposition(DWORD disposition) { return disposition >= CREATE_NEW && disposition <= TRUNCATE_EXISTING; }

std::shared_ptr<FileObject> FileOf(HANDLE handle) {
  auto file = LookupHandleAs<FileObject>(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                          DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
  return Guarded(HANDLE{INVALID_HANDLE_VALUE}, [&]() -> HANDLE {
    if (lpFileName && IsDeviceName(lpFileName)) {
      return OpenCommDevice(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes);
    }
    if (!IsValidDisposition(dwCreationDisposition) ||
        (dwCreationDisposition == TRUNCATE_EXISTING && !(dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
    }
    auto path = MapFileName(lpFileName);
    if (!path) return INVALID_HANDLE_VALUE;
    struct stat st {};
    if (::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      // Windows opens a folder only with backup semantics, which nothing here asks for.
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    bool existed = false;
    FileDescriptor fd = OpenForDisposition(*path, dwDesiredAccess, dwCreationDisposition, existed);
    if (!fd.Valid()) {
      SetLastError(OpenError(errno, *path));
      return INVALID_HANDLE_VALUE;
    }
    ShareReservation share;
    if (!ReserveShare(fd.Get(), dwDesiredAccess, dwShareMode, share)) {
      // A file made by this very call is removed again: a failed open leaves nothing.
      if (!existed) ::unlink(path->c_str());
      return INVALID_HANDLE_VALUE;
    }
    bool truncate = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
    if (truncate && ::ftruncate(fd.Get(), 0) != 0) {
      SetLastError(ErrorFromErrno(errno));
      return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = InsertHandle(std::make_shared<FileObject>(std::move(fd), dwDesiredAccess, std::move(share)));
    if (!handle) return INVALID_HANDLE_VALUE;
    // CREATE_ALWAYS and OPEN_ALWAYS tell the caller an existing file was found.
    bool reportsExisting = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
  });
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto io = LookupHandleAs<IoObject>(hFile);
    if (!io) return FailWith(ERROR_INVALID_HANDLE);
    return io->Read(lpBuffer, nNumberOfBytesToRead, lpNumberOfBytesRead, lpOverlapped);
  });
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto io = LookupHandleAs<IoObject>(hFile);
    if (!io) return FailWith(ERROR_INVALID_HANDLE);
    return io->Write(lpBuffer, nNumberOfBytesToWrite, lpNumberOfBytesWritten, lpOverlapped);
  });
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto io = LookupHandleAs<IoObject>(hFile);
    if (!io) return FailWith(ERROR_INVALID_HANDLE);
    return io->Flush();
  });
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  return Guarded(DWORD{INVALID_FILE_SIZE}, [&]() -> DWORD {
    auto file = FileOf(hFile);
    return file ? file->Size(lpFileSizeHigh) : INVALID_FILE_SIZE;
  });
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  return Guarded(DWORD{INVALID_SET_FILE_POINTER}, [&]() -> DWORD {
    auto file = FileOf(hFile);
    return file ? file->SetPointer(lDistanceToMove, lpDistanceToMoveHigh, dwMoveMethod) : INVALID_SET_FILE_POINTER;
  });
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto file = FileOf(hFile);
    return file ? file->SetEnd() : FALSE;
  });
}
