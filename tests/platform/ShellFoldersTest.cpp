// The shell's special folders: the system root's folders, as paths and as
// item lists.
#include <gtest/gtest.h>

#include <filesystem>

#include "objbase.h"
#include "shfolder.h"
#include "systemroot.h"
#include "windows.h"

namespace fs = std::filesystem;

TEST(ShellFolders, SpecialFoldersAreTheRootsFolders) {
  struct Case {
    int Csidl;
    const char* Path;
  } cases[] = {
      {CSIDL_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
      {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
      {CSIDL_DESKTOP, "C:\\Users\\Public\\Desktop"},
      {CSIDL_FONTS, "C:\\Windows\\Fonts"},
      {CSIDL_WINDOWS, "C:\\Windows"},
      {CSIDL_SYSTEM, "C:\\Windows\\System32"},
  };
  for (const Case& c : cases) {
    char path[MAX_PATH] = "x";
    EXPECT_EQ(SHGetFolderPathA(nullptr, c.Csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK) << c.Csidl;
    EXPECT_STREQ(path, c.Path);
    LPITEMIDLIST list = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, c.Csidl, &list), S_OK) << c.Csidl;
    char fromList[MAX_PATH + 1] = {};
    EXPECT_TRUE(SHGetPathFromIDListA(list, fromList));
    EXPECT_STREQ(fromList, c.Path);
    ILFree(list);
  }
  char windows[MAX_PATH] = {};
  EXPECT_EQ(GetWindowsDirectoryA(windows, MAX_PATH), 10u);
  EXPECT_STREQ(windows, "C:\\Windows");
}

// The desktop gone: the calls fail and hand out nothing, unless asked to
// make it again.
TEST(ShellFolders, MissingFolderFailsUnlessCreateIsAsked) {
  auto desktop = qorv::platform::WindowsToLinuxPath("C:\\Users\\Public\\Desktop");
  ASSERT_TRUE(desktop);
  fs::remove_all(*desktop);
  LPITEMIDLIST list = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &list),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(list, nullptr);
  char path[MAX_PATH] = "x";
  EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE));
  EXPECT_STREQ(path, "");
  EXPECT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, TRUE));
  EXPECT_STREQ(path, "C:\\Users\\Public\\Desktop");
  EXPECT_TRUE(fs::is_directory(*desktop));
}

TEST(ShellFolders, BadArgumentsAndForeignListsAreRefused) {
  char path[MAX_PATH] = "x";
  EXPECT_EQ(SHGetFolderPathA(nullptr, 0x0005, nullptr, 0, path), E_INVALIDARG) << "a folder the root does not have";
  EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_FONTS, nullptr), E_INVALIDARG);
  EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
  EXPECT_STREQ(path, "");
  // An item list of someone else's: one item of four bytes, then the end.
  BYTE foreign[8] = {6, 0, 'a', 'b', 'c', 'd', 0, 0};
  strcpy(path, "x");
  EXPECT_FALSE(SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(foreign), path));
  EXPECT_STREQ(path, "");
}
