// Buffers for the picture decoders. libpng and libjpeg report failures by
// longjmp back to a setjmp in the decoder; between the two, no C++ exception
// may unwind (the library's state would leak), so an allocation there answers
// false and the decoder reports memory exhaustion itself.
#pragma once

#include <cstddef>
#include <new>
#include <stdexcept>
#include <vector>

namespace qorv::framework {

template <class T>
[[nodiscard]] bool TryResize(std::vector<T>& buffer, std::size_t count) noexcept {
  try {
    buffer.resize(count);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace qorv::framework
