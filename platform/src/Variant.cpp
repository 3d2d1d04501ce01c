// VARIANT life cycle: initialising, clearing (freeing what a variant owns)
// and copying.
#include "Variant.h"

#include "NoThrow.h"

namespace qorv::platform {

bool IsValidVariantType(VARTYPE vt) {
  if (vt & ~(VT_BYREF | VT_TYPEMASK)) return false;  // arrays, vectors and reserved bits are not kept here
  const VARTYPE base = vt & VT_TYPEMASK;
  const bool byRef = (vt & VT_BYREF) != 0;
  if (base == VT_EMPTY || base == VT_NULL) return !byRef;
  // A variant holds a variant only by reference.
  if (base == VT_VARIANT) return byRef;
  return (base >= VT_I2 && base <= VT_DECIMAL) || (base >= VT_I1 && base <= VT_UINT);
}

}  // namespace qorv::platform

using namespace qorv::platform;

void WINAPI VariantInit(VARIANTARG* pvarg) {
  if (pvarg) pvarg->vt = VT_EMPTY;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  if (!IsValidVariantType(pvarg->vt)) return DISP_E_BADVARTYPE;
  switch (pvarg->vt) {
    case VT_BSTR: SysFreeString(pvarg->bstrVal); break;
    case VT_DISPATCH:
      if (pvarg->pdispVal) pvarg->pdispVal->Release();
      break;
    case VT_UNKNOWN:
      if (pvarg->punkVal) pvarg->punkVal->Release();
      break;
    default: break;  // values and references own nothing
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!IsValidVariantType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  VARIANT copy = *pvargSrc;
  switch (copy.vt) {
    case VT_BSTR:
      if (pvargSrc->bstrVal) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
      }
      break;
    case VT_DISPATCH:
      if (copy.pdispVal) copy.pdispVal->AddRef();
      break;
    case VT_UNKNOWN:
      if (copy.punkVal) copy.punkVal->AddRef();
      break;
    default: break;
  }
  *pvargDest = copy;
  return S_OK;
}
