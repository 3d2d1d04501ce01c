// Pictures: BMP, PNG (alpha, palette with transparency, grey) and JPEG
// decode to the expected pixels; damaged files give EInvalidGraphic and leave
// the picture as it was.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <new>

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

// ---- Size limits and memory exhaustion ----------------------------------------

void AppendPngBytes(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

// A 1-bit grey PNG written by libpng, every pixel black, so that even a
// picture of 8192 x 8192 takes a few kilobytes; without rows it is only the
// signature and the header chunk.
std::vector<std::uint8_t> MakePng(png_uint_32 width, png_uint_32 height, bool withRows = true) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (withRows) {
    std::vector<png_byte> row((width + 7) / 8, 0);
    for (png_uint_32 y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  return out;
}

void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
}

// The test bitmap with its info header claiming another size.
std::vector<std::uint8_t> BmpClaiming(std::int32_t width, std::int32_t height) {
  auto bytes = qorv::test::ReadFileBytes(Data("rgb24.bmp"));
  PutLe32(bytes, 18, width);
  PutLe32(bytes, 22, height);
  return bytes;
}

// The test photo with its frame header claiming another size.
std::vector<std::uint8_t> JpegClaiming(std::uint16_t width, std::uint16_t height) {
  auto bytes = qorv::test::ReadFileBytes(Data("photo.jpg"));
  for (std::size_t i = 2; i + 9 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
      bytes[i + 5] = height >> 8, bytes[i + 6] = height & 0xFF;
      bytes[i + 7] = width >> 8, bytes[i + 8] = width & 0xFF;
      return bytes;
    }
  }
  ADD_FAILURE() << "photo.jpg has no frame header";
  return bytes;
}

std::string RefusalOf(const std::vector<std::uint8_t>& bytes) {
  TPicture picture;
  try {
    picture.LoadFromBytes(bytes.data(), bytes.size());
  } catch (const EInvalidGraphic& e) {
    return e.Message();
  }
  return "accepted";
}

// A picture is refused from the size in its header, before its pixels take
// memory: a header with hardly any data behind it is refused for its size,
// not for the missing data. The limit is 16384 per side and 32 Mi pixels.
TEST(PictureLimits, OversizedHeadersAreRefusedNamingTheSize) {
  struct Case {
    const char* What;
    std::vector<std::uint8_t> Bytes;
    const char* Size;
  } cases[] = {
      {"8192 x 8192 PNG", MakePng(8192, 8192), "8192 x 8192"},
      {"8192 x 8192 PNG header", MakePng(8192, 8192, false), "8192 x 8192"},
      {"PNG one pixel past the area", MakePng(8192, 4097, false), "8192 x 4097"},
      {"PNG one pixel past the width", MakePng(16385, 1, false), "16385 x 1"},
      {"PNG one pixel past the height", MakePng(1, 16385, false), "1 x 16385"},
      {"BMP header", BmpClaiming(8192, 8192), "8192 x 8192"},
      {"top-down BMP header", BmpClaiming(16384, -2049), "16384 x 2049"},
      {"JPEG header", JpegClaiming(8192, 8192), "8192 x 8192"},
      {"JPEG header at libjpeg's limit", JpegClaiming(65500, 65500), "65500 x 65500"},
  };
  for (const Case& c : cases) {
    std::string refusal = RefusalOf(c.Bytes);
    EXPECT_NE(refusal.find("too large"), std::string::npos) << c.What << ": " << refusal;
    EXPECT_NE(refusal.find(c.Size), std::string::npos) << c.What << ": " << refusal;
  }
}

TEST(PictureLimits, PicturesAtTheLimitAreDecoded) {
  auto strip = MakePng(kMaxGraphicSide, 1);
  TPNGObject png;
  png.LoadFromBytes(strip.data(), strip.size());
  EXPECT_EQ(png.Width(), kMaxGraphicSide);

  auto largest = MakePng(kMaxGraphicSide, kMaxGraphicPixels / kMaxGraphicSide);
  png.LoadFromBytes(largest.data(), largest.size());
  EXPECT_EQ(static_cast<std::int64_t>(png.Width()) * png.Height(), kMaxGraphicPixels);
  EXPECT_EQ(png.PixelColor(kMaxGraphicSide - 1, png.Height() - 1), 0u);

  // Headers at the limit pass the size check and fail on the missing data.
  for (const auto& bytes : {MakePng(kMaxGraphicSide, kMaxGraphicPixels / kMaxGraphicSide, false),
                            BmpClaiming(kMaxGraphicSide, kMaxGraphicPixels / kMaxGraphicSide)}) {
    std::string refusal = RefusalOf(bytes);
    EXPECT_NE(refusal, "accepted");
    EXPECT_EQ(refusal.find("too large"), std::string::npos) << refusal;
  }
}

// Stands for a decoder whose allocation fails.
class TExhaustingGraphic : public TGraphic {
 public:
  const char* ClassName() const override { return "TExhaustingGraphic"; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TExhaustingGraphic>(); }

 protected:
  void ReadBytes(const std::uint8_t*, std::size_t) override { throw std::bad_alloc(); }
  std::vector<std::uint32_t> BuildPixels() const override { return {}; }
};

TEST(PictureLimits, MemoryExhaustedWhileDecodingIsEOutOfMemory) {
  TExhaustingGraphic graphic;
  std::uint8_t byte = 0;
  EXPECT_THROW(graphic.LoadFromBytes(&byte, 1), EOutOfMemory);
  EXPECT_THROW(graphic.LoadFromFile(Data("rgb24.bmp").string()), EOutOfMemory);
}

}  // namespace
