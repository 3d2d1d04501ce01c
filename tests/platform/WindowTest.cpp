#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "WindowTestSupport.h"

using namespace qorv::test;

namespace {

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

WNDCLASSA ClassNamed(LPCSTR name, int extra = 4) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PlainProc;
  wc.cbWndExtra = extra;
  wc.lpszClassName = name;
  return wc;
}

std::vector<UINT> MessagesOf(HWND hwnd) {
  std::vector<UINT> out;
  for (auto& e : TestLog().Entries())
    if (e.hwnd == hwnd) out.push_back(e.message);
  return out;
}

TEST(PlatformWindowClass, RegistrationRulesAndErrors) {
  WNDCLASSA wc = ClassNamed("sioComWindow");
  ATOM atom = RegisterClassA(&wc);
  ASSERT_NE(atom, 0);
  WNDCLASSA again = ClassNamed("SIOCOMWINDOW");
  EXPECT_EQ(RegisterClassA(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASSA noProc = ClassNamed("NoProc");
  noProc.lpfnWndProc = nullptr;
  WNDCLASSA negative = ClassNamed("Negative", -1);
  WNDCLASSA noName = ClassNamed("");
  for (WNDCLASSA* bad : {&noProc, &negative, &noName}) {
    EXPECT_EQ(RegisterClassA(bad), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }

  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  // By name, as the port creates its window, or by atom.
  HWND byName = CreateWindowExA(0, "sioComWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  HWND byAtom = CreateWindowExA(0, MAKEINTATOM(atom), "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(byName, nullptr);
  ASSERT_NE(byAtom, nullptr);
  char name[32];
  EXPECT_EQ(GetClassNameA(byAtom, name, sizeof name), 12);
  EXPECT_STREQ(name, "sioComWindow");

  EXPECT_FALSE(UnregisterClassA("sioComWindow", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  DestroyWindow(byName);
  DestroyWindow(byAtom);
  EXPECT_TRUE(UnregisterClassA("sioComWindow", nullptr));
  EXPECT_FALSE(UnregisterClassA("sioComWindow", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

TEST(PlatformWindowCreate, SendsCreationMessagesInOrder) {
  static void* createParams;
  static int createdX;
  SetTestHook([](HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT*) {
    if (msg == WM_CREATE) {
      auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      createParams = create->lpCreateParams;
      createdX = create->x;
    }
    return false;
  });
  TestLog().Clear();
  RegisterTestClass();
  static int marker;
  HWND window =
      CreateWindowExA(0, "QorvTestWindow", "Title", WS_VISIBLE, 5, 6, 70, 80, nullptr, nullptr, nullptr, &marker);
  SetTestHook(nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(MessagesOf(window), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
  EXPECT_EQ(createParams, &marker);
  EXPECT_EQ(createdX, 5);
  EXPECT_EQ(TestLog().Entries()[2].lParam, MAKELPARAM(70, 80));
  char title[16];
  EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 5);
  EXPECT_STREQ(title, "Title");
  EXPECT_TRUE(IsWindowVisible(window));
  // A message-only window is never visible, whatever its style.
  HWND messageOnly = CreateTestWindow(HWND_MESSAGE, WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(messageOnly));
  DestroyWindow(window);
  DestroyWindow(messageOnly);
}

// A procedure refusing WM_NCCREATE or WM_CREATE ends the creation cleanly.
TEST(PlatformWindowCreate, RefusedCreationLeavesNoWindow) {
  static HWND seen;
  static int refuseFirst, throwOnCreate;
  struct Refuser {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
      seen = hwnd;
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      if (msg == WM_NCCREATE && create->lpCreateParams == &refuseFirst) return FALSE;
      if (msg == WM_CREATE && create->lpCreateParams == &throwOnCreate) throw std::runtime_error("create failed");
      if (msg == WM_CREATE) return -1;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
  };
  WNDCLASSA wc = ClassNamed("Refuser");
  wc.lpfnWndProc = Refuser::Proc;
  RegisterClassA(&wc);
  for (void* param : {static_cast<void*>(&refuseFirst), static_cast<void*>(nullptr)}) {
    seen = nullptr;
    EXPECT_EQ(CreateWindowExA(0, "Refuser", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, param), nullptr);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
  }
  // A procedure that throws during creation: the exception reaches the
  // creator and the half-made window is gone.
  EXPECT_THROW(CreateWindowExA(0, "Refuser", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, &throwOnCreate),
               std::runtime_error);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_TRUE(UnregisterClassA("Refuser", nullptr));  // no window of it survived
}

TEST(PlatformWindowCreate, ParentRules) {
  RegisterTestClass();
  EXPECT_EQ(CreateTestWindow(nullptr, WS_CHILD), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_TLW_WITH_WSCHILD);
  EXPECT_EQ(CreateTestWindow(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7FFF0))), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// WM_DESTROY goes parent first, WM_NCDESTROY children first; owned windows go
// before their owner; only the owner thread may destroy.
TEST(PlatformWindowDestroy, OrderAndOwnerThread) {
  TestLog().Clear();
  HWND parent = CreateTestWindow();
  HWND child = CreateTestWindow(parent, WS_CHILD);
  HWND grandchild = CreateTestWindow(child, WS_CHILD);
  HWND popup = CreateTestWindow(parent, WS_POPUP);
  EXPECT_EQ(GetParent(popup), parent);
  EXPECT_EQ(GetParent(grandchild), child);

  BOOL foreignResult = TRUE;
  DWORD foreignError = 0;
  std::thread([&] {
    foreignResult = DestroyWindow(parent);
    foreignError = GetLastError();
  }).join();
  EXPECT_FALSE(foreignResult);
  EXPECT_EQ(foreignError, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsWindow(parent));

  TestLog().Clear();
  EXPECT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> order;
  for (auto& e : TestLog().Entries())
    if (e.message == WM_DESTROY || e.message == WM_NCDESTROY) order.emplace_back(e.hwnd, e.message);
  std::vector<std::pair<HWND, UINT>> expected = {
      {popup, WM_DESTROY},      {popup, WM_NCDESTROY},      {parent, WM_DESTROY},  {child, WM_DESTROY},
      {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  for (HWND w : {parent, child, grandchild, popup}) EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(DestroyWindow(parent));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// Extra bytes: the value must lie wholly inside the class's cbWndExtra.
TEST(PlatformWindowLong, ExtraBytesBoundaries) {
  HWND window = CreateTestWindow(HWND_MESSAGE);  // 8 extra bytes
  struct Row {
    int index;
    bool pointerSized;
    bool valid;
  } rows[] = {{0, false, true}, {4, false, true}, {5, false, false},  {8, false, false},
              {0, true, true},  {1, true, false}, {-2, false, false}, {-100, true, false}};
  for (const Row& row : rows) {
    SetLastError(0);
    LONG_PTR previous = row.pointerSized ? SetWindowLongPtrA(window, row.index, 0x1122334455667788LL)
                                         : SetWindowLongA(window, row.index, 0x11223344);
    (void)previous;
    DWORD error = GetLastError();
    EXPECT_EQ(error, row.valid ? 0u : ERROR_INVALID_INDEX) << "index " << row.index;
  }
  EXPECT_EQ(GetWindowLongPtrA(window, 0), 0x1122334455667788LL);
  EXPECT_EQ(SetWindowLongA(window, 4, -1), 0x11223344);
  EXPECT_EQ(GetWindowLongA(window, 4), -1);
  EXPECT_EQ(GetWindowLongA(window, 0), 0x55667788);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongA(window, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(GetWindowLongA(nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  DestroyWindow(window);
}

// Pointer-valued fields need the Ptr calls on this host; user data keeps a
// whole pointer; a new procedure takes the messages from then on.
TEST(PlatformWindowLong, FieldsAndSubclassing) {
  static WNDPROC previous;
  static int subclassed;
  struct Sub {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
      if (msg == WM_USER) ++subclassed;
      return CallWindowProcA(previous, hwnd, msg, wParam, lParam);
    }
  };
  TestLog().Clear();
  HWND parent = CreateTestWindow();
  RegisterTestClass();
  HWND child = CreateWindowExA(0, "QorvTestWindow", "", WS_CHILD, 0, 0, 1, 1, parent,
                               reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(42)), nullptr, nullptr);
  EXPECT_EQ(GetWindowLongA(child, GWL_ID), 42);
  EXPECT_EQ(GetWindowLongA(child, GWL_STYLE), static_cast<LONG>(WS_CHILD));
  EXPECT_EQ(GetWindowLongPtrA(child, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(parent));
  SetLastError(0);
  EXPECT_EQ(GetWindowLongA(child, GWL_WNDPROC), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);

  int data;
  SetWindowLongPtrA(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&data));
  EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&data));

  previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Sub::Proc)));
  ASSERT_NE(previous, nullptr);
  SendMessageA(child, WM_USER, 0, 0);
  EXPECT_EQ(subclassed, 1);
  EXPECT_EQ(TestLog().Count(WM_USER), 1);  // passed on to the class procedure
  DestroyWindow(parent);
}

TEST(PlatformWindowTree, GeometryVisibilityAndParents) {
  HWND top = CreateTestWindow();
  HWND child = CreateTestWindow(top, WS_CHILD | WS_VISIBLE);
  EXPECT_TRUE(MoveWindow(top, 100, 200, 300, 400, FALSE));
  EXPECT_TRUE(SetWindowPos(child, nullptr, 10, 20, -5, 30, SWP_NOZORDER));
  RECT rect;
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.left, 110);
  EXPECT_EQ(rect.top, 220);
  EXPECT_EQ(rect.right, 110);  // a negative width becomes 0
  GetClientRect(top, &rect);
  EXPECT_EQ(rect.right, 300);
  EXPECT_EQ(rect.bottom, 400);
  POINT point{1, 1};
  ClientToScreen(child, &point);
  EXPECT_EQ(point.x, 111);
  ScreenToClient(top, &point);
  EXPECT_EQ(point.x, 11);

  // Visible only with every ancestor visible.
  EXPECT_FALSE(IsWindowVisible(child));
  EXPECT_FALSE(ShowWindow(top, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_TRUE(ShowWindow(top, SW_SHOWNORMAL));

  // A window cannot become its own descendant.
  EXPECT_EQ(SetParent(top, child), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetParent(child, nullptr), top);
  EXPECT_FALSE(IsChild(top, child));
  EXPECT_EQ(SetParent(child, top), GetDesktopWindow());
  EXPECT_TRUE(IsChild(top, child));

  DWORD process = 0;
  EXPECT_EQ(GetWindowThreadProcessId(child, &process), GetCurrentThreadId());
  EXPECT_EQ(process, GetCurrentProcessId());
  DestroyWindow(top);
}

TEST(PlatformWindowTree, EnableAndFocus) {
  TestLog().Clear();
  HWND top = CreateTestWindow();
  HWND edit = CreateTestWindow(top, WS_CHILD);
  EXPECT_EQ(SetFocus(top), nullptr);
  EXPECT_EQ(SetFocus(edit), top);
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_EQ(MessagesOf(top).back(), static_cast<UINT>(WM_KILLFOCUS));
  EXPECT_EQ(MessagesOf(edit).back(), static_cast<UINT>(WM_SETFOCUS));

  EXPECT_FALSE(EnableWindow(edit, FALSE));  // was enabled
  EXPECT_FALSE(IsWindowEnabled(edit));
  EXPECT_EQ(GetFocus(), nullptr);  // a disabled window loses the focus
  EXPECT_TRUE(EnableWindow(edit, FALSE));
  EXPECT_EQ(TestLog().Count(WM_ENABLE), 1);  // no message without a change
  EXPECT_TRUE(EnableWindow(edit, TRUE));

  // Another thread can neither focus our window nor see our focus.
  SetFocus(edit);
  HWND seen = edit, taken = edit;
  std::thread([&] {
    seen = GetFocus();
    taken = SetFocus(top);
  }).join();
  EXPECT_EQ(seen, nullptr);
  EXPECT_EQ(taken, nullptr);
  EXPECT_EQ(GetFocus(), edit);
  DestroyWindow(top);
  EXPECT_EQ(GetFocus(), nullptr);
}

TEST(PlatformWindowTree, TextAcrossThreads) {
  HWND window = CreateTestWindow(nullptr, 0, "Start");
  EXPECT_TRUE(SetWindowTextA(window, "\xD8\xB6\xD8\xA8\xD8\xB7"));  // bytes pass unchanged
  char buffer[4];
  EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 3);  // truncated, terminated
  EXPECT_EQ(std::strlen(buffer), 3u);
  EXPECT_EQ(GetWindowTextLengthA(window), 6);
  int foreignLength = 0;
  char foreign[16] = {};
  std::thread([&] { foreignLength = GetWindowTextA(window, foreign, sizeof foreign); }).join();
  EXPECT_EQ(foreignLength, 6);
  EXPECT_EQ(GetWindowTextA(window, buffer, 0), 0);
  DestroyWindow(window);
}

// Broadcasts reach top-level windows only: not children, not message-only.
TEST(PlatformWindowTree, BroadcastFindAndEnumSeeTopLevelOnly) {
  TestLog().Clear();
  HWND top = CreateTestWindow(nullptr, 0, "Installer");
  HWND child = CreateTestWindow(top, WS_CHILD);
  HWND messageOnly = CreateTestWindow(HWND_MESSAGE, 0, "Hidden");
  SendMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
  PostMessageA(HWND_BROADCAST, WM_USER, 0, 0);
  PumpPending();
  EXPECT_EQ(TestLog().Count(WM_FONTCHANGE), 1);
  EXPECT_EQ(TestLog().Count(WM_USER), 1);
  for (auto& e : TestLog().Entries()) {
    if (e.message != WM_FONTCHANGE && e.message != WM_USER) continue;
    EXPECT_EQ(e.hwnd, top);
  }
  EXPECT_EQ(FindWindowA("qorvtestwindow", "INSTALLER"), top);
  EXPECT_EQ(FindWindowA(nullptr, "Hidden"), nullptr);
  static std::vector<HWND> seen;
  seen.clear();
  EXPECT_TRUE(EnumWindows(
      [](HWND hwnd, LPARAM) -> BOOL {
        seen.push_back(hwnd);
        return TRUE;
      },
      0));
  EXPECT_EQ(seen, std::vector<HWND>{top});
  EXPECT_FALSE(EnumWindows([](HWND, LPARAM) -> BOOL { return FALSE; }, 0));
  DestroyWindow(top);
  DestroyWindow(messageOnly);
  (void)child;
}

// WM_CLOSE and SC_CLOSE reach DestroyWindow through DefWindowProcA.
TEST(PlatformWindowTree, CloseThroughDefaultProcedure) {
  HWND window = CreateTestWindow();
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(window));
  window = CreateTestWindow();
  PostMessageA(window, WM_SYSKEYDOWN, VK_F4, 1 << 29);
  PumpPending();
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
