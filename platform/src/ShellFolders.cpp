// The shell's special folders over the system root.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "NoThrow.h"
#include "ShellItemList.h"
#include "fileapi.h"
#include "objbase.h"
#include "shfolder.h"
#include "systemroot.h"
#include "winerror.h"

using namespace qorv::platform;

namespace {

std::optional<std::string> WindowsPathOf(int csidl) {
  switch (csidl & ~CSIDL_FLAG_CREATE) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
    case CSIDL_COMMON_DESKTOPDIRECTORY: return DesktopFolder();
    case CSIDL_FONTS: return FontFolder();
    case CSIDL_WINDOWS: return WindowsFolder();
    case CSIDL_SYSTEM: return SystemFolder();
    default: return std::nullopt;
  }
}

// The folder's Windows path once it exists (made first when `create`).
HRESULT ResolveFolder(int csidl, bool create, std::string& path) {
  auto windows = WindowsPathOf(csidl);
  if (!windows) return E_INVALIDARG;
  auto linux = WindowsToLinuxPath(*windows);
  if (!linux) return HRESULT_FROM_WIN32(GetLastError());
  struct stat st;
  if (::stat(linux->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (!create) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    std::error_code error;
    std::filesystem::create_directories(*linux, error);
    if (error) return HRESULT_FROM_WIN32(ErrorFromErrno(error.value()));
  }
  path = *windows;
  return S_OK;
}

void CopyOut(const std::string& text, LPSTR buffer) {
  std::size_t n = std::min<std::size_t>(text.size(), MAX_PATH - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

}  // namespace

HRESULT WINAPI SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR pszPath) {
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    if (pszPath == nullptr) return E_INVALIDARG;
    *pszPath = '\0';
    std::string path;
    HRESULT hr = ResolveFolder(csidl, (csidl & CSIDL_FLAG_CREATE) != 0, path);
    if (SUCCEEDED(hr)) CopyOut(path, pszPath);
    return hr;
  });
}

BOOL WINAPI SHGetSpecialFolderPathA(HWND hwnd, LPSTR pszPath, int csidl, BOOL fCreate) {
  return SUCCEEDED(SHGetFolderPathA(hwnd, csidl | (fCreate ? CSIDL_FLAG_CREATE : 0), nullptr, 0, pszPath)) ? TRUE
                                                                                                           : FALSE;
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* ppidl) {
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    if (ppidl == nullptr) return E_INVALIDARG;
    *ppidl = nullptr;
    std::string path;
    HRESULT hr = ResolveFolder(csidl, (csidl & CSIDL_FLAG_CREATE) != 0, path);
    if (FAILED(hr)) return hr;
    *ppidl = MakePathItemList(path);
    return *ppidl ? S_OK : E_OUTOFMEMORY;
  });
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    if (pszPath == nullptr) return FALSE;
    *pszPath = '\0';
    auto path = PathOfItemList(pidl);
    if (!path) return FALSE;
    CopyOut(*path, pszPath);
    return TRUE;
  });
}

void WINAPI ILFree(LPITEMIDLIST pidl) { CoTaskMemFree(pidl); }
