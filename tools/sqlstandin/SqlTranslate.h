#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SqlLexer.h"
#include "TdsTokens.h"

namespace sqlstandin {

struct Translation {
  std::string sql;
  // Other databases the statement names (db.dbo.table); each is attached
  // under its lower-case name before the statement runs.
  std::vector<std::string> databases;
  std::optional<LexError> error;
};

// Parameter values of a procedure call by lower-case name ("@p1").
using Bindings = std::map<std::string, Value>;

// Rewrites one Transact-SQL statement for SQLite: [names] and "names"
// become SQLite identifiers, N'..' plain literals, db.dbo.t and db..t the
// attached schema, dbo.t the table itself, a bound @name its value as a
// literal.
Translation translateToSqlite(const std::vector<SqlToken>& tokens, size_t from, const std::string& currentDb,
                              const Bindings& bindings = {});

// A value as an SQLite literal: NULL, a number, or a quoted string.
std::string sqliteLiteral(const Value& value);

std::string sqliteIdentifier(const std::string& name);

}  // namespace sqlstandin
