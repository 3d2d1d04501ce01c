// The disabled picture of the image button, pixel by pixel: an alpha channel
// of a third of the old alpha for grey and colour pictures, a fully opaque
// copy for palette pictures, and the missing-header error for an empty one.
#include <gtest/gtest.h>

#include <functional>

#include "PngTestPictures.h"
#include "pngextra.h"

using qorv::test::TestPicture;

namespace {

struct DisabledCase {
  const char* File;
  TPngColorType Before;
  TPngColorType After;
  int TransparencyEntries;  // palette pictures: the table the disabled copy gets
};

// Colours stay as they were; alpha follows the rule of the colour type.
void ExpectDisabledCopy(const DisabledCase& c, const TPNGObject& source, const TPNGObject& disabled) {
  ASSERT_EQ(disabled.Width(), source.Width());
  ASSERT_EQ(disabled.Height(), source.Height());
  for (int y = 0; y < source.Height(); ++y) {
    for (int x = 0; x < source.Width(); ++x) {
      EXPECT_EQ(disabled.PixelColor(x, y), source.PixelColor(x, y)) << c.File << " at " << x << "," << y;
      int expected = c.After == COLOR_PALETTE ? 255 : source.PixelAlpha(x, y) / 3;
      EXPECT_EQ(disabled.PixelAlpha(x, y), expected) << c.File << " at " << x << "," << y;
    }
  }
}

}  // namespace

TEST(PngDisabledImage, EachColourTypeFollowsItsRule) {
  const DisabledCase cases[] = {
      {"grey.png", COLOR_GRAYSCALE, COLOR_GRAYSCALEALPHA, 0},
      {"grey2.png", COLOR_GRAYSCALE, COLOR_GRAYSCALEALPHA, 0},
      {"coords.png", COLOR_RGB, COLOR_RGBALPHA, 0},
      {"rgb16.png", COLOR_RGB, COLOR_RGBALPHA, 0},
      {"grey-alpha.png", COLOR_GRAYSCALEALPHA, COLOR_GRAYSCALEALPHA, 0},
      {"rgba.png", COLOR_RGBALPHA, COLOR_RGBALPHA, 0},
      {"palette4.png", COLOR_PALETTE, COLOR_PALETTE, 16},
      {"palette1.png", COLOR_PALETTE, COLOR_PALETTE, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TPNGObject source = TestPicture(c.File);
    ASSERT_EQ(source.ColorType(), c.Before);
    TPNGObject before = source;
    TPNGObject disabled;
    MakeDisabledImage(source, disabled);
    EXPECT_EQ(disabled.ColorType(), c.After);
    EXPECT_EQ(disabled.BitDepth(), source.BitDepth());
    ExpectDisabledCopy(c, source, disabled);
    if (c.After == COLOR_PALETTE) {
      EXPECT_EQ(disabled.Palette(), source.Palette());
      EXPECT_EQ(disabled.TransparencyTable(), std::vector<std::uint8_t>(c.TransparencyEntries, 255))
          << "one opaque entry per index the bit depth allows, replacing the old table";
    }
    for (int y = 0; y < source.Height(); ++y) {
      for (int x = 0; x < source.Width(); ++x) {
        ASSERT_EQ(source.PixelAlpha(x, y), before.PixelAlpha(x, y)) << "the source is left alone";
      }
    }
  }
}

// Truncating division, checked on the values where rounding would differ.
TEST(PngDisabledImage, AlphaIsDividedByThreeTruncated) {
  TPNGObject disabled;
  MakeDisabledImage(TestPicture("grey-alpha.png"), disabled);
  std::vector<int> alphas;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) alphas.push_back(disabled.PixelAlpha(x, y));
  }
  EXPECT_EQ(alphas, (std::vector<int>{0, 0, 0, 1, 1, 1, 42, 85}));
}

// Colour without alpha comes out at 85 everywhere; the palette picture with a
// transparency table that hid index 0 comes out fully opaque.
TEST(PngDisabledImage, OpaqueColourAtEightyFivePaletteFullyOpaque) {
  TPNGObject colour;
  MakeDisabledImage(TestPicture("coords.png"), colour);
  TPNGObject palette;
  TPNGObject source = TestPicture("palette4.png");
  ASSERT_EQ(source.PixelAlpha(0, 0), 0) << "index 0 is transparent in the source";
  MakeDisabledImage(source, palette);
  for (int y = 0; y < colour.Height(); ++y) {
    for (int x = 0; x < colour.Width(); ++x) ASSERT_EQ(colour.PixelAlpha(x, y), 85);
  }
  for (int y = 0; y < palette.Height(); ++y) {
    for (int x = 0; x < palette.Width(); ++x) ASSERT_EQ(palette.PixelAlpha(x, y), 255);
  }
}

// The drawn pixels follow the new alpha, not the picture as it was decoded.
TEST(PngDisabledImage, DrawnPixelsUseTheNewAlpha) {
  TPNGObject source = TestPicture("coords.png");
  TPNGObject disabled;
  MakeDisabledImage(source, disabled);
  std::uint32_t drawn = disabled.Pixels()[0];
  EXPECT_EQ(drawn >> 24, 85u) << std::hex << drawn;
}

// An empty picture has no header: the error names it, and the destination
// is left as the copy of the empty source.
TEST(PngDisabledImage, EmptySourceRaisesMissingHeader) {
  TPNGObject disabled = TestPicture("coords.png");
  try {
    MakeDisabledImage(TPNGObject(), disabled);
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(e.Message().find("no header"), std::string::npos) << e.Message();
  }
  EXPECT_TRUE(disabled.Empty());
}
