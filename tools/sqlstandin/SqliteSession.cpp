#include "SqliteSession.h"

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "SqlLexer.h"
#include "SqlTranslate.h"

namespace sqlstandin {

namespace fs = std::filesystem;

namespace {

constexpr int kBusyMilliseconds = 10000;

std::string after(const std::string& text, const char* prefix) { return text.substr(std::strlen(prefix)); }

// The table or column name without the schema SQLite puts in front.
std::string bareName(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

Message serverError(const std::string& sqliteText) {
  if (sqliteText.rfind("no such table: ", 0) == 0) {
    return {208, 1, 16, "Invalid object name '" + bareName(after(sqliteText, "no such table: ")) + "'."};
  }
  if (sqliteText.rfind("no such column: ", 0) == 0) {
    return {207, 1, 16, "Invalid column name '" + bareName(after(sqliteText, "no such column: ")) + "'."};
  }
  if (sqliteText.rfind("duplicate column name: ", 0) == 0) {
    return {2705, 4, 16,
            "Column names in each table must be unique. Column name '" + after(sqliteText, "duplicate column name: ") +
                "' is specified more than once."};
  }
  if (sqliteText.find("values were supplied") != std::string::npos ||
      sqliteText.find("values for") != std::string::npos) {
    return {213, 1, 16, "Column name or number of supplied values does not match table definition."};
  }
  if (sqliteText.rfind("UNIQUE constraint failed", 0) == 0) {
    return {2627, 1, 14, "Violation of PRIMARY KEY constraint. Cannot insert duplicate key."};
  }
  if (sqliteText.rfind("near \"", 0) == 0) {
    size_t end = sqliteText.find('"', 6);
    return {102, 1, 15, "Incorrect syntax near '" + sqliteText.substr(6, end - 6) + "'."};
  }
  return {50000, 1, 16, sqliteText};
}

bool typeIs(const std::string& decl, const char* name, uint32_t& size) {
  size_t n = std::strlen(name);
  if (decl.compare(0, n, name) != 0) {
    return false;
  }
  std::string rest = decl.substr(n);
  size = 1;
  if (rest.empty()) {
    return true;
  }
  if (rest.front() != '(') {
    return false;
  }
  size = rest.find("max") != std::string::npos ? 0 : static_cast<uint32_t>(std::strtoul(rest.c_str() + 1, nullptr, 10));
  return true;
}

// The SQL Server type of a column, from the type it was declared with; an
// expression column takes its type from its first value.
Column describe(sqlite3_stmt* statement, int index, int firstType) {
  Column c;
  const char* name = sqlite3_column_name(statement, index);
  c.name = name ? name : "";
  const char* declared = sqlite3_column_decltype(statement, index);
  std::string decl;
  for (const char* p = declared ? declared : ""; *p; ++p) {
    if (*p != ' ' && *p != '\t') {
      decl += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
  }
  uint32_t size = 0;
  if (decl == "tinyint") {
    c.type = SqlType::TinyInt;
  } else if (decl == "int" || decl == "smallint") {
    c.type = SqlType::Int;
  } else if (decl == "integer") {
    // Only the key column is declared so: SQLite numbers it as SQL Server
    // numbers an identity column.
    c.type = SqlType::Int;
    c.identity = true;
  } else if (decl == "bigint") {
    c.type = SqlType::BigInt;
  } else if (decl == "bit") {
    c.type = SqlType::Bit;
  } else if (decl == "float" || decl == "real") {
    c.type = SqlType::Float;
  } else if (decl == "ntext" || decl == "nvarchar(max)") {
    c.type = SqlType::NText;
  } else if (decl == "text" || decl == "varchar(max)") {
    c.type = SqlType::Text;
  } else if (typeIs(decl, "nvarchar", size) || typeIs(decl, "nchar", size)) {
    c.type = SqlType::NVarChar;
    c.maxChars = std::min<uint32_t>(size, 4000);
  } else if (typeIs(decl, "varchar", size) || typeIs(decl, "char", size)) {
    c.type = SqlType::VarChar;
    c.maxChars = std::min<uint32_t>(size, 8000);
  } else if (firstType == SQLITE_INTEGER) {
    c.type = SqlType::Int;
    int64_t v = sqlite3_column_int64(statement, index);
    if (v < INT32_MIN || v > INT32_MAX) {
      c.type = SqlType::BigInt;
    }
  } else if (firstType == SQLITE_FLOAT) {
    c.type = SqlType::Float;
  } else {
    c.type = SqlType::NVarChar;
    c.maxChars = 4000;
  }
  return c;
}

Value valueOf(sqlite3_stmt* statement, int index) {
  switch (sqlite3_column_type(statement, index)) {
    case SQLITE_INTEGER: return static_cast<int64_t>(sqlite3_column_int64(statement, index));
    case SQLITE_FLOAT: return sqlite3_column_double(statement, index);
    case SQLITE_NULL: return std::monostate{};
    default: {
      auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
      return std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(statement, index)));
    }
  }
}

}  // namespace

SqliteSession::~SqliteSession() { sqlite3_close_v2(db_); }

std::optional<Message> SqliteSession::open(const fs::path& file, bool create) {
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(file.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    return Message{5120, 101, 16, "Unable to open the physical file \"" + file.string() + "\"."};
  }
  sqlite3_busy_timeout(db_, kBusyMilliseconds);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  return std::nullopt;
}

std::optional<Message> SqliteSession::attach(const std::string& alias, const fs::path& file) {
  if (attached_.count(alias)) {
    return std::nullopt;
  }
  std::string sql = "ATTACH DATABASE '";
  for (char c : file.string()) {
    sql += c;
    if (c == '\'') {
      sql += '\'';
    }
  }
  sql += "' AS " + sqliteIdentifier(alias);
  uint64_t rows = 0;
  bool resultSet = false;
  TokenWriter ignored;
  if (auto error = run(sql, ignored, rows, resultSet)) {
    return error;
  }
  attached_.insert(alias);
  return std::nullopt;
}

std::optional<Message> SqliteSession::run(const std::string& sql, TokenWriter& out, uint64_t& rows, bool& resultSet) {
  sqlite3_stmt* statement = nullptr;
  rows = 0;
  resultSet = false;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
    return serverError(sqlite3_errmsg(db_));
  }
  int count = sqlite3_column_count(statement);
  resultSet = count > 0;
  std::vector<Column> columns;
  int step = 0;
  // Rows are gathered first: an error midway must not leave a result set
  // half sent.
  TokenWriter body;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    if (columns.empty()) {
      for (int i = 0; i < count; ++i) {
        columns.push_back(describe(statement, i, sqlite3_column_type(statement, i)));
      }
    }
    std::vector<Value> values;
    for (int i = 0; i < count; ++i) {
      values.push_back(valueOf(statement, i));
    }
    body.row(columns, values);
    ++rows;
  }
  if (step != SQLITE_DONE) {
    Message error = serverError(sqlite3_errmsg(db_));
    sqlite3_finalize(statement);
    return error;
  }
  if (resultSet && columns.empty()) {
    for (int i = 0; i < count; ++i) {
      columns.push_back(describe(statement, i, SQLITE_NULL));
    }
  }
  if (!resultSet) {
    rows = static_cast<uint64_t>(sqlite3_changes(db_));
  }
  sqlite3_finalize(statement);
  if (resultSet) {
    out.columns(columns);
    out.append(body);
  }
  return std::nullopt;
}

bool isDatabaseFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char header[16] = {};
  return in.read(header, sizeof header) && std::memcmp(header, "SQLite format 3", 16) == 0;
}

}  // namespace sqlstandin
