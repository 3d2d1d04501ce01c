// WAV write of a full 50,000,000-byte buffer through the platform's file
// calls, against a plain POSIX write() of the same bytes to the same folder.
// Prints the median of each and their throughput ratio (plain time / WAV time).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "RecorderState.h"
#include "WaveFile.h"
#include "systemroot.h"

namespace {

using Clock = std::chrono::steady_clock;
using qorv::recorder::kAudioBufferSize;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool PlainWrite(const std::filesystem::path& path, const BYTE* data, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == size;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  char rootTemplate[] = "/tmp/qorv-bench-XXXXXX";
  if (!mkdtemp(rootTemplate)) return 1;
  setenv("QORV_SYSTEM_ROOT", rootTemplate, 1);

  auto& state = qorv::recorder::RecorderState();
  for (int i = 1; i <= kAudioBufferSize; ++i) state.AudioBuffer[i] = static_cast<BYTE>(i * 7);
  state.AudioIndex = kAudioBufferSize;
  state.SavePath = "c:\\bench.wav";
  const auto wavePath = qorv::platform::WindowsToLinuxPath(state.SavePath);
  const auto plainPath = qorv::platform::WindowsToLinuxPath("c:\\plain.bin");
  if (!wavePath || !plainPath) return 1;

  std::vector<double> wave, plain;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    qorv::recorder::WriteWaveFile(state);
    wave.push_back(Seconds(Clock::now() - start));
    start = Clock::now();
    if (!PlainWrite(*plainPath, state.AudioBuffer.Data(), kAudioBufferSize)) return 1;
    plain.push_back(Seconds(Clock::now() - start));
  }
  if (std::filesystem::file_size(*wavePath) != static_cast<uintmax_t>(kAudioBufferSize)) {
    std::fprintf(stderr, "WAV file has the wrong size\n");
    return 1;
  }
  const double w = Median(wave), p = Median(plain);
  std::printf("WAV write of 50,000,000 bytes: median %.1f ms over %d rounds\n", w * 1000, rounds);
  std::printf("plain write() of the same:     median %.1f ms\n", p * 1000);
  std::printf("ratio (plain / WAV, target >= 0.8): %.2f\n", p / w);
  std::filesystem::remove_all(rootTemplate);
  return 0;
}
