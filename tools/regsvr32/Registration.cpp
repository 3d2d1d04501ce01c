#include "Registration.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "objbase.h"
#include "windows.h"

namespace qorv::regsvr32 {

namespace {

using EntryPoint = HRESULT(STDMETHODCALLTYPE*)();

constexpr const char* kUsage =
    "Usage: regsvr32 [/u] [/s] PATH\n"
    "Registers the in-process server PATH (a Windows or Linux path) by calling its DllRegisterServer.\n"
    "  /u  unregister it instead, by calling its DllUnregisterServer\n"
    "  /s  silent: show no message";

Outcome Failed(ExitStatus status, const std::string& text) { return Outcome{status, text}; }

bool IsOption(const std::string& arg) { return arg.size() == 2 && (arg[0] == '/' || arg[0] == '-'); }

// "/x.so", "./x.so" and "../x.so" name Linux files; anything else is a
// Windows path or a bare name that LoadLibraryA searches for.
bool IsLinuxPath(const std::string& path) {
  return path[0] == '/' || path.rfind("./", 0) == 0 || path.rfind("../", 0) == 0;
}

// The installer and shells hand us UTF-8; LoadLibraryA reads a Windows path
// in the ANSI code page. Text that is not UTF-8 is taken as ANSI already.
std::string WindowsPathInAnsi(const std::string& path) {
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
  if (wide <= 0) return path;
  std::u16string text(static_cast<std::size_t>(wide), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, text.data(), wide);
  int narrow = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return path;
  std::string ansi(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), narrow, nullptr, nullptr);
  ansi.pop_back();
  return ansi;
}

std::string LoadFailureText(const std::string& path, DWORD error) {
  std::string reason;
  switch (error) {
    case ERROR_MOD_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: reason = "no such file was found"; break;
    case ERROR_BAD_EXE_FORMAT:
      reason = "the file is not a library this system can load (a Windows program or library, for instance)";
      break;
    default: reason = "error " + std::to_string(error);
  }
  return "The library \"" + path + "\" could not be loaded: " + reason + ".";
}

std::string HexResult(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
  return text;
}

Outcome CallEntryPoint(const Request& request, HMODULE library) {
  const char* name = request.Unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto entry = reinterpret_cast<EntryPoint>(GetProcAddress(library, name));
  if (!entry) {
    return Failed(kEntryPointMissing, "The library \"" + request.Path + "\" was loaded, but it has no entry point " +
                                          name + ": it is not a server that can " +
                                          (request.Unregister ? "unregister" : "register") + " itself.");
  }
  HRESULT result = entry();
  if (FAILED(result)) {
    return Failed(kCallFailed, std::string(name) + " of the library \"" + request.Path + "\" failed with error " +
                                   HexResult(result) + ".");
  }
  return Outcome{kSucceeded, std::string(name) + " of the library \"" + request.Path + "\" succeeded: it is now " +
                                 (request.Unregister ? "unregistered." : "registered.")};
}

}  // namespace

Outcome ParseArguments(int argc, char** argv, Request& request) {
  bool havePath = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (IsOption(arg) && (arg[1] == 'u' || arg[1] == 'U')) {
      request.Unregister = true;
    } else if (IsOption(arg) && (arg[1] == 's' || arg[1] == 'S')) {
      request.Silent = true;
    } else if (IsOption(arg)) {
      return Failed(kBadArguments, "Unknown option " + arg + ".\n" + kUsage);
    } else if (havePath) {
      return Failed(kBadArguments, "Only one library can be given.\n" + std::string(kUsage));
    } else {
      request.Path = arg;
      havePath = true;
    }
  }
  if (!havePath || request.Path.empty()) return Failed(kBadArguments, std::string("No library was given.\n") + kUsage);
  return Outcome{};
}

Outcome Register(const Request& request) {
  // Servers may create COM objects while they register, as on Windows.
  HRESULT started = CoInitialize(nullptr);
  if (FAILED(started)) return Failed(kComNotStarted, "COM could not be started: error " + HexResult(started) + ".");
  std::string loadName =
      IsLinuxPath(request.Path) ? std::filesystem::absolute(request.Path).string() : WindowsPathInAnsi(request.Path);
  Outcome outcome;
  if (HMODULE library = LoadLibraryA(loadName.c_str())) {
    outcome = CallEntryPoint(request, library);
    FreeLibrary(library);
  } else {
    outcome = Failed(kLoadFailed, LoadFailureText(request.Path, GetLastError()));
  }
  CoUninitialize();
  return outcome;
}

}  // namespace qorv::regsvr32
