// Caller-ID latency: from the last byte of a caller-ID line written on a pty
// master to the control's CallerID changing, through the control itself: its
// port component and its own 10 ms Timer1. Prints the median and the 99th
// percentile over 1,000 lines.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "QorvImpl1.h"
#include "systemroot.h"
#include "windows.h"
#include "winuser.h"

// After the platform headers: <fcntl.h> defines LOCK_WRITE as a macro, which
// would break the structured storage constant of the same name.
#include <fcntl.h>

namespace {

using Clock = std::chrono::steady_clock;
using qorv::recorder::RecorderState;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Serves the thread's messages (timer ticks among them) for `delay`, so the
// next line is written at a random point of the tick period rather than just
// after a tick.
void ServeMessagesFor(std::chrono::microseconds delay) {
  const auto deadline = Clock::now() + delay;
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  char rootTemplate[] = "/tmp/qorv-bench-XXXXXX";
  if (!mkdtemp(rootTemplate)) return 1;
  setenv("QORV_SYSTEM_ROOT", rootTemplate, 1);

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  qorv::platform::WriteDeviceMapping(3, ptsname(master));

  TQorvX* control = NewForm<TQorvX>(nullptr);
  if (control->put_PortNumber(3) != S_OK || control->put_OpenPort(VARIANT_TRUE) != S_OK) return 1;

  std::vector<double> latencies;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> phase(0, 9999);
  for (int i = 0; i < lines; ++i) {
    ServeMessagesFor(std::chrono::microseconds(phase(random)));
    const std::string number = std::to_string(100000 + i);
    const std::string line = "\rL1:CallerID:" + number + "\n";
    if (write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    const auto written = Clock::now();
    const std::string expected = "L1" + number;
    MSG message;
    while (RecorderState().CallerID != expected && GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    latencies.push_back(Milliseconds(Clock::now() - written));
  }
  control->put_OpenPort(VARIANT_FALSE);
  delete control;
  close(master);
  std::filesystem::remove_all(rootTemplate);

  std::sort(latencies.begin(), latencies.end());
  std::printf(
      "caller-ID latency over %d lines (the control's 10 ms Timer1, random phase): median %.2f ms, p99 %.2f ms (target "
      "p99 <= 12 "
      "ms)\n",
      lines, latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100]);
  return 0;
}
