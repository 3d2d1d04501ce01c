// From a program named the Windows way to the Linux process that runs it (the
// rules are listed in processthreadsapi.h).
#pragma once

#include <optional>
#include <string>

#include "ProcessObject.h"

namespace qorv::platform {

// The start of `program` with the arguments in `argumentText` (split as
// Windows programs split them). Nothing, with `error` set, when the program
// cannot be found (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, or another
// error of its path) or cannot run here (ERROR_ACCESS_DENIED for a Linux
// program without its run bit or a folder, ERROR_BAD_EXE_FORMAT for anything
// else when no runner is configured). The working folder and show command
// are left to the caller.
std::optional<SpawnRequest> PlanProgramStart(const std::string& program, const std::string& argumentText, DWORD& error);

// Whether a file name ends in an extension Windows starts as a program
// (.exe, .com, .bat, .cmd, .pif, .scr); a name without one counts as ".exe".
bool HasProgramExtension(const std::string& name);

// The Linux folder of the process's current Windows folder; empty when its
// drive is not mapped (the child then starts in this process's folder).
std::filesystem::path CurrentLinuxFolder();

}  // namespace qorv::platform
