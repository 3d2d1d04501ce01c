// The process-wide register of module resource tables, and the resource API
// over it. The platform is one shared library for the whole process, so every
// module registers here and finds only its own tables by its module handle.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "NoThrow.h"
#include "fileapi.h"
#include "resource.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

struct Table {
  HMODULE Module;
  const ResourceEntry* Entries;
  size_t Count;
};

struct Register {
  std::mutex Lock;
  std::vector<Table> Tables;
};

Register& Tables() {
  static Register* tables = new Register;  // modules unregister from static destructors
  return *tables;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool SameText(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (Upper(*a) != Upper(*b)) return false;
  }
  return *a == *b;
}

// A name or type as the caller gave it: MAKEINTRESOURCE, "#123", or a string.
struct Key {
  const char* Text = nullptr;
  WORD Id = 0;
};

Key KeyOf(LPCSTR value) {
  Key key;
  if (IS_INTRESOURCE(value)) {
    key.Id = LOWORD(reinterpret_cast<ULONG_PTR>(value));
    return key;
  }
  if (value[0] == '#') {
    char* end = nullptr;
    unsigned long id = std::strtoul(value + 1, &end, 10);
    if (end != value + 1 && *end == '\0' && id > 0 && id <= 0xFFFF) {
      key.Id = static_cast<WORD>(id);
      return key;
    }
  }
  key.Text = value;
  return key;
}

bool Matches(const Key& key, const char* text, WORD id) {
  if (key.Text) return text && SameText(key.Text, text);
  return !text && key.Id != 0 && key.Id == id;
}

// The entry a handle names, when it is one of a registered table's entries.
const ResourceEntry* ValidEntry(HRSRC handle) {
  auto* entry = reinterpret_cast<const ResourceEntry*>(handle);
  auto& tables = Tables();
  std::lock_guard guard(tables.Lock);
  for (const auto& table : tables.Tables) {
    if (entry >= table.Entries && entry < table.Entries + table.Count) return entry;
  }
  return nullptr;
}

bool IsRegisteredData(const void* data) {
  auto& tables = Tables();
  std::lock_guard guard(tables.Lock);
  for (const auto& table : tables.Tables) {
    for (size_t i = 0; i < table.Count; ++i) {
      if (table.Entries[i].Data == data) return true;
    }
  }
  return false;
}

}  // namespace

void RegisterResourceTable(const ResourceEntry* entries, size_t count) {
  HMODULE module = ModuleFromAddress(entries);
  auto& tables = Tables();
  std::lock_guard guard(tables.Lock);
  tables.Tables.push_back({module, entries, count});
}

void UnregisterResourceTable(const ResourceEntry* entries) {
  auto& tables = Tables();
  std::lock_guard guard(tables.Lock);
  std::erase_if(tables.Tables, [&](const Table& table) { return table.Entries == entries; });
}

}  // namespace qorv::platform

using namespace qorv::platform;

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  return Guarded(HRSRC{}, [&]() -> HRSRC {
    if (!lpName || !lpType) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return nullptr;
    }
    HMODULE module = hModule ? hModule : GetModuleHandleA(nullptr);
    Key name = KeyOf(lpName);
    Key type = KeyOf(lpType);
    auto& tables = Tables();
    std::lock_guard guard(tables.Lock);
    bool moduleHasTable = false;
    bool typeFound = false;
    for (const auto& table : tables.Tables) {
      if (table.Module != module) continue;
      moduleHasTable = true;
      for (size_t i = 0; i < table.Count; ++i) {
        const ResourceEntry& entry = table.Entries[i];
        if (!Matches(type, entry.Type, entry.TypeId)) continue;
        typeFound = true;
        if (Matches(name, entry.Name, entry.NameId)) {
          return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&entry));
        }
      }
    }
    SetLastError(!moduleHasTable ? ERROR_RESOURCE_DATA_NOT_FOUND
                 : typeFound     ? ERROR_RESOURCE_NAME_NOT_FOUND
                                 : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  });
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
  return Guarded(HGLOBAL{}, [&]() -> HGLOBAL {
    const ResourceEntry* entry = ValidEntry(hResInfo);
    if (!entry) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    return const_cast<void*>(entry->Data);
  });
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
  return Guarded(LPVOID{}, [&]() -> LPVOID {
    if (!hResData || !IsRegisteredData(hResData)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    return hResData;
  });
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
  return Guarded(DWORD{0}, [&]() -> DWORD {
    const ResourceEntry* entry = ValidEntry(hResInfo);
    if (!entry) return FailWith(ERROR_INVALID_HANDLE);
    return entry->Size;
  });
}

// Resources live in the module's image, so there is nothing to release; the
// answer is FALSE as on every Windows since the 32-bit ones.
BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }
