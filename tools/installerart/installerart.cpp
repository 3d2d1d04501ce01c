// Draws the installer window's pictures: the page background (JPEG), the
// product logo (PNG with alpha), the exit glyph (24-bit bitmap whose
// bottom-left colour is the see-through one) and the remote-connection
// pictures (PNG with alpha, normal and hover). Run once when the artwork
// changes; its output is kept in installer/art/ and embedded into the form
// description by embedpictures.py.
//
//   installerart <output folder>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

// After <cstdio>: it uses FILE and size_t without including their headers.
#include <jpeglib.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct TRgb {
  double R, G, B;
};

void SetColor(cairo_t* cr, TRgb c, double alpha = 1.0) { cairo_set_source_rgba(cr, c.R, c.G, c.B, alpha); }

constexpr TRgb kNavy{0.043, 0.122, 0.227};
constexpr TRgb kTeal{0.055, 0.369, 0.435};
constexpr TRgb kCyan{0.498, 0.859, 1.0};
constexpr TRgb kOrange{0.980, 0.545, 0.145};
constexpr TRgb kRed{0.878, 0.231, 0.188};
constexpr TRgb kWhite{1, 1, 1};

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// Text (UTF-8) with its right edge at x when rightAligned, else its left edge.
void Text(cairo_t* cr, const std::string& utf8, const char* font, double x, double y, bool rightAligned) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* description = pango_font_description_from_string(font);
  pango_layout_set_font_description(layout, description);
  pango_layout_set_text(layout, utf8.c_str(), -1);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  cairo_move_to(cr, rightAligned ? x - width : x, y);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(description);
  g_object_unref(layout);
}

// A recorded call as a waveform: bursts of speech between pauses.
void Waveform(cairo_t* cr, double x0, double x1, double midY, double amplitude) {
  cairo_move_to(cr, x0, midY);
  for (double x = x0; x <= x1; x += 2) {
    double t = (x - x0) / (x1 - x0);
    double envelope = std::pow(std::sin(t * kPi * 5), 2) * (0.35 + 0.65 * std::sin(t * kPi));
    double y = midY + amplitude * envelope * std::sin(x * 0.21) * std::cos(x * 0.047);
    cairo_line_to(cr, x, y);
  }
  cairo_stroke(cr);
}

void DrawBackground(cairo_t* cr, int w, int h) {
  cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, w, h);
  cairo_pattern_add_color_stop_rgb(base, 0, kNavy.R, kNavy.G, kNavy.B);
  cairo_pattern_add_color_stop_rgb(base, 1, kTeal.R, kTeal.G, kTeal.B);
  cairo_set_source(cr, base);
  cairo_paint(cr);
  cairo_pattern_destroy(base);

  // A soft light behind the column of buttons on the right.
  cairo_pattern_t* glow = cairo_pattern_create_radial(w * 0.86, h * 0.38, 10, w * 0.86, h * 0.38, h * 0.75);
  cairo_pattern_add_color_stop_rgba(glow, 0, 0.35, 0.75, 0.85, 0.45);
  cairo_pattern_add_color_stop_rgba(glow, 1, 0.35, 0.75, 0.85, 0.0);
  cairo_set_source(cr, glow);
  cairo_paint(cr);
  cairo_pattern_destroy(glow);

  // Sound rings spreading from the left, where the logo sits below them.
  cairo_set_line_width(cr, 3);
  for (int i = 1; i <= 14; ++i) {
    SetColor(cr, kCyan, 0.20 - i * 0.012);
    cairo_arc(cr, 260, 330, 40.0 * i, -kPi / 2.6, kPi / 2.6);
    cairo_stroke(cr);
  }

  // A dotted grid fading towards the middle.
  for (int y = 40; y < h; y += 36) {
    for (int x = 900; x < w; x += 36) {
      SetColor(cr, kWhite, 0.05 * (x - 900) / (w - 900.0));
      cairo_arc(cr, x, y, 2.2, 0, 2 * kPi);
      cairo_fill(cr);
    }
  }

  cairo_set_line_width(cr, 2.5);
  SetColor(cr, kCyan, 0.30);
  Waveform(cr, 0, w, h * 0.63, 70);
  cairo_set_line_width(cr, 1.5);
  SetColor(cr, kCyan, 0.15);
  Waveform(cr, 0, w, h * 0.66, 40);

  // Darker bands under the white notices at the top and the bottom.
  cairo_pattern_t* top = cairo_pattern_create_linear(0, 0, 0, h * 0.16);
  cairo_pattern_add_color_stop_rgba(top, 0, 0, 0, 0, 0.35);
  cairo_pattern_add_color_stop_rgba(top, 1, 0, 0, 0, 0.0);
  cairo_set_source(cr, top);
  cairo_paint(cr);
  cairo_pattern_destroy(top);
  cairo_pattern_t* bottom = cairo_pattern_create_linear(0, h * 0.72, 0, h);
  cairo_pattern_add_color_stop_rgba(bottom, 0, 0, 0, 0, 0.0);
  cairo_pattern_add_color_stop_rgba(bottom, 1, 0, 0, 0, 0.45);
  cairo_set_source(cr, bottom);
  cairo_paint(cr);
  cairo_pattern_destroy(bottom);
}

// A telephone inside a rounded tile, with a recording's level meter.
void DrawEmblem(cairo_t* cr, double x, double y, double size) {
  cairo_pattern_t* tile = cairo_pattern_create_linear(x, y, x + size, y + size);
  cairo_pattern_add_color_stop_rgb(tile, 0, kOrange.R, kOrange.G, kOrange.B);
  cairo_pattern_add_color_stop_rgb(tile, 1, kRed.R, kRed.G, kRed.B);
  RoundedRect(cr, x, y, size, size, size * 0.22);
  cairo_set_source(cr, tile);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(tile);
  SetColor(cr, kWhite, 0.6);
  cairo_set_line_width(cr, size * 0.02);
  cairo_stroke(cr);

  // The handset, a telephone sign of the font.
  double s = size / 100.0;
  SetColor(cr, kWhite);
  Text(cr, "\xE2\x98\x8E", ("DejaVu Sans " + std::to_string(static_cast<int>(58 * s)) + "px").c_str(), x + 84 * s,
       y + 2 * s, true);

  // Level bars of a recording under the handset.
  const double bars[] = {8, 16, 24, 14, 20, 10, 6};
  for (int i = 0; i < 7; ++i) {
    SetColor(cr, kWhite, 0.9);
    RoundedRect(cr, x + (22 + i * 8.5) * s, y + (86 - bars[i]) * s, 5 * s, bars[i] * s, 2 * s);
    cairo_fill(cr);
  }
}

void DrawLogo(cairo_t* cr, int w, int h) {
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

  // A translucent plate so the words read on any part of the background. Its
  // right part stays clear: the window's bit-width notice runs into it.
  const double plate = w - 56;
  RoundedRect(cr, 4, 4, plate - 4, h - 8, 28);
  SetColor(cr, kNavy, 0.55);
  cairo_fill_preserve(cr);
  SetColor(cr, kCyan, 0.35);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);

  DrawEmblem(cr, plate - 196, 28, 175);

  // Persian reads from the right: the words stand left of the emblem.
  SetColor(cr, kWhite);
  Text(cr, "\xD9\x88\xD9\x84\xD9\x85\xD9\x88\xD8\xB1\xD8\xA7 \xD9\x86\xD8\xB1\xD9\x88\xD8\xB3\xD8\xA7",
       "Titr Bold 46px", plate - 218, 18, true);
  SetColor(cr, kCyan);
  Text(cr,
       "\xD9\x86\xD8\xB1\xD9\x85 \xD8\xA7\xD9\x81\xD8\xB2\xD8\xA7\xD8\xB1 "
       "\xD9\x85\xD8\xAF\xDB\x8C\xD8\xB1\xDB\x8C\xD8\xAA "
       "\xD9\x81\xD8\xB1\xD9\x88\xD8\xB4\xDA\xAF\xD8\xA7\xD9\x87 \xD9\x88 \xD8\xB6\xD8\xA8\xD8\xB7 "
       "\xD8\xAA\xD9\x85\xD8\xA7\xD8\xB3",
       "Nazli Bold 34px", plate - 218, 98, true);
  SetColor(cr, kWhite, 0.85);
  Text(cr, "Velmora Nerosa", "DejaVu Sans Bold 30px", 28, 160, false);
  SetColor(cr, kWhite, 0.55);
  Text(cr, "Ostrivel", "DejaVu Sans 22px", plate - 318, 168, false);
}

// A door with an arrow leaving through it, on the see-through colour.
void DrawExitGlyph(cairo_t* cr, int w, int h) {
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(cr, 1, 0, 1);
  cairo_paint(cr);
  double cx = w / 2.0;
  // Door frame and open leaf.
  cairo_set_source_rgb(cr, 0.93, 0.93, 0.93);
  cairo_rectangle(cr, cx - 2, 2, 16, h - 4);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.55, 0.32, 0.16);
  cairo_move_to(cr, cx, 3);
  cairo_line_to(cr, cx + 10, 6);
  cairo_line_to(cr, cx + 10, h - 5);
  cairo_line_to(cr, cx, h - 3);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1.0, 0.84, 0.2);
  cairo_rectangle(cr, cx + 7, h / 2.0, 2, 2);
  cairo_fill(cr);
  // The arrow, pointing out to the left.
  cairo_set_source_rgb(cr, 0.85, 0.12, 0.12);
  cairo_rectangle(cr, cx - 20, h / 2.0 - 3, 17, 6);
  cairo_fill(cr);
  cairo_move_to(cr, cx - 27, h / 2.0);
  cairo_line_to(cr, cx - 17, h / 2.0 - 9);
  cairo_line_to(cr, cx - 17, h / 2.0 + 9);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void Monitor(cairo_t* cr, double x, double y, double w, double h, TRgb screen) {
  RoundedRect(cr, x, y, w, h, 3);
  cairo_set_source_rgb(cr, 0.16, 0.18, 0.22);
  cairo_fill(cr);
  cairo_pattern_t* glass = cairo_pattern_create_linear(x, y, x + w, y + h);
  cairo_pattern_add_color_stop_rgb(glass, 0, screen.R, screen.G, screen.B);
  cairo_pattern_add_color_stop_rgb(glass, 1, screen.R * 0.6, screen.G * 0.6, screen.B * 0.8);
  cairo_rectangle(cr, x + 3, y + 3, w - 6, h - 8);
  cairo_set_source(cr, glass);
  cairo_fill(cr);
  cairo_pattern_destroy(glass);
  cairo_set_source_rgb(cr, 0.16, 0.18, 0.22);
  cairo_rectangle(cr, x + w / 2 - 3, y + h, 6, 5);
  cairo_fill(cr);
  cairo_rectangle(cr, x + w / 2 - 9, y + h + 4, 18, 3);
  cairo_fill(cr);
}

// Two computers joined by arrows, drawn on a 64 by 60 grid and scaled.
void DrawRemote(cairo_t* cr, int w, int h, bool hover) {
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_scale(cr, w / 64.0, h / 60.0);
  if (hover) {
    cairo_pattern_t* glow = cairo_pattern_create_radial(32, 30, 4, 32, 30, 32);
    cairo_pattern_add_color_stop_rgba(glow, 0, kCyan.R, kCyan.G, kCyan.B, 0.55);
    cairo_pattern_add_color_stop_rgba(glow, 1, kCyan.R, kCyan.G, kCyan.B, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
  }
  Monitor(cr, 2, 6, 30, 22, hover ? TRgb{0.55, 0.85, 1.0} : TRgb{0.40, 0.70, 0.95});
  Monitor(cr, 32, 26, 30, 22, hover ? TRgb{0.65, 1.0, 0.75} : TRgb{0.45, 0.85, 0.55});
  cairo_set_line_width(cr, 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_source_rgb(cr, hover ? 1.0 : 0.98, hover ? 0.70 : 0.55, 0.15);
  cairo_move_to(cr, 36, 8);
  cairo_curve_to(cr, 48, 8, 54, 12, 54, 20);
  cairo_stroke(cr);
  cairo_move_to(cr, 49, 17);
  cairo_line_to(cr, 54, 23);
  cairo_line_to(cr, 59, 17);
  cairo_stroke(cr);
  cairo_move_to(cr, 28, 52);
  cairo_curve_to(cr, 16, 52, 10, 48, 10, 40);
  cairo_stroke(cr);
  cairo_move_to(cr, 5, 43);
  cairo_line_to(cr, 10, 37);
  cairo_line_to(cr, 15, 43);
  cairo_stroke(cr);
}

bool WriteJpeg(cairo_surface_t* surface, const std::string& path, int quality) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(cairo_image_surface_get_width(surface));
  info.image_height = static_cast<JDIMENSION>(cairo_image_surface_get_height(surface));
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  std::vector<unsigned char> row(info.image_width * 3);
  while (info.next_scanline < info.image_height) {
    const auto* pixel = reinterpret_cast<const std::uint32_t*>(data + info.next_scanline * stride);
    for (JDIMENSION x = 0; x < info.image_width; ++x) {
      row[x * 3] = static_cast<unsigned char>(pixel[x] >> 16);
      row[x * 3 + 1] = static_cast<unsigned char>(pixel[x] >> 8);
      row[x * 3 + 2] = static_cast<unsigned char>(pixel[x]);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(out) == 0;
}

void Put16(std::string& s, unsigned v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, unsigned v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// Bottom-up, 24 bits per pixel, rows padded to four bytes.
bool WriteBmp24(cairo_surface_t* surface, const std::string& path) {
  cairo_surface_flush(surface);
  int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  unsigned rowSize = (static_cast<unsigned>(w) * 3 + 3) & ~3u;
  unsigned imageSize = rowSize * static_cast<unsigned>(h);
  std::string file = "BM";
  Put32(file, 54 + imageSize);
  Put32(file, 0);
  Put32(file, 54);
  Put32(file, 40);
  Put32(file, static_cast<unsigned>(w));
  Put32(file, static_cast<unsigned>(h));
  Put16(file, 1);
  Put16(file, 24);
  Put32(file, 0);
  Put32(file, imageSize);
  Put32(file, 2835);
  Put32(file, 2835);
  Put32(file, 0);
  Put32(file, 0);
  for (int y = h - 1; y >= 0; --y) {
    const auto* pixel = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    std::string row;
    for (int x = 0; x < w; ++x) {
      row += static_cast<char>(pixel[x] & 0xFF);
      row += static_cast<char>((pixel[x] >> 8) & 0xFF);
      row += static_cast<char>((pixel[x] >> 16) & 0xFF);
    }
    row.resize(rowSize, '\0');
    file += row;
  }
  std::ofstream out(path, std::ios::binary);
  out << file;
  return static_cast<bool>(out.flush());
}

template <class Draw>
bool Make(const std::string& path, cairo_format_t format, int w, int h, Draw draw, const char* kind) {
  cairo_surface_t* surface = cairo_image_surface_create(format, w, h);
  cairo_t* cr = cairo_create(surface);
  draw(cr, w, h);
  cairo_destroy(cr);
  bool written = false;
  std::string k = kind;
  if (k == "png") written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  if (k == "jpeg") written = WriteJpeg(surface, path, 88);
  if (k == "bmp") written = WriteBmp24(surface, path);
  cairo_surface_destroy(surface);
  if (!written) std::fprintf(stderr, "installerart: cannot write %s\n", path.c_str());
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: installerart <output folder>\n");
    return 2;
  }
  std::string folder = std::string(argv[1]) + "/";
  bool ok = Make(folder + "Background.jpg", CAIRO_FORMAT_RGB24, 1920, 800, DrawBackground, "jpeg");
  ok = Make(folder + "Logo.png", CAIRO_FORMAT_ARGB32, 831, 231, DrawLogo, "png") && ok;
  ok = Make(folder + "Exit.bmp", CAIRO_FORMAT_RGB24, 57, 32, DrawExitGlyph, "bmp") && ok;
  ok = Make(
           folder + "Remote.png", CAIRO_FORMAT_ARGB32, 64, 60,
           [](cairo_t* cr, int w, int h) { DrawRemote(cr, w, h, false); }, "png") &&
       ok;
  ok = Make(
           folder + "RemoteOver.png", CAIRO_FORMAT_ARGB32, 72, 68,
           [](cairo_t* cr, int w, int h) { DrawRemote(cr, w, h, true); }, "png") &&
       ok;
  return ok ? 0 : 1;
}
