// From the ADO connection strings the programs carry to the connection
// string of FreeTDS's ODBC driver, with the server taken from the system
// root's description of the local default instance.
#include <gtest/gtest.h>

#include <sqlsession.h>
#include <systemroot.h>

namespace qorv::platform {
namespace {

constexpr const char* kInstaller =
    "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=Tavro_Client";

SqlServerSettings Settings() {
  SqlServerSettings s;
  s.Host = "db.example";
  s.Port = 1533;
  s.Login = "installer";
  s.Password = "p;w}d";
  s.Driver = "/drivers/libtdsodbc.so";
  return s;
}

TEST(SqlConnectionString, InstallerStringReachesTheConfiguredInstance) {
  EXPECT_EQ(OdbcConnectionString(kInstaller, Settings()),
            "Driver=/drivers/libtdsodbc.so;Server=db.example;Port=1533;TDS_Version=7.4;ClientCharset=UTF-8;"
            "Database=Tavro_Client;UID=installer;PWD={p;w}}d}");
}

TEST(SqlConnectionString, KerberosCarriesWindowsAuthenticationAndExplicitLoginWins) {
  SqlServerSettings s = Settings();
  s.Kerberos = true;
  std::string kerberos = OdbcConnectionString(kInstaller, s);
  EXPECT_NE(kerberos.find(";Trusted_Connection=Yes"), std::string::npos) << kerberos;
  EXPECT_EQ(kerberos.find("UID="), std::string::npos) << kerberos;
  std::string explicitLogin =
      OdbcConnectionString("Provider=SQLOLEDB;User ID=sa;Password='it''s';Initial Catalog=master", s);
  EXPECT_NE(explicitLogin.find(";Database=master;UID=sa;PWD=it's"), std::string::npos) << explicitLogin;
}

// A string meant for another server or another kind of database must not
// quietly reach the local one.
TEST(SqlConnectionString, ForeignServerOrProviderIsRefused) {
  for (const char* text : {"Provider=SQLOLEDB.1;Data Source=OTHERHOST;Initial Catalog=master",
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\x.mdb"}) {
    SCOPED_TRACE(text);
    try {
      OdbcConnectionString(text, Settings());
      ADD_FAILURE() << "accepted";
    } catch (const SqlError& e) {
      EXPECT_EQ(e.SqlState(), "IM002");
      EXPECT_FALSE(std::string(e.what()).empty());
    }
  }
  EXPECT_NO_THROW(OdbcConnectionString("Provider=SQLOLEDB.1;Data Source=(local);Initial Catalog=master", Settings()));
}

TEST(SqlConnectionString, SettingsComeFromTheSystemRootWithDefaults) {
  SqlServerSettings defaults = ReadSqlServerSettings();
  EXPECT_EQ(defaults.Host, "127.0.0.1");
  EXPECT_EQ(defaults.Port, 1433);
  EXPECT_FALSE(defaults.Kerberos);
  EXPECT_FALSE(defaults.Driver.empty());
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Host", "sql.local"));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Port", "not a port"));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Authentication", "Kerberos"));
  ASSERT_TRUE(WriteIniValue("sqlserver.ini", "ConnectTimeout", "3"));
  SqlServerSettings s = ReadSqlServerSettings();
  EXPECT_EQ(s.Host, "sql.local");
  EXPECT_EQ(s.Port, 1433) << "a bad port keeps the default";
  EXPECT_TRUE(s.Kerberos);
  EXPECT_EQ(s.ConnectTimeoutSeconds, 3);
}

}  // namespace
}  // namespace qorv::platform
