// The recorder simulator, run as a child process: its devices.ini entry, the
// frames it decodes, its answers and the bytes its commands send.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <ctime>

#include "CommTestSupport.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "windows.h"

extern char** environ;

using namespace qorv::platform;
using qorv::test::OpenComPort;
using qorv::test::ReceiveExactly;

namespace {

constexpr int kPort = 12;

// recsim with pipes on its standard input, output and error.
class Recsim {
 public:
  explicit Recsim(std::vector<std::string> extraArgs = {"--flat-out"}) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> args = {QORV_RECSIM_PATH, "--port", std::to_string(kPort)};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, QORV_RECSIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("spawn");
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input_ = in[1];
    output_ = out[0];
    errors_ = err[0];
  }
  ~Recsim() {
    CloseInput();
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    ::close(output_);
    ::close(errors_);
  }

  void Send(const std::string& command) {
    std::string line = command + "\n";
    ASSERT_EQ(::write(input_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  }
  void CloseInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }
  std::string ReadLine() { return ReadLineFrom(output_, outBuffer_); }
  std::string ReadErrorLine() { return ReadLineFrom(errors_, errBuffer_); }
  // The exit status, once the process has ended (-1 when it did not).
  int Wait() {
    int status = 0;
    bool ended = qorv::test::WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Signal(int number) { kill(pid_, number); }

 private:
  static std::string ReadLineFrom(int fd, std::string& buffer) {
    for (;;) {
      auto end = buffer.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 1);
        return line;
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0) return "<no line>";
      char chunk[512];
      ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n <= 0) return "<closed>";
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1, errors_ = -1;
  std::string outBuffer_, errBuffer_;
};

// A session: recsim started and the port it offers opened.
class RecsimSession : public testing::Test {
 protected:
  void SetUp() override {
    slaveLine = recsim.ReadLine();
    ASSERT_EQ(slaveLine.rfind("slave /dev/", 0), 0u) << slaveLine;
    port = OpenComPort(kPort);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << GetLastError();
  }
  void TearDown() override {
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  }
  void WriteBytes(const std::vector<std::uint8_t>& bytes) {
    qorv::test::Overlapped write;
    DWORD n = 0;
    if (!WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &n, &write.record)) {
      ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
      ASSERT_TRUE(GetOverlappedResult(port, &write.record, &n, TRUE));
    }
    ASSERT_EQ(n, bytes.size());
  }

  Recsim recsim;
  std::string slaveLine;
  HANDLE port = INVALID_HANDLE_VALUE;
};

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

}  // namespace

TEST(RecsimLifetime, MapsItsPortAndRemovesTheEntryAtEndOfInputOrOnSigterm) {
  for (bool bySignal : {false, true}) {
    Recsim recsim;
    std::string first = recsim.ReadLine();
    ASSERT_EQ(first.rfind("slave ", 0), 0u) << first;
    auto mapped = ReadDeviceMapping(kPort);
    ASSERT_TRUE(mapped.has_value());
    EXPECT_EQ("slave " + *mapped, first);
    if (bySignal)
      recsim.Signal(SIGTERM);
    else
      recsim.CloseInput();
    EXPECT_EQ(recsim.Wait(), 0) << (bySignal ? "SIGTERM" : "end of input");
    EXPECT_FALSE(ReadDeviceMapping(kPort).has_value());
  }
}

TEST_F(RecsimSession, EveryCommandFrameIsPrintedInHexWithItsName) {
  struct Case {
    std::vector<std::uint8_t> frame;
    const char* printed;
  } cases[] = {
      {{0xFC, 'R', '1', 'O', 'F', 0xFD}, "FC 52 31 4F 46 FD connect line 1"},
      {{0xFC, 'R', '2', '5', '5', 'O', 'F', 0xFD}, "FC 52 32 35 35 4F 46 FD connect line 255"},
      {{0xFC, 'R', '1', '2', 'O', 'N', 0xFD}, "FC 52 31 32 4F 4E FD disconnect line 12"},
      {{0xFC, 'L', '3', 'C', 'O', 0xFD}, "FC 4C 33 43 4F FD start record line 3"},
      {{0xFC, 'L', '9', 'C', 'O', 0xFD}, "FC 4C 39 43 4F FD stop record (or start record line 9)"},
      {{0xFC, 'p', 'r', 't', 1, 'l', 0xFD}, "FC 70 72 74 01 6C FD protocol 1"},
      {{0xFC, 'p', 'r', 't', 2, 'l', 0xFD}, "FC 70 72 74 02 6C FD protocol 2"},
      {{0xFC, 'p', 'r', 't', 3, 'l', 0xFD}, "FC 70 72 74 03 6C FD protocol 3"},
      {{0xFC, 'p', 'r', 't', 4, 'l', 0xFD}, "FC 70 72 74 04 6C FD star on"},
      {{0xFC, 'p', 'r', 't', 5, 'l', 0xFD}, "FC 70 72 74 05 6C FD star off"},
      {{0xFC, 'R', 'q', 'S', 'T', 0xFD}, "FC 52 71 53 54 FD status"},
      {{0xFC, 0x52, 0x61, 0x30, 0x45, 0x13, 0xD5, 0x03, 0x54, 0x01, 0xFD},
       "FC 52 61 30 45 13 D5 03 54 01 FD set clock 13:45:30 day 15 month 03 year 2006+3 (mod 4)"},
      {{0xFC, 0x52, 0x61, 0x07, 0x05, 0x09, 0xA0, 0x05, 0x54, 0x01, 0xFD},
       "FC 52 61 07 05 09 A0 05 54 01 FD set clock 09:05:07 day 20 month 05 year 2006+2 (mod 4)"},
      {{0xFC, 'R', 'x', 'O', 'F', 0xFD}, "FC 52 78 4F 46 FD unknown"},
      {{0xFC, 'p', 'r', 't', 6, 'l', 0xFD}, "FC 70 72 74 06 6C FD unknown"},
      {{0xFC, 0xFD}, "FC FD unknown"},
  };
  for (const auto& c : cases) {
    WriteBytes(c.frame);
    EXPECT_EQ(recsim.ReadLine(), c.printed);
  }
  // A frame cut by a new start, then bytes outside any frame.
  WriteBytes({0xFC, 'R', 0xFC, 'R', 'q', 'S', 'T', 0xFD});
  EXPECT_EQ(recsim.ReadLine(), "FC 52 unterminated");
  EXPECT_EQ(recsim.ReadLine(), "FC 52 71 53 54 FD status");
  WriteBytes({'A', 'B'});
  EXPECT_EQ(recsim.ReadLine(), "41 42 stray");
}

TEST_F(RecsimSession, ReadTimeIsAnsweredWithAClockReplyOfNow) {
  std::time_t before = std::time(nullptr);
  WriteBytes({0xFC, 'R', 'b', 0xFD});
  EXPECT_EQ(recsim.ReadLine(), "FC 52 62 FD read time");
  std::string reply = ReceiveExactly(port, 12);
  std::time_t after = std::time(nullptr);
  ASSERT_EQ(reply.size(), 12u);
  EXPECT_EQ(reply.substr(0, 3), Bytes({0xFD, 'D', 'T'}));
  EXPECT_EQ(reply[6], 't');
  EXPECT_EQ(reply.substr(10), Bytes({'.', 0xFE}));
  std::tm fields{};
  fields.tm_year = static_cast<unsigned char>(reply[3]) + 2006 - 1900;
  fields.tm_mon = reply[4] - 1;
  fields.tm_mday = reply[5];
  fields.tm_hour = reply[7];
  fields.tm_min = reply[8];
  fields.tm_sec = reply[9];
  fields.tm_isdst = -1;
  std::time_t replied = std::mktime(&fields);
  EXPECT_GE(replied, before);
  EXPECT_LE(replied, after);
}

TEST_F(RecsimSession, CommandsSendTheirBytesExactly) {
  recsim.Send("callerid L1 09121234567");
  EXPECT_EQ(ReceiveExactly(port, 26), "\rL1:CallerID:09121234567 \n");
  recsim.Send("callerid 2 345");
  EXPECT_EQ(ReceiveExactly(port, 18), "\rL2:CallerID:345 \n");
  recsim.Send("line RING 2");
  EXPECT_EQ(ReceiveExactly(port, 8), "\rRING 2\n");
  recsim.Send("hex FD 44 54 03 0c 1F 74 17 3B 3B 2E FE");
  EXPECT_EQ(ReceiveExactly(port, 12), Bytes({0xFD, 0x44, 0x54, 0x03, 0x0C, 0x1F, 0x74, 0x17, 0x3B, 0x3B, 0x2E, 0xFE}));
  recsim.Send("clock 2009/12/31 23:59:59");
  EXPECT_EQ(ReceiveExactly(port, 12), Bytes({0xFD, 0x44, 0x54, 0x03, 0x0C, 0x1F, 0x74, 0x17, 0x3B, 0x3B, 0x2E, 0xFE}));

  // 30 ms of 1 kHz: 240 samples, one period every 8, in a full line of 200
  // and one of 40.
  recsim.Send("tone 1000 30");
  std::string tone = ReceiveExactly(port, 248);
  const std::string period = Bytes({0x80, 0xDA, 0xFF, 0xDA, 0x80, 0x26, 0x01, 0x26});
  std::string samples;
  for (int i = 0; i < 30; ++i) samples += period;
  EXPECT_EQ(tone, Bytes({0x0D, 0xC8, 0x00}) + samples.substr(0, 200) + "\n" + Bytes({0x0D, 0xC8, 0x00}) +
                      samples.substr(200) + "\n");
}

TEST_F(RecsimSession, WavSamplesGoOutInAudioLinesWithLineEndsNudged) {
  qorv::test::TempDir dir;
  std::string data = Bytes({0x00, 0x0A, 0x0D, 0x7F, 0xFE, 0xFF});
  std::string wav = "RIFF" + Bytes({42, 0, 0, 0}) + "WAVEfmt " + Bytes({16, 0, 0, 0, 1, 0, 1, 0}) +
                    Bytes({0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0}) + "data" + Bytes({6, 0, 0, 0}) + data;
  auto path = dir.Path() / "six.wav";
  qorv::test::WriteFileBytes(path, wav);
  recsim.Send("wav " + path.string());
  EXPECT_EQ(ReceiveExactly(port, 10), Bytes({0x0D, 0xC8, 0x00, 0x00, 0x0B, 0x0E, 0x7F, 0xFE, 0xFF, 0x0A}));
}

TEST_F(RecsimSession, BadCommandsAreReportedAndTheSessionGoesOn) {
  qorv::test::TempDir dir;
  auto stereo = dir.Path() / "stereo.wav";
  qorv::test::WriteFileBytes(stereo, "RIFF" + Bytes({36, 0, 0, 0}) + "WAVEfmt " + Bytes({16, 0, 0, 0, 1, 0, 2, 0}) +
                                         Bytes({0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 8, 0}) + "data" +
                                         Bytes({0, 0, 0, 0}));
  auto cut = dir.Path() / "cut.wav";
  qorv::test::WriteFileBytes(cut, "RIFF" + Bytes({36, 0, 0, 0}) + "WAVEdata" + Bytes({0xFF, 0, 0, 0}));
  struct Case {
    std::string command, error;
  } cases[] = {
      {"bogus", "unknown command 'bogus'"},
      {"hex 4G", "hex: '4G' is not a byte in hex"},
      {"hex", "hex: no bytes"},
      {"callerid L0 123", "callerid: the line is L1 to L9"},
      {"tone 1000", "tone: give HZ (below 4000) and MS (up to 10 minutes)"},
      {"sleep -5", "sleep: give milliseconds (up to an hour)"},
      {"clock 2005/01/01 00:00:00", "clock: give YYYY/MM/DD HH:MM:SS (years 2006 to 2261)"},
      {"wav " + (dir.Path() / "missing.wav").string(), (dir.Path() / "missing.wav").string() + ": cannot open"},
      {"wav " + stereo.string(), stereo.string() + ": not 8-bit 8 kHz mono PCM"},
      {"wav " + cut.string(), cut.string() + ": chunk 'data' runs past the end of the file"},
  };
  int line = 0;
  for (const auto& c : cases) {
    recsim.Send(c.command);
    EXPECT_EQ(recsim.ReadErrorLine(), "recsim: line " + std::to_string(++line) + ": " + c.error);
  }
  recsim.Send("hex 41");
  EXPECT_EQ(ReceiveExactly(port, 1), "A") << "nothing was sent for the bad commands";
}

TEST(RecsimPacing, PacedAudioArrivesComplete) {
  Recsim paced(std::vector<std::string>{});
  ASSERT_EQ(paced.ReadLine().rfind("slave ", 0), 0u);
  HANDLE port = OpenComPort(kPort);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  paced.Send("tone 400 100");
  std::string audio = ReceiveExactly(port, 4 * 204);
  ASSERT_EQ(audio.size(), 4u * 204);
  for (std::size_t line = 0; line < 4; ++line) {
    EXPECT_EQ(audio.substr(line * 204, 3), Bytes({0x0D, 0xC8, 0x00}));
    EXPECT_EQ(audio[line * 204 + 203], '\n');
  }
  CloseHandle(port);
}
