// Reading and atomically rewriting the root's `key=value` files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qorv::platform {

using IniEntries = std::vector<std::pair<std::string, std::string>>;

// Entries of the file, comments and malformed lines skipped; empty when the
// file is missing or unreadable.
IniEntries ReadIniFileAt(const std::filesystem::path& file);

// Sets `key` to `value`, or removes it when value is nothing, under an flock
// on "<file>.lock", writing a temporary file and renaming it over the old one.
// Comments and other lines are kept in order. False with the last error set
// when the file could not be replaced (the old one is then untouched).
bool UpdateIniFileAt(const std::filesystem::path& file, const std::string& key,
                     const std::optional<std::string>& value);

bool SameIniKey(const std::string& a, const std::string& b);

}  // namespace qorv::platform
