// The control through COM against the control used directly, in one run:
//
// - Caller-ID latency: from the last byte of a caller-ID line written on a
//   pty master until the control's CallerID answers the new number, read
//   through IDispatch::Invoke (by dispid) for even lines and through the
//   IQorvX vtable member for odd ones, on one control created by ProgID.
//   Both wait for the control's 10 ms Timer1, so the figures differ by the
//   cost of the read alone, which is also measured per call.
// - First-call cost: CoCreateInstance of the registered control in a fresh
//   process (library load, type library load, form creation) against
//   creating the form directly in a fresh process; rounds alternate.
//
//   control_com_bench [lines] [rounds]
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "DispatchByName.h"
#include "QorvImpl1.h"
#include "QorvProj1_TLB.h"
#include "objbase.h"
#include "shellapi.h"
#include "systemroot.h"
#include "windows.h"
#include "winuser.h"

// After the platform headers: <fcntl.h> defines LOCK_WRITE as a macro, which
// would break the structured storage constant of the same name.
#include <fcntl.h>

namespace {

using Clock = std::chrono::steady_clock;
using QorvProj1_TLB::IQorvX;

constexpr const char* kInstalledLibrary = "C:\\Program Files\\Qorv Recorder\\QorvProj1.ocx";

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, int percent) {
  std::sort(values.begin(), values.end());
  return values[values.size() * static_cast<std::size_t>(percent) / 100];
}

std::string SelfPath() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = '\0';
  return self;
}

void ServeMessagesFor(std::chrono::microseconds delay) {
  const auto deadline = Clock::now() + delay;
  for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

bool RegisterControl() {
  const std::string ocx = SelfPath().substr(0, SelfPath().rfind('/') + 1) + "QorvProj1.ocx";
  const auto folder = qorv::platform::WindowsToLinuxPath("C:\\Program Files\\Qorv Recorder");
  if (!folder) return false;
  std::filesystem::create_directories(*folder);
  std::filesystem::copy_file(ocx, *folder / "QorvProj1.ocx", std::filesystem::copy_options::overwrite_existing);
  const std::string parameters = std::string("/s \"") + kInstalledLibrary + "\"";
  SHELLEXECUTEINFOA run{};
  run.cbSize = sizeof run;
  run.fMask = SEE_MASK_NOCLOSEPROCESS;
  run.lpFile = "regsvr32";
  run.lpParameters = parameters.c_str();
  if (!ShellExecuteExA(&run)) return false;
  WaitForSingleObject(run.hProcess, 60000);
  DWORD status = 1;
  GetExitCodeProcess(run.hProcess, &status);
  CloseHandle(run.hProcess);
  return status == 0;
}

IDispatch* CreateByProgID() {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(u"QorvProj1.QorvX", &clsid))) return nullptr;
  IDispatch* control = nullptr;
  if (FAILED(
          CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&control)))) {
    return nullptr;
  }
  return control;
}

// ---- child processes: one first creation each -------------------------------

int FirstComCreation() {
  const auto start = Clock::now();
  CoInitialize(nullptr);
  IDispatch* control = CreateByProgID();
  const double first = Milliseconds(Clock::now() - start);
  if (!control) return 1;
  const auto again = Clock::now();
  IDispatch* second = CreateByProgID();
  const double next = Milliseconds(Clock::now() - again);
  if (second) second->Release();
  control->Release();
  std::printf("%.3f %.3f\n", first, next);
  return 0;
}

int FirstDirectCreation() {
  const auto start = Clock::now();
  TQorvX* control = NewForm<TQorvX>(nullptr);
  const double first = Milliseconds(Clock::now() - start);
  const auto again = Clock::now();
  TQorvX* second = NewForm<TQorvX>(nullptr);
  const double next = Milliseconds(Clock::now() - again);
  delete second;
  delete control;
  std::printf("%.3f %.3f\n", first, next);
  return 0;
}

// Runs this program in the given mode and reads its two figures.
bool RunChild(const char* mode, double& first, double& next) {
  const std::string command = "'" + SelfPath() + "' " + mode;
  FILE* child = popen(command.c_str(), "r");
  if (!child) return false;
  const bool read = std::fscanf(child, "%lf %lf", &first, &next) == 2;
  return pclose(child) == 0 && read;
}

void CreationFigures(int rounds) {
  std::vector<double> comFirst, comNext, directFirst, directNext;
  for (int round = 0; round < rounds; ++round) {
    double first = 0, next = 0;
    if (RunChild("--first-com", first, next)) comFirst.push_back(first), comNext.push_back(next);
    if (RunChild("--first-direct", first, next)) directFirst.push_back(first), directNext.push_back(next);
  }
  if (comFirst.empty() || directFirst.empty()) {
    std::printf("creation: a child failed\n");
    return;
  }
  std::printf("creation over %d fresh processes each (median, min):\n", rounds);
  std::printf("  CoCreateInstance by ProgID, first  %8.2f ms  %8.2f ms\n", Percentile(comFirst, 50),
              *std::min_element(comFirst.begin(), comFirst.end()));
  std::printf("  NewForm<TQorvX> directly, first    %8.2f ms  %8.2f ms\n", Percentile(directFirst, 50),
              *std::min_element(directFirst.begin(), directFirst.end()));
  std::printf("  CoCreateInstance, second           %8.2f ms\n", Percentile(comNext, 50));
  std::printf("  NewForm<TQorvX>, second            %8.2f ms\n", Percentile(directNext, 50));
  std::printf("  first COM creation / first direct creation: %.2f\n",
              Percentile(comFirst, 50) / Percentile(directFirst, 50));
}

// ---- caller-ID latency through COM ------------------------------------------

std::string ReadInvoke(IDispatch* control, DISPID id) {
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
  std::string text = result.vt == VT_BSTR ? qorv::tools::Utf8Of(result.bstrVal) : std::string();
  VariantClear(&result);
  return text;
}

std::string ReadDirect(IQorvX* control) {
  BSTR value = nullptr;
  control->get_CallerID(&value);
  std::string text = qorv::tools::Utf8Of(value);
  SysFreeString(value);
  return text;
}

template <class Read>
double NanosecondsPerRead(int calls, Read read) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) read();
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls;
}

int LatencyFigures(int lines, int rounds) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  qorv::platform::WriteDeviceMapping(3, ptsname(master));
  CoInitialize(nullptr);
  IDispatch* control = CreateByProgID();
  if (!control) return 1;
  IQorvX* direct = nullptr;
  if (FAILED(control->QueryInterface(QorvProj1_TLB::IID_IQorvX, reinterpret_cast<void**>(&direct)))) return 1;
  {
    qorv::tools::TDispatchByName byName(control);
    byName.PutInteger("PortNumber", VT_I1, 3);
    byName.PutBool("OpenPort", true);
  }
  LPOLESTR name[] = {const_cast<LPOLESTR>(u"CallerID")};
  DISPID callerId = 0;
  control->GetIDsOfNames(IID_NULL, name, 1, 0, &callerId);

  std::vector<double> throughInvoke, throughMember;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> phase(0, 9999);
  for (int i = 0; i < lines; ++i) {
    ServeMessagesFor(std::chrono::microseconds(phase(random)));
    const std::string number = std::to_string(100000 + i);
    const std::string line = "\rL1:CallerID:" + number + "\n";
    if (write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 1;
    const auto written = Clock::now();
    const std::string expected = "L1" + number;
    const bool byInvoke = i % 2 == 0;
    MSG message;
    while ((byInvoke ? ReadInvoke(control, callerId) : ReadDirect(direct)) != expected &&
           GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    (byInvoke ? throughInvoke : throughMember).push_back(Milliseconds(Clock::now() - written));
  }
  std::vector<double> invokeCost, memberCost;
  for (int round = 0; round < rounds; ++round) {
    invokeCost.push_back(NanosecondsPerRead(20000, [&] { return ReadInvoke(control, callerId); }));
    memberCost.push_back(NanosecondsPerRead(20000, [&] { return ReadDirect(direct); }));
  }
  {
    qorv::tools::TDispatchByName byName(control);
    byName.PutBool("OpenPort", false);
  }
  direct->Release();
  control->Release();
  close(master);

  std::printf("caller-ID latency over %d lines (the control's 10 ms Timer1, random phase):\n", lines);
  std::printf("  CallerID through IDispatch::Invoke  median %6.2f ms  p99 %6.2f ms\n", Percentile(throughInvoke, 50),
              Percentile(throughInvoke, 99));
  std::printf("  CallerID through the IQorvX member  median %6.2f ms  p99 %6.2f ms\n", Percentile(throughMember, 50),
              Percentile(throughMember, 99));
  std::printf("one CallerID read (median of %d rounds of 20,000):\n", rounds);
  std::printf("  Invoke by dispid %8.0f ns, member %8.0f ns, ratio %.1f\n", Percentile(invokeCost, 50),
              Percentile(memberCost, 50), Percentile(invokeCost, 50) / Percentile(memberCost, 50));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QORV_GUI", "headless", 1);
  if (argc > 1 && std::strcmp(argv[1], "--first-com") == 0) return FirstComCreation();
  if (argc > 1 && std::strcmp(argv[1], "--first-direct") == 0) return FirstDirectCreation();

  const int lines = argc > 1 ? std::max(2, std::atoi(argv[1])) : 1000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  char rootTemplate[] = "/tmp/qorv-bench-XXXXXX";
  if (!mkdtemp(rootTemplate)) return 1;
  setenv("QORV_SYSTEM_ROOT", rootTemplate, 1);
  int status = 1;
  if (RegisterControl()) {
    status = LatencyFigures(lines, rounds);
    CreationFigures(rounds);
  } else {
    std::fprintf(stderr, "control_com_bench: the control could not be registered\n");
  }
  std::filesystem::remove_all(rootTemplate);
  return status;
}
