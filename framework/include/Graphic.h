// The base of every picture kind: size, transparency and the decoded pixels
// in the layout the canvas draws from.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "Graphics.h"

// A picture that cannot be decoded: damaged, truncated or of an unsupported kind.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

class TGraphic {
 public:
  virtual ~TGraphic();

  virtual const char* ClassName() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
  // Replaces the picture with the decoded data; raises EInvalidGraphic (or
  // EOutOfMemory) and leaves the picture unchanged when the data cannot be
  // read.
  void LoadFromBytes(const std::uint8_t* data, std::size_t size);
  void LoadFromFile(const std::string& path);
  virtual std::unique_ptr<TGraphic> Clone() const = 0;

  // For pictures without their own alpha: draw with a key colour left out.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // Premultiplied 32-bit ARGB, one word per pixel, row after row, as the
  // drawing library takes it. Rebuilt after a change.
  const std::vector<std::uint32_t>& Pixels() const;

 protected:
  // The decoding behind LoadFromBytes, one per picture kind.
  virtual void ReadBytes(const std::uint8_t* data, std::size_t size) = 0;
  // Decoded pixels in premultiplied ARGB, honouring Transparent().
  virtual std::vector<std::uint32_t> BuildPixels() const = 0;
  void Changed() { pixelsValid_ = false; }

 private:
  bool transparent_ = false;
  mutable bool pixelsValid_ = false;
  mutable std::vector<std::uint32_t> pixels_;
};

// The largest picture or drawing surface the framework makes, checked against
// the header before any pixel memory is taken, so that a few hundred bytes of
// damaged or hostile data cannot ask for gigabytes. 32 Mi pixels holds an 8K
// screen (7680 x 4320), twenty times the installer's largest picture
// (1920 x 800), and costs at most 128 MiB as 32-bit pixels; a side of 16384
// lets long strips through and stays within what the drawing library takes.
constexpr int kMaxGraphicSide = 16384;
constexpr std::int64_t kMaxGraphicPixels = 32 * 1024 * 1024;
// Why a picture or surface of that size cannot be made, to follow "... is"
// ("too large (8192 x 8192 pixels; ...)"), or an empty string when it can.
std::string GraphicSizeError(std::int64_t width, std::int64_t height);
// Raises EInvalidGraphic naming the kind and the size when GraphicSizeError
// finds fault with it.
void CheckGraphicSize(std::int64_t width, std::int64_t height, const char* kind);

inline std::uint32_t PremultipliedArgb(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  auto mul = [a](std::uint8_t c) { return static_cast<std::uint32_t>((c * a + 127) / 255); };
  return (static_cast<std::uint32_t>(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}
