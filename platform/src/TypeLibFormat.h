// Reads the compiled type library format ("MSFT", as MIDL and widl write it)
// into a TypeLibModel. The bytes are untrusted: every offset, count and
// length is checked against the file before it is used, and anything that
// does not fit is refused.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "TypeLibModel.h"

namespace qorv::platform::typelib {

struct ParseResult {
  HRESULT Result = E_FAIL;  // S_OK, TYPE_E_INVDATAREAD, TYPE_E_UNSUPFORMAT or E_OUTOFMEMORY
  std::unique_ptr<TypeLibModel> Model;
};

// True when the bytes start like a library in this format.
bool LooksLikeTypeLib(std::span<const std::byte> bytes);

ParseResult ParseTypeLib(std::span<const std::byte> bytes);

}  // namespace qorv::platform::typelib
