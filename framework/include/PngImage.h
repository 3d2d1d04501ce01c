// PNG pictures decoded with libpng. The picture keeps its colour type (grey,
// colour, palette, with or without alpha), its palette and transparency
// table, and its alpha values apart from its colours, so that callers can add
// an alpha channel and change alpha values pixel by pixel.
#pragma once

#include <array>

#include "Graphic.h"

enum TPngColorType : std::uint8_t {
  COLOR_GRAYSCALE = 0,
  COLOR_RGB = 2,
  COLOR_PALETTE = 3,
  COLOR_GRAYSCALEALPHA = 4,
  COLOR_RGBALPHA = 6,
};

class TPNGObject : public TGraphic {
 public:
  const char* ClassName() const override { return "TPNGObject"; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::unique_ptr<TGraphic> Clone() const override;
  void Assign(const TPNGObject& other);

  TPngColorType ColorType() const { return colorType_; }
  // Bits per sample as stored in the file (palette indices keep theirs).
  int BitDepth() const { return bitDepth_; }
  bool HasAlphaChannel() const { return colorType_ == COLOR_GRAYSCALEALPHA || colorType_ == COLOR_RGBALPHA; }

  // Gives the picture an alpha channel: grey and colour pictures get one with
  // every value 255, a picture that has one keeps it, and a palette picture
  // gets a transparency table of 255 for every index its bit depth allows.
  // Raises EInvalidGraphic on an empty picture (it has no header).
  void CreateAlpha();
  // The alpha values of one row, left to right; nullptr without alpha channel.
  std::uint8_t* AlphaScanline(int row);
  const std::vector<std::array<std::uint8_t, 3>>& Palette() const { return palette_; }
  const std::vector<std::uint8_t>& TransparencyTable() const { return trns_; }
  // 0x00RRGGBB and alpha of one pixel, after palette lookup.
  std::uint32_t PixelColor(int x, int y) const;
  std::uint8_t PixelAlpha(int x, int y) const;
  // Marks the pixels changed through AlphaScanline so the next draw uses them.
  void AlphaChanged() { Changed(); }

 protected:
  void ReadBytes(const std::uint8_t* data, std::size_t size) override;
  std::vector<std::uint32_t> BuildPixels() const override;

 private:
  int width_ = 0;
  int height_ = 0;
  int bitDepth_ = 0;
  TPngColorType colorType_ = COLOR_RGB;
  std::vector<std::uint8_t> samples_;  // grey (1), index (1) or RGB (3) bytes per pixel
  std::vector<std::uint8_t> alpha_;    // one byte per pixel when HasAlphaChannel()
  std::vector<std::array<std::uint8_t, 3>> palette_;
  std::vector<std::uint8_t> trns_;
};
