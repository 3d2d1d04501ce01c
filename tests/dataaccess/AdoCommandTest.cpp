// The SQL command through the whole stack: the text the server receives,
// the server's refusals with its own words, and a server that is gone or
// silent giving an error rather than a hang.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "DataAccessFixture.h"
#include "Utf16.h"

namespace qorv::test {
namespace {

using AdoCommand = DataAccessTest;

TEST_F(AdoCommand, TextArrivesAsSentWithPersianQuotesAndTabs) {
  AttachSamples();
  const std::u16string text = u"SELECT N'انتقال تنظيمات قبلي  با موفقيت', 'O''Brien', \"id\"\tFROM Primery WHERE 1 = 0";
  Run(kClientConnection, text);
  Run(kClientConnection, UpgradeStatement(7));  // the one with a blank before its type
  auto batches = standIn_->Batches();
  EXPECT_NE(std::find(batches.begin(), batches.end(),
                      sqlstandin::utf16leToUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size())),
            batches.end());
  EXPECT_NE(std::find(batches.begin(), batches.end(), "ALTER TABLE Primery ADD PaCaAuto nvarchar(2) "), batches.end());
}

// Each refusal reaches the caller as the server worded it, with its number.
TEST_F(AdoCommand, ServerErrorsCarryTheServersOwnMessage) {
  AttachSamples();
  struct Case {
    const char* connection;
    std::u16string text;
    int number;
    std::string message;
  } cases[] = {
      {kMasterConnection, u"EXEC sp_attach_db Ostrivel, 'D:\\Data\\Ostrivel_Data.MDF', 'D:\\Data\\Ostrivel_Log.LDF'",
       1801, "Database 'Ostrivel' already exists. Choose a different database name."},
      {kMasterConnection, u"RESTORE DATABASE ostrivel FROM DISK='D:\\no such.bak'", 3201,
       "Cannot open backup device 'D:\\no such.bak'. Operating system error 2(The system cannot find the file "
       "specified.)."},
      {kClientConnection, UpgradeStatement(0), 0, ""},  // adds the column: no error
      {kClientConnection, UpgradeStatement(0), 2705,
       "Column names in each table must be unique. Column name 'Caller2' in table 'Primery' is specified more than "
       "once."},
      {kMasterConnection, u"Exec SP_AddLogin \"ali\",\"pw\",\"master\",\"English\"", 0, ""},
      {kMasterConnection, u"Exec SP_AddLogin \"ali\",\"pw\",\"master\",\"English\"", 15025,
       "The server principal 'ali' already exists."},
      {kMasterConnection, u"FROBNICATE everything", 102, "Incorrect syntax near 'FROBNICATE'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sqlstandin::utf16leToUtf8(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()));
    try {
      Run(c.connection, c.text);
      EXPECT_EQ(c.number, 0) << "no error raised";
    } catch (const EADOError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(e.NativeError(), c.number);
    }
  }
}

TEST_F(AdoCommand, BatchStopsAtItsFirstErrorAndKeepsWhatRan) {
  AttachSamples();
  Run(kMasterConnection, u"INSERT INTO ostrivel.dbo.PrimeryMacPri (id) VALUES (7)");
  try {
    Run(kMasterConnection,
        u" DELETE FROM ostrivel.dbo.PrimeryMacPri  INSERT INTO ostrivel.dbo.PrimeryMacPri  SELECT *  FROM "
        u"Tavro_Client.dbo.primery ");
    FAIL() << "the copy of a table with fewer columns must fail";
  } catch (const EADOError& e) {
    EXPECT_EQ(e.NativeError(), 213);
    EXPECT_EQ(e.Message(), "Column name or number of supplied values does not match table definition.");
  }
  EXPECT_EQ(Scalar("Ostrivel", "SELECT COUNT(*) FROM PrimeryMacPri"), "0") << "the DELETE before the error stays done";
}

TEST_F(AdoCommand, UnknownDatabaseIsRefusedAtLogIn) {
  try {
    Run(kClientConnection, u"SELECT 1");
    FAIL() << "no database Tavro_Client yet";
  } catch (const EADOError& e) {
    EXPECT_EQ(e.Message(), "Cannot open database \"Tavro_Client\" requested by the login. The login failed.");
  }
}

TEST_F(AdoCommand, EmptyTextIsRefusedWithoutConnecting) {
  TADOCommand command(nullptr);
  command.SetConnectionString(kMasterConnection);
  EXPECT_THROW(command.Execute(), EADOError);
  EXPECT_EQ(standIn_->Log().find("LOGIN"), std::string::npos);
}

TEST_F(AdoCommand, StoppedServerGivesTheDriversErrorNotAHang) {
  standIn_->Stop();
  try {
    Run(kMasterConnection, u"SELECT 1");
    FAIL() << "nothing listens";
  } catch (const EADOError& e) {
    EXPECT_FALSE(e.Message().empty());
    EXPECT_EQ(e.Message().find("[FreeTDS]"), std::string::npos) << e.Message();
    EXPECT_EQ(e.SqlState().substr(0, 2), "08") << e.Message();
  }
}

// A server that takes the connection and never answers: the connect
// time-out ends the wait.
TEST_F(AdoCommand, SilentServerTimesOutInsteadOfHanging) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  ASSERT_TRUE(qorv::platform::WriteIniValue("sqlserver.ini", "Port", std::to_string(ntohs(address.sin_port))));
  ASSERT_TRUE(qorv::platform::WriteIniValue("sqlserver.ini", "ConnectTimeout", "2"));
  EXPECT_THROW(Run(kMasterConnection, u"SELECT 1"), EADOError);
  close(listener);
}

TEST(QuotedStr, WrapsInQuotesAndDoublesInnerOnes) {
  EXPECT_EQ(QuotedStr(std::string("D:\\b.bak")), "'D:\\b.bak'");
  EXPECT_EQ(QuotedStr(std::string("D:\\O'Neil's.bak")), "'D:\\O''Neil''s.bak'");
  EXPECT_EQ(QuotedStr(std::string("")), "''");
  EXPECT_EQ(QuotedStr(std::string("'")), "''''");
  EXPECT_EQ(QuotedStr(std::u16string(u"پشتیبان'")), u"'پشتیبان'''");
}

}  // namespace
}  // namespace qorv::test
