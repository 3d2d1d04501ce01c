// Helpers for the serial device tests: opening a port as the serial engine
// does, overlapped records with their own event, and pty pairs.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "windows.h"

namespace qorv::test {

inline HANDLE OpenComPort(int number) {
  std::string name = "\\\\.\\COM" + std::to_string(number);
  return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Descriptors an open could leave behind. Pipes, and descriptors closed
// while they are counted, are left out: no open makes a pipe, but the
// sanitizer runtime opens and closes pipe pairs on a starting thread (the
// port's I/O thread) at any moment of the test.
inline std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::error_code error;
    auto target = std::filesystem::read_symlink(std::filesystem::path("/proc/self/fd") / entry->d_name, error);
    if (error || target.string().rfind("pipe:", 0) == 0) continue;
    ++count;
  }
  closedir(dir);
  return count;
}

// An OVERLAPPED with a manual-reset event of its own.
struct Overlapped {
  Overlapped() { record.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() { CloseHandle(record.hEvent); }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;
  bool WaitDone(DWORD ms = 10000) { return WaitForSingleObject(record.hEvent, ms) == WAIT_OBJECT_0; }
  bool Signalled() { return WaitForSingleObject(record.hEvent, 0) == WAIT_OBJECT_0; }
  OVERLAPPED record{};
};

// Reads from a port until `count` bytes came (or a call fails), waiting for
// EV_RXCHAR whenever nothing is there.
inline std::string ReceiveExactly(HANDLE port, std::size_t count) {
  std::string out;
  if (!SetCommMask(port, EV_RXCHAR)) return out;
  std::string buffer(8192, '\0');
  while (out.size() < count) {
    Overlapped read;
    DWORD n = 0;
    if (!ReadFile(port, buffer.data(), static_cast<DWORD>(std::min(buffer.size(), count - out.size())), &n,
                  &read.record))
      break;
    out.append(buffer.data(), n);
    if (n > 0) continue;
    Overlapped wait;
    DWORD mask = 0;
    if (!WaitCommEvent(port, &mask, &wait.record)) {
      if (GetLastError() != ERROR_IO_PENDING) break;
      DWORD ignored;
      if (!GetOverlappedResult(port, &wait.record, &ignored, TRUE)) break;
    }
  }
  return out;
}

// A pseudo-terminal: the test holds the master side, the port opens the slave.
class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
    slave_ = ptsname(master_);
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return master_; }
  const std::string& SlavePath() const { return slave_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void WriteAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("pty write failed");
      done += static_cast<std::size_t>(n);
    }
  }
  // Reads exactly `count` bytes, waiting up to `ms` for each chunk.
  std::string ReadExactly(std::size_t count, int ms = 10000) {
    std::string out;
    char buffer[65536];
    while (out.size() < count) {
      pollfd fd{master_, POLLIN, 0};
      if (::poll(&fd, 1, ms) <= 0) break;
      ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n <= 0) break;
      out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

}  // namespace qorv::test
