// stdole2.tlb is embedded in the platform library as resource "STDOLE2" of
// type "TYPELIB" (platform/CMakeLists.txt builds it from platform/idl).
#include "StandardTypeLibrary.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "FileDescriptor.h"
#include "NoThrow.h"
#include "fileapi.h"
#include "oaidl.h"
#include "resource.h"
#include "systemroot.h"

namespace qorv::platform {

namespace {

bool WriteFileAtomically(const std::filesystem::path& file, const void* data, size_t size) {
  auto temp = file;
  temp += ".tmp" + std::to_string(::getpid());
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.Valid()) return false;
  const char* bytes = static_cast<const char*>(data);
  for (size_t done = 0; done < size;) {
    ssize_t n = ::write(fd.Get(), bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  fd.Reset();
  // Another process filling in the same root may rename its copy first; both are the same.
  std::error_code error;
  std::filesystem::rename(temp, file, error);
  if (error) std::filesystem::remove(temp, error);
  return true;
}

}  // namespace

void ProvideStandardTypeLibrary() {
  Guarded(0, [] {
    std::string systemFolder = SystemFolder();
    std::string windowsPath = systemFolder + "\\stdole2.tlb";
    auto file = WindowsToLinuxPath(windowsPath);
    std::error_code error;
    if (!file || std::filesystem::exists(*file, error)) return 0;
    HMODULE self = ModuleFromAddress(&ProvideStandardTypeLibrary);
    HRSRC found = FindResourceA(self, "STDOLE2", "TYPELIB");
    const void* data = found ? LockResource(LoadResource(self, found)) : nullptr;
    if (!data || !WriteFileAtomically(*file, data, SizeofResource(self, found))) return 0;
    std::u16string path(windowsPath.begin(), windowsPath.end());
    std::u16string folder(systemFolder.begin(), systemFolder.end());
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) {
      RegisterTypeLib(library, path.c_str(), folder.c_str());
      library->Release();
    }
    return 0;
  });
}

}  // namespace qorv::platform
