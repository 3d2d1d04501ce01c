// The standard font object of OLE controls: a font description that hosts and
// controls share through IFont and its automation face IFontDisp, telling
// whoever connects an IPropertyNotifySink about every change.
#pragma once

#include "ocidl.h"

// A font as OleCreateFontIndirect takes it. cbSizeofstruct must be
// sizeof(FONTDESC); the size is in points scaled by 10000.
struct FONTDESC {
  UINT cbSizeofstruct;
  LPOLESTR lpstrName;
  CY cySize;
  SHORT sWeight;
  SHORT sCharset;
  BOOL fItalic;
  BOOL fUnderline;
  BOOL fStrikethrough;
};
using LPFONTDESC = FONTDESC*;

// Font weights of the descriptions; a weight from FW_SEMIBOLD up counts as bold.
constexpr SHORT FW_NORMAL = 400;
constexpr SHORT FW_SEMIBOLD = 600;
constexpr SHORT FW_BOLD = 700;

// The font object's properties, as IFontDisp and the change notifications
// name them.
constexpr DISPID DISPID_FONT_NAME = 0;
constexpr DISPID DISPID_FONT_SIZE = 2;
constexpr DISPID DISPID_FONT_BOLD = 3;
constexpr DISPID DISPID_FONT_ITALIC = 4;
constexpr DISPID DISPID_FONT_UNDER = 5;
constexpr DISPID DISPID_FONT_STRIKE = 6;
constexpr DISPID DISPID_FONT_WEIGHT = 7;
constexpr DISPID DISPID_FONT_CHARSET = 8;

// A value a property cannot take (a null name, a negative size).
constexpr HRESULT CTL_E_INVALIDPROPERTYVALUE = static_cast<HRESULT>(0x800A017Cu);

// Makes a font object and answers its riid interface (IFont, IFontDisp,
// IDispatch, IConnectionPointContainer or IUnknown). A null description gives
// the standard control font: "MS Sans Serif", 8 points, normal weight.
// E_POINTER for a null ppvObj; E_INVALIDARG for a description whose
// cbSizeofstruct is not sizeof(FONTDESC) or whose size is negative;
// E_NOINTERFACE for another riid; E_OUTOFMEMORY. *ppvObj is null after a
// failure.
//
// The object lives on its creator's apartment thread and takes no lock. It
// has no GDI handle (the platform draws text through its own font engine):
// get_hFont and QueryTextMetrics answer E_NOTIMPL, SetHdc and SetRatio only
// keep their values. Its IDispatch has no type information (GetTypeInfoCount
// answers 0); GetIDsOfNames knows the eight property names above, ignoring
// case, and Invoke gets and puts them by dispid, converting a put's argument
// as VariantChangeType does (Size also takes VT_CY, whose 64-bit value lies in
// llVal).
HRESULT WINAPI OleCreateFontIndirect(LPFONTDESC lpFontDesc, REFIID riid, LPVOID* lplpvObj);
