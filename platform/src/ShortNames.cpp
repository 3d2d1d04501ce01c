#include "ShortNames.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace qorv::platform {

namespace {

namespace fs = std::filesystem;

// Characters a short name may hold besides letters and digits.
constexpr const char* kShortPunctuation = "!#$%&'()-@^_`{}~";

bool IsShortCharacter(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
         (u != 0 && std::strchr(kShortPunctuation, u) != nullptr);
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

struct Basis {
  std::string Stem;       // upper case, six characters at most
  std::string Extension;  // upper case, three characters at most, no point
  bool operator<(const Basis& other) const { return std::tie(Stem, Extension) < std::tie(other.Stem, other.Extension); }
};

// What Windows derives a short name from: blanks and leading points dropped,
// other points dropped from the stem, characters a short name refuses
// replaced by '_' (a whole UTF-8 sequence counting as one), upper case.
Basis BasisOf(const std::string& longName) {
  std::string name;
  for (char c : longName) {
    auto u = static_cast<unsigned char>(c);
    if (c == ' ' || (c == '.' && name.empty())) continue;
    if (u >= 0x80 && u < 0xC0) continue;  // a UTF-8 continuation byte
    name += (c == '.' || IsShortCharacter(c)) ? c : '_';
  }
  auto dot = name.rfind('.');
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  base.erase(std::remove(base.begin(), base.end(), '.'), base.end());
  return {Upper(base.substr(0, 6)), Upper(extension.substr(0, 3))};
}

std::string Compose(const Basis& basis, size_t ordinal) {
  std::string tail = "~" + std::to_string(ordinal);
  std::string stem = basis.Stem.substr(0, tail.size() < 8 ? 8 - tail.size() : 0);
  std::string name = stem + tail;
  if (!basis.Extension.empty()) name += "." + basis.Extension;
  return name;
}

// The short name of every entry of the folder that needs one.
std::map<std::string, std::string> ShortNamesIn(const fs::path& folder) {
  std::map<Basis, std::vector<std::string>> groups;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (IsShortName(name)) continue;
    Basis basis = BasisOf(name);
    if (!basis.Stem.empty()) groups[basis].push_back(name);
  }
  std::map<std::string, std::string> names;
  for (auto& [basis, members] : groups) {
    std::sort(members.begin(), members.end());
    for (size_t i = 0; i < members.size(); ++i) names[members[i]] = Compose(basis, i + 1);
  }
  return names;
}

}  // namespace

bool IsShortName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  auto dot = name.find('.');
  if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos) return false;
  std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::string::npos && extension.empty()) return false;
  return std::all_of(base.begin(), base.end(), IsShortCharacter) &&
         std::all_of(extension.begin(), extension.end(), IsShortCharacter);
}

std::optional<std::string> ShortNameOf(const fs::path& folder, const std::string& longName) {
  if (IsShortName(longName)) return longName;
  auto names = ShortNamesIn(folder);
  auto found = names.find(longName);
  if (found == names.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> LongNameOf(const fs::path& folder, const std::string& shortName) {
  if (shortName.find('~') == std::string::npos || !IsShortName(shortName)) return std::nullopt;
  std::string wanted = Upper(shortName);
  for (const auto& [longName, shortForm] : ShortNamesIn(folder)) {
    if (shortForm == wanted) return longName;
  }
  return std::nullopt;
}

}  // namespace qorv::platform
