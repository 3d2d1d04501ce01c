// The standard OLE library (stdole2.tlb) of a system root.
#pragma once

namespace qorv::platform {

// Writes the platform's own stdole2.tlb into the root's system folder and
// registers it, when the folder does not hold one yet; a root that has one
// keeps it. Called once per root and process, after the root is filled in
// (it uses the registry, which needs the root). Failures are ignored: type
// libraries still find stdole2.tlb in the system folder by its name.
void ProvideStandardTypeLibrary();

}  // namespace qorv::platform
