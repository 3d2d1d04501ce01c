// CPU time of the installer's RunAndWait while its program sleeps, against a
// bare waitpid on the same program in the same run. The program is a script
// that sleeps (5 s by default); the figure is this process's CPU time during
// the wait as a share of one core (goal under 1%). A form with no timer is
// shown, as in the installer, so the wait also watches a real message queue.
//
//   run_and_wait_bench [seconds]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <systemroot.h>

#include "Application.h"
#include "Forms.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Measure {
  double Wall = 0;
  double Cpu = 0;
  double Share() const { return Cpu / Wall * 100; }
};

template <class F>
Measure Measured(F body) {
  double cpu = CpuSeconds();
  auto start = Clock::now();
  body();
  return {std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds() - cpu};
}

void BareWaitpid(const fs::path& script) {
  std::string path = script.string();
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::string pattern = (fs::temp_directory_path() / "qorv-wait-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path work = pattern;
  setenv("QORV_SYSTEM_ROOT", (work / "root").c_str(), 1);
  setenv("QORV_GUI", "headless", 1);
  Application->Initialize();
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  form.Show();

  fs::path script = *qorv::platform::WindowsToLinuxPath("C:\\Tools\\sleeper.sh");
  fs::create_directories(script.parent_path());
  std::ofstream(script) << "#!/bin/sh\nexec sleep " << seconds << "\n";
  fs::permissions(script, fs::perms(0755));

  Measure baseline = Measured([&] { BareWaitpid(script); });
  Measure wait = Measured([] {
    if (!RunAndWait("C:\\Tools\\sleeper.sh", "")) {
      std::fprintf(stderr, "RunAndWait could not start the program\n");
      std::exit(1);
    }
  });
  std::printf("bare waitpid: %.3f s wall, %.4f s CPU, %.3f%% of a core\n", baseline.Wall, baseline.Cpu,
              baseline.Share());
  std::printf("RunAndWait:   %.3f s wall, %.4f s CPU, %.3f%% of a core (goal under 1%%)\n", wait.Wall, wait.Cpu,
              wait.Share());
  fs::remove_all(work);
  return 0;
}
