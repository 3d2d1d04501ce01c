// The two "install database" buttons on a copy of the sample medium: the
// engine folder copied under the target root (with the replacement question
// once it is there), and the setup started from that copy, not waited for.
#ifdef QORV_INSTALLER_ACTIONS

#include <gtest/gtest.h>

#include "InstallerActionsFixture.h"
#include "SpeedButton.h"

namespace {

using namespace qorv::test;

const std::string kQuestion = "فايل هاي بانک اطلاعاتي در سيستم يافت شد آيا فايل ها جايگزين شوند؟";

std::string Text(const fs::path& path) {
  if (!fs::exists(path)) return {};
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class DatabaseEngineSetup : public InstallerActions {
 protected:
  // Waits until the setup at `windowsPath` has been started `count` times.
  bool SetupStarted(const std::string& windowsPath, std::size_t count) {
    fs::path mark = Linux(windowsPath);
    mark += ".started";
    return WaitUntil([&] { return Lines(Text(mark)) == count; });
  }
  std::vector<std::string> Questions() const {
    std::vector<std::string> questions;
    for (const ShownBox& box : boxes_) {
      if (box.Caption == "Warning") questions.push_back(box.Text);
    }
    return questions;
  }
};

// First click: copied without a question, the setup started from the copy.
// Second click, No: nothing copied (the changed file stays), the setup there
// started again. Third click, Yes: the medium's folder copied over it (the
// shell's own replace questions answered Yes) before the setup starts.
TEST_F(DatabaseEngineSetup, MsdeQuestionEachWay) {
  const std::string setup = "D:\\Ostrivel\\MSDE SP4\\Setup.exe";
  const fs::path settings = Linux("D:\\Ostrivel\\MSDE SP4\\Setup.ini");
  Click(Window().SpeedButton2);
  EXPECT_TRUE(Questions().empty());
  EXPECT_EQ(Text(settings), Text(Medium() / "MSDE SP4" / "Setup.ini"));
  EXPECT_TRUE(SetupStarted(setup, 1));
  EXPECT_FALSE(fs::exists(Linux("D:\\Ostrivel\\Personal Edition"))) << "only its own engine";

  WriteFileBytes(settings, "changed by the user");
  ThenKey(VK_ESCAPE);
  Click(Window().SpeedButton2);
  EXPECT_EQ(Questions(), std::vector<std::string>{kQuestion});
  EXPECT_EQ(Text(settings), "changed by the user");
  EXPECT_TRUE(SetupStarted(setup, 2));

  boxes_.clear();
  Click(Window().SpeedButton2);
  EXPECT_EQ(Questions(), std::vector<std::string>{kQuestion});
  EXPECT_EQ(Text(settings), Text(Medium() / "MSDE SP4" / "Setup.ini"));
  EXPECT_TRUE(SetupStarted(setup, 3));
}

// The network page's button: its own folder on E: (D: a CD drive), its
// setup deeper in the folder; the single-user engine is left alone.
TEST_F(DatabaseEngineSetup, PersonalEditionOnDriveE) {
  ASSERT_TRUE(qorv::platform::ConfigureDrive('D', ServerDrive('D'), qorv::platform::DriveKind::Cdrom));
  ASSERT_TRUE(qorv::platform::ConfigureDrive('E', ServerDrive('E'), qorv::platform::DriveKind::Fixed));
  Click(Window().SpeedButton6);
  EXPECT_TRUE(Questions().empty());
  EXPECT_TRUE(fs::exists(Linux("E:\\Ostrivel\\Personal Edition\\x86\\setup\\setup.ini")));
  EXPECT_TRUE(SetupStarted("E:\\Ostrivel\\Personal Edition\\x86\\setup\\setupsql.exe", 1));
  EXPECT_FALSE(fs::exists(Linux("E:\\Ostrivel\\MSDE SP4")));
}

// A medium without the engine folder: the shell's own error, no setup to
// start, and the window goes on.
TEST_F(DatabaseEngineSetup, MissingEngineFolderOnTheMedium) {
  fs::remove_all(Medium() / "MSDE SP4");
  Click(Window().SpeedButton2);
  EXPECT_TRUE(Questions().empty());
  EXPECT_FALSE(fs::exists(Linux("D:\\Ostrivel\\MSDE SP4\\Setup.exe")));
  EXPECT_FALSE(Window().ProgressBar1->Visible()) << "the bar is not the engine setup's";
}

}  // namespace

#endif
