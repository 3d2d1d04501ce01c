// The server side of an in-process COM library: the class factories it made
// when it loaded, found by class identifier, its embedded type library, and
// the two counters that decide when the library may be unloaded.
//
// Threads: the entry points may be called from any thread. The factory list
// is guarded by a lock that admits many readers or one writer; the counters
// change only through interlocked operations; the type library is loaded
// once under its own lock.
#pragma once

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include <oleauto.h>

class TActiveFormFactory;

class TComServer {
 public:
  // `module` is the library's own module, whose path the type library is
  // loaded from and registration writes.
  explicit TComServer(HMODULE module);
  ~TComServer();
  TComServer(const TComServer&) = delete;
  TComServer& operator=(const TComServer&) = delete;

  // The library's full path, as GetModuleFileNameA gives it; raises EOleError
  // when the module has none.
  std::string ModuleFileName() const;
  // The type library embedded in the library, loaded from its own path at
  // first use and kept; raises EOleSysError when it cannot be loaded. The
  // server keeps the reference.
  ITypeLib* TypeLib();
  // The type library's name ("QorvProj1"), which prefixes every ProgID.
  std::string ServerName();

  // Takes a factory into the list that GetClassObject searches.
  void AddFactory(std::unique_ptr<TActiveFormFactory> factory);
  // The factory of the class, or null.
  TActiveFormFactory* FindFactory(REFCLSID clsid) const;

  // DllGetClassObject.
  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);
  // DllCanUnloadNow: S_OK when no control object, lock or factory reference
  // is left.
  HRESULT CanUnloadNow() const;
  // DllRegisterServer and DllUnregisterServer: S_OK or E_FAIL.
  HRESULT RegisterServer();
  HRESULT UnregisterServer();

  // Live objects: control objects plus LockServer locks.
  volatile LONG* LiveObjectCounter() { return &objects_; }
  LONG CountObject(bool up);
  // References to the class factories.
  LONG CountFactoryReference(bool up);
  LONG ObjectCount() const;
  LONG FactoryReferenceCount() const;

 private:
  void UnregisterTypeLib();

  HMODULE module_;
  mutable std::shared_mutex factoriesLock_;
  std::vector<std::unique_ptr<TActiveFormFactory>> factories_;
  std::mutex typeLibLock_;
  ITypeLib* typeLib_ = nullptr;
  volatile LONG objects_ = 0;
  volatile LONG factoryReferences_ = 0;
};
