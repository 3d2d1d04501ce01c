#include "Graphics.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// The classic Windows colour scheme, index by system colour number.
constexpr std::uint32_t kSystemColors[] = {
    0xC8C8C8,  // scroll bar
    0x808000,  // background
    0x6A240A,  // active caption
    0x808080,  // inactive caption
    0xC8D0D4,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC8D0D4,  // active border
    0xC8D0D4,  // inactive border
    0x808080,  // app work space
    0x6A240A,  // highlight
    0xFFFFFF,  // highlight text
    0xC8D0D4,  // button face
    0x99A8AC,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC8D0D4,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x404040,  // 3-D dark shadow
    0xC8D0D4,  // 3-D light
    0x000000,  // info text
    0xE1FFFF,  // info background
};

}  // namespace

std::uint32_t ColorToRGB(TColor color) {
  auto bits = static_cast<std::uint32_t>(color);
  if ((bits & 0x80000000u) == 0) return bits & 0x00FFFFFFu;
  std::uint32_t index = bits & 0xFFu;
  if (index >= std::size(kSystemColors)) return 0;
  return kSystemColors[index];
}

bool IdentToColor(const std::string& name, TColor& color) {
  static const std::map<std::string, TColor> names = {
      {"clBlack", clBlack},
      {"clMaroon", clMaroon},
      {"clGreen", clGreen},
      {"clOlive", clOlive},
      {"clNavy", clNavy},
      {"clPurple", clPurple},
      {"clTeal", clTeal},
      {"clGray", clGray},
      {"clSilver", clSilver},
      {"clRed", clRed},
      {"clLime", clLime},
      {"clYellow", clYellow},
      {"clBlue", clBlue},
      {"clFuchsia", clFuchsia},
      {"clAqua", clAqua},
      {"clWhite", clWhite},
      {"clNone", clNone},
      {"clDefault", clDefault},
      {"clScrollBar", clScrollBar},
      {"clBackground", clBackground},
      {"clActiveCaption", clActiveCaption},
      {"clInactiveCaption", clInactiveCaption},
      {"clMenu", clMenu},
      {"clWindow", clWindow},
      {"clWindowFrame", clWindowFrame},
      {"clMenuText", clMenuText},
      {"clWindowText", clWindowText},
      {"clCaptionText", clCaptionText},
      {"clActiveBorder", clActiveBorder},
      {"clInactiveBorder", clInactiveBorder},
      {"clAppWorkSpace", clAppWorkSpace},
      {"clHighlight", clHighlight},
      {"clHighlightText", clHighlightText},
      {"clBtnFace", clBtnFace},
      {"clBtnShadow", clBtnShadow},
      {"clGrayText", clGrayText},
      {"clBtnText", clBtnText},
      {"clInactiveCaptionText", clInactiveCaptionText},
      {"clBtnHighlight", clBtnHighlight},
      {"cl3DDkShadow", cl3DDkShadow},
      {"cl3DLight", cl3DLight},
      {"clInfoText", clInfoText},
      {"clInfoBk", clInfoBk},
  };
  auto it = names.find(name);
  if (it == names.end()) return false;
  color = it->second;
  return true;
}

bool IdentToCursor(const std::string& name, TCursor& cursor) {
  static const std::map<std::string, TCursor> names = {
      {"crDefault", crDefault}, {"crArrow", crArrow}, {"crIBeam", crIBeam}, {"crHandPoint", crHandPoint}};
  auto it = names.find(name);
  if (it == names.end()) return false;
  cursor = it->second;
  return true;
}

int TFont::Size() const { return static_cast<int>(std::lround(-Height * 72.0 / PixelsPerInch)); }

void TFont::SetSize(int points) { SetHeight(-static_cast<int>(std::lround(points * PixelsPerInch / 72.0))); }

void TFont::Assign(const TFont& other) {
  Name = other.Name;
  Height = other.Height;
  Color = other.Color;
  Style = other.Style;
  Charset = other.Charset;
  PixelsPerInch = other.PixelsPerInch;
  Changed();
}

bool TFont::SameAs(const TFont& other) const {
  return Name == other.Name && Height == other.Height && Color == other.Color && Style == other.Style &&
         Charset == other.Charset;
}

double TFont::PixelSize() const {
  // A positive height includes the internal leading, which for the fonts in
  // use is close to a fifth of the cell.
  if (Height < 0) return -Height;
  if (Height == 0) return 11;
  return Height * 0.8;
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return TRect{};
  return r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}
