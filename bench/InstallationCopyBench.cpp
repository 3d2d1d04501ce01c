// The single-user installation's copying against `cp -r` of the same files
// in the same run: the installer's click on the sample medium (ten component
// files into the system folder, the application's nine files under D:) with
// the registrations made cheap (regsvr32 replaced by a program that ends at
// once) and no server to attach to (both attaches refused at once), so what
// is left is the copying. Rounds are interleaved and their order alternated;
// each starts from an empty target. Prints each round, the throughputs and
// the ratio cp / installation as the geometric mean over the rounds; beside
// them the same files copied by CopyFileA alone, to tell the copying from
// the installation's other steps.
//
//   installation_copy_bench [rounds]   (even, default 6)
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fileapi.h>
#include <objbase.h>
#include <systemroot.h>

#include "Application.h"
#include "CopyBaseline.h"
#include "FormInput.h"
#include "uNIiNSTALL.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kCopiedFolders[] = {"Component Package", "Ostrivel"};

// A port nothing listens on: bound for a moment, then given back.
int UnusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::uint64_t BytesUnder(const fs::path& folder) {
  std::uint64_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) total += entry.file_size();
  }
  return total;
}

// What a round leaves behind, so the next copies everything again.
void RemoveInstalledFiles() {
  fs::remove_all(*qorv::platform::WindowsToLinuxPath("D:\\Ostrivel"));
  for (const auto& entry : fs::directory_iterator(QORV_MEDIUM_DIR "/Component Package")) {
    fs::remove(*qorv::platform::WindowsToLinuxPath("C:\\Windows\\System32\\" + entry.path().filename().string()));
  }
  ::sync();
}

double InstallationSeconds() {
  RemoveInstalledFiles();
  auto start = Clock::now();
  Form1->SpeedButton1Click(nullptr);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same files copied with CopyFileA alone, as the installation copies
// them: what is left of the installation's time without its other steps.
double CopyFileSeconds() {
  RemoveInstalledFiles();
  std::vector<std::pair<std::string, std::string>> copies;
  for (const auto& entry : fs::directory_iterator(QORV_MEDIUM_DIR "/Component Package")) {
    std::string name = entry.path().filename().string();
    copies.emplace_back("Component Package\\" + name, "C:\\Windows\\System32\\" + name);
  }
  for (const char* folder : {"D:\\Ostrivel", "D:\\Ostrivel\\Data", "D:\\Ostrivel\\connect"}) {
    CreateDirectoryA(folder, nullptr);
  }
  for (const auto& entry : fs::recursive_directory_iterator(QORV_MEDIUM_DIR "/Ostrivel")) {
    if (!entry.is_regular_file()) continue;
    std::string relative = entry.path().lexically_relative(QORV_MEDIUM_DIR "/Ostrivel").string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    copies.emplace_back("Ostrivel\\" + relative, "D:\\Ostrivel\\" + relative);
  }
  auto start = Clock::now();
  for (const auto& [from, to] : copies) CopyFileA(from.c_str(), to.c_str(), FALSE);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double CpSeconds(const fs::path& target) {
  fs::remove_all(target);
  fs::create_directories(target);
  std::vector<std::string> arguments;
  for (const char* folder : kCopiedFolders) arguments.push_back(std::string(QORV_MEDIUM_DIR "/") + folder);
  arguments.push_back(target.string());
  return qorv::bench::CpSeconds(arguments);
}

void SetUpSystem(const fs::path& work) {
  using namespace qorv::platform;
  setenv("QORV_SYSTEM_ROOT", (work / "root").c_str(), 1);
  setenv("QORV_GUI", "headless", 1);
  ConfigureDrive('D', work / "D", DriveKind::Fixed);
  ConfigureDrive('M', QORV_MEDIUM_DIR, DriveKind::Cdrom);
  WriteIniValue("sqlserver.ini", "Port", std::to_string(UnusedPort()));
  fs::path tool = *WindowsToLinuxPath("C:\\Windows\\System32\\regsvr32.exe");
  fs::remove(tool);
  fs::create_symlink("/bin/true", tool);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(2, std::atoi(argv[1]) & ~1) : 6;
  std::string pattern = (fs::temp_directory_path() / "qorv-install-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path work = pattern;
  SetUpSystem(work);
  CoInitialize(nullptr);
  Application->Initialize();
  // The attach failures and the completion message are answered at once.
  SetModalResponder([](TCustomForm& box) { PostKey(box, VK_RETURN); });
  if (!SetCurrentDirectoryA("M:\\")) {
    std::fprintf(stderr, "the medium %s cannot be reached\n", QORV_MEDIUM_DIR);
    return 1;
  }
  Application->CreateForm(Form1);

  std::uint64_t bytes = 0;
  for (const char* folder : kCopiedFolders) bytes += BytesUnder(fs::path(QORV_MEDIUM_DIR) / folder);
  std::printf("medium: %.1f MB in the component and application folders\n", static_cast<double>(bytes) / 1e6);
  double megabytes = static_cast<double>(bytes) / 1e6;

  std::vector<double> ratios;
  for (int round = 0; round < rounds; ++round) {
    double installation = 0;
    double cp = 0;
    if (round % 2 == 0) {
      installation = InstallationSeconds();
      cp = CpSeconds(work / "cp");
    } else {
      cp = CpSeconds(work / "cp");
      installation = InstallationSeconds();
    }
    double copies = CopyFileSeconds();
    ratios.push_back(cp / installation);
    std::printf(
        "round %d: installation %.3f s (%.0f MB/s), its copies alone %.3f s (%.0f MB/s), cp -r %.3f s "
        "(%.0f MB/s), ratio %.2f\n",
        round, installation, megabytes / installation, copies, megabytes / copies, cp, megabytes / cp,
        cp / installation);
  }
  std::printf("ratio cp / installation: %.2f (geometric mean of the rounds)\n", qorv::bench::GeometricMean(ratios));
  std::fflush(stdout);
  fs::remove_all(work);
  // Ends as the installer ends, without closing the window.
  std::_Exit(0);
}
