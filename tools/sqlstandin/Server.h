#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "Catalog.h"
#include "StatementLog.h"

namespace sqlstandin {

// Accepts clients on 127.0.0.1 only, one thread per client, until stop()
// (safe from a signal handler) is called.
class Server {
 public:
  Server(Catalog& catalog, StatementLog& log) : catalog_(catalog), log_(log) {}
  ~Server();

  // Binds and listens; returns the port, or 0 with errno set.
  uint16_t listen(uint16_t port);
  void serve();
  // Async-signal-safe: writes one byte to the wake pipe.
  void stop();

 private:
  struct Client {
    int socket = -1;
    std::thread thread;
    bool finished = false;
  };
  void reapFinished(bool all);

  Catalog& catalog_;
  StatementLog& log_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::mutex mutex_;  // guards clients_ and each Client::finished
  std::list<std::unique_ptr<Client>> clients_;
};

}  // namespace sqlstandin
