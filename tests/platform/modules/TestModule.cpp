// A module that platform_tests loads: it answers its own module handle, as a
// control library does when it looks for its own resources.
#include "fileapi.h"

extern "C" HMODULE QorvTestModuleHandle() { return qorv::platform::ModuleFromAddress(&QorvTestModuleHandle); }

extern "C" int QorvTestModuleAnswer() { return 42; }
