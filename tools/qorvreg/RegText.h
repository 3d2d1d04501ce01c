// The .reg text form of keys and values ("Windows Registry Editor Version
// 5.00"), written for people reading it on Linux: names and strings in UTF-8.
#pragma once

#include <string>

#include "wintypes.h"

namespace qorv::qorvreg {

constexpr const char* kRegHeader = "Windows Registry Editor Version 5.00";

// One value line: "name"=... or @=... for the default value. REG_SZ as a
// quoted string (up to its terminator, backslashes and quotes escaped),
// a four-byte REG_DWORD as dword:0000000a, REG_BINARY as hex:01,02, any
// other type or size as hex(type):.. with the bytes as stored.
std::string ValueLine(const std::string& ansiName, DWORD type, const std::string& data);

// A key's header line: [HKEY_CLASSES_ROOT\CLSID].
std::string KeyLine(const std::string& ansiPath);

// Text in the ANSI code page as UTF-8.
std::string AnsiToUtf8Text(const std::string& ansi);

}  // namespace qorv::qorvreg
