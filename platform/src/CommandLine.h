// Windows command lines taken apart as Windows programs take them apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qorv::platform {

// The arguments in `text` by CommandLineToArgvW's rules for everything after
// the program name: blanks and tabs separate; double quotes group and are
// removed; 2n backslashes before a quote give n backslashes and the quote
// groups, 2n+1 give n and a literal quote; other backslashes are literal;
// inside quotes "" is a literal quote. `""` alone is an empty argument.
std::vector<std::string> SplitArguments(std::string_view text);

// One way to read the program name off a command line, and what follows it.
struct ProgramSplit {
  std::string Program;
  std::string Rest;
};

// The readings CreateProcess tries, in order: a quoted name is the one
// reading; an unquoted line is tried up to each blank in turn, so
// "C:\Program Files\x.exe a" gives "C:\Program", then "C:\Program Files\x.exe",
// then the whole line. Empty for an empty or blank line.
std::vector<ProgramSplit> ProgramReadings(std::string_view commandLine);

}  // namespace qorv::platform
