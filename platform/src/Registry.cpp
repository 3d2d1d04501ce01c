// Opening, creating, deleting keys and setting, reading, deleting values.
// Each call resolves its handle, then does all its database work in one
// transaction (see RegistryDatabase.h).
#include <cstring>
#include <vector>

#include "RegistryKeys.h"
#include "winerror.h"
#include "winreg.h"

using namespace qorv::platform::registry;

namespace {

bool HasAccess(const KeyRef& key, REGSAM needed) { return (key.Access & needed) == needed; }

// Creates the missing keys of `names` below `start`; `created` tells whether
// the last one was new.
KeyId CreatePath(RegistryDatabase& database, KeyId start, const std::vector<RegName>& names, bool& created) {
  KeyId current = start;
  created = false;
  for (const RegName& name : names) {
    auto next = database.FindSubkey(current, name.Fold);
    created = !next;
    current = next ? *next : database.AddSubkey(current, name);
  }
  return current;
}

LONG OpenHandle(const KeyRef& parent, KeyId key, REGSAM samDesired, PHKEY phkResult) {
  LONG error = ERROR_SUCCESS;
  HKEY handle = AddKeyHandle(KeyRef{parent.Database, key, MapKeyAccess(samDesired), false}, error);
  if (error == ERROR_SUCCESS) *phkResult = handle;
  return error;
}

}  // namespace

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                               const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return RegistryCall([&]() -> LONG {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    // A symbolic link key would need link resolution on every lookup, which
    // this registry does not have.
    if (dwOptions & REG_OPTION_CREATE_LINK) return ERROR_NOT_SUPPORTED;
    std::vector<RegName> names;
    if (LONG error = SplitKeyPath(lpSubKey, names); error != ERROR_SUCCESS) return error;
    KeyRef parent;
    if (LONG error = ResolveKey(hKey, parent); error != ERROR_SUCCESS) return error;
    KeyId key = 0;
    bool created = false;
    // Creation is not checked against the handle's rights: Windows checks it
    // against the key's security, which grants it here.
    LONG error = parent.Database->Transact(true, [&]() -> LONG {
      if (LONG live = CheckKeyLive(parent); live != ERROR_SUCCESS) return live;
      key = CreatePath(*parent.Database, parent.Key, names, created);
      return ERROR_SUCCESS;
    });
    if (error != ERROR_SUCCESS) return error;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return OpenHandle(parent, key, samDesired, phkResult);
  });
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return RegistryCall([&]() -> LONG {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<RegName> names;
    if (LONG error = SplitKeyPath(lpSubKey, names); error != ERROR_SUCCESS) return error;
    KeyRef parent;
    if (LONG error = ResolveKey(hKey, parent); error != ERROR_SUCCESS) return error;
    KeyId key = 0;
    LONG error = parent.Database->Transact(false, [&]() -> LONG {
      if (LONG live = CheckKeyLive(parent); live != ERROR_SUCCESS) return live;
      return WalkToKey(*parent.Database, parent.Key, names, key);
    });
    if (error != ERROR_SUCCESS) return error;
    return OpenHandle(parent, key, samDesired, phkResult);
  });
}

// The old forms hand a root back itself for an empty path, as Windows does.
LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  return RegistryCall([&]() -> LONG {
    KeyRef ignored;
    if (phkResult && (!lpSubKey || !*lpSubKey) && ResolveKey(hKey, ignored) == ERROR_SUCCESS && ignored.IsRoot) {
      *phkResult = hKey;
      return ERROR_SUCCESS;
    }
    return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, phkResult,
                           nullptr);
  });
}

LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  return RegistryCall([&]() -> LONG {
    KeyRef ignored;
    if (phkResult && (!lpSubKey || !*lpSubKey) && ResolveKey(hKey, ignored) == ERROR_SUCCESS && ignored.IsRoot) {
      *phkResult = hKey;
      return ERROR_SUCCESS;
    }
    return RegOpenKeyExA(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
  });
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  return RegistryCall([&]() -> LONG {
    if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    return RemoveKeyHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  });
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return RegistryCall([&]() -> LONG {
    KeyRef key;
    if (LONG error = ResolveKey(hKey, key); error != ERROR_SUCCESS) return error;
    if (!HasAccess(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    if (!lpData && cbData) return ERROR_NOACCESS;
    RegName name;
    if (LONG error = MakeValueName(lpValueName, name); error != ERROR_SUCCESS) return error;
    return key.Database->Transact(true, [&]() -> LONG {
      if (LONG live = CheckKeyLive(key); live != ERROR_SUCCESS) return live;
      key.Database->SetValue(key.Key, name, dwType, lpData, cbData);
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
  return RegistryCall([&]() -> LONG {
    if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG error = ResolveKey(hKey, key); error != ERROR_SUCCESS) return error;
    if (!HasAccess(key, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    RegName name;
    if (LONG error = MakeValueName(lpValueName, name); error != ERROR_SUCCESS) return error;
    std::optional<StoredValue> value;
    LONG error = key.Database->Transact(false, [&]() -> LONG {
      if (LONG live = CheckKeyLive(key); live != ERROR_SUCCESS) return live;
      value = key.Database->FindValue(key.Key, name.Fold);
      return value ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (error != ERROR_SUCCESS) return error;
    if (lpType) *lpType = value->Type;
    return CopyOutData(value->Data, lpData, lpcbData);
  });
}

LSTATUS WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD) {
  if (dwType != REG_SZ || !lpData) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG error =
      RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (error != ERROR_SUCCESS) return error;
  error = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpData),
                         static_cast<DWORD>(std::strlen(lpData) + 1));
  RegCloseKey(key);
  return error;
}

LSTATUS WINAPI RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, LPLONG lpcbData) {
  if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  LONG error = RegOpenKeyExA(hKey, lpSubKey, 0, KEY_QUERY_VALUE, &key);
  if (error != ERROR_SUCCESS) return error;
  DWORD size = lpcbData ? static_cast<DWORD>(*lpcbData) : 0;
  error =
      RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(lpData), lpcbData ? &size : nullptr);
  RegCloseKey(key);
  // A key without a default value reads as the empty string.
  if (error == ERROR_FILE_NOT_FOUND) {
    error = CopyOutData(std::string(1, '\0'), reinterpret_cast<LPBYTE>(lpData), lpcbData ? &size : nullptr);
  }
  if (lpcbData && (error == ERROR_SUCCESS || error == ERROR_MORE_DATA)) *lpcbData = static_cast<LONG>(size);
  return error;
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  return RegistryCall([&]() -> LONG {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    std::vector<RegName> names;
    if (LONG error = SplitKeyPath(lpSubKey, names); error != ERROR_SUCCESS) return error;
    KeyRef parent;
    if (LONG error = ResolveKey(hKey, parent); error != ERROR_SUCCESS) return error;
    return parent.Database->Transact(true, [&]() -> LONG {
      if (LONG live = CheckKeyLive(parent); live != ERROR_SUCCESS) return live;
      KeyId key = 0;
      if (LONG error = WalkToKey(*parent.Database, parent.Key, names, key); error != ERROR_SUCCESS) return error;
      if (IsProtectedKey(key) || parent.Database->HasSubkeys(key)) return ERROR_ACCESS_DENIED;
      parent.Database->RemoveKey(key);
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  return RegistryCall([&]() -> LONG {
    std::vector<RegName> names;
    if (LONG error = SplitKeyPath(lpSubKey, names); error != ERROR_SUCCESS) return error;
    KeyRef parent;
    if (LONG error = ResolveKey(hKey, parent); error != ERROR_SUCCESS) return error;
    // Emptying the handle's own key works through the handle's rights.
    if (!lpSubKey && !HasAccess(parent, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    return parent.Database->Transact(true, [&]() -> LONG {
      if (LONG live = CheckKeyLive(parent); live != ERROR_SUCCESS) return live;
      KeyId key = 0;
      if (LONG error = WalkToKey(*parent.Database, parent.Key, names, key); error != ERROR_SUCCESS) return error;
      bool removeKey = lpSubKey != nullptr;
      if (removeKey && IsProtectedKey(key)) return ERROR_ACCESS_DENIED;
      parent.Database->RemoveDescendants(key);
      parent.Database->RemoveAllValues(key);
      if (removeKey) parent.Database->RemoveKey(key);
      return ERROR_SUCCESS;
    });
  });
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return RegistryCall([&]() -> LONG {
    KeyRef key;
    if (LONG error = ResolveKey(hKey, key); error != ERROR_SUCCESS) return error;
    if (!HasAccess(key, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    RegName name;
    if (LONG error = MakeValueName(lpValueName, name); error != ERROR_SUCCESS) return error;
    return key.Database->Transact(true, [&]() -> LONG {
      if (LONG live = CheckKeyLive(key); live != ERROR_SUCCESS) return live;
      return key.Database->RemoveValue(key.Key, name.Fold) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
  });
}
