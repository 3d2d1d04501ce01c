// Processes started by WinExec (here) and ShellExecuteExA (shellapi.h).
//
// A process handle is a kernel object like an event: WaitForSingleObject,
// WaitForMultipleObjects and MsgWaitForMultipleObjects return for it when the
// process ends (a thread of ours blocks on the child's pidfd and signals the
// handle; nothing polls), and CloseHandle drops it without ending the process.
//
// How a Windows command line becomes a Linux process:
// - The program is found as CreateProcess finds it: a name without a folder is
//   looked for in the calling program's own folder, the current folder,
//   C:\Windows\System32 and C:\Windows; ".exe" is appended to a name without an
//   extension; in an unquoted command line each blank may end the program name
//   ("D:\Ostrivel\MSDE SP4\Setup.exe" tries "D:\Ostrivel\MSDE.exe" first).
// - A Linux executable (an ELF file, or a script starting "#!", with its run
//   bit) runs directly. The platform's own tools are such programs, linked into
//   C:\Windows\System32 under their Windows names (regsvr32.exe).
// - "Explorer" (bare, or C:\Windows\explorer.exe) runs the desktop's opener
//   with its arguments, Windows paths among them turned into Linux paths:
//   system.ini `Opener=` (words split at blanks), default xdg-open.
// - Any other file (a Windows .exe, .bat, .reg) runs through system.ini
//   `WindowsRunner=` (for example `wine start /wait /unix`) given the file's
//   Linux path and the arguments; without a runner it cannot be started.
// - The arguments reach the program as CommandLineToArgvW splits them: blanks
//   separate, double quotes group, 2n backslashes before a quote give n and
//   the quote groups, 2n+1 give n and a literal quote, "" inside quotes is a
//   literal quote. Windows paths in them are passed unchanged.
// - The child inherits the environment (so it shares the system root), gets
//   /dev/null as standard input, starts in the Linux folder of the current (or
//   given) Windows folder, and finds the show command in QORV_SHOW_COMMAND.
#pragma once

#include "wintypes.h"

// STILL_ACTIVE (259, synch.h) while the process runs; then its exit status, or
// for a process ended by a signal 128 plus the signal number, or the code
// given to TerminateProcess. ERROR_INVALID_HANDLE for a handle that is not a
// process; GetCurrentProcess() answers STILL_ACTIVE.
BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
// Ends the process (SIGKILL through its pidfd, so a recycled pid is never hit);
// its exit code becomes uExitCode. ERROR_ACCESS_DENIED once it has ended, as
// Windows answers. GetCurrentProcess() ends the calling process.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode);
// The Linux pid; 0 with ERROR_INVALID_HANDLE.
DWORD WINAPI GetProcessId(HANDLE Process);

// Starts the command line and returns at once (no wait for the program's first
// input, unlike Windows' WaitForInputIdle). A value above 31 on success; on
// failure 0 (out of memory), ERROR_FILE_NOT_FOUND (2), ERROR_PATH_NOT_FOUND
// (3), ERROR_ACCESS_DENIED (5, a Linux program without its run bit) or
// ERROR_BAD_FORMAT (11, a program that is neither a Linux executable nor
// runnable through the configured runner).
UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow);
