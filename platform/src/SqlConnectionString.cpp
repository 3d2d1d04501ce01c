// From an ADO connection string and the system root's description of the
// local default instance to the connection string FreeTDS's ODBC driver reads.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>

#include "sqlsession.h"
#include "systemroot.h"

namespace qorv::platform {

namespace {

constexpr const char* kSettingsFile = "sqlserver.ini";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::optional<int> Number(const std::optional<std::string>& text, int min, int max) {
  if (!text) return std::nullopt;
  std::string value = Trim(*text);
  char* end = nullptr;
  long n = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || n < min || n > max) return std::nullopt;
  return static_cast<int>(n);
}

std::string UserName() {
  if (const char* user = std::getenv("USER"); user && *user) return user;
  return "installer";
}

// key=value pairs separated by ';'; a value may be quoted with '"' or '\''
// (a doubled quote stands for itself). Keys are folded to lower case, the
// last of a repeated key wins, as the provider reads them.
std::map<std::string, std::string> ParseAdoString(const std::string& text) {
  std::map<std::string, std::string> pairs;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t equals = text.find('=', at);
    std::size_t semicolon = text.find(';', at);
    if (equals == std::string::npos || (semicolon != std::string::npos && semicolon < equals)) {
      // A part without '=' carries nothing; skip it.
      if (semicolon == std::string::npos) break;
      at = semicolon + 1;
      continue;
    }
    std::string key = Lower(Trim(text.substr(at, equals - at)));
    std::size_t valueAt = text.find_first_not_of(" \t", equals + 1);
    std::string value;
    if (valueAt != std::string::npos && (text[valueAt] == '"' || text[valueAt] == '\'')) {
      char quote = text[valueAt];
      std::size_t i = valueAt + 1;
      for (; i < text.size(); ++i) {
        if (text[i] != quote) {
          value += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == quote) {
          value += quote;
          ++i;
        } else {
          break;
        }
      }
      semicolon = text.find(';', i);
    } else {
      semicolon = text.find(';', equals + 1);
      value =
          Trim(text.substr(equals + 1, semicolon == std::string::npos ? std::string::npos : semicolon - equals - 1));
    }
    if (!key.empty()) pairs[key] = value;
    if (semicolon == std::string::npos) break;
    at = semicolon + 1;
  }
  return pairs;
}

std::string Find(const std::map<std::string, std::string>& pairs, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    auto it = pairs.find(key);
    if (it != pairs.end()) return it->second;
  }
  return {};
}

// An ODBC value in braces when it holds a character the driver would split
// on; '}' inside is doubled.
std::string OdbcValue(const std::string& value) {
  if (value.find_first_of(";{}= ") == std::string::npos && !value.empty()) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

bool IsLocalDefaultInstance(const std::string& dataSource) {
  std::string name = Lower(Trim(dataSource));
  return name.empty() || name == "." || name == "(local)" || name == "localhost" || name == "127.0.0.1";
}

}  // namespace

SqlServerSettings ReadSqlServerSettings() {
  SqlServerSettings s;
  if (auto host = ReadIniValue(kSettingsFile, "Host"); host && !Trim(*host).empty()) s.Host = Trim(*host);
  if (auto port = Number(ReadIniValue(kSettingsFile, "Port"), 1, 65535)) s.Port = *port;
  if (auto mode = ReadIniValue(kSettingsFile, "Authentication")) s.Kerberos = Lower(Trim(*mode)) == "kerberos";
  s.Login = ReadIniValue(kSettingsFile, "Login").value_or(UserName());
  s.Password = ReadIniValue(kSettingsFile, "Password").value_or("");
  if (auto seconds = Number(ReadIniValue(kSettingsFile, "ConnectTimeout"), 1, 3600)) s.ConnectTimeoutSeconds = *seconds;
  s.Driver = Trim(ReadIniValue(kSettingsFile, "Driver").value_or(""));
#ifdef QORV_TDSODBC_DRIVER
  if (s.Driver.empty()) s.Driver = QORV_TDSODBC_DRIVER;
#endif
  if (s.Driver.empty()) s.Driver = "FreeTDS";
  return s;
}

std::string OdbcConnectionString(const std::string& adoConnectionString, const SqlServerSettings& settings) {
  auto pairs = ParseAdoString(adoConnectionString);
  std::string provider = Lower(Find(pairs, {"provider"}));
  if (!provider.empty() && provider.rfind("sqloledb", 0) != 0 && provider.rfind("sqlncli", 0) != 0 &&
      provider.rfind("msoledbsql", 0) != 0) {
    throw SqlError("Provider cannot be found. It may not be properly installed.", 0, "IM002");
  }
  std::string dataSource = Find(pairs, {"data source", "server", "address"});
  if (!IsLocalDefaultInstance(dataSource)) {
    throw SqlError("Data source '" + dataSource + "' is not the local default instance, the only server configured", 0,
                   "IM002");
  }
  std::string out = "Driver=" + OdbcValue(settings.Driver) + ";Server=" + OdbcValue(settings.Host) +
                    ";Port=" + std::to_string(settings.Port) + ";TDS_Version=7.4;ClientCharset=UTF-8";
  std::string catalog = Find(pairs, {"initial catalog", "database"});
  if (!catalog.empty()) out += ";Database=" + OdbcValue(catalog);
  std::string user = Find(pairs, {"user id", "uid", "user"});
  if (!user.empty()) {
    out += ";UID=" + OdbcValue(user) + ";PWD=" + OdbcValue(Find(pairs, {"password", "pwd"}));
  } else if (settings.Kerberos) {
    out += ";Trusted_Connection=Yes";
  } else {
    out += ";UID=" + OdbcValue(settings.Login) + ";PWD=" + OdbcValue(settings.Password);
  }
  return out;
}

}  // namespace qorv::platform
