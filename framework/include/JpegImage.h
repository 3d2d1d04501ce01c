// JPEG pictures decoded with libjpeg, kept as 24-bit colour.
#pragma once

#include "Graphic.h"

class TJPEGImage : public TGraphic {
 public:
  const char* ClassName() const override { return "TJPEGImage"; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::unique_ptr<TGraphic> Clone() const override;

 protected:
  void ReadBytes(const std::uint8_t* data, std::size_t size) override;
  std::vector<std::uint32_t> BuildPixels() const override;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> rgb_;  // three bytes per pixel
};
