// Forms sited in a host form's window, and a check of the host's picture
// pixel by pixel, shared by the headless and the X11 tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "ActiveForm.h"
#include "Canvas.h"
#include "Forms.h"
#include "Label.h"

namespace qorv::test::sited {

// A red 60 x 40 form with a blue 20 x 10 corner at its top left, so a copy
// that is shifted or upside down shows.
class TCornerForm : public TActiveForm {
 public:
  explicit TCornerForm(TComponent* owner) : TActiveForm(owner) {
    SetColor(clRed);
    SetBounds(0, 0, 60, 40);
    auto* corner = new TLabel(this);
    corner->SetParent(this);
    corner->SetAutoSize(false);
    corner->SetTransparent(false);
    corner->SetColor(clBlue);
    corner->SetCaption("");
    corner->SetBounds(0, 0, 20, 10);
  }
};

inline void PrepareWhiteHost(TForm& host) {
  host.BorderStyle = bsNone;
  host.SetColor(clWhite);
  host.SetBounds(40, 40, 200, 120);
}

// Sites the form in the host's window at the place and shows it there, as an
// OLE host's in-place activation does.
inline void PlaceIn(TActiveForm& child, HWND host, int left, int top) {
  child.SiteIn(host);
  child.SetBounds(left, top, 60, 40);
  SetWindowPos(child.Handle(), nullptr, left, top, 60, 40, SWP_NOZORDER | SWP_NOACTIVATE);
  child.SetVisible(true);
  ShowWindow(child.Handle(), SW_SHOW);
}

struct TSitedAt {
  TCustomForm* Form;
  int Left;
  int Top;
};

// The host's pixels (0x00RRGGBB, row after row) as they must be: white, with
// each sited form's own pixels at its place, later ones over earlier ones.
inline std::vector<std::uint32_t> ExpectedPixels(TCustomForm& host, const std::vector<TSitedAt>& sited) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(host.Width()) * host.Height(), 0xFFFFFF);
  for (const TSitedAt& s : sited) {
    std::unique_ptr<TSurface> own = s.Form->PaintToSurface();
    for (int y = 0; y < own->Height(); ++y)
      for (int x = 0; x < own->Width(); ++x)
        pixels[static_cast<std::size_t>(s.Top + y) * host.Width() + s.Left + x] = own->Pixel(x, y);
  }
  return pixels;
}

inline ::testing::AssertionResult SamePixels(const std::vector<std::uint32_t>& got,
                                             const std::vector<std::uint32_t>& expected, int width) {
  if (got.size() != expected.size()) return ::testing::AssertionFailure() << "sizes differ";
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] != expected[i])
      return ::testing::AssertionFailure() << "pixel (" << i % width << "," << i / width << ") is " << std::hex
                                           << got[i] << ", expected " << expected[i];
  }
  return ::testing::AssertionSuccess();
}

inline std::vector<std::uint32_t> PixelsOf(TSurface& surface) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < surface.Height(); ++y)
    for (int x = 0; x < surface.Width(); ++x) pixels.push_back(surface.Pixel(x, y));
  return pixels;
}

// The host's headless picture against the expected pixels.
inline ::testing::AssertionResult ShowsOnly(TCustomForm& host, const std::vector<TSitedAt>& sited) {
  std::unique_ptr<TSurface> picture = host.PaintToSurface();
  return SamePixels(PixelsOf(*picture), ExpectedPixels(host, sited), host.Width());
}

}  // namespace qorv::test::sited
