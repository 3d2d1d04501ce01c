#include "SampleDatabases.h"

#include <sqlite3.h>

#include <fstream>
#include <vector>

namespace sqlstandin {

namespace fs = std::filesystem;

namespace {

struct ColumnGroup {
  const char* type;
  std::vector<const char*> names;  // "Name" or "Name:size"
};

// The settings columns the application declares, grouped by type, without
// the ones a settings transfer adds.
const std::vector<ColumnGroup>& earlierColumns() {
  static const std::vector<ColumnGroup> groups = {
      {"tinyint",
       {"Modem",     "Place",      "NoModem",         "PortNumber",    "RefNum",      "RaveshCode", "RefNumber",
        "SStart",    "Etela",      "MoshCodeSize",    "Printsize",     "TedadBar",    "DarsadBar",  "DateNo",
        "IsFlash",   "ExplManual", "EncUrl",          "SmsNMosh",      "SndFrmPnl",   "SMSNLName",  "SmsLFact",
        "SmsMMosh",  "SmsEdMosh",  "Resol",           "EnNewFact",     "CallerPort2", "VRN",        "Preview",
        "StSeaTe",   "StSeaMob",   "ShowCliTel",      "SmsPerSec",     "SmsWait",     "GhafasePa",  "VrMmCntGh",
        "NoServFee", "Cheque",     "AddressSeaCount", "LNameSeaCount", "NoPanel"}},
      {"text", {"DeviseSMS", "FilleRoydad", "BKPAddress"}},
      {"varchar",
       {"ColPri", "ColSec", "kerayeEkhtiar:50", "kerayeBargasht:50", "MarkaZname:30", "MarkazAdres:70", "MarkazTell:36",
        "TName:50"}},
      {"int", {"Back_Up",     "FactStart", "Eshterak", "PriServise", "PriMoshNo",    "PriMantaghe", "PriNahieh",
               "PriStAsli",   "FT",        "FL",       "Fwi",        "FHi",          "AddNSize",    "AddFSize",
               "ModemDefInd", "HP2",       "HostC",    "HostEshBgn", "TedadGhafase", "SoftHeight",  "DelaySMS"}},
      {"bit", {"AutoBKP",    "SefTell",     "TellChk",    "MobChk",      "JMoshCode",  "JMoshName",
               "JMoshLName", "JMoshAddres", "JMoshTell",  "JMoshMobile", "Hoshcheque", "TellDetail",
               "MoshDarsad", "NPMoshCode",  "NPMoshName", "NPMoshLName", "NPMoshTell", "NPMoshMantaghe",
               "MessageSh",  "TakSMS",      "RecEna",     "Fact12",      "ConectAuto", "ChapBar",
               "Paszamineh", "EZMT",        "EZMF",       "TGDetail",    "Net",        "smsSood",
               "EFJ",        "AutoHost",    "LNameSea",   "TellSea",     "MobileSea",  "AddressSea"}},
      {"nvarchar", {"BackColor:50",    "CodeShahr:5",      "SarB:200",        "TahB:200",         "PackPic:200",
                    "Armpic:200",      "ColPaszamineh:50", "MoshCodeCol:50",  "MoshCodeName:50",  "RecAdd:200",
                    "UserNow:25",      "PicBar:100",       "susr:50",         "spss:50",          "Expladd:200",
                    "SmsNMoshTxt:200", "SmsLFactTxt:200",  "SmsMMoshTxt:200", "SmsEdMoshTxt:200", "BarFCol:50",
                    "BarFName:50",     "BarFSize:50",      "MahFCol:50",      "MahFName:50",      "MahFSize:50",
                    "Printer:50",      "Printer2:50",      "TopFCol:50",      "TopFName:50",      "TopFSize:50",
                    "BotFCol:50",      "BotFName:50",      "BotFSize:50",     "Pricolor:50",      "PriOub:50",
                    "AddFCol:50",      "AddFname:50",      "AddNCol:50",      "AddNName:50",      "ExcelFile:200",
                    "ModemDef:200",    "PackPrint:5",      "PrtCode",         "TellCount:2",      "MobCount:2",
                    "AutoRecLine:16",  "Elzamat:10",       "TamasLine:8",     "RecL:50",          "NumEkht:50"}},
  };
  return groups;
}

// The columns a settings transfer adds, in the order it adds them.
const std::vector<std::pair<const char*, const char*>>& upgradeColumns() {
  static const std::vector<std::pair<const char*, const char*>> columns = {{"Caller2", "tinyint"},
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
  return columns;
}

std::string columnList(bool withUpgrade, const char* idType) {
  std::string sql = std::string("id ") + idType;
  for (const auto& group : earlierColumns()) {
    for (std::string name : group.names) {
      std::string type = group.type;
      if (type == "varchar" || type == "nvarchar") {
        size_t colon = name.find(':');
        type += "(" + (colon == std::string::npos ? std::string("20") : name.substr(colon + 1)) + ")";
        name = name.substr(0, colon);
      }
      sql += ", " + name + " " + type;
    }
  }
  if (withUpgrade) {
    for (const auto& [name, type] : upgradeColumns()) {
      sql += std::string(", ") + name + " " + type;
    }
  }
  return sql;
}

std::string makeDatabase(const fs::path& data, const fs::path& log, const std::string& sql) {
  std::error_code ec;
  fs::remove(data, ec);
  sqlite3* db = nullptr;
  std::string error;
  if (sqlite3_open(data.c_str(), &db) != SQLITE_OK) {
    error = "cannot create " + data.string();
  } else if (char* message = nullptr; sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    error = data.string() + ": " + (message ? message : "failed");
    sqlite3_free(message);
  }
  sqlite3_close(db);
  if (error.empty() && !std::ofstream(log, std::ios::trunc)) {
    error = "cannot create " + log.string();
  }
  return error;
}

}  // namespace

std::string makeSampleDatabases(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  // The client table numbers its rows itself; the main table takes them
  // over unchanged from the copy, so its key is a plain int.
  std::string client = "CREATE TABLE Primery (" + columnList(false, "INTEGER PRIMARY KEY") + ");";
  std::string error = makeDatabase(folder / "Tavro_Client_Data.MDF", folder / "Tavro_Client_Log.LDF", client);
  if (!error.empty()) {
    return error;
  }
  std::string main = "CREATE TABLE PrimeryMacPri (" + columnList(true, "int") + ");";
  return makeDatabase(folder / "Ostrivel_Data.MDF", folder / "Ostrivel_Log.LDF", main);
}

}  // namespace sqlstandin
