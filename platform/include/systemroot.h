// The system root: the one folder that holds the platform's world (drive map,
// serial device map, registry hives, desktop and font folders). Other platform
// services and the tools read and change it through these functions.
//
// The root is named by QORV_SYSTEM_ROOT, else $XDG_DATA_HOME/qorv/root, else
// ~/.local/share/qorv/root, and is filled in on first use: drives.ini maps C:
// to drive_c/ (fixed) with C:\Windows, C:\Windows\System32, C:\Windows\Temp,
// C:\Windows\Fonts and C:\Users\Public\Desktop; D: and E: are absent;
// devices.ini is empty; registry/ exists. C:\Windows\System32\regsvr32.exe
// is a link to the regsvr32 tool built beside the platform library. The
// registry lives in registry.db (see winreg.h), made on first use.
//
// The ini files hold one `key=value` per line; keys match case-insensitively,
// lines starting with ';' or '#' are comments and are kept. Writers take an
// flock on "<file>.lock" and replace the file by rename, so readers never see
// a half-written file and two processes writing at once lose no entry.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wintypes.h"

namespace qorv::platform {

// The root folder, created and filled in when missing. Follows changes of
// QORV_SYSTEM_ROOT made before the next call.
std::filesystem::path SystemRootPath();

// ---- ini files of the root ("drives.ini", "devices.ini", "system.ini") ----

// All entries of the file in file order (keys as written); empty when the file
// is missing.
std::vector<std::pair<std::string, std::string>> ReadIniEntries(const std::string& fileName);
// The value of one key, or nothing when the key or the file is missing.
std::optional<std::string> ReadIniValue(const std::string& fileName, const std::string& key);
// Sets (adds or replaces) one key. False with the last error set when the
// file cannot be written; the old file is then unchanged.
bool WriteIniValue(const std::string& fileName, const std::string& key, const std::string& value);
// Removes one key; true also when it was not there.
bool RemoveIniValue(const std::string& fileName, const std::string& key);

// ---- serial devices (devices.ini: COM3=/dev/pts/5, COM9=substitute:name) ----

// The device that port n maps to, or nothing when the port is not listed.
std::optional<std::string> ReadDeviceMapping(int portNumber);
bool WriteDeviceMapping(int portNumber, const std::string& target);
bool RemoveDeviceMapping(int portNumber);

// ---- drives (drives.ini: C=fixed,drive_c ; D=absent) ----

enum class DriveKind { Fixed, Cdrom, Removable, Absent };

struct DriveMapping {
  DriveKind Kind = DriveKind::Absent;
  // The Linux folder of the drive's root; empty for an absent drive or a
  // removable or CD drive with no medium.
  std::filesystem::path Folder;
};

// The drive's mapping; letters not listed are absent. Case-insensitive letter.
DriveMapping ReadDriveMapping(char letter);
// Configures a drive. A relative folder is taken relative to the root. The
// folder is created for a fixed drive. False for a letter outside A-Z.
bool ConfigureDrive(char letter, const std::filesystem::path& folder, DriveKind kind);

// ---- Windows paths ----

// The absolute, normalised Windows form of a path ("x\..\y" resolved, '/' as
// '\', relative names taken from the process's current directory). Nothing
// with ERROR_INVALID_NAME for names Windows refuses (wildcards, '<', '>',
// '|', '"', control characters, a ':' after the drive).
std::optional<std::string> FullWindowsPath(const std::string& path);

// The Linux path of a Windows path. Each existing component is matched
// exactly, else case-insensitively; components that do not exist are kept as
// written (so the result can name a file to create). 8-bit names are taken in
// the ANSI code page and become UTF-8. Nothing, with the last error set, when
// the name is invalid (123), its drive is absent (3) or has no medium (21).
std::optional<std::filesystem::path> WindowsToLinuxPath(const std::string& windowsPath);

// The Windows path of a Linux path that lies under a mapped drive (longest
// drive folder wins), in the ANSI code page; nothing otherwise.
std::optional<std::string> LinuxToWindowsPath(const std::filesystem::path& linuxPath);

// The process's current directory, full Windows form. It starts as the
// Windows path of the Linux folder the process was started in when that
// folder lies on a drive and its name leads back to it, else as "C:\".
std::string CurrentWindowsDirectory();

// ---- well-known folders (Windows paths) ----
std::string WindowsFolder();             // C:\Windows
std::string SystemFolder();              // C:\Windows\System32
std::string TempFolder();                // C:\Windows\Temp
std::string FontFolder();                // C:\Windows\Fonts
std::string DesktopFolder();             // C:\Users\Public\Desktop
std::filesystem::path RegistryFolder();  // <root>/registry (Linux path)

// ---- ANSI code page (system.ini: AnsiCodePage=1256) ----
UINT ConfiguredAnsiCodePage();
bool SetConfiguredAnsiCodePage(UINT codePage);

// ---- serial lock files (system.ini: SerialLockFolder=/var/lock) ----

// The folder where serial ports are locked against other programs: the
// configured one (a relative folder lies in the root), /var/lock when none is
// configured, empty (no lock files) when configured empty.
std::filesystem::path SerialLockFolder();

}  // namespace qorv::platform
