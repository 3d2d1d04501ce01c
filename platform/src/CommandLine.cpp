#include "CommandLine.h"

namespace qorv::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> arguments;
  std::string current;
  bool started = false;  // an argument is open, possibly still empty ("")
  bool quoted = false;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (!quoted && IsBlank(c)) {
      if (started) arguments.push_back(current);
      current.clear();
      started = false;
      ++i;
      continue;
    }
    started = true;
    if (c == '\\') {
      std::size_t count = 0;
      while (i + count < text.size() && text[i + count] == '\\') ++count;
      i += count;
      bool beforeQuote = i < text.size() && text[i] == '"';
      if (!beforeQuote) {
        current.append(count, '\\');
        continue;
      }
      current.append(count / 2, '\\');
      if (count % 2 == 1) {
        current += '"';
        ++i;
      }
      // With an even count the quote is a delimiter, handled next.
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        current += '"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    current += c;
    ++i;
  }
  if (started) arguments.push_back(current);
  return arguments;
}

std::vector<ProgramSplit> ProgramReadings(std::string_view commandLine) {
  std::size_t start = 0;
  while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
  std::string_view line = commandLine.substr(start);
  if (line.empty()) return {};
  if (line.front() == '"') {
    std::size_t close = line.find('"', 1);
    if (close == std::string_view::npos) return {{std::string(line.substr(1)), std::string()}};
    return {{std::string(line.substr(1, close - 1)), std::string(line.substr(close + 1))}};
  }
  std::vector<ProgramSplit> readings;
  for (std::size_t i = 1; i < line.size(); ++i) {
    if (IsBlank(line[i]) && !IsBlank(line[i - 1])) {
      readings.push_back({std::string(line.substr(0, i)), std::string(line.substr(i))});
    }
  }
  std::size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  // A line ending in blanks already has its whole name as the last reading.
  if (readings.empty() || readings.back().Program.size() != end) {
    readings.push_back({std::string(line.substr(0, end)), std::string()});
  }
  return readings;
}

}  // namespace qorv::platform
