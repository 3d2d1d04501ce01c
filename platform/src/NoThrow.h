// Keeps C++ exceptions inside the platform: a call's body runs through
// Guarded, and an exception becomes the call's failure value with the last
// error set (allocation failure to ERROR_NOT_ENOUGH_MEMORY).
#pragma once

#include <new>

#include "winerror.h"

namespace qorv::platform {

template <class Result, class Body>
Result Guarded(Result failure, Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    SetLastError(ERROR_GEN_FAILURE);
  }
  return failure;
}

}  // namespace qorv::platform
