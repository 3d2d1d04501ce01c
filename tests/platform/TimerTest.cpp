#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "WindowTestSupport.h"

using namespace qorv::test;

namespace {

// The tests share the main thread's queue when run in one process.
class PlatformTimer : public testing::Test {
 protected:
  void SetUp() override { DiscardPending(); }
};

std::atomic<int> timerCalls{0};
void CALLBACK CountingTimerProc(HWND, UINT msg, UINT_PTR, DWORD) {
  if (msg == WM_TIMER) ++timerCalls;
}

// Lets time pass without reading the queue (an event nobody sets).
void LetTimePass(DWORD ms) {
  Event never;
  WaitForSingleObject(never.Get(), ms);
}

// A timer produces nothing while its thread does not read; the read then
// gets one WM_TIMER carrying the procedure, and dispatching calls it.
TEST_F(PlatformTimer, FiresOnlyWhenQueueIsRead) {
  timerCalls = 0;
  HWND window = CreateTestWindow(HWND_MESSAGE);
  ASSERT_NE(SetTimer(window, 7, 20, CountingTimerProc), 0u);
  LetTimePass(100);
  EXPECT_EQ(timerCalls.load(), 0);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(CountingTimerProc));
  DispatchMessageA(&msg);
  EXPECT_EQ(timerCalls.load(), 1);
  DestroyWindow(window);
}

// However many periods pass unread, one WM_TIMER is pending, and the next
// period counts from its removal.
TEST_F(PlatformTimer, NeverPilesUp) {
  HWND window = CreateTestWindow(HWND_MESSAGE);
  SetTimer(window, 1, 100, nullptr);
  LetTimePass(450);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  DestroyWindow(window);
}

// GetMessageA's wait ends when the thread's nearest timer is due.
TEST_F(PlatformTimer, ThreadTimerWakesBlockedGetMessage) {
  UINT_PTR id = SetTimer(nullptr, 0, 30, nullptr);
  ASSERT_NE(id, 0u);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.wParam, id);
  // An existing thread timer id is replaced; 0 asks for a new id.
  EXPECT_EQ(SetTimer(nullptr, id, 50, nullptr), id);
  UINT_PTR second = SetTimer(nullptr, 0, 50, nullptr);
  EXPECT_NE(second, id);
  EXPECT_TRUE(KillTimer(nullptr, id));
  EXPECT_TRUE(KillTimer(nullptr, second));
  EXPECT_FALSE(KillTimer(nullptr, id));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// A killed timer's due WM_TIMER is gone too; a destroyed window's timers end.
TEST_F(PlatformTimer, KillAndDestroyEndTimers) {
  HWND window = CreateTestWindow(HWND_MESSAGE);
  SetTimer(window, 1, 10, nullptr);
  SetTimer(window, 2, 10, nullptr);
  MSG msg;
  HANDLE none = nullptr;
  ASSERT_EQ(MsgWaitForMultipleObjects(0, &none, FALSE, 10000, QS_TIMER), WAIT_OBJECT_0);
  EXPECT_TRUE(KillTimer(window, 1));
  EXPECT_TRUE(KillTimer(window, 2));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  SetTimer(window, 3, 10, nullptr);
  DestroyWindow(window);
  EXPECT_FALSE(KillTimer(window, 3));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// Timers belong to the window's thread; a WM_TIMER posted with a procedure
// that is no live timer's is not called.
TEST_F(PlatformTimer, RefusesForeignWindowsAndForgedProcedures) {
  HWND foreign = nullptr;
  Event created, done;
  std::thread owner([&] {
    foreign = CreateTestWindow(HWND_MESSAGE);
    created.Set();
    done.WaitFor();
  });
  created.WaitFor();
  EXPECT_EQ(SetTimer(foreign, 1, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  done.Set();
  owner.join();

  timerCalls = 0;
  HWND window = CreateTestWindow(HWND_MESSAGE);
  PostMessageA(window, WM_TIMER, 5, reinterpret_cast<LPARAM>(CountingTimerProc));
  PumpPending();
  EXPECT_EQ(timerCalls.load(), 0);
  DestroyWindow(window);
}

// Timers answer the read's filters, and a pending paint comes first.
TEST_F(PlatformTimer, ObeysFiltersAndYieldsToPaint) {
  HWND timed = CreateTestWindow(nullptr, WS_VISIBLE);
  HWND other = CreateTestWindow(HWND_MESSAGE);
  PumpPending();
  SetTimer(timed, 1, 10, nullptr);
  HANDLE none = nullptr;
  ASSERT_EQ(MsgWaitForMultipleObjects(0, &none, FALSE, 10000, QS_TIMER), WAIT_OBJECT_0);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, other, 0, 0, PM_NOREMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_APP, PM_NOREMOVE));
  InvalidateRect(timed, nullptr, FALSE);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_PAINT);
  ValidateRect(timed, nullptr);
  ASSERT_TRUE(PeekMessageA(&msg, timed, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_TIMER);
  DestroyWindow(timed);
  DestroyWindow(other);
}

}  // namespace
