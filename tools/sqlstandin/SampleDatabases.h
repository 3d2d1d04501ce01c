#pragma once

#include <filesystem>
#include <string>

namespace sqlstandin {

// Writes the stand-in's database files into `folder`: the earlier client
// database (Tavro_Client_Data.MDF and its .LDF) whose Primery table lacks
// the columns a settings transfer adds, and the main database
// (Ostrivel_Data.MDF and Ostrivel_Log.LDF) with PrimeryMacPri holding all
// of them. Returns an error text, empty on success.
std::string makeSampleDatabases(const std::filesystem::path& folder);

}  // namespace sqlstandin
