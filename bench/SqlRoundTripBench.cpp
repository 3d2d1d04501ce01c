// Round trips per second of a trivial statement ("SELECT 1") to the SQL
// Server stand-in, through the whole data-access stack against raw ODBC
// calls to FreeTDS's driver in the same run:
//
// - TADOCommand.Execute, which opens its own connection per statement as
//   the installer's commands do, against a raw connect/execute/disconnect;
// - a platform session kept open, against a raw ODBC statement loop on one
//   connection (what tsql does).
//
// Rounds alternate between the pairs; min/median/max per figure.
//
//   sql_round_trip_bench [statements-per-round] [rounds]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sqlsession.h>
#include <systemroot.h>

#include "ADODB.h"
#include "SqlRawOdbc.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

struct StandIn {
  pid_t Pid = -1;
  int Port = 0;
};

StandIn StartStandIn(const fs::path& folder) {
  int out[2];
  if (pipe(out) != 0) std::exit(1);
  StandIn s;
  s.Pid = fork();
  if (s.Pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::string dir = (folder / "server").string();
    std::string log = (folder / "statements.log").string();
    execl(QORV_SQLSTANDIN_PATH, "sqlstandin", "--port", "0", "--dir", dir.c_str(), "--log", log.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* stream = fdopen(out[0], "r");
  if (std::fscanf(stream, "port %d", &s.Port) != 1) s.Port = 0;
  std::fclose(stream);
  return s;
}

double PerSecond(int count, const std::function<void()>& body) {
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) body();
  return count / std::chrono::duration<double>(Clock::now() - start).count();
}

struct Figures {
  const char* Name;
  std::vector<double> Rates;
};

void Print(const Figures& f) {
  std::vector<double> r = f.Rates;
  std::sort(r.begin(), r.end());
  std::printf("%-44s min %8.0f  median %8.0f  max %8.0f  per second\n", f.Name, r.front(), r[r.size() / 2], r.back());
}

double Median(std::vector<double> r) {
  std::sort(r.begin(), r.end());
  return r[r.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int perRound = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::string pattern = (fs::temp_directory_path() / "qorv-sql-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  fs::path work = pattern;
  setenv("QORV_SYSTEM_ROOT", (work / "root").c_str(), 1);
  StandIn standIn = StartStandIn(work);
  if (standIn.Port == 0) {
    std::fprintf(stderr, "the stand-in did not start\n");
    return 1;
  }
  qorv::platform::WriteIniValue("sqlserver.ini", "Port", std::to_string(standIn.Port));
  const std::string ado =
      "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
      "Catalog=master";
  const std::string odbc = qorv::platform::OdbcConnectionString(ado, qorv::platform::ReadSqlServerSettings());

  TADOCommand command(nullptr);
  command.SetConnectionString(ado);
  command.SetCommandText(u"SELECT 1");
  qorv::platform::SqlSession session(ado);
  RawConnection raw(odbc);

  Figures component{"TADOCommand.Execute (connection each)", {}};
  Figures rawConnectEach{"raw ODBC connect+execute+disconnect", {}};
  Figures kept{"platform session kept open", {}};
  Figures rawKept{"raw ODBC statement on one connection", {}};
  for (int round = 0; round < rounds; ++round) {
    component.Rates.push_back(PerSecond(perRound, [&] { command.Execute(); }));
    rawConnectEach.Rates.push_back(PerSecond(perRound, [&] { RawConnection(odbc).SelectOne(); }));
    kept.Rates.push_back(PerSecond(perRound, [&] { session.Execute(u"SELECT 1"); }));
    rawKept.Rates.push_back(PerSecond(perRound, [&] { raw.SelectOne(); }));
  }
  std::printf("%d rounds of %d statements, stand-in on port %d\n", rounds, perRound, standIn.Port);
  for (const Figures* f : {&component, &rawConnectEach, &kept, &rawKept}) Print(*f);
  std::printf("component / raw, connection each: %.2f\n", Median(component.Rates) / Median(rawConnectEach.Rates));
  std::printf("session / raw, one connection:    %.2f\n", Median(kept.Rates) / Median(rawKept.Rates));
  kill(standIn.Pid, SIGTERM);
  waitpid(standIn.Pid, nullptr, 0);
  fs::remove_all(work);
  return 0;
}
