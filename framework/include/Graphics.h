// Colours, fonts, pens and brushes as the form descriptions give them.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <string>

// 0x00BBGGRR, or a system colour: 0x80000000 plus the system colour index.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);

// The plain 0x00BBGGRR value of a colour; system colours resolve to the
// classic Windows scheme so screenshots do not depend on a desktop theme.
std::uint32_t ColorToRGB(TColor color);

// Looks a colour up by its form-description name ("clBtnFace"); false when unknown.
bool IdentToColor(const std::string& name, TColor& color);

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;
constexpr int SYMBOL_CHARSET = 2;
constexpr int ARABIC_CHARSET = 178;

// Height as the form descriptions store it: negative is the character height
// in pixels, positive the cell height (character plus internal leading).
class TFont {
 public:
  std::string Name = "MS Sans Serif";
  int Height = -11;
  TColor Color = clWindowText;
  TFontStyles Style = 0;
  int Charset = DEFAULT_CHARSET;
  int PixelsPerInch = 96;

  // Called after every change made through the setters, so controls repaint.
  std::function<void()> OnChange;

  void SetName(const std::string& v) { Name = v, Changed(); }
  void SetHeight(int v) { Height = v, Changed(); }
  void SetColor(TColor v) { Color = v, Changed(); }
  void SetStyle(TFontStyles v) { Style = v, Changed(); }
  void SetCharset(int v) { Charset = v, Changed(); }
  int Size() const;
  void SetSize(int points);
  // Copies the attributes, not the change notification.
  void Assign(const TFont& other);
  bool SameAs(const TFont& other) const;
  // The em size in pixels that the drawing library is given.
  double PixelSize() const;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
};

enum TPenStyle { psSolid, psDash, psDot, psClear };
struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = psSolid;
};

enum TBrushStyle { bsSolid, bsClear };
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

// Coordinates come from form descriptions and may lie anywhere in the int
// range: sums and differences of them saturate at its ends instead of
// wrapping, so a control placed near the end lies at the edge of the
// coordinate space, never at the opposite one.
constexpr int SaturateToInt(std::int64_t value) {
  return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}
constexpr int SaturatingAdd(int a, int b) { return SaturateToInt(static_cast<std::int64_t>(a) + b); }
constexpr int SaturatingSub(int a, int b) { return SaturateToInt(static_cast<std::int64_t>(a) - b); }

// Right and Bottom are exclusive, as on the original platform.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return SaturatingSub(Right, Left); }
  int Height() const { return SaturatingSub(Bottom, Top); }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
  return TRect{left, top, SaturatingAdd(left, width), SaturatingAdd(top, height)};
}
TRect IntersectRect(const TRect& a, const TRect& b);
TRect UnionRect(const TRect& a, const TRect& b);

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crIBeam = -4;
constexpr TCursor crHandPoint = -21;
bool IdentToCursor(const std::string& name, TCursor& cursor);
