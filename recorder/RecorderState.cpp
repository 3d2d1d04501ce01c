#include "RecorderState.h"

namespace qorv::recorder {
namespace {

// Default-initialised at namespace scope: the arrays are zero-filled static
// storage (.bss, mapped lazily by the loader) and the strings start empty,
// with no code run at load.
TRecorderState processState;

}  // namespace

TRecorderState& RecorderState() { return processState; }

}  // namespace qorv::recorder
