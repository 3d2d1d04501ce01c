// Processes started from Windows command lines: real child processes (shell
// scripts with their run bit, under the test's drive C:), waited for through
// their handles, with their arguments, exit codes and start failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ShellUiDouble.h"
#include "TestSupport.h"
#include "shellapi.h"
#include "systemroot.h"
#include "windows.h"

namespace fs = std::filesystem;
using qorv::test::ReadFileBytes;
using qorv::test::WaitUntil;

namespace {

constexpr DWORD kBound = 30000;

fs::path Linux(const std::string& windows) {
  auto path = qorv::platform::WindowsToLinuxPath(windows);
  EXPECT_TRUE(path) << windows;
  return path ? *path : fs::path();
}

// The file with its folders.
void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  qorv::test::WriteFileBytes(path, bytes);
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// A shell script at a Windows path.
fs::path WriteScript(const std::string& windowsPath, const std::string& body, bool runnable = true) {
  fs::path path = Linux(windowsPath);
  fs::create_directories(path.parent_path());
  WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  fs::permissions(path, runnable ? fs::perms(0755) : fs::perms(0644));
  return path;
}

// A script that writes each argument, bracketed, one per line, to `out`.
std::string RecordArguments(const fs::path& out) {
  return ": > " + Quoted(out) + "\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\" >> " + Quoted(out) + "; done";
}

std::string ReadText(const fs::path& path) {
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

SHELLEXECUTEINFOA ExecuteInfo(const char* file, const char* parameters, ULONG mask) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = mask;
  info.lpFile = file;
  info.lpParameters = parameters;
  info.nShow = SW_SHOWNORMAL;
  return info;
}

// ShellExecuteExA with the process handle back and no error window.
HANDLE Start(const char* file, const char* parameters = nullptr, const char* directory = nullptr,
             int show = SW_SHOWNORMAL) {
  auto info = ExecuteInfo(file, parameters, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI);
  info.lpDirectory = directory;
  info.nShow = show;
  EXPECT_TRUE(ShellExecuteExA(&info)) << file << " error " << GetLastError();
  EXPECT_GT(reinterpret_cast<ULONG_PTR>(info.hInstApp), 32u);
  return info.hProcess;
}

DWORD WaitForExitCode(HANDLE process) {
  EXPECT_EQ(WaitForSingleObject(process, kBound), WAIT_OBJECT_0);
  DWORD code = 0xDEAD;
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_TRUE(CloseHandle(process));
  return code;
}

// What a program run by WinExec wrote, once it has written it.
std::string WaitForOutput(const fs::path& out, const std::string& last) {
  EXPECT_TRUE(WaitUntil([&] { return ReadText(out).find(last) != std::string::npos; }, std::chrono::seconds(30)))
      << "never wrote " << last;
  return ReadText(out);
}

}  // namespace

// The exit code comes through the handle, which signals when the child ends
// and is closed like any other handle.
TEST(ProcessStart, ProgramEndingAtOnceGivesItsExitCode) {
  WriteScript("C:\\Tools\\quick.sh", "exit 7");
  HANDLE process = Start("C:\\Tools\\quick.sh");
  ASSERT_NE(process, nullptr);
  EXPECT_GT(GetProcessId(process), 0u);
  EXPECT_EQ(WaitForExitCode(process), 7u);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeProcess(process, &code)) << "the handle is closed";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// STILL_ACTIVE while it runs; a wait with a zero time-out does not block;
// the handle is signalled only when the child ends.
TEST(ProcessStart, RunningProgramIsStillActiveUntilItEnds) {
  fs::path fifo = Linux("C:\\go.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int release = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(release, 0);
  WriteScript("C:\\Tools\\waits.sh", "read line < \"$1\"\nexit 5");
  HANDLE process = Start("C:\\Tools\\waits.sh", fifo.c_str());
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_TIMEOUT);
  ASSERT_EQ(::write(release, "go\n", 3), 3);
  EXPECT_EQ(WaitForExitCode(process), 5u);
  ::close(release);
}

namespace {

// A thread timer's ticks during a wait; after `ReleaseAt` of them it lets the
// child go on by writing to the child's pipe.
struct Ticker {
  int Ticks = 0;
  int ReleaseAt = 0;
  int Pipe = -1;
};
Ticker* activeTicker = nullptr;

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
  if (++activeTicker->Ticks == activeTicker->ReleaseAt) {
    EXPECT_EQ(::write(activeTicker->Pipe, "go\n", 3), 3);
  }
}

// Waits for the process the way a window's thread must: in
// MsgWaitForMultipleObjects, handling every message that ends the wait.
void PumpUntilEnded(HANDLE process) {
  for (;;) {
    DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE, kBound, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) return;
    ASSERT_EQ(result, WAIT_OBJECT_0 + 1) << "neither the process nor a message";
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

// A window's timer keeps ticking while the thread waits for a child, and the
// child's end ends the wait: the child here ends only after five ticks.
TEST(ProcessStart, TimerKeepsTickingWhileWaitingForTheProcess) {
  fs::path fifo = Linux("C:\\go.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Ticker ticker{0, 5, ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)};
  ASSERT_GE(ticker.Pipe, 0);
  activeTicker = &ticker;
  WriteScript("C:\\Tools\\waits.sh", "read line < \"$1\"\nexit 3");
  HANDLE process = Start("C:\\Tools\\waits.sh", fifo.c_str());
  UINT_PTR timer = SetTimer(nullptr, 0, 20, CountTick);
  ASSERT_NE(timer, 0u);
  PumpUntilEnded(process);
  KillTimer(nullptr, timer);
  EXPECT_GE(ticker.Ticks, 5);
  EXPECT_EQ(WaitForExitCode(process), 3u);
  activeTicker = nullptr;
  ::close(ticker.Pipe);
}

// The wait blocks: a second of waiting, with a timer ticking, costs a small
// fraction of a second of CPU time (a polling loop would cost the whole second).
TEST(ProcessStart, WaitingForAProcessCostsAlmostNoCpuTime) {
  WriteScript("C:\\Tools\\sleeps.sh", "exec sleep 1");
  Ticker ticker{0, -1, -1};
  activeTicker = &ticker;
  double before = CpuSeconds();
  HANDLE process = Start("C:\\Tools\\sleeps.sh");
  UINT_PTR timer = SetTimer(nullptr, 0, 50, CountTick);
  PumpUntilEnded(process);
  KillTimer(nullptr, timer);
  double used = CpuSeconds() - before;
  EXPECT_LT(used, 0.25) << "CPU seconds spent waiting for a one-second child";
  EXPECT_EQ(WaitForExitCode(process), 0u);
  activeTicker = nullptr;
}

TEST(ProcessStart, TerminateEndsTheProcessWithTheGivenCode) {
  WriteScript("C:\\Tools\\long.sh", "exec sleep 100");
  HANDLE process = Start("C:\\Tools\\long.sh");
  ASSERT_TRUE(TerminateProcess(process, 42));
  EXPECT_EQ(WaitForSingleObject(process, kBound), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_FALSE(TerminateProcess(process, 1)) << "it has ended";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(process));
}

// A process ended by a signal it did not get from TerminateProcess.
TEST(ProcessStart, ProgramEndedBySignalReports128PlusTheSignal) {
  WriteScript("C:\\Tools\\dies.sh", "kill -TERM $$");
  EXPECT_EQ(WaitForExitCode(Start("C:\\Tools\\dies.sh")), 128u + SIGTERM);
}

// The arguments reach the program as CommandLineToArgvW would split them.
TEST(ProcessArguments, SplitAsWindowsProgramsSplitThem) {
  fs::path out = Linux("C:\\args.txt");
  WriteScript("C:\\Tools\\args.sh", RecordArguments(out));
  struct Case {
    const char* Parameters;
    const char* Expected;
  } cases[] = {
      {" C:\\Windows\\SysWOW64\\Qor.ocx", "[C:\\Windows\\SysWOW64\\Qor.ocx]\n"},
      {"a  b\tc", "[a]\n[b]\n[c]\n"},
      {"\"a b\" c", "[a b]\n[c]\n"},
      {"x\"y z\"w", "[xy zw]\n"},
      {"a\\\\b\\c", "[a\\\\b\\c]\n"},
      {"\"a\\\"b\"", "[a\"b]\n"},
      {"a\\\\\"b c\"", "[a\\b c]\n"},
      {"a\\\\\\\"b", "[a\\\"b]\n"},
      {"\"\" x", "[]\n[x]\n"},
      {"\"a\"\"b\"", "[a\"b]\n"},
      {"\"open to the end", "[open to the end]\n"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WaitForExitCode(Start("C:\\Tools\\args.sh", c.Parameters)), 0u);
    EXPECT_EQ(ReadText(out), c.Expected) << c.Parameters;
  }
}

// The working folder, the show command and the inherited system root.
TEST(ProcessArguments, ChildStartsInTheFolderWithTheShowCommand) {
  fs::path out = Linux("C:\\where.txt");
  fs::create_directories(Linux("C:\\Work"));
  WriteScript("C:\\Tools\\where.sh",
              "{ pwd; echo \"$QORV_SHOW_COMMAND\"; echo \"$QORV_SYSTEM_ROOT\"; } > " + Quoted(out));
  EXPECT_EQ(WaitForExitCode(Start("C:\\Tools\\where.sh", nullptr, "C:\\Work", SW_HIDE)), 0u);
  EXPECT_EQ(ReadText(out),
            fs::canonical(Linux("C:\\Work")).string() + "\n0\n" + qorv::platform::SystemRootPath().string() + "\n");

  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Tools"));
  EXPECT_EQ(WaitForExitCode(Start("where.sh", nullptr, nullptr, SW_SHOWMINIMIZED)), 0u);
  EXPECT_EQ(ReadText(out).substr(0, ReadText(out).find('\n')), fs::canonical(Linux("C:\\Tools")).string())
      << "without a folder the child starts in the current one";
}

// A bare name is looked for in the current folder, then C:\Windows\System32,
// then C:\Windows, with ".exe" added.
TEST(ProgramSearch, BareNameFollowsTheWindowsSearchOrder) {
  fs::path out = Linux("C:\\which.txt");
  auto identify = [&](const char* who) { return "echo " + std::string(who) + " > " + Quoted(out); };
  WriteScript("C:\\Windows\\qtool.exe", identify("windows"));
  EXPECT_EQ(WaitForExitCode(Start("qtool")), 0u);
  EXPECT_EQ(ReadText(out), "windows\n");
  WriteScript("C:\\Windows\\System32\\QTool.EXE", identify("system"));
  EXPECT_EQ(WaitForExitCode(Start("qtool")), 0u);
  EXPECT_EQ(ReadText(out), "system\n") << "the system folder before the Windows folder, names in any case";
  WriteScript("C:\\Work\\qtool.exe", identify("current"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work"));
  EXPECT_EQ(WaitForExitCode(Start("qtool")), 0u);
  EXPECT_EQ(ReadText(out), "current\n") << "the current folder first";
}

// An unquoted command line with blanks: each blank may end the program name,
// the first reading naming a file wins, as CreateProcess does it.
TEST(ProgramSearch, UnquotedPathWithBlanksTriesEachReading) {
  fs::path out = Linux("C:\\setup.txt");
  WriteScript("C:\\Ostrivel\\MSDE SP4\\Setup.exe",
              "{ printf setup; for a in \"$@\"; do printf ' %s' \"$a\"; done; echo; } > " + Quoted(out));
  EXPECT_GT(WinExec("C:\\Ostrivel\\MSDE SP4\\Setup.exe", SW_SHOWNORMAL), 31u);
  EXPECT_EQ(WaitForOutput(out, "\n"), "setup\n");

  ::unlink(out.c_str());
  EXPECT_GT(WinExec("\"C:\\Ostrivel\\MSDE SP4\\Setup.exe\" one \"two three\"", SW_SHOWNORMAL), 31u);
  EXPECT_EQ(WaitForOutput(out, "\n"), "setup one two three\n");

  ::unlink(out.c_str());
  WriteScript("C:\\Ostrivel\\MSDE.exe",
              "{ printf decoy; for a in \"$@\"; do printf ' %s' \"$a\"; done; echo; } > " + Quoted(out));
  EXPECT_GT(WinExec("C:\\Ostrivel\\MSDE SP4\\Setup.exe", SW_SHOWNORMAL), 31u);
  EXPECT_EQ(WaitForOutput(out, "\n"), "decoy SP4\\Setup.exe\n") << "the shorter reading comes first";
}

// Start failures: WinExec's small numbers, ShellExecuteExA's FALSE with the
// last error and hInstApp, and no handle.
TEST(ProgramSearch, ProgramsThatCannotStartFailAsOnWindows) {
  WriteScript("C:\\Tools\\norun.sh", "exit 0", false);
  WriteFileBytes(Linux("C:\\Tools\\setup.exe"), std::string("MZ\x90\0\3\0\0\0", 8) + std::string(120, '\0'));
  WriteFileBytes(Linux("C:\\Tools\\MSCOMM32_Reg.Reg"), "REGEDIT4\r\n");
  fs::create_directories(Linux("C:\\Tools\\folder.exe"));
  struct Case {
    const char* Program;
    UINT WinExecResult;
    DWORD Error;
    ULONG_PTR InstApp;
  } cases[] = {
      {"C:\\Tools\\missing.exe", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, SE_ERR_FNF},
      {"C:\\NoFolder\\missing.exe", ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND, SE_ERR_PNF},
      {"nosuchprogram", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND, SE_ERR_FNF},
      {"Q:\\absent.exe", ERROR_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND, SE_ERR_PNF},
      {"C:\\Tools\\norun.sh", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED},
      {"C:\\Tools\\folder.exe", ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED},
      {"C:\\Tools\\setup.exe", ERROR_BAD_FORMAT, ERROR_BAD_EXE_FORMAT, ERROR_BAD_FORMAT},
      {"C:\\Tools\\MSCOMM32_Reg.Reg", ERROR_BAD_FORMAT, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WinExec(c.Program, SW_SHOWNORMAL), c.WinExecResult) << c.Program;
    auto info = ExecuteInfo(c.Program, nullptr, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI);
    info.hProcess = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(ShellExecuteExA(&info)) << c.Program;
    EXPECT_EQ(GetLastError(), c.Error) << c.Program;
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(info.hInstApp), c.InstApp) << c.Program;
    EXPECT_EQ(info.hProcess, nullptr) << c.Program;
  }
}

// ShellExecuteExA shows the shell's message for a failed start unless told
// not to; its record is checked before anything starts.
TEST(ProgramSearch, ShellExecuteShowsItsMessageAndChecksItsRecord) {
  qorv::test::ShellUiDouble ui;
  auto info = ExecuteInfo("regsvr33", " C:\\x.ocx", SEE_MASK_NOCLOSEPROCESS);
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(ui.Errors[0],
            "regsvr33: Windows cannot find 'regsvr33'. Make sure you typed the name correctly, and then try again.");

  info = ExecuteInfo("C:\\Tools\\quick.sh", nullptr, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI);
  info.lpDirectory = "C:\\NoSuchFolder";
  WriteScript("C:\\Tools\\quick.sh", "exit 0");
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(info.hInstApp), SE_ERR_PNF);

  info = ExecuteInfo("C:\\Tools\\quick.sh", nullptr, SEE_MASK_FLAG_NO_UI);
  info.lpVerb = "print";
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION);

  for (DWORD size : {0u, 59u, 61u}) {
    info = ExecuteInfo("C:\\Tools\\quick.sh", nullptr, SEE_MASK_FLAG_NO_UI);
    info.cbSize = size;
    EXPECT_FALSE(ShellExecuteExA(&info)) << size;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << size;
  }
  EXPECT_FALSE(ShellExecuteExA(nullptr));
  EXPECT_EQ(ui.Errors.size(), 1u) << "no message with SEE_MASK_FLAG_NO_UI";

  // The 32-bit record size is accepted; without SEE_MASK_NOCLOSEPROCESS no
  // handle comes back.
  info = ExecuteInfo("C:\\Tools\\quick.sh", nullptr, SEE_MASK_FLAG_NO_UI);
  info.cbSize = kShellExecuteInfo32Size;
  EXPECT_TRUE(ShellExecuteExA(&info));
  EXPECT_EQ(info.hProcess, nullptr);
}

// Windows programs, batch files and registry files go to the configured
// runner with their Linux path and the arguments.
TEST(ProgramSearch, WindowsProgramsRunThroughTheConfiguredRunner) {
  fs::path out = Linux("C:\\runner.txt");
  fs::path runner = WriteScript("C:\\Runner\\run.sh", RecordArguments(out));
  ASSERT_TRUE(qorv::platform::WriteIniValue("system.ini", "WindowsRunner", runner.string() + " start /unix"));
  fs::path setup = Linux("C:\\Tools\\setup.exe");
  fs::create_directories(setup.parent_path());
  WriteFileBytes(setup, std::string("MZ", 2) + std::string(126, '\0'));
  EXPECT_EQ(WaitForExitCode(Start("C:\\Tools\\setup.exe", "/q \"a b\"")), 0u);
  EXPECT_EQ(ReadText(out), "[start]\n[/unix]\n[" + setup.string() + "]\n[/q]\n[a b]\n");

  fs::path batch = Linux("C:\\Tools\\MSCOMM32_Batch.Bat");
  WriteFileBytes(batch, "@echo off\r\n");
  ::unlink(out.c_str());
  EXPECT_GT(WinExec("C:\\Tools\\MSCOMM32_Batch.Bat", SW_SHOWNORMAL), 31u);
  EXPECT_EQ(WaitForOutput(out, "Bat]"), "[start]\n[/unix]\n[" + batch.string() + "]\n");
}

// "Explorer" with an address runs the desktop's opener; Windows paths given
// to it become Linux paths.
TEST(ProgramSearch, ExplorerRunsTheDesktopOpener) {
  fs::path out = Linux("C:\\opened.txt");
  fs::path opener = WriteScript("C:\\Runner\\open.sh", RecordArguments(out));
  ASSERT_TRUE(qorv::platform::WriteIniValue("system.ini", "Opener", opener.string()));
  EXPECT_GT(WinExec("Explorer http://www.example.org/ostrivel", SW_SHOWNORMAL), 31u);
  EXPECT_EQ(WaitForOutput(out, "]\n"), "[http://www.example.org/ostrivel]\n");

  fs::create_directories(Linux("C:\\Ostrivel"));
  EXPECT_EQ(WaitForExitCode(Start("C:\\Windows\\EXPLORER.EXE", "C:\\Ostrivel")), 0u);
  EXPECT_EQ(ReadText(out), "[" + Linux("C:\\Ostrivel").string() + "]\n");
}

#ifdef QORV_REGSVR32
// "regsvr32" by its bare name is the platform's registration tool, linked
// into the system folder.
TEST(ProgramSearch, Regsvr32IsThePlatformTool) {
  EXPECT_EQ(WaitForExitCode(Start("regsvr32", " /s C:\\Windows\\System32\\Missing.ocx")), 3u)
      << "the tool's status for a file it cannot find";
}
#endif
