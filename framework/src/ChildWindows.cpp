#include "ChildWindows.h"

#include <cairo.h>
#include <wingdi.h>

#include <memory>
#include <vector>

#include "Canvas.h"

namespace qorv::framework {
namespace {

using TCairoSurface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// The child's place in its parent's client area; empty when it is not a
// visible child of that parent. Its own visibility counts, not its
// ancestors': a hidden host may still be painted for a screenshot.
TRect PlaceInParent(HWND parent, HWND child) {
  if (!(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) return {};
  RECT screen{};
  POINT origin{0, 0};
  if (!GetWindowRect(child, &screen) || !ClientToScreen(parent, &origin)) return {};
  return TRect{screen.left - origin.x, screen.top - origin.y, screen.right - origin.x, screen.bottom - origin.y};
}

// A memory device context with a top-down 32-bit DIB section of the size,
// all released together.
class TPrintTarget {
 public:
  TPrintTarget(int width, int height) : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (dc_) bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (bitmap_) placeholder_ = SelectObject(dc_, bitmap_);
  }
  ~TPrintTarget() {
    if (placeholder_) SelectObject(dc_, placeholder_);
    if (dc_) DeleteDC(dc_);
    if (bitmap_) DeleteObject(bitmap_);
  }
  TPrintTarget(const TPrintTarget&) = delete;
  TPrintTarget& operator=(const TPrintTarget&) = delete;

  bool Ready() const { return placeholder_ != nullptr; }
  HDC Dc() const { return dc_; }
  unsigned char* Bits() const { return static_cast<unsigned char*>(bits_); }

 private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ placeholder_ = nullptr;
  void* bits_ = nullptr;
};

void PaintChildWindow(HWND parent, HWND child, cairo_t* cr, const TRect& area) {
  const TRect place = PlaceInParent(parent, child);
  if (place.Width() <= 0 || place.Height() <= 0 || IntersectRect(place, area).IsEmpty()) return;
  TPrintTarget target(place.Width(), place.Height());
  // A window that does not print itself (the default procedure ignores the
  // message) leaves the parent's pixels as they are.
  if (!target.Ready() || !SendMessageA(child, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(target.Dc()), PRF_CLIENT))
    return;
  // The DIB's 0x00RRGGBB pixels are cairo's RGB24 on this byte order.
  TCairoSurface pixels(cairo_image_surface_create_for_data(target.Bits(), CAIRO_FORMAT_RGB24, place.Width(),
                                                           place.Height(), place.Width() * 4),
                       cairo_surface_destroy);
  if (cairo_surface_status(pixels.get()) != CAIRO_STATUS_SUCCESS) return;
  cairo_save(cr);
  cairo_rectangle(cr, area.Left, area.Top, area.Width(), area.Height());
  cairo_clip(cr);
  cairo_set_source_surface(cr, pixels.get(), place.Left, place.Top);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, place.Left, place.Top, place.Width(), place.Height());
  cairo_fill(cr);
  cairo_restore(cr);
}

// Visible children, topmost first.
std::vector<HWND> VisibleChildren(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE) children.push_back(child);
  return children;
}

// The child that took a button press, kept in the parent's extra bytes; null
// once it is gone or no longer the parent's.
HWND HeldBy(HWND parent) {
  HWND held = reinterpret_cast<HWND>(GetWindowLongPtrA(parent, 0));
  return held && IsWindow(held) && GetParent(held) == parent ? held : nullptr;
}

void SetHeldBy(HWND parent, HWND child) { SetWindowLongPtrA(parent, 0, reinterpret_cast<LONG_PTR>(child)); }

// A disabled child lets the click through to its parent, as the display
// would never find it under the pointer.
HWND ChildAt(HWND parent, int x, int y) {
  for (HWND child : VisibleChildren(parent)) {
    if (!IsWindowEnabled(child)) continue;
    const TRect place = PlaceInParent(parent, child);
    if (x >= place.Left && x < place.Right && y >= place.Top && y < place.Bottom) return child;
  }
  return nullptr;
}

bool IsPress(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_LBUTTONDBLCLK;
}

// The window with the focus, when it lies inside window (not window itself).
HWND FocusInside(HWND window) {
  HWND focus = GetFocus();
  return focus && focus != window && IsChild(window, focus) ? focus : nullptr;
}

}  // namespace

void PaintChildWindows(HWND parent, TCanvas& canvas, const TRect& area) {
  const std::vector<HWND> children = VisibleChildren(parent);
  // Listed topmost first; the bottom one is laid first so the top one ends
  // up over it.
  for (auto it = children.rbegin(); it != children.rend(); ++it) PaintChildWindow(parent, *it, canvas.Handle(), area);
}

bool PrintSurfaceInto(HDC hdc, TSurface& surface) {
  HGDIOBJ bitmap = GetCurrentObject(hdc, OBJ_BITMAP);
  DIBSECTION section{};
  if (!bitmap || GetObjectA(bitmap, sizeof section, &section) != static_cast<int>(sizeof section)) return false;
  const BITMAP& bm = section.dsBm;
  if (!bm.bmBits || bm.bmBitsPixel != 32 || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
  TCairoSurface target(cairo_image_surface_create_for_data(static_cast<unsigned char*>(bm.bmBits), CAIRO_FORMAT_RGB24,
                                                           bm.bmWidth, bm.bmHeight, bm.bmWidthBytes),
                       cairo_surface_destroy);
  if (cairo_surface_status(target.get()) != CAIRO_STATUS_SUCCESS) return false;
  cairo_t* cr = cairo_create(target.get());
  if (section.dsBmih.biHeight > 0) {
    // A bottom-up DIB keeps its top row last.
    cairo_translate(cr, 0, bm.bmHeight);
    cairo_scale(cr, 1, -1);
  }
  cairo_set_source_surface(cr, surface.Handle(), 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, 0, 0, surface.Width(), surface.Height());
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(target.get());
  return true;
}

void InvalidateInParent(HWND child, const TRect& area) {
  if (!(GetWindowLongA(child, GWL_STYLE) & WS_CHILD)) return;
  HWND parent = GetParent(child);
  if (!parent) return;
  const TRect place = PlaceInParent(parent, child);
  if (place.IsEmpty()) return;
  RECT r{place.Left + area.Left, place.Top + area.Top, place.Left + area.Right, place.Top + area.Bottom};
  InvalidateRect(parent, &r, FALSE);
}

HWND MouseChild(HWND parent, bool parentHoldsMouse, UINT message, LPARAM lParam) {
  if (parentHoldsMouse || message == WM_MOUSELEAVE) return nullptr;
  if (HWND held = HeldBy(parent)) return held;
  return ChildAt(parent, static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
                 static_cast<short>(HIWORD(static_cast<DWORD>(lParam))));
}

void PassMouseTo(HWND parent, HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
  POINT at{static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
           static_cast<short>(HIWORD(static_cast<DWORD>(lParam)))};
  if (!ClientToScreen(parent, &at) || !ScreenToClient(child, &at)) return;
  // Settled before the child runs its handlers, which may open a modal loop
  // or destroy either window.
  if (IsPress(message)) SetHeldBy(parent, child);
  if (message == WM_LBUTTONUP || message == WM_RBUTTONUP) SetHeldBy(parent, nullptr);
  // The pressed window takes the focus, as a window of its own on the display
  // would, unless a window inside it already has it. A window on another
  // thread keeps it where it is, as the platform wants.
  if (IsPress(message) && GetFocus() != child && !FocusInside(child)) {
    SetFocus(child);
    // WM_SETFOCUS may have made the child go away.
    if (!IsWindow(child)) return;
  }
  SendMessageA(child, message, wParam, MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)));
}

void LeaveChildrenBut(HWND parent, HWND keep) {
  for (HWND child : VisibleChildren(parent))
    if (child != keep) SendMessageA(child, WM_MOUSELEAVE, 0, 0);
}

void TakeFocusOnPress(HWND parent, UINT message) {
  if (IsPress(message) && FocusInside(parent)) SetFocus(parent);
}

bool PassKeyToFocus(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND focus = FocusInside(parent);
  if (!focus) return false;
  SendMessageA(focus, message, wParam, lParam);
  return true;
}

}  // namespace qorv::framework
