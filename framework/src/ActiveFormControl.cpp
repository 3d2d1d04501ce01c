#include "ActiveFormControl.h"

#include <objbase.h>
#include <oleauto.h>
#include <synch.h>

#include <new>
#include <string>
#include <vector>

#include "ComObj.h"
#include "ConnectionPoint.h"
#include "DispatchSilencer.h"
#include "Exceptions.h"

namespace {

// The options IObjectSafety may switch on: the control neither needs a
// security manager nor speaks IDispatchEx.
constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

}  // namespace

// ---- creation and end ----

HRESULT TActiveFormControl::CreateInstance(const TActiveFormFactoryInfo& info, IUnknown* outer, REFIID riid,
                                           void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // An aggregate can only hold the inner unknown: any other interface would
  // answer for the wrong identity.
  if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  auto* control = new TActiveFormControl(info, outer);
  try {
    control->CreateConnectionPoints();
    control->CreateForm();
  } catch (...) {
    control->InnerRelease();
    throw;
  }
  const HRESULT hr = control->InnerQueryInterface(riid, ppv);
  control->InnerRelease();
  return hr;
}

TActiveFormControl::TActiveFormControl(const TActiveFormFactoryInfo& info, IUnknown* outer)
    : info_(info), inner_(*this), outer_(outer) {
  if (info_.ClassTypeInfo) info_.ClassTypeInfo->AddRef();
  if (info_.DispatchTypeInfo) info_.DispatchTypeInfo->AddRef();
  if (info_.LiveObjects) InterlockedIncrement(info_.LiveObjects);
}

TActiveFormControl::~TActiveFormControl() {
  if (form_) {
    // Destruction of the form fires OnDestroy unless Close already did;
    // fired here, while the form is whole and its sink still connected.
    FireDestroy();
    TActiveForm* form = form_;
    form_ = nullptr;
    form->LinkControl(nullptr);
    delete form;
  }
  eventPoint_.reset();
  propertyNotifyPoint_.reset();
  if (info_.DispatchTypeInfo) info_.DispatchTypeInfo->Release();
  if (info_.ClassTypeInfo) info_.ClassTypeInfo->Release();
  if (info_.LiveObjects) InterlockedDecrement(info_.LiveObjects);
}

void TActiveFormControl::CreateConnectionPoints() {
  eventPoint_ =
      std::make_unique<TConnectionPoint>(*this, info_.EventIID, TConnectionPoint::ckSingle, kControlAdviseLimit,
                                         [this](IUnknown* sink) { EventSinkChanged(sink); });
  propertyNotifyPoint_ = std::make_unique<TConnectionPoint>(*this, IID_IPropertyNotifySink, TConnectionPoint::ckMulti,
                                                            CONNECT_E_ADVISELIMIT);
}

void TActiveFormControl::CreateForm() {
  if (!info_.CreateForm) throw Exception("The control has no form class");
  form_ = info_.CreateForm();
  if (!form_) throw Exception("The control's form could not be created");
  // From here the form's IUnknown, IDispatch, failures and window messages
  // come to this object.
  form_->LinkControl(this);
  // Replaces what the form's description bound to the events it fires.
  form_->HookEvents();
}

void TActiveFormControl::FireDestroy() {
  if (form_) form_->FireDestroyOnce();
}

// ---- identity ----

HRESULT TActiveFormControl::QueryInterface(REFIID riid, void** ppv) {
  return outer_ ? outer_->QueryInterface(riid, ppv) : InnerQueryInterface(riid, ppv);
}
ULONG TActiveFormControl::AddRef() { return outer_ ? outer_->AddRef() : InnerAddRef(); }
ULONG TActiveFormControl::Release() { return outer_ ? outer_->Release() : InnerRelease(); }

HRESULT TActiveFormControl::TInner::QueryInterface(REFIID riid, void** ppv) {
  return owner_.InnerQueryInterface(riid, ppv);
}
ULONG TActiveFormControl::TInner::AddRef() { return owner_.InnerAddRef(); }
ULONG TActiveFormControl::TInner::Release() { return owner_.InnerRelease(); }

HRESULT TActiveFormControl::InnerQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = outer_ ? static_cast<IUnknown*>(&inner_) : Identity();
    InnerAddRef();
    return S_OK;
  }
  // The form first: its dual interface also answers IDispatch, so a host
  // asking for IDispatch gets the form's interface, which comes back here.
  void* found = form_ ? form_->FormInterface(riid) : nullptr;
  if (!found) found = OwnInterface(riid);
  if (!found) return E_NOINTERFACE;
  *ppv = found;
  AddRef();
  return S_OK;
}

ULONG TActiveFormControl::InnerAddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG TActiveFormControl::InnerRelease() {
  const LONG left = InterlockedDecrement(&refCount_);
  if (left == 0) {
    // A sink told of the end may take and drop references; they must not
    // bring the count to zero a second time.
    refCount_ = 1;
    delete this;
  }
  return static_cast<ULONG>(left);
}

void* TActiveFormControl::OwnInterface(REFIID riid) {
  if (riid == IID_IDispatch) return static_cast<IDispatch*>(this);
  if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
  if (riid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
  if (riid == IID_IOleObject) return static_cast<IOleObject*>(this);
  if (riid == IID_IOleControl) return static_cast<IOleControl*>(this);
  if (riid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
  if (riid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
  if (riid == IID_IViewObject) return static_cast<IViewObject*>(static_cast<IViewObject2*>(this));
  if (riid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
  if (riid == IID_IDataObject) return static_cast<IDataObject*>(this);
  if (riid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
  if (riid == IID_IPersistStorage) return static_cast<IPersistStorage*>(this);
  if (riid == IID_IPersistPropertyBag) return static_cast<IPersistPropertyBag*>(this);
  if (riid == IID_IQuickActivate) return static_cast<IQuickActivate*>(this);
  if (riid == IID_ISpecifyPropertyPages) return static_cast<ISpecifyPropertyPages*>(this);
  if (riid == IID_IPerPropertyBrowsing) return static_cast<IPerPropertyBrowsing*>(this);
  if (riid == IID_ISimpleFrameSite) return static_cast<ISimpleFrameSite*>(this);
  if (riid == IID_IObjectSafety) return static_cast<IObjectSafety*>(this);
  if (riid == IID_IConnectionPointContainer) return static_cast<IConnectionPointContainer*>(this);
  return nullptr;
}

// ---- IDispatch ----

HRESULT TActiveFormControl::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT TActiveFormControl::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  if (iTInfo != 0) return DISP_E_BADINDEX;
  if (!info_.DispatchTypeInfo) return E_UNEXPECTED;
  info_.DispatchTypeInfo->AddRef();
  *ppTInfo = info_.DispatchTypeInfo;
  return S_OK;
}

HRESULT TActiveFormControl::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!info_.DispatchTypeInfo) return E_UNEXPECTED;
  return DispGetIDsOfNames(info_.DispatchTypeInfo, rgszNames, cNames, rgDispId);
}

HRESULT TActiveFormControl::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  void* instance = form_ ? form_->FormInterface(info_.DispatchIID) : nullptr;
  if (!instance || !info_.DispatchTypeInfo) return E_UNEXPECTED;
  // Either form of a property put reaches whichever of put and put-by-reference
  // the member has (Font has both).
  if (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    wFlags |= DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
  }
  // The member may release the last reference of the host's (an event sink
  // that lets go of the control); the call must finish on a whole object.
  AddRef();
  const HRESULT hr =
      info_.DispatchTypeInfo->Invoke(instance, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  Release();
  return hr;
}

// ---- error and class information ----

HRESULT TActiveFormControl::InterfaceSupportsErrorInfo(REFIID riid) {
  // Only this object's own interfaces: the form's dual interface answers S_FALSE.
  if (IsEqualIID(riid, IID_IUnknown) || OwnInterface(riid)) return S_OK;
  return S_FALSE;
}

HRESULT TActiveFormControl::GetClassInfo(ITypeInfo** ppTI) {
  if (!ppTI) return E_POINTER;
  *ppTI = nullptr;
  if (!info_.ClassTypeInfo) return E_UNEXPECTED;
  info_.ClassTypeInfo->AddRef();
  *ppTI = info_.ClassTypeInfo;
  return S_OK;
}

HRESULT TActiveFormControl::MemberFailure(const std::string& message, DWORD helpContext, HRESULT comError) const {
  return SetMemberErrorInfo(info_.DispatchIID, info_.ProgID, message, helpContext, comError);
}

// ---- connection points ----

HRESULT TActiveFormControl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  return NewConnectionPointEnum({eventPoint_.get(), propertyNotifyPoint_.get()}, ppEnum);
}

HRESULT TActiveFormControl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  for (TConnectionPoint* point : {eventPoint_.get(), propertyNotifyPoint_.get()}) {
    if (point && IsEqualIID(point->Iid(), riid)) {
      point->AddRef();
      *ppCP = point;
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT TActiveFormControl::AdviseEventSink(IUnknown* sink, DWORD* cookie) {
  if (!eventPoint_) return E_UNEXPECTED;
  return eventPoint_->Advise(sink, cookie);
}

HRESULT TActiveFormControl::AdvisePropertyNotifySink(IUnknown* sink, DWORD* cookie) {
  if (!propertyNotifyPoint_) return E_UNEXPECTED;
  return propertyNotifyPoint_->Advise(sink, cookie);
}

void TActiveFormControl::PropertyChanged(DISPID dispID) {
  if (!propertyNotifyPoint_) return;
  const std::vector<IUnknown*> sinks = propertyNotifyPoint_->Sinks();
  // Held across the calls: a sink may disconnect itself or another one.
  for (IUnknown* sink : sinks) sink->AddRef();
  for (IUnknown* sink : sinks) static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispID);
  for (IUnknown* sink : sinks) sink->Release();
}

void TActiveFormControl::EventSinkChanged(IUnknown* sink) {
  if (!form_) return;
  if (!sink) {
    form_->SetEventSink(nullptr);
    return;
  }
  // The point holds the sink as the event interface, a dispatch interface.
  IDispatch* silenced = NewDispatchSilencer(static_cast<IDispatch*>(sink), info_.EventIID);
  try {
    form_->SetEventSink(silenced);
  } catch (...) {
    silenced->Release();
    throw;
  }
  silenced->Release();
}

// ---- property pages and browsing ----

HRESULT TActiveFormControl::GetPages(CAUUID* pPages) {
  if (!pPages) return E_POINTER;
  // No property pages: an empty list, so a request to show them shows nothing.
  pPages->cElems = 0;
  pPages->pElems = nullptr;
  return S_OK;
}

HRESULT TActiveFormControl::GetDisplayString(DISPID, BSTR* pBstr) {
  if (!pBstr) return E_POINTER;
  *pBstr = nullptr;
  // The host shows the value itself.
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::MapPropertyToPage(DISPID, CLSID* pClsid) {
  if (!pClsid) return E_POINTER;
  *pClsid = CLSID_NULL;
  return PERPROP_E_NOPAGEAVAILABLE;
}

HRESULT TActiveFormControl::GetPredefinedStrings(DISPID, CALPOLESTR* pCaStringsOut, CADWORD* pCaCookiesOut) {
  if (!pCaStringsOut || !pCaCookiesOut) return E_POINTER;
  *pCaStringsOut = CALPOLESTR{0, nullptr};
  *pCaCookiesOut = CADWORD{0, nullptr};
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::GetPredefinedValue(DISPID, DWORD, VARIANT* pVarOut) {
  if (!pVarOut) return E_POINTER;
  return E_NOTIMPL;
}

// ---- simple frame ----

HRESULT TActiveFormControl::PreMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT* plResult, DWORD* pdwCookie) {
  // Nothing is filtered: every message goes on to its window.
  if (plResult) *plResult = 0;
  if (pdwCookie) *pdwCookie = 0;
  return S_OK;
}

HRESULT TActiveFormControl::PostMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT* plResult, DWORD) {
  if (plResult) *plResult = 0;
  return S_OK;
}

// ---- safety ----

HRESULT TActiveFormControl::GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                      DWORD* pdwEnabledOptions) {
  if (!pdwSupportedOptions || !pdwEnabledOptions) return E_POINTER;
  *pdwSupportedOptions = 0;
  *pdwEnabledOptions = 0;
  void* probe = nullptr;
  if (FAILED(QueryInterface(riid, &probe)) || !probe) return E_NOINTERFACE;
  static_cast<IUnknown*>(probe)->Release();
  *pdwSupportedOptions = kSafetyOptions;
  *pdwEnabledOptions = safetyEnabled_;
  return S_OK;
}

HRESULT TActiveFormControl::SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask, DWORD dwEnabledOptions) {
  void* probe = nullptr;
  if (FAILED(QueryInterface(riid, &probe)) || !probe) return E_NOINTERFACE;
  static_cast<IUnknown*>(probe)->Release();
  // An option the control cannot honour must not be reported as set.
  if (dwOptionSetMask & ~kSafetyOptions) return E_FAIL;
  safetyEnabled_ = (safetyEnabled_ & ~dwOptionSetMask) | (dwEnabledOptions & dwOptionSetMask);
  return S_OK;
}
