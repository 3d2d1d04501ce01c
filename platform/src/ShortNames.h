// 8.3 short names. Linux volumes keep none, so they are derived from the long
// names of a folder the way Windows makes them: the first six characters that
// a short name allows, "~", a number, and the first three of the extension.
// Windows numbers the names that share a stem in the order they were
// created; a folder here keeps no such order, so they are numbered in name
// order, which gives the same answer every time for the same folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qorv::platform {

// True for a name that is its own short name (at most eight characters, a
// point and three more, none of them a blank or a character 8.3 names
// refuse); case does not matter.
bool IsShortName(const std::string& name);

// The short name of the entry `longName` (UTF-8, as on disk) of `folder`:
// the name itself when it is a short name. Nothing when the folder cannot
// be read or the name gives no stem.
std::optional<std::string> ShortNameOf(const std::filesystem::path& folder, const std::string& longName);

// The entry of `folder` (UTF-8, as on disk) whose short name is `shortName`,
// ignoring case; nothing when there is none. Only names with a '~' are
// looked for, so a missing file costs no folder scan.
std::optional<std::string> LongNameOf(const std::filesystem::path& folder, const std::string& shortName);

}  // namespace qorv::platform
