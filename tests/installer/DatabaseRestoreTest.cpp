// Restores from a chosen backup against the stand-in (the statement it
// receives byte for byte, a quote in the name, a cancel, a failure in the
// standard error box), and the settings reset.
#ifdef QORV_INSTALLER_ACTIONS

#include <gtest/gtest.h>

#include "Button.h"
#include "InstallerActionsFixture.h"
#include "SpeedButton.h"

namespace {

using namespace qorv::test;

const std::string kRestoreDone = "فايل پشتيبان با موفقيت آميز بازيابي شد";
const std::string kOffScreenRestoreDone = "فايل پشتيبان موفقيت آميز احيا شد";
const std::string kResetDone = "تنظيمات ديتابيس با موفقيت تغيير يافت";

class DatabaseRestore : public InstallerActions {
 protected:
  void SetUp() override {
    InstallerActions::SetUp();
    if (HasFatalFailure()) return;
    backup_ = ReadFileBytes(Medium() / "Samples" / "Ostrivel.bak");
  }
  void PutBackup(const std::string& windowsPath) {
    fs::path path = Linux(windowsPath);
    fs::create_directories(path.parent_path());
    WriteFileBytes(path, std::string(backup_.begin(), backup_.end()));
  }
  // The boxes other than the file dialog.
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes_) {
      if (box.Caption != "Open") texts.push_back(box.Text);
    }
    return texts;
  }
  // The button outside the page, reached by moving the focus to it.
  void PressButton5() {
    TForm1& window = Window();
    window.Button5->SetFocus();
    PostKey(window, VK_SPACE);
    Application->ProcessMessages();
  }
  std::vector<unsigned char> backup_;
};

// The name is quoted for the server: a quote in it is doubled, and the
// statement goes to the main database's restore.
TEST_F(DatabaseRestore, RestoresTheChosenFileWithAQuoteInItsName) {
  PutBackup("D:\\Backup\\Ali's data.bak");
  std::size_t start = BatchCount();
  ThenType("D:\\Backup\\Ali's data.bak");
  Click(Window().SpeedButton4);
  EXPECT_EQ(BatchesSince(start),
            std::vector<std::string>{"RESTORE DATABASE ostrivel FROM DISK='D:\\Backup\\Ali''s data.bak'"});
  EXPECT_EQ(Messages(), std::vector<std::string>{kRestoreDone});
}

// The network page's button does the same; a cancelled dialog sends nothing
// and says nothing.
TEST_F(DatabaseRestore, CancelSendsNothing) {
  std::size_t start = BatchCount();
  ThenKey(VK_ESCAPE);
  Click(Window().SpeedButton8);
  EXPECT_TRUE(BatchesSince(start).empty());
  EXPECT_TRUE(Messages().empty());
  ASSERT_EQ(boxes_.size(), 1u) << "the dialog was shown";
}

// A restore the server refuses ends in the standard error box with the
// server's message; the success message does not appear.
TEST_F(DatabaseRestore, RefusedRestoreShowsTheServersMessage) {
  WriteFileBytes(Linux("D:\\broken.bak"), "not a backup");
  ThenType("D:\\broken.bak");
  Click(Window().SpeedButton4);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("D:\\broken.bak"), std::string::npos) << Messages()[0];
  EXPECT_NE(Messages()[0], kRestoreDone);
}

// The off-screen button restores "mydatabase1" from the chosen name with
// MYBACKUP appended to it directly.
TEST_F(DatabaseRestore, OffScreenRestoreAppendsMyBackup) {
  PutBackup("D:\\b.bak");
  PutBackup("D:\\b.bakMYBACKUP");
  std::size_t start = BatchCount();
  ThenType("D:\\b.bak");
  PressButton5();
  EXPECT_EQ(BatchesSince(start),
            std::vector<std::string>{"RESTORE DATABASE mydatabase1 FROM DISK='D:\\b.bakMYBACKUP'"});
  EXPECT_EQ(Messages(), std::vector<std::string>{kOffScreenRestoreDone});
}

// The two settings files go; the message comes also when neither is there.
TEST_F(DatabaseRestore, SettingsResetDeletesBothFiles) {
  WriteFileBytes(Linux("C:\\Windows\\sisdisk35.kdf"), "settings");
  WriteFileBytes(Linux("C:\\Windows\\sispisk35.kdf"), "settings");
  WriteFileBytes(Linux("C:\\Windows\\other.kdf"), "kept");
  Click(Window().SpeedButton10);
  EXPECT_FALSE(fs::exists(Linux("C:\\Windows\\sisdisk35.kdf")));
  EXPECT_FALSE(fs::exists(Linux("C:\\Windows\\sispisk35.kdf")));
  EXPECT_TRUE(fs::exists(Linux("C:\\Windows\\other.kdf")));
  Click(Window().SpeedButton10);
  EXPECT_EQ(Messages(), (std::vector<std::string>{kResetDone, kResetDone}));
}

}  // namespace

#endif
