// Functions that programs look up by name with GetProcAddress in the system
// libraries the platform stands for. The declarations in our headers carry
// C++ symbol names; these give the functions the plain names of a Windows
// export table.
#include "oaidl.h"

extern "C" HRESULT ExportedUnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                             SYSKIND syskind) __asm__("UnRegisterTypeLib");

extern "C" HRESULT ExportedUnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                             SYSKIND syskind) {
  return UnRegisterTypeLib(libID, wVerMajor, wVerMinor, lcid, syskind);
}
