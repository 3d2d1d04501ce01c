// The file an InprocServer32 value names. Registration writes the 8.3 short
// form of a path with blanks in it; Linux volumes have no short names, so a
// short component is matched to the long name it stands for.
#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>
#include <vector>

#include "ComRuntime.h"
#include "PathMap.h"
#include "systemroot.h"

namespace qorv::platform {

namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool PathExists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

struct ShortName {
  std::string Stem;       // the characters before '~', upper case
  unsigned Ordinal = 0;   // the number after '~'
  std::string Extension;  // upper case, without the point
};

// "PROGRA~1" or "QORVPR~2.OCX"; nothing for a name of any other shape.
std::optional<ShortName> ParseShortName(const std::string& name) {
  auto dot = name.rfind('.');
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  auto tilde = base.find('~');
  if (tilde == std::string::npos || tilde == 0 || tilde + 1 >= base.size() || base.size() > 8) return std::nullopt;
  if (extension.size() > 3) return std::nullopt;
  std::string digits = base.substr(tilde + 1);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    return std::nullopt;
  }
  return ShortName{Upper(base.substr(0, tilde)), static_cast<unsigned>(std::stoul(digits)), Upper(extension)};
}

// The stem and extension Windows derives a long name's short name from:
// blanks and leading points dropped, other points dropped from the stem,
// characters not allowed in short names replaced, upper case, six and three
// characters at most. Characters outside ASCII count as '_'.
ShortName ShortBasisOf(const std::string& longName) {
  std::string name;
  for (char c : longName) {
    if (c == ' ' || (c == '.' && name.empty())) continue;
    name += static_cast<unsigned char>(c) >= 0x80 ? '_' : c;
  }
  auto dot = name.rfind('.');
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  std::string stem;
  for (char c : base) {
    if (c == '.') continue;
    stem += std::string("+,;=[]").find(c) != std::string::npos ? '_' : c;
  }
  return {Upper(stem.substr(0, 6)), 0, Upper(extension.substr(0, 3))};
}

// The long name in `folder` that `wanted` is the short form of. Windows
// numbers the names sharing a stem in the order they were created; the
// folder keeps no such order, so they are numbered in name order.
std::optional<std::string> LongNameForShort(const fs::path& folder, const ShortName& wanted) {
  std::vector<std::string> candidates;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    ShortName basis = ShortBasisOf(name);
    if (basis.Stem == wanted.Stem && basis.Extension == wanted.Extension) candidates.push_back(name);
  }
  std::sort(candidates.begin(), candidates.end());
  if (wanted.Ordinal == 0 || wanted.Ordinal > candidates.size()) return std::nullopt;
  return candidates[wanted.Ordinal - 1];
}

std::vector<std::string> SplitAtBackslash(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::optional<fs::path> ResolveWindowsPath(const std::string& windowsPath) {
  auto full = FullWindowsPath(windowsPath);
  if (!full) return std::nullopt;
  auto direct = WindowsToLinuxPath(*full);
  if (!direct) return std::nullopt;
  if (IsFile(*direct)) return direct;
  // Walk the path, replacing each short component that does not exist as
  // written by the long name it stands for.
  std::string rebuilt = full->substr(0, 2);
  for (const auto& part : SplitAtBackslash(full->substr(3))) {
    std::string next = rebuilt + "\\" + part;
    auto mapped = WindowsToLinuxPath(next);
    if (!mapped) return std::nullopt;
    if (!PathExists(*mapped)) {
      auto shortName = ParseShortName(part);
      if (!shortName) return std::nullopt;
      auto longName = LongNameForShort(mapped->parent_path(), *shortName);
      if (!longName) return std::nullopt;
      next = rebuilt + "\\" + Utf8ToAnsi(*longName);
    }
    rebuilt = next;
  }
  auto resolved = WindowsToLinuxPath(rebuilt);
  return resolved && IsFile(*resolved) ? resolved : std::nullopt;
}

}  // namespace

std::optional<fs::path> ResolveServerPath(const std::string& serverValue) {
  if (serverValue.empty()) return std::nullopt;
  if (serverValue.front() == '/') return IsFile(serverValue) ? std::optional<fs::path>(serverValue) : std::nullopt;
  // A bare file name is looked for where the loader looks for system
  // libraries.
  if (serverValue.find_first_of("\\/:") == std::string::npos) {
    for (const auto& folder : {SystemFolder(), WindowsFolder()}) {
      if (auto found = ResolveWindowsPath(folder + "\\" + serverValue)) return found;
    }
    return std::nullopt;
  }
  return ResolveWindowsPath(serverValue);
}

}  // namespace qorv::platform
