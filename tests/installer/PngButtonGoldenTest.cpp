// The image button's looks kept as golden pictures: the four layouts with
// the installer's caption, and each frame style in each state.
#include <gtest/gtest.h>

#include "AnsiStrings.h"
#include "Forms.h"
#include "GoldenImage.h"
#include "HeadlessGuiTest.h"
#include "PngTestPictures.h"
#include "pngextra.h"

using namespace qorv::test;

namespace {

const TColor kGround = static_cast<TColor>(0x503020);  // the installer's dark blue page

class PngButtonGolden : public HeadlessGuiTest {
 protected:
  TPNGButton* AddButton(TForm& form, int left, int top, int width, int height, TPNGButtonLayout layout,
                        TPNGButtonStyle style) {
    auto* b = new TPNGButton(&form);
    b->SetParent(&form);
    b->SetBounds(left, top, width, height);
    b->Font().SetName("Tahoma");
    b->Font().SetHeight(-12);
    b->Font().SetColor(clWhite);
    b->SetButtonLayout(layout);
    b->SetButtonStyle(style);
    b->SetCaption(Utf8ToAnsi("\u0627\u062a\u0635\u0627\u0644 \u0627\u0632 \u0631\u0627\u0647 \u062f\u0648\u0631"));
    b->SetImageNormal(TestPicture("normal.png"));
    b->SetImageOver(TestPicture("over.png"));
    b->SetImageDown(TestPicture("down.png"));
    return b;
  }
};

}  // namespace

// Above and below in the installer's 95 by 90, left and right in wider
// buttons so the caption fits beside the picture.
TEST_F(PngButtonGolden, FourLayouts) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 610, 100);
  form.SetColor(kGround);
  AddButton(form, 5, 5, 95, 90, pbsImageAbove, pbsNoFrame);
  AddButton(form, 105, 5, 95, 90, pbsImageBellow, pbsNoFrame);
  AddButton(form, 205, 5, 200, 90, pbsImageLeft, pbsNoFrame);
  AddButton(form, 405, 5, 200, 90, pbsImageRight, pbsNoFrame);
  auto surface = form.PaintToSurface();
  ExpectLikeGolden(*surface, "installer", "png-button-layouts.png");
}

// Rows: pbsDefault, pbsFlat, pbsNoFrame. Columns: up, hovered, pressed,
// disabled.
TEST_F(PngButtonGolden, ThreeStylesInFourStates) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 405, 290);
  form.SetColor(kGround);
  const TPNGButtonStyle styles[] = {pbsDefault, pbsFlat, pbsNoFrame};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column) {
      TPNGButton* b = AddButton(form, 5 + column * 100, 5 + row * 95, 95, 90, pbsImageAbove, styles[row]);
      if (column == 1 || column == 2) b->MouseEnter();
      if (column == 2) b->MouseDown(mbLeft, ssLeft, 40, 40);
      if (column == 3) b->SetEnabled(false);
    }
  }
  auto surface = form.PaintToSurface();
  ExpectLikeGolden(*surface, "installer", "png-button-styles.png");
}
