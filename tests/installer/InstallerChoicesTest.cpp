// The choices the install actions share: the target drive from the types of
// D: and E:, the system folder from a folder test made afresh, and the
// progress bar rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "InstallerWindowFixture.h"
#include "ProgressBar.h"

using namespace qorv::test;
using qorv::platform::DriveKind;
namespace fs = std::filesystem;

// D: when it is fixed, else E: when it is fixed, else C: without a look at
// C: itself (a root whose C: is not fixed still gets C:).
TEST_F(InstallerWindowTest, TargetDriveFollowsTheDriveTypes) {
  struct Case {
    const char* Name;
    DriveKind D, E;
    bool DFixed, EFixed;
    char Drive;
  } cases[] = {
      {"D fixed", DriveKind::Fixed, DriveKind::Absent, true, false, 'D'},
      {"D and E fixed", DriveKind::Fixed, DriveKind::Fixed, true, true, 'D'},
      {"D a CD, E fixed", DriveKind::Cdrom, DriveKind::Fixed, false, true, 'E'},
      {"D removable, E fixed", DriveKind::Removable, DriveKind::Fixed, false, true, 'E'},
      {"D absent, E a CD", DriveKind::Absent, DriveKind::Cdrom, false, false, 'C'},
      {"neither", DriveKind::Absent, DriveKind::Absent, false, false, 'C'},
  };
  TForm1& window = Window();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(qorv::platform::ConfigureDrive('D', "drive_d", c.D));
    ASSERT_TRUE(qorv::platform::ConfigureDrive('E', "drive_e", c.E));
    EXPECT_EQ(window.IsDriveDFixed(), c.DFixed);
    EXPECT_EQ(window.IsDriveEFixed(), c.EFixed);
    EXPECT_EQ(window.TargetDrive(), c.Drive);
  }
  ASSERT_TRUE(qorv::platform::ConfigureDrive('C', "drive_c", DriveKind::Cdrom));
  EXPECT_EQ(window.TargetDrive(), 'C');
}

// Each use looks again: the folder made after the window was shown counts,
// and a file of that name is not a folder.
TEST_F(InstallerWindowTest, SystemFolderIsTestedAtEachUse) {
  Window();
  EXPECT_EQ(TForm1::SystemFolder(), "C:\\Windows\\System32");
  WriteFileBytes(Linux("C:\\Windows\\SysWOW64"), "not a folder");
  EXPECT_EQ(TForm1::SystemFolder(), "C:\\Windows\\System32");
  fs::remove(Linux("C:\\Windows\\SysWOW64"));
  fs::create_directories(Linux("C:\\Windows\\SysWOW64"));
  EXPECT_EQ(TForm1::SystemFolder(), "C:\\Windows\\SysWOW64");
}

// The bar that start-up left at 5 starts again at 0 with the action's total,
// counts every step, and keeps its place when hidden; the next action starts
// it afresh.
TEST_F(InstallerWindowTest, ProgressStartsAtZeroAndKeepsItsPlace) {
  TForm1& window = Window();
  TProgressBar& bar = *window.ProgressBar1;
  ASSERT_EQ(bar.Position(), 5);
  window.StartProgress(42);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.Max(), 42);
  EXPECT_TRUE(bar.Visible());
  for (int i = 0; i < 35; ++i) window.StepProgress();
  EXPECT_EQ(bar.Position(), 35);
  window.EndProgress();
  EXPECT_FALSE(bar.Visible());
  EXPECT_EQ(bar.Position(), 35);
  EXPECT_EQ(bar.Max(), 42);
  window.StartProgress(35);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.Max(), 35);
}
