// What the COM runtime's files share: the calling thread's apartment, text
// conversions between OLE strings and the ANSI code page, identifiers as
// text, and the two places class objects come from.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "objbase.h"

namespace qorv::platform {

// True while the calling thread is inside an apartment (CoInitialize(Ex)).
bool ThreadInApartment();

// OLE (UTF-16) text to the ANSI code page and back; null reads as "".
std::string OleToAnsi(LPCOLESTR text);
std::u16string AnsiToOle(const std::string& text);

// The default value of HKEY_CLASSES_ROOT\<subKey> when it is a string
// (REG_SZ or REG_EXPAND_SZ, taken as written); nothing when the key or the
// value is missing.
std::optional<std::string> ClassesRootDefault(const std::string& subKey);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidToString(REFGUID guid);
// Parses exactly the braced form, hex digits in either case.
bool ParseGuid(const std::u16string& text, GUID* guid);

// A class object from a class the platform serves itself: S_OK or the
// factory's QueryInterface failure; S_FALSE when no such class is built in.
HRESULT BuiltinClassObject(REFCLSID clsid, REFIID riid, void** ppv);

// A class object from the in-process server named by an InprocServer32
// value: loads the server once per process and asks its DllGetClassObject.
HRESULT InprocServerClassObject(const std::string& serverValue, REFCLSID clsid, REFIID riid, void** ppv);

// The Linux file an InprocServer32 value names: a Linux absolute path as it
// is, a Windows path through the drive map with 8.3 short components matched
// to the long names they stand for. Nothing when the drive is not mapped or a
// component of the path does not exist.
std::optional<std::filesystem::path> ResolveServerPath(const std::string& serverValue);

}  // namespace qorv::platform
