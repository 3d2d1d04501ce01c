// Serial engine throughput next to raw C on the same kind of pty pair.
//
// Three transfers, each done by raw C (read/write/poll on the slave) and by
// the engine (the port opened on the slave through the device map):
//   loop:    host writes -> pty -> far side echoes -> pty -> host reads,
//            at most kWindow bytes in flight;
//   receive: far side writes -> pty -> host reads;
//   send:    host writes -> pty -> far side reads.
// The far side (the pty master) is the same code for both, writes and reads
// kChunk bytes at a time, and the receiving end checks every byte. The host
// writes kChunk bytes at a time too. The engine's port has 20,000-byte queues
// each way, as a host moving bulk data would set them (the default output
// queue holds one chunk, so each write would wait for the last to leave). The
// engine's host reads with InputReady/ReadChar and yields when nothing waits,
// as a polling host does.
// Raw and engine runs alternate over kRounds rounds; each run gets a fresh
// temporary system root and its own port number. Printed per transfer:
// min/median/max MB/s, process CPU ns per byte (median), and the ratio of the
// medians engine / raw.
// CPU comes from every thread's task/*/schedstat and is split into the host
// thread, the far side and the engine's own threads.
// Then the one-byte latency to InputReady and the CPU of a port whose device
// has gone. Options: --only loop|receive|send, --engine-only (no raw runs,
// for profiling), --throughput-only.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "SioPort.h"
#include "systemroot.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kBytes = 16 * 1024 * 1024;
constexpr size_t kChunk = 4096;
constexpr size_t kWindow = 8192;
constexpr int kRounds = 3;
constexpr int kFirstPort = 20;
constexpr auto kRunLimit = std::chrono::seconds(120);

int NextPortNumber() {
  static int next = kFirstPort;
  return next++;
}

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

// A temporary system root that lives for one run.
struct TFreshRoot {
  std::string path;
  TFreshRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qorv-bench-XXXXXX").string();
    path = mkdtemp(pattern.data());
    setenv("QORV_SYSTEM_ROOT", path.c_str(), 1);
  }
  ~TFreshRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

char Expected(size_t i) { return static_cast<char>(i * 131 + (i >> 8)); }

const std::string& Payload() {
  static const std::string data = [] {
    std::string d(kBytes, '\0');
    for (size_t i = 0; i < d.size(); ++i) d[i] = Expected(i);
    return d;
  }();
  return data;
}

bool WaitFor(int fd, short events) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, 5000) > 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return false;
    } else if (!WaitFor(fd, POLLOUT)) {
      return false;
    }
  }
  return true;
}

// Far side: the payload in kChunk writes.
bool FarSend(int fd) {
  const std::string& data = Payload();
  for (size_t sent = 0; sent < data.size(); sent += kChunk) {
    if (!WriteAll(fd, data.data() + sent, std::min(kChunk, data.size() - sent))) return false;
  }
  return true;
}

// Far side: reads kChunk at a most, checking each byte; true when all came right.
bool FarReceive(int fd) {
  std::vector<char> buffer(kChunk);
  size_t got = 0;
  while (got < kBytes) {
    if (!WaitFor(fd, POLLIN)) return false;
    ssize_t n = read(fd, buffer.data(), std::min(kChunk, kBytes - got));
    if (n <= 0) return false;
    for (ssize_t k = 0; k < n; ++k) {
      if (buffer[k] != Expected(got + k)) return false;
    }
    got += static_cast<size_t>(n);
  }
  return true;
}

// Far side: sends back what it reads, kChunk at a time.
bool FarEcho(int fd) {
  std::vector<char> buffer(kChunk);
  size_t echoed = 0;
  while (echoed < kBytes) {
    if (!WaitFor(fd, POLLIN)) return false;
    ssize_t n = read(fd, buffer.data(), std::min(kChunk, kBytes - echoed));
    if (n <= 0) return false;
    if (!WriteAll(fd, buffer.data(), static_cast<size_t>(n))) return false;
    echoed += static_cast<size_t>(n);
  }
  return true;
}

// ---- host side, raw C on the slave ----

int OpenRawSlave(const std::string& name) {
  int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  termios raw{};
  tcgetattr(fd, &raw);
  cfmakeraw(&raw);
  tcsetattr(fd, TCSANOW, &raw);
  return fd;
}

bool RawHostReceive(int fd) { return FarReceive(fd); }
bool RawHostSend(int fd) { return FarSend(fd); }

bool RawHostLoop(int fd) {
  const std::string& data = Payload();
  std::vector<char> buffer(kChunk);
  size_t sent = 0;
  size_t got = 0;
  while (got < kBytes) {
    bool canSend = sent < kBytes && sent - got + kChunk <= kWindow;
    pollfd p{fd, static_cast<short>(POLLIN | (canSend ? POLLOUT : 0)), 0};
    if (poll(&p, 1, 5000) <= 0) return false;
    if (canSend && (p.revents & POLLOUT) != 0) {
      ssize_t n = write(fd, data.data() + sent, std::min(kChunk, kBytes - sent));
      if (n > 0) sent += static_cast<size_t>(n);
    }
    if ((p.revents & POLLIN) != 0) {
      ssize_t n = read(fd, buffer.data(), std::min(kChunk, kBytes - got));
      if (n < 0 && errno != EAGAIN) return false;
      for (ssize_t k = 0; k < n; ++k) {
        if (buffer[k] != Expected(got + k)) return false;
      }
      if (n > 0) got += static_cast<size_t>(n);
    }
  }
  return true;
}

// ---- host side, the engine ----

std::unique_ptr<TSioComPort> OpenEnginePort(const std::string& slave) {
  int number = NextPortNumber();
  qorv::platform::WriteDeviceMapping(number, slave);
  auto port = std::make_unique<TSioComPort>(nullptr);
  port->SetBaud(115200);
  port->SetInSize(20000);
  port->SetOutSize(20000);
  port->SetAutoOpen(false);
  port->SetDTR(false);
  port->SetRTS(false);
  port->SetComNumber(number);
  port->SetOpen(true);
  return port;
}

// Reads what waits; false on a wrong byte.
bool EngineDrain(TSioComPort& port, size_t& got) {
  while (got < kBytes && port.InputReady()) {
    if (port.ReadChar() != Expected(got)) return false;
    ++got;
  }
  return true;
}

bool EngineHostReceive(TSioComPort& port) {
  size_t got = 0;
  auto deadline = Clock::now() + kRunLimit;
  while (got < kBytes && Clock::now() < deadline) {
    if (!EngineDrain(port, got)) return false;
    if (got < kBytes) std::this_thread::yield();
  }
  return got == kBytes;
}

bool EngineHostSend(TSioComPort& port) {
  const std::string& data = Payload();
  size_t sent = 0;
  auto deadline = Clock::now() + kRunLimit;
  while (sent < kBytes && Clock::now() < deadline) {
    size_t chunk = std::min(kChunk, kBytes - sent);
    if (port.Dispatcher()->OutputSpace() < chunk) {
      std::this_thread::yield();
      continue;
    }
    port.WriteText(data.substr(sent, chunk));
    sent += chunk;
  }
  return sent == kBytes;
}

bool EngineHostLoop(TSioComPort& port) {
  const std::string& data = Payload();
  size_t sent = 0;
  size_t got = 0;
  auto deadline = Clock::now() + kRunLimit;
  while (got < kBytes && Clock::now() < deadline) {
    size_t chunk = std::min(kChunk, kBytes - sent);
    bool progressed = false;
    if (sent < kBytes && sent - got + chunk <= kWindow && port.Dispatcher()->OutputSpace() >= chunk) {
      port.WriteText(data.substr(sent, chunk));
      sent += chunk;
      progressed = true;
    }
    size_t before = got;
    if (!EngineDrain(port, got)) return false;
    if (!progressed && got == before) std::this_thread::yield();
  }
  return got == kBytes;
}

// ---- runs ----

enum class TPath { Loop, Receive, Send };

struct TSample {
  double megabytesPerSecond = 0;
  double cpuNanosecondsPerByte = 0;
  // The same CPU split: the host thread (writing and reading, yielding when
  // nothing waits), the far side, and every other thread (the engine's).
  double hostNanosecondsPerByte = 0;
  double farNanosecondsPerByte = 0;
  double workerNanosecondsPerByte = 0;
};

// On-CPU nanoseconds of each thread of this process, by tid, from
// task/*/schedstat (getrusage counts whole ticks for the threads it sums).
std::map<pid_t, double> ThreadCpuNanoseconds() {
  std::map<pid_t, double> threads;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream stat(entry.path() / "schedstat");
    double onCpu = 0;
    if (stat >> onCpu) threads[static_cast<pid_t>(std::stol(entry.path().filename().string()))] = onCpu;
  }
  return threads;
}

std::function<bool(int)> FarSideFor(TPath path) {
  switch (path) {
    case TPath::Loop: return FarEcho;
    case TPath::Receive: return FarSend;
    case TPath::Send: return FarReceive;
  }
  return nullptr;
}

// Times the host part while the far side runs on its own thread; nothing when
// either side failed or a byte came wrong.
TSample TimeTransfer(TPath path, int master, const std::function<bool()>& host) {
  std::atomic<bool> farOk = false;
  std::atomic<pid_t> farTid = 0;
  std::map<pid_t, double> before = ThreadCpuNanoseconds();
  auto start = Clock::now();
  std::map<pid_t, double> farUse;
  std::thread far([&] {
    farTid = gettid();
    farOk = FarSideFor(path)(master);
    // Read by the far thread itself before it ends, when its count is final.
    std::ifstream stat("/proc/thread-self/schedstat");
    double onCpu = 0;
    if (stat >> onCpu) farUse[gettid()] = onCpu;
  });
  bool hostOk = host();
  far.join();
  auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::map<pid_t, double> after = ThreadCpuNanoseconds();
  if (!hostOk || !farOk) return {};
  TSample sample;
  sample.megabytesPerSecond = kBytes / 1e6 / elapsed;
  const pid_t hostTid = gettid();
  for (const auto& [tid, onCpu] : after) {
    double used = onCpu - (before.count(tid) ? before[tid] : 0);
    (tid == hostTid ? sample.hostNanosecondsPerByte : sample.workerNanosecondsPerByte) += used / kBytes;
  }
  sample.farNanosecondsPerByte = farUse.count(farTid) ? farUse[farTid] / kBytes : 0;
  sample.cpuNanosecondsPerByte =
      sample.hostNanosecondsPerByte + sample.farNanosecondsPerByte + sample.workerNanosecondsPerByte;
  return sample;
}

TSample RunRaw(TPath path) {
  TFreshRoot root;
  TPty pty;
  int slave = OpenRawSlave(pty.slave);
  TSample sample = TimeTransfer(path, pty.master, [&] {
    switch (path) {
      case TPath::Loop: return RawHostLoop(slave);
      case TPath::Receive: return RawHostReceive(slave);
      case TPath::Send: return RawHostSend(slave);
    }
    return false;
  });
  close(slave);
  return sample;
}

TSample RunEngine(TPath path) {
  TFreshRoot root;
  TPty pty;
  auto port = OpenEnginePort(pty.slave);
  TSample sample = TimeTransfer(path, pty.master, [&] {
    switch (path) {
      case TPath::Loop: return EngineHostLoop(*port);
      case TPath::Receive: return EngineHostReceive(*port);
      case TPath::Send: return EngineHostSend(*port);
    }
    return false;
  });
  port->SetOpen(false);
  return sample;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void PrintRow(const char* who, const std::vector<TSample>& samples) {
  std::vector<double> rates, cpu, host, far, workers;
  bool failed = false;
  for (const TSample& s : samples) {
    if (s.megabytesPerSecond == 0) failed = true;
    rates.push_back(s.megabytesPerSecond);
    cpu.push_back(s.cpuNanosecondsPerByte);
    host.push_back(s.hostNanosecondsPerByte);
    far.push_back(s.farNanosecondsPerByte);
    workers.push_back(s.workerNanosecondsPerByte);
  }
  std::printf("  %-7s min %7.1f  median %7.1f  max %7.1f MB/s   CPU %6.1f ns/byte%s\n", who,
              *std::min_element(rates.begin(), rates.end()), Median(rates),
              *std::max_element(rates.begin(), rates.end()), Median(cpu), failed ? "   (A RUN FAILED)" : "");
  std::printf("          CPU by thread (medians): host %6.1f  far side %6.1f  other threads %6.1f ns/byte\n",
              Median(host), Median(far), Median(workers));
}

// `only` names one transfer ("loop", "receive", "send") or is empty for all
// three; `engineOnly` leaves out the raw runs (for profiling the engine).
void CompareThroughput(const std::string& only, bool engineOnly) {
  const std::pair<TPath, const char*> paths[] = {
      {TPath::Loop, "loop: WriteText -> output ring -> device -> far-side echo -> input ring -> ReadChar"},
      {TPath::Receive, "receive only: far side -> device -> input ring -> ReadChar"},
      {TPath::Send, "send only: WriteText -> output ring -> device -> far side"},
  };
  std::printf("%zu MiB per run, %zu-byte chunks, %d rounds, raw and engine alternating\n", kBytes >> 20, kChunk,
              kRounds);
  for (const auto& [path, title] : paths) {
    if (!only.empty() && std::string(title).rfind(only, 0) != 0) continue;
    std::vector<TSample> raw;
    std::vector<TSample> engine;
    for (int round = 0; round < kRounds; ++round) {
      if (!engineOnly) raw.push_back(RunRaw(path));
      engine.push_back(RunEngine(path));
    }
    std::printf("%s\n", title);
    if (!engineOnly) PrintRow("raw C", raw);
    PrintRow("engine", engine);
    if (engineOnly) continue;
    auto medianRate = [](const std::vector<TSample>& samples) {
      std::vector<double> rates;
      for (const TSample& s : samples) rates.push_back(s.megabytesPerSecond);
      return Median(rates);
    };
    double rawMedian = medianRate(raw);
    std::printf("  engine / raw (medians): %.2f\n", rawMedian > 0 ? medianRate(engine) / rawMedian : 0.0);
  }
}

// ---- the older figures ----

double MedianLatencyMicroseconds() {
  TFreshRoot root;
  TPty pty;
  auto port = OpenEnginePort(pty.slave);
  std::vector<double> samples;
  for (int i = 0; i < 200; ++i) {
    auto start = Clock::now();
    WriteAll(pty.master, "x", 1);
    while (!port->InputReady()) {
    }
    samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    port->ReadChar();
  }
  return Median(samples);
}

double ProcessCpuNanoseconds() {
  double total = 0;
  for (const auto& [tid, onCpu] : ThreadCpuNanoseconds()) total += onCpu;
  return total;
}

// CPU over 10 s of a port whose device has gone (the pty master closed): the
// workers must not spin on the failing device. Then how long its close takes.
double VanishedPortCpuMilliseconds() {
  TFreshRoot root;
  auto pty = std::make_unique<TPty>();
  auto port = OpenEnginePort(pty->slave);
  pty.reset();
  double before = ProcessCpuNanoseconds();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  double used = (ProcessCpuNanoseconds() - before) / 1e6;
  auto start = Clock::now();
  port->SetOpen(false);
  std::printf("close after the device went:        %8.1f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  return used;
}

}  // namespace

int main(int argc, char** argv) {
  std::string only;
  bool engineOnly = false;
  bool throughputOnly = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--throughput-only") {
      throughputOnly = true;
    } else if (arg == "--engine-only") {
      engineOnly = throughputOnly = true;
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--only loop|receive|send] [--engine-only] [--throughput-only]\n", argv[0]);
      return 2;
    }
  }
  CompareThroughput(only, engineOnly);
  if (throughputOnly) return 0;
  double latency = MedianLatencyMicroseconds();
  std::printf("one-byte latency to InputReady:     %7.0f us (median of 200)\n", latency);
  double vanished = VanishedPortCpuMilliseconds();
  std::printf("port with its device gone, CPU over 10 s: %.2f ms (idle CPU beside bare wakers: idle_cpu_bench)\n",
              vanished);
  return 0;
}
