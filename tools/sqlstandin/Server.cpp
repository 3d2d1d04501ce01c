#include "Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Connection.h"

namespace sqlstandin {

Server::~Server() {
  reapFinished(true);
  if (listener_ >= 0) {
    close(listener_);
  }
  for (int fd : wake_) {
    if (fd >= 0) {
      close(fd);
    }
  }
}

uint16_t Server::listen(uint16_t port) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    return 0;
  }
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) {
    return 0;
  }
  int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 16) != 0) {
    return 0;
  }
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

void Server::stop() {
  char byte = 1;
  [[maybe_unused]] ssize_t n = write(wake_[1], &byte, 1);
}

void Server::serve() {
  while (true) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    if (fds[1].revents != 0) {
      break;
    }
    int socket = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) {
      continue;
    }
    reapFinished(false);
    auto client = std::make_unique<Client>();
    Client* raw = client.get();
    raw->socket = socket;
    std::lock_guard lock(mutex_);
    clients_.push_back(std::move(client));
    raw->thread = std::thread([this, raw] {
      Connection(raw->socket, catalog_, log_).run();
      // The client sees the end at once; the descriptor itself is closed
      // when the thread is reaped, so its number cannot be reused before.
      shutdown(raw->socket, SHUT_RDWR);
      std::lock_guard inner(mutex_);
      raw->finished = true;
    });
  }
  reapFinished(true);
}

void Server::reapFinished(bool all) {
  std::list<std::unique_ptr<Client>> done;
  {
    std::lock_guard lock(mutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      if ((*it)->finished || all) {
        if (all && !(*it)->finished) {
          // Wakes a thread blocked in recv; it then leaves on its own.
          shutdown((*it)->socket, SHUT_RDWR);
        }
        done.push_back(std::move(*it));
        it = clients_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& client : done) {
    if (client->thread.joinable()) {
      client->thread.join();
    }
    close(client->socket);
  }
}

}  // namespace sqlstandin
