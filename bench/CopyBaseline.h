// The baseline the copy benchmarks measure against: `cp -r` as a process of
// its own, timed from spawn to exit after a sync, and the mean of their
// per-round ratios.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace qorv::bench {

// Seconds `cp -r sources... target` took; ends the benchmark when cp fails.
inline double CpSeconds(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"cp", "-r"});
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  ::sync();
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv.data(), environ) != 0) {
    std::perror("cp");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "cp -r failed\n");
    std::exit(1);
  }
  return seconds;
}

inline double GeometricMean(const std::vector<double>& values) {
  double logs = 0;
  for (double v : values) logs += std::log(v);
  return std::exp(logs / static_cast<double>(values.size()));
}

}  // namespace qorv::bench
