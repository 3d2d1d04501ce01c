// The ODBC side of a session: one environment and one connection per
// session, one statement handle per Execute, every result read to its end so
// the connection is free for the next statement.
#include "sqlsession.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace qorv::platform {

namespace {

// ODBC's headers and the platform's Windows types cannot meet in one file,
// so the UTF-8/UTF-16 conversions here are done by hand. Malformed input
// becomes U+FFFD.
std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    std::size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t code = extra ? c & (0x3F >> extra) : c;
    bool bad = (c >= 0x80 && c < 0xC0) || c > 0xF4 || i + extra >= utf8.size() + (extra ? 0 : 1);
    for (std::size_t k = 1; !bad && k <= extra; ++k) {
      auto next = static_cast<unsigned char>(utf8[i + k]);
      bad = (next & 0xC0) != 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (bad) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    i += extra + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// The driver puts "[vendor][component]" in front of every text; callers get
// the server's (or the driver's) own words.
std::string WithoutPrefixes(std::string text) {
  while (!text.empty() && text.front() == '[') {
    std::size_t close = text.find(']');
    if (close == std::string::npos) break;
    text.erase(0, close + 1);
  }
  return text;
}

// The first record that is an error rather than a notice (states 01xxx are
// warnings and informational messages such as a change of database). A
// refused log-in comes with the server's cause (no such database, ...), its
// generic "Login failed" (18456) and the driver's summary, in the driver's
// own order: the most specific is the message.
SqlError Diagnostics(SQLSMALLINT kind, SQLHANDLE handle, const char* fallback) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR text[2048] = {};
  SQLSMALLINT length = 0;
  constexpr int kLoginFailed = 18456;
  std::optional<SqlError> firstNotice, loginFailed, driverError;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLRETURN rc = SQLGetDiagRecW(kind, handle, i, state, &native, text, sizeof text / sizeof text[0], &length);
    if (!SQL_SUCCEEDED(rc)) break;
    std::u16string stateText(reinterpret_cast<char16_t*>(state), 5);
    std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                              sizeof text / sizeof text[0] - 1);
    SqlError error(WithoutPrefixes(Utf8(std::u16string(reinterpret_cast<char16_t*>(text), chars))),
                   static_cast<int>(native), Utf8(stateText));
    if (error.SqlState().rfind("01", 0) == 0) {
      if (!firstNotice) firstNotice = error;
    } else if (error.NativeError() == kLoginFailed) {
      if (!loginFailed) loginFailed = error;
    } else if (error.NativeError() == 0) {
      // The driver's own summary ("Unable to connect to data source")
      // follows the server's reasons when there are any.
      if (!driverError) driverError = error;
    } else {
      return error;
    }
  }
  if (loginFailed) return *loginFailed;
  if (driverError) return *driverError;
  if (firstNotice) return *firstNotice;
  return SqlError(fallback, 0, "HY000");
}

class StatementHandle {
 public:
  explicit StatementHandle(SQLHDBC connection) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle_))) {
      throw Diagnostics(SQL_HANDLE_DBC, connection, "Cannot make a statement");
    }
  }
  ~StatementHandle() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }
  StatementHandle(const StatementHandle&) = delete;
  StatementHandle& operator=(const StatementHandle&) = delete;
  SQLHSTMT Get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

SqlColumnKind KindOf(SQLSMALLINT type) {
  switch (type) {
    case SQL_TINYINT: return SqlColumnKind::TinyInt;
    case SQL_SMALLINT: return SqlColumnKind::SmallInt;
    case SQL_INTEGER: return SqlColumnKind::Int;
    case SQL_BIGINT: return SqlColumnKind::BigInt;
    case SQL_BIT: return SqlColumnKind::Bit;
    case SQL_CHAR:
    case SQL_VARCHAR: return SqlColumnKind::VarChar;
    case SQL_WCHAR:
    case SQL_WVARCHAR: return SqlColumnKind::NVarChar;
    case SQL_LONGVARCHAR: return SqlColumnKind::Text;
    case SQL_WLONGVARCHAR: return SqlColumnKind::NText;
    default: return SqlColumnKind::Other;
  }
}

std::vector<SqlColumn> DescribeColumns(SQLHSTMT statement, SQLSMALLINT count) {
  std::vector<SqlColumn> columns;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    SQLWCHAR name[512] = {};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(statement, i, name, sizeof name / sizeof name[0], &nameLength, &type, &size,
                                       &digits, &nullable))) {
      throw Diagnostics(SQL_HANDLE_STMT, statement, "Cannot describe a column");
    }
    SQLLEN identity = SQL_FALSE;
    SQLColAttributeW(statement, i, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &identity);
    SqlColumn column;
    std::size_t chars = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)),
                                              sizeof name / sizeof name[0] - 1);
    column.Name = Utf8(std::u16string(reinterpret_cast<char16_t*>(name), chars));
    column.Kind = KindOf(type);
    column.Size = static_cast<std::size_t>(size);
    column.Identity = identity == SQL_TRUE;
    columns.push_back(std::move(column));
  }
  return columns;
}

// Text of any length, read in pieces: the driver hands out what fits and
// says how much is left.
SqlValue ReadText(SQLHSTMT statement, SQLUSMALLINT column) {
  std::u16string text;
  char16_t buffer[2048];
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) throw Diagnostics(SQL_HANDLE_STMT, statement, "Cannot read a value");
    if (indicator == SQL_NULL_DATA) return std::monostate{};
    std::size_t room = sizeof buffer / sizeof buffer[0] - 1;  // one for the terminator
    std::size_t got = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) / 2 > room
                          ? room
                          : static_cast<std::size_t>(indicator) / 2;
    text.append(buffer, got);
    if (rc == SQL_SUCCESS) break;
  }
  return text;
}

SqlValue ReadValue(SQLHSTMT statement, SQLUSMALLINT column, SqlColumnKind kind) {
  SQLLEN indicator = 0;
  switch (kind) {
    case SqlColumnKind::TinyInt:
    case SqlColumnKind::SmallInt:
    case SqlColumnKind::Int:
    case SqlColumnKind::BigInt: {
      SQLBIGINT value = 0;
      if (!SQL_SUCCEEDED(SQLGetData(statement, column, SQL_C_SBIGINT, &value, sizeof value, &indicator))) {
        throw Diagnostics(SQL_HANDLE_STMT, statement, "Cannot read a value");
      }
      if (indicator == SQL_NULL_DATA) return std::monostate{};
      return static_cast<std::int64_t>(value);
    }
    case SqlColumnKind::Bit: {
      unsigned char value = 0;
      if (!SQL_SUCCEEDED(SQLGetData(statement, column, SQL_C_BIT, &value, sizeof value, &indicator))) {
        throw Diagnostics(SQL_HANDLE_STMT, statement, "Cannot read a value");
      }
      if (indicator == SQL_NULL_DATA) return std::monostate{};
      return value != 0;
    }
    default: return ReadText(statement, column);
  }
}

// The buffers the driver reads parameters from; they must stay put until
// the statement has run.
struct BoundParameter {
  SQLBIGINT Integer = 0;
  unsigned char Bit = 0;
  std::u16string Text;
  SQLLEN Indicator = 0;
};

void BindParameters(SQLHSTMT statement, const std::vector<SqlValue>& parameters, std::vector<BoundParameter>& bound) {
  bound.resize(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    BoundParameter& b = bound[i];
    SQLUSMALLINT number = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN rc = SQL_SUCCESS;
    const SqlValue& value = parameters[i];
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
      b.Integer = *integer;
      rc = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b.Integer, 0,
                            &b.Indicator);
    } else if (const auto* bit = std::get_if<bool>(&value)) {
      b.Bit = *bit ? 1 : 0;
      rc = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 0, 0, &b.Bit, 0, &b.Indicator);
    } else {
      const auto* text = std::get_if<std::u16string>(&value);
      if (text) b.Text = *text;
      b.Text.push_back(u'\0');
      b.Indicator = text ? static_cast<SQLLEN>((b.Text.size() - 1) * sizeof(char16_t)) : SQL_NULL_DATA;
      std::size_t chars = std::max<std::size_t>(b.Text.size() - 1, 1);
      // Longer than an nvarchar holds: sent as long text.
      SQLSMALLINT type = chars > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
      rc = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_WCHAR, type, chars, 0, b.Text.data(),
                            static_cast<SQLLEN>(b.Text.size() * sizeof(char16_t)), &b.Indicator);
    }
    if (!SQL_SUCCEEDED(rc)) throw Diagnostics(SQL_HANDLE_STMT, statement, "Cannot bind a parameter");
  }
}

}  // namespace

SqlSession::SqlSession(const std::string& adoConnectionString) {
  SqlServerSettings settings = ReadSqlServerSettings();
  std::u16string odbc = Utf16(OdbcConnectionString(adoConnectionString, settings));
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment_))) {
    environment_ = nullptr;
    throw SqlError("The ODBC driver manager cannot start", 0, "HY001");
  }
  SQLSetEnvAttr(environment_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection_))) {
    connection_ = nullptr;
    SQLFreeHandle(SQL_HANDLE_ENV, environment_);
    throw SqlError("The ODBC driver manager cannot make a connection", 0, "HY001");
  }
  // Both bounds: reaching the server, and the log-in once connected.
  auto seconds = reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(settings.ConnectTimeoutSeconds));
  SQLSetConnectAttr(connection_, SQL_ATTR_LOGIN_TIMEOUT, seconds, 0);
  SQLSetConnectAttr(connection_, SQL_ATTR_CONNECTION_TIMEOUT, seconds, 0);
  SQLRETURN rc = SQLDriverConnectW(connection_, nullptr, reinterpret_cast<SQLWCHAR*>(odbc.data()),
                                   static_cast<SQLSMALLINT>(odbc.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    SqlError error = Diagnostics(SQL_HANDLE_DBC, connection_, "Cannot connect to the server");
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    SQLFreeHandle(SQL_HANDLE_ENV, environment_);
    throw error;
  }
  connected_ = true;
}

SqlSession::~SqlSession() {
  if (connected_) SQLDisconnect(connection_);
  if (connection_) SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  if (environment_) SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

SqlResultSet SqlSession::Execute(const std::u16string& text, const std::vector<SqlValue>& parameters,
                                 int timeoutSeconds) {
  StatementHandle statement(connection_);
  SQLHSTMT h = statement.Get();
  SQLSetStmtAttr(h, SQL_ATTR_QUERY_TIMEOUT,
                 reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(std::max(timeoutSeconds, 0))), 0);
  std::vector<BoundParameter> bound;
  BindParameters(h, parameters, bound);
  std::u16string statementText = text;
  SQLRETURN rc = SQLExecDirectW(h, reinterpret_cast<SQLWCHAR*>(statementText.data()),
                                static_cast<SQLINTEGER>(statementText.size()));
  SqlResultSet first;
  bool haveFirst = false;
  std::optional<SqlError> failure;
  // A connection that breaks mid-batch answers every further request with
  // an error; this many in a row ends the reading.
  constexpr int kMaxErrorsInARow = 64;
  int errorsInARow = 0;
  // Every result is read even after an error, so the server's later
  // messages do not linger on the connection.
  for (;;) {
    if (rc == SQL_ERROR) {
      if (!failure) failure = Diagnostics(SQL_HANDLE_STMT, h, "The statement failed");
    } else if (SQL_SUCCEEDED(rc)) {
      SQLSMALLINT count = 0;
      SQLNumResultCols(h, &count);
      if (count == 0) {
        SQLLEN changed = 0;
        if (SQL_SUCCEEDED(SQLRowCount(h, &changed)) && changed > 0) first.RowsAffected += changed;
      } else {
        SqlResultSet set;
        set.Columns = DescribeColumns(h, count);
        while (SQL_SUCCEEDED(rc = SQLFetch(h))) {
          std::vector<SqlValue> row;
          row.reserve(set.Columns.size());
          for (std::size_t i = 0; i < set.Columns.size(); ++i) {
            row.push_back(ReadValue(h, static_cast<SQLUSMALLINT>(i + 1), set.Columns[i].Kind));
          }
          set.Rows.push_back(std::move(row));
        }
        if (rc == SQL_ERROR && !failure) failure = Diagnostics(SQL_HANDLE_STMT, h, "Cannot read a row");
        if (!haveFirst) {
          set.RowsAffected = first.RowsAffected;
          first = std::move(set);
          haveFirst = true;
        }
      }
    } else if (rc != SQL_NO_DATA) {
      // SQL_INVALID_HANDLE, SQL_NEED_DATA: nothing more can be read.
      if (!failure) failure = SqlError("The statement failed", 0, "HY000");
      break;
    }
    rc = SQLMoreResults(h);
    if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
    errorsInARow = rc == SQL_ERROR ? errorsInARow + 1 : 0;
    if (errorsInARow > kMaxErrorsInARow) break;
  }
  if (failure) throw *failure;
  return first;
}

}  // namespace qorv::platform
