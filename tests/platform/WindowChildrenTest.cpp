// Walking a window's children, and what a parent draws again when one of its
// visible children moves, changes size, hides, shows or leaves it.
#include <gtest/gtest.h>

#include "WindowTestSupport.h"

using namespace qorv::test;

namespace {

// The parent's pending update area; empty when nothing waits to be drawn.
RECT PendingUpdate(HWND hwnd) {
  RECT update{};
  if (!GetUpdateRect(hwnd, &update, FALSE)) return RECT{};
  return update;
}

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

::testing::AssertionResult Pending(HWND hwnd, const RECT& expected) {
  const RECT got = PendingUpdate(hwnd);
  ValidateRect(hwnd, nullptr);
  if (Same(got, expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "update {" << got.left << "," << got.top << "," << got.right << ","
                                       << got.bottom << "}, expected {" << expected.left << "," << expected.top << ","
                                       << expected.right << "," << expected.bottom << "}";
}

TEST(PlatformWindowChildren, GetWindowWalksTheChildrenTopFirst) {
  HWND parent = CreateTestWindow();
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << "no children yet";
  HWND first = CreateTestWindow(parent, WS_CHILD);
  HWND second = CreateTestWindow(parent, WS_CHILD);
  HWND third = CreateTestWindow(parent, WS_CHILD);
  // The newest child is on top.
  EXPECT_EQ(GetWindow(parent, GW_CHILD), third);
  EXPECT_EQ(GetWindow(third, GW_HWNDNEXT), second);
  EXPECT_EQ(GetWindow(second, GW_HWNDNEXT), first);
  EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(first, GW_HWNDPREV), second);
  EXPECT_EQ(GetWindow(third, GW_HWNDPREV), nullptr);
  EXPECT_EQ(GetWindow(second, GW_HWNDFIRST), third);
  EXPECT_EQ(GetWindow(second, GW_HWNDLAST), first);

  SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), first) << "raised to the top";

  SetLastError(0);
  EXPECT_EQ(GetWindow(first, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  DestroyWindow(parent);
  SetLastError(0);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(PlatformWindowChildren, ParentDrawsAgainWhereAVisibleChildWasAndIs) {
  HWND parent = CreateTestWindow(nullptr, WS_VISIBLE);
  MoveWindow(parent, 0, 0, 200, 200, FALSE);
  HWND child = CreateTestWindow(parent, WS_CHILD | WS_VISIBLE);
  MoveWindow(child, 10, 10, 20, 20, FALSE);
  ValidateRect(parent, nullptr);

  SetWindowPos(child, nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_TRUE(Pending(parent, RECT{10, 10, 70, 80})) << "moved: the old and the new place";
  SetWindowPos(child, nullptr, 0, 0, 30, 5, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(Pending(parent, RECT{50, 60, 80, 80})) << "resized in place";
  SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_TRUE(Pending(parent, RECT{})) << "a change of order alone draws nothing";
  SetWindowPos(child, nullptr, 50, 60, 20, 20, SWP_NOZORDER | SWP_NOREDRAW);
  EXPECT_TRUE(Pending(parent, RECT{})) << "asked not to draw";

  ShowWindow(child, SW_HIDE);
  EXPECT_TRUE(Pending(parent, RECT{50, 60, 70, 80})) << "hidden";
  SetWindowPos(child, nullptr, 0, 0, 10, 10, SWP_NOZORDER);
  EXPECT_TRUE(Pending(parent, RECT{})) << "a hidden child covers nothing";
  ShowWindow(child, SW_SHOW);
  EXPECT_TRUE(Pending(parent, RECT{0, 0, 10, 10})) << "shown";

  HWND other = CreateTestWindow(nullptr, WS_VISIBLE);
  MoveWindow(other, 0, 0, 100, 100, FALSE);
  ValidateRect(other, nullptr);
  SetParent(child, other);
  EXPECT_TRUE(Pending(parent, RECT{0, 0, 10, 10})) << "the parent it left";
  EXPECT_TRUE(Pending(other, RECT{0, 0, 10, 10})) << "the parent it joined";

  // Top-level windows have no parent to tell.
  MoveWindow(other, 5, 5, 100, 100, FALSE);
  EXPECT_TRUE(Pending(parent, RECT{}));
  DestroyWindow(other);
  DestroyWindow(parent);
}

}  // namespace
