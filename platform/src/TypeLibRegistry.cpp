// Type libraries in the registry: RegisterTypeLib, UnRegisterTypeLib,
// LoadRegTypeLib and QueryPathOfRegTypeLib, with the entries Windows writes:
//
//   HKCR\TypeLib\{LIBID}\<major>.<minor>           default: the help string (else the name)
//   HKCR\TypeLib\{LIBID}\<major>.<minor>\FLAGS     default: the library flags, in decimal
//   HKCR\TypeLib\{LIBID}\<major>.<minor>\HELPDIR   default: the help folder ("" when none)
//   HKCR\TypeLib\{LIBID}\<major>.<minor>\<lcid>\win32   default: the library's path
//   HKCR\Interface\{IID}                           default: the interface's name
//   HKCR\Interface\{IID}\ProxyStubClsid, ProxyStubClsid32   default: the marshaller's CLSID
//   HKCR\Interface\{IID}\TypeLib                   default: {LIBID}, value Version = "<major>.<minor>"
//
// Versions and the locale are written in hexadecimal without leading zeros,
// as Windows writes them ("1.0", "0", "409"). Interfaces are registered for
// every dispinterface (marshalled by IDispatch's marshaller
// {00020420-0000-0000-C000-000000000046}) and every dual or OLE automation
// interface ({00020424-0000-0000-C000-000000000046}).
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "NoThrow.h"
#include "TypeLibLoad.h"
#include "TypeLibObjects.h"
#include "codepage.h"
#include "winreg.h"

namespace qorv::platform::typelib {

namespace {

constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";
constexpr const char* kAutomationMarshaller = "{00020424-0000-0000-C000-000000000046}";

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

std::string VersionText(WORD major, WORD minor) { return Hex(major) + "." + Hex(minor); }

const char* SysKindName(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16: return "win16";
    case SYS_MAC: return "mac";
    case SYS_WIN64: return "win64";
    default: return "win32";
  }
}

std::string Narrow(const std::u16string& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(std::max(size, 0)), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
  }
  return result;
}

std::u16string FromBstr(BSTR text) { return text ? std::u16string(text, SysStringLen(text)) : std::u16string(); }

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool Create(HKEY parent, const std::string& path) {
    return RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) ==
           ERROR_SUCCESS;
  }
  bool Open(HKEY parent, const std::string& path) {
    return RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key_) == ERROR_SUCCESS;
  }
  bool Set(const char* name, const std::string& value) {
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }
  std::optional<std::string> Get(const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
      return std::nullopt;
    }
    std::string value(size, '\0');
    if (RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    value.resize(size);
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
  }
  std::vector<std::string> SubKeys() {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
      char name[256];
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.emplace_back(name, length);
    }
    return names;
  }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A key with its default value (and the keys on the way).
bool SetDefault(const std::string& path, const std::string& value) {
  Key key;
  return key.Create(HKEY_CLASSES_ROOT, path) && key.Set(nullptr, value);
}

bool IsRegisteredInterface(const TYPEATTR& attr) {
  if (attr.typekind == TKIND_DISPATCH) return true;
  return attr.typekind == TKIND_INTERFACE && (attr.wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION));
}

HRESULT RegisterInterfaces(ITypeLib* library, const std::string& libId, const std::string& version) {
  for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(library->GetTypeInfo(i, &info))) continue;
    TYPEATTR* attr = nullptr;
    BSTR name = nullptr;
    bool ok = true;
    if (SUCCEEDED(info->GetTypeAttr(&attr)) && IsRegisteredInterface(*attr)) {
      info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
      bool plainDispatch = attr->typekind == TKIND_DISPATCH && !(attr->wTypeFlags & TYPEFLAG_FDUAL);
      std::string marshaller = plainDispatch ? kDispatchMarshaller : kAutomationMarshaller;
      std::string key = "Interface\\" + GuidText(attr->guid);
      Key typeLib;
      ok = SetDefault(key, Narrow(FromBstr(name))) && SetDefault(key + "\\ProxyStubClsid", marshaller) &&
           SetDefault(key + "\\ProxyStubClsid32", marshaller) && typeLib.Create(HKEY_CLASSES_ROOT, key + "\\TypeLib") &&
           typeLib.Set(nullptr, libId) && typeLib.Set("Version", version);
    }
    if (attr) info->ReleaseTypeAttr(attr);
    SysFreeString(name);
    info->Release();
    if (!ok) return TYPE_E_REGISTRYACCESS;
  }
  return S_OK;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Deletes a key and what lies below it; false when it was not there.
bool DeleteTree(const std::string& path) {
  Key key;
  if (!key.Open(HKEY_CLASSES_ROOT, path)) return false;
  return RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS;
}

bool IsEmptyKey(const std::string& path) {
  Key key;
  if (!key.Open(HKEY_CLASSES_ROOT, path)) return false;
  DWORD subKeys = 0;
  DWORD values = 0;
  return RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS &&
         subKeys == 0 && values == 0;
}

// The interfaces a library registered, removed where they still name it.
void UnregisterInterfaces(ITypeLib* library, const std::string& libId) {
  for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(library->GetTypeInfo(i, &info))) continue;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr)) && IsRegisteredInterface(*attr)) {
      std::string key = "Interface\\" + GuidText(attr->guid);
      Key typeLib;
      if (typeLib.Open(HKEY_CLASSES_ROOT, key + "\\TypeLib")) {
        auto owner = typeLib.Get(nullptr);
        if (owner && SameText(*owner, libId)) DeleteTree(key);
      }
    }
    if (attr) info->ReleaseTypeAttr(attr);
    info->Release();
  }
}

// The registered version key of a library: the exact version, else the
// highest minor one of the same major version above the one asked for.
std::optional<std::string> FindVersion(const GUID& libId, WORD major, WORD minor) {
  Key lib;
  if (!lib.Open(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidText(libId))) return std::nullopt;
  std::optional<std::string> best;
  long bestMinor = -1;
  for (const auto& name : lib.SubKeys()) {
    unsigned keyMajor = 0;
    unsigned keyMinor = 0;
    char end = 0;
    if (std::sscanf(name.c_str(), "%x.%x%c", &keyMajor, &keyMinor, &end) != 2 || keyMajor != major) continue;
    if (keyMinor < minor || static_cast<long>(keyMinor) <= bestMinor) continue;
    best = name;
    bestMinor = keyMinor;
  }
  return best;
}

// The registered path for a locale: the exact locale, its language
// without sublanguage, then the neutral one; win32 or win64 under it.
std::optional<std::string> FindPath(const GUID& libId, WORD major, WORD minor, LCID lcid) {
  auto version = FindVersion(libId, major, minor);
  if (!version) return std::nullopt;
  std::string base = "TypeLib\\" + GuidText(libId) + "\\" + *version + "\\";
  for (unsigned locale : {static_cast<unsigned>(lcid), static_cast<unsigned>(lcid & 0x3FF), 0u}) {
    for (const char* kind : {"win32", "win64"}) {
      Key key;
      if (!key.Open(HKEY_CLASSES_ROOT, base + Hex(locale) + "\\" + kind)) continue;
      auto path = key.Get(nullptr);
      if (path && !path->empty()) return path;
    }
  }
  return std::nullopt;
}

}  // namespace

}  // namespace qorv::platform::typelib

using namespace qorv::platform;
using namespace qorv::platform::typelib;

HRESULT WINAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir) {
  if (!ptlib || !szFullPath) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    TLIBATTR* attr = nullptr;
    HRESULT hr = ptlib->GetLibAttr(&attr);
    if (FAILED(hr)) return TYPE_E_INVALIDSTATE;
    TLIBATTR lib = *attr;
    ptlib->ReleaseTLibAttr(attr);
    BSTR name = nullptr;
    BSTR doc = nullptr;
    ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    std::string description = Narrow(FromBstr(doc ? doc : name));
    SysFreeString(name);
    SysFreeString(doc);

    std::string libId = GuidText(lib.guid);
    std::string version = VersionText(lib.wMajorVerNum, lib.wMinorVerNum);
    std::string key = "TypeLib\\" + libId + "\\" + version;
    std::string helpDir = szHelpDir ? NarrowPath(szHelpDir) : std::string();
    bool ok = SetDefault(key, description) && SetDefault(key + "\\FLAGS", std::to_string(lib.wLibFlags)) &&
              SetDefault(key + "\\HELPDIR", helpDir) &&
              SetDefault(key + "\\" + Hex(lib.lcid) + "\\" + SysKindName(lib.syskind), NarrowPath(szFullPath));
    if (!ok) return TYPE_E_REGISTRYACCESS;
    return RegisterInterfaces(ptlib, libId, version);
  });
}

HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    std::string libId = GuidText(libID);
    std::string libKey = "TypeLib\\" + libId;
    std::string key = libKey + "\\" + VersionText(wVerMajor, wVerMinor);
    Key version;
    if (!version.Open(HKEY_CLASSES_ROOT, key)) return TYPE_E_REGISTRYACCESS;
    std::string localeKey = key + "\\" + Hex(lcid);
    std::string platformKey = localeKey + "\\" + SysKindName(syskind);
    Key platform;
    if (!platform.Open(HKEY_CLASSES_ROOT, platformKey)) return TYPE_E_REGISTRYACCESS;
    // The library tells which interface keys it wrote.
    auto path = platform.Get(nullptr);
    ITypeLib* library = nullptr;
    if (path && SUCCEEDED(LoadFromPath(*path, &library))) {
      UnregisterInterfaces(library, libId);
      library->Release();
    }
    RegDeleteKeyA(HKEY_CLASSES_ROOT, platformKey.c_str());
    if (IsEmptyKey(localeKey)) RegDeleteKeyA(HKEY_CLASSES_ROOT, localeKey.c_str());
    // The version goes when no other locale or platform is left under it.
    bool others = false;
    for (const auto& name : version.SubKeys()) {
      others = others || !(SameText(name, "FLAGS") || SameText(name, "HELPDIR"));
    }
    if (!others) {
      DeleteTree(key);
      if (IsEmptyKey(libKey)) RegDeleteKeyA(HKEY_CLASSES_ROOT, libKey.c_str());
    }
    return S_OK;
  });
}

HRESULT WINAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    auto path = FindPath(rguid, wVerMajor, wVerMinor, lcid);
    if (!path) return TYPE_E_LIBNOTREGISTERED;
    return LoadFromPath(*path, pptlib);
  });
}

HRESULT WINAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid, BSTR* lpbstrPathName) {
  if (!lpbstrPathName) return E_INVALIDARG;
  *lpbstrPathName = nullptr;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    auto path = FindPath(guid, wMaj, wMin, lcid);
    if (!path) return TYPE_E_LIBNOTREGISTERED;
    *lpbstrPathName = MakeBstr(WidenAnsi(*path));
    return S_OK;
  });
}
