// Rectangles near the ends of the int range: positions plus sizes and the
// sizes of huge rectangles saturate instead of overflowing (UBSan).
#include <gtest/gtest.h>

#include <climits>

#include "Graphics.h"

namespace {

TEST(GraphicsRect, BoundsSaturateAtTheEndsOfTheIntRange) {
  EXPECT_EQ(Bounds(INT_MAX - 10, INT_MAX - 5, 100, 100), Rect(INT_MAX - 10, INT_MAX - 5, INT_MAX, INT_MAX));
  EXPECT_EQ(Bounds(INT_MAX, INT_MAX, INT_MAX, INT_MAX), Rect(INT_MAX, INT_MAX, INT_MAX, INT_MAX));
  EXPECT_EQ(Bounds(INT_MIN, INT_MIN, -1, INT_MIN), Rect(INT_MIN, INT_MIN, INT_MIN, INT_MIN));
  EXPECT_EQ(Bounds(INT_MAX - 100, 0, 100, 1), Rect(INT_MAX - 100, 0, INT_MAX, 1)) << "exactly at the end";
  EXPECT_EQ(Bounds(INT_MIN, 0, INT_MAX, 1).Right, -1);

  TRect near = Bounds(INT_MAX - 10, 0, 100, 10);
  EXPECT_TRUE(near.Contains({INT_MAX - 1, 5}));
  EXPECT_FALSE(near.Contains({INT_MAX - 11, 5}));
  EXPECT_EQ(near.Width(), 10);
}

TEST(GraphicsRect, SizesOfHugeRectanglesSaturate) {
  EXPECT_EQ(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX).Width(), INT_MAX);
  EXPECT_EQ(Rect(INT_MIN, INT_MIN, INT_MAX, INT_MAX).Height(), INT_MAX);
  EXPECT_EQ(Rect(INT_MAX, INT_MAX, INT_MIN, INT_MIN).Width(), INT_MIN);
  EXPECT_TRUE(Rect(INT_MAX, INT_MAX, INT_MIN, INT_MIN).IsEmpty());
  EXPECT_EQ(UnionRect(Rect(INT_MIN, 0, 0, 1), Rect(0, 0, INT_MAX, 1)).Width(), INT_MAX);
}

}  // namespace
