// Pictures: BMP, PNG (alpha, palette with transparency, grey) and JPEG
// decode to the expected pixels; damaged files give EInvalidGraphic and leave
// the picture as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include "Bitmap.h"
#include "JpegImage.h"
#include "Picture.h"
#include "PngImage.h"
#include "TestSupport.h"

namespace {

std::filesystem::path Data(const char* name) { return qorv::test::TestDataDir() / "framework" / "data" / name; }

template <class T>
T Load(const char* name) {
  T graphic;
  graphic.LoadFromFile(Data(name).string());
  return graphic;
}

std::uint32_t Argb(const TGraphic& g, int x, int y) { return g.Pixels()[static_cast<std::size_t>(y) * g.Width() + x]; }

TEST(PicturePng, AlphaIsKeptPerPixel) {
  auto png = Load<TPNGObject>("alpha.png");
  ASSERT_EQ(png.Width(), 4);
  EXPECT_EQ(png.ColorType(), COLOR_RGBALPHA);
  EXPECT_EQ(png.PixelAlpha(1, 0), 128);
  EXPECT_EQ(Argb(png, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(Argb(png, 1, 0), 0x80008000u) << "premultiplied green at half alpha";
  EXPECT_EQ(Argb(png, 2, 0), 0u) << "fully transparent";
}

TEST(PicturePng, PaletteWithTransparencyTable) {
  auto png = Load<TPNGObject>("palette.png");
  EXPECT_EQ(png.ColorType(), COLOR_PALETTE);
  EXPECT_EQ(png.BitDepth(), 2);
  EXPECT_EQ(Argb(png, 0, 0), 0u) << "index 0 is transparent in tRNS";
  EXPECT_EQ(Argb(png, 1, 0), 0xFFC80000u);
  EXPECT_EQ(Argb(png, 3, 0), 0xFF0000C8u) << "index past the tRNS table is opaque";
}

TEST(PicturePng, CreateAlphaFollowsTheColourType) {
  auto grey = Load<TPNGObject>("grey.png");
  grey.CreateAlpha();
  EXPECT_EQ(grey.ColorType(), COLOR_GRAYSCALEALPHA);
  ASSERT_NE(grey.AlphaScanline(0), nullptr);
  EXPECT_EQ(grey.AlphaScanline(0)[2], 255);
  grey.AlphaScanline(0)[2] = 85;
  grey.AlphaChanged();
  EXPECT_EQ(Argb(grey, 2, 0) >> 24, 85u) << "alpha written through the scanline is drawn";

  auto palette = Load<TPNGObject>("palette.png");
  palette.CreateAlpha();
  EXPECT_EQ(palette.ColorType(), COLOR_PALETTE);
  EXPECT_EQ(palette.TransparencyTable(), std::vector<std::uint8_t>(4, 255)) << "one entry per index of 2 bits";
  EXPECT_EQ(palette.AlphaScanline(0), nullptr);

  TPNGObject empty;
  EXPECT_THROW(empty.CreateAlpha(), EInvalidGraphic) << "an empty picture has no header";
}

TEST(PictureBitmap, RowsAndPaletteAreOrderedRight) {
  auto bmp = Load<TBitmap>("rgb24.bmp");
  EXPECT_EQ(bmp.Pixel(0, 0), 0xFF0000u) << "the last stored row is the top";
  EXPECT_EQ(bmp.Pixel(1, 1), 0x00FF00u);
  auto pal = Load<TBitmap>("pal8.bmp");
  EXPECT_EQ(pal.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(pal.Pixel(2, 0), 0x0000FFu);
}

TEST(PictureBitmap, TransparentLeavesOutTheBottomLeftColour) {
  auto bmp = Load<TBitmap>("rgb24.bmp");
  bmp.SetTransparent(true);
  EXPECT_EQ(Argb(bmp, 0, 1), 0u) << "bottom-left pixel itself";
  EXPECT_EQ(Argb(bmp, 0, 0), 0xFFFF0000u);
}

TEST(PictureJpeg, DecodesColours) {
  auto jpeg = Load<TJPEGImage>("photo.jpg");
  ASSERT_EQ(jpeg.Width(), 16);
  ASSERT_EQ(jpeg.Height(), 8);
  std::uint32_t left = Argb(jpeg, 2, 4), right = Argb(jpeg, 13, 4);
  EXPECT_GT((left >> 16) & 0xFF, 200u);
  EXPECT_GT(right & 0xFF, 200u);
}

TEST(PictureDetect, ChoosesTheKindFromTheDataAndSkipsAClassPrefix) {
  TPicture picture;
  auto bytes = qorv::test::ReadFileBytes(Data("rgb24.bmp"));
  std::vector<std::uint8_t> stored = {7, 'T', 'B', 'i', 't', 'm', 'a', 'p', 0, 0, 0, 0};
  stored[8] = static_cast<std::uint8_t>(bytes.size());
  stored.insert(stored.end(), bytes.begin(), bytes.end());
  picture.LoadFromBytes(stored.data(), stored.size());
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TBitmap");
  picture.LoadFromFile(Data("photo.jpg").string());
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TJPEGImage");
}

TEST(PictureDamaged, EveryBadFileIsRefusedAndThePictureKept) {
  TPicture picture;
  picture.LoadFromFile(Data("alpha.png").string());
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Data("bad"))) {
    auto bytes = qorv::test::ReadFileBytes(entry.path());
    try {
      picture.LoadFromBytes(bytes.data(), bytes.size());
      ADD_FAILURE() << "accepted " << entry.path();
    } catch (const EInvalidGraphic& e) {
      EXPECT_FALSE(e.Message().empty());
    }
    ++count;
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_EQ(picture.Width(), 4) << "the old picture stays after " << entry.path();
  }
  EXPECT_GE(count, 12);
  // Each decoder refuses the others' damaged data too, without a crash.
  for (const auto& entry : std::filesystem::directory_iterator(Data("bad"))) {
    auto bytes = qorv::test::ReadFileBytes(entry.path());
    TPNGObject png;
    TBitmap bmp;
    TJPEGImage jpeg;
    EXPECT_THROW(png.LoadFromBytes(bytes.data(), bytes.size()), EInvalidGraphic);
    EXPECT_THROW(bmp.LoadFromBytes(bytes.data(), bytes.size()), EInvalidGraphic);
    EXPECT_THROW(jpeg.LoadFromBytes(bytes.data(), bytes.size()), EInvalidGraphic);
  }
}

}  // namespace
