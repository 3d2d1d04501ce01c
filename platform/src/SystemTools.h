// The platform's own programs that Windows programs start by name from the
// system folder (regsvr32).
#pragma once

#include <filesystem>

namespace qorv::platform {

// Links each tool built beside the platform library into the system folder
// under its Windows name ("regsvr32.exe"), so a program started as
// C:\Windows\System32\regsvr32.exe, or found there by its bare name, runs our
// tool. A link left dangling by a moved build is renewed; a file someone put
// there is kept. Tools not built are skipped.
void ProvideSystemTools(const std::filesystem::path& systemFolder);

}  // namespace qorv::platform
