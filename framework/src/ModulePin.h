// Keeps the module that holds the framework loaded for the rest of the
// process. A control library (QorvProj1.ocx) holds a copy of the framework,
// and its host unloads it once DllCanUnloadNow says so; but once GLib, Pango
// or the X11 reader have started threads of their own and registered types
// and callbacks inside it and its dependencies, none of them may go away.
#pragma once

namespace qorv::framework {

// Harmless in a program, and when called again.
void KeepThisModuleLoaded();

// Keeps loaded, for the rest of the process, the libraries this module brought
// in that allocate when they are loaded and never free it (pixman, under
// cairo, builds its drawing implementations so): unloading this module would
// otherwise leave that memory behind at every load.
void KeepLoadTimeAllocatorsLoaded();

}  // namespace qorv::framework
