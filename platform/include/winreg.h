// The registry: keys that hold subkeys and typed values, under three roots.
//
// Where it lives: one SQLite database, registry.db, in the system root (see
// systemroot.h), shared by every process that uses that root. Every change is
// one transaction: two processes writing at once both see their writes kept,
// and a process killed in the middle of a call leaves the registry as it was
// before that call. A handle stays with the root that was in use when it was
// opened; the predefined roots follow QORV_SYSTEM_ROOT at each call.
//
// Roots: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER are keys of their own.
// HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\SOFTWARE\Classes under another name
// (a write through either is seen through both); the per-user classes that
// Windows merges into it from HKEY_CURRENT_USER\Software\Classes are not
// merged here. The three roots and SOFTWARE\Classes cannot be deleted.
//
// Names: key and value names match case-insensitively and keep the case they
// were created with. Names are 8-bit text in the ANSI code page (1256 unless
// the root configures another); they are compared after conversion to
// Unicode with simple case folding, so Latin letters with accents match their
// other case, and Arabic and Persian letters, which have no case, match only
// themselves. A key name component is at most 255 characters, a value name at
// most 16383; a path separates components with single backslashes and may end
// in one.
//
// Results: every function returns ERROR_SUCCESS or a Windows error number as
// its result and leaves the thread's last error alone, as the Windows
// functions do. Common results:
//   ERROR_INVALID_HANDLE (6)   hKey is neither a root nor an open handle;
//   ERROR_KEY_DELETED (1018)   the key was deleted while this handle was open
//                              (RegCloseKey still succeeds);
//   ERROR_ACCESS_DENIED (5)    the handle lacks the access the call needs;
//   ERROR_FILE_NOT_FOUND (2)   the subkey or value does not exist;
//   ERROR_BAD_PATHNAME (161)   the subkey path starts with a backslash or has
//                              an empty component;
//   ERROR_INVALID_PARAMETER (87) a required pointer is null or a name too long;
//   ERROR_CANTOPEN (1011), ERROR_CANTREAD (1012), ERROR_CANTWRITE (1013)
//                              registry.db cannot be opened, read or written
//                              (another process held it for over a minute);
//   ERROR_BADDB (1009)         registry.db is not a registry database.
//
// Access: a handle carries the rights asked for when it was opened. Querying
// and enumerating values need KEY_QUERY_VALUE, setting and deleting values
// KEY_SET_VALUE, enumerating subkeys KEY_ENUMERATE_SUB_KEYS, emptying the
// handle's own key with RegDeleteTreeA DELETE, KEY_ENUMERATE_SUB_KEYS and
// KEY_QUERY_VALUE. Generic rights map to KEY_READ, KEY_WRITE, KEY_EXECUTE and
// KEY_ALL_ACCESS. The roots carry all rights. There are no security
// descriptors: any process may open, create or delete any key.
//
// Threads and processes: every function may be called from any thread; a
// handle may be used from several threads at once. Handles do not carry over
// into a child made by fork (ERROR_INVALID_HANDLE there); the child opens the
// keys again.
#pragma once

#include "wintypes.h"

using REGSAM = ACCESS_MASK;
using PHKEY = HKEY*;
using LSTATUS = LONG;

// The predefined roots, with the values Windows gives them.
inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000000u)));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000001u)));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000002u)));

// Value types. The registry keeps the bytes it is given for every type; the
// types below only say how a reader should take them.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_RESOURCE_LIST = 8;
constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

// Access rights of a key handle.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;  // accepted and ignored: there is one view
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;  // accepted and ignored: there is one view
constexpr REGSAM KEY_READ =
    (STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) & ~SYNCHRONIZE;
constexpr REGSAM KEY_WRITE = (STANDARD_RIGHTS_WRITE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY) & ~SYNCHRONIZE;
constexpr REGSAM KEY_EXECUTE = KEY_READ;
constexpr REGSAM KEY_ALL_ACCESS = (STANDARD_RIGHTS_ALL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
                                   KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK) &
                                  ~SYNCHRONIZE;

// Options of RegCreateKeyExA. A volatile key is kept like any other (there is
// no restart that would end it); the others are accepted and change nothing.
constexpr DWORD REG_OPTION_RESERVED = 0x0;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0x0;
constexpr DWORD REG_OPTION_VOLATILE = 0x1;
constexpr DWORD REG_OPTION_CREATE_LINK = 0x2;
constexpr DWORD REG_OPTION_BACKUP_RESTORE = 0x4;
constexpr DWORD REG_OPTION_OPEN_LINK = 0x8;

// Dispositions RegCreateKeyExA reports.
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens or creates hKey\lpSubKey with every missing key on the way, in one
// transaction, and reports which through lpdwDisposition (may be null). An
// empty or null lpSubKey opens hKey itself again. As on Windows, creation is
// checked against the key's security (which allows it), not against the
// rights of hKey, so a KEY_READ handle can create subkeys. lpClass and
// lpSecurityAttributes are accepted and not kept. REG_OPTION_CREATE_LINK is
// refused with ERROR_NOT_SUPPORTED (there are no link keys). phkResult null:
// ERROR_INVALID_PARAMETER; *phkResult is null after any failure.
LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition);
// RegCreateKeyExA with all access and no disposition. A null or empty subkey
// of a root answers the root itself.
LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);

// Opens an existing key; ERROR_FILE_NOT_FOUND when any component is missing.
// A null or empty lpSubKey gives a new handle to hKey (a root: the root).
LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);

// Closes a handle opened by the functions above. Closing a root succeeds and
// changes nothing; a handle already closed gives ERROR_INVALID_HANDLE.
LSTATUS WINAPI RegCloseKey(HKEY hKey);

// Sets (adds or replaces) a value. A null or empty lpValueName names the
// key's default value. cbData bytes of lpData are kept as given whatever the
// type, so a REG_SZ written with strlen + 1 reads back with its terminator.
// A replaced value keeps its place in enumeration order. Null lpData with a
// nonzero cbData: ERROR_NOACCESS.
LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                              DWORD cbData);

// Reads a value. Any of lpType, lpData, lpcbData may be null except that
// lpData needs lpcbData (else ERROR_INVALID_PARAMETER, as for a non-null
// lpReserved). With lpData null the size is answered in *lpcbData. When the
// buffer is too small: ERROR_MORE_DATA, *lpcbData set to the size needed,
// *lpType set, the buffer left as it was. A key without a default value
// answers ERROR_FILE_NOT_FOUND for it.
LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData);

// The old forms that work on the default value of hKey\lpSubKey. Set takes
// REG_SZ only (else ERROR_INVALID_PARAMETER), creates the subkey when
// missing and stores the string with its terminator (cbData is ignored, as
// on Windows). Query answers "" when the key has no default value and
// ERROR_FILE_NOT_FOUND when the key is missing; sizes as RegQueryValueExA.
LSTATUS WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData);
LSTATUS WINAPI RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, LPLONG lpcbData);

// Deletes hKey\lpSubKey with its values. A key that has subkeys is refused
// with ERROR_ACCESS_DENIED, as Windows refuses it; a missing key (or missing
// component on the way) gives ERROR_FILE_NOT_FOUND; an empty lpSubKey
// deletes hKey itself; a null one gives ERROR_INVALID_PARAMETER. Handles
// still open on the deleted key then answer ERROR_KEY_DELETED.
LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);

// Deletes the subkeys and values of hKey\lpSubKey, and that key itself when
// lpSubKey is not null, all in one transaction.
LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);

// Deletes one value (null or empty name: the default value).
LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);

// The name of subkey number dwIndex, subkeys ordered by their names without
// case. *lpcchName holds the buffer size in characters (terminator included)
// and receives the name's length without terminator; a name that does not fit
// gives ERROR_MORE_DATA. An index past the last subkey gives
// ERROR_NO_MORE_ITEMS. lpClass receives "" when given; lpftLastWriteTime the
// time the subkey was last changed (its values, or its subkeys added or
// removed).
LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);

// Value number dwIndex in the order the values were first set (the default
// value's name is ""). Name as RegEnumKeyExA; data, type and sizes as
// RegQueryValueExA, including ERROR_MORE_DATA with the size needed in
// *lpcbData (the name is still returned when it fits).
LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

// Counts and longest sizes of a key's subkeys and values, for sizing the
// buffers of the enumeration calls: lengths of names in characters without
// terminator, of data in bytes. The class is always "" and there is no
// security descriptor (size 0). Every out pointer may be null.
LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                PFILETIME lpftLastWriteTime);
