// Child processes: posix_spawn, a pidfd, and a reaper thread per child.
#include "ProcessObject.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// glibc 2.36 declares these without C linkage.
extern "C" {
#include <sys/pidfd.h>
}

#include <cerrno>
#include <cstring>
#include <thread>

#include "winerror.h"

extern char** environ;

namespace qorv::platform {

namespace {

constexpr const char* kShowCommandVariable = "QORV_SHOW_COMMAND";

// A child ended by a signal reports 128 plus the signal, as shells do; Windows
// has no such ending, and its crash codes would mean nothing here.
DWORD ExitCodeOf(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return static_cast<DWORD>(info.si_status) & 0xFF;
  return 128 + static_cast<DWORD>(info.si_status);
}

DWORD SpawnError(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD: return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case EAGAIN: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ErrorFromErrno(err);
  }
}

// The caller's environment with the show command added (or replaced).
std::vector<std::string> ChildEnvironment(int showCommand) {
  std::vector<std::string> variables;
  std::string prefix = std::string(kShowCommandVariable) + "=";
  for (char** entry = environ; entry && *entry; ++entry) {
    if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) variables.emplace_back(*entry);
  }
  variables.push_back(prefix + std::to_string(showCommand));
  return variables;
}

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// posix_spawn's attribute and file-action objects, destroyed on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attributes_);
    posix_spawn_file_actions_init(&actions_);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // The child starts with no blocked signals and every handler at its
  // default, whatever this process ignores or blocks (a program that
  // ignores SIGPIPE or SIGCHLD must not pass that on), with /dev/null as
  // input, in its working folder.
  int Prepare(const SpawnRequest& request) {
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (int err = posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF)) return err;
    if (int err = posix_spawnattr_setsigmask(&attributes_, &none)) return err;
    if (int err = posix_spawnattr_setsigdefault(&attributes_, &all)) return err;
    if (int err = posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0)) return err;
    if (!request.WorkingFolder.empty()) {
      if (int err = posix_spawn_file_actions_addchdir_np(&actions_, request.WorkingFolder.c_str())) return err;
    }
    return 0;
  }

  posix_spawnattr_t* Attributes() { return &attributes_; }
  posix_spawn_file_actions_t* Actions() { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

// Ends a child whose reaper could not be started, so it leaves no zombie.
void KillAndReap(int pidfd) {
  pidfd_send_signal(pidfd, SIGKILL, nullptr, 0);
  siginfo_t info{};
  while (waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd), &info, WEXITED) != 0 && errno == EINTR) {
  }
}

}  // namespace

ProcessObject::~ProcessObject() { ::close(pidfd_); }

bool ProcessObject::Terminate(DWORD code) {
  {
    std::lock_guard guard(WaitLock());
    if (finished_) return FailWith(ERROR_ACCESS_DENIED);
    terminating_ = true;
    terminateCode_ = code;
  }
  // ESRCH: the child ended meanwhile; the reaper reports the code given here.
  if (pidfd_send_signal(pidfd_, SIGKILL, nullptr, 0) != 0 && errno != ESRCH) return FailWithErrno();
  return true;
}

void ProcessObject::Reap() {
  pollfd ended{pidfd_, POLLIN, 0};
  while (::poll(&ended, 1, -1) < 0 && errno == EINTR) {
  }
  // The pidfd is readable once the child has ended. WNOHANG: if someone else
  // reaped it (a process that ignores SIGCHLD), there is nothing to collect
  // and the exit status is lost; the child has ended all the same.
  siginfo_t info{};
  int rc;
  do {
    rc = waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd_), &info, WEXITED | WNOHANG);
  } while (rc != 0 && errno == EINTR);
  DWORD code = (rc == 0 && info.si_pid != 0) ? ExitCodeOf(info) : 0;
  std::lock_guard guard(WaitLock());
  exitCode_ = terminating_ ? terminateCode_ : code;
  finished_ = true;
  WakeWaiters();
}

std::shared_ptr<ProcessObject> SpawnProcess(const SpawnRequest& request, DWORD& error) {
  SpawnSetup setup;
  if (int err = setup.Prepare(request)) {
    error = SpawnError(err);
    return nullptr;
  }
  std::vector<std::string> arguments = request.Arguments;
  if (arguments.empty()) arguments.push_back(request.Program.string());
  std::vector<std::string> variables = ChildEnvironment(request.ShowCommand);
  auto argv = PointersTo(arguments);
  auto envp = PointersTo(variables);

  // glibc's posix_spawn reports a failed exec (missing file, no run bit, not
  // an executable) as its result, so a start that fails is never seen as a
  // process that ended at once.
  pid_t pid = 0;
  int err =
      request.SearchPath
          ? posix_spawnp(&pid, request.Program.c_str(), setup.Actions(), setup.Attributes(), argv.data(), envp.data())
          : posix_spawn(&pid, request.Program.c_str(), setup.Actions(), setup.Attributes(), argv.data(), envp.data());
  if (err != 0) {
    error = SpawnError(err);
    return nullptr;
  }
  // The child cannot have been reaped yet (only we wait for it), so the pid
  // still names it here.
  int pidfd = pidfd_open(pid, 0);
  if (pidfd < 0) {
    error = ErrorFromErrno(errno);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return nullptr;
  }
  auto process = std::make_shared<ProcessObject>(pid, pidfd);
  try {
    std::thread([process] { process->Reap(); }).detach();
  } catch (const std::system_error&) {
    KillAndReap(pidfd);
    error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  return process;
}

}  // namespace qorv::platform
