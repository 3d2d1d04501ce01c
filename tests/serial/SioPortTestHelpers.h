// Helpers for the port and device-layer tests: a pty pair mapped to a port
// number, the substitute device, and waits that serve the test thread's
// messages (the port's window and the workers' deliveries live on it).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "SioDispatchLock.h"
#include "SioErrors.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "windows.h"

namespace qorv::test {

// The master side of a pty whose slave is mapped to a port number.
class TPtyPort {
 public:
  explicit TPtyPort(int portNumber) {
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) return;
    SlavePath = ptsname(Master);
    qorv::platform::WriteDeviceMapping(portNumber, SlavePath);
    // Reads on the master below use poll with a bound.
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
  }
  ~TPtyPort() { CloseMaster(); }
  TPtyPort(const TPtyPort&) = delete;
  TPtyPort& operator=(const TPtyPort&) = delete;

  bool Valid() const { return Master >= 0 && !SlavePath.empty(); }
  void CloseMaster() {
    if (Master >= 0) close(Master);
    Master = -1;
  }

  // Writes everything, waiting for room as needed.
  bool Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = write(Master, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      pollfd p{Master, POLLOUT, 0};
      if (poll(&p, 1, 10000) <= 0) return false;
    }
    return true;
  }

  // Reads until `count` bytes came or the bound passed.
  std::string Receive(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (out.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{Master, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[4096];
      ssize_t n = read(Master, buffer, std::min(sizeof buffer, count - out.size()));
      if (n > 0) out.append(buffer, static_cast<size_t>(n));
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;
    }
    return out;
  }

  int Master = -1;
  std::string SlavePath;
};

// Serves the calling thread's messages until the condition holds or the bound
// passes. Conditions here change through messages this thread handles or
// through worker state without an event of its own.
inline bool PumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds bound = std::chrono::seconds(10)) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// The Linux path of a file named by a Windows path on drive C:.
inline std::string DriveCFile(const std::string& name) {
  return (qorv::platform::SystemRootPath() / "drive_c" / name).string();
}

// A deterministic byte pattern covering every byte value.
inline std::string PatternBytes(size_t count, unsigned seed) {
  std::string out(count, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (size_t i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<char>(x >> 16);
  }
  return out;
}

}  // namespace qorv::test
