#include "Graphic.h"

#include <fstream>
#include <iterator>

TGraphic::~TGraphic() = default;

void TGraphic::LoadFromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EInvalidGraphic("Cannot open picture file " + path);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LoadFromBytes(bytes.data(), bytes.size());
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

const std::vector<std::uint32_t>& TGraphic::Pixels() const {
  if (!pixelsValid_) {
    pixels_ = BuildPixels();
    pixelsValid_ = true;
  }
  return pixels_;
}

void CheckGraphicSize(std::int64_t width, std::int64_t height, const char* kind) {
  if (width <= 0 || height <= 0 || width > kMaxGraphicSide || height > kMaxGraphicSide ||
      width * height > kMaxGraphicPixels) {
    throw EInvalidGraphic(std::string(kind) + " image has an invalid size (" + std::to_string(width) + " x " +
                          std::to_string(height) + ")");
  }
}
