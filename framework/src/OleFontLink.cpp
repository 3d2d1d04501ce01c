#include "OleFontLink.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "ComObj.h"
#include "codepage.h"
#include "oleauto.h"
#include "olectl.h"

namespace {

constexpr LONGLONG kCyScale = 10000;

std::u16string WideFromAnsi(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) throw EOleSysError("The font name cannot be converted", E_INVALIDARG);
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string AnsiFromWide(const OLECHAR* text, UINT length) {
  if (length == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw EOleSysError("The font name cannot be converted", E_INVALIDARG);
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), ansi.data(), size, nullptr, nullptr);
  return ansi;
}

// Points as the form's font gives them; a positive height (cell height)
// gives a negative point size there, which a font object cannot take.
int PointsOf(const TFont& font) { return std::abs(font.Size()); }

TFontStyles WithStyle(TFontStyles styles, TFontStyle style, BOOL on) {
  return on ? static_cast<TFontStyles>(styles | style) : static_cast<TFontStyles>(styles & ~style);
}

template <class T>
T* Query(IUnknown* object, REFIID iid) {
  void* found = nullptr;
  if (FAILED(object->QueryInterface(iid, &found))) return nullptr;
  return static_cast<T*>(found);
}

}  // namespace

// The link's ears on the font object. It may outlive the link for as long as
// the object holds it, so the link detaches it when it goes.
class TOleFontLink::TSink final : public IPropertyNotifySink {
 public:
  explicit TSink(TOleFontLink* link) : link_(link) {}
  void Detach() { link_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IPropertyNotifySink) return E_NOINTERFACE;
    *ppv = static_cast<IPropertyNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override {
    if (!link_) return S_OK;
    // Nothing may unwind into the font object that called.
    try {
      link_->FontObjectChanged();
      return S_OK;
    } catch (const EOleSysError& e) {
      return e.ErrorCode();
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

 private:
  ~TSink() = default;
  TOleFontLink* link_;
  std::atomic<ULONG> references_{1};
};

TOleFontLink::TOleFontLink(TFont& font) : font_(font) {}

TOleFontLink::~TOleFontLink() { Unlink(); }

void TOleFontLink::Unlink() {
  if (point_) {
    point_->Unadvise(cookie_);
    point_->Release();
    point_ = nullptr;
  }
  if (sink_) {
    sink_->Detach();
    sink_->Release();
    sink_ = nullptr;
  }
  if (object_) {
    object_->Release();
    object_ = nullptr;
  }
}

IFontDisp* TOleFontLink::FontDisp() {
  if (!object_) {
    const std::u16string name = WideFromAnsi(font_.Name);
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(name.c_str());
    description.cySize.int64 = PointsOf(font_) * kCyScale;
    description.sWeight = (font_.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    description.sCharset = static_cast<SHORT>(font_.Charset);
    description.fItalic = (font_.Style & fsItalic) != 0;
    description.fUnderline = (font_.Style & fsUnderline) != 0;
    description.fStrikethrough = (font_.Style & fsStrikeOut) != 0;
    IUnknown* made = nullptr;
    OleCheck(OleCreateFontIndirect(&description, IID_IUnknown, reinterpret_cast<void**>(&made)));
    TComRef<IUnknown> held(made);
    Link(made);
  } else {
    // The form's font may have changed since (a load, the form's own code).
    CopyToObject();
  }
  IFontDisp* disp = Query<IFontDisp>(object_, IID_IFontDisp);
  if (!disp) throw EOleSysError("The font object has no automation interface", E_NOINTERFACE);
  return disp;
}

void TOleFontLink::Link(IUnknown* fontObject) {
  if (!fontObject) throw EOleSysError("No font object", E_POINTER);
  IFont* font = Query<IFont>(fontObject, IID_IFont);
  if (!font) throw EOleSysError("The object is not a font", E_NOINTERFACE);
  TComRef<IFont> newFont(font);
  if (object_ == font) {
    CopyFromObject();
    return;
  }
  // The new connection is made before the old one goes, so a failure leaves
  // the link as it was.
  auto* sink = new TSink(this);
  TComRef<IPropertyNotifySink> newSink(sink);
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  if (auto* container = Query<IConnectionPointContainer>(font, IID_IConnectionPointContainer)) {
    TComRef<IConnectionPointContainer> held(container);
    if (SUCCEEDED(container->FindConnectionPoint(IID_IPropertyNotifySink, &point)) && point &&
        FAILED(point->Advise(sink, &cookie))) {
      point->Release();
      point = nullptr;
    }
  }
  Unlink();
  font->AddRef();
  object_ = font;
  sink->AddRef();
  sink_ = sink;
  point_ = point;
  cookie_ = cookie;
  CopyFromObject();
}

void TOleFontLink::FontObjectChanged() {
  if (copying_ || !object_) return;
  CopyFromObject();
}

void TOleFontLink::CopyFromObject() {
  BSTR name = nullptr;
  OleCheck(object_->get_Name(&name));
  TFont taken;
  try {
    taken.Assign(font_);
    taken.Name = AnsiFromWide(name, SysStringLen(name));
  } catch (...) {
    SysFreeString(name);
    throw;
  }
  SysFreeString(name);
  CY size{};
  BOOL bold = FALSE, italic = FALSE, underline = FALSE, strike = FALSE;
  SHORT charset = 0;
  OleCheck(object_->get_Size(&size));
  OleCheck(object_->get_Bold(&bold));
  OleCheck(object_->get_Italic(&italic));
  OleCheck(object_->get_Underline(&underline));
  OleCheck(object_->get_Strikethrough(&strike));
  OleCheck(object_->get_Charset(&charset));
  // Whole points: a size the form's height already gives keeps that height.
  const auto points = static_cast<int>((size.int64 + kCyScale / 2) / kCyScale);
  if (points != PointsOf(taken)) taken.SetSize(points);
  TFontStyles styles = taken.Style;
  styles = WithStyle(styles, fsBold, bold);
  styles = WithStyle(styles, fsItalic, italic);
  styles = WithStyle(styles, fsUnderline, underline);
  styles = WithStyle(styles, fsStrikeOut, strike);
  taken.Style = styles;
  taken.Charset = charset;
  if (!taken.SameAs(font_)) font_.Assign(taken);
}

void TOleFontLink::CopyToObject() {
  const std::u16string wide = WideFromAnsi(font_.Name);
  BSTR name = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!name && !wide.empty()) throw std::bad_alloc();
  copying_ = true;
  HRESULT hr = object_->put_Name(name);
  SysFreeString(name);
  CY size{};
  size.int64 = PointsOf(font_) * kCyScale;
  CY current{};
  // A size the object holds in fractions of the same whole point stays.
  if (SUCCEEDED(hr)) hr = object_->get_Size(&current);
  if (SUCCEEDED(hr) && (current.int64 + kCyScale / 2) / kCyScale != size.int64 / kCyScale) hr = object_->put_Size(size);
  // A weight the object holds that already reads as bold (or not) stays.
  BOOL bold = FALSE;
  if (SUCCEEDED(hr)) hr = object_->get_Bold(&bold);
  if (SUCCEEDED(hr) && (bold != FALSE) != ((font_.Style & fsBold) != 0)) hr = object_->put_Bold(!bold);
  if (SUCCEEDED(hr)) hr = object_->put_Italic((font_.Style & fsItalic) != 0);
  if (SUCCEEDED(hr)) hr = object_->put_Underline((font_.Style & fsUnderline) != 0);
  if (SUCCEEDED(hr)) hr = object_->put_Strikethrough((font_.Style & fsStrikeOut) != 0);
  if (SUCCEEDED(hr)) hr = object_->put_Charset(static_cast<SHORT>(font_.Charset));
  copying_ = false;
  OleCheck(hr);
}
