// The exit buttons end the process at once with status 0: no closing event
// runs, and an action waiting for a registration further down the thread
// does not go on. Each case runs in a child process of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "InstallerWindowFixture.h"
#include "SpeedButton.h"

using namespace qorv::test;
using testing::HasSubstr;
using testing::Not;

namespace {

class InstallerExitDeathTest : public InstallerWindowTest {
 protected:
  void SetUp() override {
    // The platform runs threads (process watchers, timers): the child must
    // start afresh rather than be forked from a threaded process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    InstallerWindowTest::SetUp();
  }

  // The window, telling standard error when it is closed.
  TForm1& WatchedWindow() {
    TForm1& window = Window();
    window.OnClose = [](TObject*, TCloseAction&) { std::fprintf(stderr, "unexpected: the closing event ran\n"); };
    return window;
  }
};

}  // namespace

TEST_F(InstallerExitDeathTest, ExitButtonsOfBothPagesEndWithStatusZero) {
  EXPECT_EXIT(
      {
        Click(WatchedWindow().SpeedButton5);
        std::fprintf(stderr, "unexpected: went on after the click\n");
      },
      testing::ExitedWithCode(0), Not(HasSubstr("unexpected")));
  EXPECT_EXIT(
      {
        Click(WatchedWindow().SpeedButton9);
        std::fprintf(stderr, "unexpected: went on after the click\n");
      },
      testing::ExitedWithCode(0), Not(HasSubstr("unexpected")));
}

// A registration that lasts as long as the installer does: the click waiting
// in the queue is handled inside the wait and ends the program there.
TEST_F(InstallerExitDeathTest, ExitInsideARegistrationWaitEndsThere) {
  // It ends when it is handed to another parent, once the installer is gone.
  PutScriptOnMedium("register.exe",
                    "i=0\nwhile [ \"$(cut -d' ' -f4 /proc/$$/stat)\" = \"$PPID\" ] && [ $i -lt 600 ]; do\n"
                    "  sleep 0.1; i=$((i+1))\ndone");
  EXPECT_EXIT(
      {
        TForm1& window = WatchedWindow();
        TPoint middle = window.SpeedButton5->ClientToForm({10, 10});
        PostClick(window, middle.X, middle.Y);
        RunAndWait("C:\\medium\\register.exe", " C:\\Windows\\System32\\Qor.ocx");
        std::fprintf(stderr, "unexpected: the wait went on\n");
      },
      testing::ExitedWithCode(0), Not(HasSubstr("unexpected")));
}
