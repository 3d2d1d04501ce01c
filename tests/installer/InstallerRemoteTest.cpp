// The remote-connection buttons start the medium's connection tool and go
// on without waiting for it; a medium without the tool changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "InstallerWindowFixture.h"
#include "ProgressBar.h"
#include "pngextra.h"

using namespace qorv::test;
namespace fs = std::filesystem;

// The tool leaves a mark and then waits for the test's release: the click
// has returned while the tool still runs.
TEST_F(InstallerWindowTest, RemoteButtonsStartTheToolWithoutWaiting) {
  fs::path mark = Linux("C:\\medium") / "started";
  fs::path release = Linux("C:\\medium") / "release";
  fs::path finished = Linux("C:\\medium") / "finished";
  std::string tool = "echo \"$QORV_SHOW_COMMAND\" >> '" + mark.string() + "'\n";
  tool += "i=0\nwhile [ ! -e '" + release.string() + "' ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n";
  tool += "echo >> '" + finished.string() + "'";
  PutScriptOnMedium("Ostrivel\\connect\\Setup.exe", tool);
  TForm1& window = Window();
  Click(window.PNGButton14);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(mark); }));
  Click(window.PNGButton1);
  ASSERT_TRUE(WaitUntil([&] {
    auto bytes = ReadFileBytes(mark);
    return std::count(bytes.begin(), bytes.end(), '\n') == 2;
  }));
  EXPECT_FALSE(fs::exists(finished)) << "the clicks waited for the tool";
  auto bytes = ReadFileBytes(mark);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "1\n1\n") << "shown normally";
  WriteFileBytes(release, "");
  // Both tools end before the test's root goes.
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(finished) && ReadFileBytes(finished).size() == 2; }));
  EXPECT_EQ(boxes_, 0);
}

TEST_F(InstallerWindowTest, RemoteButtonWithoutToolChangesNothing) {
  TForm1& window = Window();
  Click(window.PNGButton14);
  EXPECT_EQ(boxes_, 0);
  EXPECT_FALSE(window.ProgressBar1->Visible());
}
