// Drive types from the system root's drive map.
#include "NoThrow.h"
#include "fileapi.h"
#include "systemroot.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "X:\" or "X:" name a drive's root; anything longer is not a root, which
// Windows answers with DRIVE_NO_ROOT_DIR.
bool NamesDriveRoot(const std::string& name) {
  if (name.size() < 2 || name.size() > 3 || !IsLetter(name[0]) || name[1] != ':') return false;
  return name.size() == 2 || name[2] == '\\' || name[2] == '/';
}

}  // namespace

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  return Guarded(UINT{0}, [&]() -> UINT {
    std::string name = lpRootPathName ? lpRootPathName : CurrentWindowsDirectory().substr(0, 3);
    if (!NamesDriveRoot(name)) return DRIVE_NO_ROOT_DIR;
    DriveMapping drive = ReadDriveMapping(name[0]);
    switch (drive.Kind) {
      case DriveKind::Fixed: return DRIVE_FIXED;
      case DriveKind::Cdrom: return DRIVE_CDROM;
      case DriveKind::Removable: return DRIVE_REMOVABLE;
      case DriveKind::Absent: return DRIVE_NO_ROOT_DIR;
    }
    return DRIVE_UNKNOWN;
  });
}
