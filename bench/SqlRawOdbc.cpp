#include "SqlRawOdbc.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>

namespace {

void Check(SQLRETURN rc, const char* what) {
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
  }
}

}  // namespace

RawConnection::RawConnection(const std::string& text) {
  Check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), "SQLAllocHandle");
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  Check(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_), "SQLAllocHandle");
  std::string copy = text;
  Check(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(copy.data()), SQL_NTS, nullptr, 0, nullptr,
                         SQL_DRIVER_NOPROMPT),
        "SQLDriverConnect");
}

RawConnection::~RawConnection() {
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void RawConnection::SelectOne() {
  SQLHSTMT statement = nullptr;
  Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement), "SQLAllocHandle");
  SQLCHAR text[] = "SELECT 1";
  Check(SQLExecDirect(statement, text, SQL_NTS), "SQLExecDirect");
  SQLINTEGER value = 0;
  SQLLEN indicator = 0;
  Check(SQLFetch(statement), "SQLFetch");
  Check(SQLGetData(statement, 1, SQL_C_SLONG, &value, sizeof value, &indicator), "SQLGetData");
  if (value != 1) std::exit(1);
  while (SQLMoreResults(statement) == SQL_SUCCESS) {
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
}
