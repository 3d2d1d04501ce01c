// The COM runtime: apartments, class objects of in-process servers, string
// forms of identifiers, task memory, and the memory and file streams and
// compound files that objects persist into.
//
// In-process servers are ELF shared libraries named by the default value of
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32: a Windows path (through the
// drive map) or a Linux path. A server is loaded once per process, its
// DllGetClassObject asked for class objects, and it stays loaded until
// CoFreeUnusedLibraries finds its DllCanUnloadNow answering S_OK.
#pragma once

#include "objidl.h"
#include "unknwn.h"
#include "wintypes.h"

// ---- apartments ---------------------------------------------------------------

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// Each thread enters an apartment of its own kind and counts its entries:
// S_OK for the first, S_FALSE for every further one of the same kind (each
// needs its CoUninitialize), RPC_E_CHANGED_MODE (uncounted) for one of the
// other kind. The last CoUninitialize of a thread leaves the apartment; an
// unbalanced one is ignored. Servers are shared by the process, so leaving
// does not unload them (CoFreeUnusedLibraries does).
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize();

// ---- class objects ------------------------------------------------------------

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

struct COSERVERINFO;

// The class object of a class. Only in-process servers exist here: a context
// without CLSCTX_INPROC_SERVER finds nothing (REGDB_E_CLASSNOTREG). Results:
// CO_E_NOTINITIALIZED outside an apartment; REGDB_E_CLASSNOTREG when the class
// or its InprocServer32 entry is missing or empty; CO_E_DLLNOTFOUND when the
// named file does not exist; HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT) when it
// exists but is no loadable library (a Windows PE file, say); CO_E_ERRORINDLL
// when the library has no DllGetClassObject; otherwise what DllGetClassObject
// answers (CLASS_E_CLASSNOTAVAILABLE for a class the server does not serve).
// *ppv is null after any failure.
HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO* pServerInfo, REFIID riid,
                                LPVOID* ppv);
// CoGetClassObject for IClassFactory, then its CreateInstance.
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
// Asks every loaded server's DllCanUnloadNow and unloads those answering S_OK.
void WINAPI CoFreeUnusedLibraries();
// Holds (fLock true) or lets go of one external strong reference on the
// object; fLastUnlockReleases is accepted for signature fidelity (the last
// unlock always releases). E_INVALIDARG for a null object.
HRESULT WINAPI CoLockObjectExternal(LPUNKNOWN pUnk, BOOL fLock, BOOL fLastUnlockReleases);

namespace qorv::platform {
// Registers a class that the platform itself serves: CoGetClassObject and
// CoCreateInstance find the factory before looking at the registry, whatever
// the registry says, as long as the caller's apartment and context allow an
// in-process server. The platform holds one reference to the factory from
// here on. Registering a class twice replaces the first factory.
// E_INVALIDARG for a null factory.
HRESULT RegisterBuiltinClass(REFCLSID clsid, IClassFactory* factory);
// The InprocServer32 value that names the platform itself, for registry
// entries of built-in classes. Such an entry for a class that is not built in
// answers CLASS_E_CLASSNOTAVAILABLE, as a server that does not serve it would.
inline constexpr const char* kBuiltinServerName = "libqorvplatform.so";
}  // namespace qorv::platform

// ---- identifiers as strings -------------------------------------------------

// The braced form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in either
// case on input, upper case on output).
// CLSIDFromString takes a registered ProgID as well, as on Windows;
// CO_E_CLASSSTRING for anything else.
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// E_INVALIDARG for a malformed string.
HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// Writes the braced form with its 0; answers the character count with the 0,
// or 0 when cchMax is below 39.
int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// HKEY_CLASSES_ROOT\<ProgID>\CLSID's default value. CO_E_CLASSSTRING when the
// ProgID is not registered or its CLSID value is malformed.
HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// HKEY_CLASSES_ROOT\CLSID\{clsid}\ProgID's default value in task memory;
// REGDB_E_CLASSNOTREG when there is none.
HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

// ---- task memory ------------------------------------------------------------

// Memory handed between objects and their callers; any thread may free what
// another allocated. Alloc and Realloc answer null when memory runs out;
// Realloc(null, n) allocates, Realloc(p, 0) frees and answers null; Free(null)
// does nothing.
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);

// ---- memory streams ---------------------------------------------------------

// A stream over a global memory block (a new movable, zero-sized one when
// hGlobal is null). The block grows with writes; it is freed with the last
// release of the stream and its clones when fDeleteOnRelease is set.
// E_INVALIDARG for a null ppstm, E_OUTOFMEMORY when no block can be made.
HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
// The block under a stream made by CreateStreamOnHGlobal; E_INVALIDARG for any
// other stream.
HRESULT WINAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal);

// ---- compound files ---------------------------------------------------------

// Compound files in the structured storage format that other tools read.
// The whole file is held in memory while open and written out, to a new file
// that then replaces the old one, when the root storage is committed or
// released after a change; a storage opened for reading only is never written.
// StgCreateDocfile: STG_E_FILEALREADYEXISTS when the file exists and
// STGM_CREATE is not given; STG_E_INVALIDFLAG without write access;
// STG_E_PATHNOTFOUND when the folder is missing.
// StgOpenStorage: STG_E_FILENOTFOUND / STG_E_PATHNOTFOUND for a missing file,
// STG_E_FILEALREADYEXISTS for a file that is not a compound file.
HRESULT WINAPI StgCreateDocfile(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);
HRESULT WINAPI StgOpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                              DWORD reserved, IStorage** ppstgOpen);
