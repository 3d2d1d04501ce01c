#include "EventSink.h"

#include "DispatchByName.h"
#include "ocidl.h"

namespace qorv::tools {

HRESULT STDMETHODCALLTYPE TEventSink::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IDispatch && riid != events_) return E_NOINTERFACE;
  *ppv = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TEventSink::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE TEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE TEventSink::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams, VARIANT*,
                                             EXCEPINFO*, UINT*) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (onEvent_) onEvent_(dispIdMember, pDispParams ? *pDispParams : none);
  return S_OK;
}

namespace {

IConnectionPoint* FindPoint(IUnknown* object, REFIID events) {
  IConnectionPointContainer* container = nullptr;
  HRESULT hr = object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
  if (FAILED(hr)) throw EDispatchError("the object has no connection points", hr);
  IConnectionPoint* point = nullptr;
  hr = container->FindConnectionPoint(events, &point);
  container->Release();
  if (FAILED(hr)) throw EDispatchError("the object has no such event interface", hr);
  return point;
}

}  // namespace

DWORD ConnectEvents(IUnknown* object, REFIID events, IDispatch* sink) {
  IConnectionPoint* point = FindPoint(object, events);
  DWORD cookie = 0;
  const HRESULT hr = point->Advise(sink, &cookie);
  point->Release();
  if (FAILED(hr)) throw EDispatchError("the event sink was refused", hr);
  return cookie;
}

void DisconnectEvents(IUnknown* object, REFIID events, DWORD cookie) {
  IConnectionPoint* point = FindPoint(object, events);
  const HRESULT hr = point->Unadvise(cookie);
  point->Release();
  if (FAILED(hr)) throw EDispatchError("the event sink could not be disconnected", hr);
}

}  // namespace qorv::tools
