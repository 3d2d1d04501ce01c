// Drawing on a form's surface (Cairo), text shaped by Pango: right-to-left
// Persian text comes out joined and ordered without help from the caller.
// Coordinates are whole pixels; rectangles exclude their right and bottom.
#pragma once

#include <string>

#include "Graphic.h"
#include "Graphics.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _PangoContext PangoContext;

struct TSize {
  int cx = 0;
  int cy = 0;
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

class TCanvas {
 public:
  // Draws on the given context; the canvas does not own it.
  explicit TCanvas(cairo_t* cr);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen Pen;
  TBrush Brush;
  TFont Font;

  cairo_t* Handle() const { return cr_; }

  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  // Filled with the brush, outlined with the pen along the inside edge.
  void Rectangle(const TRect& r);
  void MoveTo(int x, int y) { penPos_ = {x, y}; }
  // Draws up to but not including (x, y).
  void LineTo(int x, int y);

  TSize TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  // Top-left of the text at (x, y); the brush fills behind it unless clear.
  void TextOut(int x, int y, const std::string& text);
  // Like TextOut, clipped to r, which the brush fills first unless clear.
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  // Text laid out in r: aligned, optionally word-wrapped, with right-to-left
  // reading order (which also mirrors the alignment). Clipped to r.
  void DrawTextInRect(const TRect& r, const std::string& text, TAlignment alignment, TTextLayout layout, bool wordWrap,
                      bool rightToLeft);

  // Pictures keep their own transparency (alpha, palette table or key colour).
  void Draw(int x, int y, const TGraphic& graphic);
  void StretchDraw(const TRect& r, const TGraphic& graphic);

  // A frame of the given width; top and left in one colour, bottom and right
  // in the other; r shrinks by the width on every side.
  void Frame3D(TRect& r, TColor topColor, TColor bottomColor, int width);

  // Restricts drawing to r (in current coordinates) and moves the origin to
  // its top-left until the matching Restore.
  void Save(const TRect& clip);
  void Restore();

 private:
  void SetSourceColor(TColor color);
  void ShowLayout(int x, int y, const std::string& utf8Text);
  cairo_t* cr_;
  PangoContext* pango_ = nullptr;
  TPoint penPos_;
};

// The standard push-button face: filled with the button-face colour and edged
// raised, or sunken when down, with bevels of the given width. Returns the
// rectangle inside the edges.
TRect DrawButtonFace(TCanvas& canvas, const TRect& client, int bevelWidth, bool isDown);

// An in-memory drawing surface (premultiplied 32-bit ARGB) with its canvas.
class TSurface {
 public:
  // Sizes below 1 count as 1. Raises EOutOfResources, naming the size, past
  // the picture size limit (kMaxGraphicSide, kMaxGraphicPixels), and
  // EOutOfMemory when memory runs out.
  TSurface(int width, int height);
  ~TSurface();
  TSurface(const TSurface&) = delete;
  TSurface& operator=(const TSurface&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  TCanvas& Canvas() { return *canvas_; }
  cairo_surface_t* Handle() const { return surface_; }
  // 0x00RRGGBB of one pixel (the surfaces of forms are opaque).
  std::uint32_t Pixel(int x, int y);
  const std::uint8_t* Data();
  int Stride() const;
  // Writes the surface as a PNG file; false when it cannot be written.
  bool SaveToPng(const std::string& path);

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
  TCanvas* canvas_;
};
