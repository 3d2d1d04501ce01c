// The shell's special folders: each is a folder of the system root's drive
// C: (the desktop is C:\Users\Public\Desktop, the only desktop there is).
#pragma once

#include "shlobj.h"

constexpr int CSIDL_DESKTOP = 0x0000;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
constexpr int CSIDL_FONTS = 0x0014;
constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;
// Or'ed into a CSIDL: make the folder when it is missing.
constexpr int CSIDL_FLAG_CREATE = 0x8000;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;
constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// The folder's path into pszPath (MAX_PATH characters). S_OK; E_INVALIDARG for
// a CSIDL not listed above or a null pszPath; HRESULT_FROM_WIN32
// (ERROR_FILE_NOT_FOUND) with pszPath empty when the folder does not exist and
// CSIDL_FLAG_CREATE is not given.
HRESULT WINAPI SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath);
// The same as a BOOL; fCreate as CSIDL_FLAG_CREATE.
BOOL WINAPI SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate);

// The folder as an item list that names its path; the caller frees it with
// ILFree or CoTaskMemFree. Results as SHGetFolderPathA; *ppidl is null on
// failure.
HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl, LPITEMIDLIST* ppidl);
// The path of a list made by SHGetSpecialFolderLocation into pszPath
// (MAX_PATH characters). FALSE, with pszPath empty, for a null or foreign
// list.
BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
void WINAPI ILFree(LPITEMIDLIST pidl);
