// Pictures of forms compared with stored golden pictures, for the test
// programs that link the GUI framework.
//
// The X11 window shows the very surface the headless backend paints, and the
// framework pins its fonts, hinting and antialiasing, so the same fonts give
// the same pixels everywhere. What may still differ is the coverage a
// rasteriser gives a glyph's edge pixels (another FreeType or Cairo build
// rounds them a little differently); that moves a channel by a few steps, never
// from text colour to background. So a pixel may differ by a few steps per
// channel and no pixel by more: a missing caption or a label one pixel off
// changes many pixels by far more than that.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Canvas.h"
#include "PngImage.h"
#include "TestSupport.h"

namespace qorv::test {

// The largest change of one colour channel that counts as rounding noise.
constexpr int kGoldenChannelTolerance = 12;

// 0x00RRGGBB pixels, row after row.
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Values;
  std::uint32_t At(int x, int y) const { return Values[static_cast<std::size_t>(y) * Width + x]; }
};

inline TPixels PixelsOf(TSurface& surface) {
  TPixels p{surface.Width(), surface.Height(), {}};
  p.Values.reserve(static_cast<std::size_t>(p.Width) * p.Height);
  for (int y = 0; y < p.Height; ++y) {
    for (int x = 0; x < p.Width; ++x) p.Values.push_back(surface.Pixel(x, y));
  }
  return p;
}

inline TPixels PixelsOf(const TPNGObject& png) {
  TPixels p{png.Width(), png.Height(), {}};
  p.Values.reserve(static_cast<std::size_t>(p.Width) * p.Height);
  for (int y = 0; y < p.Height; ++y) {
    for (int x = 0; x < p.Width; ++x) p.Values.push_back(png.PixelColor(x, y) & 0xFFFFFF);
  }
  return p;
}

// How many pixels differ by more than the noise allowance; every pixel when
// the sizes differ.
inline int PixelsBeyondNoise(const TPixels& actual, const TPixels& golden) {
  if (actual.Width != golden.Width || actual.Height != golden.Height) {
    return std::max(actual.Width * actual.Height, golden.Width * golden.Height);
  }
  int differing = 0;
  for (std::size_t i = 0; i < actual.Values.size(); ++i) {
    std::uint32_t a = actual.Values[i], g = golden.Values[i];
    for (int shift : {0, 8, 16}) {
      int delta = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((g >> shift) & 0xFF);
      if (std::abs(delta) > kGoldenChannelTolerance) {
        ++differing;
        break;
      }
    }
  }
  return differing;
}

inline std::filesystem::path GoldenPath(const std::string& layer, const std::string& name) {
  return TestDataDir() / layer / "data" / "golden" / name;
}

inline TPixels LoadGolden(const std::filesystem::path& path) {
  TPNGObject golden;
  golden.LoadFromFile(path.string());
  return PixelsOf(golden);
}

// Writes pixels as a PNG file (to look at a picture that failed).
inline bool SavePixels(const TPixels& pixels, const std::filesystem::path& path) {
  TSurface surface(pixels.Width, pixels.Height);
  TCanvas& canvas = surface.Canvas();
  for (int y = 0; y < pixels.Height; ++y) {
    for (int x = 0; x < pixels.Width; ++x) {
      std::uint32_t rgb = pixels.At(x, y);
      auto bgr = static_cast<TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
      canvas.Brush = TBrush{bgr, bsSolid};
      canvas.FillRect({x, y, x + 1, y + 1});
    }
  }
  return surface.SaveToPng(path.string());
}

// Compares pixels with the golden picture <layer>/data/golden/<name>. Pixels
// that differ are kept in the temporary folder as <prefix><name>.
inline void ExpectPixelsLikeGolden(const TPixels& actual, const std::string& layer, const std::string& name,
                                   const std::string& prefix = "actual-") {
  std::filesystem::path path = GoldenPath(layer, name);
  ASSERT_TRUE(std::filesystem::exists(path)) << "no golden " << path;
  int differing = PixelsBeyondNoise(actual, LoadGolden(path));
  std::filesystem::path kept = std::filesystem::temp_directory_path() / (prefix + name);
  if (differing > 0) SavePixels(actual, kept);
  EXPECT_EQ(differing, 0) << name << ": pixels unlike the golden (the picture is kept as " << kept << ")";
}

// Compares a painted surface with its golden picture. Goldens are made on
// purpose only (QORV_UPDATE_GOLDEN=1), then looked at.
inline void ExpectLikeGolden(TSurface& actual, const std::string& layer, const std::string& name) {
  if (std::getenv("QORV_UPDATE_GOLDEN")) {
    std::filesystem::path path = GoldenPath(layer, name);
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(actual.SaveToPng(path.string()));
  }
  ExpectPixelsLikeGolden(PixelsOf(actual), layer, name);
}

}  // namespace qorv::test
