// The settings transfer against the stand-in with the earlier client
// database of the sample medium: the column statements byte for byte, the
// Null fill of the upgrade fields, the copy into the main database, and the
// messages when the earlier database or the main one is missing.
#ifdef QORV_INSTALLER_ACTIONS

#include <gtest/gtest.h>

#include "InstallerActionsFixture.h"
#include "SpeedButton.h"

namespace {

using namespace qorv::test;

const std::string kTableNotOpened = "مشکلي در اجراي برنامه پيش آمده است";
const std::string kCopyFailed = "مشکلي در قسمت تنظيمات وجود دارد";
const std::string kTransferDone = "انتقال تنظيمات قبلي  با موفقيت به پايان رسيد";
const std::string kCopyBatch =
    " DELETE FROM ostrivel.dbo.PrimeryMacPri  INSERT INTO ostrivel.dbo.PrimeryMacPri  SELECT *  FROM "
    "Tavro_Client.dbo.primery ";

// Column, type; PaCaAuto alone is separated by a blank instead of a TAB.
const std::pair<const char*, const char*> kUpgrade[] = {{"Caller2", "tinyint"},
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

std::vector<std::string> ColumnStatements() {
  std::vector<std::string> statements;
  for (const auto& [name, type] : kUpgrade) {
    std::string separator = std::string(name) == "PaCaAuto" ? " " : "\t";
    statements.push_back(std::string("ALTER TABLE Primery ADD ") + name + separator + type + " ");
  }
  return statements;
}

class SettingsTransfer : public InstallerActions {
 protected:
  // Attaches the medium's earlier client database and the main database.
  void AttachDatabases(bool client, bool main) {
    fs::create_directories(Linux("D:\\Old"));
    if (client) {
      fs::copy_file(Medium() / "Samples" / "Tavro_Client_Data.MDF", Linux("D:\\Old\\Tavro_Client_Data.MDF"));
      fs::copy_file(Medium() / "Samples" / "Tavro_Client_Log.LDF", Linux("D:\\Old\\Tavro_Client_Log.LDF"));
      RunSql("master",
             "EXEC sp_attach_db Tavro_Client, 'D:\\Old\\Tavro_Client_Data.MDF', "
             "'D:\\Old\\Tavro_Client_Log.LDF'");
    }
    if (main) {
      fs::copy_file(Medium() / "Ostrivel" / "Data" / "Ostrivel_Data.MDF", Linux("D:\\Old\\Ostrivel_Data.MDF"));
      fs::copy_file(Medium() / "Ostrivel" / "Data" / "Ostrivel_Log.LDF", Linux("D:\\Old\\Ostrivel_Log.LDF"));
      RunSql("master", "EXEC sp_attach_db ostrivel, 'D:\\Old\\Ostrivel_Data.MDF', 'D:\\Old\\Ostrivel_Log.LDF'");
    }
  }
  // Rows of a query, through a client of our own.
  std::vector<std::vector<std::optional<std::string>>> Query(const std::string& database, const std::string& sql) {
    OdbcClient client;
    SqlResult connected = client.Connect(standIn_->Port(), database);
    EXPECT_TRUE(connected.ok) << connected.message;
    SqlResult result = client.Execute(sql);
    EXPECT_TRUE(result.ok) << result.message;
    return result.rows;
  }
  // The batches sent as plain statements, without the table's own reads.
  std::vector<std::string> StatementsSince(std::size_t start) const {
    std::vector<std::string> statements;
    for (const std::string& batch : BatchesSince(start)) {
      if (batch.rfind("ALTER", 0) == 0 || batch.find("DELETE FROM") != std::string::npos) statements.push_back(batch);
    }
    return statements;
  }
};

// An earlier table without rows: the 25 columns added, a new row posted with
// "0" in every upgrade field, and the copy made.
TEST_F(SettingsTransfer, EarlierDatabaseWithoutRows) {
  AttachDatabases(true, true);
  std::size_t start = BatchCount();
  Click(Window().SpeedButton11);
  std::vector<std::string> expected = ColumnStatements();
  expected.push_back(kCopyBatch);
  EXPECT_EQ(StatementsSince(start), expected);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kTransferDone});
  auto rows = Query("ostrivel", "SELECT Caller2, Saghfjami, Mac, PaCaAuto, Url2 FROM PrimeryMacPri");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "0");
  EXPECT_EQ(rows[0][1], "0");
  EXPECT_EQ(rows[0][2], "0");
  EXPECT_EQ(rows[0][3], "0");
  EXPECT_EQ(rows[0][4], "0");
}

// A second click: every column statement fails silently, and the copy is
// made again.
TEST_F(SettingsTransfer, SecondClickFailsTheColumnsSilently) {
  AttachDatabases(true, true);
  Click(Window().SpeedButton11);
  boxes_.clear();
  std::size_t start = BatchCount();
  Click(Window().SpeedButton11);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kTransferDone}) << "25 failed statements said nothing";
  std::vector<std::string> expected = ColumnStatements();
  expected.push_back(kCopyBatch);
  EXPECT_EQ(StatementsSince(start), expected);
  EXPECT_EQ(Query("ostrivel", "SELECT id FROM PrimeryMacPri").size(), 1u);
}

// An earlier database upgraded already: a field that holds a text keeps
// it, the Null ones get "0".
TEST_F(SettingsTransfer, UpgradedRowKeepsTextsAndFillsNulls) {
  AttachDatabases(true, true);
  for (const std::string& statement : ColumnStatements()) RunSql("Tavro_Client", statement);
  RunSql("Tavro_Client", "INSERT INTO Primery (Url2, Modem) VALUES ('http://example.ir', 3)");
  Click(Window().SpeedButton11);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kTransferDone});
  auto rows = Query("ostrivel", "SELECT Url2, Mac, Caller2, Modem FROM PrimeryMacPri");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "http://example.ir");
  EXPECT_EQ(rows[0][1], "0");
  EXPECT_EQ(rows[0][2], "0");
  EXPECT_EQ(rows[0][3], "3");
}

// No earlier client database: the table message, then the standard error
// box of the edit on the closed table, and no copy.
TEST_F(SettingsTransfer, MissingClientDatabase) {
  AttachDatabases(false, true);
  std::size_t start = BatchCount();
  Click(Window().SpeedButton11);
  ASSERT_EQ(boxes_.size(), 2u) << ::testing::PrintToString(BoxTexts());
  EXPECT_EQ(boxes_[0].Text, kTableNotOpened);
  EXPECT_NE(boxes_[1].Text, kCopyFailed);
  EXPECT_NE(boxes_[1].Text, kTransferDone);
  for (const std::string& statement : StatementsSince(start)) EXPECT_EQ(statement.rfind("ALTER", 0), 0u) << statement;
}

// The copy batch refused (no main database): its own message only.
TEST_F(SettingsTransfer, CopyFailureHasItsMessage) {
  AttachDatabases(true, false);
  Click(Window().SpeedButton11);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kCopyFailed});
}

}  // namespace

#endif
