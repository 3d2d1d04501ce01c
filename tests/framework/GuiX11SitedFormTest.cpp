// A form sited in another form's window on a real (virtual) X server: the
// host's window shows exactly the host's headless picture, the sited form
// included, and keeps doing so when the sited form moves, changes, hides or
// leaves. A press on the sited form from the display gives it the keys the
// display then types into the host's window. Skipped without a display; the
// CTest entry runs it under Xvfb.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "SitedFormSupport.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

namespace {

namespace sited = qorv::test::sited;

class GuiX11SitedForm : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    if (!Application->Headless()) return;
    if (std::getenv("QORV_REQUIRE_DISPLAY")) FAIL() << "no X display although one is required";
    GTEST_SKIP() << "no X display";
  }
};

// Handles messages until the host's window, as the display shows it, equals
// the expected pixels, or the bound passes; then reports the last difference.
::testing::AssertionResult DisplayShows(TCustomForm& host, const std::vector<std::uint32_t>& expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    Application->ProcessMessages();
    std::vector<std::uint32_t> shown;
    if (!host.CaptureFromDisplay(shown)) return ::testing::AssertionFailure() << "no capture";
    auto same = sited::SamePixels(shown, expected, host.Width());
    if (same || std::chrono::steady_clock::now() > deadline) return same;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

std::vector<std::uint32_t> HeadlessPicture(TCustomForm& host) {
  std::unique_ptr<TSurface> picture = host.PaintToSurface();
  return sited::PixelsOf(*picture);
}

TEST_F(GuiX11SitedForm, HostsWindowShowsItsHeadlessPictureWithTheSitedForm) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.Show();
  sited::TCornerForm child(nullptr);
  sited::PlaceIn(child, host.Handle(), 10, 20);
  ASSERT_TRUE(sited::ShowsOnly(host, {{&child, 10, 20}})) << "the headless picture itself";
  EXPECT_TRUE(DisplayShows(host, HeadlessPicture(host)));

  sited::PlaceIn(child, host.Handle(), 120, 60);
  EXPECT_TRUE(DisplayShows(host, HeadlessPicture(host))) << "moved";

  // A change inside the sited form reaches the host's window.
  child.SetColor(clGreen);
  ASSERT_TRUE(sited::ShowsOnly(host, {{&child, 120, 60}}));
  EXPECT_TRUE(DisplayShows(host, HeadlessPicture(host))) << "repainted";

  ShowWindow(child.Handle(), SW_HIDE);
  child.SetVisible(false);
  EXPECT_TRUE(DisplayShows(host, HeadlessPicture(host))) << "hidden in place";

  sited::PlaceIn(child, host.Handle(), 120, 60);
  EXPECT_TRUE(DisplayShows(host, HeadlessPicture(host))) << "shown again";
  child.SiteIn(nullptr);
  ASSERT_TRUE(sited::ShowsOnly(host, {}));
  EXPECT_TRUE(DisplayShows(host, HeadlessPicture(host))) << "parked again";
}

// Input from a second connection, as the server delivers what a person does
// over the host's window.
class TDisplayInput {
 public:
  explicit TDisplayInput(const char* title) : display_(XOpenDisplay(nullptr)) {
    if (display_) window_ = FindNamed(title);
  }
  ~TDisplayInput() {
    if (display_) XCloseDisplay(display_);
  }
  TDisplayInput(const TDisplayInput&) = delete;
  TDisplayInput& operator=(const TDisplayInput&) = delete;

  bool Ready() const { return window_ != 0; }

  void Click(int x, int y) {
    XButtonEvent e{};
    e.display = display_;
    e.window = window_;
    e.root = DefaultRootWindow(display_);
    e.button = Button1;
    e.x = x;
    e.y = y;
    e.same_screen = True;
    e.type = ButtonPress;
    XSendEvent(display_, window_, True, ButtonPressMask, reinterpret_cast<XEvent*>(&e));
    e.type = ButtonRelease;
    e.state = Button1Mask;
    XSendEvent(display_, window_, True, ButtonReleaseMask, reinterpret_cast<XEvent*>(&e));
    XFlush(display_);
  }

  void Type(KeySym sym) {
    XKeyEvent e{};
    e.display = display_;
    e.window = window_;
    e.root = DefaultRootWindow(display_);
    e.keycode = XKeysymToKeycode(display_, sym);
    e.same_screen = True;
    e.type = KeyPress;
    XSendEvent(display_, window_, True, KeyPressMask, reinterpret_cast<XEvent*>(&e));
    e.type = KeyRelease;
    XSendEvent(display_, window_, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
    XFlush(display_);
  }

 private:
  ::Window FindNamed(const char* title) {
    ::Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr, found = 0;
    unsigned count = 0;
    if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(display_, children[i], &name) && name) {
        if (std::string(name) == title) found = children[i];
        XFree(name);
      }
    }
    XFree(children);
    return found;
  }

  Display* display_;
  ::Window window_ = 0;
};

bool PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Application->ProcessMessages();
  }
  return true;
}

TEST_F(GuiX11SitedForm, KeysTypedAfterAPressOnTheSitedFormReachIt) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.SetCaption("X11 sited form keys");
  host.Show();
  sited::TCornerForm child(nullptr);
  sited::PlaceIn(child, host.Handle(), 10, 20);
  std::string hostKeys, childKeys;
  host.OnKeyPress = [&](TObject*, char& key) { hostKeys += key; };
  child.OnKeyPress = [&](TObject*, char& key) { childKeys += key; };
  Application->ProcessMessages();
  TDisplayInput input("X11 sited form keys");
  ASSERT_TRUE(input.Ready());

  input.Click(30, 30);
  input.Type(XK_a);
  ASSERT_TRUE(PumpUntil([&] { return !childKeys.empty() || !hostKeys.empty(); }));
  EXPECT_EQ(childKeys, "a");
  EXPECT_EQ(hostKeys, "");

  input.Click(150, 100);
  input.Type(XK_b);
  ASSERT_TRUE(PumpUntil([&] { return !hostKeys.empty(); }));
  EXPECT_EQ(hostKeys, "b") << "after a press on the host";
  EXPECT_EQ(childKeys, "a");
}

}  // namespace
