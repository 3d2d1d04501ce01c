#include "ConnectionPoint.h"

#include <algorithm>
#include <new>
#include <utility>

#include <synch.h>

namespace {

// A snapshot enumerator: it owns one reference on each element it holds and
// hands the caller another with every Next.
template <class TEnum, class TItem, const IID& kIid>
class TSnapshotEnum final : public TEnum {
 public:
  explicit TSnapshotEnum(std::vector<TItem> items) : items_(std::move(items)) {
    for (TItem& item : items_) Unknown(item)->AddRef();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIid)) return E_NOINTERFACE;
    *ppv = static_cast<TEnum*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, TItem* out, ULONG* fetched) override {
    if (!out || (count != 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    while (given < count && next_ < items_.size()) {
      out[given] = items_[next_++];
      Unknown(out[given])->AddRef();
      ++given;
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = items_.size() - next_;
    next_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(TEnum** copy) override {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    auto* made = new (std::nothrow) TSnapshotEnum(items_);
    if (!made) return E_OUTOFMEMORY;
    made->next_ = next_;
    *copy = made;
    return S_OK;
  }

 private:
  ~TSnapshotEnum() {
    for (TItem& item : items_) Unknown(item)->Release();
  }
  static IUnknown* Unknown(IConnectionPoint* point) { return point; }
  static IUnknown* Unknown(const CONNECTDATA& data) { return data.pUnk; }

  std::vector<TItem> items_;
  std::size_t next_ = 0;
  volatile LONG refs_ = 1;
};

using TConnectionsEnum = TSnapshotEnum<IEnumConnections, CONNECTDATA, IID_IEnumConnections>;
using TPointsEnum = TSnapshotEnum<IEnumConnectionPoints, IConnectionPoint*, IID_IEnumConnectionPoints>;

}  // namespace

TConnectionPoint::TConnectionPoint(IConnectionPointContainer& container, REFIID iid, TKind kind, HRESULT adviseLimit,
                                   TSinkChanged changed)
    : container_(container), iid_(iid), kind_(kind), adviseLimit_(adviseLimit), changed_(std::move(changed)) {}

TConnectionPoint::~TConnectionPoint() {
  for (IUnknown* sink : sinks_) {
    if (sink) sink->Release();
  }
}

HRESULT TConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint)) return E_NOINTERFACE;
  *ppv = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

ULONG TConnectionPoint::AddRef() { return container_.AddRef(); }
ULONG TConnectionPoint::Release() { return container_.Release(); }

HRESULT TConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (!pIID) return E_POINTER;
  *pIID = iid_;
  return S_OK;
}

HRESULT TConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (!ppCPC) return E_POINTER;
  container_.AddRef();
  *ppCPC = &container_;
  return S_OK;
}

HRESULT TConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  if (!pdwCookie) return E_POINTER;
  *pdwCookie = 0;
  if (!pUnkSink) return E_POINTER;
  if (kind_ == ckSingle && std::any_of(sinks_.begin(), sinks_.end(), [](IUnknown* s) { return s != nullptr; })) {
    return adviseLimit_;
  }
  void* asked = nullptr;
  const HRESULT hr = pUnkSink->QueryInterface(iid_, &asked);
  if (FAILED(hr) || !asked) return FAILED(hr) ? hr : E_NOINTERFACE;
  auto* sink = static_cast<IUnknown*>(asked);
  // Position in the list plus 1; a disconnected sink's place is used again.
  std::size_t position = static_cast<std::size_t>(std::find(sinks_.begin(), sinks_.end(), nullptr) - sinks_.begin());
  if (position == sinks_.size()) sinks_.push_back(nullptr);
  sinks_[position] = sink;
  if (changed_) {
    try {
      changed_(sink);
    } catch (...) {
      sinks_[position] = nullptr;
      sink->Release();
      return E_UNEXPECTED;
    }
  }
  *pdwCookie = static_cast<DWORD>(position + 1);
  return S_OK;
}

HRESULT TConnectionPoint::Unadvise(DWORD dwCookie) {
  if (dwCookie == 0 || dwCookie > sinks_.size() || !sinks_[dwCookie - 1]) return CONNECT_E_NOCONNECTION;
  IUnknown* sink = std::exchange(sinks_[dwCookie - 1], nullptr);
  while (!sinks_.empty() && !sinks_.back()) sinks_.pop_back();
  if (changed_) {
    try {
      changed_(nullptr);
    } catch (...) {
      // The sink is disconnected whatever its holder made of the news.
    }
  }
  sink->Release();
  return S_OK;
}

HRESULT TConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  std::vector<CONNECTDATA> connections;
  for (std::size_t i = 0; i < sinks_.size(); ++i) {
    if (sinks_[i]) connections.push_back(CONNECTDATA{sinks_[i], static_cast<DWORD>(i + 1)});
  }
  auto* made = new (std::nothrow) TConnectionsEnum(std::move(connections));
  if (!made) return E_OUTOFMEMORY;
  *ppEnum = made;
  return S_OK;
}

std::vector<IUnknown*> TConnectionPoint::Sinks() const {
  std::vector<IUnknown*> connected;
  for (IUnknown* sink : sinks_) {
    if (sink) connected.push_back(sink);
  }
  return connected;
}

HRESULT NewConnectionPointEnum(const std::vector<IConnectionPoint*>& points, IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  *ppEnum = nullptr;
  std::vector<IConnectionPoint*> present;
  for (IConnectionPoint* point : points) {
    if (point) present.push_back(point);
  }
  auto* made = new (std::nothrow) TPointsEnum(std::move(present));
  if (!made) return E_OUTOFMEMORY;
  *ppEnum = made;
  return S_OK;
}
