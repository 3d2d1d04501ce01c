// CreateDesktopShortcut: the shortcut on the system root's desktop, read
// back with lnkinfo; made twice, one file; without COM, the error; without a
// desktop folder, no shortcut anywhere.
#include <gtest/gtest.h>

#include <fileapi.h>
#include <objbase.h>
#include <systemroot.h>

#include <filesystem>

#include "ComObj.h"
#include "LnkInfo.h"
#include "TestSupport.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;

namespace {

fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

std::vector<std::string> DesktopFiles() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Linux("C:\\Users\\Public\\Desktop"))) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

class DesktopShortcut : public testing::Test {
 protected:
  void SetUp() override {
    // The installer's target drive, with the program installed on it.
    fs::path drive = qorv::platform::SystemRootPath() / "drive_d";
    ASSERT_TRUE(qorv::platform::ConfigureDrive('D', drive, qorv::platform::DriveKind::Fixed));
    fs::create_directories(drive / "Ostrivel");
    qorv::test::WriteFileBytes(drive / "Ostrivel" / "Ostrivel.exe", std::string(4321, 'p'));
  }
};

class DesktopShortcutWithCom : public DesktopShortcut {
 protected:
  void SetUp() override {
    DesktopShortcut::SetUp();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override { CoUninitialize(); }
};

}  // namespace

// Made twice for the same target: one "ostrivel.lnk", starting the target in
// its folder, nothing else set.
TEST_F(DesktopShortcutWithCom, TwiceLeavesOneShortcut) {
  CreateDesktopShortcut("D:\\Ostrivel\\Ostrivel.exe");
  CreateDesktopShortcut("D:\\Ostrivel\\Ostrivel.exe");
  EXPECT_EQ(DesktopFiles(), std::vector<std::string>{"ostrivel.lnk"});
  if (!qorv::test::LnkInfoInstalled()) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  auto fields = qorv::test::LnkInfoFields(Linux("C:\\Users\\Public\\Desktop\\ostrivel.lnk"));
  ASSERT_TRUE(fields) << "lnkinfo could not read the shortcut";
  EXPECT_EQ((*fields)["Local path"], "D:\\Ostrivel\\Ostrivel.exe");
  EXPECT_EQ((*fields)["Working directory"], "D:\\Ostrivel\\");
  EXPECT_EQ((*fields)["File size"], "4321 bytes");
  EXPECT_EQ(fields->count("Description"), 0u);
  EXPECT_EQ(fields->count("Command line arguments"), 0u);
  EXPECT_EQ(fields->count("Icon location"), 0u);
}

// Without a desktop folder the shortcut goes nowhere (not to the root of the
// current drive), and no error is raised.
TEST_F(DesktopShortcutWithCom, NoDesktopFolderLeavesNoShortcut) {
  fs::remove_all(Linux("C:\\Users\\Public\\Desktop"));
  ASSERT_TRUE(SetCurrentDirectoryA("D:\\Ostrivel"));
  EXPECT_NO_THROW(CreateDesktopShortcut("D:\\Ostrivel\\Ostrivel.exe"));
  EXPECT_FALSE(fs::exists(Linux("C:\\Users\\Public\\Desktop")));
  EXPECT_FALSE(fs::exists(Linux("D:\\ostrivel.lnk")));
  EXPECT_FALSE(fs::exists(Linux("C:\\ostrivel.lnk")));
}

// The shell link object cannot be made outside COM: the error carries the
// result, and nothing is written.
TEST_F(DesktopShortcut, WithoutComTheErrorIsRaised) {
  try {
    CreateDesktopShortcut("D:\\Ostrivel\\Ostrivel.exe");
    FAIL() << "no error";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), CO_E_NOTINITIALIZED);
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_TRUE(DesktopFiles().empty());
}
