// Windows share modes over POSIX. Within this process every open file is
// listed with its access and share mode and a new open is checked against
// them exactly as Windows does. Between processes an flock stands in: share
// mode 0 takes it exclusively, any other mode shared, so a file held with
// share mode 0 can be opened by no one else in the system.
#pragma once

#include <sys/types.h>

#include <compare>

#include "wintypes.h"

namespace qorv::platform {

struct FileKey {
  dev_t Device = 0;
  ino_t Inode = 0;
  auto operator<=>(const FileKey&) const = default;
};

FileKey KeyOfDescriptor(int fd);

// One open's entry in the share list, removed when the reservation goes.
class ShareReservation {
 public:
  ShareReservation() = default;
  ShareReservation(FileKey key, unsigned long id);
  ~ShareReservation() { Release(); }
  ShareReservation(ShareReservation&& other) noexcept;
  ShareReservation& operator=(ShareReservation&& other) noexcept;
  ShareReservation(const ShareReservation&) = delete;
  ShareReservation& operator=(const ShareReservation&) = delete;
  void Release();

 private:
  FileKey key_;
  unsigned long id_ = 0;  // 0: holds nothing
};

// Checks the open against every other open of the file in this process and
// against other processes (flock on `fd`); on success lists it. False with
// ERROR_SHARING_VIOLATION when it conflicts.
bool ReserveShare(int fd, DWORD access, DWORD share, ShareReservation& reservation);

// Whether every open of the file in this process allows deletion (and so
// renaming), as Windows requires of DeleteFileA and MoveFileA.
bool OpensAllowDelete(FileKey key);
// Whether this process has the file open at all.
bool HasOpens(FileKey key);

}  // namespace qorv::platform
