// A session with an SQL Server through ODBC (unixODBC and FreeTDS's driver),
// opened from an ADO connection string.
//
// The ADO strings the Windows programs carry ("Provider=SQLOLEDB.1;
// Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=x")
// name no server: they mean the local default instance with Windows
// authentication. Here that instance is described by sqlserver.ini in the
// system root:
//
//   Host=127.0.0.1          server name or address
//   Port=1433               TCP port
//   Authentication=login    "login": Windows authentication is carried by the
//                           configured Login/Password; "kerberos": the
//                           caller's Kerberos ticket (a real domain)
//   Login=installer
//   Password=
//   ConnectTimeout=15       seconds to reach the server and log in
//   Driver=                 the ODBC driver (FreeTDS's libtdsodbc.so by default)
//
// "Initial Catalog" picks the database; "User ID"/"Password" in the ADO
// string, when given, take the place of the configured login.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace qorv::platform {

// A refusal from the driver or the server: the first error's text without
// the driver's "[FreeTDS][SQL Server]" prefixes, the server's error number
// (0 when the driver itself failed) and the ODBC state.
class SqlError : public std::runtime_error {
 public:
  SqlError(const std::string& message, int nativeError, std::string sqlState)
      : std::runtime_error(message), nativeError_(nativeError), sqlState_(std::move(sqlState)) {}
  int NativeError() const noexcept { return nativeError_; }
  const std::string& SqlState() const noexcept { return sqlState_; }

 private:
  int nativeError_;
  std::string sqlState_;
};

struct SqlServerSettings {
  std::string Host = "127.0.0.1";
  int Port = 1433;
  bool Kerberos = false;
  std::string Login;  // the user's own name when not configured
  std::string Password;
  int ConnectTimeoutSeconds = 15;
  std::string Driver;  // the build's FreeTDS driver when not configured
};

// The settings of sqlserver.ini, defaults for what it leaves out. A value that
// is not a number where one is expected keeps its default.
SqlServerSettings ReadSqlServerSettings();

// The ODBC connection string for an ADO connection string. Raises SqlError
// (state "IM002") for a provider other than SQL Server's, and for a
// "Data Source" other than the local default instance, so a string meant
// for another server never reaches this one.
std::string OdbcConnectionString(const std::string& adoConnectionString, const SqlServerSettings& settings);

// The column types a result can hold, as the driver describes them.
enum class SqlColumnKind { TinyInt, SmallInt, Int, BigInt, Bit, VarChar, NVarChar, Text, NText, Other };

struct SqlColumn {
  std::string Name;  // UTF-8
  SqlColumnKind Kind = SqlColumnKind::Other;
  std::size_t Size = 0;  // characters for text kinds
  bool Identity = false;
};

// Null, a whole number, a bit, or text (UTF-16).
using SqlValue = std::variant<std::monostate, std::int64_t, bool, std::u16string>;

struct SqlResultSet {
  std::vector<SqlColumn> Columns;
  std::vector<std::vector<SqlValue>> Rows;
  // Rows that the batch's inserts, updates and deletes touched, together.
  std::int64_t RowsAffected = 0;
};

class SqlSession {
 public:
  // Connects and logs in; SqlError with the driver's or the server's text
  // when that fails. Gives up after the configured connect time-out.
  explicit SqlSession(const std::string& adoConnectionString);
  ~SqlSession();
  SqlSession(const SqlSession&) = delete;
  SqlSession& operator=(const SqlSession&) = delete;

  // Runs the text as one batch, '?' marking each parameter in order, and
  // reads every result the batch produces. Returns the first result set
  // (empty when none) with the count of rows changed. The first error of the batch is raised as SqlError
  // once every result has been read; what ran before it stays done.
  // timeoutSeconds 0 waits as long as the statement takes.
  SqlResultSet Execute(const std::u16string& text, const std::vector<SqlValue>& parameters = {},
                       int timeoutSeconds = 0);

 private:
  void* environment_ = nullptr;
  void* connection_ = nullptr;
  bool connected_ = false;
};

}  // namespace qorv::platform
