// The file an InprocServer32 value names: a Linux path, a Windows path (its
// 8.3 form too, which registration writes for a path with blanks), or a bare
// name looked for where the loader looks for system libraries.
#include <string>
#include <system_error>

#include "ComRuntime.h"
#include "PathMap.h"
#include "systemroot.h"

namespace qorv::platform {

namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// Short components (registration writes the 8.3 form of a path with
// blanks) are matched to their long names by the path mapping itself.
std::optional<fs::path> ResolveWindowsPath(const std::string& windowsPath) {
  auto resolved = WindowsToLinuxPath(windowsPath);
  return resolved && IsFile(*resolved) ? resolved : std::nullopt;
}

}  // namespace

std::optional<fs::path> ResolveServerPath(const std::string& serverValue) {
  if (serverValue.empty()) return std::nullopt;
  if (serverValue.front() == '/') return IsFile(serverValue) ? std::optional<fs::path>(serverValue) : std::nullopt;
  // A bare file name is looked for where the loader looks for system
  // libraries.
  if (serverValue.find_first_of("\\/:") == std::string::npos) {
    for (const auto& folder : {SystemFolder(), WindowsFolder()}) {
      if (auto found = ResolveWindowsPath(folder + "\\" + serverValue)) return found;
    }
    return std::nullopt;
  }
  return ResolveWindowsPath(serverValue);
}

}  // namespace qorv::platform
