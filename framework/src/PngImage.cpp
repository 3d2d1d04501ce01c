#include "PngImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DecoderBuffers.h"

using qorv::framework::TryResize;

namespace {

struct TMemoryReader {
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Pos;
};

struct TErrorState {
  // A fixed buffer: the error callback runs inside libpng and must not throw.
  char Message[160] = "";
  // Set when an allocation failed, ours or libpng's, so that the failure
  // reads as memory exhaustion rather than a damaged picture.
  bool OutOfMemory = false;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<TMemoryReader*>(png_get_io_ptr(png));
  if (count > reader->Size - reader->Pos) png_error(png, "unexpected end of data");
  std::memcpy(out, reader->Data + reader->Pos, count);
  reader->Pos += count;
}

// libpng reports a fatal error through this and then longjmps back to the
// setjmp in ReadBytes, so no C++ exception ever crosses libpng's C frames.
void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<TErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->Message, sizeof state->Message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

png_voidp OnPngMalloc(png_structp png, png_alloc_size_t size) {
  png_voidp block = std::malloc(size);
  if (!block) static_cast<TErrorState*>(png_get_mem_ptr(png))->OutOfMemory = true;
  return block;
}

void OnPngFree(png_structp, png_voidp block) { std::free(block); }

// The size in the IHDR chunk, which a valid file has first: read here so that
// an oversized picture is refused before libpng takes any memory for it.
void CheckHeaderSize(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kIhdrEnd = 8 + 8 + 13;
  if (size < kIhdrEnd || std::memcmp(data + 12, "IHDR", 4) != 0) return;  // libpng names the fault
  auto be32 = [](const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
  };
  CheckGraphicSize(be32(data + 16), be32(data + 20), "PNG");
}

std::size_t Channels(TPngColorType type) { return type == COLOR_RGB || type == COLOR_RGBALPHA ? 3 : 1; }

}  // namespace

std::unique_ptr<TGraphic> TPNGObject::Clone() const {
  auto copy = std::make_unique<TPNGObject>();
  copy->Assign(*this);
  return copy;
}

void TPNGObject::Assign(const TPNGObject& other) {
  if (&other == this) return;
  width_ = other.width_;
  height_ = other.height_;
  bitDepth_ = other.bitDepth_;
  colorType_ = other.colorType_;
  samples_ = other.samples_;
  alpha_ = other.alpha_;
  palette_ = other.palette_;
  trns_ = other.trns_;
  SetTransparent(other.Transparent());
  Changed();
}

void TPNGObject::ReadBytes(const std::uint8_t* data, std::size_t size) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) throw EInvalidGraphic("PNG image is not valid: no PNG signature");
  CheckHeaderSize(data, size);
  // Everything the longjmp may skip over lives in this object, declared
  // before setjmp, so it is destroyed normally afterwards.
  struct TDecoded {
    png_uint_32 Width = 0, Height = 0;
    int BitDepth = 0, ColorType = 0;
    std::vector<std::uint8_t> Raw;
    std::vector<png_bytep> Rows;
    std::vector<std::array<std::uint8_t, 3>> Palette;
    std::vector<std::uint8_t> Trns;
    std::size_t RowBytes = 0;
  } d;
  // At most 256 entries each: reserved here, so filling them inside the
  // setjmp scope takes no memory.
  d.Palette.reserve(PNG_MAX_PALETTE_LENGTH);
  d.Trns.reserve(PNG_MAX_PALETTE_LENGTH);
  TErrorState error;
  png_structp png =
      png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning, &error, OnPngMalloc, OnPngFree);
  if (!png) throw EOutOfMemory();
  png_infop info = png_create_info_struct(png);
  if (!info) error.OutOfMemory = true;
  TMemoryReader reader{data, size, 0};
  volatile bool failed = false;

  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    failed = true;
  } else {
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_set_user_limits(png, kMaxGraphicSide, kMaxGraphicSide);
    png_read_info(png, info);
    png_get_IHDR(png, info, &d.Width, &d.Height, &d.BitDepth, &d.ColorType, nullptr, nullptr, nullptr);
    // CheckHeaderSize has seen this size already; libpng's limits above
    // stop only sides, so the area is checked again here.
    if (static_cast<std::int64_t>(d.Width) * d.Height > kMaxGraphicPixels) png_error(png, "image too large");
    if (d.ColorType == PNG_COLOR_TYPE_PALETTE) {
      png_colorp pal = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &pal, &count)) {
        for (int i = 0; i < count && i < PNG_MAX_PALETTE_LENGTH; ++i) {
          d.Palette.push_back({pal[i].red, pal[i].green, pal[i].blue});
        }
      }
      png_bytep trans = nullptr;
      int transCount = 0;
      if (png_get_tRNS(png, info, &trans, &transCount, nullptr)) {
        d.Trns.assign(trans, trans + std::min(transCount, PNG_MAX_PALETTE_LENGTH));
      }
      png_set_packing(png);
    } else {
      if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        d.ColorType |= PNG_COLOR_MASK_ALPHA;
      }
      if (d.BitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
      png_set_strip_16(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    d.RowBytes = png_get_rowbytes(png, info);
    if (!TryResize(d.Raw, d.RowBytes * d.Height) || !TryResize(d.Rows, d.Height)) {
      error.OutOfMemory = true;
      png_error(png, "out of memory");
    }
    for (png_uint_32 y = 0; y < d.Height; ++y) d.Rows[y] = d.Raw.data() + y * d.RowBytes;
    png_read_image(png, d.Rows.data());
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (failed && error.OutOfMemory) throw EOutOfMemory();
  if (failed) throw EInvalidGraphic(std::string("PNG image is not valid: ") + error.Message);

  auto type = static_cast<TPngColorType>(d.ColorType);
  std::size_t channels = Channels(type);
  bool hasAlpha = type == COLOR_GRAYSCALEALPHA || type == COLOR_RGBALPHA;
  std::size_t pixelBytes = channels + (hasAlpha ? 1 : 0);
  std::size_t count = static_cast<std::size_t>(d.Width) * d.Height;
  std::vector<std::uint8_t> samples(count * channels);
  std::vector<std::uint8_t> alpha(hasAlpha ? count : 0);
  for (png_uint_32 y = 0; y < d.Height; ++y) {
    const std::uint8_t* src = d.Rows[y];
    for (png_uint_32 x = 0; x < d.Width; ++x) {
      std::size_t i = static_cast<std::size_t>(y) * d.Width + x;
      std::memcpy(&samples[i * channels], src + x * pixelBytes, channels);
      if (hasAlpha) alpha[i] = src[x * pixelBytes + channels];
    }
  }
  if (type == COLOR_PALETTE) {
    for (std::uint8_t index : samples) {
      if (index >= d.Palette.size()) throw EInvalidGraphic("PNG image is not valid: pixel refers past the palette");
    }
  }
  width_ = static_cast<int>(d.Width);
  height_ = static_cast<int>(d.Height);
  bitDepth_ = type == COLOR_PALETTE ? d.BitDepth : 8;
  colorType_ = type;
  samples_ = std::move(samples);
  alpha_ = std::move(alpha);
  palette_ = std::move(d.Palette);
  trns_ = std::move(d.Trns);
  Changed();
}

void TPNGObject::CreateAlpha() {
  if (Empty()) throw EInvalidGraphic("PNG image has no header");
  switch (colorType_) {
    case COLOR_GRAYSCALE:
      colorType_ = COLOR_GRAYSCALEALPHA;
      alpha_.assign(samples_.size(), 255);
      break;
    case COLOR_RGB:
      colorType_ = COLOR_RGBALPHA;
      alpha_.assign(samples_.size() / 3, 255);
      break;
    case COLOR_PALETTE: trns_.assign(std::size_t{1} << bitDepth_, 255); break;
    case COLOR_GRAYSCALEALPHA:
    case COLOR_RGBALPHA: break;
  }
  Changed();
}

std::uint8_t* TPNGObject::AlphaScanline(int row) {
  if (!HasAlphaChannel() || row < 0 || row >= height_) return nullptr;
  return alpha_.data() + static_cast<std::size_t>(row) * width_;
}

std::uint32_t TPNGObject::PixelColor(int x, int y) const {
  std::size_t i = static_cast<std::size_t>(y) * width_ + x;
  switch (colorType_) {
    case COLOR_GRAYSCALE:
    case COLOR_GRAYSCALEALPHA: {
      std::uint32_t g = samples_[i];
      return (g << 16) | (g << 8) | g;
    }
    case COLOR_PALETTE: {
      const auto& e = palette_[samples_[i]];
      return (e[0] << 16) | (e[1] << 8) | e[2];
    }
    case COLOR_RGB:
    case COLOR_RGBALPHA: break;
  }
  const std::uint8_t* p = &samples_[i * 3];
  return (p[0] << 16) | (p[1] << 8) | p[2];
}

std::uint8_t TPNGObject::PixelAlpha(int x, int y) const {
  std::size_t i = static_cast<std::size_t>(y) * width_ + x;
  if (HasAlphaChannel()) return alpha_[i];
  if (colorType_ == COLOR_PALETTE && samples_[i] < trns_.size()) return trns_[samples_[i]];
  return 255;
}

std::vector<std::uint32_t> TPNGObject::BuildPixels() const {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(width_) * height_);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      std::uint32_t c = PixelColor(x, y);
      out[static_cast<std::size_t>(y) * width_ + x] =
          PremultipliedArgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, PixelAlpha(x, y));
    }
  }
  return out;
}
