// Idle CPU of an open port and of the control, beside bare wakers.
//
// Four configurations, each in a child process of its own (this program run
// again with --child) so their counts never mix:
//   a  a bare thread waking every 50 ms on an event time-out, doing nothing;
//   b  a TSioComPort open on a pty, no timer, no traffic;
//   c  a bare thread waking every 10 ms;
//   d  the control TQorvX, its 10 ms Timer1 served, its port MP open on a pty.
// Once a child has set up and settled, the parent sums the on-CPU nanoseconds
// of all the child's threads from its task/*/schedstat before and after a
// fixed wall interval (the process-wide stat counts whole ticks and cannot see
// costs this small); reading from outside keeps the reader's own work and the
// lag of a running thread's count out of the figure. The
// four alternate over the rounds; each run gets a fresh temporary system root
// and its own port number. Printed: min/median/max per configuration, the
// ratios b/a and d/(a+c) of the medians against 1.2, and for the last round of
// b and d each thread's CPU and wake-ups per second.
//
// Usage: idle_cpu_bench [rounds [seconds]]   (defaults 3 and 5)
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "QorvImpl1.h"
#include "SioPort.h"
#include "systemroot.h"
#include "windows.h"
#include "winuser.h"

// After the platform headers: <fcntl.h> defines LOCK_WRITE as a macro, which
// would break the structured storage constant of the same name.
#include <fcntl.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSettle = std::chrono::milliseconds(500);
constexpr auto kMargin = std::chrono::milliseconds(1500);
constexpr int kFirstPort = 40;
constexpr double kGoal = 1.2;

// ---- per-thread counters ----

struct TThreadCount {
  unsigned long long cpuNs = 0;
  unsigned long long slices = 0;
  unsigned long long voluntary = 0;
  std::string blockedIn;
};

using TThreadCounts = std::map<long, TThreadCount>;

std::string FirstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

unsigned long long VoluntarySwitches(const std::filesystem::path& task) {
  std::ifstream in(task / "status");
  const std::string key = "voluntary_ctxt_switches:";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) == 0) return std::stoull(line.substr(key.size()));
  }
  return 0;
}

// What a sleeping thread waits in, from its current system call; enough to
// tell the device's poll loop from the workers' event waits.
std::string BlockedIn(const std::filesystem::path& task) {
  std::istringstream fields(FirstLine(task / "syscall"));
  std::string number;
  fields >> number;
  if (number == "7") return "poll";
  if (number == "271") return "ppoll";
  if (number == "202") return "futex";
  if (number == "230") return "nanosleep";
  return number.empty() ? "?" : number;
}

// Read from outside the measured process: a thread's schedstat lags while it
// runs, and a reader inside would add its own cost to what it measures. A
// thread that ends between the listing and the reads is left out: it no
// longer runs, and an idle configuration starts no threads.
TThreadCounts ReadThreadCounts(pid_t process) {
  TThreadCounts counts;
  std::error_code error;
  const std::string tasks = "/proc/" + std::to_string(process) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(tasks, error)) {
    std::istringstream fields(FirstLine(entry.path() / "schedstat"));
    TThreadCount count;
    unsigned long long waitNs = 0;
    if (!(fields >> count.cpuNs >> waitNs >> count.slices)) continue;
    count.voluntary = VoluntarySwitches(entry.path());
    count.blockedIn = BlockedIn(entry.path());
    counts[std::stol(entry.path().filename().string())] = count;
  }
  return counts;
}

unsigned long long TotalCpuNs(const TThreadCounts& counts) {
  unsigned long long total = 0;
  for (const auto& [tid, count] : counts) total += count.cpuNs;
  return total;
}

// ---- the configurations, run inside a child ----

// A temporary system root that lives for one child.
struct TFreshRoot {
  std::string path;
  TFreshRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qorv-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    setenv("QORV_SYSTEM_ROOT", path.c_str(), 1);
  }
  ~TFreshRoot() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

struct TPty {
  int master = -1;
  std::string slave;
  TPty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) slave = ptsname(master);
  }
  ~TPty() {
    if (master >= 0) close(master);
  }
};

// Wakes every `period` on an event time-out and does nothing else.
class TBareWaker {
 public:
  explicit TBareWaker(DWORD period) : Period(period), Stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    Thread = std::thread([this] {
      while (WaitForSingleObject(Stop, Period) == WAIT_TIMEOUT) {
      }
    });
  }
  ~TBareWaker() {
    SetEvent(Stop);
    Thread.join();
    CloseHandle(Stop);
  }
  TBareWaker(const TBareWaker&) = delete;
  TBareWaker& operator=(const TBareWaker&) = delete;

 private:
  DWORD Period;
  HANDLE Stop;
  std::thread Thread;
};

std::unique_ptr<TSioComPort> OpenPort(int number, const std::string& slave) {
  qorv::platform::WriteDeviceMapping(number, slave);
  auto port = std::make_unique<TSioComPort>(nullptr);
  port->SetBaud(115200);
  port->SetAutoOpen(false);
  port->SetDTR(false);
  port->SetRTS(false);
  port->SetComNumber(number);
  port->SetOpen(true);
  return port;
}

// Serves the thread's messages (the control's timer ticks) until `deadline`.
void ServeMessagesUntil(Clock::time_point deadline) {
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

// Tells the parent it is ready, then idles the way the configuration's main
// thread would for long enough to hold the parent's settling time and
// interval with room to spare.
template <typename TIdle>
void IdleWhileMeasured(std::chrono::milliseconds interval, TIdle idle) {
  std::printf("ready\n");
  std::fflush(stdout);
  idle(Clock::now() + kSettle + interval + kMargin);
}

void SleepUntil(Clock::time_point deadline) { std::this_thread::sleep_until(deadline); }

int RunConfiguration(char config, std::chrono::milliseconds interval, int portNumber) {
  switch (config) {
    case 'a':
    case 'c': {
      TBareWaker waker(config == 'a' ? 50 : 10);
      IdleWhileMeasured(interval, SleepUntil);
      return 0;
    }
    case 'b': {
      TPty pty;
      if (pty.slave.empty()) return 2;
      auto port = OpenPort(portNumber, pty.slave);
      if (!port->Open()) return 3;
      IdleWhileMeasured(interval, SleepUntil);
      port->SetOpen(false);
      return 0;
    }
    case 'd': {
      TPty pty;
      if (pty.slave.empty()) return 2;
      qorv::platform::WriteDeviceMapping(portNumber, pty.slave);
      std::unique_ptr<TQorvX> control(NewForm<TQorvX>(nullptr));
      if (control->put_PortNumber(portNumber) != S_OK || control->put_OpenPort(VARIANT_TRUE) != S_OK) return 3;
      IdleWhileMeasured(interval, ServeMessagesUntil);
      control->put_OpenPort(VARIANT_FALSE);
      return 0;
    }
  }
  return 2;
}

// A failure ends the child with a message and its root removed; the parent
// marks the run failed.
int RunChild(char config, std::chrono::milliseconds interval, int portNumber) {
  TFreshRoot root;
  if (root.path.empty()) return 2;
  try {
    return RunConfiguration(config, interval, portNumber);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "configuration %c: %s\n", config, e.what());
    return 4;
  }
}

// ---- the parent ----

struct TThreadUse {
  std::string who;
  double cpuMs = 0;
  double slicesPerSecond = 0;
  double voluntaryPerSecond = 0;
  std::string blockedIn;
};

struct TRun {
  bool ok = false;
  double cpuNs = 0;
  std::vector<TThreadUse> threads;
};

TRun Difference(pid_t process, const TThreadCounts& before, const TThreadCounts& after, double seconds) {
  TRun run;
  run.ok = !before.empty() && before.size() == after.size();
  run.cpuNs = static_cast<double>(TotalCpuNs(after) - TotalCpuNs(before));
  for (const auto& [tid, count] : after) {
    auto old = before.find(tid);
    if (old == before.end()) continue;
    run.threads.push_back({tid == process ? "main" : std::to_string(tid), (count.cpuNs - old->second.cpuNs) / 1e6,
                           (count.slices - old->second.slices) / seconds,
                           (count.voluntary - old->second.voluntary) / seconds, count.blockedIn});
  }
  return run;
}

// Waits for the child's first line; true when it says it is ready.
bool WaitUntilReady(int fd) {
  std::string line;
  char c = 0;
  for (ssize_t n; (n = read(fd, &c, 1)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || c == '\n') break;
    line += c;
  }
  return line == "ready";
}

pid_t StartChild(char config, int seconds, int portNumber, int& output) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    const std::string configArg(1, config);
    const std::string secondsArg = std::to_string(seconds);
    const std::string portArg = std::to_string(portNumber);
    execl("/proc/self/exe", "idle_cpu_bench", "--child", configArg.c_str(), secondsArg.c_str(), portArg.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  if (child < 0) {
    close(out[0]);
    return -1;
  }
  output = out[0];
  return child;
}

// One configuration in a child of its own, measured from here once it has
// settled.
TRun RunInChild(char config, int seconds, int portNumber) {
  int output = -1;
  const pid_t child = StartChild(config, seconds, portNumber, output);
  if (child < 0) return {};
  TRun run;
  if (WaitUntilReady(output)) {
    std::this_thread::sleep_for(kSettle);
    const TThreadCounts before = ReadThreadCounts(child);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const TThreadCounts after = ReadThreadCounts(child);
    run = Difference(child, before, after, std::chrono::duration<double>(Clock::now() - start).count());
  }
  close(output);
  int status = 0;
  waitpid(child, &status, 0);
  run.ok = run.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct TConfig {
  char key;
  const char* title;
  std::vector<TRun> runs;
};

std::vector<double> RunMs(const TConfig& config) {
  std::vector<double> ms;
  for (const TRun& run : config.runs) ms.push_back(run.cpuNs / 1e6);
  return ms;
}

double MedianMs(const TConfig& config) { return Median(RunMs(config)); }

// On a shared machine other load only ever adds to a run, so the least run
// is the steadier figure; printed beside the medians.
double MinMs(const TConfig& config) {
  std::vector<double> ms = RunMs(config);
  return *std::min_element(ms.begin(), ms.end());
}

void PrintConfig(const TConfig& config) {
  std::vector<double> ms;
  bool failed = false;
  for (const TRun& run : config.runs) {
    ms.push_back(run.cpuNs / 1e6);
    failed = failed || !run.ok;
  }
  std::printf("  %c %-42s min %7.3f  median %7.3f  max %7.3f ms%s\n", config.key, config.title,
              *std::min_element(ms.begin(), ms.end()), Median(ms), *std::max_element(ms.begin(), ms.end()),
              failed ? "   (A RUN FAILED)" : "");
}

void PrintThreads(const TConfig& config, int seconds) {
  std::printf(
      "threads of %c in its last round (tid, CPU ms over %d s, run slices/s, voluntary switches/s, waiting in):\n",
      config.key, seconds);
  for (const TThreadUse& thread : config.runs.back().threads) {
    std::printf("    %-8s %8.3f ms  %7.1f /s  %7.1f /s  %s\n", thread.who.c_str(), thread.cpuMs, thread.slicesPerSecond,
                thread.voluntaryPerSecond, thread.blockedIn.c_str());
  }
}

void PrintRatio(const char* what, double numerator, double denominator) {
  const double ratio = denominator > 0 ? numerator / denominator : 0;
  std::printf("  %-28s %5.2fx   (goal <= %.1fx: %s)\n", what, ratio, kGoal, ratio <= kGoal ? "met" : "MISSED");
}

int RunParent(int rounds, int seconds) {
  std::vector<TConfig> configs = {{'a', "bare waker, 50 ms", {}},
                                  {'b', "TSioComPort open on a pty, no timer", {}},
                                  {'c', "bare waker, 10 ms", {}},
                                  {'d', "TQorvX, Timer1 running, MP open on a pty", {}}};
  std::printf("idle CPU from /proc/<child>/task/*/schedstat over %d s per run, %d rounds, configurations alternating\n",
              seconds, rounds);
  int portNumber = kFirstPort;
  for (int round = 0; round < rounds; ++round) {
    for (TConfig& config : configs) config.runs.push_back(RunInChild(config.key, seconds, portNumber++));
  }
  for (const TConfig& config : configs) PrintConfig(config);
  const double a = MedianMs(configs[0]);
  const double b = MedianMs(configs[1]);
  const double c = MedianMs(configs[2]);
  const double d = MedianMs(configs[3]);
  std::printf("ratios of the medians:\n");
  PrintRatio("port / 50 ms waker (b/a)", b, a);
  PrintRatio("control / both (d/(a+c))", d, a + c);
  std::printf("ratios of the minima:\n");
  PrintRatio("port / 50 ms waker (b/a)", MinMs(configs[1]), MinMs(configs[0]));
  PrintRatio("control / both (d/(a+c))", MinMs(configs[3]), MinMs(configs[0]) + MinMs(configs[2]));
  PrintThreads(configs[1], seconds);
  PrintThreads(configs[3], seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--child") {
    return RunChild(argv[2][0], std::chrono::seconds(std::atoi(argv[3])), std::atoi(argv[4]));
  }
  const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 3;
  const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  return RunParent(rounds, seconds);
}
