// Drawing: rectangles and frames land on exact pixels, pictures keep their
// transparency, and shaped Persian text matches a golden picture (fonts
// pinned by the framework's aliases) within a tolerance.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "AnsiStrings.h"
#include "Application.h"
#include "Bevel.h"
#include "Button.h"
#include "Canvas.h"
#include "ComboBox.h"
#include "Label.h"
#include "LabeledEdit.h"
#include "PageControl.h"
#include "PngImage.h"
#include "ProgressBar.h"
#include "SpeedButton.h"
#include "TestSupport.h"

namespace {

constexpr std::uint32_t Rgb(TColor c) {
  std::uint32_t bgr = static_cast<std::uint32_t>(c);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

TEST(CanvasShapes, FillRectCoversLeftTopButNotRightBottom) {
  TSurface s(10, 10);
  s.Canvas().Brush = TBrush{clWhite, bsSolid};
  s.Canvas().FillRect({0, 0, 10, 10});
  s.Canvas().Brush.Color = clRed;
  s.Canvas().FillRect({2, 3, 5, 7});
  EXPECT_EQ(s.Pixel(2, 3), Rgb(clRed));
  EXPECT_EQ(s.Pixel(4, 6), Rgb(clRed));
  EXPECT_EQ(s.Pixel(5, 6), Rgb(clWhite));
  EXPECT_EQ(s.Pixel(4, 7), Rgb(clWhite));
  EXPECT_EQ(s.Pixel(1, 3), Rgb(clWhite));
  s.Canvas().Brush.Style = bsClear;
  s.Canvas().Brush.Color = clBlue;
  s.Canvas().FillRect({0, 0, 10, 10});
  EXPECT_EQ(s.Pixel(0, 0), Rgb(clWhite)) << "a clear brush paints nothing";
}

TEST(CanvasShapes, Frame3DUsesTopLeftAndBottomRightColoursAndShrinks) {
  TSurface s(10, 10);
  TRect r{0, 0, 10, 10};
  s.Canvas().Frame3D(r, clBtnHighlight, clBtnShadow, 1);
  EXPECT_EQ(r, (TRect{1, 1, 9, 9}));
  EXPECT_EQ(s.Pixel(0, 5), ColorToRGB(clBtnHighlight) == 0xFFFFFF ? 0xFFFFFFu : 0u);
  EXPECT_EQ(s.Pixel(5, 0), 0xFFFFFFu);
  std::uint32_t shadow = Rgb(static_cast<TColor>(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(s.Pixel(9, 5), shadow);
  EXPECT_EQ(s.Pixel(5, 9), shadow);
  EXPECT_EQ(s.Pixel(9, 0), shadow) << "the top-right corner belongs to the bottom-right colour";
}

TEST(CanvasShapes, LineToStopsBeforeItsEndAndRectangleOutlinesInside) {
  TSurface s(10, 10);
  TCanvas& c = s.Canvas();
  c.Brush = TBrush{clWhite, bsSolid};
  c.FillRect({0, 0, 10, 10});
  c.Pen.Color = clBlack;
  c.MoveTo(1, 1);
  c.LineTo(5, 1);
  EXPECT_EQ(s.Pixel(4, 1), 0u);
  EXPECT_EQ(s.Pixel(5, 1), 0xFFFFFFu);
  c.Brush.Color = clRed;
  c.Rectangle({2, 3, 8, 9});
  EXPECT_EQ(s.Pixel(2, 3), 0u);
  EXPECT_EQ(s.Pixel(7, 8), 0u);
  EXPECT_EQ(s.Pixel(8, 8), 0xFFFFFFu);
  EXPECT_EQ(s.Pixel(4, 5), Rgb(clRed));
}

TEST(CanvasPictures, DrawKeepsAlphaAndStretchCoversTheRectangle) {
  TPNGObject png;
  png.LoadFromFile((qorv::test::TestDataDir() / "framework" / "data" / "alpha.png").string());
  TSurface s(8, 8);
  s.Canvas().Brush = TBrush{clWhite, bsSolid};
  s.Canvas().FillRect({0, 0, 8, 8});
  s.Canvas().Draw(1, 1, png);
  EXPECT_EQ(s.Pixel(1, 1), 0xFF0000u);
  EXPECT_EQ(s.Pixel(3, 1), 0xFFFFFFu) << "a transparent pixel leaves the background";
  std::uint32_t half = s.Pixel(2, 1);
  EXPECT_NEAR(static_cast<int>((half >> 16) & 0xFF), 127, 2) << "half-transparent green over white";
  EXPECT_EQ(s.Pixel(5, 1), 0xFFFFFFu) << "nothing right of the picture";
  s.Canvas().StretchDraw({0, 4, 8, 8}, png);
  EXPECT_EQ(s.Pixel(0, 7), 0u) << "the black bottom row stretched";
}

TEST(CanvasText, PersianIsShapedAsOneWord) {
  TSurface s(10, 10);
  TCanvas& c = s.Canvas();
  c.Font.Name = "Tahoma";
  c.Font.Height = -13;
  std::string word = Utf8ToAnsi("\u0633\u0644\u0627\u0645");
  int separate = 0;
  for (char ch : word) separate += c.TextWidth(std::string(1, ch));
  int joined = c.TextWidth(word);
  EXPECT_GT(joined, 0);
  EXPECT_NE(joined, separate) << "joined letters take other glyphs than isolated ones";
  EXPECT_GT(c.TextHeight(word), 10);
}

// Compares with the golden picture, allowing small antialiasing changes.
void ExpectLikeGolden(TSurface& actual, const std::string& name) {
  auto folder = qorv::test::TestDataDir() / "framework" / "data" / "golden";
  auto path = folder / name;
  // Goldens are made on purpose only (QORV_UPDATE_GOLDEN=1), then looked at.
  if (std::getenv("QORV_UPDATE_GOLDEN")) {
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(actual.SaveToPng(path.string()));
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << "no golden " << path;
  TPNGObject golden;
  golden.LoadFromFile(path.string());
  ASSERT_EQ(golden.Width(), actual.Width());
  ASSERT_EQ(golden.Height(), actual.Height());
  int differing = 0;
  for (int y = 0; y < actual.Height(); ++y) {
    for (int x = 0; x < actual.Width(); ++x) {
      std::uint32_t a = actual.Pixel(x, y), g = golden.PixelColor(x, y);
      for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((g >> shift) & 0xFF)) > 64) {
          ++differing;
          break;
        }
      }
    }
  }
  if (differing > actual.Width() * actual.Height() / 100) {
    actual.SaveToPng((std::filesystem::temp_directory_path() / ("actual-" + name)).string());
  }
  EXPECT_LE(differing, actual.Width() * actual.Height() / 100) << name << ": pixels far from the golden";
}

TEST(CanvasGolden, ControlsWithPersianCaptions) {
  setenv("QORV_GUI", "headless", 1);
  TForm form(nullptr);
  form.SetBounds(0, 0, 240, 120);
  form.SetBiDiMode(bdRightToLeft);
  form.Font().SetName("Tahoma");
  form.Font().SetHeight(-11);
  auto* label = new TLabel(&form);
  label->SetParent(&form);
  label->SetAutoSize(false);
  label->SetBounds(8, 8, 224, 20);
  label->Font().SetName("Tahoma");
  label->Font().SetHeight(-13);
  label->SetCaption(Utf8ToAnsi("\u0646\u0635\u0628 \u0646\u0631\u0645 \u0627\u0641\u0632\u0627\u0631 Velmora"));
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(8, 36, 100, 27);
  button->SetCaption(Utf8ToAnsi("\u0627\u062a\u0635\u0627\u0644"));
  auto* speed = new TSpeedButton(&form);
  speed->SetParent(&form);
  speed->SetBounds(120, 36, 112, 27);
  speed->Font().SetName("B Titr");
  speed->Font().SetHeight(-12);
  speed->Font().SetStyle(fsBold);
  speed->SetCaption(Utf8ToAnsi("\u062e\u0631\u0648\u062c"));
  auto* bevel = new TBevel(&form);
  bevel->SetParent(&form);
  bevel->SetBounds(8, 70, 224, 20);
  auto* bar = new TProgressBar(&form);
  bar->SetParent(&form);
  bar->SetBounds(8, 96, 224, 17);
  bar->Smooth = true;
  bar->SetPosition(40);
  auto surface = form.PaintToSurface();
  ExpectLikeGolden(*surface, "controls.png");
}

TEST(CanvasGolden, PagesEditAndComboRightToLeft) {
  setenv("QORV_GUI", "headless", 1);
  TForm form(nullptr);
  form.SetBounds(0, 0, 260, 130);
  form.SetBiDiMode(bdRightToLeft);
  form.Font().SetName("Tahoma");
  form.Font().SetHeight(-11);
  auto* pages = new TPageControl(&form);
  pages->SetParent(&form);
  pages->SetAlign(alClient);
  pages->Style = tsButtons;
  pages->Font().SetName("B Titr");
  pages->Font().SetHeight(-13);
  pages->Font().SetStyle(fsBold);
  auto* single = new TTabSheet(&form);
  single->SetParent(pages);
  single->SetCaption(Utf8ToAnsi("\u0646\u0635\u0628 \u062a\u06a9 \u06a9\u0627\u0631\u0628\u0631\u0647"));
  auto* network = new TTabSheet(&form);
  network->SetParent(pages);
  network->SetCaption(Utf8ToAnsi("\u0646\u0635\u0628 \u062a\u062d\u062a \u0634\u0628\u06a9\u0647"));
  auto* edit = new TLabeledEdit(&form);
  edit->SetParent(single);
  edit->SetBounds(20, 10, 131, 26);
  edit->Font().SetName("Tahoma");
  edit->Font().SetHeight(-15);
  edit->EditLabel().Font().SetName("Tahoma");
  edit->EditLabel().SetCaption(Utf8ToAnsi("\u0646\u0627\u0645 \u06a9\u0627\u0631\u0628\u0631\u064a:"));
  edit->SetLabelPosition(lpRight);
  edit->SetText(Utf8ToAnsi("\u0639\u0644\u064a"));
  auto* combo = new TComboBox(&form);
  combo->SetParent(single);
  combo->SetBounds(20, 44, 131, 21);
  combo->Items = {"COM3", "COM7"};
  combo->SetItemIndex(0);
  auto surface = form.PaintToSurface();
  ExpectLikeGolden(*surface, "inputs.png");
}

}  // namespace
