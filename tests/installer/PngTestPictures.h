// The image button's test pictures (tests/installer/data, written by
// make_pictures.py) and reading the button's looks off a painted surface.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Canvas.h"
#include "PngImage.h"
#include "TestSupport.h"

namespace qorv::test {

inline std::string InstallerDataPath(const std::string& name) {
  return (TestDataDir() / "installer" / "data" / name).string();
}

inline TPNGObject TestPicture(const std::string& name) {
  TPNGObject picture;
  picture.LoadFromFile(InstallerDataPath(name));
  return picture;
}

inline int Red(std::uint32_t rgb) { return static_cast<int>((rgb >> 16) & 0xFF); }
inline int Green(std::uint32_t rgb) { return static_cast<int>((rgb >> 8) & 0xFF); }
inline int Blue(std::uint32_t rgb) { return static_cast<int>(rgb & 0xFF); }

// The 0x00RRGGBB form of a framework colour.
inline std::uint32_t Rgb(TColor color) {
  std::uint32_t bgr = ColorToRGB(color);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

struct TBox {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // right and bottom excluded
  bool Empty() const { return Right <= Left || Bottom <= Top; }
};

inline std::ostream& operator<<(std::ostream& out, const TBox& b) {
  return out << "(" << b.Left << "," << b.Top << ")-(" << b.Right << "," << b.Bottom << ")";
}

// The smallest box around the pixels of `area` for which `match` holds.
template <class F>
TBox BoxOf(TSurface& surface, const TRect& area, F match) {
  TBox box{area.Right, area.Bottom, area.Left, area.Top};
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      if (!match(surface.Pixel(x, y))) continue;
      box.Left = std::min(box.Left, x);
      box.Top = std::min(box.Top, y);
      box.Right = std::max(box.Right, x + 1);
      box.Bottom = std::max(box.Bottom, y + 1);
    }
  }
  return box;
}

// The coordinate pictures are opaque, blue 0x80 everywhere, red 4 times the
// column and green 4 times the row: a pixel of one on the surface tells
// where the picture's top-left corner lies, even when that corner is
// clipped away. Every such pixel must tell the same; false when none is
// seen.
inline bool CoordinatePictureOrigin(TSurface& surface, const TRect& area, TPoint& origin) {
  bool seen = false;
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      std::uint32_t p = surface.Pixel(x, y);
      if (Blue(p) != 0x80) continue;
      TPoint here{x - Red(p) / 4, y - Green(p) / 4};
      if (!seen) {
        origin = here;
        seen = true;
      } else if (here.X != origin.X || here.Y != origin.Y) {
        ADD_FAILURE() << "pixel (" << x << "," << y << ") puts the picture at (" << here.X << "," << here.Y
                      << "), another pixel at (" << origin.X << "," << origin.Y << ")";
        return false;
      }
    }
  }
  return seen;
}

}  // namespace qorv::test
