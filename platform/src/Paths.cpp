// Windows paths over the drive map: normalising, the per-process current
// directory, and the path queries of the file API.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "NoThrow.h"
#include "PathMap.h"
#include "ShortNames.h"
#include "fileapi.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr const char* kFallbackDirectory = "C:\\";

struct CurrentDirectory {
  std::mutex Lock;
  std::optional<std::string> Path;  // nothing until first asked for or set
};

CurrentDirectory& Current() {
  static CurrentDirectory* current = new CurrentDirectory;  // outlives static destructors
  return *current;
}

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool HasDrivePrefix(const std::string& path) { return path.size() >= 2 && IsLetter(path[0]) && path[1] == ':'; }

// Characters Windows refuses in file names; ':' is checked apart since it is
// allowed after a drive letter.
bool HasInvalidCharacter(const std::string& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || std::strchr("<>|\"*?", c)) return true;
    if (c == ':' && !(i == 1 && IsLetter(path[0]))) return true;
  }
  return false;
}

std::vector<std::string> SplitComponents(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// Resolves "." and ".." (never above the drive root) and drops the trailing
// dots and blanks Windows ignores at the end of a name.
std::vector<std::string> Normalise(const std::vector<std::string>& parts) {
  std::vector<std::string> out;
  for (const auto& part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  if (!out.empty()) {
    auto& last = out.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) out.pop_back();
  }
  return out;
}

// Splits a full path "X:\a\b" into its upper-case drive letter and components.
char DriveOf(const std::string& fullPath) { return UpperAscii(fullPath[0]); }

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

// The entry of `folder` whose name equals `name` ignoring case; the smallest
// such name when several do, so the answer does not depend on readdir order.
std::optional<std::string> FindIgnoringCase(const std::filesystem::path& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (dirent* entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (!EqualIgnoringAsciiCase(candidate, name)) continue;
    if (!best || candidate < *best) best = candidate;
  }
  ::closedir(dir);
  return best;
}

bool Exists(const std::filesystem::path& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string JoinFull(char drive, const std::vector<std::string>& parts, bool trailingSeparator) {
  std::string full{drive, ':', '\\'};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) full += '\\';
    full += parts[i];
  }
  if (trailingSeparator && !parts.empty()) full += '\\';
  return full;
}

}  // namespace

namespace {

// The path with each component that is not a short name replaced by the
// short name of the entry it names; separators, the drive and components
// that are short names already stay as the caller wrote them.
std::optional<std::string> ShortForm(const std::string& path) {
  std::string result;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    bool isDrive = start == 0 && HasDrivePrefix(part) && part.size() == 2;
    if (!part.empty() && !isDrive && part != "." && part != ".." && !IsShortName(part)) {
      auto entry = WindowsToLinuxPath(result + part);
      if (!entry) return std::nullopt;
      auto shortName = ShortNameOf(entry->parent_path(), entry->filename().string());
      if (!shortName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
      }
      part = Utf8ToAnsi(*shortName);
    }
    result += part;
    if (end < path.size()) result += path[end];
    start = end + 1;
  }
  return result;
}

// The Windows name of the Linux folder the process was started in, so that a
// program run from a folder of a drive (an installer from its medium) finds
// what lies beside it. "C:\" when that folder is on no drive, or when its
// Windows name would not lead back to it (a character Windows refuses, an
// unconvertible name, too long): a current directory that every relative
// name fails on would be worse. Asks only about full paths, which never
// consult the current directory, so it cannot come back here.
std::string StartupDirectory() {
  DWORD lastError = GetLastError();  // a successful query leaves it alone
  std::error_code error;
  auto folder = std::filesystem::current_path(error);
  std::optional<std::string> windows;
  if (!error) windows = LinuxToWindowsPath(folder);
  auto back = windows ? WindowsToLinuxPath(*windows) : std::nullopt;
  bool same = back && std::filesystem::equivalent(*back, folder, error);
  SetLastError(lastError);
  return same ? *windows : kFallbackDirectory;
}

}  // namespace

std::string CurrentWindowsDirectory() {
  auto& current = Current();
  {
    std::lock_guard guard(current.Lock);
    if (current.Path) return *current.Path;
  }
  // Worked out outside the lock: it reads the drive map, which may fill in
  // the system root. A directory set meanwhile wins.
  std::string startup = StartupDirectory();
  std::lock_guard guard(current.Lock);
  if (!current.Path) current.Path = startup;
  return *current.Path;
}

std::optional<std::string> FullWindowsPath(const std::string& input) {
  return Guarded(std::optional<std::string>{}, [&]() -> std::optional<std::string> {
    std::string path = input;
    std::replace(path.begin(), path.end(), '/', '\\');
    // "\\?\C:\x" is the long-path spelling of "C:\x".
    if (path.rfind("\\\\?\\", 0) == 0) path.erase(0, 4);
    if (path.empty() || HasInvalidCharacter(path) || path.rfind("\\\\", 0) == 0) {
      SetLastError(ERROR_INVALID_NAME);
      return std::nullopt;
    }
    // Only names that are not full ask for the current directory, so working
    // out the start-up directory from full names cannot recurse.
    std::string base;
    std::string rest;
    if (HasDrivePrefix(path)) {
      char drive = UpperAscii(path[0]);
      rest = path.substr(2);
      bool driveRelative = rest.empty() || rest[0] != '\\';
      // "D:name" continues from the current directory only on the current drive;
      // other drives start at their root (no per-drive directories are kept).
      std::string current = driveRelative ? CurrentWindowsDirectory() : std::string();
      bool fromCurrent = driveRelative && DriveOf(current) == drive;
      base = fromCurrent ? current : std::string{drive, ':', '\\'};
    } else if (path[0] == '\\') {
      base = std::string{DriveOf(CurrentWindowsDirectory()), ':', '\\'};
      rest = path;
    } else {
      base = CurrentWindowsDirectory();
      rest = path;
    }
    auto parts = SplitComponents(base.substr(3));
    auto more = SplitComponents(rest);
    parts.insert(parts.end(), more.begin(), more.end());
    bool trailing = path.back() == '\\';
    return JoinFull(DriveOf(base), Normalise(parts), trailing);
  });
}

std::optional<std::filesystem::path> WindowsToLinuxPath(const std::string& windowsPath) {
  return Guarded(std::optional<std::filesystem::path>{}, [&]() -> std::optional<std::filesystem::path> {
    auto full = FullWindowsPath(windowsPath);
    if (!full) return std::nullopt;
    if (full->size() >= MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return std::nullopt;
    }
    DriveMapping drive = ReadDriveMapping(DriveOf(*full));
    if (drive.Kind == DriveKind::Absent) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return std::nullopt;
    }
    if (drive.Folder.empty()) {
      SetLastError(ERROR_NOT_READY);
      return std::nullopt;
    }
    std::filesystem::path result = drive.Folder;
    bool parentExists = IsDirectory(result);
    for (const auto& part : SplitComponents(full->substr(3))) {
      std::string name = AnsiToUtf8(part);
      if (parentExists && !Exists(result / name)) {
        if (auto match = FindIgnoringCase(result, name)) {
          name = *match;
        } else if (auto expanded = LongNameOf(result, name)) {
          name = *expanded;  // an 8.3 name stands for the long name it was made from
        }
      }
      result /= name;
      parentExists = parentExists && IsDirectory(result);
    }
    return result;
  });
}

std::optional<std::string> LinuxToWindowsPath(const std::filesystem::path& linuxPath) {
  return Guarded(std::optional<std::string>{}, [&]() -> std::optional<std::string> {
    std::error_code error;
    auto target = std::filesystem::weakly_canonical(std::filesystem::absolute(linuxPath, error), error);
    if (error) return std::nullopt;
    std::optional<std::string> best;
    size_t bestLength = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      DriveMapping drive = ReadDriveMapping(letter);
      if (drive.Folder.empty()) continue;
      auto folder = std::filesystem::weakly_canonical(drive.Folder, error);
      if (error) continue;
      auto relative = target.lexically_relative(folder);
      if (relative.empty() || *relative.begin() == "..") continue;
      size_t length = folder.native().size();
      if (best && length <= bestLength) continue;
      std::vector<std::string> parts;
      for (const auto& part : relative) {
        if (part != ".") parts.push_back(Utf8ToAnsi(part.string()));
      }
      best = JoinFull(letter, parts, false);
      bestLength = length;
    }
    return best;
  });
}

DWORD MissingPathError(const std::filesystem::path& linuxPath) {
  return IsDirectory(linuxPath.parent_path()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

std::optional<std::filesystem::path> MapFileName(LPCSTR windowsName) {
  if (!windowsName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  if (!*windowsName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  return WindowsToLinuxPath(windowsName);
}

DWORD CopyOutPath(const std::string& text, LPSTR buffer, DWORD bufferSize) {
  if (!buffer || bufferSize <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

}  // namespace qorv::platform

using namespace qorv::platform;

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return Guarded(DWORD{0}, [&]() -> DWORD { return CopyOutPath(CurrentWindowsDirectory(), lpBuffer, nBufferLength); });
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    auto linux = MapFileName(lpPathName);
    if (!linux) return FALSE;
    struct stat st;
    if (::stat(linux->c_str(), &st) != 0) return FailWith(MissingPathError(*linux));
    if (!S_ISDIR(st.st_mode)) return FailWith(ERROR_DIRECTORY);
    auto full = FullWindowsPath(lpPathName);
    if (!full) return FALSE;
    if (full->size() > 3 && full->back() == '\\') full->pop_back();
    auto& current = Current();
    std::lock_guard guard(current.Lock);
    current.Path = *full;
    return TRUE;
  });
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
  return Guarded(DWORD{0}, [&]() -> DWORD {
    if (!lpFileName) return FailWith(ERROR_INVALID_PARAMETER);
    auto full = FullWindowsPath(lpFileName);
    if (!full) return 0;
    DWORD result = CopyOutPath(*full, lpBuffer, nBufferLength);
    if (lpFilePart && result < nBufferLength && lpBuffer) {
      // The file part is what follows the last separator; a path ending in a
      // separator has none.
      char* last = std::strrchr(lpBuffer, '\\');
      *lpFilePart = (last && last[1]) ? last + 1 : nullptr;
    }
    return result;
  });
}

DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer) {
  return Guarded(DWORD{0}, [&]() -> DWORD {
    auto linux = MapFileName(lpszLongPath);
    if (!linux) return 0;
    struct stat st;
    if (::stat(linux->c_str(), &st) != 0) return FailWith(MissingPathError(*linux));
    // Copy first: the caller may pass the same buffer for both paths.
    std::string longPath = lpszLongPath;
    auto shortPath = ShortForm(longPath);
    if (!shortPath) return 0;
    return CopyOutPath(*shortPath, lpszShortPath, cchBuffer);
  });
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  return Guarded(DWORD{0}, [&]() -> DWORD { return CopyOutPath(TempFolder() + "\\", lpBuffer, nBufferLength); });
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return Guarded(UINT{0}, [&]() -> UINT { return CopyOutPath(WindowsFolder(), lpBuffer, uSize); });
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return Guarded(UINT{0}, [&]() -> UINT { return CopyOutPath(SystemFolder(), lpBuffer, uSize); });
}
