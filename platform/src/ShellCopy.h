// The shell's copy engine: whole folder trees and single files, with the
// progress window, the replace question and the error messages of
// shellui.h. SHFileOperationA decides what goes where; this copies it.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "shellui.h"

namespace qorv::platform {

// One source and the name its copy gets (for a folder, the folder that
// receives its contents).
struct CopyJob {
  std::filesystem::path Source;  // Linux paths
  std::filesystem::path Target;
  std::string SourceWindows;  // Windows paths, for what the windows show
  std::string TargetWindows;
};

struct CopyOptions {
  bool AskBeforeReplacing = true;  // else Yes to all
  bool ShowErrors = true;
  std::string Title = "Copying...";
};

struct CopyOutcome {
  DWORD Error = 0;          // 0, ERROR_CANCELLED or the failure
  bool AnyAborted = false;  // a file skipped with No, or Cancel
};

// Looks at every source first (so a missing one stops the copy before
// anything is written), then copies in name order, folders before what
// they hold. Stops at the first failure, after its message.
CopyOutcome CopyTrees(const std::vector<CopyJob>& jobs, const CopyOptions& options, IShellOperationUi& ui);

// The error message the shell shows for a file it cannot copy.
std::string CopyErrorText(const std::string& name, DWORD error);
inline constexpr const char* kCopyErrorCaption = "Error Copying File or Folder";

}  // namespace qorv::platform
