// The about box on a real (virtual) X server: the window shows the golden
// picture the headless surface is checked against, and a key typed at the
// window ends the modal loop. Skipped without a display; the CTest entry runs
// it under Xvfb.
#include <gtest/gtest.h>

#include <cstdlib>

#include "About1.h"
#include "Application.h"
#include "FormInput.h"
#include "GoldenImage.h"

namespace {

class AboutBoxX11 : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    if (!Application->Headless()) return;
    if (std::getenv("QORV_REQUIRE_DISPLAY")) FAIL() << "no X display although one is required";
    GTEST_SKIP() << "no X display";
  }
  void TearDown() override { SetModalResponder(nullptr); }
};

TEST_F(AboutBoxX11, ShowsItsGoldenPictureAndClosesOnEscape) {
  bool captured = false;
  SetModalResponder([&](TCustomForm& form) {
    Application->ProcessMessages();
    qorv::test::TPixels shown{form.ClientWidth(), form.ClientHeight(), {}};
    captured = form.CaptureFromDisplay(shown.Values);
    if (captured) qorv::test::ExpectPixelsLikeGolden(shown, "recorder", "about-box.png", "shown-");
    PostKey(form, VK_ESCAPE);
  });
  ShowAboutBox();
  EXPECT_TRUE(captured) << "the window's pixels could not be read";
  for (TCustomForm* form : Application->Forms()) EXPECT_EQ(dynamic_cast<TQorvXAbout*>(form), nullptr);
}

}  // namespace
