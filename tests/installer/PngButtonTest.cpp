// The image button on a headless form: where it paints its picture and its
// caption in each layout, pressed or not; its frames; and its state under
// posted mouse input, read off the painted surface.
#include <gtest/gtest.h>

#include "AnsiStrings.h"
#include "Application.h"
#include "FormInput.h"
#include "Forms.h"
#include "HeadlessGuiTest.h"
#include "PngTestPictures.h"
#include "pngextra.h"

using namespace qorv::test;

namespace {

// Records the state and hover flag of every paint.
class TSpyButton : public TPNGButton {
 public:
  using TPNGButton::TPNGButton;
  struct Look {
    TPNGButtonState State;
    bool Hover;
  };
  std::vector<Look> Paints;

 protected:
  void Paint() override {
    Paints.push_back({ButtonState(), MouseOver()});
    TPNGButton::Paint();
  }
};

// "Remote connection", the installer's caption.
const std::string kCaption =
    Utf8ToAnsi("\u0627\u062a\u0635\u0627\u0644 \u0627\u0632 \u0631\u0627\u0647 \u062f\u0648\u0631");

class PngButton : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    form_.SetBounds(0, 0, 320, 200);
    // Pure blue: white or grey caption ink over it keeps blue 255, and the
    // coordinate pictures have blue 0x80, so neither is taken for the other.
    form_.SetColor(clBlue);
    form_.Show();
  }

  TSpyButton* AddButton(int width, int height, TPNGButtonLayout layout = pbsImageAbove,
                        TPNGButtonStyle style = pbsNoFrame) {
    auto* b = new TSpyButton(&form_);
    b->SetParent(&form_);
    b->SetBounds(10, 20, width, height);
    b->SetButtonLayout(layout);
    b->SetButtonStyle(style);
    b->Font().SetName("Tahoma");
    b->Font().SetHeight(-12);
    b->Font().SetColor(clWhite);
    return b;
  }

  // Input at a point of the button, as the form receives it.
  void MoveTo(TControl* b, int x, int y) { PostMouseMove(form_, b->Left() + x, b->Top() + y); }
  void Button(TControl* b, UINT message, int x, int y) { PostMouseButton(form_, message, b->Left() + x, b->Top() + y); }
  void MoveOff() { PostMouseMove(form_, 315, 195); }
  void Pump() { Application->ProcessMessages(); }

  // The coordinate picture's top-left corner in button coordinates.
  TPoint PictureAt(TControl* b) {
    auto surface = form_.PaintToSurface();
    TPoint origin{-999, -999};
    EXPECT_TRUE(CoordinatePictureOrigin(*surface, b->BoundsRect(), origin)) << "no coordinate picture seen";
    return {origin.X - b->Left(), origin.Y - b->Top()};
  }
  // Caption ink (white or grey over the blue ground), in button coordinates.
  TBox InkOf(TControl* b) {
    auto surface = form_.PaintToSurface();
    TBox box = BoxOf(*surface, b->BoundsRect(), [](std::uint32_t p) { return Blue(p) == 255 && Red(p) > 0; });
    return {box.Left - b->Left(), box.Top - b->Top(), box.Right - b->Left(), box.Bottom - b->Top()};
  }
  std::uint32_t PixelOf(TControl* b, int x, int y) {
    return form_.PaintToSurface()->Pixel(b->Left() + x, b->Top() + y);
  }

  TForm form_{nullptr};
};

}  // namespace

// The installer's button: 95 by 90 with a 64 by 60 picture and no caption
// draws it at (15, 15), and pressed 2 pixels further right and down in the
// above and below layouts, only down in the left and right layouts.
TEST_F(PngButton, PictureCentredAndOffsetWhilePressed) {
  struct Case {
    TPNGButtonLayout Layout;
    TPoint Up, Pressed;
  } cases[] = {
      {pbsImageAbove, {15, 15}, {17, 17}},
      {pbsImageBellow, {15, 15}, {17, 17}},
      {pbsImageLeft, {15, 15}, {15, 17}},
      {pbsImageRight, {20, 15}, {20, 17}},  // the caption's 5-pixel gap counts, even with no caption
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Layout));
    TSpyButton* b = AddButton(95, 90, c.Layout);
    b->ImageNormal() = TestPicture("coords.png");
    TPoint up = PictureAt(b);
    EXPECT_EQ(up.X, c.Up.X);
    EXPECT_EQ(up.Y, c.Up.Y);
    MoveTo(b, 40, 40);
    Button(b, WM_LBUTTONDOWN, 40, 40);
    Pump();
    ASSERT_EQ(b->ButtonState(), pbsStateDown);
    ASSERT_TRUE(b->MouseOver());
    TPoint pressed = PictureAt(b);
    EXPECT_EQ(pressed.X, c.Pressed.X);
    EXPECT_EQ(pressed.Y, c.Pressed.Y);
    Button(b, WM_LBUTTONUP, 40, 40);
    MoveOff();
    Pump();
    delete b;
  }
}

// Halving truncates toward zero: 20 - 25 gives -2 (not -3), 21 - 64 gives
// -21 (not -22); the part left of the button is clipped away.
TEST_F(PngButton, PictureWiderThanButtonStartsLeftOfIt) {
  TSpyButton* narrow = AddButton(20, 20);
  narrow->ImageNormal() = TestPicture("coords25.png");
  TPoint at = PictureAt(narrow);
  EXPECT_EQ(at.X, -2);
  EXPECT_EQ(at.Y, 0);
  narrow->SetBounds(10, 20, 21, 90);
  narrow->ImageNormal() = TestPicture("coords.png");
  at = PictureAt(narrow);
  EXPECT_EQ(at.X, -21);
  EXPECT_EQ(at.Y, 15);
}

// With a caption: above puts it 4 pixels below the picture, left puts it 5
// pixels right of the picture; the caption's ink stays in its box, and
// pressing moves it with the picture.
TEST_F(PngButton, CaptionBesideThePictureByLayout) {
  struct Case {
    TPNGButtonLayout Layout;
    int Width;
    TPoint PressShift;
  } cases[] = {
      {pbsImageAbove, 95, {2, 2}},
      {pbsImageBellow, 95, {2, 2}},
      {pbsImageLeft, 200, {0, 2}},
      {pbsImageRight, 200, {0, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Layout));
    TSpyButton* b = AddButton(c.Width, 90, c.Layout);
    b->ImageNormal() = TestPicture("coords.png");
    b->SetCaption(kCaption);
    TSize text = b->Canvas().TextExtent(kCaption);
    ASSERT_GT(text.cx, 20);
    TPoint picture = PictureAt(b);
    TBox ink = InkOf(b);
    ASSERT_FALSE(ink.Empty());
    // The box the caption is drawn in, by the layout's rule.
    TBox expected;
    switch (c.Layout) {
      case pbsImageAbove:
        EXPECT_EQ(picture.Y, (90 - 64 - text.cy) / 2) << "the caption's gap counts in the height";
        expected = {(c.Width - text.cx) / 2, picture.Y + 64, 0, 0};
        break;
      case pbsImageBellow:
        expected = {(c.Width - text.cx) / 2, (90 - 64 - text.cy) / 2, 0, 0};
        EXPECT_EQ(picture.Y, expected.Top + text.cy);
        break;
      case pbsImageLeft:
        EXPECT_EQ(picture.X, (c.Width - 64 - text.cx) / 2);
        expected = {picture.X + 64 + 5, (90 - text.cy) / 2, 0, 0};
        break;
      case pbsImageRight:
        expected = {(c.Width - 64 - text.cx) / 2, (90 - text.cy) / 2, 0, 0};
        EXPECT_EQ(picture.X, expected.Left + text.cx + 5);
        break;
    }
    // Antialiasing may put ink one pixel beyond the logical extent sideways.
    expected.Right = expected.Left + text.cx + 1;
    expected.Left -= 1;
    expected.Bottom = expected.Top + text.cy;
    EXPECT_GE(ink.Left, expected.Left) << ink << " in " << expected;
    EXPECT_GE(ink.Top, expected.Top) << ink << " in " << expected;
    EXPECT_LE(ink.Right, expected.Right) << ink << " in " << expected;
    EXPECT_LE(ink.Bottom, expected.Bottom) << ink << " in " << expected;
    if (c.Layout == pbsImageAbove) {
      EXPECT_GE(ink.Top, picture.Y + 60 + 4) << "4 pixels below the picture";
    }
    if (c.Layout == pbsImageLeft) {
      EXPECT_GE(ink.Left, picture.X + 64 + 5 - 1) << "5 pixels right of the picture";
    }

    MoveTo(b, 3, 3);
    Button(b, WM_LBUTTONDOWN, 3, 3);
    Pump();
    TPoint pressedPicture = PictureAt(b);
    TBox pressedInk = InkOf(b);
    EXPECT_EQ(pressedPicture.X - picture.X, c.PressShift.X);
    EXPECT_EQ(pressedPicture.Y - picture.Y, c.PressShift.Y);
    EXPECT_EQ(pressedInk.Left - ink.Left, c.PressShift.X);
    EXPECT_EQ(pressedInk.Top - ink.Top, c.PressShift.Y);
    Button(b, WM_LBUTTONUP, 3, 3);
    MoveOff();
    Pump();
    delete b;
  }
}

// A flat button: raised frame while hovered, sunken while pressed; a held
// button that the mouse leaves shows its normal picture without offset and
// the raised frame (it is still down); coming back restores the pressed look.
TEST_F(PngButton, HeldButtonLeftByTheMouse) {
  TSpyButton* b = AddButton(95, 90, pbsImageAbove, pbsFlat);
  b->ImageNormal() = TestPicture("coords.png");
  EXPECT_EQ(PixelOf(b, 0, 0), Rgb(clBlue)) << "no frame while neither hovered nor down";
  MoveTo(b, 50, 50);
  Pump();
  EXPECT_EQ(PixelOf(b, 0, 0), Rgb(clBtnHighlight)) << "raised while hovered";
  EXPECT_EQ(PixelOf(b, 94, 89), Rgb(clBtnShadow));
  Button(b, WM_LBUTTONDOWN, 50, 50);
  Pump();
  EXPECT_EQ(PixelOf(b, 0, 0), Rgb(clBtnShadow)) << "sunken while pressed";
  EXPECT_EQ(PixelOf(b, 94, 89), Rgb(clBtnHighlight));

  MoveOff();
  Pump();
  EXPECT_EQ(b->ButtonState(), pbsStateDown);
  EXPECT_FALSE(b->MouseOver());
  TPoint at = PictureAt(b);
  EXPECT_EQ(at.X, 15);
  EXPECT_EQ(at.Y, 15);
  EXPECT_EQ(PixelOf(b, 0, 0), Rgb(clBtnHighlight)) << "raised: down but not pressed-looking";

  MoveTo(b, 50, 50);
  Pump();
  at = PictureAt(b);
  EXPECT_EQ(at.X, 17);
  EXPECT_EQ(at.Y, 17);
  EXPECT_EQ(PixelOf(b, 0, 0), Rgb(clBtnShadow));
}

// A press and release over the button clicks once, and the button has
// painted itself up before the click handler runs; a release elsewhere
// clicks nothing and still brings the button up.
TEST_F(PngButton, ClickFiresOnceAfterTheButtonPaintedUp) {
  TSpyButton* b = AddButton(95, 90);
  b->ImageNormal() = TestPicture("normal.png");
  std::vector<std::string> events;
  std::vector<TSpyButton::Look> seenAtClick;
  b->OnClick = [&](TObject*) {
    events.push_back("click");
    seenAtClick.push_back(b->Paints.back());
  };
  b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("down"); };
  b->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { events.push_back("up"); };
  PostClick(form_, 50, 50);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down", "click", "up"}));
  ASSERT_EQ(seenAtClick.size(), 1u);
  EXPECT_EQ(seenAtClick[0].State, pbsStateUp) << "painted up before OnClick";
  EXPECT_EQ(b->ButtonState(), pbsStateUp);

  events.clear();
  MoveTo(b, 50, 50);
  Button(b, WM_LBUTTONDOWN, 50, 50);
  MoveOff();
  PostMouseButton(form_, WM_LBUTTONUP, 315, 195);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down", "up"})) << "no click outside";
  EXPECT_EQ(b->ButtonState(), pbsStateUp);
}

// Only the left button presses; any button released while the press is held
// lets it up.
TEST_F(PngButton, OnlyTheLeftButtonPresses) {
  TSpyButton* b = AddButton(95, 90);
  MoveTo(b, 50, 50);
  Button(b, WM_RBUTTONDOWN, 50, 50);
  Pump();
  EXPECT_EQ(b->ButtonState(), pbsStateUp);
  Button(b, WM_RBUTTONUP, 50, 50);
  Button(b, WM_LBUTTONDOWN, 50, 50);
  Pump();
  EXPECT_EQ(b->ButtonState(), pbsStateDown);
  Button(b, WM_RBUTTONUP, 50, 50);
  Pump();
  EXPECT_EQ(b->ButtonState(), pbsStateUp);
}

// Hovering: set on entering, cleared on leaving, each with its event; also
// set by a move inside a button that is neither hovered nor down (the mouse
// was over it when it was enabled), never by a move while it is down.
TEST_F(PngButton, HoverFollowsTheMouse) {
  TSpyButton* b = AddButton(95, 90);
  b->ImageNormal() = TestPicture("coords25.png");
  b->ImageOver() = TestPicture("coords.png");
  int enters = 0, exits = 0;
  b->OnMouseEnter = [&](TObject*) { ++enters; };
  b->OnMouseExit = [&](TObject*) { ++exits; };
  MoveTo(b, 50, 50);
  Pump();
  EXPECT_TRUE(b->MouseOver());
  EXPECT_EQ(PictureAt(b).X, 15) << "the hover picture";
  MoveOff();
  Pump();
  EXPECT_FALSE(b->MouseOver());
  EXPECT_EQ(PictureAt(b).X, 35) << "the normal picture";
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(exits, 1);

  b->SetEnabled(false);
  MoveTo(b, 50, 50);
  Pump();
  b->SetEnabled(true);
  EXPECT_FALSE(b->MouseOver()) << "entering while disabled set nothing";
  MoveTo(b, 51, 50);
  Pump();
  EXPECT_TRUE(b->MouseOver()) << "a move inside sets it";
  EXPECT_EQ(enters, 1) << "without an enter event";

  b->MouseLeave();
  b->MouseDown(mbLeft, ssLeft, 5, 5);
  b->MouseMove(ssLeft, 5, 5);
  EXPECT_FALSE(b->MouseOver()) << "not while down";
  b->MouseMove(0, 95, 5);
  b->MouseUp(mbLeft, 0, 95, 5);
  b->MouseMove(0, 95, 5);
  EXPECT_FALSE(b->MouseOver()) << "not outside the client area";
}

// Disabled: the disabled picture (a third of the alpha) when one was built,
// the caption in grey text, no flat frame; entering and leaving change
// nothing and fire nothing. A button disabled while hovered keeps the flag
// but does not show the hover picture.
TEST_F(PngButton, DisabledLook) {
  TSpyButton* b = AddButton(95, 90, pbsImageAbove, pbsFlat);
  b->SetImageNormal(TestPicture("coords25.png"));
  b->ImageOver() = TestPicture("coords.png");
  b->SetCaption("Connect");
  int events = 0;
  b->OnMouseEnter = [&](TObject*) { ++events; };
  b->OnMouseExit = [&](TObject*) { ++events; };
  MoveTo(b, 50, 50);
  Pump();
  ASSERT_TRUE(b->MouseOver());
  events = 0;

  b->SetEnabled(false);
  EXPECT_EQ(b->ButtonState(), pbsStateDisabled);
  EXPECT_TRUE(b->MouseOver()) << "kept while disabled";
  MoveOff();
  MoveTo(b, 50, 50);
  MoveOff();
  Pump();
  EXPECT_TRUE(b->MouseOver()) << "leaving a disabled button changes nothing";
  EXPECT_EQ(events, 0);

  auto surface = form_.PaintToSurface();
  TSize text = b->Canvas().TextExtent("Connect");
  int imageY = (90 - 24 - text.cy) / 2;
  TPoint origin;
  TRect above{b->Left(), b->Top(), b->Left() + 95, b->Top() + imageY + 20};
  EXPECT_FALSE(CoordinatePictureOrigin(*surface, above, origin)) << "neither picture drawn opaque";
  // Picture pixel (10, 5) is (40, 20, 0x80); at alpha 85 over the blue ground.
  std::uint32_t p = surface->Pixel(b->Left() + 35 + 10, b->Top() + imageY + 5);
  EXPECT_NEAR(Red(p), 40 * 85 / 255, 2);
  EXPECT_NEAR(Green(p), 20 * 85 / 255, 2);
  EXPECT_NEAR(Blue(p), (0x80 * 85 + 255 * 170) / 255, 2);
  EXPECT_EQ(surface->Pixel(b->Left(), b->Top()), Rgb(clBlue)) << "no frame while disabled";
  // Below the picture lie only the ground and the caption's ink.
  TRect below{b->Left(), b->Top() + imageY + 24, b->Left() + 95, b->Top() + 90};
  TBox ink = BoxOf(*surface, below, [](std::uint32_t q) { return q != 0x0000FFu; });
  ASSERT_FALSE(ink.Empty());
  int brightest = 0;
  for (int y = ink.Top; y < ink.Bottom; ++y) {
    for (int x = ink.Left; x < ink.Right; ++x) brightest = std::max(brightest, Red(surface->Pixel(x, y)));
  }
  EXPECT_NEAR(brightest, Red(Rgb(clGrayText)), 3) << "grey text, not the font's white";

  b->SetEnabled(true);
  EXPECT_EQ(b->ButtonState(), pbsStateUp);
  EXPECT_TRUE(b->MouseOver()) << "until the mouse leaves while enabled";
  EXPECT_EQ(PictureAt(b).X, 15) << "the hover picture is back";
}

// A disabled button whose disabled picture is empty (the normal one was
// cleared, then refilled in place) paints its normal picture as it is.
TEST_F(PngButton, DisabledWithoutDisabledPicturePaintsTheNormalOne) {
  TSpyButton* b = AddButton(95, 90);
  b->SetImageNormal(TestPicture("coords25.png"));
  b->SetEnabled(false);
  EXPECT_THROW(b->SetImageNormal(TPNGObject()), EInvalidGraphic);
  EXPECT_TRUE(b->ImageDisabled().Empty());
  b->ImageNormal() = TestPicture("coords.png");
  EXPECT_EQ(b->ButtonState(), pbsStateDisabled);
  TPoint at = PictureAt(b);
  EXPECT_EQ(at.X, 15);
  EXPECT_EQ(at.Y, 15);
}

// Without a normal picture there is nothing to build the disabled one from:
// the error reaches the caller, and neither the state nor the look changes.
TEST_F(PngButton, MissingHeaderStopsTheStateChange) {
  TSpyButton* b = AddButton(95, 90);
  b->Paints.clear();
  EXPECT_THROW(b->SetImageNormal(TPNGObject()), EInvalidGraphic);
  EXPECT_TRUE(b->Paints.empty()) << "no repaint after the error";
  EXPECT_THROW(b->SetEnabled(false), EInvalidGraphic);
  EXPECT_EQ(b->ButtonState(), pbsStateUp);
  EXPECT_TRUE(b->Paints.empty());
}

// Setters paint at once, not at the next paint message; changing a picture
// in place does not.
TEST_F(PngButton, SettersPaintAtOnce) {
  TSpyButton* b = AddButton(95, 90);
  TPNGObject picture = TestPicture("normal.png");
  const std::vector<std::function<void()>> setters = {
      [&] { b->SetCaption("x"); },         [&] { b->SetButtonLayout(pbsImageLeft); },
      [&] { b->SetButtonStyle(pbsFlat); }, [&] { b->SetImageNormal(picture); },
      [&] { b->SetImageDown(picture); },   [&] { b->SetImageOver(picture); },
  };
  for (std::size_t i = 0; i < setters.size(); ++i) {
    b->Paints.clear();
    setters[i]();
    EXPECT_EQ(b->Paints.size(), 1u) << "setter " << i;
  }
  b->Paints.clear();
  b->ImageNormal().LoadFromFile(InstallerDataPath("over.png"));
  EXPECT_TRUE(b->Paints.empty());
  EXPECT_EQ(b->ImageDisabled().Width(), 64) << "the disabled picture was built from the old one";
}

// Empty pictures take no room; frame and caption are still drawn.
TEST_F(PngButton, EmptyPicturesStillDrawFrameAndCaption) {
  TSpyButton* b = AddButton(95, 90, pbsImageAbove, pbsDefault);
  b->Font().SetColor(clBlack);
  b->SetCaption("Connect");
  auto surface = form_.PaintToSurface();
  EXPECT_EQ(surface->Pixel(b->Left() + 40, b->Top() + 10), Rgb(clBtnFace)) << "the push-button face";
  TSize text = b->Canvas().TextExtent("Connect");
  // Inside the face's edges, only the caption is dark.
  TRect inside{b->Left() + 3, b->Top() + 3, b->Left() + 92, b->Top() + 87};
  TBox ink = BoxOf(*surface, inside, [](std::uint32_t p) { return Red(p) < 100; });
  ASSERT_FALSE(ink.Empty()) << "the caption";
  EXPECT_GE(ink.Top - b->Top(), (90 - 4 - text.cy) / 2 + 4) << "below the empty picture's 4-pixel gap";
}
