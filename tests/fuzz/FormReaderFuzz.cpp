// Arbitrary text through the form description reader. A host hands the
// control stored streams, so every input must end in a tree or EReadError:
// no other exception, no crash, no stack exhausted by deep nesting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FormReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const TFormNode root = ParseFormDescription(text);
    if (root.Line < 1) std::abort();
  } catch (const EReadError& e) {
    if (e.Line() < 0) std::abort();
  }
  return 0;
}
