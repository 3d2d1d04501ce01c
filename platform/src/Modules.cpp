// Modules: a module handle is the load address of the program or a shared
// library, as on Windows. Libraries are loaded with dlopen; the handles that
// LoadLibraryA took are kept so that FreeLibrary releases exactly those.
#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "NoThrow.h"
#include "PathMap.h"
#include "fileapi.h"
#include "resource.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

struct LoadedLibraries {
  std::mutex Lock;
  std::map<HMODULE, std::vector<void*>> Handles;  // dlopen handles per module, one per LoadLibraryA
};

LoadedLibraries& Loaded() {
  static LoadedLibraries* loaded = new LoadedLibraries;  // libraries may be freed from static destructors
  return *loaded;
}

struct ModuleInfo {
  HMODULE Module = nullptr;
  std::string Path;  // empty for the program itself
};

// Every module of the process with its file path, from the dynamic linker.
std::vector<ModuleInfo> ListModules() {
  std::vector<ModuleInfo> modules;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* list = static_cast<std::vector<ModuleInfo>*>(data);
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
          Dl_info where{};
          const void* address = reinterpret_cast<const void*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
          if (dladdr(address, &where) && where.dli_fbase) {
            list->push_back({static_cast<HMODULE>(where.dli_fbase), info->dlpi_name ? info->dlpi_name : ""});
          }
          break;
        }
        return 0;
      },
      &modules);
  return modules;
}

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

HMODULE ProgramModule() { return ModuleFromAddress(reinterpret_cast<const void*>(getauxval(AT_PHDR))); }

// The file path of a module; nothing when the handle is no module.
std::optional<std::string> ModulePath(HMODULE module) {
  if (!module || module == ProgramModule()) return ProgramPath();
  for (const auto& info : ListModules()) {
    if (info.Module == module) return info.Path.empty() ? ProgramPath() : info.Path;
  }
  return std::nullopt;
}

std::string BaseName(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Windows compares the file name; a name without an extension stands for
// "<name>.dll" there, and for any extension here (.so, .ocx).
bool NameMatchesModule(const std::string& wanted, const std::string& path) {
  std::string file = BaseName(path);
  if (SameTextIgnoringCase(file, wanted)) return true;
  if (wanted.find('.') != std::string::npos) return false;
  auto dot = file.find('.');
  return dot != std::string::npos && SameTextIgnoringCase(file.substr(0, dot), wanted);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The system libraries the platform library stands for (by base name, with or
// without ".DLL"): the automation library, where programs look up
// UnRegisterTypeLib by name.
bool IsPlatformSystemLibrary(const std::string& name) {
  static const char* const kNames[] = {"OLEAUT32"};
  std::string base = BaseName(name);
  for (const char* system : kNames) {
    if (SameTextIgnoringCase(base, system) || SameTextIgnoringCase(base, std::string(system) + ".DLL")) return true;
  }
  return false;
}

HMODULE PlatformModule() { return ModuleFromAddress(reinterpret_cast<const void*>(&GetModuleHandleA)); }

// Where LoadLibraryA looks: a Linux absolute path as it is; a Windows path
// through the drive map; a bare name in the program's folder, the system
// folder, the Windows folder and the current directory, then the dynamic
// linker's own search.
std::string LibraryPathFor(const std::string& name) {
  if (name[0] == '/') return name;
  bool bare = name.find_first_of("\\/:") == std::string::npos;
  if (bare && IsPlatformSystemLibrary(name)) {
    if (auto platform = ModulePath(PlatformModule())) return *platform;
  }
  if (!bare) {
    auto mapped = WindowsToLinuxPath(name);
    return mapped ? mapped->string() : name;
  }
  std::string program = ProgramPath();
  if (auto slash = program.rfind('/'); slash != std::string::npos) {
    std::string candidate = program.substr(0, slash + 1) + AnsiToUtf8(name);
    if (FileExists(candidate)) return candidate;
  }
  for (const auto& folder : {SystemFolder(), WindowsFolder(), CurrentWindowsDirectory()}) {
    auto mapped = WindowsToLinuxPath(folder + "\\" + name);
    if (mapped && FileExists(mapped->string())) return mapped->string();
  }
  return name;
}

HMODULE ModuleOfHandle(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
  return ModuleFromAddress(map->l_ld);
}

}  // namespace

HMODULE ModuleFromAddress(const void* address) {
  Dl_info info{};
  if (!address || !dladdr(address, &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}

}  // namespace qorv::platform

using namespace qorv::platform;

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  return Guarded(HMODULE{}, [&]() -> HMODULE {
    if (!lpModuleName) return ProgramModule();
    std::string wanted = BaseName(lpModuleName);
    if (IsPlatformSystemLibrary(wanted)) return PlatformModule();
    std::string program = BaseName(ProgramPath());
    for (const auto& info : ListModules()) {
      if (NameMatchesModule(wanted, info.Path.empty() ? program : info.Path)) return info.Module;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  });
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  return Guarded(DWORD{0}, [&]() -> DWORD {
    auto path = ModulePath(hModule);
    if (!path || path->empty()) return FailWith(ERROR_MOD_NOT_FOUND);
    std::string name = LinuxToWindowsPath(*path).value_or(*path);
    if (!lpFilename || nSize == 0) return FailWith(ERROR_INSUFFICIENT_BUFFER);
    // Too small: the name is cut to fit with its terminator, the full size is
    // answered and the error says so, as Windows does since Vista.
    if (name.size() >= nSize) {
      std::memcpy(lpFilename, name.data(), nSize - 1);
      lpFilename[nSize - 1] = '\0';
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return nSize;
    }
    std::memcpy(lpFilename, name.c_str(), name.size() + 1);
    return static_cast<DWORD>(name.size());
  });
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  return Guarded(HMODULE{}, [&]() -> HMODULE {
    if (!lpLibFileName || !*lpLibFileName) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    std::string path = LibraryPathFor(lpLibFileName);
    // No lock is held across dlopen: the library's initialisers may call back
    // into the module functions.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      bool present = path.find('/') != std::string::npos && FileExists(path);
      SetLastError(present ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    HMODULE module = ModuleOfHandle(handle);
    if (!module) {
      ::dlclose(handle);
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    auto& loaded = Loaded();
    std::lock_guard guard(loaded.Lock);
    loaded.Handles[module].push_back(handle);
    return module;
  });
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    void* handle = nullptr;
    {
      auto& loaded = Loaded();
      std::lock_guard guard(loaded.Lock);
      auto it = loaded.Handles.find(hLibModule);
      if (it == loaded.Handles.end()) return FailWith(ERROR_MOD_NOT_FOUND);
      handle = it->second.back();
      it->second.pop_back();
      if (it->second.empty()) loaded.Handles.erase(it);
    }
    // Outside the lock: the library's finalisers run here.
    return ::dlclose(handle) == 0 ? TRUE : FailWith(ERROR_GEN_FAILURE);
  });
}

void* WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  return Guarded(static_cast<void*>(nullptr), [&]() -> void* {
    if (!lpProcName || IS_INTRESOURCE(lpProcName)) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    HMODULE module = hModule ? hModule : ProgramModule();
    auto path = ModulePath(module);
    if (!path) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    // A fresh reference for the look-up, released at once: the module stays
    // loaded by whoever loaded it. The program is looked up through dlopen(NULL).
    void* handle =
        module == ProgramModule() ? ::dlopen(nullptr, RTLD_LAZY) : ::dlopen(path->c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    void* symbol = ::dlsym(handle, lpProcName);
    ::dlclose(handle);
    // dlsym also searches the module's dependencies; Windows answers only the
    // module's own exports.
    if (!symbol || ModuleFromAddress(symbol) != module) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return nullptr;
    }
    return symbol;
  });
}

namespace {
std::atomic<UINT>& ErrorMode() {
  static std::atomic<UINT> mode{0};
  return mode;
}
}  // namespace

UINT WINAPI SetErrorMode(UINT uMode) { return ErrorMode().exchange(uMode); }

UINT WINAPI GetErrorMode() { return ErrorMode().load(); }
