#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleauto.h"

namespace {

// The length prefix sits in the 4 bytes before the characters; the block is
// allocated from its start.
DWORD* PrefixOf(BSTR s) { return reinterpret_cast<DWORD*>(s) - 1; }

std::size_t TextLength(const OLECHAR* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  // The byte length must fit the 32-bit prefix.
  if (ui > (std::numeric_limits<DWORD>::max() - sizeof(DWORD)) / sizeof(OLECHAR) - 1) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(ui) * sizeof(OLECHAR);
  void* block = std::malloc(sizeof(DWORD) + bytes + sizeof(OLECHAR));
  if (!block) return nullptr;
  auto* prefix = static_cast<DWORD*>(block);
  *prefix = static_cast<DWORD>(bytes);
  auto* text = reinterpret_cast<OLECHAR*>(prefix + 1);
  if (strIn) std::memcpy(text, strIn, bytes);
  text[ui] = 0;
  return text;
}

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  const std::size_t n = TextLength(psz);
  if (n > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(psz, static_cast<UINT>(n));
}

void WINAPI SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(PrefixOf(bstrString));
}

UINT WINAPI SysStringByteLen(BSTR bstr) { return bstr ? *PrefixOf(bstr) : 0; }

UINT WINAPI SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
