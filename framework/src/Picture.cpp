#include "Picture.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "Bitmap.h"
#include "JpegImage.h"
#include "PngImage.h"

namespace {

std::unique_ptr<TGraphic> GraphicForSignature(const std::uint8_t* data, std::size_t size) {
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return std::make_unique<TBitmap>();
  if (size >= 8 && data[0] == 0x89 && std::memcmp(data + 1, "PNG", 3) == 0) return std::make_unique<TPNGObject>();
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) return std::make_unique<TJPEGImage>();
  return nullptr;
}

// Skips a class-name prefix ("\x07TBitmap" + 4-byte size) when present.
void SkipClassPrefix(const std::uint8_t*& data, std::size_t& size) {
  if (size == 0 || data[0] == 0 || data[0] + 1u > size) return;
  std::string name(reinterpret_cast<const char*>(data + 1), data[0]);
  if (name.empty() || name[0] != 'T') return;
  data += 1 + name.size();
  size -= 1 + name.size();
  if (name == "TBitmap" && size >= 4 && !(data[0] == 'B' && data[1] == 'M')) {
    data += 4;
    size -= 4;
  }
}

}  // namespace

std::unique_ptr<TGraphic> DecodeGraphic(const std::uint8_t* data, std::size_t size) {
  return TranslateOutOfMemory([&] {
    SkipClassPrefix(data, size);
    auto graphic = GraphicForSignature(data, size);
    if (!graphic) throw EInvalidGraphic("Unknown picture file format");
    graphic->LoadFromBytes(data, size);
    return graphic;
  });
}

void TPicture::Assign(const TGraphic* graphic) {
  graphic_ = graphic ? graphic->Clone() : nullptr;
  Changed();
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  Changed();
}

void TPicture::LoadFromBytes(const std::uint8_t* data, std::size_t size) { SetGraphic(DecodeGraphic(data, size)); }

void TPicture::LoadFromFile(const std::string& path) {
  TranslateOutOfMemory([&] {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EInvalidGraphic("Cannot open picture file " + path);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LoadFromBytes(bytes.data(), bytes.size());
  });
}
