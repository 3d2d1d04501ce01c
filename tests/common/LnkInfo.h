// Reads a shell link file with libyal's lnkinfo (Debian liblnk-utils), an
// independent reader of the format, for the tests that save shortcuts.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace qorv::test {

inline bool LnkInfoInstalled() { return std::system("command -v lnkinfo >/dev/null 2>&1") == 0; }

// The "name : value" lines lnkinfo prints (names as it spells them, e.g.
// "Local path", "Working directory"), read in code page 1256 so Persian
// paths come out as UTF-8; nothing when lnkinfo cannot read the file.
inline std::optional<std::map<std::string, std::string>> LnkInfoFields(const std::filesystem::path& link) {
  std::string command = "lnkinfo -c windows-1256 '" + link.string() + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return std::nullopt;
  std::string output;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  if (::pclose(pipe) != 0) return std::nullopt;
  std::map<std::string, std::string> fields;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    start = end + 1;
    std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    std::size_t nameStart = line.find_first_not_of('\t');
    std::size_t nameEnd = line.find_last_not_of("\t ", colon - 1);
    if (nameStart == std::string::npos || nameEnd == std::string::npos || nameEnd < nameStart) continue;
    fields[line.substr(nameStart, nameEnd - nameStart + 1)] = line.substr(colon + 2);
  }
  return fields;
}

}  // namespace qorv::test
