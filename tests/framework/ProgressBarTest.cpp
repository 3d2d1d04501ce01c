// The progress bar at the ends of the int range: the fill follows Position
// from Min to Max without overflowing (UBSan), stepping stops at the ends,
// and the blocks drawn are those the clip lets show.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "Canvas.h"
#include "ProgressBar.h"

namespace {

std::uint32_t Rgb(TColor color) {
  std::uint32_t bgr = ColorToRGB(color);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

// Highlighted pixels along the middle row of the bar painted on a surface of
// the given width.
int FilledPixels(TProgressBar& bar, int surfaceWidth) {
  TSurface surface(surfaceWidth, bar.Height());
  bar.PaintControl(surface.Canvas());
  int filled = 0;
  for (int x = 0; x < surfaceWidth; ++x) filled += surface.Pixel(x, bar.Height() / 2) == Rgb(clHighlight);
  return filled;
}

TEST(ProgressBarRange, FullIntRangeFillsInProportion) {
  TProgressBar bar(nullptr);
  bar.SetBounds(0, 0, 102, 16);  // 100 pixels inside the frame
  bar.Smooth = true;
  bar.SetMin(INT_MIN);
  bar.SetMax(INT_MAX);
  struct Case {
    int Position;
    int Filled;
  } cases[] = {{INT_MIN, 0}, {INT_MIN + 1, 0}, {-1, 49}, {0, 50}, {INT_MAX - 1, 99}, {INT_MAX, 100}};
  for (const Case& c : cases) {
    bar.SetPosition(c.Position);
    EXPECT_EQ(FilledPixels(bar, bar.Width()), c.Filled) << c.Position;
  }
  bar.Smooth = false;
  bar.SetPosition(INT_MAX);
  EXPECT_GT(FilledPixels(bar, bar.Width()), 50) << "blocks";
  bar.SetPosition(INT_MIN);
  EXPECT_EQ(FilledPixels(bar, bar.Width()), 0);
}

TEST(ProgressBarRange, SteppingStopsAtTheEndsOfTheIntRange) {
  TProgressBar bar(nullptr);
  bar.SetMin(INT_MIN);
  bar.SetMax(INT_MAX);
  bar.SetPosition(INT_MAX - 1);
  bar.StepBy(10);
  EXPECT_EQ(bar.Position(), INT_MAX);
  bar.Step = INT_MAX;
  bar.StepIt();
  EXPECT_EQ(bar.Position(), INT_MAX);
  bar.SetPosition(INT_MIN + 1);
  bar.StepBy(INT_MIN);
  EXPECT_EQ(bar.Position(), INT_MIN);
}

// Blocks are drawn only where the clip lets them show: painted through any
// window, the bar looks as it does painted whole, in either direction.
TEST(ProgressBarBlocks, PaintedThroughAClipWindowTheBarLooksTheSame) {
  for (TBiDiMode mode : {bdLeftToRight, bdRightToLeft}) {
    TProgressBar bar(nullptr);
    bar.SetBiDiMode(mode);
    bar.SetBounds(0, 0, 300, 17);
    bar.SetPosition(77);
    TSurface whole(300, 17);
    bar.PaintControl(whole.Canvas());
    for (int left : {0, 1, 37, 150, 211, 299}) {
      TSurface window(300, 17);
      // Clipped to the window, then the origin moved back to the bar's.
      window.Canvas().Save(Rect(left, 0, left + 43, 17));
      window.Canvas().Save(Rect(-left, 0, 300 - left, 17));
      bar.PaintControl(window.Canvas());
      window.Canvas().Restore();
      window.Canvas().Restore();
      for (int x = left; x < std::min(left + 43, 300); ++x) {
        ASSERT_EQ(window.Pixel(x, 8), whole.Pixel(x, 8)) << "mode " << mode << ", window at " << left << ", x " << x;
      }
    }
  }
}

// Left to right the blocks start at the left edge, right to left at the far
// right edge; either way the part that shows is filled. Painting takes the
// blocks that show, not the hundred million of the whole bar.
TEST(ProgressBarBlocks, BarWiderThanItsSurfaceDrawsTheBlocksThatShow) {
  for (TBiDiMode mode : {bdLeftToRight, bdRightToLeft}) {
    TProgressBar bar(nullptr);
    bar.SetBiDiMode(mode);
    bar.SetBounds(0, 0, INT_MAX, 17);
    bar.SetMax(1);
    bar.SetPosition(1);
    EXPECT_GT(FilledPixels(bar, 200), 100) << mode;
  }
}

}  // namespace
