// The lock file Linux serial programs agree on (minicom, picocom, cu and the
// lockdev library among them): "LCK..<name>" in a shared lock folder, holding
// the owner's pid as ten ASCII digits and a newline. Two programs that both
// take it keep off each other's port whichever of them opened it first; a
// program that takes no lock file is not seen here.
//
// The folder is system.ini's SerialLockFolder (default /var/lock). Where it is
// missing or not writable no lock is taken, but a live lock found there is
// still honoured. A lock whose owner has ended is removed; one that cannot be
// read counts as held, since its owner may be writing it at this moment.
#pragma once

#include <filesystem>
#include <string>

#include "wintypes.h"

namespace qorv::platform {

class TtyLockFile {
 public:
  TtyLockFile() = default;
  ~TtyLockFile() { Release(); }
  TtyLockFile(TtyLockFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TtyLockFile& operator=(TtyLockFile&& other) noexcept;
  TtyLockFile(const TtyLockFile&) = delete;
  TtyLockFile& operator=(const TtyLockFile&) = delete;

  // Takes the lock of the device at `devicePath` (a resolved path) into
  // *lock. 0, also when no lock could be written; ERROR_ACCESS_DENIED while
  // another process, or another handle of this one, holds it.
  static DWORD Take(const std::string& devicePath, TtyLockFile* lock);
  // Removes the lock file if it is still this process's.
  void Release();

 private:
  std::filesystem::path path_;
};

// The lock file name of a device: the path below /dev with every '/' made
// '_' ("/dev/ttyUSB0" gives "LCK..ttyUSB0", "/dev/pts/3" "LCK..pts_3").
std::string LockFileNameFor(const std::string& devicePath);

}  // namespace qorv::platform
