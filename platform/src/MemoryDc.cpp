// Memory device contexts and DIB sections. Handles are addresses of objects
// kept in one table per process, so a stale or forged handle is looked up and
// refused rather than followed.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "NoThrow.h"
#include "winerror.h"
#include "wingdi.h"

namespace qorv::platform {

namespace {

constexpr LONG kMaxDibSide = 16384;

struct TGdiBitmap {
  LONG Width = 1;
  LONG Height = 1;
  bool TopDown = true;
  std::vector<DWORD> Bits;  // the memory a DIB section's caller writes
  BITMAPINFOHEADER Header{};
  HDC SelectedInto = nullptr;  // never set on the stock placeholder
  bool Stock = false;
};

struct TMemoryDc {
  HBITMAP Selected = nullptr;
};

class TGdiTable {
 public:
  std::mutex Lock;
  std::map<void*, std::unique_ptr<TGdiBitmap>> Bitmaps;
  std::map<void*, std::unique_ptr<TMemoryDc>> Contexts;

  TGdiBitmap* Bitmap(const void* handle) {
    auto found = Bitmaps.find(const_cast<void*>(handle));
    return found == Bitmaps.end() ? nullptr : found->second.get();
  }
  TMemoryDc* Context(HDC handle) {
    auto found = Contexts.find(handle);
    return found == Contexts.end() ? nullptr : found->second.get();
  }
  HBITMAP Add(std::unique_ptr<TGdiBitmap> bitmap) {
    auto* handle = reinterpret_cast<HBITMAP>(bitmap.get());
    Bitmaps.emplace(handle, std::move(bitmap));
    return handle;
  }
  // The 1 x 1 bitmap every new context starts with, shared by all of them
  // and never freed, as Windows's stock bitmap.
  HBITMAP Placeholder();

 private:
  HBITMAP placeholder_ = nullptr;
};

TGdiTable& Gdi() {
  static TGdiTable table;
  return table;
}

std::unique_ptr<TGdiBitmap> NewBitmap(LONG width, LONG height, bool topDown) {
  auto bitmap = std::make_unique<TGdiBitmap>();
  bitmap->Width = width;
  bitmap->Height = height;
  bitmap->TopDown = topDown;
  bitmap->Bits.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  BITMAPINFOHEADER& h = bitmap->Header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = topDown ? -height : height;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(bitmap->Bits.size() * sizeof(DWORD));
  return bitmap;
}

HBITMAP TGdiTable::Placeholder() {
  if (!placeholder_) {
    auto bitmap = NewBitmap(1, 1, true);
    bitmap->Stock = true;
    placeholder_ = Add(std::move(bitmap));
  }
  return placeholder_;
}

BITMAP BitmapRecord(TGdiBitmap& bitmap) {
  BITMAP record{};
  record.bmWidth = bitmap.Width;
  record.bmHeight = bitmap.Height;
  record.bmWidthBytes = bitmap.Width * 4;
  record.bmPlanes = 1;
  record.bmBitsPixel = 32;
  record.bmBits = bitmap.Bits.data();
  return record;
}

template <class T>
T FailWithValue(DWORD error, T value) {
  SetLastError(error);
  return value;
}

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  return Guarded<HDC>(nullptr, [&]() -> HDC {
    TGdiTable& gdi = Gdi();
    std::lock_guard lock(gdi.Lock);
    if (hdc && !gdi.Context(hdc)) return FailWithValue<HDC>(ERROR_INVALID_HANDLE, nullptr);
    auto dc = std::make_unique<TMemoryDc>();
    auto* handle = reinterpret_cast<HDC>(dc.get());
    dc->Selected = gdi.Placeholder();
    gdi.Contexts.emplace(handle, std::move(dc));
    return handle;
  });
}

BOOL WINAPI DeleteDC(HDC hdc) {
  TGdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.Lock);
  TMemoryDc* dc = gdi.Context(hdc);
  if (!dc) return FailWithValue<BOOL>(ERROR_INVALID_HANDLE, FALSE);
  if (TGdiBitmap* selected = gdi.Bitmap(dc->Selected); selected && !selected->Stock) selected->SelectedInto = nullptr;
  gdi.Contexts.erase(hdc);
  return TRUE;
}

HBITMAP WINAPI CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE, DWORD) {
  if (ppvBits) *ppvBits = nullptr;
  if (!pbmi) return FailWithValue<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
  const BITMAPINFOHEADER& h = pbmi->bmiHeader;
  // Negative heights mean top-down rows; widened so that the most negative
  // height cannot overflow when turned around.
  long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
  if (usage != DIB_RGB_COLORS || h.biBitCount != 32 || h.biCompression != BI_RGB || h.biPlanes != 1 || h.biWidth <= 0 ||
      h.biWidth > kMaxDibSide || height <= 0 || height > kMaxDibSide) {
    return FailWithValue<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
  }
  return Guarded<HBITMAP>(nullptr, [&] {
    TGdiTable& gdi = Gdi();
    std::lock_guard lock(gdi.Lock);
    HBITMAP handle = gdi.Add(NewBitmap(h.biWidth, static_cast<LONG>(height), h.biHeight < 0));
    if (ppvBits) *ppvBits = gdi.Bitmap(handle)->Bits.data();
    return handle;
  });
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  TGdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.Lock);
  TMemoryDc* dc = gdi.Context(hdc);
  TGdiBitmap* bitmap = gdi.Bitmap(h);
  if (!dc || !bitmap || (bitmap->SelectedInto && bitmap->SelectedInto != hdc)) {
    return FailWithValue<HGDIOBJ>(ERROR_INVALID_HANDLE, nullptr);
  }
  HBITMAP previous = dc->Selected;
  if (TGdiBitmap* old = gdi.Bitmap(previous); old && !old->Stock) old->SelectedInto = nullptr;
  if (!bitmap->Stock) bitmap->SelectedInto = hdc;
  dc->Selected = static_cast<HBITMAP>(h);
  return previous;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
  TGdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.Lock);
  TMemoryDc* dc = gdi.Context(hdc);
  if (!dc) return FailWithValue<HGDIOBJ>(ERROR_INVALID_HANDLE, nullptr);
  if (type != OBJ_BITMAP) return FailWithValue<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
  return dc->Selected;
}

int WINAPI GetObjectA(HANDLE h, int cbBuffer, LPVOID pv) {
  TGdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.Lock);
  TGdiBitmap* bitmap = gdi.Bitmap(h);
  if (!bitmap) return FailWithValue<int>(ERROR_INVALID_HANDLE, 0);
  if (!pv) return sizeof(DIBSECTION);
  if (cbBuffer >= static_cast<int>(sizeof(DIBSECTION))) {
    DIBSECTION section{};
    section.dsBm = BitmapRecord(*bitmap);
    section.dsBmih = bitmap->Header;
    std::memcpy(pv, &section, sizeof section);
    return sizeof section;
  }
  if (cbBuffer >= static_cast<int>(sizeof(BITMAP))) {
    BITMAP record = BitmapRecord(*bitmap);
    std::memcpy(pv, &record, sizeof record);
    return sizeof record;
  }
  return FailWithValue<int>(ERROR_INVALID_PARAMETER, 0);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  TGdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.Lock);
  TGdiBitmap* bitmap = gdi.Bitmap(ho);
  if (!bitmap) return FailWithValue<BOOL>(ERROR_INVALID_HANDLE, FALSE);
  if (bitmap->Stock) return TRUE;
  if (bitmap->SelectedInto) return FailWithValue<BOOL>(ERROR_BUSY, FALSE);
  gdi.Bitmaps.erase(ho);
  return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  TGdiTable& gdi = Gdi();
  std::lock_guard lock(gdi.Lock);
  TMemoryDc* dc = gdi.Context(hdc);
  TGdiBitmap* bitmap = dc ? gdi.Bitmap(dc->Selected) : nullptr;
  if (!bitmap || x < 0 || y < 0 || x >= bitmap->Width || y >= bitmap->Height) return CLR_INVALID;
  LONG row = bitmap->TopDown ? y : bitmap->Height - 1 - y;
  DWORD pixel = bitmap->Bits[static_cast<size_t>(row) * bitmap->Width + x];
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}
