// An in-process server for the registration tool's tests. Its
// DllRegisterServer writes HKEY_CLASSES_ROOT\QorvTest.Server (default value
// "registered") and DllUnregisterServer removes it. Built a second time with
// QORV_REGISTER_FAILS, both entry points fail with TYPE_E_REGISTRYACCESS.
#include "windows.h"

namespace {

constexpr const char* kKey = "QorvTest.Server";
constexpr HRESULT kRegistryAccessFailed = static_cast<HRESULT>(0x8002801Cu);

}  // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllRegisterServer() {
#ifdef QORV_REGISTER_FAILS
  return kRegistryAccessFailed;
#else
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0) {
    return E_FAIL;
  }
  const char text[] = "registered";
  LONG error = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  return error == ERROR_SUCCESS ? S_OK : E_FAIL;
#endif
}

extern "C" HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
#ifdef QORV_REGISTER_FAILS
  return kRegistryAccessFailed;
#else
  LONG error = RegDeleteKeyA(HKEY_CLASSES_ROOT, kKey);
  return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
#endif
}
