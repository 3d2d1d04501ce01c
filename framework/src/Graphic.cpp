#include "Graphic.h"

#include <fstream>
#include <iterator>

TGraphic::~TGraphic() = default;

void TGraphic::LoadFromBytes(const std::uint8_t* data, std::size_t size) {
  TranslateOutOfMemory([&] { ReadBytes(data, size); });
}

void TGraphic::LoadFromFile(const std::string& path) {
  TranslateOutOfMemory([&] {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EInvalidGraphic("Cannot open picture file " + path);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ReadBytes(bytes.data(), bytes.size());
  });
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

std::string GraphicSizeError(std::int64_t width, std::int64_t height) {
  std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (width <= 0 || height <= 0) return "of an invalid size (" + size + ")";
  // Each side is checked first, so the product below cannot overflow.
  if (width > kMaxGraphicSide || height > kMaxGraphicSide || width * height > kMaxGraphicPixels) {
    return "too large (" + size + "; at most " + std::to_string(kMaxGraphicSide) + " per side and " +
           std::to_string(kMaxGraphicPixels) + " in all)";
  }
  return {};
}

void CheckGraphicSize(std::int64_t width, std::int64_t height, const char* kind) {
  std::string error = GraphicSizeError(width, height);
  if (!error.empty()) throw EInvalidGraphic(std::string(kind) + " image is " + error);
}
