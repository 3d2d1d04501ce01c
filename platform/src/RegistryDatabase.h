// The registry's store: one SQLite database file per system root.
//
// Tables: keys (id, parent, name, fold, written) and vals (seq, key, name,
// fold, type, data). Key ids are never reused, so a handle to a deleted key
// can tell it is gone even after a new key of the same name appears. The
// roots are rows 1 (HKEY_LOCAL_MACHINE) and 2 (HKEY_CURRENT_USER); row 4,
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes, is HKEY_CLASSES_ROOT.
//
// Transactions: every call of the registry API is one transaction. Writers
// of all processes take an exclusive flock on "registry.db.lock" before they
// begin, so they queue in the kernel instead of polling for SQLite's write
// lock; readers need no lock (write-ahead log). A commit in WAL mode with
// synchronous=NORMAL survives the death of its process; a transaction cut off
// by a kill is rolled back when the database is next opened.
//
// Threads: one connection per object, used under the object's mutex, so one
// transaction runs at a time per process and root. Every member below except
// Open and Transact is called only inside Transact's body.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "FileDescriptor.h"
#include "RegistryNames.h"
#include "winreg.h"
#include "wintypes.h"

namespace qorv::platform::registry {

using KeyId = std::int64_t;

constexpr KeyId kLocalMachineKey = 1;
constexpr KeyId kCurrentUserKey = 2;
constexpr KeyId kSoftwareKey = 3;
constexpr KeyId kClassesKey = 4;

struct StoredValue {
  std::string Name;  // UTF-8
  DWORD Type = REG_NONE;
  std::string Data;
};

struct SubkeyEntry {
  std::string Name;  // UTF-8
  std::int64_t Written = 0;
};

struct KeyInfo {
  DWORD Subkeys = 0;
  DWORD Values = 0;
  DWORD LongestSubkeyName = 0;  // characters in the ANSI code page
  DWORD LongestValueName = 0;
  DWORD LongestData = 0;  // bytes
  std::int64_t Written = 0;
};

class RegistryDatabase {
 public:
  // Opens the file, creating it and its tables when missing. Fails with
  // ERROR_CANTOPEN, or ERROR_BADDB when the file is not a registry database.
  [[nodiscard]] static LONG Open(const std::filesystem::path& file, std::shared_ptr<RegistryDatabase>& out);
  ~RegistryDatabase();
  RegistryDatabase(const RegistryDatabase&) = delete;
  RegistryDatabase& operator=(const RegistryDatabase&) = delete;

  // The process that opened the connection; a forked child must not use it.
  pid_t OwnerProcess() const { return owner_; }

  // Runs body in one transaction: a write transaction (under the writers'
  // lock) when `write`. The body's result is returned; a write is committed
  // only when that is ERROR_SUCCESS, else rolled back. A database failure
  // inside rolls back and answers ERROR_CANTREAD / ERROR_CANTWRITE /
  // ERROR_BADDB / ERROR_NOT_ENOUGH_MEMORY.
  [[nodiscard]] LONG Transact(bool write, const std::function<LONG()>& body);

  // ---- keys ----
  bool KeyExists(KeyId key);
  std::optional<KeyId> FindSubkey(KeyId parent, const std::string& fold);
  KeyId AddSubkey(KeyId parent, const RegName& name);
  bool HasSubkeys(KeyId key);
  // Removes the key and its values (not its subkeys: the caller checks).
  void RemoveKey(KeyId key);
  // Removes every key below `key` with their values.
  void RemoveDescendants(KeyId key);
  void RemoveAllValues(KeyId key);
  // Marks the key changed now (its LastWriteTime).
  void Touch(KeyId key);
  // Entry number `index` is found afresh each time (an OFFSET scan of the
  // index), so enumerating n entries costs O(n^2) row steps: fine for keys
  // of hundreds of entries, slow for tens of thousands.
  std::optional<SubkeyEntry> SubkeyAt(KeyId key, DWORD index);
  KeyInfo Info(KeyId key);

  // ---- values ----
  std::optional<StoredValue> FindValue(KeyId key, const std::string& fold);
  // Adds the value, or replaces one of the same folded name in place.
  void SetValue(KeyId key, const RegName& name, DWORD type, const BYTE* data, DWORD size);
  bool RemoveValue(KeyId key, const std::string& fold);
  std::optional<StoredValue> ValueAt(KeyId key, DWORD index);

 private:
  class Statement;
  RegistryDatabase(sqlite3* connection, FileDescriptor writerLock);
  [[nodiscard]] LONG CreateSchema();
  // `sql` is a string literal: its address is the key of the statement cache.
  Statement Prepare(const char* sql);
  void Execute(const char* sql);
  LONG RunTransaction(bool write, const std::function<LONG()>& body);

  sqlite3* connection_;
  FileDescriptor writerLock_;
  pid_t owner_;
  std::mutex lock_;                                            // one transaction at a time
  std::unordered_map<const char*, sqlite3_stmt*> statements_;  // prepared once per SQL text; under lock_
};

// SQLite result code turned into the registry's error for a read or a write.
LONG ErrorFromSqlite(int code, bool write);

// FILETIME ticks (100 ns since 1601) of the current time.
std::int64_t FileTimeNow();

}  // namespace qorv::platform::registry
