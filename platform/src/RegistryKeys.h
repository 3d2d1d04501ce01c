// What a key handle names: the database of the root it was opened in, the
// key's row, and the rights it was opened with. The predefined roots name the
// database of the root in use at each call.
#pragma once

#include <memory>
#include <new>

#include <vector>

#include "RegistryDatabase.h"
#include "winerror.h"
#include "winreg.h"

namespace qorv::platform::registry {

struct KeyRef {
  std::shared_ptr<RegistryDatabase> Database;
  KeyId Key = 0;
  REGSAM Access = 0;
  bool IsRoot = false;  // one of the predefined HKEY_* values
};

// The key a handle names; ERROR_INVALID_HANDLE when it names none (also for
// a handle opened before this process was forked), or the error of opening
// the current root's database for a predefined root.
[[nodiscard]] LONG ResolveKey(HKEY key, KeyRef& out);

// A new handle for an opened key, or ERROR_NO_SYSTEM_RESOURCES (result in
// `error`) when the handle table is full.
HKEY AddKeyHandle(const KeyRef& key, LONG& error);

// Closes an opened key's handle; false when it names no opened key.
bool RemoveKeyHandle(HKEY key);

// The rights a handle gets for samDesired, generic rights mapped to the key
// rights they stand for.
REGSAM MapKeyAccess(REGSAM samDesired);

// Whether the key may never be deleted (the roots and what HKEY_CLASSES_ROOT
// stands for).
bool IsProtectedKey(KeyId key);

// Runs one registry call so that no exception leaves it: an allocation
// failure becomes ERROR_NOT_ENOUGH_MEMORY. The last error is left alone.
template <class Body>
LONG RegistryCall(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERROR_GEN_FAILURE;
  }
}

// Inside a transaction: ERROR_KEY_DELETED when the handle's key has been
// deleted since it was opened.
[[nodiscard]] LONG CheckKeyLive(const KeyRef& key);

// Inside a transaction: the key at `names` below `start`, or
// ERROR_FILE_NOT_FOUND when one of them is missing.
[[nodiscard]] LONG WalkToKey(RegistryDatabase& database, KeyId start, const std::vector<RegName>& names, KeyId& out);

// Copies a value's data out the RegQueryValueExA way: size only when data is
// null, ERROR_MORE_DATA with the size needed when the buffer is short.
[[nodiscard]] LONG CopyOutData(const std::string& data, LPBYTE lpData, LPDWORD lpcbData);

// Copies a name out the enumeration way: *lpcch is the buffer size with the
// terminator on entry and the length without it on return; ERROR_MORE_DATA
// when it does not fit.
[[nodiscard]] LONG CopyOutName(const std::string& ansi, LPSTR lpName, LPDWORD lpcch);

}  // namespace qorv::platform::registry
