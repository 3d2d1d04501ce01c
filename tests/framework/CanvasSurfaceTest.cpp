// Drawing surfaces share the picture size limit: a size past it is refused
// with the size in the message before the drawing library takes any memory,
// and one at the limit is made.
#include <gtest/gtest.h>

#include <climits>

#include "Canvas.h"

namespace {

TEST(CanvasSurfaceLimits, SizesPastTheLimitAreRefusedNamingTheSize) {
  struct Case {
    int Width;
    int Height;
    const char* Size;
  } cases[] = {
      {100000, 100000, "100000 x 100000"},           {kMaxGraphicSide + 1, 1, "16385 x 1"},
      {1, kMaxGraphicSide + 1, "1 x 16385"},         {8192, 4097, "8192 x 4097"},
      {INT_MAX, INT_MAX, "2147483647 x 2147483647"},
  };
  for (const Case& c : cases) {
    try {
      TSurface surface(c.Width, c.Height);
      ADD_FAILURE() << "made a surface of " << c.Size;
    } catch (const EOutOfResources& e) {
      EXPECT_NE(e.Message().find(c.Size), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("too large"), std::string::npos) << e.Message();
    }
  }
}

TEST(CanvasSurfaceLimits, SizesAtTheLimitAreMade) {
  TSurface row(kMaxGraphicSide, 1);
  EXPECT_EQ(row.Width(), kMaxGraphicSide);
  TSurface column(1, kMaxGraphicSide);
  EXPECT_EQ(column.Height(), kMaxGraphicSide);
  TSurface empty(0, -5);
  EXPECT_EQ(empty.Width(), 1) << "sizes below 1 count as 1";
  EXPECT_EQ(empty.Height(), 1);
}

}  // namespace
