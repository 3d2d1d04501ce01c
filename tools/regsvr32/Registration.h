// One run of the tool: what to do with which library, and how it ended.
#pragma once

#include <string>

namespace qorv::regsvr32 {

// Exit statuses, the numbers Windows's regsvr32 uses for the same outcomes.
enum ExitStatus : int {
  kSucceeded = 0,
  kBadArguments = 1,
  kComNotStarted = 2,
  kLoadFailed = 3,
  kEntryPointMissing = 4,
  kCallFailed = 5,
};

struct Request {
  bool Unregister = false;
  bool Silent = false;
  std::string Path;  // as given: a Windows path, a Linux path or a bare name
};

struct Outcome {
  ExitStatus Status = kSucceeded;
  std::string Text;  // what the tool tells the person, in UTF-8
};

// Reads "[/u] [/s] PATH" (options also as -u -s, in any case and position).
// An unknown option, a missing or second path gives kBadArguments with the
// usage in the text.
Outcome ParseArguments(int argc, char** argv, Request& request);

// Loads the library, calls its DllRegisterServer or DllUnregisterServer and
// frees it again.
Outcome Register(const Request& request);

}  // namespace qorv::regsvr32
