// A started child process as a kernel object: signalled when the child ends.
//
// Each child has a pidfd, opened before anyone can reap the child, and one
// reaper thread that blocks in poll() on it, collects the exit status and
// signals the object. So waits are woken by the child's end and never poll,
// and signals go through the pidfd, never to a pid that may have been reused.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "KernelObject.h"
#include "synch.h"

namespace qorv::platform {

class ProcessObject : public Waitable {
 public:
  ProcessObject(pid_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}
  ~ProcessObject() override;
  ProcessObject(const ProcessObject&) = delete;
  ProcessObject& operator=(const ProcessObject&) = delete;

  bool IsSignaled() const override { return finished_; }

  pid_t Pid() const { return pid_; }
  // With WaitLock() held.
  DWORD ExitCodeLocked() const { return finished_ ? exitCode_ : STILL_ACTIVE; }
  // Sends SIGKILL; the exit code will be `code`. False (with the last error)
  // once the process has ended.
  bool Terminate(DWORD code);

  // Blocks until the child ends, then records its exit and wakes waiters.
  // Runs on the reaper thread.
  void Reap();

 private:
  const pid_t pid_;
  const int pidfd_;        // closed with the object, so Terminate never races a close
  bool finished_ = false;  // under WaitLock()
  DWORD exitCode_ = 0;     // under WaitLock()
  bool terminating_ = false;
  DWORD terminateCode_ = 0;  // under WaitLock(), with terminating_
};

// What to run: a Linux program with its whole argument vector.
struct SpawnRequest {
  std::filesystem::path Program;  // a path, or with SearchPath a name looked up in PATH
  bool SearchPath = false;
  std::vector<std::string> Arguments;   // argv, argv[0] included
  std::filesystem::path WorkingFolder;  // empty: the caller's
  int ShowCommand = 1;
};

// Starts the child and its reaper. Null with the Windows error in `error`
// (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_BAD_EXE_FORMAT,
// ERROR_DIRECTORY, ERROR_NOT_ENOUGH_MEMORY) when it cannot be started.
std::shared_ptr<ProcessObject> SpawnProcess(const SpawnRequest& request, DWORD& error);

}  // namespace qorv::platform
