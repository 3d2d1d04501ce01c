#include "ResourceScript.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

namespace rescomp {

namespace {

const std::map<std::string, std::uint16_t>& StandardTypes() {
  static const std::map<std::string, std::uint16_t> types = {
      {"CURSOR", 1},      {"BITMAP", 2},   {"ICON", 3},          {"MENU", 4},
      {"DIALOG", 5},      {"STRING", 6},   {"FONTDIR", 7},       {"FONT", 8},
      {"ACCELERATOR", 9}, {"RCDATA", 10},  {"MESSAGETABLE", 11}, {"GROUP_CURSOR", 12},
      {"GROUP_ICON", 14}, {"VERSION", 16}, {"HTML", 23},         {"MANIFEST", 24}};
  return types;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::optional<ResourceId> ParseId(const std::string& token, bool isType, std::string& error) {
  ResourceId id;
  if (AllDigits(token)) {
    unsigned long value = token.size() > 5 ? 0 : std::stoul(token);
    if (value == 0 || value > 0xFFFF) {
      error = "number " + token + " is outside 1-65535";
      return std::nullopt;
    }
    id.Id = static_cast<std::uint16_t>(value);
    return id;
  }
  std::string upper = Upper(token);
  if (isType) {
    auto it = StandardTypes().find(upper);
    if (it != StandardTypes().end()) {
      id.Id = it->second;
      return id;
    }
  }
  id.Text = upper;
  return id;
}

std::string Trim(const std::string& text) {
  auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string NextToken(std::string& rest) {
  rest = Trim(rest);
  auto end = rest.find_first_of(" \t");
  std::string token = rest.substr(0, end);
  rest = end == std::string::npos ? std::string() : rest.substr(end);
  return token;
}

}  // namespace

ParseResult ParseScript(const std::string& text, const std::filesystem::path& scriptPath) {
  ParseResult result;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& message) {
    result.Error = scriptPath.string() + ":" + std::to_string(number) + ": " + message;
    result.Resources.clear();
    return result;
  };
  while (std::getline(in, line)) {
    ++number;
    std::string rest = Trim(line);
    if (rest.empty() || rest[0] == '#') continue;
    std::string nameToken = NextToken(rest);
    std::string typeToken = NextToken(rest);
    std::string file = Trim(rest);
    if (file.size() >= 2 && file.front() == '"' && file.back() == '"') file = file.substr(1, file.size() - 2);
    if (typeToken.empty() || file.empty()) return fail("expected <NAME> <TYPE> <file>");
    std::string error;
    auto name = ParseId(nameToken, false, error);
    if (!name) return fail("name: " + error);
    auto type = ParseId(typeToken, true, error);
    if (!type) return fail("type: " + error);
    for (const auto& earlier : result.Resources) {
      if (earlier.Name == *name && earlier.Type == *type) {
        return fail("duplicate resource " + nameToken + " " + typeToken + " (first on line " +
                    std::to_string(earlier.LineNumber) + ")");
      }
    }
    std::filesystem::path path = file;
    if (path.is_relative()) path = scriptPath.parent_path() / path;
    result.Resources.push_back({*name, *type, path, number});
  }
  return result;
}

}  // namespace rescomp
