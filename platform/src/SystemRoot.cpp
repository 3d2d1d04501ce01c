// The root folder, its first-use set-up, and the ini entries other services use.
#include "systemroot.h"

#include <fcntl.h>

#include <cstdlib>
#include <mutex>
#include <set>

#include "FileDescriptor.h"
#include "IniFile.h"
#include "NoThrow.h"
#include "StandardTypeLibrary.h"
#include "SystemTools.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr const char* kDrivesFile = "drives.ini";
constexpr const char* kDevicesFile = "devices.ini";
constexpr const char* kSystemFile = "system.ini";
constexpr UINT kDefaultAnsiCodePage = 1256;
constexpr const char* kDefaultLockFolder = "/var/lock";

std::filesystem::path RootFromEnvironment() {
  if (const char* root = std::getenv("QORV_SYSTEM_ROOT"); root && *root) return root;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::filesystem::path(data) / "qorv/root";
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".local/share/qorv/root";
}

void CreateEmptyFileIfMissing(const std::filesystem::path& file) {
  FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
}

void AddDriveIfMissing(const std::filesystem::path& drives, const char* letter, const char* value) {
  for (const auto& [key, _] : ReadIniFileAt(drives)) {
    if (SameIniKey(key, letter)) return;
  }
  (void)UpdateIniFileAt(drives, letter, value);
}

std::optional<DriveKind> ParseDriveKind(const std::string& text) {
  if (SameIniKey(text, "fixed")) return DriveKind::Fixed;
  if (SameIniKey(text, "cdrom")) return DriveKind::Cdrom;
  if (SameIniKey(text, "removable")) return DriveKind::Removable;
  if (SameIniKey(text, "absent")) return DriveKind::Absent;
  return std::nullopt;
}

// A drives.ini value ("fixed,drive_c") as a mapping; a relative folder lies
// in the root.
DriveMapping ParseDriveValue(const std::filesystem::path& root, const std::string& value) {
  DriveMapping mapping;
  auto comma = value.find(',');
  auto kind = ParseDriveKind(value.substr(0, comma));
  if (!kind || *kind == DriveKind::Absent) return mapping;
  mapping.Kind = *kind;
  if (comma == std::string::npos || comma + 1 == value.size()) return mapping;
  std::filesystem::path folder = value.substr(comma + 1);
  mapping.Folder = folder.is_absolute() ? folder : root / folder;
  return mapping;
}

// Idempotent, so two processes filling in one new root at once both succeed.
// Reads the files directly: SystemRootPath is not usable until this is done.
void FillInRoot(const std::filesystem::path& root) {
  std::error_code ignored;
  std::filesystem::create_directories(root / "registry", ignored);
  auto drives = root / kDrivesFile;
  AddDriveIfMissing(drives, "C", "fixed,drive_c");
  AddDriveIfMissing(drives, "D", "absent");
  AddDriveIfMissing(drives, "E", "absent");
  CreateEmptyFileIfMissing(root / kDevicesFile);
  for (const auto& [key, value] : ReadIniFileAt(drives)) {
    if (!SameIniKey(key, "C")) continue;
    DriveMapping c = ParseDriveValue(root, value);
    if (c.Kind != DriveKind::Fixed || c.Folder.empty()) return;
    for (const char* folder : {"Windows/System32", "Windows/Temp", "Windows/Fonts", "Users/Public/Desktop"}) {
      std::filesystem::create_directories(c.Folder / folder, ignored);
    }
    ProvideSystemTools(c.Folder / "Windows/System32");
    return;
  }
}

struct RootState {
  // Held while a root is filled in, so no caller uses a root before its
  // drive map exists.
  std::mutex FillLock;
  std::set<std::filesystem::path> FilledIn;  // roots set up by this process; under FillLock
  std::mutex Lock;                           // guards the code page cache
  std::filesystem::path CodePageRoot;        // root whose code page is cached
  UINT CodePage = 0;
};

RootState& State() {
  static RootState* state = new RootState;  // never destroyed: used from static destructors
  return *state;
}

const char* DriveKindName(DriveKind kind) {
  switch (kind) {
    case DriveKind::Fixed: return "fixed";
    case DriveKind::Cdrom: return "cdrom";
    case DriveKind::Removable: return "removable";
    case DriveKind::Absent: return "absent";
  }
  return "absent";
}

std::string PortKey(int portNumber) { return "COM" + std::to_string(portNumber); }

bool IsDriveLetter(char letter) { return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'); }

}  // namespace

std::filesystem::path SystemRootPath() {
  auto root = RootFromEnvironment();
  auto& state = State();
  {
    std::lock_guard guard(state.FillLock);
    if (state.FilledIn.count(root)) return root;
    FillInRoot(root);
    state.FilledIn.insert(root);
  }
  // Outside the lock: registering uses the registry, which asks for the root.
  ProvideStandardTypeLibrary();
  return root;
}

std::vector<std::pair<std::string, std::string>> ReadIniEntries(const std::string& fileName) {
  return Guarded(
      std::vector<std::pair<std::string, std::string>>{},
      [&]() -> std::vector<std::pair<std::string, std::string>> { return ReadIniFileAt(SystemRootPath() / fileName); });
}

std::optional<std::string> ReadIniValue(const std::string& fileName, const std::string& key) {
  return Guarded(std::optional<std::string>{}, [&]() -> std::optional<std::string> {
    for (const auto& [name, value] : ReadIniEntries(fileName)) {
      if (SameIniKey(name, key)) return value;
    }
    return std::nullopt;
  });
}

bool WriteIniValue(const std::string& fileName, const std::string& key, const std::string& value) {
  return Guarded(false, [&]() -> bool { return UpdateIniFileAt(SystemRootPath() / fileName, key, value); });
}

bool RemoveIniValue(const std::string& fileName, const std::string& key) {
  return Guarded(false, [&]() -> bool { return UpdateIniFileAt(SystemRootPath() / fileName, key, std::nullopt); });
}

std::optional<std::string> ReadDeviceMapping(int portNumber) {
  return Guarded(std::optional<std::string>{}, [&]() -> std::optional<std::string> {
    if (portNumber <= 0) return std::nullopt;
    auto value = ReadIniValue(kDevicesFile, PortKey(portNumber));
    if (value && value->empty()) return std::nullopt;
    return value;
  });
}

bool WriteDeviceMapping(int portNumber, const std::string& target) {
  return Guarded(false, [&]() -> bool {
    if (portNumber <= 0 || target.empty()) return FailWith(ERROR_INVALID_PARAMETER);
    return WriteIniValue(kDevicesFile, PortKey(portNumber), target);
  });
}

bool RemoveDeviceMapping(int portNumber) {
  return Guarded(false, [&]() -> bool {
    if (portNumber <= 0) return FailWith(ERROR_INVALID_PARAMETER);
    return RemoveIniValue(kDevicesFile, PortKey(portNumber));
  });
}

DriveMapping ReadDriveMapping(char letter) {
  return Guarded(DriveMapping{}, [&]() -> DriveMapping {
    if (!IsDriveLetter(letter)) return DriveMapping{};
    auto value = ReadIniValue(kDrivesFile, std::string(1, letter));
    return value ? ParseDriveValue(SystemRootPath(), *value) : DriveMapping{};
  });
}

bool ConfigureDrive(char letter, const std::filesystem::path& folder, DriveKind kind) {
  return Guarded(false, [&]() -> bool {
    if (!IsDriveLetter(letter)) return FailWith(ERROR_INVALID_DRIVE);
    std::string value = DriveKindName(kind);
    if (kind != DriveKind::Absent && !folder.empty()) value += "," + folder.string();
    if (kind == DriveKind::Fixed && !folder.empty()) {
      std::error_code ignored;
      std::filesystem::create_directories(folder.is_absolute() ? folder : SystemRootPath() / folder, ignored);
    }
    char upper = static_cast<char>(letter >= 'a' ? letter - 32 : letter);
    return WriteIniValue(kDrivesFile, std::string(1, upper), value);
  });
}

std::string WindowsFolder() { return "C:\\Windows"; }
std::string SystemFolder() { return "C:\\Windows\\System32"; }
std::string TempFolder() { return "C:\\Windows\\Temp"; }
std::string FontFolder() { return "C:\\Windows\\Fonts"; }
std::string DesktopFolder() { return "C:\\Users\\Public\\Desktop"; }
std::filesystem::path RegistryFolder() { return SystemRootPath() / "registry"; }

UINT ConfiguredAnsiCodePage() {
  auto root = SystemRootPath();
  auto& state = State();
  {
    std::lock_guard guard(state.Lock);
    if (state.CodePageRoot == root && state.CodePage != 0) return state.CodePage;
  }
  UINT codePage = kDefaultAnsiCodePage;
  if (auto value = ReadIniValue(kSystemFile, "AnsiCodePage")) {
    char* end = nullptr;
    unsigned long parsed = std::strtoul(value->c_str(), &end, 10);
    if (end && *end == '\0' && parsed > 0 && parsed < 65536) codePage = static_cast<UINT>(parsed);
  }
  std::lock_guard guard(state.Lock);
  state.CodePageRoot = root;
  state.CodePage = codePage;
  return codePage;
}

bool SetConfiguredAnsiCodePage(UINT codePage) {
  return Guarded(false, [&]() -> bool {
    if (codePage == 0 || codePage >= 65536) return FailWith(ERROR_INVALID_PARAMETER);
    if (!WriteIniValue(kSystemFile, "AnsiCodePage", std::to_string(codePage))) return false;
    auto root = SystemRootPath();
    auto& state = State();
    std::lock_guard guard(state.Lock);
    state.CodePageRoot = root;
    state.CodePage = codePage;
    return true;
  });
}

std::filesystem::path SerialLockFolder() {
  return Guarded(std::filesystem::path{}, [&]() -> std::filesystem::path {
    auto value = ReadIniValue(kSystemFile, "SerialLockFolder");
    if (!value) return kDefaultLockFolder;
    std::filesystem::path folder = *value;
    return folder.empty() || folder.is_absolute() ? folder : SystemRootPath() / folder;
  });
}

}  // namespace qorv::platform
