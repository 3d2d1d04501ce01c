// The SQL Server stand-in as a child process of a test, and a small ODBC
// client that reaches it through unixODBC and FreeTDS.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qorv::test {

class StandIn {
 public:
  // Starts the stand-in on a free port with its files in `folder`.
  explicit StandIn(const std::filesystem::path& folder);
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  int Port() const { return port_; }
  // Sends SIGTERM and returns the exit status as waitpid reports it.
  int Stop();
  // The texts of the batches received so far, unescaped.
  std::vector<std::string> Batches() const;
  std::string Log() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::filesystem::path log_;
};

struct SqlResult {
  bool ok = false;
  long native = 0;  // the server's error number
  std::string message;
  std::vector<short> types;  // ODBC SQL types of the result columns
  std::vector<std::vector<std::optional<std::string>>> rows;
};

class OdbcClient {
 public:
  OdbcClient() = default;
  ~OdbcClient();
  OdbcClient(const OdbcClient&) = delete;
  OdbcClient& operator=(const OdbcClient&) = delete;

  SqlResult Connect(int port, const std::string& database, int loginTimeoutSeconds = 20);
  // Sends `utf8` as UTF-16 text.
  SqlResult Execute(const std::string& utf8);

 private:
  void* env_ = nullptr;
  void* dbc_ = nullptr;
  bool connected_ = false;
};

// Reads a statement log line's escapes back.
std::string UnescapeLogText(const std::string& text);

}  // namespace qorv::test
