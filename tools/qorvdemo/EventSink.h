// An event sink as a script host connects one: an IDispatch that answers the
// control's event interface and hands each event's dispid and arguments to a
// callback. The host owns it; its reference count only tells the host when
// the control still holds it.
#pragma once

#include <atomic>
#include <functional>

#include "oaidl.h"

namespace qorv::tools {

class TEventSink final : public IDispatch {
 public:
  using TEvent = std::function<void(DISPID id, DISPPARAMS& params)>;
  TEventSink(REFIID events, TEvent onEvent) : events_(events), onEvent_(std::move(onEvent)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // References others hold (the host's own is not counted).
  ULONG HeldByOthers() const { return references_ - 1; }

 private:
  IID events_;
  TEvent onEvent_;
  std::atomic<ULONG> references_{1};
};

// Connects the sink to the object's connection point for `events`; answers
// the cookie. Raises EDispatchError when the object refuses.
DWORD ConnectEvents(IUnknown* object, REFIID events, IDispatch* sink);
void DisconnectEvents(IUnknown* object, REFIID events, DWORD cookie);

}  // namespace qorv::tools
