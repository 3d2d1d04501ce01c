#include "ModuleKind.h"

#include <link.h>

#include <cstdint>

namespace qorv::framework {

namespace {

struct TProbe {
  std::uintptr_t Address = 0;
  bool InProgram = false;
};

int LookInProgram(dl_phdr_info* info, std::size_t, void* data) {
  auto* probe = static_cast<TProbe*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD) continue;
    const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (probe->Address >= start && probe->Address - start < segment.p_memsz) probe->InProgram = true;
  }
  // The loader visits the program first; the libraries after it do not matter.
  return 1;
}

}  // namespace

bool ThisModuleIsTheProgram() {
  TProbe probe;
  probe.Address = reinterpret_cast<std::uintptr_t>(&ThisModuleIsTheProgram);
  dl_iterate_phdr(LookInProgram, &probe);
  return probe.InProgram;
}

}  // namespace qorv::framework
