// A stand-in SQL Server per test, with the system root's local default
// instance pointed at it, for the data-access components to reach through
// unixODBC, FreeTDS and TCP.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <systemroot.h>

#include "ADODB.h"
#include "StandIn.h"
#include "TestSupport.h"

namespace qorv::test {

inline const char* const kMasterConnection =
    "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=master";
inline const char* const kClientConnection =
    "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=Tavro_Client";

class DataAccessTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs one statement through a command on the connection string.
  void Run(const std::string& connection, const std::u16string& text);
  // The earlier client database and the main database, attached.
  void AttachSamples();
  // A database of its own, made from SQLite statements and attached.
  void AttachDatabase(const std::string& name, const std::string& sqliteSchema);
  // The 25 column statements of a settings transfer, failures ignored.
  void AddUpgradeColumns();
  // The first value of a query's first row, as text ("NULL" for Null).
  std::string Scalar(const std::string& database, const std::string& utf8Query);
  // What the stand-in logged for procedure calls ("RPC" lines), unescaped.
  std::vector<std::string> Calls() const;

  std::filesystem::path DataFolder() const { return dir_.Path() / "server" / "D" / "Data"; }

  TempDir dir_{"qorv-dataaccess"};
  std::unique_ptr<StandIn> standIn_;
};

// The settings table's 184 persistent fields, declared as the installer
// declares them, owned by the table.
void DeclarePrimeryFields(TADOTable& table);

// The 25 columns a settings transfer adds, in order.
const std::vector<std::string>& UpgradeColumnNames();
// The statement that adds upgrade column i.
std::u16string UpgradeStatement(std::size_t i);

}  // namespace qorv::test
