// LoadTypeLib and LoadTypeLibEx: a type library from a .tlb file, or from the
// resource "TYPELIB" of a module (an ELF shared library of ours).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <vector>

#include "FileDescriptor.h"
#include "NoThrow.h"
#include "TypeLibFormat.h"
#include "TypeLibLoad.h"
#include "TypeLibObjects.h"
#include "codepage.h"
#include "fileapi.h"
#include "resource.h"
#include "systemroot.h"

namespace qorv::platform::typelib {

namespace {

// Larger files are refused before they are read.
constexpr std::uint64_t kMaxFileSize = 64u << 20;

enum class FileKind { Missing, TypeLib, Module, Other };

std::optional<std::filesystem::path> LinuxPathOf(const std::string& path) {
  if (!path.empty() && path[0] == '/') return std::filesystem::path(path);
  return WindowsToLinuxPath(path);
}

FileKind KindOf(const std::filesystem::path& file) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return FileKind::Missing;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return FileKind::Missing;
  std::byte head[4] = {};
  if (::pread(fd.Get(), head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return FileKind::Other;
  if (LooksLikeTypeLib(head)) return FileKind::TypeLib;
  const std::byte elf[4] = {std::byte{0x7F}, std::byte{'E'}, std::byte{'L'}, std::byte{'F'}};
  if (std::equal(head, head + 4, elf)) return FileKind::Module;
  return FileKind::Other;
}

HRESULT ReadWholeFile(const std::filesystem::path& file, std::vector<std::byte>& bytes) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) return TYPE_E_CANTLOADLIBRARY;
  if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) return TYPE_E_INVDATAREAD;
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pread(fd.Get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TYPE_E_IOERROR;
    done += static_cast<size_t>(n);
  }
  return S_OK;
}

// The module's resource, copied out before the module is let go.
HRESULT ReadModuleResource(const std::string& path, WORD resource, std::vector<std::byte>& bytes) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) return TYPE_E_CANTLOADLIBRARY;
  HRESULT result = TYPE_E_CANTLOADLIBRARY;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource), "TYPELIB")) {
    HGLOBAL data = LoadResource(module, found);
    auto* start = static_cast<const std::byte*>(LockResource(data));
    DWORD size = SizeofResource(module, found);
    if (start) {
      bytes.assign(start, start + size);
      result = S_OK;
    }
  }
  FreeLibrary(module);
  return result;
}

// "path\N": the module at path, resource N.
bool SplitResourceNumber(const std::string& path, std::string& module, WORD& resource) {
  auto cut = path.find_last_of("\\/");
  if (cut == std::string::npos || cut + 1 >= path.size() || path.size() - cut > 6) return false;
  unsigned long number = 0;
  for (size_t i = cut + 1; i < path.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(path[i]))) return false;
    number = number * 10 + static_cast<unsigned long>(path[i] - '0');
  }
  if (number == 0 || number > 0xFFFF) return false;
  module = path.substr(0, cut);
  resource = static_cast<WORD>(number);
  return true;
}

HRESULT LoadFile(const std::string& path, const std::filesystem::path& file, FileKind kind, WORD resource,
                 ITypeLib** out) {
  std::vector<std::byte> bytes;
  HRESULT hr = TYPE_E_CANTLOADLIBRARY;
  if (kind == FileKind::TypeLib && resource == 1) {
    hr = ReadWholeFile(file, bytes);
  } else if (kind == FileKind::Module) {
    hr = ReadModuleResource(file.string(), resource, bytes);
  }
  if (FAILED(hr)) return hr;
  return LoadFromMemory(bytes, path, out);
}

bool HasFolder(const std::string& path) { return path.find_first_of("\\/:") != std::string::npos; }

}  // namespace

std::string FolderOf(const std::string& path) {
  auto cut = path.find_last_of(path.empty() || path[0] != '/' ? "\\/" : "/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string NarrowPath(LPCOLESTR path) {
  if (!path || !*path) return {};
  UINT codePage = path[0] == u'/' ? CP_UTF8 : CP_ACP;
  int size = WideCharToMultiByte(codePage, 0, path, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, path, -1, text.data(), size, nullptr, nullptr);
  text.resize(static_cast<size_t>(size - 1));
  return text;
}

std::u16string WidenAnsi(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::u16string wide(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

HRESULT LoadFromMemory(std::span<const std::byte> bytes, const std::string& path, ITypeLib** out) {
  ParseResult parsed = ParseTypeLib(bytes);
  if (FAILED(parsed.Result)) return parsed.Result;
  return TypeLibObject::Create(std::move(parsed.Model), path, out);
}

HRESULT LoadFromPath(const std::string& path, ITypeLib** out) {
  *out = nullptr;
  if (path.empty()) return TYPE_E_CANTLOADLIBRARY;
  // A bare name is looked for in the current folder, then the system folder.
  std::vector<std::string> candidates{path};
  if (!HasFolder(path)) candidates.push_back(SystemFolder() + "\\" + path);
  for (const auto& candidate : candidates) {
    auto file = LinuxPathOf(candidate);
    if (!file) continue;
    FileKind kind = KindOf(*file);
    if (kind != FileKind::Missing) {
      return kind == FileKind::Other ? TYPE_E_CANTLOADLIBRARY : LoadFile(candidate, *file, kind, 1, out);
    }
    std::string module;
    WORD resource = 0;
    if (SplitResourceNumber(candidate, module, resource)) {
      auto moduleFile = LinuxPathOf(module);
      if (moduleFile && KindOf(*moduleFile) == FileKind::Module) {
        return LoadFile(module, *moduleFile, FileKind::Module, resource, out);
      }
    }
  }
  return TYPE_E_CANTLOADLIBRARY;
}

}  // namespace qorv::platform::typelib

using namespace qorv::platform;

HRESULT WINAPI LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib) {
  if (!szFile || !pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    std::string path = typelib::NarrowPath(szFile);
    HRESULT hr = typelib::LoadFromPath(path, pptlib);
    if (FAILED(hr)) return hr;
    // As Windows: the default registers a library named without a folder.
    bool registerIt = regkind == REGKIND_REGISTER || (regkind == REGKIND_DEFAULT && !typelib::FolderOf(path).size());
    if (registerIt) {
      std::u16string full = typelib::WidenAnsi(path);
      hr = RegisterTypeLib(*pptlib, full.c_str(), nullptr);
      if (FAILED(hr)) {
        (*pptlib)->Release();
        *pptlib = nullptr;
        return hr;
      }
    }
    return S_OK;
  });
}

HRESULT WINAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  return LoadTypeLibEx(szFile, REGKIND_DEFAULT, pptlib);
}
