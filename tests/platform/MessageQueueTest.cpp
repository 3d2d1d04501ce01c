#include <gtest/gtest.h>

#include <thread>

#include "WindowTestSupport.h"

using namespace qorv::test;

namespace {

// The tests share the main thread's queue when run in one process.
class PlatformMessageQueue : public testing::Test {
 protected:
  void SetUp() override { DiscardPending(); }
};

const HWND kThreadOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

std::vector<UINT> DrainMatching(HWND filter, UINT min, UINT max) {
  std::vector<UINT> out;
  MSG msg;
  while (PeekMessageA(&msg, filter, min, max, PM_REMOVE)) out.push_back(msg.message);
  return out;
}

// Each row posts the same four messages and reads with one filter.
TEST_F(PlatformMessageQueue, PeekFiltersByWindowAndRange) {
  HWND parent = CreateTestWindow();
  HWND other = CreateTestWindow();
  HWND child = CreateTestWindow(parent, WS_CHILD);
  const UINT a = WM_USER + 1, b = WM_USER + 2, c = WM_USER + 3, d = WM_USER + 4;
  struct Row {
    HWND filter;
    UINT min, max;
    std::vector<UINT> expected;
  } rows[] = {
      {nullptr, 0, 0, {a, b, c, d}},
      {parent, 0, 0, {a, d}},
      {kThreadOnly, 0, 0, {c}},
      {nullptr, b, c, {b, c}},
      {other, a, a, {}},
      {child, 0, 0, {d}},
      {nullptr, d, d, {d}},
      {nullptr, WM_USER + 5, WM_USER + 9, {}},
  };
  for (const Row& row : rows) {
    DrainMatching(nullptr, 0, 0);
    PostMessageA(parent, a, 0, 0);
    PostMessageA(other, b, 0, 0);
    PostMessageA(nullptr, c, 0, 0);
    PostMessageA(child, d, 0, 0);
    EXPECT_EQ(DrainMatching(row.filter, row.min, row.max), row.expected) << "row with min " << row.min;
  }
  DestroyWindow(parent);
  DestroyWindow(other);
}

TEST_F(PlatformMessageQueue, NoRemoveLeavesMessageInPlace) {
  PostMessageA(nullptr, WM_USER, 1, 2);
  PostMessageA(nullptr, WM_USER + 1, 3, 4);
  MSG msg;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER);
  }
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.lParam, 4);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// WM_QUIT comes after posted messages, only to reads without a window filter,
// and a pump that re-posts it leaves it waiting.
TEST_F(PlatformMessageQueue, QuitComesLastAndSurvivesRepost) {
  HWND window = CreateTestWindow(HWND_MESSAGE);
  PostQuitMessage(3);
  PostMessageA(window, WM_USER, 0, 0);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, window, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  PostQuitMessage(static_cast<int>(msg.wParam));  // what a one-message pump does
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  // A posted WM_QUIT ends GetMessageA too.
  PostMessageA(nullptr, WM_QUIT, 9, 0);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 9u);
  DestroyWindow(window);
}

TEST_F(PlatformMessageQueue, BadReadArgumentsFail) {
  MSG msg;
  EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
  HWND gone = CreateTestWindow(HWND_MESSAGE);
  DestroyWindow(gone);
  SetLastError(0);
  EXPECT_EQ(GetMessageA(&msg, gone, 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PeekMessageA(&msg, gone, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  HWND foreign = nullptr;
  std::thread([&] { foreign = CreateTestWindow(); }).join();  // destroyed as its thread ends
  EXPECT_EQ(GetMessageA(&msg, foreign, 0, 0), -1);
}

TEST_F(PlatformMessageQueue, PostFailuresLeaveQueueIntact) {
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7FFF0)), WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DWORD ended = 0;
  std::thread([&] { ended = GetCurrentThreadId(); }).join();
  EXPECT_FALSE(PostThreadMessageA(ended, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);

  // The queue takes 10000 posted messages; the next is refused and nothing is lost.
  for (UINT i = 0; i < 10000; ++i) ASSERT_TRUE(PostMessageA(nullptr, WM_APP, i, 0)) << i;
  EXPECT_FALSE(PostMessageA(nullptr, WM_APP, 10000, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
  MSG msg;
  UINT expected = 0;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) EXPECT_EQ(msg.wParam, expected++);
  EXPECT_EQ(expected, 10000u);
}

// Posted messages first, then WM_PAINT, which stays until validated and is
// made only for visible windows.
TEST_F(PlatformMessageQueue, PaintComesAfterPostedAndStaysUntilValidated) {
  HWND window = CreateTestWindow(nullptr, WS_VISIBLE);
  PumpPending();
  PostMessageA(window, WM_USER, 0, 0);
  InvalidateRect(window, nullptr, FALSE);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
  }
  DispatchMessageA(&msg);  // DefWindowProcA validates
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

  ShowWindow(window, SW_HIDE);
  InvalidateRect(window, nullptr, TRUE);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  ShowWindow(window, SW_SHOW);
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  RECT update;
  EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
  EXPECT_EQ(update.right, 100);
  EXPECT_EQ(update.bottom, 50);
  DestroyWindow(window);
}

TEST_F(PlatformMessageQueue, TranslateMakesCharactersFromKeys) {
  HWND window = CreateTestWindow(HWND_MESSAGE);
  struct Row {
    std::vector<int> held;  // keys read (down) before the key
    UINT message;
    int key;
    UINT expectedMessage;  // 0: no character
    WPARAM expectedChar;
  } rows[] = {
      {{}, WM_KEYDOWN, 'A', WM_CHAR, 'a'},
      {{VK_SHIFT}, WM_KEYDOWN, 'A', WM_CHAR, 'A'},
      {{VK_CONTROL}, WM_KEYDOWN, 'C', WM_CHAR, 3},
      {{}, WM_KEYDOWN, '7', WM_CHAR, '7'},
      {{}, WM_KEYDOWN, VK_RETURN, WM_CHAR, '\r'},
      {{}, WM_KEYDOWN, VK_ESCAPE, WM_CHAR, 0x1B},
      {{}, WM_KEYDOWN, VK_F1, 0, 0},
      {{}, WM_KEYDOWN, VK_LEFT, 0, 0},
      {{}, WM_SYSKEYDOWN, 'X', WM_SYSCHAR, 'x'},
      {{}, WM_KEYUP, 'A', 0, 0},
  };
  for (const Row& row : rows) {
    for (int key : row.held) PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, row.message, row.key, 0);
    PostMessageA(window, WM_USER, 0, 0);
    MSG msg;
    for (std::size_t i = 0; i < row.held.size(); ++i) PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    if (row.expectedMessage != 0) {
      EXPECT_EQ(msg.message, row.expectedMessage) << "key " << row.key;
      EXPECT_EQ(msg.wParam, row.expectedChar) << "key " << row.key;
      ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    }
    EXPECT_EQ(msg.message, WM_USER) << "key " << row.key;
    for (int key : row.held) PostMessageA(window, WM_KEYUP, key, 0);
    DrainMatching(nullptr, 0, 0);
  }
  MSG notKey{window, WM_USER, 0, 0, 0, {0, 0}};
  EXPECT_FALSE(TranslateMessage(&notKey));
  DestroyWindow(window);
}

TEST_F(PlatformMessageQueue, DispatchRefusesOtherThreadsWindow) {
  TestLog().Clear();
  HWND foreign = nullptr;
  Event created, done;
  std::thread owner([&] {
    foreign = CreateTestWindow(HWND_MESSAGE);
    created.Set();
    done.WaitFor();
  });
  created.WaitFor();
  MSG msg{foreign, WM_USER, 0, 0, 0, {0, 0}};
  EXPECT_EQ(DispatchMessageA(&msg), 0);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  done.Set();
  owner.join();
  EXPECT_EQ(TestLog().Count(WM_USER), 0);
}

TEST_F(PlatformMessageQueue, MsgWaitWokenByHandleOrByInput) {
  Event event;
  HANDLE handle = event.Get();
  std::thread setter([&] { event.Set(); });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &handle, FALSE, 10000, QS_ALLINPUT), WAIT_OBJECT_0);
  setter.join();

  Event idle;
  HANDLE idleHandle = idle.Get();
  DWORD self = GetCurrentThreadId();
  MSG probe;
  PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE);  // any call makes the queue
  std::thread poster([&] { PostThreadMessageA(self, WM_USER, 0, 0); });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &idleHandle, FALSE, 10000, QS_POSTMESSAGE), WAIT_OBJECT_0 + 1);
  poster.join();
  // Input stays new until the thread looks, and counts only for the kinds asked for.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &idleHandle, FALSE, 20, QS_KEY | QS_PAINT), WAIT_TIMEOUT);
  // fWaitAll needs the handles and the input together.
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &idleHandle, TRUE, 20, QS_ALLINPUT), WAIT_TIMEOUT);
  idle.Set();
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &idleHandle, TRUE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(GetQueueStatus(QS_ALLINPUT), MAKELONG(QS_POSTMESSAGE, QS_POSTMESSAGE));
  DrainMatching(nullptr, 0, 0);
  EXPECT_EQ(GetQueueStatus(QS_ALLINPUT), 0u);
}

// The waits of a pump see only input that arrived since the last look; a pump
// that puts back the WM_QUIT it took does not wake itself.
TEST_F(PlatformMessageQueue, WaitsReportOnlyNewInput) {
  PostMessageA(nullptr, WM_USER, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT), WAIT_TIMEOUT);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);  // still there for a read

  PostQuitMessage(4);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(msg.message, WM_QUIT);
  PostQuitMessage(static_cast<int>(msg.wParam));
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT), WAIT_TIMEOUT);

  DWORD self = GetCurrentThreadId();
  std::thread poster([&] { PostThreadMessageA(self, WM_USER + 1, 0, 0); });
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_ALLINPUT), WAIT_OBJECT_0);
  poster.join();
  EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE), MAKELONG(QS_POSTMESSAGE, QS_POSTMESSAGE));
  EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE), MAKELONG(0, QS_POSTMESSAGE));  // that was a look
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_USER + 1u);
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);  // the quit was kept
  EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(PlatformMessageQueue, MsgWaitRejectsBadArguments) {
  HANDLE handles[MAXIMUM_WAIT_OBJECTS] = {};
  EXPECT_EQ(MsgWaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, handles, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFF0));
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &bogus, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(PlatformMessageQueue, WaitMessageReturnsForPostFromOtherThread) {
  DWORD self = GetCurrentThreadId();
  MSG probe;
  PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE);
  std::thread poster([&] { PostThreadMessageA(self, WM_USER + 5, 0, 0); });
  EXPECT_TRUE(WaitMessage());
  poster.join();
  EXPECT_EQ(DrainMatching(nullptr, 0, 0), std::vector<UINT>{WM_USER + 5});
}

}  // namespace
