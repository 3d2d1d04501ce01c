#include "SystemTools.h"

#include <dlfcn.h>

#include <system_error>

namespace qorv::platform {

namespace {

struct SystemTool {
  const char* Program;      // as built
  const char* WindowsName;  // in the system folder
};

constexpr SystemTool kTools[] = {{"regsvr32", "regsvr32.exe"}};

// The folder of this library: the tools are built into the same one.
std::filesystem::path PlatformFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<const void*>(&ProvideSystemTools), &info) || !info.dli_fname) return {};
  std::error_code error;
  auto library = std::filesystem::canonical(info.dli_fname, error);
  return error ? std::filesystem::path() : library.parent_path();
}

}  // namespace

void ProvideSystemTools(const std::filesystem::path& systemFolder) {
  auto folder = PlatformFolder();
  if (folder.empty()) return;
  for (const SystemTool& tool : kTools) {
    std::error_code error;
    auto program = folder / tool.Program;
    if (!std::filesystem::is_regular_file(program, error)) continue;
    auto link = systemFolder / tool.WindowsName;
    // exists() follows the link, so a dangling one counts as missing.
    if (std::filesystem::exists(link, error)) continue;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, error))) {
      std::filesystem::remove(link, error);
    }
    // Another process filling in the same root may win the race; its link is as good.
    std::filesystem::create_symlink(program, link, error);
  }
}

}  // namespace qorv::platform
