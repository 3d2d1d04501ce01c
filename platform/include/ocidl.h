// The OLE control interfaces: connection points and events, property change
// notification, class information, quick activation, property pages and
// browsing, simple frames, control sites, fonts, and the persistence forms
// that controls add (stream with initialisation, property bags).
//
// Methods stand in the SDK's vtable order under the published identifiers.
#pragma once

#include "oaidl.h"
#include "objidl.h"
#include "oleidl.h"

struct IConnectionPoint;
struct IConnectionPointContainer;
struct IEnumConnections;
struct IEnumConnectionPoints;
struct IPropertyNotifySink;
struct IOleControlSite;
struct IFont;
struct IAdviseSinkEx;
struct IOleUndoManager;
struct IBindHost;
struct IServiceProvider;
struct TEXTMETRICW;

using OLE_COLOR = DWORD;
using OLE_HANDLE = UINT;
using TEXTMETRICOLE = TEXTMETRICW;

// A currency amount: a 64-bit integer scaled by 10000.
union CY {
  struct {
    ULONG Lo;
    LONG Hi;
  } u;
  LONGLONG int64;
};

// {B196B284-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B285-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IEnumConnectionPoints{
    0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B286-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IConnectionPoint{0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B287-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IEnumConnections{0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B288-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IOleControl{0xB196B288, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B289-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IOleControlSite{0xB196B289, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {B196B283-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_IProvideClassInfo{
    0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {A6BC3AC0-DBAA-11CE-9DE3-00AA004BB851}
inline constexpr IID IID_IProvideClassInfo2{
    0xA6BC3AC0, 0xDBAA, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// {B196B28B-BAB4-101A-B69C-00AA00341D07}
inline constexpr IID IID_ISpecifyPropertyPages{
    0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {376BD3AA-3845-101B-84ED-08002B2EC713}
inline constexpr IID IID_IPerPropertyBrowsing{
    0x376BD3AA, 0x3845, 0x101B, {0x84, 0xED, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
// {9BFBBC02-EFF1-101A-84ED-00AA00341D07}
inline constexpr IID IID_IPropertyNotifySink{
    0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
// {CF51ED10-62FE-11CF-BF86-00A0C9034836}
inline constexpr IID IID_IQuickActivate{0xCF51ED10, 0x62FE, 0x11CF, {0xBF, 0x86, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0x36}};
// {742B0E01-14E6-101B-914E-00AA00300CAB}
inline constexpr IID IID_ISimpleFrameSite{0x742B0E01, 0x14E6, 0x101B, {0x91, 0x4E, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
// {7FD52380-4E07-101B-AE2D-08002B2EC713}
inline constexpr IID IID_IPersistStreamInit{
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
// {37D84F60-42CB-11CE-8135-00AA004BB851}
inline constexpr IID IID_IPersistPropertyBag{
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// {55272A00-42CB-11CE-8135-00AA004BB851}
inline constexpr IID IID_IPropertyBag{0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// {3127CA40-446E-11CE-8135-00AA004BB851}
inline constexpr IID IID_IErrorLog{0x3127CA40, 0x446E, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// {BEF6E002-A874-101A-8BBA-00AA00300CAB}
inline constexpr IID IID_IFont{0xBEF6E002, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
// {BEF6E003-A874-101A-8BBA-00AA00300CAB}
inline constexpr IID IID_IFontDisp{0xBEF6E003, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

// Results of the control interfaces.
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT CONNECT_E_ADVISELIMIT = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202u);
constexpr HRESULT CONNECT_E_OVERRIDDEN = static_cast<HRESULT>(0x80040203u);
constexpr HRESULT CTL_E_ILLEGALFUNCTIONCALL = static_cast<HRESULT>(0x800A0005u);
constexpr HRESULT PERPROP_E_NOPAGEAVAILABLE = static_cast<HRESULT>(0x80040200u);

// ---- connection points ------------------------------------------------------

// One connection: the sink and the cookie Advise answered.
struct CONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
};
using LPCONNECTDATA = CONNECTDATA*;

struct IEnumConnections : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, LPCONNECTDATA rgcd, ULONG* pcFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) = 0;

 protected:
  ~IEnumConnections() = default;
};

struct IConnectionPoint : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) = 0;

 protected:
  ~IEnumConnectionPoints() = default;
};

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

struct IPropertyNotifySink : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispID) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID dispID) = 0;

 protected:
  ~IPropertyNotifySink() = default;
};

// ---- class information --------------------------------------------------------

struct IProvideClassInfo : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) = 0;

 protected:
  ~IProvideClassInfo() = default;
};

constexpr DWORD GUIDKIND_DEFAULT_SOURCE_DISP_IID = 1;

struct IProvideClassInfo2 : IProvideClassInfo {
  virtual HRESULT STDMETHODCALLTYPE GetGUID(DWORD dwGuidKind, GUID* pGUID) = 0;

 protected:
  ~IProvideClassInfo2() = default;
};

// ---- control and site -------------------------------------------------------

// What a control tells its site about its keyboard behaviour.
struct CONTROLINFO {
  ULONG cb;
  HACCEL hAccel;
  USHORT cAccel;
  DWORD dwFlags;
};
using LPCONTROLINFO = CONTROLINFO*;

constexpr DWORD CTRLINFO_EATS_RETURN = 1;
constexpr DWORD CTRLINFO_EATS_ESCAPE = 2;

struct IOleControl : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* pCI) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* pMsg) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispID) = 0;
  virtual HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL bFreeze) = 0;

 protected:
  ~IOleControl() = default;
};

struct POINTF {
  FLOAT x;
  FLOAT y;
};

constexpr DWORD XFORMCOORDS_POSITION = 0x1;
constexpr DWORD XFORMCOORDS_SIZE = 0x2;
constexpr DWORD XFORMCOORDS_HIMETRICTOCONTAINER = 0x4;
constexpr DWORD XFORMCOORDS_CONTAINERTOHIMETRIC = 0x8;

struct IOleControlSite : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnControlInfoChanged() = 0;
  virtual HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL fLock) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** ppDisp) = 0;
  virtual HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* pPtlHimetric, POINTF* pPtfContainer, DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* pMsg, DWORD grfModifiers) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnFocus(BOOL fGotFocus) = 0;
  virtual HRESULT STDMETHODCALLTYPE ShowPropertyFrame() = 0;

 protected:
  ~IOleControlSite() = default;
};

struct ISimpleFrameSite : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE PreMessageFilter(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* plResult,
                                                     DWORD* pdwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE PostMessageFilter(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* plResult,
                                                      DWORD dwCookie) = 0;

 protected:
  ~ISimpleFrameSite() = default;
};

// ---- quick activation -------------------------------------------------------

// What a container hands a control in one call instead of many.
struct QACONTAINER {
  ULONG cbSize;
  IOleClientSite* pClientSite;
  IAdviseSinkEx* pAdviseSink;
  IPropertyNotifySink* pPropertyNotifySink;
  IUnknown* pUnkEventSink;
  DWORD dwAmbientFlags;
  OLE_COLOR colorFore;
  OLE_COLOR colorBack;
  IFont* pFont;
  IOleUndoManager* pUndoMgr;
  DWORD dwAppearance;
  LONG lcid;
  HPALETTE hpal;
  IBindHost* pBindHost;
  IOleControlSite* pOleControlSite;
  IServiceProvider* pServiceProvider;
};

// What the control answers.
struct QACONTROL {
  ULONG cbSize;
  DWORD dwMiscStatus;
  DWORD dwViewStatus;
  DWORD dwEventCookie;
  DWORD dwPropNotifyCookie;
  DWORD dwPointerActivationPolicy;
};

struct IQuickActivate : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* pQaContainer, QACONTROL* pQaControl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL pSizel) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL pSizel) = 0;

 protected:
  ~IQuickActivate() = default;
};

// ---- property pages and browsing ----------------------------------------------

// Counted arrays in task memory, freed by the caller (the array and, for
// strings, each element).
struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};
struct CALPOLESTR {
  ULONG cElems;
  LPOLESTR* pElems;
};
struct CADWORD {
  ULONG cElems;
  DWORD* pElems;
};

struct ISpecifyPropertyPages : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};

struct IPerPropertyBrowsing : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID dispID, BSTR* pBstr) = 0;
  virtual HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID dispID, CLSID* pClsid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID dispID, CALPOLESTR* pCaStringsOut,
                                                         CADWORD* pCaCookiesOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID dispID, DWORD dwCookie, VARIANT* pVarOut) = 0;

 protected:
  ~IPerPropertyBrowsing() = default;
};

// ---- persistence ------------------------------------------------------------

struct IPersistStreamInit : IPersist {
  virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE InitNew() = 0;

 protected:
  ~IPersistStreamInit() = default;
};

struct IErrorLog : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR pszPropName, EXCEPINFO* pExcepInfo) = 0;

 protected:
  ~IErrorLog() = default;
};

struct IPropertyBag : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;

 protected:
  ~IPropertyBag() = default;
};

struct IPersistPropertyBag : IPersist {
  virtual HRESULT STDMETHODCALLTYPE InitNew() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

// ---- fonts ------------------------------------------------------------------

struct IFont : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* pName) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(CY* pSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Size(CY size) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bold(BOOL* pBold) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Bold(BOOL bold) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Italic(BOOL* pItalic) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Italic(BOOL italic) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Underline(BOOL* pUnderline) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Underline(BOOL underline) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Strikethrough(BOOL* pStrikethrough) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Strikethrough(BOOL strikethrough) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Weight(SHORT* pWeight) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Weight(SHORT weight) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Charset(SHORT* pCharset) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Charset(SHORT charset) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_hFont(HFONT* phFont) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IFont** ppFont) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsEqual(IFont* pFontOther) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRatio(LONG cyLogical, LONG cyHimetric) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryTextMetrics(TEXTMETRICOLE* pTM) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddRefHfont(HFONT hFont) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseHfont(HFONT hFont) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHdc(HDC hDC) = 0;

 protected:
  ~IFont() = default;
};

// The font object's automation face: its properties are reached through
// IDispatch alone.
struct IFontDisp : IDispatch {
 protected:
  ~IFontDisp() = default;
};
