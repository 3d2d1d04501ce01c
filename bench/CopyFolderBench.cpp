// The shell's folder copy as the installer runs it (SHFileOperationA with
// FOF_FILESONLY, the framework's progress window shown, headless) against
// `cp -r` of the same tree in the same run: 200 MB in 2,000 files, rounds
// interleaved and their order alternated, so neither side gets a warmer
// cache or the other's write-back. Prints each round and the ratio cp / shell
// (goal >= 0.9) as the geometric mean over the rounds, in which the cost of
// going first or second cancels out over pairs of rounds, and as the ratio
// of the total times.
//
//   copy_folder_bench [rounds] [folder]   (rounds: even, default 6; folder:
//                                          where the trees go, default the
//                                          temporary folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <shellapi.h>
#include <systemroot.h>

#include "Application.h"
#include "CopyBaseline.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 2000;
constexpr std::size_t kMeanBytes = 100 * 1000;

using Clock = std::chrono::steady_clock;

std::uint64_t MakeTree(const fs::path& root) {
  std::mt19937 random(7);
  std::string block(2 * kMeanBytes, '\0');
  for (auto& b : block) b = static_cast<char>(random());
  std::uint64_t total = 0;
  for (int i = 0; i < kFiles; ++i) {
    fs::path folder = root / ("Folder" + std::to_string(i % 20));
    fs::create_directories(folder);
    std::size_t size = kMeanBytes / 2 + random() % kMeanBytes;
    std::ofstream out(folder / ("file" + std::to_string(i) + ".bin"), std::ios::binary);
    out.write(block.data() + (random() % kMeanBytes), static_cast<std::streamsize>(size));
    total += size;
  }
  return total;
}

double ShellCopySeconds(const std::string& from, const std::string& to) {
  std::string fromList = from + std::string(2, '\0');
  std::string toList = to + std::string(2, '\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_COPY;
  op.pFrom = fromList.c_str();
  op.pTo = toList.c_str();
  op.fFlags = FOF_FILESONLY;
  ::sync();  // each copy starts with no write-back of the one before
  auto start = Clock::now();
  int result = SHFileOperationA(&op);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (result != 0) {
    std::fprintf(stderr, "SHFileOperationA failed: %d\n", result);
    std::exit(1);
  }
  return seconds;
}

double CpSeconds(const fs::path& from, const fs::path& to) {
  return qorv::bench::CpSeconds({from.string(), to.string()});
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(2, std::atoi(argv[1]) & ~1) : 6;
  fs::path parent = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  std::string pattern = (parent / "qorv-copy-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path work = pattern;
  setenv("QORV_SYSTEM_ROOT", (work / "root").c_str(), 1);
  setenv("QORV_GUI", "headless", 1);
  Application->Initialize();

  fs::path drive = *qorv::platform::WindowsToLinuxPath("C:\\");
  std::uint64_t total = MakeTree(drive / "Medium" / "Engine");
  ::sync();
  std::printf("tree: %d files, %.1f MB in %s\n", kFiles, static_cast<double>(total) / 1e6, drive.c_str());

  std::vector<double> ratios;
  double shellTotal = 0;
  double cpTotal = 0;
  for (int round = 0; round < rounds; ++round) {
    std::string shellTarget = "C:\\Copies\\Shell" + std::to_string(round);
    fs::path cpTarget = drive / "Copies" / ("Cp" + std::to_string(round));
    fs::create_directories(cpTarget.parent_path());
    double shell = 0;
    double cp = 0;
    if (round % 2 == 0) {
      shell = ShellCopySeconds("C:\\Medium\\Engine", shellTarget);
      cp = CpSeconds(drive / "Medium" / "Engine", cpTarget);
    } else {
      cp = CpSeconds(drive / "Medium" / "Engine", cpTarget);
      shell = ShellCopySeconds("C:\\Medium\\Engine", shellTarget);
    }
    ratios.push_back(cp / shell);
    shellTotal += shell;
    cpTotal += cp;
    std::printf("round %d: shell %.3f s (%.0f MB/s), cp -r %.3f s, ratio %.2f\n", round, shell,
                static_cast<double>(total) / 1e6 / shell, cp, cp / shell);
    fs::remove_all(drive / "Copies");
    ::sync();
  }
  std::printf("ratio cp / shell: %.2f geometric mean of the rounds, %.2f of the total times (goal >= 0.9)\n",
              qorv::bench::GeometricMean(ratios), cpTotal / shellTotal);
  fs::remove_all(work);
  return 0;
}
