#include "RegistryKeys.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "KernelObject.h"
#include "fileapi.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform::registry {

namespace {

constexpr const char* kDatabaseFile = "registry.db";
constexpr REGSAM kMaximumAllowed = 0x02000000;

class KeyObject : public KernelObject {
 public:
  explicit KeyObject(KeyRef key) : Key(std::move(key)) {}
  const KeyRef Key;
};

// The database of the root in use, opened again when the root changes
// (QORV_SYSTEM_ROOT set to another folder, the file replaced) or the process
// is a fork of the one that opened it.
struct CurrentDatabaseCache {
  std::mutex Lock;
  std::filesystem::path File;  // all fields under Lock
  dev_t Device = 0;
  ino_t Inode = 0;
  std::shared_ptr<RegistryDatabase> Database;
  // Connections a forked child inherited: SQLite forbids using or closing
  // them in the child, so they are kept, untouched, until the child ends.
  std::vector<std::shared_ptr<RegistryDatabase>> Inherited;
};

CurrentDatabaseCache& Cache() {
  static auto* cache = new CurrentDatabaseCache;  // never destroyed: registry calls may come from static destructors
  return *cache;
}

bool SameFile(const CurrentDatabaseCache& cache, const std::filesystem::path& file) {
  struct stat status {};
  return cache.File == file && ::stat(file.c_str(), &status) == 0 && status.st_dev == cache.Device &&
         status.st_ino == cache.Inode;
}

LONG CurrentDatabase(std::shared_ptr<RegistryDatabase>& out) {
  auto file = SystemRootPath() / kDatabaseFile;
  auto& cache = Cache();
  std::lock_guard guard(cache.Lock);
  if (cache.Database && cache.Database->OwnerProcess() != ::getpid()) {
    cache.Inherited.push_back(std::move(cache.Database));
    cache.Database = nullptr;
  }
  if (cache.Database && SameFile(cache, file)) {
    out = cache.Database;
    return ERROR_SUCCESS;
  }
  std::shared_ptr<RegistryDatabase> database;
  if (LONG error = RegistryDatabase::Open(file, database); error != ERROR_SUCCESS) return error;
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) return ERROR_CANTOPEN;
  cache.File = file;
  cache.Device = status.st_dev;
  cache.Inode = status.st_ino;
  cache.Database = database;
  out = std::move(database);
  return ERROR_SUCCESS;
}

std::optional<KeyId> RootKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return kClassesKey;
  if (key == HKEY_LOCAL_MACHINE) return kLocalMachineKey;
  if (key == HKEY_CURRENT_USER) return kCurrentUserKey;
  return std::nullopt;
}

}  // namespace

LONG ResolveKey(HKEY key, KeyRef& out) {
  if (auto root = RootKey(key)) {
    out = KeyRef{nullptr, *root, KEY_ALL_ACCESS, true};
    return CurrentDatabase(out.Database);
  }
  auto object = LookupHandleAs<KeyObject>(reinterpret_cast<HANDLE>(key));
  if (!object || object->Key.Database->OwnerProcess() != ::getpid()) return ERROR_INVALID_HANDLE;
  out = object->Key;
  return ERROR_SUCCESS;
}

HKEY AddKeyHandle(const KeyRef& key, LONG& error) {
  HANDLE handle = InsertHandle(std::make_shared<KeyObject>(key));
  error = handle ? ERROR_SUCCESS : ERROR_NO_SYSTEM_RESOURCES;
  return static_cast<HKEY>(handle);
}

bool RemoveKeyHandle(HKEY key) {
  auto handle = reinterpret_cast<HANDLE>(key);
  if (!LookupHandleAs<KeyObject>(handle)) return false;
  return RemoveHandle(handle) != nullptr;
}

REGSAM MapKeyAccess(REGSAM samDesired) {
  REGSAM access = samDesired & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | kMaximumAllowed);
  if (samDesired & GENERIC_READ) access |= KEY_READ;
  if (samDesired & GENERIC_WRITE) access |= KEY_WRITE;
  if (samDesired & GENERIC_EXECUTE) access |= KEY_EXECUTE;
  if (samDesired & (GENERIC_ALL | kMaximumAllowed)) access |= KEY_ALL_ACCESS;
  return access;
}

LONG CheckKeyLive(const KeyRef& key) {
  return key.IsRoot || key.Database->KeyExists(key.Key) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG WalkToKey(RegistryDatabase& database, KeyId start, const std::vector<RegName>& names, KeyId& out) {
  KeyId current = start;
  for (const RegName& name : names) {
    auto next = database.FindSubkey(current, name.Fold);
    if (!next) return ERROR_FILE_NOT_FOUND;
    current = *next;
  }
  out = current;
  return ERROR_SUCCESS;
}

LONG CopyOutData(const std::string& data, LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpcbData) return ERROR_SUCCESS;
  DWORD size = static_cast<DWORD>(data.size());
  if (lpData && size > *lpcbData) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData && size) std::memcpy(lpData, data.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG CopyOutName(const std::string& ansi, LPSTR lpName, LPDWORD lpcch) {
  if (ansi.size() + 1 > *lpcch) return ERROR_MORE_DATA;
  std::memcpy(lpName, ansi.c_str(), ansi.size() + 1);
  *lpcch = static_cast<DWORD>(ansi.size());
  return ERROR_SUCCESS;
}

bool IsProtectedKey(KeyId key) {
  return key == kLocalMachineKey || key == kCurrentUserKey || key == kSoftwareKey || key == kClassesKey;
}

}  // namespace qorv::platform::registry
