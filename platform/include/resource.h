// Resources embedded in a module at build time (tools/rescomp; see
// cmake/QorvResources.cmake). A module finds its own resources through its own
// module handle. Names and types are strings or MAKEINTRESOURCE ids.
#pragma once

#include "wintypes.h"

inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(id)); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<ULONG_PTR>(p) >> 16) == 0; }

inline const LPCSTR RT_BITMAP = MAKEINTRESOURCEA(2);
inline const LPCSTR RT_STRING = MAKEINTRESOURCEA(6);
inline const LPCSTR RT_RCDATA = MAKEINTRESOURCEA(10);

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID WINAPI LockResource(HGLOBAL hResData);
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
BOOL WINAPI FreeResource(HGLOBAL hResData);
// Resources are never moved, so unlocking only reports that the lock is gone.
inline BOOL UnlockResource(HGLOBAL) { return FALSE; }

namespace qorv::platform {
// One resource of a module's table, as tools/rescomp generates it. A name or
// type given by number has a null string and its number in the Id field;
// string names and types are stored upper-case.
struct ResourceEntry {
  const char* Name;
  WORD NameId;
  const char* Type;
  WORD TypeId;
  const void* Data;
  DWORD Size;
};
// Called by the generated code of each module at load and unload: the table
// belongs to the module containing `entries`. A module may register several
// tables; they are searched in registration order.
void RegisterResourceTable(const ResourceEntry* entries, size_t count);
void UnregisterResourceTable(const ResourceEntry* entries);
}  // namespace qorv::platform
