#include "StandIn.h"

#include <signal.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "Utf16.h"

namespace qorv::test {

StandIn::StandIn(const std::filesystem::path& folder) : log_(folder / "statements.log") {
  int out[2];
  if (pipe(out) != 0) {
    throw std::runtime_error("pipe");
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::string dir = (folder / "server").string();
    execl(QORV_SQLSTANDIN_PATH, "sqlstandin", "--port", "0", "--dir", dir.c_str(), "--log", log_.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The first line names the port; reading it blocks until the stand-in
  // listens, or ends at EOF when it fails to start.
  FILE* stream = fdopen(out[0], "r");
  if (std::fscanf(stream, "port %d", &port_) != 1) {
    port_ = 0;
  }
  std::fclose(stream);
}

StandIn::~StandIn() { Stop(); }

int StandIn::Stop() {
  if (pid_ <= 0) {
    return -1;
  }
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return status;
}

std::string StandIn::Log() const {
  std::ifstream in(log_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string UnescapeLogText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char c = text[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> StandIn::Batches() const {
  std::vector<std::string> batches;
  std::istringstream lines(Log());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("SQL\t", 0) == 0) {
      batches.push_back(UnescapeLogText(line.substr(4)));
    }
  }
  return batches;
}

namespace {

void Diagnose(SQLSMALLINT kind, SQLHANDLE handle, SqlResult& result) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLCHAR text[1024] = {};
  SQLSMALLINT length = 0;
  // The number is the first record's; the message holds every record, one
  // a line, since a failed login reports its cause before the failure.
  for (SQLSMALLINT i = 1; SQLGetDiagRec(kind, handle, i, state, &native, text, sizeof text, &length) == SQL_SUCCESS;
       ++i) {
    if (result.native == 0) {
      result.native = native;
    }
    result.message += std::string(result.message.empty() ? "" : "\n") + reinterpret_cast<char*>(text);
  }
}

std::u16string Wide(const std::string& utf8) { return sqlstandin::utf8ToUtf16(utf8); }

}  // namespace

OdbcClient::~OdbcClient() {
  if (connected_) {
    SQLDisconnect(dbc_);
  }
  if (dbc_) {
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  }
  if (env_) {
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
}

SqlResult OdbcClient::Connect(int port, const std::string& database, int loginTimeoutSeconds) {
  SqlResult result;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
  SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(loginTimeoutSeconds)), 0);
  std::string text = std::string("Driver=") + QORV_TDSODBC_PATH + ";Server=127.0.0.1;Port=" + std::to_string(port) +
                     ";UID=installer;PWD=secret;TDS_Version=7.4;ClientCharset=UTF-8;Database=" + database;
  std::u16string wide = Wide(text);
  SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()),
                                   static_cast<SQLSMALLINT>(wide.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  result.ok = SQL_SUCCEEDED(rc);
  connected_ = result.ok;
  if (!result.ok) {
    Diagnose(SQL_HANDLE_DBC, dbc_, result);
  }
  return result;
}

SqlResult OdbcClient::Execute(const std::string& utf8) {
  SqlResult result;
  SQLHSTMT statement = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement);
  std::u16string wide = Wide(utf8);
  SQLRETURN rc =
      SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(wide.data()), static_cast<SQLINTEGER>(wide.size()));
  result.ok = SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
  while (result.ok) {
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement, &count);
    if (count > 0 && result.types.empty()) {
      for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeCol(statement, static_cast<SQLUSMALLINT>(i), name, sizeof name, &nameLength, &type, &size, &digits,
                       &nullable);
        result.types.push_back(type);
      }
      while (SQL_SUCCEEDED(rc = SQLFetch(statement))) {
        std::vector<std::optional<std::string>> row;
        for (SQLSMALLINT i = 1; i <= count; ++i) {
          SQLWCHAR buffer[4096];
          SQLLEN indicator = 0;
          SQLGetData(statement, static_cast<SQLUSMALLINT>(i), SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
          if (indicator == SQL_NULL_DATA) {
            row.emplace_back();
          } else {
            row.emplace_back(sqlstandin::utf16leToUtf8(reinterpret_cast<const uint8_t*>(buffer),
                                                       static_cast<size_t>(indicator) / 2));
          }
        }
        result.rows.push_back(std::move(row));
      }
      if (rc != SQL_NO_DATA) {
        result.ok = false;
        break;
      }
    }
    rc = SQLMoreResults(statement);
    if (rc == SQL_NO_DATA) {
      break;
    }
    result.ok = SQL_SUCCEEDED(rc);
  }
  if (!result.ok) {
    Diagnose(SQL_HANDLE_STMT, statement, result);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return result;
}

}  // namespace qorv::test
