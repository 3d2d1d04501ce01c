// TQorvX as a COM object: the IUnknown and IDispatch of IQorvX, the event
// firers that HookEvents binds, and the about box member.
#include <utility>

#include "About1.h"
#include "ActiveFormControl.h"
#include "DispatchSilencer.h"
#include "QorvImpl1.h"
#include "QorvMemberBoundary.h"

using namespace QorvProj1_TLB;

// ---- IUnknown and IDispatch ----

HRESULT TQorvX::QueryInterface(REFIID riid, void** ppv) {
  if (TActiveFormControl* control = Control()) return control->QueryInterface(riid, ppv);
  if (!ppv) return E_POINTER;
  *ppv = IsEqualIID(riid, IID_IUnknown) ? FormInterface(IID_IQorvX) : FormInterface(riid);
  return *ppv ? S_OK : E_NOINTERFACE;
}

ULONG TQorvX::AddRef() {
  TActiveFormControl* control = Control();
  return control ? control->AddRef() : 1;
}

ULONG TQorvX::Release() {
  TActiveFormControl* control = Control();
  return control ? control->Release() : 1;
}

HRESULT TQorvX::GetTypeInfoCount(UINT* pctinfo) {
  if (TActiveFormControl* control = Control()) return control->GetTypeInfoCount(pctinfo);
  if (!pctinfo) return E_POINTER;
  // A form on its own has no type description to offer.
  *pctinfo = 0;
  return S_OK;
}

HRESULT TQorvX::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  if (TActiveFormControl* control = Control()) return control->GetTypeInfo(iTInfo, lcid, ppTInfo);
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT TQorvX::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) {
  if (TActiveFormControl* control = Control()) return control->GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  return E_UNEXPECTED;
}

HRESULT TQorvX::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                       VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (TActiveFormControl* control = Control()) {
    return control->Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  }
  return E_UNEXPECTED;
}

void* TQorvX::FormInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IQorvX) || IsEqualIID(iid, IID_IDispatch)) return static_cast<IQorvX*>(this);
  return nullptr;
}

// ---- events ----

void TQorvX::SetEventSink(IUnknown* sink) {
  IQorvXEvents* next = nullptr;
  if (sink && (FAILED(sink->QueryInterface(DIID_IQorvXEvents, reinterpret_cast<void**>(&next))) || !next)) {
    throw Exception("The event sink does not answer IQorvXEvents");
  }
  if (IQorvXEvents* previous = std::exchange(EventSink, next)) previous->Release();
  TActiveForm::SetEventSink(sink);
}

void TQorvX::HookEvents() {
  OnActivate = [this](TObject*) { FireEvent(DISPID_QorvX_OnActivate); };
  OnClick = [this](TObject*) { FireEvent(DISPID_QorvX_OnClick); };
  OnCreate = [this](TObject*) { FireEvent(DISPID_QorvX_OnCreate); };
  OnDblClick = [this](TObject*) { FireEvent(DISPID_QorvX_OnDblClick); };
  OnDeactivate = [this](TObject*) { FireEvent(DISPID_QorvX_OnDeactivate); };
  OnDestroy = [this](TObject*) { FireEvent(DISPID_QorvX_OnDestroy); };
  OnKeyPress = [this](TObject*, char& key) { FireKeyPress(key); };
  OnPaint = [this](TObject*) { FireEvent(DISPID_QorvX_OnPaint); };
}

void TQorvX::UnhookEvents() {
  OnActivate = nullptr;
  OnClick = nullptr;
  OnCreate = nullptr;
  OnDblClick = nullptr;
  OnDeactivate = nullptr;
  OnDestroy = nullptr;
  OnKeyPress = nullptr;
  OnPaint = nullptr;
}

bool TQorvX::EventsHeld() {
  TActiveFormControl* control = Control();
  return control && control->EventsFrozen();
}

void TQorvX::FireEvent(DISPID dispid) {
  // Held for the call: a sink may disconnect itself inside its event.
  IQorvXEvents* sink = EventSink;
  if (!sink || EventsHeld()) return;
  sink->AddRef();
  FireSinkEvent(sink, dispid);
  sink->Release();
}

void TQorvX::FireKeyPress(char& key) {
  IQorvXEvents* sink = EventSink;
  if (!sink || EventsHeld()) return;
  sink->AddRef();
  FireSinkKeyEvent(sink, DISPID_QorvX_OnKeyPress, key);
  sink->Release();
}

// ---- the about box ----

HRESULT TQorvX::AboutBox() {
  return qorv::recorder::Guarded([] { ShowAboutBox(); });
}
