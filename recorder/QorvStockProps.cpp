// The stock properties of IQorvX: each reads or writes the form property of
// the same name behind the member boundary.
#include "ComObj.h"
#include "QorvImpl1.h"
#include "QorvMemberBoundary.h"

using qorv::recorder::GetString;
using qorv::recorder::Guarded;
using qorv::recorder::GuardedGet;
using qorv::recorder::PutString;

namespace {

VARIANT_BOOL ComBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A COM boolean from a careless caller may hold any bits; only the low 16
// count, and any of them set is true.
bool FromComBool(VARIANT_BOOL value) { return static_cast<std::uint16_t>(value) != 0; }

// An enum value the form has no meaning for is refused rather than stored.
template <class T>
T CheckedEnum(LONG value, LONG last) {
  if (value < 0 || value > last) throw EOleSysError("Invalid property value", E_INVALIDARG);
  return static_cast<T>(value);
}

HRESULT GetBool(VARIANT_BOOL* out, bool value) {
  return GuardedGet(out, [&](VARIANT_BOOL& v) { v = ComBool(value); });
}

HRESULT PutBool(VARIANT_BOOL value, bool& stored) {
  return Guarded([&] { stored = FromComBool(value); });
}

}  // namespace

HRESULT TQorvX::get_Visible(VARIANT_BOOL* Value) { return GetBool(Value, Visible()); }
HRESULT TQorvX::put_Visible(VARIANT_BOOL Value) {
  return Guarded([&] { SetVisible(FromComBool(Value)); });
}

HRESULT TQorvX::get_AutoScroll(VARIANT_BOOL* Value) { return GetBool(Value, AutoScroll); }
HRESULT TQorvX::put_AutoScroll(VARIANT_BOOL Value) { return PutBool(Value, AutoScroll); }

HRESULT TQorvX::get_AutoSize(VARIANT_BOOL* Value) { return GetBool(Value, AutoSize); }
HRESULT TQorvX::put_AutoSize(VARIANT_BOOL Value) {
  return Guarded([&] {
    AutoSize = FromComBool(Value);
    // Switched on, the form fits its controls at once, as loading it does.
    if (AutoSize) AdjustToControls();
  });
}

HRESULT TQorvX::get_AxBorderStyle(QorvProj1_TLB::TxActiveFormBorderStyle* Value) {
  return GuardedGet(Value, [&](QorvProj1_TLB::TxActiveFormBorderStyle& v) {
    v = static_cast<QorvProj1_TLB::TxActiveFormBorderStyle>(AxBorderStyle);
  });
}
HRESULT TQorvX::put_AxBorderStyle(QorvProj1_TLB::TxActiveFormBorderStyle Value) {
  return Guarded([&] { AxBorderStyle = CheckedEnum<TActiveFormBorderStyle>(Value, afbRaised); });
}

HRESULT TQorvX::get_Caption(BSTR* Value) { return GetString(Value, Caption()); }
HRESULT TQorvX::put_Caption(BSTR Value) {
  std::string text;
  const HRESULT hr = PutString(Value, text);
  if (FAILED(hr)) return hr;
  return Guarded([&] { SetCaption(text); });
}

// The colour's bits pass as they are: 0x80000000-based system colours stay
// system colours, so the form follows the host's scheme.
HRESULT TQorvX::get_Color(OLE_COLOR* Value) {
  return GuardedGet(Value, [&](OLE_COLOR& v) { v = static_cast<OLE_COLOR>(Color()); });
}
HRESULT TQorvX::put_Color(OLE_COLOR Value) {
  return Guarded([&] { SetColor(static_cast<TColor>(Value)); });
}

HRESULT TQorvX::get_Font(IFontDisp** Value) {
  if (!Value) return E_POINTER;
  *Value = nullptr;
  return Guarded([&] {
    if (!fontLink_) fontLink_ = std::make_unique<TOleFontLink>(Font());
    *Value = fontLink_->FontDisp();
  });
}
HRESULT TQorvX::put_Font(IFontDisp* Value) {
  return Guarded([&] {
    if (!Value) throw EOleSysError("No font object", E_POINTER);
    if (!fontLink_) fontLink_ = std::make_unique<TOleFontLink>(Font());
    fontLink_->Link(Value);
  });
}
HRESULT TQorvX::_set_Font(IFontDisp** Value) {
  if (!Value) return E_POINTER;
  return put_Font(*Value);
}

HRESULT TQorvX::get_KeyPreview(VARIANT_BOOL* Value) { return GetBool(Value, KeyPreview); }
HRESULT TQorvX::put_KeyPreview(VARIANT_BOOL Value) { return PutBool(Value, KeyPreview); }

HRESULT TQorvX::get_PixelsPerInch(LONG* Value) {
  return GuardedGet(Value, [&](LONG& v) { v = PixelsPerInch; });
}
HRESULT TQorvX::put_PixelsPerInch(LONG Value) {
  return Guarded([&] { PixelsPerInch = Value; });
}

HRESULT TQorvX::get_PrintScale(QorvProj1_TLB::TxPrintScale* Value) {
  return GuardedGet(Value,
                    [&](QorvProj1_TLB::TxPrintScale& v) { v = static_cast<QorvProj1_TLB::TxPrintScale>(PrintScale); });
}
HRESULT TQorvX::put_PrintScale(QorvProj1_TLB::TxPrintScale Value) {
  return Guarded([&] { PrintScale = CheckedEnum<TPrintScale>(Value, poPrintToFit); });
}

HRESULT TQorvX::get_Scaled(VARIANT_BOOL* Value) { return GetBool(Value, Scaled); }
HRESULT TQorvX::put_Scaled(VARIANT_BOOL Value) { return PutBool(Value, Scaled); }

HRESULT TQorvX::get_Active(VARIANT_BOOL* Value) { return GetBool(Value, Active()); }

HRESULT TQorvX::get_DropTarget(VARIANT_BOOL* Value) { return GetBool(Value, DropTarget); }
HRESULT TQorvX::put_DropTarget(VARIANT_BOOL Value) { return PutBool(Value, DropTarget); }

HRESULT TQorvX::get_HelpFile(BSTR* Value) { return GetString(Value, HelpFile); }
HRESULT TQorvX::put_HelpFile(BSTR Value) { return PutString(Value, HelpFile); }

HRESULT TQorvX::get_DoubleBuffered(VARIANT_BOOL* Value) { return GetBool(Value, DoubleBuffered); }
HRESULT TQorvX::put_DoubleBuffered(VARIANT_BOOL Value) { return PutBool(Value, DoubleBuffered); }

HRESULT TQorvX::get_AlignDisabled(VARIANT_BOOL* Value) { return GetBool(Value, AlignDisabled()); }

HRESULT TQorvX::get_VisibleDockClientCount(LONG* Value) {
  return GuardedGet(Value, [](LONG& v) { v = 0; });
}

HRESULT TQorvX::get_Enabled(VARIANT_BOOL* Value) { return GetBool(Value, Enabled()); }
HRESULT TQorvX::put_Enabled(VARIANT_BOOL Value) {
  return Guarded([&] { SetEnabled(FromComBool(Value)); });
}

HRESULT TQorvX::get_Cursor(SHORT* Value) {
  return GuardedGet(Value, [&](SHORT& v) { v = static_cast<SHORT>(Cursor); });
}
HRESULT TQorvX::put_Cursor(SHORT Value) {
  return Guarded([&] { Cursor = Value; });
}

HRESULT TQorvX::get_HelpType(QorvProj1_TLB::TxHelpType* Value) {
  return GuardedGet(Value, [&](QorvProj1_TLB::TxHelpType& v) { v = static_cast<QorvProj1_TLB::TxHelpType>(HelpType); });
}
HRESULT TQorvX::put_HelpType(QorvProj1_TLB::TxHelpType Value) {
  return Guarded([&] { HelpType = CheckedEnum<THelpType>(Value, htContext); });
}

HRESULT TQorvX::get_HelpKeyword(BSTR* Value) { return GetString(Value, HelpKeyword); }
HRESULT TQorvX::put_HelpKeyword(BSTR Value) { return PutString(Value, HelpKeyword); }
