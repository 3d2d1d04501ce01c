#include "PropertyNotifyPoint.h"

namespace qorv::platform {

TPropertyNotifyPoint::~TPropertyNotifyPoint() {
  for (IPropertyNotifySink* sink : sinks_) {
    if (sink) sink->Release();
  }
}

HRESULT STDMETHODCALLTYPE TPropertyNotifyPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid != IID_IUnknown && riid != IID_IConnectionPoint) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TPropertyNotifyPoint::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = IID_IPropertyNotifySink;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TPropertyNotifyPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  *ppCPC = &owner_;
  owner_.AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TPropertyNotifyPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  if (!pUnkSink) return E_POINTER;
  void* sink = nullptr;
  if (FAILED(pUnkSink->QueryInterface(IID_IPropertyNotifySink, &sink)) || !sink) return CONNECT_E_CANNOTCONNECT;
  try {
    std::size_t slot = 0;
    while (slot < sinks_.size() && sinks_[slot]) ++slot;
    if (slot == sinks_.size()) sinks_.push_back(nullptr);
    sinks_[slot] = static_cast<IPropertyNotifySink*>(sink);
    *pdwCookie = static_cast<DWORD>(slot + 1);
    return S_OK;
  } catch (...) {
    static_cast<IPropertyNotifySink*>(sink)->Release();
    return E_OUTOFMEMORY;
  }
}

HRESULT STDMETHODCALLTYPE TPropertyNotifyPoint::Unadvise(DWORD dwCookie) {
  if (dwCookie == 0 || dwCookie > sinks_.size() || !sinks_[dwCookie - 1]) return CONNECT_E_NOCONNECTION;
  IPropertyNotifySink* sink = sinks_[dwCookie - 1];
  sinks_[dwCookie - 1] = nullptr;
  sink->Release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TPropertyNotifyPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  return E_NOTIMPL;
}

void TPropertyNotifyPoint::Changed(DISPID dispID) {
  // A snapshot with references of its own: a sink that disconnects itself
  // (or another) while being told must not be released under the call.
  std::vector<IPropertyNotifySink*> told;
  try {
    for (IPropertyNotifySink* sink : sinks_) {
      if (!sink) continue;
      told.push_back(sink);
      sink->AddRef();
    }
  } catch (...) {
    // Out of memory: those gathered so far are still told.
  }
  for (IPropertyNotifySink* sink : told) {
    sink->OnChanged(dispID);
    sink->Release();
  }
}

}  // namespace qorv::platform
