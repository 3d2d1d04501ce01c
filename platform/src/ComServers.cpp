// In-process servers: loaded once per process, kept in a list by their file,
// asked for class objects through DllGetClassObject, and unloaded only when
// their DllCanUnloadNow allows it.
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "ComRuntime.h"
#include "NoThrow.h"
#include "fileapi.h"

namespace qorv::platform {

namespace {

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadNowFunction = HRESULT (*)();

struct LoadedServer {
  std::filesystem::path File;  // canonical, so every spelling of a path finds it
  HMODULE Module = nullptr;
  GetClassObjectFunction GetClassObject = nullptr;
  CanUnloadNowFunction CanUnloadNow = nullptr;  // a server without it stays loaded
};

// The lock is held across loading and across the servers' entry points, so
// that CoFreeUnusedLibraries cannot unload a server another thread is inside.
// It is recursive because a server's entry points and load-time code may
// themselves create objects on the same thread.
struct ServerList {
  std::recursive_mutex Lock;
  std::vector<LoadedServer> Servers;
};

ServerList& Servers() {
  static ServerList* servers = new ServerList;  // servers may be used from static destructors
  return *servers;
}

// How a server that cannot be loaded fails: the documented result for a file
// that is not there, and Windows's own for one that is there but cannot be
// loaded (HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT), the "not a valid
// application" a Windows PE library gives here).
HRESULT LoadFailure(DWORD error) {
  if (error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return CO_E_DLLNOTFOUND;
  }
  return HRESULT_FROM_WIN32(error ? error : ERROR_BAD_EXE_FORMAT);
}

// The listed server for a file, loading it when it is not listed yet.
// Called with the list locked.
HRESULT FindOrLoad(ServerList& list, const std::filesystem::path& file, LoadedServer** server) {
  for (auto& loaded : list.Servers) {
    if (loaded.File == file) {
      *server = &loaded;
      return S_OK;
    }
  }
  HMODULE module = LoadLibraryA(file.c_str());
  if (!module) return LoadFailure(GetLastError());
  auto get = reinterpret_cast<GetClassObjectFunction>(GetProcAddress(module, "DllGetClassObject"));
  if (!get) {
    FreeLibrary(module);
    return CO_E_ERRORINDLL;
  }
  auto canUnload = reinterpret_cast<CanUnloadNowFunction>(GetProcAddress(module, "DllCanUnloadNow"));
  list.Servers.push_back({file, module, get, canUnload});
  *server = &list.Servers.back();
  return S_OK;
}

}  // namespace

HRESULT InprocServerClassObject(const std::string& serverValue, REFCLSID clsid, REFIID riid, void** ppv) {
  auto file = ResolveServerPath(serverValue);
  if (!file) return CO_E_DLLNOTFOUND;
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::canonical(*file, error);
  if (error) return CO_E_DLLNOTFOUND;
  auto& list = Servers();
  std::lock_guard guard(list.Lock);
  LoadedServer* server = nullptr;
  HRESULT hr = FindOrLoad(list, canonical, &server);
  if (FAILED(hr)) return hr;
  // Taken first: a server that creates objects of its own while answering may
  // grow the list under `server`.
  GetClassObjectFunction getClassObject = server->GetClassObject;
  hr = getClassObject(clsid, riid, ppv);
  // A server that fails must not leave the caller a pointer to release.
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

}  // namespace qorv::platform

using namespace qorv::platform;

void WINAPI CoFreeUnusedLibraries() {
  Guarded(0, [] {
    auto& list = Servers();
    std::lock_guard guard(list.Lock);
    for (size_t i = 0; i < list.Servers.size();) {
      LoadedServer server = list.Servers[i];
      if (!server.CanUnloadNow || server.CanUnloadNow() != S_OK) {
        ++i;
        continue;
      }
      list.Servers.erase(list.Servers.begin() + static_cast<std::ptrdiff_t>(i));
      FreeLibrary(server.Module);
    }
    return 0;
  });
}
