// A connection point for IPropertyNotifySink sinks, owned by the object whose
// property changes it reports. It shares its owner's lifetime: AddRef and
// Release go to the owner, so a host holding the point keeps the owner alive.
#pragma once

#include <vector>

#include "ocidl.h"

namespace qorv::platform {

class TPropertyNotifyPoint final : public IConnectionPoint {
 public:
  explicit TPropertyNotifyPoint(IConnectionPointContainer& owner) : owner_(owner) {}
  ~TPropertyNotifyPoint();
  TPropertyNotifyPoint(const TPropertyNotifyPoint&) = delete;
  TPropertyNotifyPoint& operator=(const TPropertyNotifyPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  // CONNECT_E_CANNOTCONNECT for a sink that is not an IPropertyNotifySink;
  // the cookie is the sink's position plus 1 (a freed position is reused).
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  // CONNECT_E_NOCONNECTION for a cookie no connected sink holds.
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  // Tells every connected sink; a sink may connect or disconnect sinks while
  // it is told, and those connected then hear of the next change only.
  void Changed(DISPID dispID);

 private:
  IConnectionPointContainer& owner_;
  std::vector<IPropertyNotifySink*> sinks_;  // null where a sink left
};

}  // namespace qorv::platform
