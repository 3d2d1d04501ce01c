// Whether the framework's copy at hand belongs to the program or to a library
// the program loaded (a control library carries a framework of its own).
#pragma once

namespace qorv::framework {

// True when this copy of the framework is linked into the program itself.
bool ThisModuleIsTheProgram();

}  // namespace qorv::framework
