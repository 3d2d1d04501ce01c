// External locks: strong references that COM holds for a caller (a server's
// LockServer, say) until the caller lets them go. Each object's locks are
// counted, so an unlock without a lock releases nothing it does not own.
#include <map>
#include <mutex>

#include "NoThrow.h"
#include "objbase.h"

namespace {

struct ExternalLocks {
  std::mutex Lock;
  std::map<IUnknown*, unsigned> Counts;
};

ExternalLocks& Locks() {
  static ExternalLocks* locks = new ExternalLocks;  // may be used from static destructors
  return *locks;
}

// Counts one lock more (true) or less; false when an unlock finds none.
bool CountLock(IUnknown* object, bool lock) {
  auto& locks = Locks();
  std::lock_guard guard(locks.Lock);
  if (lock) {
    ++locks.Counts[object];
    return true;
  }
  auto it = locks.Counts.find(object);
  if (it == locks.Counts.end()) return false;
  if (--it->second == 0) locks.Counts.erase(it);
  return true;
}

}  // namespace

HRESULT WINAPI CoLockObjectExternal(LPUNKNOWN pUnk, BOOL fLock, BOOL) {
  if (!pUnk) return E_INVALIDARG;
  return qorv::platform::Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    // Identity is the IUnknown pointer, so locks taken through different
    // interfaces of one object are counted together.
    IUnknown* identity = nullptr;
    if (FAILED(pUnk->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) return E_INVALIDARG;
    if (fLock) {
      CountLock(identity, true);
      return S_OK;  // the reference from QueryInterface is the lock's
    }
    identity->Release();
    // Released outside the lock: the last release may destroy the object,
    // whose destructor may call back in.
    if (CountLock(identity, false)) identity->Release();
    return S_OK;
  });
}
