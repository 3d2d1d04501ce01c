// The resource script: one resource per line, `<NAME> <TYPE> <file>`.
//
// NAME is a number (1-65535) or a string; TYPE is a number, a standard type
// name (RCDATA, BITMAP ...) or a string type (TYPELIB, PNG); string names and
// types are kept upper-case, as resource compilers store them. The file is
// relative to the script's folder unless absolute, may be quoted, and runs to
// the end of the line. Blank lines and lines starting with '#' are skipped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rescomp {

struct ResourceId {
  std::string Text;      // empty when given by number
  std::uint16_t Id = 0;  // 0 when given by text
  bool operator==(const ResourceId&) const = default;
};

struct ResourceLine {
  ResourceId Name;
  ResourceId Type;
  std::filesystem::path File;
  int LineNumber = 0;
};

struct ParseResult {
  std::vector<ResourceLine> Resources;
  std::string Error;  // "script:line: message" at the first bad line; empty when all is well
};

ParseResult ParseScript(const std::string& text, const std::filesystem::path& scriptPath);

}  // namespace rescomp
