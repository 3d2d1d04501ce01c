// A form sited in another form's window on a real (virtual) X server: the
// host's window shows exactly the host's headless picture, the sited form
// included, and keeps doing so when the sited form moves, changes, hides or
// leaves. Skipped without a display; the CTest entry runs it under Xvfb.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "Application.h"
#include "SitedFormSupport.h"

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

}  // namespace
