// SHFileOperationA: the name lists, where each source goes, and the checks
// that stop a copy onto or into itself before anything is written.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "NoThrow.h"
#include "ShellCopy.h"
#include "shellapi.h"
#include "systemroot.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

constexpr FILEOP_FLAGS kUnsupportedFlags = FOF_RENAMEONCOLLISION | FOF_WANTMAPPINGHANDLE;

// A list of names, each ending in NUL, the list ending in one more.
std::vector<std::string> NameList(LPCSTR list) {
  std::vector<std::string> names;
  if (list == nullptr) return names;
  for (const char* p = list; *p; p += std::strlen(p) + 1) names.emplace_back(p);
  return names;
}

bool IsFolder(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string NameOf(const std::string& windowsPath) {
  auto slash = windowsPath.rfind('\\');
  return slash == std::string::npos ? windowsPath : windowsPath.substr(slash + 1);
}

struct Place {
  std::string Windows;
  std::filesystem::path Linux;
};

// The full Windows form and the Linux path of a name, or the mapping's error.
std::optional<Place> PlaceOf(const std::string& name, DWORD& error) {
  auto full = FullWindowsPath(name);
  auto linux = full ? WindowsToLinuxPath(*full) : std::nullopt;
  if (!linux) {
    error = GetLastError();
    return std::nullopt;
  }
  if (full->size() > 3 && full->back() == '\\') full->pop_back();
  return Place{*full, *linux};
}

// Where one source's copy goes: a folder to the destination name itself; a
// file into the destination when that is a folder, else to the destination
// name. Several sources sharing one destination all go into it by name.
CopyJob JobFor(const Place& source, const Place& destination, bool severalSources) {
  CopyJob job{source.Linux, destination.Linux, source.Windows, destination.Windows};
  if (severalSources || (!IsFolder(source.Linux) && IsFolder(destination.Linux))) {
    job.Target = destination.Linux / source.Linux.filename();
    job.TargetWindows = destination.Windows + "\\" + NameOf(source.Windows);
  }
  return job;
}

// A copy onto itself, or into a folder of its own, would destroy what it
// reads or never end.
DWORD SelfCopyError(const CopyJob& job) {
  std::error_code error;
  auto source = std::filesystem::weakly_canonical(job.Source, error);
  if (error) return 0;
  auto target = std::filesystem::weakly_canonical(job.Target, error);
  if (error) return 0;
  if (source == target) return static_cast<DWORD>(DE_SAMEFILE);
  auto relative = target.lexically_relative(source);
  if (!relative.empty() && *relative.begin() != "..") return static_cast<DWORD>(DE_DESTSUBTREE);
  return 0;
}

struct Plan {
  std::vector<CopyJob> Jobs;
  DWORD Error = 0;
  std::string FailedName;
};

Plan PlanCopy(const SHFILEOPSTRUCTA& op) {
  Plan plan;
  auto sources = NameList(op.pFrom);
  auto destinations = NameList(op.pTo);
  bool paired = (op.fFlags & FOF_MULTIDESTFILES) != 0;
  if (destinations.empty()) destinations.push_back(CurrentWindowsDirectory());
  if (paired && destinations.size() != sources.size()) {
    plan.Error = ERROR_INVALID_PARAMETER;
    return plan;
  }
  for (std::size_t i = 0; i < sources.size(); ++i) {
    DWORD error = 0;
    auto source = PlaceOf(sources[i], error);
    if (!source) return Plan{{}, error, NameOf(sources[i])};
    const std::string& destinationName = destinations[paired ? i : 0];
    auto destination = PlaceOf(destinationName, error);
    if (!destination) return Plan{{}, error, NameOf(destinationName)};
    CopyJob job = JobFor(*source, *destination, !paired && sources.size() > 1);
    if (DWORD self = SelfCopyError(job)) return Plan{{}, self, NameOf(source->Windows)};
    plan.Jobs.push_back(std::move(job));
  }
  return plan;
}

}  // namespace

int WINAPI SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp) {
  return Guarded(static_cast<int>(ERROR_NOT_ENOUGH_MEMORY), [&]() -> int {
    if (lpFileOp == nullptr || lpFileOp->pFrom == nullptr) return ERROR_INVALID_PARAMETER;
    SHFILEOPSTRUCTA& op = *lpFileOp;
    op.fAnyOperationsAborted = FALSE;
    if (op.wFunc != FO_COPY || (op.fFlags & kUnsupportedFlags)) return ERROR_NOT_SUPPORTED;
    CopyOptions options;
    options.AskBeforeReplacing = !(op.fFlags & FOF_NOCONFIRMATION);
    options.ShowErrors = !(op.fFlags & FOF_NOERRORUI);
    if ((op.fFlags & FOF_SIMPLEPROGRESS) && op.lpszProgressTitle) options.Title = op.lpszProgressTitle;
    Plan plan = PlanCopy(op);
    if (plan.Error) {
      if (options.ShowErrors && plan.Error != ERROR_INVALID_PARAMETER) {
        CurrentShellUi().ShowError(op.hwnd, kCopyErrorCaption, CopyErrorText(plan.FailedName, plan.Error));
      }
      return static_cast<int>(plan.Error);
    }
    auto ui = CurrentShellUi().BeginOperation(op.hwnd, !(op.fFlags & FOF_SILENT));
    CopyOutcome outcome = CopyTrees(plan.Jobs, options, *ui);
    op.fAnyOperationsAborted = outcome.AnyAborted ? TRUE : FALSE;
    return static_cast<int>(outcome.Error);
  });
}
