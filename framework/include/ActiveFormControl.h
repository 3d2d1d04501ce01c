// The COM object a host sees for an active form: it owns the form, answers
// the OLE control contracts, IDispatch through the type description of the
// form's dual interface, the connection points and persistence. The form
// supplies its own dual interface, whose IUnknown and IDispatch come back
// here, so a host holds one identity whichever interface it asks for.
//
// Where each part lives:
//   ActiveFormControl.cpp         creation, identity, IDispatch, error and
//                                 class information, connection points,
//                                 property pages, browsing, safety, simple frame
//   ActiveFormControlOle.cpp      IOleObject, IOleControl
//   ActiveFormControlInPlace.cpp  in-place activation, IOleInPlaceObject,
//                                 IOleInPlaceActiveObject, IQuickActivate
//   ActiveFormControlView.cpp     IViewObject2, IDataObject
//   ActiveFormControlPersist.cpp  IPersistStreamInit, IPersistStorage,
//                                 IPersistPropertyBag, the dirty flag
//   ActiveFormControlMessages.cpp the form's window messages, seen first
//
// Threads: apartment-threaded. Every method runs on the thread that created
// the object; only the reference count is changed with interlocked operations,
// since a host may release from elsewhere while tearing down.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <objsafe.h>
#include <ocidl.h>
#include <oleidl.h>

#include "ActiveForm.h"

class TConnectionPoint;

// CONNECT_E_ADVISELIMIT as the control's callers expect it: a second event
// sink is refused with this value, not with the system header's 0x80040201.
inline constexpr HRESULT kControlAdviseLimit = static_cast<HRESULT>(0x80040202u);

// What the class factory knows of its class and hands to every control object
// it creates. The type descriptions are the factory's; a control keeps its
// own references for as long as it lives.
struct TActiveFormFactoryInfo {
  CLSID ClassID = CLSID_NULL;
  std::string ClassName;                  // "QorvX"
  std::string Description;                // "QorvX Control"
  std::string ProgID;                     // source of a failed member's error information
  IID DispatchIID = IID_NULL;             // the form's dual interface (error interface)
  IID EventIID = IID_NULL;                // default source interface of the class
  ITypeInfo* ClassTypeInfo = nullptr;     // the coclass
  ITypeInfo* DispatchTypeInfo = nullptr;  // the dual interface
  DWORD MiscStatus = 0;
  // Makes and loads the form (its creation event has run when it returns);
  // raises when it cannot. The control object owns what it answers.
  std::function<TActiveForm*()> CreateForm;
  // The server's live-object counter: one up per control object, one down
  // when it goes (interlocked). May be null.
  volatile LONG* LiveObjects = nullptr;
};

class TActiveFormControl final : public IDispatch,
                                 public ISupportErrorInfo,
                                 public IProvideClassInfo,
                                 public IOleObject,
                                 public IOleControl,
                                 public IOleInPlaceObject,
                                 public IOleInPlaceActiveObject,
                                 public IViewObject2,
                                 public IDataObject,
                                 public IPersistStreamInit,
                                 public IPersistStorage,
                                 public IPersistPropertyBag,
                                 public IQuickActivate,
                                 public ISpecifyPropertyPages,
                                 public IPerPropertyBrowsing,
                                 public ISimpleFrameSite,
                                 public IObjectSafety,
                                 public IConnectionPointContainer {
 public:
  // The class factory's entry: creates one control instance (object,
  // connection points, form, link, event hooks) and asks it for riid.
  // E_POINTER for a null out pointer (otherwise *ppv is null on failure);
  // CLASS_E_NOAGGREGATION for an outer object with any riid but IUnknown;
  // the query's own error when the new object does not answer riid (the
  // object is freed again). A failure while the form is being built is
  // raised to the caller (the factory shows it and answers E_UNEXPECTED).
  static HRESULT CreateInstance(const TActiveFormFactoryInfo& info, IUnknown* outer, REFIID riid, void** ppv);

  TActiveFormControl(const TActiveFormControl&) = delete;
  TActiveFormControl& operator=(const TActiveFormControl&) = delete;

  // ---- IUnknown (outer object's when aggregated) ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ---- IDispatch ----
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ---- ISupportErrorInfo ----
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // ---- IProvideClassInfo ----
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) override;

  // ---- IOleObject (ActiveFormControlOle.cpp) ----
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                                   LPCRECT lprcPosRect) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwConnection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* pLogpal) override;

  // ---- IOleControl (ActiveFormControlOle.cpp) ----
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* pCI) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* pMsg) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispID) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL bFreeze) override;

  // ---- IOleWindow, shared by the two in-place interfaces (ActiveFormControlInPlace.cpp) ----
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;

  // ---- IOleInPlaceObject (ActiveFormControlInPlace.cpp) ----
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;

  // ---- IOleInPlaceActiveObject (ActiveFormControlInPlace.cpp) ----
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG lpmsg) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL fActivate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL fActivate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL fEnable) override;

  // ---- IViewObject, IViewObject2 (ActiveFormControlView.cpp) ----
  HRESULT STDMETHODCALLTYPE Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
                                 HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds,
                                 BOOL(STDMETHODCALLTYPE* pfnContinue)(ULONG_PTR dwContinue),
                                 ULONG_PTR dwContinue) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd,
                                        HDC hicTargetDev, LOGPALETTE** ppColorSet) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DWORD* pdwFreeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD dwFreeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) override;

  // ---- IDataObject (ActiveFormControlView.cpp) ----
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* pformatetc) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink,
                                    DWORD* pdwConnection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD dwConnection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** ppenumAdvise) override;

  // ---- IPersist, shared by the three persistence interfaces (ActiveFormControlPersist.cpp) ----
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
  // IsDirty of IPersistStreamInit and IPersistStorage: S_OK while unsaved
  // changes are pending.
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  // InitNew of IPersistStreamInit and IPersistPropertyBag.
  HRESULT STDMETHODCALLTYPE InitNew() override;

  // ---- IPersistStreamInit (ActiveFormControlPersist.cpp) ----
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) override;

  // ---- IPersistStorage (ActiveFormControlPersist.cpp) ----
  HRESULT STDMETHODCALLTYPE InitNew(IStorage* pStg) override;
  HRESULT STDMETHODCALLTYPE Load(IStorage* pStg) override;
  HRESULT STDMETHODCALLTYPE Save(IStorage* pStgSave, BOOL fSameAsLoad) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* pStgNew) override;
  HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

  // ---- IPersistPropertyBag (ActiveFormControlPersist.cpp) ----
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL fSaveAllProperties) override;

  // ---- IQuickActivate (ActiveFormControlInPlace.cpp) ----
  HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* pQaContainer, QACONTROL* pQaControl) override;
  HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL pSizel) override;
  HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL pSizel) override;

  // ---- ISpecifyPropertyPages ----
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) override;

  // ---- IPerPropertyBrowsing ----
  HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID dispID, BSTR* pBstr) override;
  HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID dispID, CLSID* pClsid) override;
  HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID dispID, CALPOLESTR* pCaStringsOut,
                                                 CADWORD* pCaCookiesOut) override;
  HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID dispID, DWORD dwCookie, VARIANT* pVarOut) override;

  // ---- ISimpleFrameSite ----
  HRESULT STDMETHODCALLTYPE PreMessageFilter(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* plResult,
                                             DWORD* pdwCookie) override;
  HRESULT STDMETHODCALLTYPE PostMessageFilter(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* plResult,
                                              DWORD dwCookie) override;

  // ---- IObjectSafety ----
  HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                      DWORD* pdwEnabledOptions) override;
  HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                      DWORD dwEnabledOptions) override;

  // ---- IConnectionPointContainer ----
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  // ---- For the form and the other parts of the control ----

  TActiveForm* Form() const { return form_; }
  const TActiveFormFactoryInfo& FactoryInfo() const { return info_; }
  // The thread's error information for a member that failed at its boundary
  // (the dual interface's IID, the class's ProgID as source, the message);
  // answers the result the member returns: the COM error's own result when it
  // is a failure, E_UNEXPECTED otherwise.
  HRESULT MemberFailure(const std::string& message, DWORD helpContext, HRESULT comError = S_OK) const;
  // Connects an event sink as Advise on the event point would (for quick
  // activation); the cookie is written when the connection is made.
  HRESULT AdviseEventSink(IUnknown* sink, DWORD* cookie);
  // Connects a property change sink to the IPropertyNotifySink point.
  HRESULT AdvisePropertyNotifySink(IUnknown* sink, DWORD* cookie);
  // Tells every property change sink that the property changed.
  void PropertyChanged(DISPID dispID);
  // The form's OnDestroy, at most once per instance: Close and the object's
  // end both come here.
  void FireDestroy();
  // Every window message of the form, before the form handles it
  // (ActiveFormControlMessages.cpp).
  LRESULT FormMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  TActiveFormControl(const TActiveFormFactoryInfo& info, IUnknown* outer);
  ~TActiveFormControl();

  // The non-delegating IUnknown an aggregating outer object holds.
  class TInner : public IUnknown {
   public:
    explicit TInner(TActiveFormControl& owner) : owner_(owner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

   private:
    TActiveFormControl& owner_;
  };

  void CreateConnectionPoints();
  void CreateForm();
  void EventSinkChanged(IUnknown* sink);
  HRESULT InnerQueryInterface(REFIID riid, void** ppv);
  ULONG InnerAddRef();
  ULONG InnerRelease();
  // This object's own interfaces (not the form's), without a reference added.
  void* OwnInterface(REFIID riid);
  IUnknown* Identity() { return static_cast<IDispatch*>(this); }

  TActiveFormFactoryInfo info_;
  TInner inner_;
  IUnknown* outer_;  // not owned: the aggregate owns us
  volatile LONG refCount_ = 1;
  TActiveForm* form_ = nullptr;
  std::unique_ptr<TConnectionPoint> eventPoint_;
  std::unique_ptr<TConnectionPoint> propertyNotifyPoint_;
  DWORD safetyEnabled_ = 0;

  // ---- Siting, view and persistence state (ActiveFormControlOle.cpp, ActiveFormControlInPlace.cpp,
  //      ActiveFormControlView.cpp, ActiveFormControlPersist.cpp; the state is declared in
  //      src/ActiveFormControlOleState.h) ----
 public:
  // True while the host holds the events frozen (IOleControl::FreezeEvents).
  // Only counted so far: the form's firers do not consult it yet.
  bool EventsFrozen();

 private:
  struct TOleState;
  // Made on first use and freed with the object; it holds the host's site,
  // advise sinks and storage and lets go of them when freed.
  TOleState& Ole();
  HRESULT ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT position, bool uiActivate);
  HRESULT ActivateUi();
  HRESULT QuickActivateWith(const QACONTAINER& container, QACONTROL& control);
  void PlaceForm(const RECT& position);
  HRESULT SizeFormTo(const SIZEL& himetric);
  SIZEL FormExtent() const;
  void NotifyViewChange();
  HRESULT DrawInto(HDC hdc, const RECTL& bounds);
  HRESULT SaveToStream(IStream* stream, BOOL clearDirty);
  HRESULT LoadFromStream(IStream* stream);
  std::string StoredClassName() const;
  std::string DescribeForm() const;
  void MarkClean();
  bool HasUnsavedChanges();
  std::unique_ptr<TOleState, void (*)(TOleState*)> ole_{nullptr, nullptr};
};
