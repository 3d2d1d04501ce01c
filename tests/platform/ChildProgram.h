// Runs a program of the build to its end and keeps what it printed, for the
// tests of command-line tools.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qorv::test {

struct ProgramResult {
  int ExitStatus = -1;  // 128 + the signal when a signal ended it
  std::string Out;
  std::string Err;
};

// Runs `program` with `args` and the test's environment without DISPLAY, so
// tools print instead of showing message boxes no one answers.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// The same, started in the Linux folder `folder`.
ProgramResult RunProgramIn(const std::filesystem::path& folder, const std::string& program,
                           const std::vector<std::string>& args);

}  // namespace qorv::test
