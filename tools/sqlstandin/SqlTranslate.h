#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SqlLexer.h"

namespace sqlstandin {

struct Translation {
  std::string sql;
  // Other databases the statement names (db.dbo.table); each is attached
  // under its lower-case name before the statement runs.
  std::vector<std::string> databases;
  std::optional<LexError> error;
};

// Rewrites one Transact-SQL statement for SQLite: [names] and "names"
// become SQLite identifiers, N'..' plain literals, db.dbo.t and db..t the
// attached schema, dbo.t the table itself.
Translation translateToSqlite(const std::vector<SqlToken>& tokens, size_t from, const std::string& currentDb);

std::string sqliteIdentifier(const std::string& name);

}  // namespace sqlstandin
