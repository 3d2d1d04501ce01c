#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "SioMisc.h"
#include "TestSupport.h"
#include "fileapi.h"
#include "systemroot.h"
#include "timing.h"
#include "winerror.h"
#include "winuser.h"

namespace {

TEST(SioMiscCountsPerMs, RoundsOnlyAboveHalf) {
  const std::pair<LONGLONG, DWORD> cases[] = {
      {3579545, 3580},
      {3579500, 3579},
      {3579501, 3580},
      {10000000, 10000},
      {1000000000, 1000000},
      {0, 0},
      {500, 0},
      {501, 1},
      {999, 1},
      {0xFFFFFFFFll, 4294967},
      {0x100000000ll, 0},
      {0x100000000ll + 5000, 0},
      {-1, 0},
  };
  for (const auto& [frequency, expected] : cases) EXPECT_EQ(CountsPerMsFromFrequency(frequency), expected) << frequency;
}

TEST(SioMiscCountsPerMs, ProcessValueComesFromThePerformanceCounter) {
  LARGE_INTEGER f{};
  QueryPerformanceFrequency(&f);
  EXPECT_EQ(CountsPerMs(), CountsPerMsFromFrequency(f.QuadPart));
}

TEST(SioMiscMillisecondClock, NeverRunsBackwards) {
  DWORD previous = MillisecondClock();
  for (int i = 0; i < 1000; ++i) {
    DWORD now = MillisecondClock();
    EXPECT_LE(static_cast<LONG>(previous - now), 0);
    previous = now;
  }
}

struct TimerCase {
  LONG start;
  LONG expiry;
  DWORD now;
  bool expired;
};

TEST(SioMiscTimerExpired, HonoursExpiryAndTheWrapCorrection) {
  const TimerCase cases[] = {
      {100, 118, 118, false},          {100, 118, 119, true},
      {100, 118, 100, false},          {100, 118, 99, true},  // below the start counts as wrapped
      {78090000, 78090300, 10, false}, {38999990, 39000000, 5, true},
      {38999990, 39000000, 0, true},                              // 0 + 39045157 > 39000000
      {0, 39045157, 0, false},         {10, 39045157, 0, false},  // wrapped: 0 + 39045157 equals expiry, not past it
      {10, 39045156, 0, true},         {INT32_MAX, INT32_MAX, 0x7FFFFFFE, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TimerExpiredAt({c.start, c.expiry}, c.now), c.expired)
        << "start " << c.start << " expiry " << c.expiry << " now " << c.now;
}

TEST(SioMiscTimerExpired, UsesTheClockInFiftyFiveMillisecondTicks) {
  const auto now = static_cast<LONG>(MillisecondClock() / kMsPerTick);
  EXPECT_TRUE(TimerExpired({now - 10, now - 1}));
  EXPECT_FALSE(TimerExpired({now, now + 1000}));
}

TEST(SioMiscFlags, FlagIsSetWhenAnyMaskBitIsSet) {
  EXPECT_TRUE(FlagIsSet(0x10, 0x30));
  EXPECT_FALSE(FlagIsSet(0x10, 0x20));
  EXPECT_FALSE(FlagIsSet(0xFFFFFFFF, 0));
  EXPECT_TRUE(FlagIsSet(0x80000000u, 0x80000000u));
}

TEST(SioMiscBaseComponent, VersionIgnoresWrites) {
  TSioBaseComponent c(nullptr);
  c.SetVersion("v2.00");
  EXPECT_EQ(c.Version(), "v1.00");
}

// The text file goes through the drive map: C:\ is drive_c of the test root.
class SioMiscTextFile : public testing::Test {
 protected:
  std::filesystem::path HostPath(const std::string& name) {
    auto path = qorv::platform::WindowsToLinuxPath("C:\\" + name);
    EXPECT_TRUE(path.has_value()) << name;
    return path.value_or(std::filesystem::path());
  }
  std::string Contents(const std::string& name) {
    auto bytes = qorv::test::ReadFileBytes(HostPath(name));
    return std::string(bytes.begin(), bytes.end());
  }
};

// Writes on both sides of the 512-byte buffer come out whole and in order.
TEST_F(SioMiscTextFile, RewriteWritesEveryByteAcrossBufferBoundaries) {
  for (std::size_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 1500u}) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('a' + i % 26);
    TTextFile file;
    AssignTextFile(file, "C:\\SERIAL.TRC");
    ASSERT_EQ(file.Rewrite(), 0u);
    // Two pieces, so that a piece straddles the buffer's end.
    ASSERT_EQ(file.Write(std::string_view(text).substr(0, size / 3)), 0u);
    ASSERT_EQ(file.Write(std::string_view(text).substr(size / 3)), 0u);
    ASSERT_EQ(file.Close(), 0u);
    EXPECT_EQ(Contents("SERIAL.TRC"), text) << size;
  }
}

TEST_F(SioMiscTextFile, AppendContinuesAnExistingFileAndRewriteTruncates) {
  qorv::test::WriteFileBytes(HostPath("SERIAL.LOG"), "first\r\n");
  TTextFile file;
  AssignTextFile(file, "C:\\SERIAL.LOG");
  ASSERT_EQ(file.Append(), 0u);
  ASSERT_EQ(file.Write("second\r\n"), 0u);
  ASSERT_EQ(file.Close(), 0u);
  EXPECT_EQ(Contents("SERIAL.LOG"), "first\r\nsecond\r\n");
  ASSERT_EQ(file.Rewrite(), 0u);
  ASSERT_EQ(file.Write("third"), 0u);
  ASSERT_EQ(file.Close(), 0u);
  EXPECT_EQ(Contents("SERIAL.LOG"), "third");
}

TEST_F(SioMiscTextFile, FailuresAreReportedNotSwallowed) {
  TTextFile file;
  AssignTextFile(file, "C:\\missing.log");
  EXPECT_EQ(file.Append(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(HostPath("missing.log")));
  EXPECT_NE(file.Write("x"), 0u) << "a write to a file never opened must fail";
  EXPECT_NE(file.Close(), 0u);
  AssignTextFile(file, "C:\\no such folder\\x.log");
  EXPECT_EQ(file.Rewrite(), ERROR_PATH_NOT_FOUND);
}

TEST_F(SioMiscTextFile, FileExistsPathSeesFilesOnly) {
  qorv::test::WriteFileBytes(HostPath("present.txt"), "x");
  std::filesystem::create_directories(HostPath("folder"));
  EXPECT_TRUE(FileExistsPath("C:\\present.txt"));
  EXPECT_FALSE(FileExistsPath("C:\\absent.txt"));
  EXPECT_FALSE(FileExistsPath("C:\\folder"));
  EXPECT_FALSE(FileExistsPath(nullptr));
  EXPECT_FALSE(FileExistsPath(""));
}

int served = 0;
LRESULT CALLBACK CountingProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER) ++served;
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

TEST(SioMiscPumpOneMessage, ServesExactlyOneMessage) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = CountingProc;
  cls.lpszClassName = "SioMiscPumpTest";
  ASSERT_NE(RegisterClassA(&cls), 0);
  HWND wnd = CreateWindowExA(0, "SioMiscPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  ASSERT_TRUE(PostMessageA(wnd, WM_USER, 0, 0));
  ASSERT_TRUE(PostMessageA(wnd, WM_USER, 0, 0));
  served = 0;
  PumpOneMessage();
  EXPECT_EQ(served, 1);
  PumpOneMessage();
  EXPECT_EQ(served, 2);
  PumpOneMessage();  // empty queue: returns at once
  EXPECT_EQ(served, 2);
  DestroyWindow(wnd);
}

TEST(SioMiscPumpOneMessage, LeavesAQuitRequestWaiting) {
  PostQuitMessage(7);
  PumpOneMessage();
  MSG msg{};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
