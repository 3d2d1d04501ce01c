// The shell's program start (ShellExecuteExA) and file operations
// (SHFileOperationA). Programs are started as processthreadsapi.h describes.
// The shell's windows (progress, questions, error messages) are the GUI
// framework's, reached through shellui.h; without a framework the questions
// take their default answer and the messages go to standard error.
#pragma once

#include "processthreadsapi.h"
#include "wintypes.h"

// ---- ShellExecuteExA ---------------------------------------------------------

constexpr ULONG SEE_MASK_DEFAULT = 0x00000000;
constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

// hInstApp values of a failed start.
constexpr ULONG_PTR SE_ERR_FNF = 2;
constexpr ULONG_PTR SE_ERR_PNF = 3;
constexpr ULONG_PTR SE_ERR_ACCESSDENIED = 5;
constexpr ULONG_PTR SE_ERR_OOM = 8;
constexpr ULONG_PTR SE_ERR_NOASSOC = 31;

struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCSTR lpVerb;
  LPCSTR lpFile;
  LPCSTR lpParameters;
  LPCSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void* lpIDList;
  LPCSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
using LPSHELLEXECUTEINFOA = SHELLEXECUTEINFOA*;
// The size the record has in 32-bit programs, which callers laid out for them
// pass as cbSize; accepted beside sizeof(SHELLEXECUTEINFOA).
constexpr DWORD kShellExecuteInfo32Size = 60;

// Starts lpFile (a program, found and run as processthreadsapi.h says; not
// split at blanks, surrounding quotes removed) with lpParameters split into
// arguments, in lpDirectory (else the current folder). The verb must be null,
// empty or "open". nShow is passed to the program as QORV_SHOW_COMMAND.
// TRUE with hInstApp above 32, and with SEE_MASK_NOCLOSEPROCESS the process
// handle in hProcess (the caller closes it). FALSE with the last error and
// hInstApp set: ERROR_FILE_NOT_FOUND / SE_ERR_FNF, ERROR_PATH_NOT_FOUND /
// SE_ERR_PNF, ERROR_ACCESS_DENIED / SE_ERR_ACCESSDENIED, ERROR_BAD_EXE_FORMAT
// / ERROR_BAD_FORMAT (a program that cannot run here), ERROR_NO_ASSOCIATION /
// SE_ERR_NOASSOC (a document with no runner, or an unknown verb),
// ERROR_DIRECTORY / SE_ERR_PNF (a missing lpDirectory). Unless
// SEE_MASK_FLAG_NO_UI is set, the shell's error message is shown first.
// ERROR_INVALID_PARAMETER for a null record, a wrong cbSize or a null lpFile.
BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* pExecInfo);

// ---- SHFileOperationA --------------------------------------------------------

constexpr UINT FO_MOVE = 0x0001;
constexpr UINT FO_COPY = 0x0002;
constexpr UINT FO_DELETE = 0x0003;
constexpr UINT FO_RENAME = 0x0004;

using FILEOP_FLAGS = WORD;
constexpr FILEOP_FLAGS FOF_MULTIDESTFILES = 0x0001;
constexpr FILEOP_FLAGS FOF_CONFIRMMOUSE = 0x0002;
constexpr FILEOP_FLAGS FOF_SILENT = 0x0004;
constexpr FILEOP_FLAGS FOF_RENAMEONCOLLISION = 0x0008;
constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x0010;
constexpr FILEOP_FLAGS FOF_WANTMAPPINGHANDLE = 0x0020;
constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x0040;
constexpr FILEOP_FLAGS FOF_FILESONLY = 0x0080;
constexpr FILEOP_FLAGS FOF_SIMPLEPROGRESS = 0x0100;
constexpr FILEOP_FLAGS FOF_NOCONFIRMMKDIR = 0x0200;
constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x0400;

struct SHFILEOPSTRUCTA {
  HWND hwnd;
  UINT wFunc;
  LPCSTR pFrom;
  LPCSTR pTo;
  FILEOP_FLAGS fFlags;
  BOOL fAnyOperationsAborted;
  void* hNameMappings;
  LPCSTR lpszProgressTitle;
};
using LPSHFILEOPSTRUCTA = SHFILEOPSTRUCTA*;

// FO_COPY only. pFrom is a list of names, each ending in NUL, the list in one
// more NUL; pTo names the destination (null or empty: the current folder),
// with FOF_MULTIDESTFILES a list matching pFrom.
//
// A folder is copied with everything in it to the destination name: a folder
// that exists there already receives the copy, each file that exists asking
// the replace question first (Windows would put the copy inside it as a
// subfolder instead). A file copied to an existing folder lands inside it,
// else under the destination name. Missing folders on the way are created.
// Several sources go into the destination as a folder.
//
// Shown unless a flag says otherwise: the progress window (FOF_SILENT: none),
// the replace question with Yes, Yes to all, No and Cancel
// (FOF_NOCONFIRMATION: Yes to all), and a message for any failure
// (FOF_NOERRORUI: none); FOF_FILESONLY, FOF_SIMPLEPROGRESS,
// FOF_NOCONFIRMMKDIR and FOF_ALLOWUNDO change nothing here (no wildcards, no
// folder question, no undo).
//
// Each file is written under a temporary name and renamed into place, so a
// failure or a cancel never leaves a half-copied file under its name; the
// copy keeps the source's modification time, its read-only state and its run
// bit, and takes the rest of its permissions from the umask.
//
// Result 0 on success (also when some files were skipped with No); else
// ERROR_CANCELLED (1223) after Cancel, with fAnyOperationsAborted TRUE (also
// set for No); ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a missing
// source; the Windows error of a failed file (the copy stops there, what was
// copied stays); DE_SAMEFILE or DE_DESTSUBTREE for a copy onto or into
// itself; ERROR_NOT_SUPPORTED for another function or FOF_RENAMEONCOLLISION /
// FOF_WANTMAPPINGHANDLE; ERROR_INVALID_PARAMETER for a null record or pFrom.
int WINAPI SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp);

constexpr int DE_SAMEFILE = 0x71;
constexpr int DE_DESTSUBTREE = 0x76;
