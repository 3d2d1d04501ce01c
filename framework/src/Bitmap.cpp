#include "Bitmap.h"

#include <cstring>

namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[noreturn]] void Invalid(const std::string& why) { throw EInvalidGraphic("Bitmap image is not valid: " + why); }

// Expands a channel taken with a bit-field mask to 8 bits.
std::uint32_t MaskChannel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  std::uint32_t bits = mask >> shift;
  std::uint32_t v = (value & mask) >> shift;
  return bits == 0 ? 0 : (v * 255 + bits / 2) / bits;
}

}  // namespace

TBitmap::TBitmap(int width, int height) {
  CheckGraphicSize(width, height, "Bitmap");
  width_ = width;
  height_ = height;
  bitsPerPixel_ = 24;
  TranslateOutOfMemory([&] { rgb_.assign(static_cast<std::size_t>(width) * height, 0xFFFFFF); });
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto copy = std::make_unique<TBitmap>();
  copy->width_ = width_;
  copy->height_ = height_;
  copy->bitsPerPixel_ = bitsPerPixel_;
  copy->rgb_ = rgb_;
  copy->SetTransparent(Transparent());
  return copy;
}

void TBitmap::SetPixel(int x, int y, std::uint32_t rgb) {
  rgb_[static_cast<std::size_t>(y) * width_ + x] = rgb & 0xFFFFFF;
  Changed();
}

void TBitmap::ReadBytes(const std::uint8_t* data, std::size_t size) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') Invalid("no BMP file header");
  std::uint32_t pixelOffset = Le32(data + 10);
  std::uint32_t headerSize = Le32(data + 14);
  if (headerSize < 12 || 14 + static_cast<std::uint64_t>(headerSize) > size) Invalid("truncated info header");
  const std::uint8_t* info = data + 14;
  std::int64_t width, height;
  int bpp;
  std::uint32_t compression = 0, colorsUsed = 0;
  std::uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
  int paletteEntrySize = 4;
  if (headerSize == 12) {
    width = static_cast<std::int16_t>(Le16(info + 4));
    height = static_cast<std::int16_t>(Le16(info + 6));
    bpp = static_cast<int>(Le16(info + 10));
    paletteEntrySize = 3;
  } else {
    if (headerSize < 40) Invalid("unknown info header size");
    width = static_cast<std::int32_t>(Le32(info + 4));
    height = static_cast<std::int32_t>(Le32(info + 8));
    bpp = static_cast<int>(Le16(info + 14));
    compression = Le32(info + 16);
    colorsUsed = Le32(info + 32);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  CheckGraphicSize(width, height, "Bitmap");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    Invalid("unsupported bit count " + std::to_string(bpp));
  }
  if (compression == 3 && (bpp == 16 || bpp == 32)) {
    std::size_t maskAt = 14 + 40;
    if (maskAt + 12 > size) Invalid("truncated colour masks");
    for (int i = 0; i < 3; ++i) masks[i] = Le32(data + maskAt + 4 * i);
  } else if (compression != 0) {
    Invalid("compressed bitmaps are not supported");
  } else if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  }

  std::vector<std::uint32_t> palette;
  if (bpp <= 8) {
    std::uint32_t count = colorsUsed ? colorsUsed : (1u << bpp);
    if (count > (1u << bpp)) Invalid("palette larger than the bit count allows");
    std::uint64_t at = 14 + static_cast<std::uint64_t>(headerSize);
    if (at + static_cast<std::uint64_t>(count) * paletteEntrySize > size) Invalid("truncated palette");
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* e = data + at + i * paletteEntrySize;
      palette.push_back((e[2] << 16) | (e[1] << 8) | e[0]);
    }
  }

  std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
  if (pixelOffset > size || stride * height > size - pixelOffset) Invalid("truncated pixel data");

  std::vector<std::uint32_t> rgb(static_cast<std::size_t>(width * height));
  for (std::int64_t row = 0; row < height; ++row) {
    const std::uint8_t* src = data + pixelOffset + stride * row;
    std::int64_t y = topDown ? row : height - 1 - row;
    std::uint32_t* dst = rgb.data() + y * width;
    for (std::int64_t x = 0; x < width; ++x) {
      std::uint32_t color = 0;
      if (bpp <= 8) {
        std::uint32_t bitPos = static_cast<std::uint32_t>(x * bpp);
        std::uint32_t index = (src[bitPos / 8] >> (8 - bpp - bitPos % 8)) & ((1u << bpp) - 1);
        if (index >= palette.size()) Invalid("pixel refers past the palette");
        color = palette[index];
      } else if (bpp == 24) {
        const std::uint8_t* p = src + x * 3;
        color = (p[2] << 16) | (p[1] << 8) | p[0];
      } else {
        std::uint32_t v = bpp == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
        color = (MaskChannel(v, masks[0]) << 16) | (MaskChannel(v, masks[1]) << 8) | MaskChannel(v, masks[2]);
      }
      dst[x] = color;
    }
  }
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  bitsPerPixel_ = bpp;
  rgb_ = std::move(rgb);
  Changed();
}

std::vector<std::uint32_t> TBitmap::BuildPixels() const {
  std::vector<std::uint32_t> out(rgb_.size());
  bool keyed = Transparent() && !rgb_.empty();
  std::uint32_t key = keyed ? rgb_[static_cast<std::size_t>(height_ - 1) * width_] : 0;
  for (std::size_t i = 0; i < rgb_.size(); ++i) {
    out[i] = keyed && rgb_[i] == key ? 0 : (0xFF000000u | rgb_[i]);
  }
  return out;
}
