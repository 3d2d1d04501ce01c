#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "AudioCapture.h"
#include "FakeRecorderPort.h"
#include "RecorderDevice.h"
#include "RecorderStateHelpers.h"
#include "TestSupport.h"
#include "WaveFile.h"
#include "fileapi.h"
#include "synch.h"
#include "systemroot.h"

namespace {

using qorv::recorder::kAudioBufferSize;
using qorv::recorder::kWaveHeaderSize;
using qorv::recorder::TRecorderDevice;
using qorv::recorder::TRecorderState;
using qorv::test::TFakeRecorderPort;
using qorv::test::TFakeSerialError;

DWORD U32At(const std::vector<unsigned char>& bytes, size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | static_cast<DWORD>(bytes[offset + 3]) << 24;
}

// The header of a mono 8-bit 8000 Hz PCM file for `samples` samples, byte by byte.
std::vector<unsigned char> ExpectedHeader(DWORD samples) {
  const DWORD riff = 36 + samples;
  std::vector<unsigned char> h = {'R', 'I', 'F', 'F', 0, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                                  ' ', 16,  0,   0,   0, 1, 0,   1,   0,   0x40, 0x1F, 0,   0,   0x40, 0x1F,
                                  0,   0,   1,   0,   8, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0};
  std::memcpy(&h[4], &riff, 4);
  std::memcpy(&h[40], &samples, 4);
  return h;
}

class WaveFileTest : public testing::Test {
 protected:
  std::filesystem::path LinuxPath(const std::string& windowsPath) {
    auto path = qorv::platform::WindowsToLinuxPath(windowsPath);
    EXPECT_TRUE(path.has_value()) << windowsPath;
    return path.value_or("");
  }
  void Capture(const std::string& samples) {
    qorv::recorder::CaptureSamples(*state, reinterpret_cast<const BYTE*>(samples.data()),
                                   static_cast<int>(samples.size()));
  }
  static std::string Tone(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(128 + (i % 16 < 8 ? 40 : -40));
    return s;
  }

  std::unique_ptr<TRecorderState> state = qorv::test::NewRecorderState();
  TFakeRecorderPort port;
  TRecorderDevice device{*state, port};
};

using WaveFileRecording = WaveFileTest;
using WaveFileFailures = WaveFileTest;

// Start, 8000 samples, stop: a one-second file holding exactly those samples.
TEST_F(WaveFileRecording, HoldsTheSamplesSinceStart) {
  state->SavePath = "c:\\fileQorv1.wav";
  Capture("before the start");
  device.PutStartRecord(-1);
  const std::string tone = Tone(8000);
  Capture(tone);
  device.PutStopRecord(-1);

  const auto bytes = qorv::test::ReadFileBytes(LinuxPath("c:\\fileQorv1.wav"));
  ASSERT_EQ(bytes.size(), 8044u);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 44), ExpectedHeader(8000));
  EXPECT_EQ(std::string(bytes.begin() + 44, bytes.end()), tone);
  EXPECT_EQ(state->StopRecord, -1);
}

// With nothing recorded the file is the header alone; a second stop writes
// the same recording again, extended by what came in between.
TEST_F(WaveFileRecording, EmptyRecordingAndRepeatedStop) {
  state->SavePath = "c:\\empty.wav";
  device.PutStartRecord(1);
  device.PutStopRecord(1);
  auto bytes = qorv::test::ReadFileBytes(LinuxPath(state->SavePath));
  EXPECT_EQ(bytes, ExpectedHeader(0));

  Capture("abc");
  device.PutStopRecord(1);
  bytes = qorv::test::ReadFileBytes(LinuxPath(state->SavePath));
  ASSERT_EQ(bytes.size(), 47u);
  EXPECT_EQ(U32At(bytes, 4), 39u);
  EXPECT_EQ(std::string(bytes.begin() + 44, bytes.end()), "abc");
}

// With no start since load, the bytes appended since load are written, the
// first 44 of them under the header.
TEST_F(WaveFileRecording, WithoutStartUsesBytesSinceLoad) {
  state->SavePath = "c:\\load.wav";
  const struct {
    size_t appended;
    DWORD samples;
  } rows[] = {{30, 0}, {44, 0}, {45, 1}, {100, 56}};
  for (const auto& row : rows) {
    state->AudioIndex = 0;
    const std::string appended = Tone(row.appended);
    Capture(appended);
    device.PutStopRecord(1);
    const auto bytes = qorv::test::ReadFileBytes(LinuxPath(state->SavePath));
    ASSERT_EQ(bytes.size(), 44u + row.samples) << row.appended;
    EXPECT_EQ(U32At(bytes, 40), row.samples);
    EXPECT_EQ(std::string(bytes.begin() + 44, bytes.end()), appended.substr(std::min<size_t>(44, row.appended)));
  }
}

// A full buffer writes 50,000,000 bytes: 49,999,956 samples.
TEST_F(WaveFileRecording, FullBufferWritesFiftyMillionBytes) {
  state->SavePath = "c:\\full.wav";
  state->AudioIndex = kAudioBufferSize - 1;
  Capture("xyz");
  state->AudioBuffer[kWaveHeaderSize + 1] = 's';
  qorv::recorder::WriteWaveFile(*state);
  const auto path = LinuxPath(state->SavePath);
  EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(kAudioBufferSize));
  const auto bytes = qorv::test::ReadFileBytes(path);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 44), ExpectedHeader(49'999'956));
  EXPECT_EQ(bytes[44], 's');
  EXPECT_EQ(bytes.back(), 'z');
}

// A false put and a failed stop frame write nothing.
TEST_F(WaveFileFailures, NoFileWithoutTheStopFrame) {
  state->SavePath = "c:\\none.wav";
  device.PutStopRecord(0);
  port.Open = false;
  EXPECT_THROW(device.PutStopRecord(1), TFakeSerialError);
  EXPECT_FALSE(std::filesystem::exists(LinuxPath(state->SavePath)));
  EXPECT_EQ(state->StopRecord, 0);
}

// A path that cannot be created is silent: the put succeeds and the
// recording stays for a later attempt.
TEST_F(WaveFileFailures, MissingFolderKeepsRecordingForLater) {
  state->SavePath = "c:\\no such folder\\rec.wav";
  device.PutStartRecord(1);
  Capture("samples");
  device.PutStopRecord(1);
  EXPECT_EQ(state->StopRecord, 1);
  EXPECT_FALSE(std::filesystem::exists(LinuxPath("c:\\no such folder")));

  state->SavePath = "c:\\later.wav";
  device.PutStopRecord(1);
  const auto bytes = qorv::test::ReadFileBytes(LinuxPath(state->SavePath));
  EXPECT_EQ(std::string(bytes.begin() + 44, bytes.end()), "samples");
}

// A file held open with no sharing cannot be replaced; it is left as it was.
TEST_F(WaveFileFailures, FileHeldElsewhereIsLeftAlone) {
  state->SavePath = "c:\\held.wav";
  qorv::test::WriteFileBytes(LinuxPath(state->SavePath), "older recording");
  HANDLE held =
      CreateFileA(state->SavePath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  device.PutStartRecord(1);
  Capture("new");
  device.PutStopRecord(1);
  CloseHandle(held);
  const auto bytes = qorv::test::ReadFileBytes(LinuxPath(state->SavePath));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "older recording");
}

// A write cut short (here by a file size limit, as a full disk would) must
// not leave a truncated file that looks like a recording.
TEST_F(WaveFileFailures, ShortWriteLeavesNoFile) {
  state->SavePath = "c:\\short.wav";
  device.PutStartRecord(1);
  Capture(Tone(8000));

  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit limited = old;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  device.PutStopRecord(1);
  setrlimit(RLIMIT_FSIZE, &old);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(state->StopRecord, 1) << "file errors are silent";
  EXPECT_FALSE(std::filesystem::exists(LinuxPath(state->SavePath)));
  device.PutStopRecord(1);
  EXPECT_EQ(std::filesystem::file_size(LinuxPath(state->SavePath)), 8044u) << "the samples stayed in the buffer";
}

}  // namespace
