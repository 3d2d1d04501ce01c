#include "JpegImage.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <new>
#include <string>

#include "DecoderBuffers.h"

using qorv::framework::TryResize;

namespace {

struct TJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
  // The failure was memory exhaustion, libjpeg's or ours.
  volatile bool OutOfMemory;
};

// libjpeg's default handler exits the process; this one returns to the
// setjmp in ReadBytes instead.
void OnJpegError(j_common_ptr info) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  if (info->err->msg_code == JERR_OUT_OF_MEMORY) error->OutOfMemory = true;
  info->err->format_message(info, error->Message);
  std::longjmp(error->Jump, 1);
}

// Warnings (a premature end of data, a corrupt segment) mean a damaged file:
// the decoder would fill the rest with grey, so they count as failures.
void OnJpegMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  if (error->Message[0] == '\0') info->err->format_message(info, error->Message);
}

// Inside the setjmp scope nothing may throw: a size fault is written into
// the message buffer, an allocation failure is marked.
bool SizeAcceptable(const jpeg_decompress_struct& info, TJpegError& error) noexcept {
  try {
    std::string fault = GraphicSizeError(info.image_width, info.image_height);
    std::snprintf(error.Message, sizeof error.Message, "%s", fault.c_str());
    return fault.empty();
  } catch (const std::bad_alloc&) {
    error.OutOfMemory = true;
    return false;
  }
}

}  // namespace

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
  auto copy = std::make_unique<TJPEGImage>();
  copy->width_ = width_;
  copy->height_ = height_;
  copy->rgb_ = rgb_;
  return copy;
}

void TJPEGImage::ReadBytes(const std::uint8_t* data, std::size_t size) {
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) throw EInvalidGraphic("JPEG image is not valid: no JPEG marker");
  jpeg_decompress_struct info;
  TJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = OnJpegError;
  error.Manager.emit_message = OnJpegMessage;
  error.Message[0] = '\0';
  error.OutOfMemory = false;
  // Kept outside the setjmp scope so that a longjmp does not leak it.
  auto pixels = std::make_unique<std::vector<std::uint8_t>>();
  volatile bool tooLarge = false;
  int width = 0, height = 0;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    if (error.OutOfMemory) throw EOutOfMemory();
    if (tooLarge) throw EInvalidGraphic(std::string("JPEG image is ") + error.Message);
    throw EInvalidGraphic(std::string("JPEG image is not valid: ") + error.Message);
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  // The header's size is checked before the decoder takes any memory for
  // rows or pixels.
  if (!SizeAcceptable(info, error)) {
    tooLarge = true;
    std::longjmp(error.Jump, 1);
  }
  if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
    std::snprintf(error.Message, sizeof error.Message, "CMYK pictures are not supported");
    std::longjmp(error.Jump, 1);
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  if (!TryResize(*pixels, static_cast<std::size_t>(width) * height * 3)) {
    error.OutOfMemory = true;
    std::longjmp(error.Jump, 1);
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels->data() + static_cast<std::size_t>(info.output_scanline) * width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (error.Message[0] != '\0') throw EInvalidGraphic(std::string("JPEG image is not valid: ") + error.Message);
  width_ = width;
  height_ = height;
  rgb_ = std::move(*pixels);
  Changed();
}

std::vector<std::uint32_t> TJPEGImage::BuildPixels() const {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(width_) * height_);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = 0xFF000000u | (rgb_[i * 3] << 16) | (rgb_[i * 3 + 1] << 8) | rgb_[i * 3 + 2];
  }
  return out;
}
