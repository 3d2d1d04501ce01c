// RunAndWait with real child processes (shell scripts with their run bit on
// the test's drive C:): the record it starts them with, the window's
// messages handled during the wait, a program that cannot be started, the
// application terminating during the wait, and the CPU time of the wait.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "Application.h"
#include "Button.h"
#include "FormInput.h"
#include "Forms.h"
#include "HeadlessGuiTest.h"
#include "TestSupport.h"
#include "Timer.h"
#include "systemroot.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;

namespace {

fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// A shell script at a Windows path.
void WriteScript(const std::string& windowsPath, const std::string& body) {
  fs::path path = Linux(windowsPath);
  fs::create_directories(path.parent_path());
  qorv::test::WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  fs::permissions(path, fs::perms(0755));
}

std::string ReadText(const fs::path& path) {
  auto bytes = qorv::test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class RunAndWaitTest : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    form_.SetBounds(0, 0, 200, 100);
    form_.Show();
  }
  // A timer of the form's thread, ticking every 20 ms into `onTick`.
  TTimer* Ticker(std::function<void()> onTick) {
    auto* timer = new TTimer(&form_);
    timer->SetInterval(20);
    timer->OnTimer = [onTick = std::move(onTick)](TObject*) { onTick(); };
    timer->SetEnabled(true);
    return timer;
  }
  TForm form_{nullptr};
};

}  // namespace

// The registration tool's call: the parameters arrive as the program's
// arguments (the leading blank only separates), started hidden.
TEST_F(RunAndWaitTest, ProgramEndingAtOnce) {
  fs::path out = Linux("C:\\args.txt");
  WriteScript("C:\\Windows\\System32\\regsvr99.sh", "for a in \"$@\"; do printf '[%s]\\n' \"$a\" >> " + Quoted(out) +
                                                        "; done\necho \"show=$QORV_SHOW_COMMAND\" >> " + Quoted(out) +
                                                        "\nexit 5");
  EXPECT_TRUE(RunAndWait("regsvr99.sh", " C:\\Windows\\SysWOW64\\Qor.ocx"));
  EXPECT_EQ(ReadText(out), "[C:\\Windows\\SysWOW64\\Qor.ocx]\nshow=0\n");
}

// A program that runs until released: meanwhile the form's timer ticks and a
// click on another button runs its handler; the timer releases the program
// after some ticks and the wait ends.
TEST_F(RunAndWaitTest, WindowStaysResponsiveUntilTheProgramEnds) {
  fs::path fifo = Linux("C:\\release.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The bound only keeps a broken wait from hanging the test.
  WriteScript("C:\\Tools\\held.sh", "exec timeout 60 sh -c 'read line < \"$0\"' " + Quoted(fifo));
  auto* button = new TButton(&form_);
  button->SetParent(&form_);
  button->SetBounds(10, 10, 80, 25);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  PostClick(form_, 20, 20);
  int ticks = 0;
  bool released = false;
  Ticker([&] {
    ++ticks;
    if (ticks < 5 || released) return;
    // Succeeds once the program has the pipe open for reading.
    int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    released = ::write(fd, "go\n", 3) == 3;
    ::close(fd);
  });
  EXPECT_TRUE(RunAndWait("C:\\Tools\\held.sh", ""));
  EXPECT_TRUE(released) << "the wait ended before the program was released";
  EXPECT_GE(ticks, 5);
  EXPECT_EQ(clicks, 1) << "the other button worked during the wait";
}

// A program that is not there: false at once, after the shell's message.
TEST_F(RunAndWaitTest, MissingProgramGivesFalse) {
  std::vector<std::string> boxes;
  SetModalResponder([&](TCustomForm& box) {
    boxes.push_back(box.Caption());
    PostKey(box, VK_RETURN);
  });
  EXPECT_FALSE(RunAndWait("C:\\Tools\\missing.exe", " x"));
  EXPECT_EQ(boxes.size(), 1u);
}

// The application terminating during the wait (an exit button) ends the
// wait while the program still runs.
TEST_F(RunAndWaitTest, ApplicationTerminatingEndsTheWait) {
  fs::path pidFile = Linux("C:\\held.pid");
  WriteScript("C:\\Tools\\forever.sh", "echo $$ > " + Quoted(pidFile) + "\nexec sleep 30");
  int ticks = 0;
  Ticker([&] {
    // Once the program is surely running.
    if (++ticks >= 3 && fs::exists(pidFile) && !Application->Terminated()) Application->Terminate();
  });
  EXPECT_TRUE(RunAndWait("C:\\Tools\\forever.sh", ""));
  EXPECT_TRUE(Application->Terminated());
  ASSERT_TRUE(qorv::test::WaitUntil([&] { return !ReadText(pidFile).empty(); }));
  pid_t pid = std::stoi(ReadText(pidFile));
  EXPECT_EQ(::kill(pid, 0), 0) << "the program is still running";
  ::kill(pid, SIGKILL);
}

// Waiting blocks: over a 2-second program this process uses a small part of
// that in CPU time (a loop that only polled would use all of it).
TEST_F(RunAndWaitTest, WaitingTakesAlmostNoCpu) {
  WriteScript("C:\\Tools\\slow.sh", "exec sleep 2");
  double before = CpuSeconds();
  EXPECT_TRUE(RunAndWait("C:\\Tools\\slow.sh", ""));
  EXPECT_LT(CpuSeconds() - before, 0.5);
}
