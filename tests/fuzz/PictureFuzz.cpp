// Arbitrary bytes as a stored picture (BMP, PNG or JPEG told apart by their
// signatures). Every input must end in a picture within the size caps or in a
// framework exception that leaves the old picture as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Exceptions.h"
#include "Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPicture picture;
  try {
    picture.LoadFromBytes(data, size);
  } catch (const Exception&) {
    if (!picture.Empty()) std::abort();
    return 0;
  }
  if (picture.Width() < 0 || picture.Height() < 0) std::abort();
  return 0;
}
