// Controls under input: the drop-down list, a custom graphic control with
// the mouse captured, and right-to-left label alignment on the surface.
#include <gtest/gtest.h>

#include "Application.h"
#include "ComboBox.h"
#include "FormInput.h"
#include "Forms.h"
#include "HeadlessGuiTest.h"
#include "Label.h"

namespace {

std::uint32_t Rgb(TColor color) {
  std::uint32_t bgr = ColorToRGB(color);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

class GuiControls : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    form_.SetBounds(0, 0, 200, 150);
    form_.Show();
  }
  TForm form_{nullptr};
};

TEST_F(GuiControls, DropDownListChoosesByClickAndKeys) {
  auto* combo = new TComboBox(&form_);
  combo->SetParent(&form_);
  combo->SetBounds(10, 10, 100, 21);
  combo->Style = csDropDownList;
  combo->Items = {"COM1", "COM2", "COM3"};
  combo->SetItemIndex(0);
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };

  PostClick(form_, 20, 15);
  Application->ProcessMessages();
  ASSERT_TRUE(combo->DroppedDown());
  // Rows of ItemHeight + 2 pixels below the box, after a one-pixel border.
  PostClick(form_, 20, 31 + 1 + 15 + 3);
  Application->ProcessMessages();
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), "COM2");

  PostClick(form_, 20, 15);
  PostClick(form_, 180, 140);
  Application->ProcessMessages();
  EXPECT_FALSE(combo->DroppedDown()) << "a click elsewhere closes the list";
  EXPECT_EQ(combo->ItemIndex(), 1);

  PostKey(form_, VK_DOWN);
  PostKey(form_, VK_DOWN);
  Application->ProcessMessages();
  EXPECT_EQ(combo->ItemIndex(), 2) << "Down stops at the last entry";
  PostKey(form_, VK_UP);
  Application->ProcessMessages();
  EXPECT_EQ(combo->Text(), "COM2");
  EXPECT_EQ(changes, 3);
  combo->SetItemIndex(7);
  EXPECT_EQ(combo->ItemIndex(), 1) << "an index past the list is refused";
}

// Records its input and paints itself red while pressed.
class TProbeControl : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<std::string> Log;
  bool Down = false;
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    Down = true;
    Repaint();
    Log.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    TGraphicControl::MouseDown(b, s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    Down = false;
    Repaint();
    Log.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    TGraphicControl::MouseUp(b, s, x, y);
  }
  void Click() override { Log.push_back("click"); }

 protected:
  void Paint() override {
    Canvas().Brush = TBrush{Down ? clRed : clBlue, bsSolid};
    Canvas().FillRect(ClientRect());
  }
};

TEST_F(GuiControls, CapturedControlGetsTheReleaseOutsideWithoutAClick) {
  auto* probe = new TProbeControl(&form_);
  probe->SetParent(&form_);
  probe->SetBounds(50, 50, 20, 20);
  PostMouseButton(form_, WM_LBUTTONDOWN, 55, 55);
  PostMouseMove(form_, 150, 120);
  PostMouseButton(form_, WM_LBUTTONUP, 150, 120);
  PostClick(form_, 60, 60);
  Application->ProcessMessages();
  EXPECT_EQ(probe->Log, (std::vector<std::string>{"down 5,5", "up 100,70", "down 10,10", "click", "up 10,10"}))
      << "coordinates stay the control's own; click comes before the release";
  auto surface = form_.PaintToSurface();
  EXPECT_EQ(surface->Pixel(50, 50), 0x0000FFu);
  EXPECT_EQ(surface->Pixel(49, 50), Rgb(clBtnFace)) << "nothing outside the control";
}

TEST_F(GuiControls, RightToLeftLabelDrawsAtItsRightEdge) {
  auto* label = new TLabel(&form_);
  label->SetParent(&form_);
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 200, 20);
  label->SetCaption("ab");
  label->SetTransparent(true);
  auto inked = [&](int fromX, int toX) {
    auto surface = form_.PaintToSurface();
    for (int y = 0; y < 20; ++y) {
      for (int x = fromX; x < toX; ++x) {
        if (surface->Pixel(x, y) != Rgb(clBtnFace)) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(inked(0, 40));
  EXPECT_FALSE(inked(160, 200));
  label->SetBiDiMode(bdRightToLeft);
  EXPECT_FALSE(inked(0, 40)) << "left justification mirrors to the right";
  EXPECT_TRUE(inked(160, 200));
}

}  // namespace
