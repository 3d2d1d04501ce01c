// qorvdemo: the control's main job against the recorder simulator. In the
// system root named by QORV_SYSTEM_ROOT it starts recsim on a pty, creates
// the control, opens the port at 115200 baud, sends the recorder's commands,
// shows the caller number and text lines as the 10 ms timer picks them up,
// records a generated tone and writes it to C:\fileQorv1.wav.
//
//   qorvdemo [--port N] [--seconds S]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "Application.h"
#include "QorvImpl1.h"
#include "RecorderState.h"
#include "RecsimProcess.h"
#include "systemroot.h"
#include "winuser.h"

namespace {

using qorv::recorder::RecorderState;
using qorv::tools::TRecsimProcess;

constexpr auto kBound = std::chrono::seconds(10);

struct TDemoFailure {
  std::string What;
};

[[noreturn]] void Fail(const std::string& what) { throw TDemoFailure{what}; }

void Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) return;
  Fail(std::string(what) + " failed: " + qorv::recorder::LastQorvXError().Description);
}

// recsim lies beside this program in the build's bin folder.
std::string RecsimPath() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "recsim";
  self[n] = '\0';
  std::string path(self);
  return path.substr(0, path.rfind('/') + 1) + "recsim";
}

class TDemo {
 public:
  TDemo(int port, int seconds) : port_(port), seconds_(seconds), recsim_(RecsimPath(), port) {}

  void Run() {
    const auto slave = recsim_.ReadLine(kBound);
    if (!slave || slave->rfind("slave ", 0) != 0) Fail("recsim did not start");
    std::printf("recorder simulator on %s, mapped to COM%d\n", slave->c_str() + 6, port_);

    control_.reset(NewForm<TQorvX>(nullptr));
    Check(control_->put_PortNumber(static_cast<signed char>(port_)), "PortNumber");
    Check(control_->put_OpenPort(VARIANT_TRUE), "OpenPort");
    std::printf("control: COM%d open at %d baud\n", port_, control_->MP->Baud());

    SendCommands();
    ReadClock();
    ReceiveCaller();
    Record();

    Check(control_->put_OpenPort(VARIANT_FALSE), "OpenPort");
    control_.reset();
    recsim_.Send("quit");
    recsim_.CloseInput();
    if (recsim_.Wait(kBound).value_or(-1) != 0) Fail("recsim did not end cleanly");
    std::printf("done\n");
  }

 private:
  struct TFormDeleter {
    void operator()(TQorvX* form) const { delete form; }
  };

  // Puts one command and shows the frame the simulator decoded from it.
  void Command(const char* name, HRESULT (TQorvX::*put)(VARIANT_BOOL), VARIANT_BOOL value) {
    Check((control_.get()->*put)(value), name);
    const auto frame = recsim_.ReadLine(kBound);
    if (!frame) Fail(std::string("no frame for ") + name);
    std::printf("  %-13s -> %s\n", name, frame->c_str());
  }

  void PutText(HRESULT (TQorvX::*put)(BSTR), const std::string& text, const char* name) {
    std::u16string wide(text.begin(), text.end());
    BSTR value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    const HRESULT hr = (control_.get()->*put)(value);
    SysFreeString(value);
    Check(hr, name);
  }

  void SendCommands() {
    std::printf("commands (as the recorder decodes them):\n");
    Command("Connect", &TQorvX::put_Connect, VARIANT_TRUE);
    Command("SetProtocol1", &TQorvX::put_SetProtocol1, VARIANT_TRUE);
    Command("SetStarONOFF", &TQorvX::put_SetStarONOFF, VARIANT_TRUE);
    Command("SetStatus", &TQorvX::put_SetStatus, VARIANT_TRUE);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16], time[16];
    std::strftime(date, sizeof date, "%Y/%m/%d", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    PutText(&TQorvX::put_Date, date, "Date");
    PutText(&TQorvX::put_Time, time, "Time");
    Command("SetTime", &TQorvX::put_SetTime, VARIANT_TRUE);
  }

  void ReadClock() {
    RecorderState().Date.clear();
    Command("ReadTime", &TQorvX::put_ReadTime, VARIANT_TRUE);
    if (!Pump([] { return !RecorderState().Date.empty(); })) Fail("no clock reply");
    std::printf("clock reply: Date %s, Time %s\n", RecorderState().Date.c_str(), RecorderState().Time.c_str());
  }

  void ReceiveCaller() {
    recsim_.Send("line RING");
    if (!Pump([] { return RecorderState().QorEvent == "RING"; })) Fail("the text line did not arrive");
    recsim_.Send("callerid L1 09121234567");
    if (!Pump([] { return RecorderState().CallerID == "L109121234567"; })) Fail("the caller number did not arrive");
  }

  void Record() {
    const int samples = seconds_ * 8000;
    std::printf("recording a %d s tone of 1000 Hz at line rate...\n", seconds_);
    Command("StartRecord", &TQorvX::put_StartRecord, VARIANT_TRUE);
    recsim_.Send("tone 1000 " + std::to_string(seconds_ * 1000));
    recsim_.Send("line END");
    if (!Pump([] { return RecorderState().QorEvent == "END"; }, std::chrono::seconds(seconds_ * 2 + 10)))
      Fail("the tone did not arrive");
    Command("StopRecord", &TQorvX::put_StopRecord, VARIANT_TRUE);
    CheckWave(RecorderState().SavePath, samples);
  }

  void CheckWave(const std::string& windowsPath, int samples) {
    const auto path = qorv::platform::WindowsToLinuxPath(windowsPath);
    if (!path) Fail("no Linux path for " + windowsPath);
    std::ifstream in(*path, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto le = [&](std::size_t at, int bytes) {
      std::uint32_t v = 0;
      for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(file[at + i]);
      return v;
    };
    const bool header = file.size() >= 44 && file.compare(0, 4, "RIFF") == 0 && file.compare(8, 8, "WAVEfmt ") == 0 &&
                        le(20, 2) == 1 && le(22, 2) == 1 && le(24, 4) == 8000 && le(34, 2) == 8 &&
                        file.compare(36, 4, "data") == 0 && le(40, 4) == file.size() - 44 &&
                        le(4, 4) == file.size() - 8;
    std::printf("%s -> %s\n  %zu bytes, header %s: PCM mono 8 bit 8000 Hz, %zu samples (%.1f s)\n", windowsPath.c_str(),
                path->c_str(), file.size(), header ? "ok" : "BAD", file.size() >= 44 ? file.size() - 44 : 0,
                file.size() >= 44 ? (file.size() - 44) / 8000.0 : 0.0);
    if (!header) Fail("the WAV header is wrong");
    if (file.size() != 44u + static_cast<std::size_t>(samples)) Fail("the recording has the wrong length");
  }

  // Handles messages (the control's timer among them) until the condition
  // holds, showing each new caller number and text line as it arrives.
  bool Pump(const std::function<bool()>& condition, std::chrono::seconds bound = kBound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
      Report();
      if (condition()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      Application->ProcessMessages();
    }
  }
  void Report() {
    const auto& state = RecorderState();
    if (state.CallerID != caller_) {
      caller_ = state.CallerID;
      std::printf("caller: %s\n", caller_.c_str());
    }
    if (state.QorEvent != event_) {
      event_ = state.QorEvent;
      std::printf("text line: %s\n", event_.c_str());
    }
  }

  int port_;
  int seconds_;
  TRecsimProcess recsim_;
  std::unique_ptr<TQorvX, TFormDeleter> control_;
  std::string caller_;
  std::string event_;
};

}  // namespace

int main(int argc, char** argv) {
  int port = 7;
  int seconds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--port") port = std::atoi(argv[i + 1]);
    if (arg == "--seconds") seconds = std::atoi(argv[i + 1]);
  }
  if (port < 1 || port > 127 || seconds < 1 || seconds > 60) {
    std::fprintf(stderr, "usage: qorvdemo [--port 1..127] [--seconds 1..60]\n");
    return 2;
  }
  if (!std::getenv("QORV_SYSTEM_ROOT")) {
    std::fprintf(stderr, "qorvdemo: set QORV_SYSTEM_ROOT to a temporary folder first\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("system root: %s\n", qorv::platform::SystemRootPath().c_str());
  try {
    TDemo demo(port, seconds);
    demo.Run();
  } catch (const TDemoFailure& failure) {
    std::fprintf(stderr, "qorvdemo: %s\n", failure.What.c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qorvdemo: %s\n", e.what());
    return 1;
  }
  return 0;
}
