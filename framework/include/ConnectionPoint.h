// One connection point of a control: the sinks of one outgoing interface,
// each under the cookie Advise answered (its position in the list plus 1).
// A single-sink point refuses a second sink while one is connected.
//
// The point lives inside its container and shares the container's reference
// count, so a host holding the point keeps the whole control alive.
#pragma once

#include <functional>
#include <vector>

#include <ocidl.h>

class TConnectionPoint final : public IConnectionPoint {
 public:
  enum TKind { ckSingle, ckMulti };
  // Told after every connection and disconnection: the new sink as the
  // point's interface, or null after a disconnection. It may raise, and
  // Advise then takes the connection back and answers E_UNEXPECTED.
  using TSinkChanged = std::function<void(IUnknown* sink)>;

  // container: the control's identity, whose reference count the point uses.
  TConnectionPoint(IConnectionPointContainer& container, REFIID iid, TKind kind, HRESULT adviseLimit,
                   TSinkChanged changed = {});
  ~TConnectionPoint();
  TConnectionPoint(const TConnectionPoint&) = delete;
  TConnectionPoint& operator=(const TConnectionPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  // adviseLimit when a single-sink point has its sink; the sink's own answer
  // (E_NOINTERFACE) when it does not answer the point's interface; E_POINTER
  // for null arguments. Nothing changes on failure.
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
  // CONNECT_E_NOCONNECTION for a cookie that names no connected sink.
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  REFIID Iid() const { return iid_; }
  // The connected sinks as the point's interface (no references added), in
  // cookie order; a copy, so a sink may disconnect while the caller walks it.
  std::vector<IUnknown*> Sinks() const;

 private:
  IConnectionPointContainer& container_;
  IID iid_;
  TKind kind_;
  HRESULT adviseLimit_;
  TSinkChanged changed_;
  std::vector<IUnknown*> sinks_;  // null where a sink was disconnected
};

// Enumerates connection points for IConnectionPointContainer.
HRESULT NewConnectionPointEnum(const std::vector<IConnectionPoint*>& points, IEnumConnectionPoints** ppEnum);
