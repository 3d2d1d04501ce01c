#include "RegistryDatabase.h"

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "winerror.h"

namespace qorv::platform::registry {

namespace {

// Waits for another connection's lock (a reader recovering the log after a
// crash, an outside tool) before a call gives up; our own writers queue on
// the flock instead and never reach this.
constexpr int kBusyTimeoutMs = 60000;
constexpr int kSchemaVersion = 1;
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;

struct SqliteFailure {
  int Code;
};

void Check(int code) {
  if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW) throw SqliteFailure{code};
}

// Holds the writers' flock for one transaction.
class WriterLockGuard {
 public:
  explicit WriterLockGuard(int fd) : fd_(fd) {
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) throw SqliteFailure{SQLITE_BUSY};
    }
  }
  ~WriterLockGuard() { ::flock(fd_, LOCK_UN); }
  WriterLockGuard(const WriterLockGuard&) = delete;
  WriterLockGuard& operator=(const WriterLockGuard&) = delete;

 private:
  int fd_;
};

}  // namespace

// A cached prepared statement in use; reset and unbound when the use ends, so
// no statement keeps a read transaction open past its call.
class RegistryDatabase::Statement {
 public:
  explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
  ~Statement() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(statement_, index, value));
    return *this;
  }
  Statement& Bind(int index, const std::string& text) {
    Check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
  }
  // A zero-length blob needs a non-null pointer, else SQLite stores NULL.
  Statement& BindBlob(int index, const BYTE* data, DWORD size) {
    static const BYTE empty = 0;
    Check(sqlite3_bind_blob64(statement_, index, size ? data : &empty, size, SQLITE_TRANSIENT));
    return *this;
  }
  // True while a row is ready.
  bool Step() {
    int code = sqlite3_step(statement_);
    Check(code);
    return code == SQLITE_ROW;
  }
  void Reset() { sqlite3_reset(statement_); }
  std::int64_t Int(int column) { return sqlite3_column_int64(statement_, column); }
  std::string Bytes(int column) {
    const void* data = sqlite3_column_blob(statement_, column);
    int size = sqlite3_column_bytes(statement_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size)) : std::string();
  }

 private:
  sqlite3_stmt* statement_;
};

LONG ErrorFromSqlite(int code, bool write) {
  switch (code & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return ERROR_BADDB;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    default: return write ? ERROR_CANTWRITE : ERROR_CANTREAD;
  }
}

std::int64_t FileTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return kUnixEpochAsFileTime + static_cast<std::int64_t>(now.tv_sec) * 10000000 + now.tv_nsec / 100;
}

LONG RegistryDatabase::Open(const std::filesystem::path& file, std::shared_ptr<RegistryDatabase>& out) {
  FileDescriptor writerLock(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!writerLock.Valid()) return ERROR_CANTOPEN;
  sqlite3* connection = nullptr;
  int code = sqlite3_open_v2(file.c_str(), &connection,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (code != SQLITE_OK) {
    sqlite3_close_v2(connection);
    return ERROR_CANTOPEN;
  }
  sqlite3_busy_timeout(connection, kBusyTimeoutMs);
  std::shared_ptr<RegistryDatabase> database(new RegistryDatabase(connection, std::move(writerLock)));
  if (LONG error = database->CreateSchema(); error != ERROR_SUCCESS) return error;
  out = std::move(database);
  return ERROR_SUCCESS;
}

RegistryDatabase::RegistryDatabase(sqlite3* connection, FileDescriptor writerLock)
    : connection_(connection), writerLock_(std::move(writerLock)), owner_(::getpid()) {}

RegistryDatabase::~RegistryDatabase() {
  for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
  sqlite3_close_v2(connection_);
}

// Idempotent, so processes opening a new root at once all succeed; under the
// writers' lock so that only one of them creates the tables.
LONG RegistryDatabase::CreateSchema() {
  std::lock_guard guard(lock_);
  try {
    WriterLockGuard writer(writerLock_.Get());
    // The log mode is kept in the file; synchronous is per connection.
    Execute("PRAGMA journal_mode=WAL");
    Execute("PRAGMA synchronous=NORMAL");
  } catch (const SqliteFailure& failure) {
    return ErrorFromSqlite(failure.Code, true);
  }
  return RunTransaction(true, [this]() -> LONG {
    auto version = Prepare("PRAGMA user_version");
    std::int64_t found = version.Step() ? version.Int(0) : 0;
    if (found > kSchemaVersion) return ERROR_BADDB;
    Execute(
        "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
        " name TEXT NOT NULL, fold TEXT NOT NULL, written INTEGER NOT NULL, UNIQUE(parent, fold))");
    Execute(
        "CREATE TABLE IF NOT EXISTS vals(seq INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL,"
        " name TEXT NOT NULL, fold TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold))");
    Execute("CREATE INDEX IF NOT EXISTS vals_order ON vals(key, seq)");
    auto root = Prepare("INSERT OR IGNORE INTO keys(id, parent, name, fold, written) VALUES(?1, ?2, ?3, ?4, ?5)");
    struct Root {
      KeyId Id;
      KeyId Parent;
      const char* Name;
    };
    for (const Root& row :
         {Root{kLocalMachineKey, 0, "HKEY_LOCAL_MACHINE"}, Root{kCurrentUserKey, 0, "HKEY_CURRENT_USER"},
          Root{kSoftwareKey, kLocalMachineKey, "SOFTWARE"}, Root{kClassesKey, kSoftwareKey, "Classes"}}) {
      root.Bind(1, row.Id).Bind(2, row.Parent).Bind(3, std::string(row.Name));
      root.Bind(4, FoldName(row.Name)).Bind(5, FileTimeNow()).Step();
      root.Reset();
    }
    static_assert(kSchemaVersion == 1, "the statement below writes the version");
    Execute("PRAGMA user_version=1");
    return ERROR_SUCCESS;
  });
}

RegistryDatabase::Statement RegistryDatabase::Prepare(const char* sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return Statement(found->second);
  sqlite3_stmt* statement = nullptr;
  Check(sqlite3_prepare_v3(connection_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr));
  statements_.emplace(sql, statement);
  return Statement(statement);
}

void RegistryDatabase::Execute(const char* sql) {
  auto statement = Prepare(sql);
  while (statement.Step()) {
  }
}

LONG RegistryDatabase::Transact(bool write, const std::function<LONG()>& body) {
  std::lock_guard guard(lock_);
  try {
    if (!write) return RunTransaction(false, body);
    WriterLockGuard writer(writerLock_.Get());
    return RunTransaction(true, body);
  } catch (const SqliteFailure& failure) {
    return ErrorFromSqlite(failure.Code, write);
  }
}

LONG RegistryDatabase::RunTransaction(bool write, const std::function<LONG()>& body) {
  try {
    Execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
  } catch (const SqliteFailure& failure) {
    return ErrorFromSqlite(failure.Code, write);
  }
  LONG result = ERROR_SUCCESS;
  try {
    result = body();
    Execute(write && result != ERROR_SUCCESS ? "ROLLBACK" : "COMMIT");
    return result;
  } catch (const SqliteFailure& failure) {
    result = ErrorFromSqlite(failure.Code, write);
  } catch (const std::bad_alloc&) {
    result = ERROR_NOT_ENOUGH_MEMORY;
  }
  // A failed statement may have ended the transaction already.
  if (!sqlite3_get_autocommit(connection_)) sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
  return result;
}

bool RegistryDatabase::KeyExists(KeyId key) { return Prepare("SELECT 1 FROM keys WHERE id = ?1").Bind(1, key).Step(); }

std::optional<KeyId> RegistryDatabase::FindSubkey(KeyId parent, const std::string& fold) {
  auto find = Prepare("SELECT id FROM keys WHERE parent = ?1 AND fold = ?2");
  if (!find.Bind(1, parent).Bind(2, fold).Step()) return std::nullopt;
  return find.Int(0);
}

KeyId RegistryDatabase::AddSubkey(KeyId parent, const RegName& name) {
  Prepare("INSERT INTO keys(parent, name, fold, written) VALUES(?1, ?2, ?3, ?4)")
      .Bind(1, parent)
      .Bind(2, name.Name)
      .Bind(3, name.Fold)
      .Bind(4, FileTimeNow())
      .Step();
  KeyId added = sqlite3_last_insert_rowid(connection_);
  Touch(parent);
  return added;
}

bool RegistryDatabase::HasSubkeys(KeyId key) {
  return Prepare("SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1").Bind(1, key).Step();
}

void RegistryDatabase::RemoveKey(KeyId key) {
  Prepare("UPDATE keys SET written = ?2 WHERE id = (SELECT parent FROM keys WHERE id = ?1)")
      .Bind(1, key)
      .Bind(2, FileTimeNow())
      .Step();
  RemoveAllValues(key);
  Prepare("DELETE FROM keys WHERE id = ?1").Bind(1, key).Step();
}

void RegistryDatabase::RemoveDescendants(KeyId key) {
  Prepare(
      "DELETE FROM vals WHERE key IN (WITH RECURSIVE below(id) AS (SELECT id FROM keys WHERE parent = ?1"
      " UNION ALL SELECT keys.id FROM keys JOIN below ON keys.parent = below.id) SELECT id FROM below)")
      .Bind(1, key)
      .Step();
  Prepare(
      "DELETE FROM keys WHERE id IN (WITH RECURSIVE below(id) AS (SELECT id FROM keys WHERE parent = ?1"
      " UNION ALL SELECT keys.id FROM keys JOIN below ON keys.parent = below.id) SELECT id FROM below)")
      .Bind(1, key)
      .Step();
  Touch(key);
}

void RegistryDatabase::RemoveAllValues(KeyId key) { Prepare("DELETE FROM vals WHERE key = ?1").Bind(1, key).Step(); }

void RegistryDatabase::Touch(KeyId key) {
  Prepare("UPDATE keys SET written = ?2 WHERE id = ?1").Bind(1, key).Bind(2, FileTimeNow()).Step();
}

std::optional<SubkeyEntry> RegistryDatabase::SubkeyAt(KeyId key, DWORD index) {
  auto at = Prepare("SELECT name, written FROM keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
  if (!at.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)).Step()) return std::nullopt;
  return SubkeyEntry{at.Bytes(0), at.Int(1)};
}

KeyInfo RegistryDatabase::Info(KeyId key) {
  KeyInfo info;
  auto written = Prepare("SELECT written FROM keys WHERE id = ?1");
  if (written.Bind(1, key).Step()) info.Written = written.Int(0);
  // Lengths are counted in the caller's code page, where a name may be
  // shorter than its stored UTF-8.
  auto subkeys = Prepare("SELECT name FROM keys WHERE parent = ?1");
  subkeys.Bind(1, key);
  while (subkeys.Step()) {
    ++info.Subkeys;
    info.LongestSubkeyName = std::max(info.LongestSubkeyName, static_cast<DWORD>(NameToAnsi(subkeys.Bytes(0)).size()));
  }
  auto values = Prepare("SELECT name, length(data) FROM vals WHERE key = ?1");
  values.Bind(1, key);
  while (values.Step()) {
    ++info.Values;
    info.LongestValueName = std::max(info.LongestValueName, static_cast<DWORD>(NameToAnsi(values.Bytes(0)).size()));
    info.LongestData = std::max<DWORD>(info.LongestData, static_cast<DWORD>(values.Int(1)));
  }
  return info;
}

std::optional<StoredValue> RegistryDatabase::FindValue(KeyId key, const std::string& fold) {
  auto find = Prepare("SELECT name, type, data FROM vals WHERE key = ?1 AND fold = ?2");
  if (!find.Bind(1, key).Bind(2, fold).Step()) return std::nullopt;
  return StoredValue{find.Bytes(0), static_cast<DWORD>(find.Int(1)), find.Bytes(2)};
}

void RegistryDatabase::SetValue(KeyId key, const RegName& name, DWORD type, const BYTE* data, DWORD size) {
  // A replaced value keeps its name as first written and its place in the
  // enumeration order, as a value cell rewritten in place does on Windows.
  Prepare(
      "INSERT INTO vals(key, name, fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
      " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data")
      .Bind(1, key)
      .Bind(2, name.Name)
      .Bind(3, name.Fold)
      .Bind(4, static_cast<std::int64_t>(type))
      .BindBlob(5, data, size)
      .Step();
  Touch(key);
}

bool RegistryDatabase::RemoveValue(KeyId key, const std::string& fold) {
  Prepare("DELETE FROM vals WHERE key = ?1 AND fold = ?2").Bind(1, key).Bind(2, fold).Step();
  if (sqlite3_changes(connection_) == 0) return false;
  Touch(key);
  return true;
}

std::optional<StoredValue> RegistryDatabase::ValueAt(KeyId key, DWORD index) {
  auto at = Prepare("SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY seq LIMIT 1 OFFSET ?2");
  if (!at.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)).Step()) return std::nullopt;
  return StoredValue{at.Bytes(0), static_cast<DWORD>(at.Int(1)), at.Bytes(2)};
}

}  // namespace qorv::platform::registry
