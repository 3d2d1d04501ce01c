#include "Canvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <stdexcept>

#include "AnsiStrings.h"
#include "FontSetup.h"

namespace {

using qorv::framework::SharedFontMap;
using qorv::framework::TextLock;

void SetCairoColor(cairo_t* cr, TColor color) {
  std::uint32_t rgb = ColorToRGB(color);
  cairo_set_source_rgb(cr, (rgb & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, ((rgb >> 16) & 0xFF) / 255.0);
}

PangoFontDescription* MakeFontDescription(const TFont& font) {
  PangoFontDescription* desc = pango_font_description_new();
  pango_font_description_set_family(desc, font.Name.c_str());
  pango_font_description_set_absolute_size(desc, font.PixelSize() * PANGO_SCALE);
  pango_font_description_set_weight(desc, (font.Style & fsBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(desc, (font.Style & fsItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return desc;
}

// A layout for the text in the font, with underline and strike-out as
// attributes. The caller holds TextLock and unrefs the layout.
PangoLayout* MakeLayout(PangoContext* context, const TFont& font, const std::string& utf8) {
  qorv::framework::SyncAddedFonts();
  PangoLayout* layout = pango_layout_new(context);
  PangoFontDescription* desc = MakeFontDescription(font);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  if (font.Style & (fsUnderline | fsStrikeOut)) {
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.Style & fsUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.Style & fsStrikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  }
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  return layout;
}

void SetGraphicSource(const TGraphic& graphic, cairo_surface_t*& surface) {
  const auto& pixels = graphic.Pixels();
  surface =
      cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels.data())),
                                          CAIRO_FORMAT_ARGB32, graphic.Width(), graphic.Height(), graphic.Width() * 4);
}

}  // namespace

TCanvas::TCanvas(cairo_t* cr) : cr_(cr) {
  std::lock_guard<std::mutex> lock(TextLock());
  pango_ = pango_font_map_create_context(SharedFontMap());
  // Grey-scale antialiasing without hinting draws the same pixels on every
  // backend and screen, which keeps screenshots comparable.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(pango_, options);
  cairo_font_options_destroy(options);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
}

TCanvas::~TCanvas() {
  std::lock_guard<std::mutex> lock(TextLock());
  g_object_unref(pango_);
}

void TCanvas::SetSourceColor(TColor color) { SetCairoColor(cr_, color); }

void TCanvas::FillRect(const TRect& r) {
  if (Brush.Style == bsClear || r.IsEmpty()) return;
  SetSourceColor(Brush.Color);
  cairo_rectangle(cr_, r.Left, r.Top, r.Width(), r.Height());
  cairo_fill(cr_);
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty()) return;
  TBrush saved = Brush;
  Brush.Style = bsSolid;
  FillRect({r.Left, r.Top, r.Right, r.Top + 1});
  FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
  FillRect({r.Left, r.Top, r.Left + 1, r.Bottom});
  FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
  Brush = saved;
}

void TCanvas::Rectangle(const TRect& r) {
  FillRect(r);
  if (Pen.Style == psClear || r.IsEmpty()) return;
  TBrush saved = Brush;
  Brush = TBrush{Pen.Color, bsSolid};
  int w = std::max(1, Pen.Width);
  FillRect({r.Left, r.Top, r.Right, r.Top + w});
  FillRect({r.Left, r.Bottom - w, r.Right, r.Bottom});
  FillRect({r.Left, r.Top, r.Left + w, r.Bottom});
  FillRect({r.Right - w, r.Top, r.Right, r.Bottom});
  Brush = saved;
}

void TCanvas::LineTo(int x, int y) {
  TPoint from = penPos_;
  penPos_ = {x, y};
  if (Pen.Style == psClear) return;
  SetSourceColor(Pen.Color);
  int w = std::max(1, Pen.Width);
  if (from.Y == y) {
    cairo_rectangle(cr_, std::min(from.X, x + (x < from.X ? 1 : 0)), y, std::abs(x - from.X), w);
    cairo_fill(cr_);
  } else if (from.X == x) {
    cairo_rectangle(cr_, x, std::min(from.Y, y + (y < from.Y ? 1 : 0)), w, std::abs(y - from.Y));
    cairo_fill(cr_);
  } else {
    cairo_set_line_width(cr_, w);
    cairo_move_to(cr_, from.X + 0.5, from.Y + 0.5);
    cairo_line_to(cr_, x + 0.5, y + 0.5);
    cairo_stroke(cr_);
  }
}

TSize TCanvas::TextExtent(const std::string& text) {
  std::lock_guard<std::mutex> lock(TextLock());
  PangoLayout* layout = MakeLayout(pango_, Font, AnsiToUtf8(text));
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return TSize{logical.width, logical.height};
}

void TCanvas::ShowLayout(int x, int y, const std::string& utf8Text) {
  std::lock_guard<std::mutex> lock(TextLock());
  PangoLayout* layout = MakeLayout(pango_, Font, utf8Text);
  pango_cairo_update_context(cr_, pango_);
  pango_layout_context_changed(layout);
  SetSourceColor(Font.Color);
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout);
  g_object_unref(layout);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  if (Brush.Style != bsClear) {
    TSize size = TextExtent(text);
    FillRect(Bounds(x, y, size.cx, size.cy));
  }
  ShowLayout(x, y, AnsiToUtf8(text));
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  cairo_save(cr_);
  cairo_rectangle(cr_, r.Left, r.Top, r.Width(), r.Height());
  cairo_clip(cr_);
  FillRect(r);
  ShowLayout(x, y, AnsiToUtf8(text));
  cairo_restore(cr_);
}

void TCanvas::DrawTextInRect(const TRect& r, const std::string& text, TAlignment alignment, TTextLayout vertical,
                             bool wordWrap, bool rightToLeft) {
  if (r.IsEmpty() || text.empty()) return;
  std::string utf8 = AnsiToUtf8(text);
  std::lock_guard<std::mutex> lock(TextLock());
  PangoLayout* layout = MakeLayout(pango_, Font, utf8);
  pango_layout_set_auto_dir(layout, FALSE);
  PangoDirection direction = rightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR;
  pango_context_set_base_dir(pango_, direction);
  pango_layout_context_changed(layout);
  if (wordWrap) {
    pango_layout_set_width(layout, r.Width() * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  // Reading order mirrors the alignment, as right-to-left controls do.
  TAlignment effective = alignment;
  if (rightToLeft && alignment != taCenter) effective = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  int x = r.Left;
  if (wordWrap) {
    pango_layout_set_alignment(layout, effective == taCenter ? PANGO_ALIGN_CENTER
                                       : effective == taRightJustify
                                           ? (rightToLeft ? PANGO_ALIGN_LEFT : PANGO_ALIGN_RIGHT)
                                           : (rightToLeft ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT));
    x -= logical.x;
  } else if (effective == taCenter) {
    x = r.Left + (r.Width() - logical.width) / 2 - logical.x;
  } else if (effective == taRightJustify) {
    x = r.Right - logical.width - logical.x;
  } else {
    x -= logical.x;
  }
  int y = r.Top;
  if (vertical == tlCenter) y = r.Top + (r.Height() - logical.height) / 2;
  if (vertical == tlBottom) y = r.Bottom - logical.height;
  cairo_save(cr_);
  cairo_rectangle(cr_, r.Left, r.Top, r.Width(), r.Height());
  cairo_clip(cr_);
  pango_cairo_update_context(cr_, pango_);
  pango_layout_context_changed(layout);
  SetSourceColor(Font.Color);
  cairo_move_to(cr_, x, y);
  pango_cairo_show_layout(cr_, layout);
  cairo_restore(cr_);
  pango_context_set_base_dir(pango_, PANGO_DIRECTION_LTR);
  g_object_unref(layout);
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic) {
  if (graphic.Empty()) return;
  cairo_surface_t* source = nullptr;
  SetGraphicSource(graphic, source);
  cairo_set_source_surface(cr_, source, x, y);
  cairo_rectangle(cr_, x, y, graphic.Width(), graphic.Height());
  cairo_fill(cr_);
  cairo_surface_destroy(source);
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic& graphic) {
  if (graphic.Empty() || r.IsEmpty()) return;
  cairo_surface_t* source = nullptr;
  SetGraphicSource(graphic, source);
  cairo_save(cr_);
  cairo_rectangle(cr_, r.Left, r.Top, r.Width(), r.Height());
  cairo_clip(cr_);
  cairo_translate(cr_, r.Left, r.Top);
  cairo_scale(cr_, static_cast<double>(r.Width()) / graphic.Width(),
              static_cast<double>(r.Height()) / graphic.Height());
  cairo_set_source_surface(cr_, source, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_BILINEAR);
  cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
  cairo_paint(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(source);
}

void TCanvas::Frame3D(TRect& r, TColor topColor, TColor bottomColor, int width) {
  TBrush saved = Brush;
  for (int i = 0; i < width && !r.IsEmpty(); ++i) {
    Brush = TBrush{topColor, bsSolid};
    FillRect({r.Left, r.Top, r.Right - 1, r.Top + 1});
    FillRect({r.Left, r.Top, r.Left + 1, r.Bottom - 1});
    Brush = TBrush{bottomColor, bsSolid};
    FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
  Brush = saved;
}

void TCanvas::Save(const TRect& clip) {
  cairo_save(cr_);
  cairo_rectangle(cr_, clip.Left, clip.Top, clip.Width(), clip.Height());
  cairo_clip(cr_);
  cairo_translate(cr_, clip.Left, clip.Top);
}

void TCanvas::Restore() { cairo_restore(cr_); }

TRect DrawButtonFace(TCanvas& canvas, const TRect& client, int bevelWidth, bool isDown) {
  TRect r = client;
  TBrush saved = canvas.Brush;
  canvas.Brush = TBrush{clBtnFace, bsSolid};
  canvas.FillRect(r);
  if (isDown) {
    canvas.Frame3D(r, clBtnShadow, clBtnHighlight, bevelWidth);
  } else {
    canvas.Frame3D(r, clBtnHighlight, cl3DDkShadow, 1);
    canvas.Frame3D(r, clBtnFace, clBtnShadow, bevelWidth);
  }
  canvas.Brush = saved;
  return r;
}

TSurface::TSurface(int width, int height) : width_(std::max(1, width)), height_(std::max(1, height)) {
  std::string sizeError = GraphicSizeError(width_, height_);
  if (!sizeError.empty()) throw EOutOfResources("Drawing surface is " + sizeError);
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
  cairo_status_t status = cairo_surface_status(surface_);
  if (status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface_);
    if (status == CAIRO_STATUS_NO_MEMORY) throw EOutOfMemory();
    throw EOutOfResources(std::string("Drawing surface cannot be made: ") + cairo_status_to_string(status));
  }
  cr_ = cairo_create(surface_);
  try {
    canvas_ = TranslateOutOfMemory([this] { return new TCanvas(cr_); });
  } catch (...) {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
    throw;
  }
}

TSurface::~TSurface() {
  delete canvas_;
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

std::uint32_t TSurface::Pixel(int x, int y) {
  cairo_surface_flush(surface_);
  const auto* row = cairo_image_surface_get_data(surface_) + static_cast<std::size_t>(y) * Stride();
  std::uint32_t argb = reinterpret_cast<const std::uint32_t*>(row)[x];
  return argb & 0xFFFFFF;
}

const std::uint8_t* TSurface::Data() {
  cairo_surface_flush(surface_);
  return cairo_image_surface_get_data(surface_);
}

int TSurface::Stride() const { return cairo_image_surface_get_stride(surface_); }

bool TSurface::SaveToPng(const std::string& path) {
  cairo_surface_flush(surface_);
  return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}
