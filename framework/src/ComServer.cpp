#include "ComServer.h"

#include <objbase.h>
#include <synch.h>

#include <exception>

#include "ActiveFormFactory.h"
#include "AnsiStrings.h"
#include "ComObj.h"

namespace {

// Module paths are at most this long, as the library asks for them.
constexpr DWORD kModulePathBuffer = 262;

std::u16string WideAnsi(const std::string& text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(length > 0 ? length : 0), u'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace

TComServer::TComServer(HMODULE module) : module_(module) {}

TComServer::~TComServer() {
  {
    std::unique_lock guard(factoriesLock_);
    factories_.clear();
  }
  if (typeLib_) typeLib_->Release();
}

std::string TComServer::ModuleFileName() const {
  char path[kModulePathBuffer];
  DWORD length = GetModuleFileNameA(module_, path, kModulePathBuffer);
  if (length == 0 || length >= kModulePathBuffer) throw EOleError("The library's file name cannot be found");
  return std::string(path, length);
}

ITypeLib* TComServer::TypeLib() {
  std::lock_guard guard(typeLibLock_);
  if (!typeLib_) {
    std::u16string path = WideAnsi(ModuleFileName());
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLib(path.c_str(), &library);
    if (FAILED(hr)) throw EOleSysError("Cannot load the type library of " + ModuleFileName(), hr);
    typeLib_ = library;
  }
  return typeLib_;
}

std::string TComServer::ServerName() {
  BSTR name = nullptr;
  HRESULT hr = TypeLib()->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
  if (FAILED(hr)) throw EOleSysError("Cannot read the type library's name", hr);
  std::string result = WideToAnsi(name);
  SysFreeString(name);
  return result;
}

void TComServer::AddFactory(std::unique_ptr<TActiveFormFactory> factory) {
  std::unique_lock guard(factoriesLock_);
  factories_.push_back(std::move(factory));
}

TActiveFormFactory* TComServer::FindFactory(REFCLSID clsid) const {
  std::shared_lock guard(factoriesLock_);
  for (const auto& factory : factories_) {
    if (factory->ClassID() == clsid) return factory.get();
  }
  return nullptr;
}

HRESULT TComServer::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  TActiveFormFactory* factory = FindFactory(clsid);
  if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

HRESULT TComServer::CanUnloadNow() const { return ObjectCount() == 0 && FactoryReferenceCount() == 0 ? S_OK : S_FALSE; }

HRESULT TComServer::RegisterServer() {
  try {
    std::string path = ModuleFileName();
    std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    std::u16string widePath = WideAnsi(path);
    std::u16string wideFolder = WideAnsi(folder);
    OleCheck(RegisterTypeLib(TypeLib(), widePath.c_str(), wideFolder.c_str()));
    std::shared_lock guard(factoriesLock_);
    for (const auto& factory : factories_) factory->UpdateRegistry(true);
    return S_OK;
  } catch (const std::exception&) {
    return E_FAIL;
  }
}

HRESULT TComServer::UnregisterServer() {
  try {
    UnregisterTypeLib();
    std::shared_lock guard(factoriesLock_);
    for (const auto& factory : factories_) factory->UpdateRegistry(false);
    return S_OK;
  } catch (const std::exception&) {
    return E_FAIL;
  }
}

// Looked up by name in the system's automation library, as a library built
// against an older system would; when it is missing the type library simply
// stays registered.
void TComServer::UnregisterTypeLib() {
  TLIBATTR* attr = nullptr;
  ITypeLib* library = TypeLib();
  OleCheck(library->GetLibAttr(&attr));
  TLIBATTR copy = *attr;
  library->ReleaseTLibAttr(attr);
  using UnRegisterTypeLibProc = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  HMODULE automation = GetModuleHandleA("OLEAUT32.DLL");
  auto unregister =
      automation ? reinterpret_cast<UnRegisterTypeLibProc>(GetProcAddress(automation, "UnRegisterTypeLib")) : nullptr;
  if (unregister) unregister(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

LONG TComServer::CountObject(bool up) { return up ? InterlockedIncrement(&objects_) : InterlockedDecrement(&objects_); }

LONG TComServer::CountFactoryReference(bool up) {
  return up ? InterlockedIncrement(&factoryReferences_) : InterlockedDecrement(&factoryReferences_);
}

LONG TComServer::ObjectCount() const { return InterlockedCompareExchange(const_cast<volatile LONG*>(&objects_), 0, 0); }

LONG TComServer::FactoryReferenceCount() const {
  return InterlockedCompareExchange(const_cast<volatile LONG*>(&factoryReferences_), 0, 0);
}
