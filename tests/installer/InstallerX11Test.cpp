// The installer window on a real (virtual) X server: both pages show exactly
// the pixels of the headless surface, and so their golden pictures. Skipped
// without a display; the CTest entry runs it under Xvfb.
#include <gtest/gtest.h>

#include <fileapi.h>
#include <objbase.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "Application.h"
#include "GoldenImage.h"
#include "PageControl.h"
#include "uNIiNSTALL.h"

using namespace qorv::test;

namespace {

class InstallerX11 : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    Application->Reset();
    if (Application->Headless()) {
      if (std::getenv("QORV_REQUIRE_DISPLAY")) FAIL() << "no X display although one is required";
      GTEST_SKIP() << "no X display";
    }
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    initialized_ = true;
  }
  void TearDown() override {
    if (initialized_) CoUninitialize();
  }
  bool initialized_ = false;
};

int PixelsUnlikeTheSurface(TForm1& window) {
  std::vector<std::uint32_t> shown;
  if (!window.CaptureFromDisplay(shown)) return -1;
  auto surface = window.PaintToSurface();
  int differing = 0;
  for (int y = 0; y < window.Height(); ++y) {
    for (int x = 0; x < window.Width(); ++x) {
      differing += shown[static_cast<std::size_t>(y) * window.Width() + x] != surface->Pixel(x, y);
    }
  }
  return differing;
}

}  // namespace

TEST_F(InstallerX11, PagesShowTheHeadlessSurface) {
  std::unique_ptr<TForm1> window(NewForm<TForm1>(nullptr));
  window->Show();
  Application->ProcessMessages();
  EXPECT_EQ(PixelsUnlikeTheSurface(*window), 0) << "single-user page";
  TPixels shown{window->Width(), window->Height(), {}};
  ASSERT_TRUE(window->CaptureFromDisplay(shown.Values));
  ExpectPixelsLikeGolden(shown, "installer", "installer-single-user.png", "shown-");

  window->PageControl1->SetActivePage(window->TabSheet2);
  Application->ProcessMessages();
  EXPECT_EQ(PixelsUnlikeTheSurface(*window), 0) << "network page";
  ASSERT_TRUE(window->CaptureFromDisplay(shown.Values));
  ExpectPixelsLikeGolden(shown, "installer", "installer-network.png", "shown-");
}
