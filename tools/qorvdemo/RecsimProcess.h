// The recorder simulator as a child process: commands go to its standard
// input, the frames it decodes come back one a line on its standard output.
// Used by the demo host and by the control's end-to-end tests.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace qorv::tools {

class TRecsimProcess {
 public:
  // Starts `program --port N` with the extra arguments; throws when it cannot.
  TRecsimProcess(const std::string& program, int port, const std::vector<std::string>& extraArgs = {}) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("recsim: no pipe");
    if (pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]);
      ::close(in[1]);
      throw std::runtime_error("recsim: no pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> args = {program, "--port", std::to_string(port)};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    if (spawned != 0) {
      pid_ = -1;
      Cleanup();
      throw std::runtime_error("recsim: cannot start " + program);
    }
  }
  ~TRecsimProcess() {
    CloseInput();
    if (pid_ > 0) {
      // Asked first, so it removes its devices.ini entry; then made sure of.
      ::kill(pid_, SIGTERM);
      if (!WaitExit(std::chrono::seconds(5))) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
    }
    Cleanup();
  }
  TRecsimProcess(const TRecsimProcess&) = delete;
  TRecsimProcess& operator=(const TRecsimProcess&) = delete;

  // One command line; false when the simulator no longer reads.
  bool Send(const std::string& command) {
    const std::string line = command + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = ::write(input_, line.data() + done, line.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // The next output line without its line break; nothing when none came
  // within the bound or the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
      const auto end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{output_, POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return std::nullopt;
      char chunk[512];
      const ssize_t n = ::read(output_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

  void CloseInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }

  // Waits for the process to end by itself; its exit status, or nothing.
  std::optional<int> Wait(std::chrono::milliseconds bound) {
    if (!WaitExit(bound)) return std::nullopt;
    return status_;
  }

 private:
  // Reaps the child within the bound, waiting on its process descriptor
  // (readable once it has ended) rather than sleeping.
  bool WaitExit(std::chrono::milliseconds bound) {
    if (pid_ <= 0) return true;
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      int ready;
      do {
        ready = ::poll(&p, 1, static_cast<int>(bound.count()));
      } while (ready < 0 && errno == EINTR);
      ::close(pidfd);
      if (ready == 0) return false;
    }
    int status = 0;
    if (::waitpid(pid_, &status, pidfd >= 0 ? 0 : WNOHANG) != pid_) return false;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return true;
  }
  void Cleanup() {
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
    input_ = output_ = -1;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int status_ = -1;
  std::string buffer_;
};

}  // namespace qorv::tools
