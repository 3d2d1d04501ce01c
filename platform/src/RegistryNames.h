// Key paths and value names of the registry: validation, the stored form and
// the form names are compared in.
//
// Callers pass 8-bit names in the ANSI code page. The database keeps each name
// as UTF-8, so a name means the same after the code page is changed, together
// with its folded form (Unicode upper case) that lookups and the order of
// subkeys use.
#pragma once

#include <string>
#include <vector>

#include "wintypes.h"

namespace qorv::platform::registry {

struct RegName {
  std::string Name;  // UTF-8, as the caller wrote it
  std::string Fold;  // UTF-8, upper case: equal for names that match
};

// Splits a subkey path into its names. Null and "" give no names; one
// trailing backslash is allowed. ERROR_BAD_PATHNAME for a leading backslash
// or an empty component, ERROR_INVALID_PARAMETER for a name over 255
// characters.
[[nodiscard]] LONG SplitKeyPath(LPCSTR path, std::vector<RegName>& names);

// A value name (null is the default value, named ""). ERROR_INVALID_PARAMETER
// for a name over 16383 characters.
[[nodiscard]] LONG MakeValueName(LPCSTR name, RegName& out);

// The stored UTF-8 name in the ANSI code page, for the enumeration calls.
std::string NameToAnsi(const std::string& utf8);

// Unicode simple upper case of UTF-8 text, for the letters that have case in
// the Latin, Greek and Cyrillic blocks (the letters code page 1256 and its
// neighbours carry); other characters are kept.
std::string FoldName(const std::string& utf8);

}  // namespace qorv::platform::registry
