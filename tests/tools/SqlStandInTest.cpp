// The SQL Server stand-in through the real client stack: unixODBC, FreeTDS's
// driver, TCP. Each test starts its own stand-in and stops it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "StandIn.h"
#include "TestSupport.h"

namespace qorv::test {
namespace {

namespace fs = std::filesystem;

class SqlStandInTest : public testing::Test {
 protected:
  void SetUp() override {
    standIn_ = std::make_unique<StandIn>(dir_.Path());
    ASSERT_NE(standIn_->Port(), 0);
  }

  // A stand-in that crashed or reported a sanitizer error exits otherwise.
  void TearDown() override {
    int status = standIn_->Stop();
    if (status != -1) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "stand-in status " << status;
    }
  }

  // The installer's database files on drive D: as the stand-in sees them.
  fs::path DataFolder() const { return dir_.Path() / "server" / "D" / "Ostrivel" / "Data"; }

  void MakeSamples() {
    fs::create_directories(DataFolder());
    std::string command = std::string(QORV_SQLSTANDIN_PATH) + " --make-sample '" + DataFolder().string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  void AttachSamples(OdbcClient& master) {
    MakeSamples();
    ASSERT_TRUE(master
                    .Execute("EXEC sp_attach_db Ostrivel, 'D:\\Ostrivel\\Data\\Ostrivel_Data.MDF', "
                             "'D:\\Ostrivel\\Data\\Ostrivel_Log.LDF'")
                    .ok);
    ASSERT_TRUE(master
                    .Execute("EXEC sp_attach_db Tavro_Client, 'D:\\Ostrivel\\Data\\Tavro_Client_Data.MDF', "
                             "'D:\\Ostrivel\\Data\\Tavro_Client_Log.LDF'")
                    .ok);
  }

  TempDir dir_{"qorv-sqlstandin"};
  std::unique_ptr<StandIn> standIn_;
};

TEST_F(SqlStandInTest, StatementTextsArriveExactlyAsSent) {
  OdbcClient client;
  ASSERT_TRUE(client.Connect(standIn_->Port(), "master").ok);
  const std::string persian =
      "SELECT N'انتقال تنظيمات قبلي' AS a, 'O''Brien' AS b, \"x\".c FROM (SELECT 1 AS c) AS \"x\"";
  SqlResult result = client.Execute(persian);
  ASSERT_TRUE(result.ok) << result.message;
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0][0], "انتقال تنظيمات قبلي");
  EXPECT_EQ(result.rows[0][1], "O'Brien");
  const std::string alter = "ALTER TABLE Primery ADD Caller2\ttinyint ";
  client.Execute(alter);
  const std::string multiline = "SELECT 1\r\nSELECT 'a\\b'";
  EXPECT_TRUE(client.Execute(multiline).ok);
  auto batches = standIn_->Batches();
  EXPECT_NE(std::find(batches.begin(), batches.end(), persian), batches.end());
  EXPECT_NE(std::find(batches.begin(), batches.end(), alter), batches.end());
  EXPECT_NE(std::find(batches.begin(), batches.end(), multiline), batches.end());
}

TEST_F(SqlStandInTest, ServerErrorsReachTheClientWithNumberAndText) {
  OdbcClient client;
  ASSERT_TRUE(client.Connect(standIn_->Port(), "master").ok);
  SqlResult unknown = client.Execute("FROBNICATE the database");
  EXPECT_FALSE(unknown.ok);
  EXPECT_EQ(unknown.native, 102);
  EXPECT_NE(unknown.message.find("Incorrect syntax near 'FROBNICATE'."), std::string::npos) << unknown.message;

  SqlResult missing = client.Execute("SELECT * FROM NoSuchTable");
  EXPECT_EQ(missing.native, 208);
  EXPECT_NE(missing.message.find("Invalid object name 'NoSuchTable'."), std::string::npos) << missing.message;

  SqlResult unclosed = client.Execute("SELECT 'abc");
  EXPECT_EQ(unclosed.native, 105);

  // A dotted name without its last part names no table.
  SqlResult dangling = client.Execute("SELECT * FROM a.b..");
  EXPECT_EQ(dangling.native, 102) << dangling.message;

  SqlResult procedure = client.Execute("EXEC sp_who2");
  EXPECT_EQ(procedure.native, 2812);

  // A batch that does not compile runs none of its statements.
  ASSERT_TRUE(client.Execute("SELECT 1 AS one").ok);
  EXPECT_FALSE(client.Execute("SP_AddLogin \"early\" FROBNICATE").ok);
  EXPECT_TRUE(client.Execute("SP_AddLogin \"early\"").ok);
}

TEST_F(SqlStandInTest, AttachingANameTwiceFailsWhateverItsCase) {
  MakeSamples();
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  const std::string attach =
      "EXEC sp_attach_db Ostrivel, 'D:\\Ostrivel\\Data\\Ostrivel_Data.MDF', 'D:\\Ostrivel\\Data\\Ostrivel_Log.LDF'";
  SqlResult first = master.Execute(attach);
  ASSERT_TRUE(first.ok) << first.message;
  SqlResult second = master.Execute(attach);
  EXPECT_FALSE(second.ok);
  EXPECT_EQ(second.native, 1801);
  EXPECT_NE(second.message.find("Database 'Ostrivel' already exists. Choose a different database name."),
            std::string::npos)
      << second.message;
  EXPECT_EQ(master
                .Execute("EXEC sp_attach_db OSTRIVEL, 'D:\\Ostrivel\\Data\\Tavro_Client_Data.MDF', "
                         "'D:\\Ostrivel\\Data\\Tavro_Client_Log.LDF'")
                .native,
            1801);

  OdbcClient main;
  ASSERT_TRUE(main.Connect(standIn_->Port(), "ostrivel").ok);
  SqlResult rows = main.Execute("SELECT COUNT(*) FROM ostrivel.dbo.PrimeryMacPri");
  ASSERT_TRUE(rows.ok) << rows.message;
  EXPECT_EQ(rows.rows[0][0], "0");
}

TEST_F(SqlStandInTest, AttachNeedsTheDataFileAndItsLogFile) {
  MakeSamples();
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  SqlResult noData =
      master.Execute("EXEC sp_attach_db X, 'D:\\Ostrivel\\Data\\Missing.MDF', 'D:\\Ostrivel\\Data\\Ostrivel_Log.LDF'");
  EXPECT_EQ(noData.native, 5120);
  EXPECT_NE(noData.message.find("D:\\Ostrivel\\Data\\Missing.MDF"), std::string::npos) << noData.message;
  fs::remove(DataFolder() / "Ostrivel_Log.LDF");
  SqlResult noLog = master.Execute(
      "EXEC sp_attach_db X, 'D:\\Ostrivel\\Data\\Ostrivel_Data.MDF', 'D:\\Ostrivel\\Data\\Ostrivel_Log.LDF'");
  EXPECT_EQ(noLog.native, 5120);
  WriteFileBytes(DataFolder() / "Junk.MDF", "not a database at all, just text");
  WriteFileBytes(DataFolder() / "Junk.LDF", "");
  EXPECT_EQ(
      master.Execute("EXEC sp_attach_db X, 'D:\\Ostrivel\\Data\\Junk.MDF', 'D:\\Ostrivel\\Data\\Junk.LDF'").native,
      5172);
  // None of the failures bound the name.
  OdbcClient x;
  EXPECT_FALSE(x.Connect(standIn_->Port(), "X").ok);
}

TEST_F(SqlStandInTest, AddingALoginTwiceFails) {
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  ASSERT_TRUE(master.Execute("Exec SP_AddLogin \"ali\",\"p'ss\",\"master\",\"English\"").ok);
  SqlResult again = master.Execute("Exec SP_AddLogin \"ALI\",\"other\",\"master\",\"English\"");
  EXPECT_EQ(again.native, 15025);
  EXPECT_NE(again.message.find("The server principal 'ALI' already exists."), std::string::npos) << again.message;
}

TEST_F(SqlStandInTest, UpgradeColumnsAreAddedOnceAndReportedWithServerTypes) {
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  AttachSamples(master);
  OdbcClient client;
  ASSERT_TRUE(client.Connect(standIn_->Port(), "Tavro_Client").ok);
  ASSERT_TRUE(client.Execute("ALTER TABLE Primery ADD Caller2\ttinyint ").ok);
  ASSERT_TRUE(client.Execute("ALTER TABLE Primery ADD PaCaAuto nvarchar(2) ").ok);
  SqlResult again = client.Execute("ALTER TABLE Primery ADD Caller2\ttinyint ");
  EXPECT_EQ(again.native, 2705);
  EXPECT_NE(again.message.find("Column name 'Caller2' in table 'Primery' is specified more than once."),
            std::string::npos)
      << again.message;

  SqlResult types = client.Execute(
      "SELECT [id], Modem, Back_Up, AutoBKP, BackColor, ColPri, DeviseSMS, Caller2 "
      "FROM dbo.[Primery]");
  ASSERT_TRUE(types.ok) << types.message;
  std::vector<short> expected = {SQL_INTEGER,  SQL_TINYINT, SQL_INTEGER,     SQL_BIT,
                                 SQL_WVARCHAR, SQL_VARCHAR, SQL_LONGVARCHAR, SQL_TINYINT};
  EXPECT_EQ(types.types, expected);
  SqlResult all = client.Execute("SELECT * FROM Primery");
  EXPECT_EQ(all.types.size(), 161u);
}

TEST_F(SqlStandInTest, TheCopyBatchEmptiesAndRefillsTheMainTable) {
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  AttachSamples(master);
  OdbcClient client;
  ASSERT_TRUE(client.Connect(standIn_->Port(), "Tavro_Client").ok);
  const char* upgrade[][2] = {{"Caller2", "tinyint"},
                              {"PrintPakat", "tinyint"},
                              {"PakatPrinter", "nvarchar(50)"},
                              {"FactorPrinter", "nvarchar(50)"},
                              {"LabelPrinter", "nvarchar(50)"},
                              {"MorePrint", "tinyint"},
                              {"Url2", "nvarchar(250)"},
                              {"PaCaAuto", "nvarchar(2)"},
                              {"Saghfjami", "int"},
                              {"SimC", "tinyint"},
                              {"SmsNazarfact", "tinyint"},
                              {"NumNazar", "nvarchar(14)"},
                              {"smsfact", "nvarchar(8)"},
                              {"Urls", "tinyint"},
                              {"SmsRezervTxt", "nvarchar(200)"},
                              {"SmsRezerv", "tinyint"},
                              {"SmsKhoshTxt", "nvarchar(200)"},
                              {"SmsKhosh", "tinyint"},
                              {"SROF", "tinyint"},
                              {"susr2", "nvarchar(50)"},
                              {"spss2", "nvarchar(50)"},
                              {"sus", "nvarchar(50)"},
                              {"sps", "nvarchar(50)"},
                              {"SmsKhoshMoshTxt", "nvarchar(200)"},
                              {"Mac", "nvarchar(50)"}};
  for (const auto& column : upgrade) {
    ASSERT_TRUE(client.Execute(std::string("ALTER TABLE Primery ADD ") + column[0] + "\t" + column[1] + " ").ok);
  }
  ASSERT_TRUE(client.Execute("INSERT INTO Primery (Url2, TName) VALUES (N'آدرس', 'shop')").ok);
  OdbcClient main;
  ASSERT_TRUE(main.Connect(standIn_->Port(), "ostrivel").ok);
  ASSERT_TRUE(main.Execute("INSERT INTO PrimeryMacPri (id, Mac) VALUES (7, N'stale')").ok);

  SqlResult copy = master.Execute(
      " DELETE FROM ostrivel.dbo.PrimeryMacPri  INSERT INTO ostrivel.dbo.PrimeryMacPri  SELECT *  FROM "
      "Tavro_Client.dbo.primery ");
  ASSERT_TRUE(copy.ok) << copy.message;
  SqlResult rows = main.Execute("SELECT id, Url2, TName, Mac FROM PrimeryMacPri");
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0][0], "1");
  EXPECT_EQ(rows.rows[0][1], "آدرس");
  EXPECT_EQ(rows.rows[0][2], "shop");
  EXPECT_EQ(rows.rows[0][3], std::nullopt);
}

TEST_F(SqlStandInTest, ACopyIntoATableOfOtherShapeFailsAfterTheDelete) {
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  AttachSamples(master);
  OdbcClient main;
  ASSERT_TRUE(main.Connect(standIn_->Port(), "ostrivel").ok);
  ASSERT_TRUE(main.Execute("INSERT INTO PrimeryMacPri (id) VALUES (7)").ok);
  SqlResult copy = master.Execute(
      " DELETE FROM ostrivel.dbo.PrimeryMacPri  INSERT INTO ostrivel.dbo.PrimeryMacPri  SELECT *  FROM "
      "Tavro_Client.dbo.primery ");
  EXPECT_EQ(copy.native, 213) << copy.message;
  EXPECT_EQ(main.Execute("SELECT COUNT(*) FROM PrimeryMacPri").rows[0][0], "0");
}

TEST_F(SqlStandInTest, RestoreReplacesTheDatabaseOnlyFromADatabaseFile) {
  OdbcClient master;
  ASSERT_TRUE(master.Connect(standIn_->Port(), "master").ok);
  AttachSamples(master);
  SqlResult missing = master.Execute("RESTORE DATABASE ostrivel FROM DISK='D:\\b.bakMYBACKUP'");
  EXPECT_EQ(missing.native, 3201);
  EXPECT_NE(missing.message.find("Cannot open backup device 'D:\\b.bakMYBACKUP'."), std::string::npos)
      << missing.message;
  WriteFileBytes(dir_.Path() / "server" / "D" / "it's.bak", "plain text, no database");
  EXPECT_EQ(master.Execute("RESTORE DATABASE ostrivel FROM DISK='D:\\it''s.bak'").native, 3241);

  // The client database's file as a backup of the main one.
  fs::copy_file(DataFolder() / "Tavro_Client_Data.MDF", dir_.Path() / "server" / "D" / "it's.bak",
                fs::copy_options::overwrite_existing);
  SqlResult restored = master.Execute("RESTORE DATABASE OSTRIVEL FROM DISK='D:\\it''s.bak'");
  ASSERT_TRUE(restored.ok) << restored.message;
  OdbcClient main;
  ASSERT_TRUE(main.Connect(standIn_->Port(), "Ostrivel").ok);
  EXPECT_TRUE(main.Execute("SELECT COUNT(*) FROM Primery").ok);
  EXPECT_EQ(main.Execute("SELECT COUNT(*) FROM PrimeryMacPri").native, 208);

  ASSERT_TRUE(master.Execute("RESTORE DATABASE mydatabase1 FROM DISK='D:\\it''s.bak'").ok);
  OdbcClient other;
  EXPECT_TRUE(other.Connect(standIn_->Port(), "MyDatabase1").ok);
}

TEST_F(SqlStandInTest, AnUnknownDatabaseFailsTheLogin) {
  OdbcClient client;
  SqlResult result = client.Connect(standIn_->Port(), "Tavro_Client");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("Cannot open database \"Tavro_Client\""), std::string::npos) << result.message;
}

TEST_F(SqlStandInTest, AStoppedServerFailsTheConnectionPromptly) {
  int port = standIn_->Port();
  EXPECT_EQ(standIn_->Stop(), 0);
  OdbcClient client;
  auto start = std::chrono::steady_clock::now();
  SqlResult result = client.Connect(port, "master", 5);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.message.empty());
  // Refused at once; the bound only catches a hang.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(SqlStandInTest, StopsCleanlyWithAClientConnected) {
  OdbcClient client;
  ASSERT_TRUE(client.Connect(standIn_->Port(), "master").ok);
  int status = standIn_->Stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(client.Execute("SELECT 1").ok);
}

int RawConnect(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // Bounds the wait for the server's close, so a server that keeps the
  // connection fails the test instead of hanging it.
  timeval bound{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
  return fd;
}

// Whether the stand-in closed the connection: recv sees EOF.
bool ClosedByServer(int fd) {
  char byte;
  return recv(fd, &byte, 1, 0) == 0;
}

TEST_F(SqlStandInTest, DroppedAndMalformedConnectionsLeaveTheServerRunning) {
  // Half a header, then gone.
  int fd = RawConnect(standIn_->Port());
  ASSERT_EQ(send(fd, "\x12\x01\x00", 3, 0), 3);
  close(fd);
  // A packet that announces more than arrives, then gone.
  fd = RawConnect(standIn_->Port());
  const char partial[] = "\x12\x01\x00\x40\x00\x00\x01\x00\x00\x00";
  ASSERT_EQ(send(fd, partial, sizeof partial - 1, 0), static_cast<ssize_t>(sizeof partial - 1));
  close(fd);
  // A length shorter than the header itself.
  fd = RawConnect(standIn_->Port());
  ASSERT_EQ(send(fd, "\x12\x01\x00\x04\x00\x00\x01\x00", 8, 0), 8);
  EXPECT_TRUE(ClosedByServer(fd));
  close(fd);
  // A batch before any login.
  fd = RawConnect(standIn_->Port());
  ASSERT_EQ(send(fd, "\x01\x01\x00\x0a\x00\x00\x01\x00S\x00", 10, 0), 10);
  EXPECT_TRUE(ClosedByServer(fd));
  close(fd);

  OdbcClient client;
  ASSERT_TRUE(client.Connect(standIn_->Port(), "master").ok);
  EXPECT_TRUE(client.Execute("SELECT 1").ok);
  EXPECT_NE(standIn_->Log().find("DROP\tmalformed packet"), std::string::npos);
}

}  // namespace
}  // namespace qorv::test
