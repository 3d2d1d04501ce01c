#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "TdsTokens.h"

struct sqlite3;

namespace sqlstandin {

// One SQLite connection for the statements of a batch: the current
// database as "main", other databases attached under their lower-case
// names. SQLite's failures come back as the server's errors.
class SqliteSession {
 public:
  SqliteSession() = default;
  ~SqliteSession();
  SqliteSession(const SqliteSession&) = delete;
  SqliteSession& operator=(const SqliteSession&) = delete;

  std::optional<Message> open(const std::filesystem::path& file, bool create);
  std::optional<Message> attach(const std::string& alias, const std::filesystem::path& file);
  // Runs one statement; a result set goes to `out` as metadata and rows,
  // and the row count is returned through `rows`.
  std::optional<Message> run(const std::string& sql, TokenWriter& out, uint64_t& rows, bool& resultSet);

 private:
  sqlite3* db_ = nullptr;
  std::set<std::string> attached_;
};

// Whether a file starts as a database file does.
bool isDatabaseFile(const std::filesystem::path& file);

}  // namespace sqlstandin
