#include "uNIiNSTALL.h"

#include <codepage.h>
#include <fileapi.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wingdi.h>
#include <winuser.h>

#include "Application.h"
#include "ComObj.h"

namespace {

// A list of one name for the shell's file operations: the name, its NUL and
// the NUL that ends the list.
std::string NameList(const std::string& name) { return name + std::string(2, '\0'); }

// The part of a path after its last backslash or colon (the file name), and
// the part up to and including it (the folder, with its backslash).
std::size_t NameStart(const std::string& path) {
  std::size_t delimiter = path.find_last_of("\\:");
  return delimiter == std::string::npos ? 0 : delimiter + 1;
}
std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }
std::string FolderOf(const std::string& path) { return path.substr(0, NameStart(path)); }

// From the last dot of the file name, or empty when the name has none.
std::string ExtensionOf(const std::string& path) {
  std::size_t dot = path.find_last_of(".\\:");
  if (dot == std::string::npos || path[dot] != '.') return {};
  return path.substr(dot);
}

// The owner of the shell's messages: the application's main window when
// there is one.
HWND ApplicationWindow() {
  TCustomForm* main = Application->MainForm();
  return main && main->HandleAllocated() ? main->Handle() : nullptr;
}

std::u16string ToUtf16(const std::string& ansi) {
  int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  if (size <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size) - 1);
  return wide;
}

// The desktop's file-system folder, empty when it cannot be had.
std::string DesktopFolder() {
  LPITEMIDLIST list = nullptr;
  char path[261] = "";
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &list))) {
    SHGetPathFromIDListA(list, path);
  }
  ILFree(list);
  return path;
}

}  // namespace

bool CopyFolder(const std::string& source, const std::string& destination) {
  std::string from = NameList(source);
  std::string to = NameList(destination);
  SHFILEOPSTRUCTA operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_COPY;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  // Nothing silent: the shell shows its progress, questions and errors.
  operation.fFlags = FOF_FILESONLY;
  return SHFileOperationA(&operation) == 0;
}

// Between looks at the exit code the thread blocks until the program ends or
// a message arrives, so the window stays responsive without spinning. A
// program that can no longer be asked (no handle came back) counts as ended.
bool RunAndWait(const std::string& file, const std::string& parameters) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = kShellExecuteInfo32Size;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = ApplicationWindow();
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExA(&info)) return false;
  HANDLE process = info.hProcess;
  for (;;) {
    Application->ProcessMessages();
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode) || exitCode != STILL_ACTIVE || Application->Terminated()) break;
    if (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT) == WAIT_FAILED) break;
  }
  if (process) CloseHandle(process);
  return true;
}

void CreateDesktopShortcut(const std::string& target) {
  TComRef<IUnknown> object(CreateComObject(CLSID_ShellLink));
  TComRef<IShellLinkA> link(QueryComInterface<IShellLinkA>(object.Get(), IID_IShellLinkA));
  TComRef<IPersistFile> file(QueryComInterface<IPersistFile>(object.Get(), IID_IPersistFile));
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(FolderOf(target).c_str());
  // Without a desktop folder there is nowhere to put the shortcut: saving
  // to "\ostrivel.lnk" would drop it in the root of the current drive.
  std::string desktop = DesktopFolder();
  if (desktop.empty()) return;
  std::u16string name = ToUtf16(desktop + "\\ostrivel.lnk");
  file->Save(name.c_str(), FALSE);
}

// The copy, the resource file and the addition each fail quietly; the font
// is added and the windows told also when it was in place already.
void InstallFont(const std::string& source) {
  char windows[260] = "";
  GetWindowsDirectoryA(windows, sizeof windows);
  std::string destination = std::string(windows) + "\\Fonts\\" + FileNameOf(source);
  CopyFileA(source.c_str(), destination.c_str(), TRUE);
  if (ExtensionOf(source) == ".ttf") {
    std::string resource = destination.substr(0, destination.size() - 3) + "fot";
    CreateScalableFontResourceA(0, resource.c_str(), destination.c_str(), nullptr);
  }
  AddFontResourceA(destination.c_str());
  SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}
