// Serial engine figures on a pty pair, in one run:
//   (a) raw pty throughput with a plain poll/read loop,
//   (b) the engine's throughput on the same kind of pty (bytes sent from the
//       far end drained with InputReady/ReadChar; bytes sent with WriteText
//       read at the far end),
//   (c) the latency from one byte written at the far end to InputReady,
//   (d) the CPU time of an open idle port over 10 s, next to a thread that
//       wakes every 50 ms,
//   (e) the same for a port whose device has gone, and how long its close takes.
// Prints each figure and the ratios b/a and d/baseline.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SioPort.h"
#include "systemroot.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBytes = 8 * 1024 * 1024;
constexpr int kPort = 5;

struct TPty {
  int master = -1;
  std::string slave;
  TPty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master);
    unlockpt(master);
    slave = ptsname(master);
  }
  ~TPty() { close(master); }
};

bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return false;
    } else {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 1000);
    }
  }
  return true;
}

size_t ReadAll(int fd, size_t size) {
  std::vector<char> buffer(65536);
  size_t got = 0;
  while (got < size) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    ssize_t n = read(fd, buffer.data(), std::min(buffer.size(), size - got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

double MegabytesPerSecond(size_t bytes, Clock::duration elapsed) {
  return bytes / 1e6 / std::chrono::duration<double>(elapsed).count();
}

double RawPtyThroughput(const std::string& data) {
  TPty pty;
  int slave = open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  auto start = Clock::now();
  std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
  size_t got = ReadAll(slave, data.size());
  writer.join();
  auto elapsed = Clock::now() - start;
  close(slave);
  return got == data.size() ? MegabytesPerSecond(got, elapsed) : 0.0;
}

std::unique_ptr<TSioComPort> OpenRecorderPort() {
  auto port = std::make_unique<TSioComPort>(nullptr);
  port->SetBaud(115200);
  port->SetInSize(20000);
  port->SetAutoOpen(false);
  port->SetDTR(false);
  port->SetRTS(false);
  port->SetComNumber(kPort);
  port->SetOpen(true);
  return port;
}

double EngineReceiveThroughput(const std::string& data) {
  TPty pty;
  qorv::platform::WriteDeviceMapping(kPort, pty.slave);
  auto port = OpenRecorderPort();
  auto start = Clock::now();
  std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
  size_t got = 0;
  auto deadline = start + std::chrono::seconds(120);
  while (got < data.size() && Clock::now() < deadline) {
    if (!port->InputReady()) {
      std::this_thread::yield();
      continue;
    }
    while (port->InputReady()) {
      port->ReadChar();
      ++got;
    }
  }
  auto elapsed = Clock::now() - start;
  writer.join();
  return got == data.size() ? MegabytesPerSecond(got, elapsed) : 0.0;
}

double EngineSendThroughput(const std::string& data) {
  TPty pty;
  qorv::platform::WriteDeviceMapping(kPort, pty.slave);
  auto port = OpenRecorderPort();
  size_t got = 0;
  auto start = Clock::now();
  std::thread reader([&] { got = ReadAll(pty.master, data.size()); });
  size_t sent = 0;
  while (sent < data.size()) {
    size_t chunk = std::min<size_t>({port->Dispatcher()->OutputSpace(), data.size() - sent, 4096});
    if (chunk == 0) {
      std::this_thread::yield();
      continue;
    }
    port->WriteText(data.substr(sent, chunk));
    sent += chunk;
  }
  reader.join();
  auto elapsed = Clock::now() - start;
  return got == data.size() ? MegabytesPerSecond(got, elapsed) : 0.0;
}

double MedianLatencyMicroseconds() {
  TPty pty;
  qorv::platform::WriteDeviceMapping(kPort, pty.slave);
  auto port = OpenRecorderPort();
  std::vector<double> samples;
  for (int i = 0; i < 200; ++i) {
    auto start = Clock::now();
    WriteAll(pty.master, "x", 1);
    while (!port->InputReady()) {
    }
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    port->ReadChar();
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double IdlePortCpuSeconds() {
  TPty pty;
  qorv::platform::WriteDeviceMapping(kPort, pty.slave);
  auto port = OpenRecorderPort();
  double before = CpuSeconds(RUSAGE_SELF);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  return CpuSeconds(RUSAGE_SELF) - before;
}

// The same for a port whose device has gone (the pty master closed), over
// 10 s: the workers must not spin on the failing device.
double VanishedPortCpuSeconds() {
  auto pty = std::make_unique<TPty>();
  qorv::platform::WriteDeviceMapping(kPort, pty->slave);
  auto port = OpenRecorderPort();
  pty.reset();
  double before = CpuSeconds(RUSAGE_SELF);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  double used = CpuSeconds(RUSAGE_SELF) - before;
  auto start = Clock::now();
  port->SetOpen(false);
  std::printf("    close after the device went:   %8.1f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  return used;
}

double WakerCpuSeconds() {
  double used = 0;
  std::thread waker([&] {
    double before = CpuSeconds(RUSAGE_THREAD);
    auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    used = CpuSeconds(RUSAGE_THREAD) - before;
  });
  waker.join();
  return used;
}

}  // namespace

int main() {
  if (getenv("QORV_SYSTEM_ROOT") == nullptr) {
    // Keep the user's own root untouched.
    static std::string root = (std::filesystem::temp_directory_path() / "qorv-bench-root").string();
    setenv("QORV_SYSTEM_ROOT", root.c_str(), 1);
  }
  std::string data(kBytes, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + (i >> 8));

  double raw = RawPtyThroughput(data);
  double received = EngineReceiveThroughput(data);
  double sent = EngineSendThroughput(data);
  double latency = MedianLatencyMicroseconds();
  double idle = IdlePortCpuSeconds();
  double waker = WakerCpuSeconds();
  double vanished = VanishedPortCpuSeconds();

  std::printf("(a) raw pty throughput:            %8.1f MB/s\n", raw);
  std::printf("(b) engine receive (ReadChar):     %8.1f MB/s   b/a = %.2f\n", received, raw > 0 ? received / raw : 0);
  std::printf("    engine send (WriteText):       %8.1f MB/s   b/a = %.2f\n", sent, raw > 0 ? sent / raw : 0);
  std::printf("(c) one-byte latency to InputReady: %7.0f us (median of 200)\n", latency);
  std::printf("(d) idle open port CPU over 10 s:  %8.4f s\n", idle);
  std::printf("    50 ms waker CPU over 10 s:     %8.4f s   d/baseline = %.2f\n", waker, waker > 0 ? idle / waker : 0);
  std::printf("(e) port with its device gone, CPU over 10 s: %.4f s\n", vanished);
  return 0;
}
