// A private recorder state per test: the process-wide one is shared by every
// test of a process run, so tests change only their own.
#pragma once

#include <memory>

#include "RecorderState.h"

namespace qorv::test {

// Zero-filled, as the process-wide state is at load (50 MB, value-initialised).
inline std::unique_ptr<recorder::TRecorderState> NewRecorderState() {
  return std::make_unique<recorder::TRecorderState>();
}

}  // namespace qorv::test
