// The standard font object (OleCreateFontIndirect): IFont for code, IFontDisp
// for scripts, and a connection point that reports each change.
#include <atomic>
#include <cmath>
#include <new>
#include <string>

#include "PropertyNotifyPoint.h"
#include "oleauto.h"
#include "olectl.h"

namespace qorv::platform {
namespace {

constexpr LONGLONG kCyScale = 10000;

// The font's attributes; the name is owned here, not by a COM string.
struct TFontValues {
  std::u16string Name;
  LONGLONG Size = 8 * kCyScale;  // points times 10000, as CY holds them
  SHORT Weight = FW_NORMAL;
  SHORT Charset = 1;  // DEFAULT_CHARSET
  bool Italic = false;
  bool Underline = false;
  bool Strikethrough = false;
  bool operator==(const TFontValues&) const = default;
};

bool IsBold(SHORT weight) { return weight >= FW_SEMIBOLD; }

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

bool SameNameIgnoringCase(const OLECHAR* name, const char* known) {
  auto fold = [](unsigned c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; };
  for (; *name && *known; ++name, ++known) {
    if (fold(static_cast<unsigned>(*name)) != fold(static_cast<unsigned char>(*known))) return false;
  }
  return *name == 0 && *known == 0;
}

struct TFontProperty {
  const char* Name;
  DISPID Id;
};
constexpr TFontProperty kProperties[] = {
    {"Name", DISPID_FONT_NAME},     {"Size", DISPID_FONT_SIZE},       {"Bold", DISPID_FONT_BOLD},
    {"Italic", DISPID_FONT_ITALIC}, {"Underline", DISPID_FONT_UNDER}, {"Strikethrough", DISPID_FONT_STRIKE},
    {"Weight", DISPID_FONT_WEIGHT}, {"Charset", DISPID_FONT_CHARSET},
};

class TStdFont final : public IFont, public IFontDisp, public IConnectionPointContainer {
 public:
  explicit TStdFont(TFontValues values) : values_(std::move(values)), notifyPoint_(*this) {}
  TStdFont(const TStdFont&) = delete;
  TStdFont& operator=(const TStdFont&) = delete;

  // ---- IUnknown ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IFont) {
      *ppv = static_cast<IFont*>(this);
    } else if (riid == IID_IDispatch || riid == IID_IFontDisp) {
      *ppv = static_cast<IFontDisp*>(this);
    } else if (riid == IID_IConnectionPointContainer) {
      *ppv = static_cast<IConnectionPointContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // ---- IFont ----
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* pName) override {
    if (!pName) return E_POINTER;
    *pName = SysAllocStringLen(values_.Name.data(), static_cast<UINT>(values_.Name.size()));
    return *pName || values_.Name.empty() ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
    if (!name) return CTL_E_INVALIDPROPERTYVALUE;
    return Change(DISPID_FONT_NAME, [&](TFontValues& v) { v.Name.assign(name, SysStringLen(name)); });
  }
  HRESULT STDMETHODCALLTYPE get_Size(CY* pSize) override {
    if (!pSize) return E_POINTER;
    pSize->int64 = values_.Size;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Size(CY size) override {
    if (size.int64 < 0) return CTL_E_INVALIDPROPERTYVALUE;
    return Change(DISPID_FONT_SIZE, [&](TFontValues& v) { v.Size = size.int64; });
  }
  HRESULT STDMETHODCALLTYPE get_Bold(BOOL* pBold) override { return GetFlag(pBold, IsBold(values_.Weight)); }
  HRESULT STDMETHODCALLTYPE put_Bold(BOOL bold) override {
    return Change(DISPID_FONT_BOLD, [&](TFontValues& v) { v.Weight = bold ? FW_BOLD : FW_NORMAL; });
  }
  HRESULT STDMETHODCALLTYPE get_Italic(BOOL* pItalic) override { return GetFlag(pItalic, values_.Italic); }
  HRESULT STDMETHODCALLTYPE put_Italic(BOOL italic) override {
    return Change(DISPID_FONT_ITALIC, [&](TFontValues& v) { v.Italic = italic != FALSE; });
  }
  HRESULT STDMETHODCALLTYPE get_Underline(BOOL* pUnderline) override { return GetFlag(pUnderline, values_.Underline); }
  HRESULT STDMETHODCALLTYPE put_Underline(BOOL underline) override {
    return Change(DISPID_FONT_UNDER, [&](TFontValues& v) { v.Underline = underline != FALSE; });
  }
  HRESULT STDMETHODCALLTYPE get_Strikethrough(BOOL* pStrikethrough) override {
    return GetFlag(pStrikethrough, values_.Strikethrough);
  }
  HRESULT STDMETHODCALLTYPE put_Strikethrough(BOOL strikethrough) override {
    return Change(DISPID_FONT_STRIKE, [&](TFontValues& v) { v.Strikethrough = strikethrough != FALSE; });
  }
  HRESULT STDMETHODCALLTYPE get_Weight(SHORT* pWeight) override {
    if (!pWeight) return E_POINTER;
    *pWeight = values_.Weight;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Weight(SHORT weight) override {
    if (weight < 0 || weight > 1000) return CTL_E_INVALIDPROPERTYVALUE;
    return Change(DISPID_FONT_WEIGHT, [&](TFontValues& v) { v.Weight = weight; });
  }
  HRESULT STDMETHODCALLTYPE get_Charset(SHORT* pCharset) override {
    if (!pCharset) return E_POINTER;
    *pCharset = values_.Charset;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Charset(SHORT charset) override {
    return Change(DISPID_FONT_CHARSET, [&](TFontValues& v) { v.Charset = charset; });
  }
  // No GDI font handles here: text is drawn by the platform's font engine.
  HRESULT STDMETHODCALLTYPE get_hFont(HFONT* phFont) override {
    if (!phFont) return E_POINTER;
    *phFont = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Clone(IFont** ppFont) override {
    if (!ppFont) return E_POINTER;
    *ppFont = nullptr;
    auto* copy = new (std::nothrow) TStdFont(values_);
    if (!copy) return E_OUTOFMEMORY;
    *ppFont = copy;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsEqual(IFont* pFontOther) override;
  HRESULT STDMETHODCALLTYPE SetRatio(LONG cyLogical, LONG cyHimetric) override {
    if (cyLogical == 0 || cyHimetric == 0) return E_FAIL;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryTextMetrics(TEXTMETRICOLE* pTM) override { return pTM ? E_NOTIMPL : E_POINTER; }
  HRESULT STDMETHODCALLTYPE AddRefHfont(HFONT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReleaseHfont(HFONT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHdc(HDC) override { return S_OK; }

  // ---- IDispatch (IFontDisp) ----
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- IConnectionPointContainer ----
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != IID_IPropertyNotifySink) return CONNECT_E_NOCONNECTION;
    *ppCP = &notifyPoint_;
    notifyPoint_.AddRef();
    return S_OK;
  }

  const TFontValues& Values() const { return values_; }

 private:
  ~TStdFont() = default;

  static HRESULT GetFlag(BOOL* out, bool value) {
    if (!out) return E_POINTER;
    *out = value ? TRUE : FALSE;
    return S_OK;
  }

  // Applies the change and tells the sinks, only when something changed: a
  // sink that writes the same value back does not start an endless echo.
  template <class Edit>
  HRESULT Change(DISPID dispID, Edit edit) {
    try {
      TFontValues changed = values_;
      edit(changed);
      if (changed == values_) return S_OK;
      values_ = std::move(changed);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    // A sink may release the last other reference while it is told.
    AddRef();
    notifyPoint_.Changed(dispID);
    Release();
    return S_OK;
  }

  HRESULT GetProperty(DISPID id, VARIANT& result);
  HRESULT PutProperty(DISPID id, const VARIANT& value);

  std::atomic<ULONG> references_{1};
  TFontValues values_;
  TPropertyNotifyPoint notifyPoint_;
};

HRESULT STDMETHODCALLTYPE TStdFont::IsEqual(IFont* pFontOther) {
  if (!pFontOther) return E_POINTER;
  TFontValues other;
  BSTR name = nullptr;
  CY size{};
  BOOL italic = FALSE, underline = FALSE, strike = FALSE;
  HRESULT hr = pFontOther->get_Name(&name);
  if (SUCCEEDED(hr)) {
    other.Name.assign(name ? name : u"", SysStringLen(name));
    SysFreeString(name);
    hr = pFontOther->get_Size(&size);
  }
  if (SUCCEEDED(hr)) hr = pFontOther->get_Weight(&other.Weight);
  if (SUCCEEDED(hr)) hr = pFontOther->get_Charset(&other.Charset);
  if (SUCCEEDED(hr)) hr = pFontOther->get_Italic(&italic);
  if (SUCCEEDED(hr)) hr = pFontOther->get_Underline(&underline);
  if (SUCCEEDED(hr)) hr = pFontOther->get_Strikethrough(&strike);
  if (FAILED(hr)) return hr;
  other.Size = size.int64;
  other.Italic = italic != FALSE;
  other.Underline = underline != FALSE;
  other.Strikethrough = strike != FALSE;
  return other == values_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE TStdFont::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                                                  DISPID* rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (cNames == 0) return S_OK;
  if (!rgszNames || !rgDispId) return E_POINTER;
  // Only the member name is known; the properties have no named arguments.
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  if (!rgszNames[0]) return DISP_E_UNKNOWNNAME;
  for (const TFontProperty& property : kProperties) {
    if (SameNameIgnoringCase(rgszNames[0], property.Name)) rgDispId[0] = property.Id;
  }
  return rgDispId[0] != DISPID_UNKNOWN && cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT TStdFont::GetProperty(DISPID id, VARIANT& result) {
  switch (id) {
    case DISPID_FONT_NAME: result.vt = VT_BSTR; return get_Name(&result.bstrVal);
    case DISPID_FONT_SIZE:
      result.vt = VT_CY;
      result.llVal = values_.Size;
      return S_OK;
    case DISPID_FONT_BOLD:
      result.vt = VT_BOOL;
      result.boolVal = ToVariantBool(IsBold(values_.Weight));
      return S_OK;
    case DISPID_FONT_ITALIC:
      result.vt = VT_BOOL;
      result.boolVal = ToVariantBool(values_.Italic);
      return S_OK;
    case DISPID_FONT_UNDER:
      result.vt = VT_BOOL;
      result.boolVal = ToVariantBool(values_.Underline);
      return S_OK;
    case DISPID_FONT_STRIKE:
      result.vt = VT_BOOL;
      result.boolVal = ToVariantBool(values_.Strikethrough);
      return S_OK;
    case DISPID_FONT_WEIGHT:
      result.vt = VT_I2;
      result.iVal = values_.Weight;
      return S_OK;
    case DISPID_FONT_CHARSET:
      result.vt = VT_I2;
      result.iVal = values_.Charset;
      return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT SizeFromPoints(double points, CY& size) {
  const double scaled = std::round(points * kCyScale);
  if (!(std::fabs(scaled) < 9.0e18)) return DISP_E_OVERFLOW;
  size.int64 = static_cast<LONGLONG>(scaled);
  return S_OK;
}

// The size also comes as a plain number of points from scripts, whole or not.
HRESULT SizeFromVariant(const VARIANT& value, CY& size) {
  const bool byRef = (value.vt & VT_BYREF) != 0;
  if (byRef && !value.byref) return E_POINTER;
  switch (value.vt & ~VT_BYREF) {
    case VT_CY: size.int64 = byRef ? *value.pllVal : value.llVal; return S_OK;
    case VT_R8: return SizeFromPoints(byRef ? *value.pdblVal : value.dblVal, size);
    case VT_R4: return SizeFromPoints(byRef ? *value.pfltVal : value.fltVal, size);
    default: break;
  }
  VARIANT points;
  VariantInit(&points);
  const HRESULT hr = VariantChangeType(&points, &value, 0, VT_I4);
  if (FAILED(hr)) return hr;
  size.int64 = static_cast<LONGLONG>(points.lVal) * kCyScale;
  return S_OK;
}

HRESULT TStdFont::PutProperty(DISPID id, const VARIANT& value) {
  if (id == DISPID_FONT_SIZE) {
    CY size{};
    const HRESULT hr = SizeFromVariant(value, size);
    return FAILED(hr) ? hr : put_Size(size);
  }
  VARTYPE wanted = VT_BOOL;
  if (id == DISPID_FONT_NAME) wanted = VT_BSTR;
  if (id == DISPID_FONT_WEIGHT || id == DISPID_FONT_CHARSET) wanted = VT_I2;
  VARIANT converted;
  VariantInit(&converted);
  HRESULT hr = VariantChangeType(&converted, &value, 0, wanted);
  if (FAILED(hr)) return hr;
  switch (id) {
    case DISPID_FONT_NAME: hr = put_Name(converted.bstrVal); break;
    case DISPID_FONT_BOLD: hr = put_Bold(converted.boolVal != VARIANT_FALSE); break;
    case DISPID_FONT_ITALIC: hr = put_Italic(converted.boolVal != VARIANT_FALSE); break;
    case DISPID_FONT_UNDER: hr = put_Underline(converted.boolVal != VARIANT_FALSE); break;
    case DISPID_FONT_STRIKE: hr = put_Strikethrough(converted.boolVal != VARIANT_FALSE); break;
    case DISPID_FONT_WEIGHT: hr = put_Weight(converted.iVal); break;
    case DISPID_FONT_CHARSET: hr = put_Charset(converted.iVal); break;
    default: hr = DISP_E_MEMBERNOTFOUND; break;
  }
  VariantClear(&converted);
  return hr;
}

bool IsKnownProperty(DISPID id) {
  for (const TFontProperty& property : kProperties) {
    if (property.Id == id) return true;
  }
  return false;
}

HRESULT STDMETHODCALLTYPE TStdFont::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                           VARIANT* pVarResult, EXCEPINFO*, UINT* puArgErr) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!IsKnownProperty(dispIdMember)) return DISP_E_MEMBERNOTFOUND;
  if (!pDispParams) return E_POINTER;
  if (pDispParams->cArgs > 0 && !pDispParams->rgvarg) return E_POINTER;
  if (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (pDispParams->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    // The value may come as the named put argument or, from lenient
    // callers, unnamed; any other name is not one of a property's.
    if (pDispParams->cNamedArgs > 1 ||
        (pDispParams->cNamedArgs == 1 &&
         (!pDispParams->rgdispidNamedArgs || pDispParams->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))) {
      return DISP_E_PARAMNOTFOUND;
    }
    const HRESULT hr = PutProperty(dispIdMember, pDispParams->rgvarg[0]);
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) && puArgErr) *puArgErr = 0;
    return hr;
  }
  if (!(wFlags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
  if (pDispParams->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (pDispParams->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (!pVarResult) return S_OK;
  VariantClear(pVarResult);
  return GetProperty(dispIdMember, *pVarResult);
}

}  // namespace

}  // namespace qorv::platform

HRESULT WINAPI OleCreateFontIndirect(LPFONTDESC lpFontDesc, REFIID riid, LPVOID* lplpvObj) {
  using qorv::platform::TFontValues;
  if (!lplpvObj) return E_POINTER;
  *lplpvObj = nullptr;
  TFontValues values;
  try {
    values.Name = u"MS Sans Serif";
    if (lpFontDesc) {
      if (lpFontDesc->cbSizeofstruct != sizeof(FONTDESC) || lpFontDesc->cySize.int64 < 0) return E_INVALIDARG;
      values.Name = lpFontDesc->lpstrName ? std::u16string(lpFontDesc->lpstrName) : std::u16string();
      values.Size = lpFontDesc->cySize.int64;
      values.Weight = lpFontDesc->sWeight;
      values.Charset = lpFontDesc->sCharset;
      values.Italic = lpFontDesc->fItalic != FALSE;
      values.Underline = lpFontDesc->fUnderline != FALSE;
      values.Strikethrough = lpFontDesc->fStrikethrough != FALSE;
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  auto* font = new (std::nothrow) qorv::platform::TStdFont(std::move(values));
  if (!font) return E_OUTOFMEMORY;
  const HRESULT hr = font->QueryInterface(riid, lplpvObj);
  font->Release();
  return hr;
}
