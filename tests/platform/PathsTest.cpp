#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "TestSupport.h"
#include "fileapi.h"
#include "synch.h"
#include "systemroot.h"
#include "winerror.h"

namespace {

using qorv::platform::DriveKind;
namespace fs = std::filesystem;

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

std::string FullPath(const char* name) {
  char buffer[MAX_PATH];
  DWORD n = GetFullPathNameA(name, sizeof buffer, buffer, nullptr);
  return n ? std::string(buffer, n) : "<error " + std::to_string(GetLastError()) + ">";
}

// Relative names, drive-relative names, '/' and '.'/'..' all normalise to one
// full path; '..' never climbs above the drive root.
TEST(PlatformPathNormalising, ResolvesAgainstCurrentDirectory) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Work", nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA("c:/work/"));
  struct {
    const char* In;
    const char* Out;
  } cases[] = {
      {"a.txt", "C:\\work\\a.txt"},    {".\\sub\\..\\b.txt", "C:\\work\\b.txt"},
      {"\\root.txt", "C:\\root.txt"},  {"C:rel.txt", "C:\\work\\rel.txt"},
      {"D:rel.txt", "D:\\rel.txt"},    {"d:/x//y/", "D:\\x\\y\\"},
      {"C:\\..\\..\\up", "C:\\up"},    {"C:\\name. . ", "C:\\name"},
      {"\\\\?\\C:\\long", "C:\\long"},
  };
  for (const auto& c : cases) EXPECT_EQ(FullPath(c.In), c.Out) << c.In;
  char current[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof current, current), 7u);
  EXPECT_STREQ(current, "C:\\work");  // as typed, as Windows keeps it
}

// Characters Windows refuses in names are refused before any file is touched.
TEST(PlatformPathNormalising, RefusesInvalidNames) {
  for (const char* bad : {"a*b", "what?", "C:\\a<b", "x|y", "say\"hi\"", "ab:c", "tab\there", "\\\\server\\share"}) {
    EXPECT_EQ(GetFileAttributesA(bad), INVALID_FILE_ATTRIBUTES) << bad;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << bad;
  }
  EXPECT_EQ(CreateFileA("", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // MAX_PATH bounds the full name, terminator included.
  std::string longest = "C:\\" + std::string(127, 'n') + "\\" + std::string(MAX_PATH - 4 - 128, 'n');
  EXPECT_EQ(GetFileAttributesA(longest.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  longest += 'n';
  EXPECT_EQ(GetFileAttributesA(longest.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

// Each existing component is found whatever its case; the exact name wins when
// it exists; missing components are kept as written.
TEST(PlatformPathMapping, MatchesComponentsIgnoringCase) {
  fs::create_directories(DriveC() / "Ostrivel/Data");
  fs::create_directories(DriveC() / "Ostrivel/data");
  auto mapped = qorv::platform::WindowsToLinuxPath("c:\\OSTRIVEL\\Data\\New File.mdf");
  ASSERT_TRUE(mapped);
  EXPECT_EQ(*mapped, DriveC() / "Ostrivel/Data/New File.mdf");
  EXPECT_EQ(*qorv::platform::WindowsToLinuxPath("C:\\ostrivel\\data"), DriveC() / "Ostrivel/data");
  EXPECT_EQ(*qorv::platform::WindowsToLinuxPath("C:\\windows\\SYSTEM32"), DriveC() / "Windows/System32");
  EXPECT_EQ(*qorv::platform::WindowsToLinuxPath("C:\\Missing\\Sub"), DriveC() / "Missing/Sub");
}

// 8-bit names are code page 1256 on the Windows side and UTF-8 on disk, both ways.
TEST(PlatformPathMapping, PersianNamesBecomeUtf8AndBack) {
  const std::string ansi = "C:\\\xdd\xc7\xed\xe1";  // "فايل" (Arabic yeh, as code page 1256 has it)
  HANDLE file = CreateFileA(ansi.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(DriveC() / "\xd9\x81\xd8\xa7\xd9\x8a\xd9\x84"));
  EXPECT_EQ(qorv::platform::LinuxToWindowsPath(DriveC() / "\xd9\x81\xd8\xa7\xd9\x8a\xd9\x84"), ansi);
}

// Paths go through the drive map: an absent drive has no paths, a CD drive
// without a medium is not ready, and the longest mapped folder answers back.
TEST(PlatformPathMapping, DriveMapDecidesWhereAndWhether) {
  EXPECT_FALSE(qorv::platform::WindowsToLinuxPath("D:\\Ostrivel"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  ASSERT_TRUE(qorv::platform::ConfigureDrive('E', "", DriveKind::Cdrom));
  EXPECT_FALSE(qorv::platform::WindowsToLinuxPath("E:\\setup.exe"));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  ASSERT_TRUE(qorv::platform::ConfigureDrive('d', DriveC() / "inner", DriveKind::Fixed));
  EXPECT_EQ(*qorv::platform::WindowsToLinuxPath("D:\\x"), DriveC() / "inner/x");
  EXPECT_EQ(qorv::platform::LinuxToWindowsPath(DriveC() / "inner/x"), "D:\\x");
  EXPECT_EQ(qorv::platform::LinuxToWindowsPath(DriveC() / "other"), "C:\\other");
  EXPECT_FALSE(qorv::platform::LinuxToWindowsPath("/proc/self"));
}

// Only a drive's root has a type; absent drives and longer paths have none.
TEST(PlatformDrives, ReportsTypeOfEachConfiguredRoot) {
  ASSERT_TRUE(qorv::platform::ConfigureDrive('D', "drive_d", DriveKind::Fixed));
  ASSERT_TRUE(qorv::platform::ConfigureDrive('E', "cd", DriveKind::Cdrom));
  ASSERT_TRUE(qorv::platform::ConfigureDrive('F', "usb", DriveKind::Removable));
  struct {
    const char* Root;
    UINT Type;
  } cases[] = {{"C:\\", DRIVE_FIXED},
               {"d:\\", DRIVE_FIXED},
               {"D:", DRIVE_FIXED},
               {"E:\\", DRIVE_CDROM},
               {"F:\\", DRIVE_REMOVABLE},
               {"G:\\", DRIVE_NO_ROOT_DIR},
               {"C:\\Windows", DRIVE_NO_ROOT_DIR},
               {"1:\\", DRIVE_NO_ROOT_DIR},
               {nullptr, DRIVE_FIXED}};
  for (const auto& c : cases) EXPECT_EQ(GetDriveTypeA(c.Root), c.Type) << (c.Root ? c.Root : "null");
  ASSERT_TRUE(qorv::platform::ConfigureDrive('D', "", DriveKind::Absent));
  EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_NO_ROOT_DIR);
}

// The buffer contract shared by the path queries: exactly big enough works,
// one short answers the size needed (terminator included) and writes nothing.
TEST(PlatformPathBuffers, TooSmallAnswersNeededSizeAndLeavesBuffer) {
  const std::string windows = "C:\\Windows";
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(GetWindowsDirectoryA(buffer, static_cast<UINT>(windows.size())), windows.size() + 1);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(GetWindowsDirectoryA(buffer, static_cast<UINT>(windows.size() + 1)), windows.size());
  EXPECT_EQ(buffer, windows);
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 19u);
  EXPECT_STREQ(buffer, "C:\\Windows\\System32");
  EXPECT_EQ(GetTempPathA(0, nullptr), 17u);
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 16u);
  EXPECT_EQ(GetFileAttributesA(buffer), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetCurrentDirectoryA(3, buffer), 4u);
  LPSTR filePart = nullptr;
  EXPECT_EQ(GetFullPathNameA("C:\\a\\b.txt", sizeof buffer, buffer, &filePart), 10u);
  EXPECT_STREQ(filePart, "b.txt");
  EXPECT_EQ(GetFullPathNameA("C:\\a\\", sizeof buffer, buffer, &filePart), 5u);
  EXPECT_EQ(filePart, nullptr);
}

// A path whose names are short already comes back as written, even in
// place; the file must exist.
TEST(PlatformPathBuffers, ShortPathIsLongPathOfExistingFile) {
  char buffer[MAX_PATH] = "C:\\Windows\\System32";
  EXPECT_EQ(GetShortPathNameA(buffer, buffer, sizeof buffer), 19u);
  EXPECT_STREQ(buffer, "C:\\Windows\\System32");
  EXPECT_EQ(GetShortPathNameA("C:\\Windows", buffer, 5), 11u);
  EXPECT_EQ(GetShortPathNameA("C:\\Windows\\none.dll", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetShortPathNameA("C:\\none\\none.dll", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// The current directory changes only to an existing folder.
TEST(PlatformCurrentDirectory, RefusesMissingFoldersAndFiles) {
  std::ofstream(DriveC() / "file.txt") << "x";
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\nowhere"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\file.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_FALSE(SetCurrentDirectoryA("D:\\"));
  EXPECT_EQ(qorv::platform::CurrentWindowsDirectory(), "C:\\");
  EXPECT_TRUE(SetCurrentDirectoryA("windows\\system32"));
  EXPECT_EQ(qorv::platform::CurrentWindowsDirectory(), "C:\\windows\\system32");
  EXPECT_EQ(GetFileAttributesA("..\\Fonts"), FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
