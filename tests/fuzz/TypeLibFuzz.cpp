// Arbitrary bytes as a compiled type library. Every input must be refused
// with a TYPE_E_ result or load into a library that can be walked through
// completely (every type, description, name, documentation and reference)
// without a crash, a hang or a read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "TypeLibLoad.h"
#include "TypeLibWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ITypeLib* lib = nullptr;
  HRESULT hr = qorv::platform::typelib::LoadFromMemory(std::as_bytes(std::span(data, size)), "fuzz.tlb", &lib);
  if (SUCCEEDED(hr)) {
    if (!lib) std::abort();
    qorv::test::WalkTypeLib(lib);
    lib->Release();
  } else if (lib || (hr != TYPE_E_INVDATAREAD && hr != TYPE_E_UNSUPFORMAT && hr != E_OUTOFMEMORY)) {
    std::abort();
  }
  return 0;
}
