// recsim --port N [--script FILE] [--flat-out]
//
// Plays the call recorder on a pty: maps COMN to the pty's slave side in the
// system root's devices.ini, prints "slave <path>", then prints every command
// frame the control sends and answers the read-time command with a clock
// reply, while it sends what the commands on standard input (or in the script)
// ask for, paced at the line rate of 115200 baud unless --flat-out. Ends on end
// of input, "quit", SIGINT or SIGTERM, removing its devices.ini entry.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "Commands.h"
#include "FrameDecoder.h"
#include "RecorderLines.h"
#include "systemroot.h"

namespace {

// 115200 baud with a start and a stop bit: 11520 bytes a second.
constexpr double kBytesPerSecond = 115200.0 / 10;
constexpr std::size_t kPaceChunk = 32;

struct Options {
  int Port = 0;
  std::string Script;
  bool FlatOut = false;
};

std::mutex outputLock;

void PrintLine(std::FILE* stream, const std::string& line) {
  std::lock_guard guard(outputLock);
  std::fputs(line.c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      options->Port = std::atoi(argv[++i]);
    } else if (arg == "--script" && i + 1 < argc) {
      options->Script = argv[++i];
    } else if (arg == "--flat-out") {
      options->FlatOut = true;
    } else {
      return false;
    }
  }
  return options->Port >= 1 && options->Port <= 255;
}

class Simulator {
 public:
  Simulator(int master, bool flatOut) : master_(master), flatOut_(flatOut) {}

  // Sends bytes, paced at the line rate unless flat out. False when the pty
  // fails.
  bool Send(const std::string& bytes) {
    std::lock_guard guard(sendLock_);
    auto start = std::chrono::steady_clock::now();
    std::size_t done = 0;
    while (done < bytes.size()) {
      std::size_t chunk = flatOut_ ? bytes.size() - done : std::min(kPaceChunk, bytes.size() - done);
      if (!WriteAll(bytes.data() + done, chunk)) return false;
      done += chunk;
      if (!flatOut_) {
        auto due = start + std::chrono::duration<double>(static_cast<double>(done) / kBytesPerSecond);
        std::this_thread::sleep_until(due);
      }
    }
    return true;
  }

 private:
  bool WriteAll(const char* data, std::size_t count) {
    while (count > 0) {
      ssize_t n = ::write(master_, data, count);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      count -= static_cast<std::size_t>(n);
    }
    return true;
  }

  int master_;
  bool flatOut_;
  std::mutex sendLock_;
};

// Runs the commands of `in` until its end or "quit", then wakes `done`.
void RunCommands(std::istream& in, Simulator& simulator, int done) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    recsim::Action action;
    std::string error;
    if (!recsim::ParseCommand(line, &action, &error)) {
      PrintLine(stderr, "recsim: line " + std::to_string(number) + ": " + error);
      continue;
    }
    if (action.Quit) break;
    if (action.SleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(action.SleepMs));
    if (!action.Bytes.empty() && !simulator.Send(action.Bytes)) {
      PrintLine(stderr, "recsim: the pty refused the bytes");
      break;
    }
  }
  std::uint64_t one = 1;
  (void)!::write(done, &one, sizeof one);
}

void PrintFrames(const std::vector<recsim::DecodedFrame>& frames, Simulator& simulator) {
  for (const auto& frame : frames) {
    PrintLine(stdout, frame.Text);
    if (!frame.AsksForTime) continue;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    simulator.Send(recsim::ClockReply(local));
  }
}

// Opens a pty pair in raw mode. The simulator keeps the slave side open too,
// so the master never sees a hang-up while the control closes and reopens it.
bool OpenPty(int* master, int* slave, std::string* slavePath) {
  *master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0) return false;
  const char* name = ptsname(*master);
  if (name == nullptr) return false;
  *slavePath = name;
  *slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (*slave < 0) return false;
  termios raw{};
  if (tcgetattr(*slave, &raw) != 0) return false;
  cfmakeraw(&raw);
  return tcsetattr(*slave, TCSANOW, &raw) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: recsim --port N [--script FILE] [--flat-out]   (N from 1 to 255)\n");
    return 2;
  }
  std::ifstream script;
  if (!options.Script.empty()) {
    script.open(options.Script);
    if (!script) {
      std::fprintf(stderr, "recsim: %s: cannot open\n", options.Script.c_str());
      return 1;
    }
  }

  // Signals are taken through a descriptor, so every thread runs unaffected
  // and the main loop ends cleanly.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
  int done = eventfd(0, EFD_CLOEXEC);

  int master = -1, slave = -1;
  std::string slavePath;
  if (signalFd < 0 || done < 0 || !OpenPty(&master, &slave, &slavePath)) {
    std::fprintf(stderr, "recsim: cannot make a pty: %s\n", std::strerror(errno));
    return 1;
  }
  if (!qorv::platform::WriteDeviceMapping(options.Port, slavePath)) {
    std::fprintf(stderr, "recsim: cannot write devices.ini\n");
    return 1;
  }
  PrintLine(stdout, "slave " + slavePath);

  Simulator simulator(master, options.FlatOut);
  std::istream& commands = options.Script.empty() ? std::cin : script;
  std::thread(RunCommands, std::ref(commands), std::ref(simulator), done).detach();

  recsim::FrameDecoder decoder;
  bool running = true;
  while (running) {
    pollfd fds[3] = {{master, POLLIN, 0}, {signalFd, POLLIN, 0}, {done, POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      std::uint8_t buffer[4096];
      ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n > 0) PrintFrames(decoder.Feed(buffer, static_cast<std::size_t>(n)), simulator);
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      // Cannot happen while the slave side is held open; never spin on it.
      running = false;
    }
    if ((fds[1].revents & POLLIN) || (fds[2].revents & POLLIN)) running = false;
  }
  // Frames that arrived with the end are still reported.
  std::uint8_t buffer[4096];
  ::fcntl(master, F_SETFL, O_NONBLOCK);
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
    PrintFrames(decoder.Feed(buffer, static_cast<std::size_t>(n)), simulator);
  PrintFrames(decoder.Finish(), simulator);

  auto mapped = qorv::platform::ReadDeviceMapping(options.Port);
  if (mapped && *mapped == slavePath) qorv::platform::RemoveDeviceMapping(options.Port);
  std::fflush(stdout);
  // The command thread may be blocked reading its input; the process ends
  // without waiting for it.
  ::_exit(0);
}
