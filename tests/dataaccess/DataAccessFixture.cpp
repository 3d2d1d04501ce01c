#include "DataAccessFixture.h"

#include <sqlite3.h>
#include <sys/wait.h>

#include <systemroot.h>
#include <fstream>
#include <sstream>

#include "Utf16.h"

namespace qorv::test {

namespace fs = std::filesystem;

void DataAccessTest::SetUp() {
  standIn_ = std::make_unique<StandIn>(dir_.Path());
  ASSERT_NE(standIn_->Port(), 0);
  using qorv::platform::WriteIniValue;
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Host", "127.0.0.1"));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Port", std::to_string(standIn_->Port())));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Login", "installer"));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Password", "secret"));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "ConnectTimeout", "20"));
}

// A stand-in that crashed or reported a sanitizer error exits otherwise.
void DataAccessTest::TearDown() {
  int status = standIn_->Stop();
  if (status != -1) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "stand-in status " << status;
  }
}

void DataAccessTest::Run(const std::string& connection, const std::u16string& text) {
  TADOCommand command(nullptr);
  command.SetConnectionString(connection);
  command.SetCommandText(text);
  command.Execute();
}

void DataAccessTest::AttachSamples() {
  fs::create_directories(DataFolder());
  std::string make = std::string(QORV_SQLSTANDIN_PATH) + " --make-sample '" + DataFolder().string() + "'";
  ASSERT_EQ(std::system(make.c_str()), 0);
  Run(kMasterConnection, u"EXEC sp_attach_db Ostrivel, 'D:\\Data\\Ostrivel_Data.MDF', 'D:\\Data\\Ostrivel_Log.LDF'");
  Run(kMasterConnection,
      u"EXEC sp_attach_db Tavro_Client, 'D:\\Data\\Tavro_Client_Data.MDF', 'D:\\Data\\Tavro_Client_Log.LDF'");
}

void DataAccessTest::AttachDatabase(const std::string& name, const std::string& sqliteSchema) {
  fs::create_directories(DataFolder());
  fs::path data = DataFolder() / (name + "_Data.MDF");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(data.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  int rc = sqlite3_exec(db, sqliteSchema.c_str(), nullptr, nullptr, &error);
  std::string text = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << text;
  std::ofstream(DataFolder() / (name + "_Log.LDF")).put('\0');
  std::string statement =
      "EXEC sp_attach_db " + name + ", 'D:\\Data\\" + name + "_Data.MDF', 'D:\\Data\\" + name + "_Log.LDF'";
  Run(kMasterConnection, sqlstandin::utf8ToUtf16(statement));
}

const std::vector<std::string>& UpgradeColumnNames() {
  static const std::vector<std::string> names = {
      "Caller2", "PrintPakat", "PakatPrinter", "FactorPrinter", "LabelPrinter", "MorePrint",
      "Url2",    "PaCaAuto",   "Saghfjami",    "SimC",          "SmsNazarfact", "NumNazar",
      "smsfact", "Urls",       "SmsRezervTxt", "SmsRezerv",     "SmsKhoshTxt",  "SmsKhosh",
      "SROF",    "susr2",      "spss2",        "sus",           "sps",          "SmsKhoshMoshTxt",
      "Mac"};
  return names;
}

std::u16string UpgradeStatement(std::size_t i) {
  static const char* const types[] = {"tinyint",      "tinyint",       "nvarchar(50)", "nvarchar(50)",  "nvarchar(50)",
                                      "tinyint",      "nvarchar(250)", "nvarchar(2)",  "int",           "tinyint",
                                      "tinyint",      "nvarchar(14)",  "nvarchar(8)",  "tinyint",       "nvarchar(200)",
                                      "tinyint",      "nvarchar(200)", "tinyint",      "tinyint",       "nvarchar(50)",
                                      "nvarchar(50)", "nvarchar(50)",  "nvarchar(50)", "nvarchar(200)", "nvarchar(50)"};
  const std::string& name = UpgradeColumnNames().at(i);
  std::string separator = name == "PaCaAuto" ? " " : "\t";
  return sqlstandin::utf8ToUtf16("ALTER TABLE Primery ADD " + name + separator + types[i] + " ");
}

void DataAccessTest::AddUpgradeColumns() {
  for (std::size_t i = 0; i < UpgradeColumnNames().size(); ++i) {
    try {
      Run(kClientConnection, UpgradeStatement(i));
    } catch (const EADOError&) {
    }
  }
}

std::string DataAccessTest::Scalar(const std::string& database, const std::string& utf8Query) {
  OdbcClient client;
  SqlResult connected = client.Connect(standIn_->Port(), database);
  if (!connected.ok) return "connect failed: " + connected.message;
  SqlResult result = client.Execute(utf8Query);
  if (!result.ok) return "failed: " + result.message;
  if (result.rows.empty() || result.rows[0].empty()) return "no rows";
  return result.rows[0][0].value_or("NULL");
}

std::vector<std::string> DataAccessTest::Calls() const {
  std::vector<std::string> calls;
  std::istringstream lines(standIn_->Log());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("RPC\t", 0) == 0) calls.push_back(UnescapeLogText(line.substr(4)));
  }
  return calls;
}

namespace {

template <class F>
void Declare(TADOTable& table, std::initializer_list<const char*> names) {
  for (const char* spec : names) {
    std::string name = spec;
    int size = -1;
    if (auto colon = name.find(':'); colon != std::string::npos) {
      size = std::stoi(name.substr(colon + 1));
      name.resize(colon);
    }
    auto* field = new F(&table);
    field->SetFieldName(name);
    if (size >= 0) field->SetSize(size);
    field->SetDataSet(&table);
  }
}

}  // namespace

void DeclarePrimeryFields(TADOTable& table) {
  Declare<TAutoIncField>(table, {"id"});
  Declare<TWordField>(
      table, {"Modem",     "Place",      "NoModem",         "PortNumber",    "RefNum",      "RaveshCode", "RefNumber",
              "SStart",    "Etela",      "MoshCodeSize",    "Printsize",     "TedadBar",    "DarsadBar",  "DateNo",
              "IsFlash",   "ExplManual", "EncUrl",          "SmsNMosh",      "SndFrmPnl",   "SMSNLName",  "SmsLFact",
              "SmsMMosh",  "SmsEdMosh",  "Resol",           "EnNewFact",     "CallerPort2", "VRN",        "Preview",
              "StSeaTe",   "StSeaMob",   "ShowCliTel",      "SmsPerSec",     "SmsWait",     "GhafasePa",  "VrMmCntGh",
              "NoServFee", "Cheque",     "AddressSeaCount", "LNameSeaCount", "NoPanel",     "Caller2",    "PrintPakat",
              "MorePrint", "SimC",       "SmsNazarfact",    "Urls",          "SmsRezerv",   "SmsKhosh",   "SROF"});
  Declare<TMemoField>(table, {"DeviseSMS", "FilleRoydad", "BKPAddress"});
  Declare<TStringField>(table, {"ColPri", "ColSec", "kerayeEkhtiar:50", "kerayeBargasht:50", "MarkaZname:30",
                                "MarkazAdres:70", "MarkazTell:36", "TName:50"});
  Declare<TIntegerField>(table, {"Back_Up",      "FactStart",  "Eshterak",    "PriServise", "PriMoshNo", "PriMantaghe",
                                 "PriNahieh",    "PriStAsli",  "FT",          "FL",         "Fwi",       "FHi",
                                 "AddNSize",     "AddFSize",   "ModemDefInd", "HP2",        "HostC",     "HostEshBgn",
                                 "TedadGhafase", "SoftHeight", "Saghfjami",   "DelaySMS"});
  Declare<TBooleanField>(table,
                         {"AutoBKP",    "SefTell",     "TellChk",    "MobChk",      "JMoshCode",  "JMoshName",
                          "JMoshLName", "JMoshAddres", "JMoshTell",  "JMoshMobile", "Hoshcheque", "TellDetail",
                          "MoshDarsad", "NPMoshCode",  "NPMoshName", "NPMoshLName", "NPMoshTell", "NPMoshMantaghe",
                          "MessageSh",  "TakSMS",      "RecEna",     "Fact12",      "ConectAuto", "ChapBar",
                          "Paszamineh", "EZMT",        "EZMF",       "TGDetail",    "Net",        "smsSood",
                          "EFJ",        "AutoHost",    "LNameSea",   "TellSea",     "MobileSea",  "AddressSea"});
  Declare<TWideStringField>(table, {"BackColor:50",     "CodeShahr:5",     "SarB:200",
                                    "TahB:200",         "PackPic:200",     "Armpic:200",
                                    "ColPaszamineh:50", "MoshCodeCol:50",  "MoshCodeName:50",
                                    "RecAdd:200",       "UserNow:25",      "PicBar:100",
                                    "susr:50",          "spss:50",         "Expladd:200",
                                    "SmsNMoshTxt:200",  "SmsLFactTxt:200", "SmsMMoshTxt:200",
                                    "SmsEdMoshTxt:200", "BarFCol:50",      "BarFName:50",
                                    "BarFSize:50",      "MahFCol:50",      "MahFName:50",
                                    "MahFSize:50",      "Printer:50",      "Printer2:50",
                                    "TopFCol:50",       "TopFName:50",     "TopFSize:50",
                                    "BotFCol:50",       "BotFName:50",     "BotFSize:50",
                                    "Pricolor:50",      "PriOub:50",       "AddFCol:50",
                                    "AddFname:50",      "AddNCol:50",      "AddNName:50",
                                    "ExcelFile:200",    "ModemDef:200",    "PackPrint:5",
                                    "PrtCode",          "TellCount:2",     "MobCount:2",
                                    "AutoRecLine:16",   "Elzamat:10",      "TamasLine:8",
                                    "RecL:50",          "PakatPrinter:50", "FactorPrinter:50",
                                    "LabelPrinter:50",  "Url2:250",        "PaCaAuto:2",
                                    "NumNazar:14",      "smsfact:8",       "SmsRezervTxt:200",
                                    "SmsKhoshTxt:200",  "susr2:50",        "spss2:50",
                                    "sus:50",           "sps:50",          "SmsKhoshMoshTxt:200",
                                    "NumEkht:50",       "Mac:50"});
}

}  // namespace qorv::test
