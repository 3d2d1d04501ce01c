// Device-independent bitmaps (BMP files): 1, 4, 8, 16, 24 and 32 bits per
// pixel, uncompressed or with bit fields. Transparent bitmaps leave out the
// colour of their bottom-left pixel, as glyphs do.
#pragma once

#include "Graphic.h"

class TBitmap : public TGraphic {
 public:
  TBitmap() = default;
  // A blank bitmap of that size, filled with white.
  TBitmap(int width, int height);

  const char* ClassName() const override { return "TBitmap"; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::unique_ptr<TGraphic> Clone() const override;

  int BitsPerPixel() const { return bitsPerPixel_; }
  // 0x00RRGGBB of one pixel, (0, 0) the top-left.
  std::uint32_t Pixel(int x, int y) const { return rgb_[static_cast<std::size_t>(y) * width_ + x]; }
  void SetPixel(int x, int y, std::uint32_t rgb);

 protected:
  void ReadBytes(const std::uint8_t* data, std::size_t size) override;
  std::vector<std::uint32_t> BuildPixels() const override;

 private:
  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  std::vector<std::uint32_t> rgb_;  // 0x00RRGGBB, top row first
};
