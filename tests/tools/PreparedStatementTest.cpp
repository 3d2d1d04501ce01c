// Prepared statements as FreeTDS's driver makes them (sp_prepexec, then
// sp_execute with the handle, sp_unprepare on close): each run takes its own
// values, and a handle the connection never made is refused.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/wait.h>

#include <string>

#include "StandIn.h"
#include "TestSupport.h"

namespace qorv::test {
namespace {

class Odbc {
 public:
  explicit Odbc(int port) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    std::string text = std::string("Driver=") + QORV_TDSODBC_PATH + ";Server=127.0.0.1;Port=" + std::to_string(port) +
                       ";UID=installer;PWD=secret;TDS_Version=7.4;ClientCharset=UTF-8;Database=master";
    Connected = SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr,
                                               0, nullptr, SQL_DRIVER_NOPROMPT));
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement);
  }
  ~Odbc() {
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  bool Connected = false;
  SQLHSTMT statement = nullptr;

 private:
  SQLHENV env_ = nullptr;
  SQLHDBC dbc_ = nullptr;
};

TEST(PreparedStatement, EachExecutionTakesItsOwnValues) {
  TempDir dir("qorv-prepared");
  StandIn standIn(dir.Path());
  ASSERT_NE(standIn.Port(), 0);
  {
    Odbc odbc(standIn.Port());
    ASSERT_TRUE(odbc.Connected);
    SQLCHAR text[] = "SELECT ? AS a, ? AS b";
    ASSERT_TRUE(SQL_SUCCEEDED(SQLPrepare(odbc.statement, text, SQL_NTS)));
    SQLINTEGER number = 0;
    SQLCHAR word[16] = {};
    SQLLEN numberLength = 0, wordLength = SQL_NTS;
    SQLBindParameter(odbc.statement, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0, &numberLength);
    SQLBindParameter(odbc.statement, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 15, 0, word, sizeof word,
                     &wordLength);
    for (int run = 0; run < 3; ++run) {
      SCOPED_TRACE(run);
      number = 10 + run;
      std::snprintf(reinterpret_cast<char*>(word), sizeof word, "it's %d", run);
      ASSERT_TRUE(SQL_SUCCEEDED(SQLExecute(odbc.statement)));
      ASSERT_TRUE(SQL_SUCCEEDED(SQLFetch(odbc.statement)));
      SQLINTEGER a = 0;
      SQLCHAR b[32] = {};
      SQLLEN length = 0;
      SQLGetData(odbc.statement, 1, SQL_C_SLONG, &a, 0, &length);
      SQLGetData(odbc.statement, 2, SQL_C_CHAR, b, sizeof b, &length);
      EXPECT_EQ(a, 10 + run);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(b)), "it's " + std::to_string(run));
      SQLFreeStmt(odbc.statement, SQL_CLOSE);
    }
  }
  std::string log = standIn.Log();
  EXPECT_NE(log.find("RPC\tsp_prepexec\tNULL\t"), std::string::npos) << log;
  EXPECT_NE(log.find("RPC\tsp_execute\t1\t12\t'it''s 2'"), std::string::npos) << log;
  int status = standIn.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace qorv::test
