// A stand-in for the local SQL Server: speaks TDS 7.4 on 127.0.0.1 and keeps
// its databases as SQLite files, so the installer's statements can be run
// and checked where no SQL Server runs.
//
//   sqlstandin --port N --dir FOLDER [--log FILE]
//   sqlstandin --make-sample FOLDER

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Catalog.h"
#include "SampleDatabases.h"
#include "Server.h"
#include "StatementLog.h"

namespace {

sqlstandin::Server* g_server = nullptr;  // for the signal handler only

void onSignal(int) {
  if (g_server) {
    g_server->stop();
  }
}

int usage() {
  std::fprintf(stderr,
               "usage: sqlstandin --port N --dir FOLDER [--log FILE]\n"
               "       sqlstandin --make-sample FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir, log, sample;
  long port = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--port") {
      char* end = nullptr;
      port = std::strtol(argv[i + 1], &end, 10);
      if (*end || port < 0 || port > 65535) {
        return usage();
      }
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else if (option == "--log") {
      log = argv[i + 1];
    } else if (option == "--make-sample") {
      sample = argv[i + 1];
    } else {
      return usage();
    }
  }
  if (argc % 2 == 0) {
    return usage();
  }
  if (!sample.empty()) {
    std::string error = sqlstandin::makeSampleDatabases(sample);
    if (!error.empty()) {
      std::fprintf(stderr, "sqlstandin: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (dir.empty() || port < 0) {
    return usage();
  }
  try {
    sqlstandin::Catalog catalog(dir);
    sqlstandin::StatementLog statements(log);
    if (!statements.isOpen()) {
      std::fprintf(stderr, "sqlstandin: cannot open %s\n", log.c_str());
      return 1;
    }
    sqlstandin::Server server(catalog, statements);
    uint16_t bound = server.listen(static_cast<uint16_t>(port));
    if (bound == 0) {
      std::fprintf(stderr, "sqlstandin: cannot listen on port %ld: %s\n", port, std::strerror(errno));
      return 1;
    }
    g_server = &server;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::printf("port %u\n", bound);
    std::fflush(stdout);
    server.serve();
    g_server = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sqlstandin: %s\n", e.what());
    return 1;
  }
  return 0;
}
