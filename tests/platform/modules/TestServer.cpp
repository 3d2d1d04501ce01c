// The in-process test server: one class (TestObject) with its type library
// embedded as resource "TYPELIB" 1, and the four entry points of a server.
// Registration writes what a server of a control writes: the type library,
// CLSID\{clsid} with InprocServer32 (this module's path) and ProgID, and the
// ProgID's key.
#include <string>

#include "../ComTestSupport.h"
#include "TestObject.h"
#include "fileapi.h"
#include "winreg.h"

using namespace qorv::test;

namespace {

std::atomic<long> locks{0};

std::string ModulePath() {
  char path[1024];
  DWORD length = GetModuleFileNameA(qorv::platform::ModuleFromAddress(&ModulePath), path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

// The type library of this module, from its own path.
HRESULT LoadOwnTypeLib(ITypeLib** library) {
  std::u16string path = Wide(ModulePath());
  return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

// The type description of ITestObject, loaded on first use and kept while
// the module is loaded, as a server keeps its type library.
HRESULT LoadTypeInfo(ITypeInfo** info) {
  struct Kept {
    ITypeInfo* Info = nullptr;
    HRESULT Result = E_FAIL;
    Kept() {
      ITypeLib* library = nullptr;
      Result = LoadOwnTypeLib(&library);
      if (FAILED(Result)) return;
      Result = library->GetTypeInfoOfGuid(IID_ITestObject, &Info);
      library->Release();
    }
    ~Kept() {
      if (Info) Info->Release();
    }
  };
  static Kept kept;
  *info = kept.Info;
  if (kept.Info) kept.Info->AddRef();
  return kept.Result;
}

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
      *ppvObject = nullptr;
      return E_NOINTERFACE;
    }
    *ppvObject = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    ITypeInfo* info = nullptr;
    HRESULT hr = LoadTypeInfo(&info);
    if (FAILED(hr)) return hr;
    auto* object = new TestObject(info);
    info->Release();
    hr = object->QueryInterface(riid, ppvObject);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    locks += lock ? 1 : -1;
    return S_OK;
  }

  static std::atomic<long> Live;
  Factory() { ++Live; }

 private:
  ~Factory() { --Live; }
  std::atomic<ULONG> refs_{1};
};

std::atomic<long> Factory::Live{0};

bool SetDefault(const std::string& key, const std::string& value, const char* name = nullptr) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG result = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

}  // namespace

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_TestObject) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new Factory;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

extern "C" HRESULT DllCanUnloadNow() {
  return TestObject::Live == 0 && Factory::Live == 0 && locks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT DllRegisterServer() {
  ITypeLib* library = nullptr;
  if (FAILED(LoadOwnTypeLib(&library))) return SELFREG_E_TYPELIB;
  std::string path = ModulePath();
  std::u16string widePath = Wide(path);
  std::string folder = path.substr(0, path.find_last_of("\\/") + 1);
  std::u16string wideFolder = Wide(folder);
  HRESULT hr = RegisterTypeLib(library, widePath.c_str(), wideFolder.c_str());
  library->Release();
  if (FAILED(hr)) return SELFREG_E_TYPELIB;
  std::string clsid = std::string("CLSID\\") + kTestClsidText;
  bool ok = SetDefault(clsid, "Test Object") && SetDefault(clsid + "\\InprocServer32", path) &&
            SetDefault(clsid + "\\InprocServer32", "Apartment", "ThreadingModel") &&
            SetDefault(clsid + "\\ProgID", kTestProgId) && SetDefault(kTestProgId, "Test Object") &&
            SetDefault(std::string(kTestProgId) + "\\Clsid", kTestClsidText);
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT DllUnregisterServer() {
  UnRegisterTypeLib(kTestLibId, 1, 2, 0x0409, SYS_WIN32);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kTestClsidText).c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kTestProgId);
  return S_OK;
}
