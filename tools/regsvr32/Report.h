// Telling the person how a run ended.
#pragma once

#include "Registration.h"

namespace qorv::regsvr32 {

// With a display, a message box of the tool's own (information or error
// icon, one OK button) that waits for its answer. Without one (DISPLAY unset,
// or QORV_GUI=headless) the text goes to standard output on success and to
// standard error on failure, since no one could answer a box. Silent runs
// show nothing.
void Report(const Outcome& outcome, bool silent);

}  // namespace qorv::regsvr32
