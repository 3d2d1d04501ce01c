// The shell's windows as this module's forms: the platform's file operations
// show their progress window, replace question and error messages through
// them (shellui.h).
#pragma once

namespace qorv::framework {

// Registers this module's shell windows with the platform, once; they are
// unregistered when the module goes. TApplication::Initialize calls it.
void InstallShellDialogs();

}  // namespace qorv::framework
