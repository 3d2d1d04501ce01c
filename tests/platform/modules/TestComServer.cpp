// A minimal in-process server. DllCanUnloadNow answers S_OK only while no
// object is alive and no LockServer lock is held.
#include <atomic>
#include <new>

#include "TestComServer.h"

namespace {

std::atomic<LONG> liveObjects{0};
std::atomic<LONG> serverLocks{0};

class TCounter final : public ITestCounter {
 public:
  TCounter() { ++liveObjects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITestCounter) {
      *ppv = static_cast<ITestCounter*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Add(LONG amount, LONG* total) override {
    if (!total) return E_POINTER;
    *total = count_ += amount;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LiveObjects(LONG* count) override {
    if (!count) return E_POINTER;
    *count = liveObjects;
    return S_OK;
  }

 private:
  ~TCounter() { --liveObjects; }

  std::atomic<ULONG> references_{1};
  LONG count_ = 0;
};

// The factory is a static object: its references do not keep the server.
class TCounterFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* counter = new (std::nothrow) TCounter;
    if (!counter) return E_OUTOFMEMORY;
    HRESULT hr = counter->QueryInterface(riid, ppv);
    counter->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    serverLocks += lock ? 1 : -1;
    return S_OK;
  }
};

TCounterFactory factory;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (rclsid != CLSID_QorvTestCounter) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}
