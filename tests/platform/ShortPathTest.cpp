// 8.3 short paths: GetShortPathNameA gives the short form of a path with
// blanks, and every path call takes that form back to the same file, since
// registration writes it into InprocServer32 and the loader opens it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TestSupport.h"
#include "fileapi.h"
#include "synch.h"
#include "systemroot.h"
#include "winerror.h"

namespace {

namespace fs = std::filesystem;

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH];
  DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  return n && n < sizeof buffer ? std::string(buffer, n) : "<error " + std::to_string(GetLastError()) + ">";
}

void Touch(const fs::path& path, const std::string& text = "x") {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

}  // namespace

// Each long component becomes stem~n.ext; names that are short already stay
// as written, and so do the drive and the separators.
TEST(PlatformShortPaths, LongComponentsGetTheirShortNames) {
  Touch(DriveC() / "Program Files/Qorv Proj1/QorvProj1.ocx");
  EXPECT_EQ(ShortPath("C:\\Program Files\\Qorv Proj1\\QorvProj1.ocx"), "C:\\PROGRA~1\\QORVPR~1\\QORVPR~1.OCX");
  EXPECT_EQ(ShortPath("c:/Program Files/Qorv Proj1"), "c:/PROGRA~1/QORVPR~1");
  Touch(DriveC() / "Data/a.txt");
  EXPECT_EQ(ShortPath("C:\\Data\\a.txt"), "C:\\Data\\a.txt");
  // Blanks, extra points and characters 8.3 names refuse are dropped or
  // replaced; a long extension is cut to three.
  Touch(DriveC() / "x.y z+w.jpeg");
  EXPECT_EQ(ShortPath("C:\\x.y z+w.jpeg"), "C:\\XYZ_W~1.JPE");
}

// Names sharing a stem are numbered in name order, the same answer every
// time; from the tenth on the stem gives way to the longer number.
TEST(PlatformShortPaths, SiblingsWithOneStemAreNumberedInNameOrder) {
  for (int i = 1; i <= 11; ++i) fs::create_directories(DriveC() / ("Qorv Item " + std::to_string(i)));
  // Name order: "Qorv Item 1", "Qorv Item 10", "Qorv Item 11", "Qorv Item 2" ...
  EXPECT_EQ(ShortPath("C:\\Qorv Item 1"), "C:\\QORVIT~1");
  EXPECT_EQ(ShortPath("C:\\Qorv Item 10"), "C:\\QORVIT~2");
  EXPECT_EQ(ShortPath("C:\\Qorv Item 2"), "C:\\QORVIT~4");
  EXPECT_EQ(ShortPath("C:\\Qorv Item 9"), "C:\\QORVI~11");
  EXPECT_EQ(ShortPath("C:\\Qorv Item 9"), ShortPath("C:\\Qorv Item 9"));
  EXPECT_EQ(GetFileAttributesA("C:\\QORVI~11"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA("C:\\QORVIT~9"), FILE_ATTRIBUTE_DIRECTORY);
}

// The short form opens, reads, lists and loads the same file as the long one,
// in any case.
TEST(PlatformShortPaths, EveryPathCallTakesTheShortForm) {
  Touch(DriveC() / "Program Files/Qorv Proj1/Read Me.txt", "hello");
  const std::string shortPath = ShortPath("C:\\Program Files\\Qorv Proj1\\Read Me.txt");
  ASSERT_EQ(shortPath, "C:\\PROGRA~1\\QORVPR~1\\README~1.TXT");

  HANDLE file =
      CreateFileA("c:\\progra~1\\qorvpr~1\\readme~1.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  char text[16] = {};
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(file, text, sizeof text, &read, nullptr));
  EXPECT_EQ(std::string(text, read), "hello");
  CloseHandle(file);

  EXPECT_EQ(GetFileAttributesA(shortPath.c_str()), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(CopyFileA(shortPath.c_str(), "C:\\PROGRA~1\\copy.txt", TRUE));
  EXPECT_TRUE(fs::exists(DriveC() / "Program Files/copy.txt"));
  auto linux = qorv::platform::WindowsToLinuxPath(shortPath);
  ASSERT_TRUE(linux);
  EXPECT_EQ(*linux, DriveC() / "Program Files/Qorv Proj1/Read Me.txt");

  fs::copy_file(QORV_TEST_MODULE, DriveC() / "Program Files/Qorv Proj1/Test Module.ocx");
  HMODULE module = LoadLibraryA("C:\\PROGRA~1\\QORVPR~1\\TESTMO~1.OCX");
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_TRUE(FreeLibrary(module));
}

// A short name that stands for nothing is a missing file, and a name that
// merely looks short is no short name of anything.
TEST(PlatformShortPaths, UnknownShortNamesAreMissing) {
  Touch(DriveC() / "Program Files/x.txt");
  EXPECT_EQ(GetFileAttributesA("C:\\PROGRA~2\\x.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA("C:\\PROGRA~1\\NOTHIN~1.TXT"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ShortPath("C:\\Program Files\\none.txt"), "<error 2>");
  // Creating a file under a short name that names nothing creates that name.
  HANDLE file = CreateFileA("C:\\ABC~1.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(DriveC() / "ABC~1.TXT"));
}

// The buffer rules of the other path calls: too small answers the size
// needed with the terminator and leaves the buffer alone; in place works.
TEST(PlatformShortPaths, BufferRulesHold) {
  Touch(DriveC() / "Program Files/Qorv Proj1/QorvProj1.ocx");
  char buffer[MAX_PATH] = "C:\\Program Files\\Qorv Proj1\\QorvProj1.ocx";
  EXPECT_EQ(GetShortPathNameA(buffer, buffer, sizeof buffer), 33u);
  EXPECT_STREQ(buffer, "C:\\PROGRA~1\\QORVPR~1\\QORVPR~1.OCX");
  char small[8] = "keep";
  EXPECT_EQ(GetShortPathNameA("C:\\Program Files\\Qorv Proj1", small, sizeof small), 21u);
  EXPECT_STREQ(small, "keep");
}
