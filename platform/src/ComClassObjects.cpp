// Finding a class object: classes the platform serves itself first, then the
// in-process server the registry names for the class.
#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

#include "ComRuntime.h"
#include "NoThrow.h"

namespace qorv::platform {

namespace {

struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

// The factories of built-in classes, each holding one reference for the
// process's lifetime (built-ins are part of the platform and never unload).
struct BuiltinClasses {
  std::mutex Lock;
  std::map<CLSID, IClassFactory*, GuidLess> Factories;
};

BuiltinClasses& Builtins() {
  static BuiltinClasses* builtins = new BuiltinClasses;  // may be used from static destructors
  return *builtins;
}

// True when an InprocServer32 value names the platform library, in any
// folder and any case.
bool NamesPlatformItself(const std::string& server) {
  auto slash = server.find_last_of("\\/");
  std::string file = slash == std::string::npos ? server : server.substr(slash + 1);
  const std::string platform = kBuiltinServerName;
  return file.size() == platform.size() && std::equal(file.begin(), file.end(), platform.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

}  // namespace

HRESULT RegisterBuiltinClass(REFCLSID clsid, IClassFactory* factory) {
  if (!factory) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    factory->AddRef();
    IClassFactory* replaced = nullptr;
    {
      auto& builtins = Builtins();
      std::lock_guard guard(builtins.Lock);
      auto [it, added] = builtins.Factories.emplace(clsid, factory);
      if (!added) {
        replaced = it->second;
        it->second = factory;
      }
    }
    // Outside the lock: the old factory's destructor may call back in.
    if (replaced) replaced->Release();
    return S_OK;
  });
}

HRESULT BuiltinClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  IClassFactory* factory = nullptr;
  {
    auto& builtins = Builtins();
    std::lock_guard guard(builtins.Lock);
    auto it = builtins.Factories.find(clsid);
    if (it == builtins.Factories.end()) return S_FALSE;
    factory = it->second;
    factory->AddRef();
  }
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

}  // namespace qorv::platform

using namespace qorv::platform;

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO*, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!ThreadInApartment()) return CO_E_NOTINITIALIZED;
  // Only in-process servers exist here; a class asked for in another context
  // alone has no server registered for it.
  if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    HRESULT hr = BuiltinClassObject(rclsid, riid, ppv);
    if (hr != S_FALSE) return hr;
    auto server = ClassesRootDefault("CLSID\\" + GuidToString(rclsid) + "\\InprocServer32");
    if (!server || server->empty()) return REGDB_E_CLASSNOTREG;
    // The platform's own entry for a class it does not (or no longer) serve:
    // the server is there but knows no such class.
    if (NamesPlatformItself(*server)) return CLASS_E_CLASSNOTAVAILABLE;
    return InprocServerClassObject(*server, rclsid, riid, ppv);
  });
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}
