// Shared by the VARIANT files.
#pragma once

#include "oleauto.h"

namespace qorv::platform {

// True for the types a VARIANT may hold here: the scalar types, strings and
// interfaces, each also by reference, and a variant by reference. Arrays and
// records are not supported.
bool IsValidVariantType(VARTYPE vt);

}  // namespace qorv::platform
