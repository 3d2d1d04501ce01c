// The control's picture for a host that draws it itself: the form painted as
// it looks, scaled into the rectangle the host gives, on the 32-bit DIB
// section selected into the host's memory device context. The data object
// offers no formats; it answers so, rather than failing to be there.
#include <cairo.h>
#include <wingdi.h>

#include <memory>

#include "ActiveFormControl.h"
#include "ActiveFormControlOleState.h"
#include "Canvas.h"

namespace {

using TCairoSurface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using TCairo = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// A cairo surface over the bits of the DIB section selected into hdc, with
// the matrix that turns a bottom-up DIB's rows the right way; null when hdc
// is no memory context holding a 32-bit DIB section.
TCairoSurface SurfaceOfContext(HDC hdc, bool* bottomUp) {
  TCairoSurface none(nullptr, cairo_surface_destroy);
  HGDIOBJ bitmap = GetCurrentObject(hdc, OBJ_BITMAP);
  DIBSECTION section{};
  if (!bitmap || GetObjectA(bitmap, sizeof section, &section) != static_cast<int>(sizeof section)) return none;
  const BITMAP& bm = section.dsBm;
  if (!bm.bmBits || bm.bmBitsPixel != 32 || bm.bmWidth <= 0 || bm.bmHeight <= 0) return none;
  // The DIB's 0x00RRGGBB pixels are cairo's RGB24 on this byte order.
  TCairoSurface surface(cairo_image_surface_create_for_data(static_cast<unsigned char*>(bm.bmBits), CAIRO_FORMAT_RGB24,
                                                            bm.bmWidth, bm.bmHeight, bm.bmWidthBytes),
                        cairo_surface_destroy);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return none;
  *bottomUp = section.dsBmih.biHeight > 0;
  return surface;
}

}  // namespace

HRESULT TActiveFormControl::DrawInto(HDC hdc, const RECTL& bounds) {
  bool bottomUp = false;
  TCairoSurface target = SurfaceOfContext(hdc, &bottomUp);
  if (!target) return E_INVALIDARG;
  std::unique_ptr<TSurface> picture = form_->PaintToSurface();
  TCairo cr(cairo_create(target.get()), cairo_destroy);
  if (bottomUp) {
    cairo_translate(cr.get(), 0, cairo_image_surface_get_height(target.get()));
    cairo_scale(cr.get(), 1, -1);
  }
  const double width = static_cast<double>(bounds.right) - bounds.left;
  const double height = static_cast<double>(bounds.bottom) - bounds.top;
  cairo_rectangle(cr.get(), bounds.left, bounds.top, width, height);
  cairo_clip(cr.get());
  cairo_translate(cr.get(), bounds.left, bounds.top);
  cairo_scale(cr.get(), width / picture->Width(), height / picture->Height());
  cairo_set_source_surface(cr.get(), picture->Handle(), 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr.get());
  cairo_surface_flush(target.get());
  return cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS ? S_OK : VIEW_E_DRAW;
}

// ---- IViewObject ----

HRESULT TActiveFormControl::Draw(DWORD dwDrawAspect, LONG lindex, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw,
                                 LPCRECTL lprcBounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (lindex != -1) return DV_E_LINDEX;
  if (!hdcDraw || !lprcBounds) return E_INVALIDARG;
  if (lprcBounds->right <= lprcBounds->left || lprcBounds->bottom <= lprcBounds->top) return OLE_E_INVALIDRECT;
  if (!form_) return E_UNEXPECTED;
  return OleGuarded([&] { return DrawInto(hdcDraw, *lprcBounds); });
}

HRESULT TActiveFormControl::GetColorSet(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE** ppColorSet) {
  if (!ppColorSet) return E_INVALIDARG;
  *ppColorSet = nullptr;
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  // The form is drawn in true colour and needs no palette.
  return S_FALSE;
}

HRESULT TActiveFormControl::Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) {
  if (!pdwFreeze) return E_INVALIDARG;
  *pdwFreeze = 0;
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT TActiveFormControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) {
  TOleState& ole = Ole();
  ole.ViewAspects = pAdvSink ? aspects : 0;
  ole.ViewAdviseFlags = pAdvSink ? advf : 0;
  ole.ViewAdvise.Reset(pAdvSink);
  return S_OK;
}

HRESULT TActiveFormControl::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) {
  TOleState& ole = Ole();
  if (pAspects) *pAspects = ole.ViewAspects;
  if (pAdvf) *pAdvf = ole.ViewAdviseFlags;
  if (ppAdvSink) {
    *ppAdvSink = ole.ViewAdvise.Get();
    if (*ppAdvSink) (*ppAdvSink)->AddRef();
  }
  return S_OK;
}

// ---- IViewObject2 ----

HRESULT TActiveFormControl::GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE*, LPSIZEL lpsizel) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (lindex != -1) return DV_E_LINDEX;
  if (!lpsizel) return E_POINTER;
  *lpsizel = FormExtent();
  return S_OK;
}

// ---- IDataObject ----

HRESULT TActiveFormControl::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) {
  if (!pformatetcIn || !pmedium) return E_INVALIDARG;
  return DV_E_FORMATETC;
}

HRESULT TActiveFormControl::GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) {
  if (!pformatetc || !pmedium) return E_INVALIDARG;
  return DV_E_FORMATETC;
}

HRESULT TActiveFormControl::QueryGetData(FORMATETC* pformatetc) {
  if (!pformatetc) return E_INVALIDARG;
  return DV_E_FORMATETC;
}

HRESULT TActiveFormControl::GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) {
  if (!pformatectIn || !pformatetcOut) return E_INVALIDARG;
  // Every format is its own canonical form; none depends on the device.
  *pformatetcOut = *pformatectIn;
  pformatetcOut->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

HRESULT TActiveFormControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT TActiveFormControl::EnumFormatEtc(DWORD, IEnumFORMATETC** ppenumFormatEtc) {
  if (!ppenumFormatEtc) return E_INVALIDARG;
  *ppenumFormatEtc = nullptr;
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD* pdwConnection) {
  if (pdwConnection) *pdwConnection = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TActiveFormControl::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT TActiveFormControl::EnumDAdvise(IEnumSTATDATA** ppenumAdvise) {
  if (ppenumAdvise) *ppenumAdvise = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}
