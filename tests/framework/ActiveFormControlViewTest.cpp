// The control drawn by a host into a device context of its own, compared
// with the form's own surface; and the data object's honest refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Canvas.h"
#include "OleTestHost.h"
#include "wingdi.h"

namespace {

using namespace qorv::test::ole;

// A memory device context with a 32-bit DIB section of the host's, every
// pixel set to a marker colour first.
class THostBitmap {
 public:
  THostBitmap(LONG width, LONG height, bool topDown, DWORD marker) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    previous_ = SelectObject(dc_, bitmap_);
    auto* pixels = static_cast<DWORD*>(bits_);
    for (LONG i = 0; i < width * height; ++i) pixels[i] = marker;
  }
  ~THostBitmap() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC Dc() const { return dc_; }
  // 0x00RRGGBB at (x, y), y counted from the top.
  std::uint32_t Pixel(int x, int y) const {
    COLORREF c = GetPixel(dc_, x, y);
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  }
  std::vector<DWORD> Bits() const {
    auto* pixels = static_cast<const DWORD*>(bits_);
    return std::vector<DWORD>(pixels, pixels + width_ * height_);
  }

 private:
  LONG width_;
  LONG height_;
  void* bits_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

constexpr DWORD kMarker = 0x00123456;

using ActiveFormControlView = OleHostTest;

TEST_F(ActiveFormControlView, DrawingAtTheFormsSizeGivesTheFormsOwnPixels) {
  auto control = Create();
  auto view = As<IViewObject>(control, IID_IViewObject);
  auto own = form->PaintToSurface();
  THostBitmap host(form->Width(), form->Height(), true, kMarker);
  const RECTL bounds{0, 0, form->Width(), form->Height()};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, host.Dc(), &bounds, nullptr, nullptr, 0), S_OK);
  int differing = 0;
  for (int y = 0; y < form->Height(); ++y) {
    for (int x = 0; x < form->Width(); ++x) differing += host.Pixel(x, y) != own->Pixel(x, y);
  }
  EXPECT_EQ(differing, 0);
  EXPECT_NE(own->Pixel(5, 45), own->Pixel(5, 5)) << "the label's red must show, or the test proves little";
}

TEST_F(ActiveFormControlView, DrawingLandsInTheBoundsOfABottomUpBitmapAndNowhereElse) {
  auto control = Create();
  auto view = As<IViewObject>(control, IID_IViewObject);
  auto own = form->PaintToSurface();
  THostBitmap host(200, 150, false, kMarker);
  const RECTL bounds{30, 20, 30 + form->Width(), 20 + form->Height()};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, host.Dc(), &bounds, nullptr, nullptr, 0), S_OK);
  int inside = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool in = x >= bounds.left && x < bounds.right && y >= bounds.top && y < bounds.bottom;
      if (in) {
        inside += host.Pixel(x, y) == own->Pixel(x - bounds.left, y - bounds.top);
      } else if (host.Pixel(x, y) != kMarker) {
        ADD_FAILURE() << "drawn outside the bounds at " << x << "," << y;
        return;
      }
    }
  }
  EXPECT_EQ(inside, form->Width() * form->Height()) << "rows upside down would differ here";
}

TEST_F(ActiveFormControlView, DrawingScalesTheFormIntoLargerBounds) {
  auto control = Create();
  auto view = As<IViewObject>(control, IID_IViewObject);
  auto own = form->PaintToSurface();
  THostBitmap host(2 * form->Width(), 2 * form->Height(), true, kMarker);
  const RECTL bounds{0, 0, 2 * form->Width(), 2 * form->Height()};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, host.Dc(), &bounds, nullptr, nullptr, 0), S_OK);
  // Inside broad areas of one colour the scaled picture has that colour.
  auto uniformAround = [&](int x, int y) {
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        if (own->Pixel(x + dx, y + dy) != own->Pixel(x, y)) return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(uniformAround(10, 10));
  ASSERT_TRUE(uniformAround(55, 54));
  EXPECT_EQ(host.Pixel(20, 20), own->Pixel(10, 10));
  EXPECT_EQ(host.Pixel(110, 108), own->Pixel(55, 54)) << "the label, at twice its place";
  EXPECT_NE(own->Pixel(55, 54), own->Pixel(10, 10));
  EXPECT_EQ(host.Pixel(2 * form->Width() - 1, 2 * form->Height() - 1),
            own->Pixel(form->Width() - 1, form->Height() - 1));
}

TEST_F(ActiveFormControlView, WhatCannotBeDrawnIsRefusedWithTheHostsPixelsUntouched) {
  auto control = Create();
  auto view = As<IViewObject>(control, IID_IViewObject);
  THostBitmap host(50, 50, true, kMarker);
  const RECTL bounds{0, 0, 50, 50};
  const RECTL empty{10, 10, 10, 40};
  int local = 0;
  auto* forged = reinterpret_cast<HDC>(&local);
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, host.Dc(), &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, 3, nullptr, nullptr, nullptr, host.Dc(), &bounds, nullptr, nullptr, 0),
            DV_E_LINDEX);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0),
            E_INVALIDARG);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, host.Dc(), nullptr, nullptr, nullptr, 0),
            E_INVALIDARG);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, forged, &bounds, nullptr, nullptr, 0),
            E_INVALIDARG);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, host.Dc(), &empty, nullptr, nullptr, 0),
            OLE_E_INVALIDRECT);
  for (DWORD pixel : host.Bits()) ASSERT_EQ(pixel, kMarker);

  LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(1);
  EXPECT_EQ(view->GetColorSet(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &palette), S_FALSE);
  EXPECT_EQ(palette, nullptr);
}

TEST_F(ActiveFormControlView, TheDataObjectSaysItOffersNoFormat) {
  auto control = Create();
  auto data = As<IDataObject>(control, IID_IDataObject);
  FORMATETC format{1, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  EXPECT_EQ(data->QueryGetData(&format), DV_E_FORMATETC);
  EXPECT_EQ(data->GetData(&format, &medium), DV_E_FORMATETC);
  EXPECT_EQ(data->QueryGetData(nullptr), E_INVALIDARG);
  FORMATETC canonical{};
  EXPECT_EQ(data->GetCanonicalFormatEtc(&format, &canonical), DATA_S_SAMEFORMATETC);
  EXPECT_EQ(canonical.cfFormat, format.cfFormat);
  DWORD connection = 5;
  TTestAdviseSink sink;
  EXPECT_EQ(data->DAdvise(&format, 0, &sink, &connection), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(connection, 0u);
  EXPECT_EQ(sink.References(), 1);
}

}  // namespace
