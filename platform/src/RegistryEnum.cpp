// Enumerating a key's subkeys and values, and the key's counts and sizes.
#include "RegistryKeys.h"
#include "winerror.h"
#include "winreg.h"

using namespace qorv::platform::registry;

namespace {

void StoreFileTime(std::int64_t ticks, PFILETIME out) {
  if (!out) return;
  out->dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) & 0xFFFFFFFFu);
  out->dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
}

// Keys have no class here; an asked-for class is "".
LONG StoreEmptyClass(LPSTR lpClass, LPDWORD lpcchClass) {
  if (!lpcchClass) return ERROR_SUCCESS;
  if (lpClass) {
    if (*lpcchClass < 1) return ERROR_MORE_DATA;
    lpClass[0] = '\0';
  }
  *lpcchClass = 0;
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  return RegistryCall([&]() -> LONG {
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG error = ResolveKey(hKey, key); error != ERROR_SUCCESS) return error;
    if ((key.Access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
    std::optional<SubkeyEntry> entry;
    LONG error = key.Database->Transact(false, [&]() -> LONG {
      if (LONG live = CheckKeyLive(key); live != ERROR_SUCCESS) return live;
      entry = key.Database->SubkeyAt(key.Key, dwIndex);
      return entry ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
    });
    if (error != ERROR_SUCCESS) return error;
    if (LONG copied = CopyOutName(NameToAnsi(entry->Name), lpName, lpcchName); copied != ERROR_SUCCESS) return copied;
    StoreFileTime(entry->Written, lpftLastWriteTime);
    return StoreEmptyClass(lpClass, lpcchClass);
  });
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  return RegistryCall([&]() -> LONG {
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG error = ResolveKey(hKey, key); error != ERROR_SUCCESS) return error;
    if ((key.Access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    std::optional<StoredValue> value;
    LONG error = key.Database->Transact(false, [&]() -> LONG {
      if (LONG live = CheckKeyLive(key); live != ERROR_SUCCESS) return live;
      value = key.Database->ValueAt(key.Key, dwIndex);
      return value ? ERROR_SUCCESS : ERROR_NO_MORE_ITEMS;
    });
    if (error != ERROR_SUCCESS) return error;
    if (LONG copied = CopyOutName(NameToAnsi(value->Name), lpValueName, lpcchValueName); copied != ERROR_SUCCESS) {
      return copied;
    }
    if (lpType) *lpType = value->Type;
    return CopyOutData(value->Data, lpData, lpcbData);
  });
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                PFILETIME lpftLastWriteTime) {
  return RegistryCall([&]() -> LONG {
    if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    KeyRef key;
    if (LONG error = ResolveKey(hKey, key); error != ERROR_SUCCESS) return error;
    if ((key.Access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    KeyInfo info;
    LONG error = key.Database->Transact(false, [&]() -> LONG {
      if (LONG live = CheckKeyLive(key); live != ERROR_SUCCESS) return live;
      info = key.Database->Info(key.Key);
      return ERROR_SUCCESS;
    });
    if (error != ERROR_SUCCESS) return error;
    if (lpcSubKeys) *lpcSubKeys = info.Subkeys;
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = info.LongestSubkeyName;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = info.Values;
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = info.LongestValueName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = info.LongestData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    StoreFileTime(info.Written, lpftLastWriteTime);
    return StoreEmptyClass(lpClass, lpcchClass);
  });
}
