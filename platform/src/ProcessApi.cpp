// WinExec, ShellExecuteExA and the process handle calls.
#include <sys/stat.h>

#include <cctype>
#include <cstdlib>

#include "CommandLine.h"
#include "NoThrow.h"
#include "ProgramLookup.h"
#include "shellapi.h"
#include "shellui.h"
#include "synch.h"
#include "systemroot.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

// Any value above 31 means success to WinExec's callers; Windows answers 33.
constexpr UINT kWinExecStarted = 33;
constexpr ULONG_PTR kShellExecuteStarted = 42;

bool IsStartFailureToRetry(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// CreateProcess's reading of an unquoted line: the first reading naming a
// file that exists is the program; any other failure ends the search.
std::shared_ptr<ProcessObject> StartCommandLine(const std::string& line, int show, DWORD& error) {
  error = ERROR_FILE_NOT_FOUND;
  for (const ProgramSplit& reading : ProgramReadings(line)) {
    auto request = PlanProgramStart(reading.Program, reading.Rest, error);
    if (!request) {
      if (IsStartFailureToRetry(error)) continue;
      return nullptr;
    }
    request->WorkingFolder = CurrentLinuxFolder();
    request->ShowCommand = show;
    return SpawnProcess(*request, error);
  }
  return nullptr;
}

UINT WinExecFailure(DWORD error) {
  switch (error) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return 0;
    case ERROR_BAD_EXE_FORMAT: return ERROR_BAD_FORMAT;
    default: return error < 32 ? error : ERROR_BAD_FORMAT;
  }
}

ULONG_PTR ShellExecuteFailure(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY: return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED: return SE_ERR_ACCESSDENIED;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return SE_ERR_OOM;
    case ERROR_BAD_EXE_FORMAT: return ERROR_BAD_FORMAT;
    case ERROR_NO_ASSOCIATION: return SE_ERR_NOASSOC;
    default: return error <= 32 ? error : SE_ERR_ACCESSDENIED;
  }
}

// The shell's message for a start that failed, in Windows' words.
std::string ShellExecuteMessage(DWORD error, const std::string& file) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
      return "Windows cannot find '" + file + "'. Make sure you typed the name correctly, and then try again.";
    case ERROR_ACCESS_DENIED:
      return "Windows cannot access the specified device, path, or file. You may not have the appropriate "
             "permissions to access the item.";
    case ERROR_BAD_EXE_FORMAT: return file + " is not a valid Win32 application.";
    case ERROR_NO_ASSOCIATION:
      return "There is no program associated with '" + file + "' to perform the requested action.";
    default: {
      char text[512] = {};
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, sizeof text, nullptr);
      return text;
    }
  }
}

bool IsDefaultVerb(LPCSTR verb) {
  if (verb == nullptr || *verb == '\0') return true;
  std::string lower = verb;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "open";
}

std::string Unquoted(std::string text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

// lpDirectory, else the current folder; ERROR_DIRECTORY when it is not a folder.
std::optional<std::filesystem::path> WorkingFolderOf(LPCSTR directory, DWORD& error) {
  if (directory == nullptr || *directory == '\0') return CurrentLinuxFolder();
  auto linux = WindowsToLinuxPath(directory);
  struct stat st;
  if (!linux || ::stat(linux->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = ERROR_DIRECTORY;
    return std::nullopt;
  }
  return linux;
}

std::shared_ptr<ProcessObject> StartShellExecute(const SHELLEXECUTEINFOA& info, const std::string& file, DWORD& error) {
  if (!IsDefaultVerb(info.lpVerb)) {
    error = ERROR_NO_ASSOCIATION;
    return nullptr;
  }
  auto folder = WorkingFolderOf(info.lpDirectory, error);
  if (!folder) return nullptr;
  auto request = PlanProgramStart(file, info.lpParameters ? info.lpParameters : "", error);
  if (!request) {
    // A document (not a program) that no runner takes has no association.
    if (error == ERROR_BAD_EXE_FORMAT && !HasProgramExtension(file)) error = ERROR_NO_ASSOCIATION;
    return nullptr;
  }
  request->WorkingFolder = *folder;
  request->ShowCommand = info.nShow;
  return SpawnProcess(*request, error);
}

}  // namespace

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
  return Guarded(UINT{0}, [&]() -> UINT {
    DWORD error = ERROR_FILE_NOT_FOUND;
    auto process = lpCmdLine ? StartCommandLine(lpCmdLine, static_cast<int>(uCmdShow), error) : nullptr;
    if (!process) {
      SetLastError(error);
      return WinExecFailure(error);
    }
    // Nobody holds a handle: the process object goes when its reaper ends.
    return kWinExecStarted;
  });
}

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* pExecInfo) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    if (pExecInfo == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    SHELLEXECUTEINFOA& info = *pExecInfo;
    info.hProcess = nullptr;
    if ((info.cbSize != sizeof(SHELLEXECUTEINFOA) && info.cbSize != kShellExecuteInfo32Size) ||
        info.lpFile == nullptr) {
      info.hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_ACCESSDENIED);
      return FailWith(ERROR_INVALID_PARAMETER);
    }
    std::string file = Unquoted(info.lpFile);
    DWORD error = ERROR_SUCCESS;
    auto process = StartShellExecute(info, file, error);
    HANDLE handle = nullptr;
    if (process && (info.fMask & SEE_MASK_NOCLOSEPROCESS)) {
      handle = InsertHandle(process);
      if (!handle) error = GetLastError();
    }
    if (!process || (!handle && (info.fMask & SEE_MASK_NOCLOSEPROCESS))) {
      info.hInstApp = reinterpret_cast<HINSTANCE>(ShellExecuteFailure(error));
      if (!(info.fMask & SEE_MASK_FLAG_NO_UI))
        CurrentShellUi().ShowError(info.hwnd, file, ShellExecuteMessage(error, file));
      return FailWith(error);
    }
    info.hInstApp = reinterpret_cast<HINSTANCE>(kShellExecuteStarted);
    info.hProcess = handle;
    return TRUE;
  });
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  if (lpExitCode == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
  if (hProcess == GetCurrentProcess()) {
    *lpExitCode = STILL_ACTIVE;
    return TRUE;
  }
  auto process = LookupHandleAs<ProcessObject>(hProcess);
  if (!process) return FailWith(ERROR_INVALID_HANDLE);
  std::lock_guard guard(WaitLock());
  *lpExitCode = process->ExitCodeLocked();
  return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  if (hProcess == GetCurrentProcess()) std::_Exit(static_cast<int>(uExitCode));
  auto process = LookupHandleAs<ProcessObject>(hProcess);
  if (!process) return FailWith(ERROR_INVALID_HANDLE);
  return process->Terminate(uExitCode) ? TRUE : FALSE;
}

DWORD WINAPI GetProcessId(HANDLE Process) {
  if (Process == GetCurrentProcess()) return GetCurrentProcessId();
  auto process = LookupHandleAs<ProcessObject>(Process);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(process->Pid());
}
