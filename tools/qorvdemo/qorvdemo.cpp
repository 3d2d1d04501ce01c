// qorvdemo: the control's main job as a COM host does it. In the system root
// named by QORV_SYSTEM_ROOT it copies QorvProj1.ocx into a folder with a
// blank in its name and registers it with `regsvr32 /s`, starts recsim on a
// pty, creates the control from its ProgID, sites it in a window of its own
// (a real X11 window when DISPLAY is set), connects an event sink, and then
// does everything through IDispatch calls by name, as a script would: opens
// the port at 115200 baud, sends the recorder's commands, shows the caller
// number and text lines as the control picks them up, records a generated
// tone to C:\fileQorv1.wav and shows the about box. It ends by releasing the
// control and asking the library whether it may be unloaded.
//
//   qorvdemo [--port N] [--seconds S] [--unattended]
//
// --unattended closes the about box by itself on a display too (without a
// display it is always answered by its default button).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "Application.h"
#include "DispatchByName.h"
#include "EventSink.h"
#include "Forms.h"
#include "HostSite.h"
#include "RecsimProcess.h"
#include "objbase.h"
#include "oleidl.h"
#include "processthreadsapi.h"
#include "shellapi.h"
#include "synch.h"
#include "systemroot.h"
#include "winreg.h"
#include "winuser.h"

namespace {

using qorv::tools::TDispatchByName;
using qorv::tools::TEventSink;
using qorv::tools::THostSite;
using qorv::tools::TRecsimProcess;

constexpr auto kBound = std::chrono::seconds(10);
constexpr const char* kInstallFolder = "C:\\Program Files\\Qorv Recorder";
constexpr const char* kInstalledLibrary = "C:\\Program Files\\Qorv Recorder\\QorvProj1.ocx";
constexpr const char* kClassKey = "CLSID\\{FDFC660E-0953-4E1A-A45A-7F37F5E8CD20}\\InprocServer32";
// {B6DDE8BA-8348-4938-B6FD-7BB3853EF839}
constexpr IID DIID_IQorvXEvents{0xB6DDE8BA, 0x8348, 0x4938, {0xB6, 0xFD, 0x7B, 0xB3, 0x85, 0x3E, 0xF8, 0x39}};

struct TDemoFailure {
  std::string What;
};

[[noreturn]] void Fail(const std::string& what) { throw TDemoFailure{what}; }

void Check(HRESULT hr, const std::string& what) {
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    Fail(what + " failed with " + code);
  }
}

std::string BesideThisProgram(const std::string& name) {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return name;
  self[n] = '\0';
  const std::string path(self);
  return path.substr(0, path.rfind('/') + 1) + name;
}

const char* EventName(DISPID id) {
  switch (id) {
    case 1: return "OnActivate";
    case 2: return "OnClick";
    case 3: return "OnCreate";
    case 5: return "OnDblClick";
    case 6: return "OnDestroy";
    case 7: return "OnDeactivate";
    case 11: return "OnKeyPress";
    case 16: return "OnPaint";
    default: return "unknown event";
  }
}

// Handles the thread's messages (the control's timer among them) until the
// condition holds or the bound passes.
bool Pump(const std::function<bool()>& condition, std::chrono::seconds bound = kBound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

// The host's own window, which the about box closer leaves alone.
HWND hostWindow = nullptr;

// Closes the about box once it shows: the host's timer runs inside the
// dialog's modal loop, which handles the thread's messages. The box is the
// one visible top-level window that is not the host's.
void CALLBACK CloseAboutBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumWindows(
      [](HWND window, LPARAM) -> BOOL {
        if (window != hostWindow && IsWindowVisible(window)) PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
      },
      0);
}

class TDemo {
 public:
  TDemo(int port, int seconds, bool unattended)
      : port_(port), seconds_(seconds), unattended_(unattended), recsim_(BesideThisProgram("recsim"), port) {}

  void Run() {
    const auto slave = recsim_.ReadLine(kBound);
    if (!slave || slave->rfind("slave ", 0) != 0) Fail("recsim did not start");
    std::printf("recorder simulator on %s, mapped to COM%d\n", slave->c_str() + 6, port_);

    RegisterLibrary();
    Check(CoInitialize(nullptr), "CoInitialize");
    CreateControl();
    SiteControl();
    ConnectEvents();

    control_->PutInteger("PortNumber", VT_I1, port_);
    control_->PutBool("OpenPort", true);
    std::printf("control: COM%d open (OpenPort reads %s)\n", port_, control_->GetBool("OpenPort") ? "true" : "false");
    SendCommands();
    ReadClock();
    ReceiveCaller();
    Record();
    control_->PutBool("OpenPort", false);

    ShowAboutBox();
    ReleaseControl();
    CoUninitialize();
    recsim_.Send("quit");
    recsim_.CloseInput();
    if (recsim_.Wait(kBound).value_or(-1) != 0) Fail("recsim did not end cleanly");
    std::printf("done\n");
  }

 private:
  // Puts the library where an installer would, in a folder with a blank, and
  // registers it as the installer does.
  void RegisterLibrary() {
    const auto folder = qorv::platform::WindowsToLinuxPath(kInstallFolder);
    if (!folder) Fail("no Linux path for the install folder");
    std::filesystem::create_directories(*folder);
    std::filesystem::copy_file(BesideThisProgram("QorvProj1.ocx"), *folder / "QorvProj1.ocx",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string parameters = std::string("/s \"") + kInstalledLibrary + "\"";
    SHELLEXECUTEINFOA run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpFile = "regsvr32";
    run.lpParameters = parameters.c_str();
    run.nShow = SW_HIDE;
    if (!ShellExecuteExA(&run)) Fail("regsvr32 could not start");
    const DWORD waited = WaitForSingleObject(run.hProcess, 60000);
    DWORD status = 1;
    GetExitCodeProcess(run.hProcess, &status);
    CloseHandle(run.hProcess);
    if (waited != WAIT_OBJECT_0 || status != 0) Fail("regsvr32 /s failed with status " + std::to_string(status));
    char server[MAX_PATH] = "";
    LONG size = sizeof server;
    RegQueryValueA(HKEY_CLASSES_ROOT, kClassKey, server, &size);
    std::printf("registered %s\n  InprocServer32 = %s\n", kInstalledLibrary, server);
  }

  void CreateControl() {
    CLSID clsid{};
    Check(CLSIDFromProgID(u"QorvProj1.QorvX", &clsid), "CLSIDFromProgID(QorvProj1.QorvX)");
    IDispatch* object = nullptr;
    Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
          "CoCreateInstance");
    control_ = std::make_unique<TDispatchByName>(object);
    object->Release();
    std::printf("control created from ProgID QorvProj1.QorvX\n");
  }

  // A window of the host's own with the control in place inside it.
  void SiteControl() {
    host_.reset(new TForm(nullptr));
    host_->SetCaption("QorvX host");
    host_->SetBounds(100, 100, 260, 140);
    host_->Show();
    site_ = std::make_unique<THostSite>(host_->Handle(), RECT{8, 8, 131, 103});
    Check(control_->Object()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole_)), "IOleObject");
    Check(ole_->SetClientSite(site_.get()), "SetClientSite");
    RECT place{8, 8, 131, 103};
    Check(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host_->Handle(), &place), "DoVerb");
    std::printf("control sited in the host's %s window, in place: %s\n", Application->Headless() ? "headless" : "X11",
                site_->InPlaceActive() ? "yes" : "no");
  }

  void ConnectEvents() {
    sink_ = std::make_unique<TEventSink>(DIID_IQorvXEvents, [](DISPID id, DISPPARAMS&) {
      if (id != 16) std::printf("event: %s\n", EventName(id));  // paints are many
    });
    cookie_ = qorv::tools::ConnectEvents(control_->Object(), DIID_IQorvXEvents, sink_.get());
  }

  // Puts one command and shows the frame the simulator decoded from it.
  void Command(const char* name) {
    control_->PutBool(name, true);
    const auto frame = recsim_.ReadLine(kBound);
    if (!frame) Fail(std::string("no frame for ") + name);
    std::printf("  %-13s -> %s\n", name, frame->c_str());
  }

  void SendCommands() {
    std::printf("commands (as the recorder decodes them):\n");
    Command("Connect");
    Command("SetProtocol1");
    Command("SetStarONOFF");
    Command("SetStatus");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16], time[16];
    std::strftime(date, sizeof date, "%Y/%m/%d", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    control_->PutText("Date", date);
    control_->PutText("Time", time);
    Command("SetTime");
  }

  void ReadClock() {
    control_->PutText("Date", "");
    Command("ReadTime");
    if (!Pump([&] { return !control_->GetText("Date").empty(); })) Fail("no clock reply");
    std::printf("clock reply: Date %s, Time %s\n", control_->GetText("Date").c_str(),
                control_->GetText("Time").c_str());
  }

  void ReceiveCaller() {
    recsim_.Send("line RING");
    if (!Pump([&] { return Report(), control_->GetText("QorEvent") == "RING"; })) Fail("the text line did not arrive");
    recsim_.Send("callerid L1 09121234567");
    if (!Pump([&] { return Report(), control_->GetText("CallerID") == "L109121234567"; })) {
      Fail("the caller number did not arrive");
    }
  }

  void Record() {
    const int samples = seconds_ * 8000;
    std::printf("recording a %d s tone of 1000 Hz at line rate...\n", seconds_);
    Command("StartRecord");
    recsim_.Send("tone 1000 " + std::to_string(seconds_ * 1000));
    recsim_.Send("line END");
    if (!Pump([&] { return Report(), control_->GetText("QorEvent") == "END"; },
              std::chrono::seconds(seconds_ * 2 + 10))) {
      Fail("the tone did not arrive");
    }
    Command("StopRecord");
    CheckWave(control_->GetText("SavePath"), samples);
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

  // Shows each new caller number and text line as the control reports it.
  void Report() {
    const std::string caller = control_->GetText("CallerID");
    if (caller != caller_) std::printf("caller: %s\n", (caller_ = caller).c_str());
    const std::string line = control_->GetText("QorEvent");
    if (line != event_) std::printf("text line: %s\n", (event_ = line).c_str());
  }

  void ShowAboutBox() {
    const bool closeItMyself = unattended_ && !Application->Headless();
    if (!Application->Headless() && !unattended_) std::printf("close the about box to finish\n");
    hostWindow = host_->Handle();
    const UINT_PTR timer = closeItMyself ? SetTimer(nullptr, 0, 500, CloseAboutBox) : 0;
    control_->Call("AboutBox");
    if (timer) KillTimer(nullptr, timer);
    std::printf("about box closed\n");
  }

  // Lets go of everything the host holds, then asks the library, as the COM
  // runtime would before unloading it.
  void ReleaseControl() {
    qorv::tools::DisconnectEvents(control_->Object(), DIID_IQorvXEvents, cookie_);
    Check(ole_->Close(OLECLOSE_NOSAVE), "Close");
    ole_->SetClientSite(nullptr);
    ole_->Release();
    ole_ = nullptr;
    control_.reset();
    if (sink_->HeldByOthers() != 0 || site_->HeldByOthers() != 0) Fail("the control still holds the host's objects");
    HMODULE library = LoadLibraryA(kInstalledLibrary);
    if (!library) Fail("the library cannot be loaded again");
    auto canUnload = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllCanUnloadNow"));
    const HRESULT answer = canUnload ? canUnload() : E_FAIL;
    FreeLibrary(library);
    std::printf("control released; DllCanUnloadNow answers %s\n", answer == S_OK ? "S_OK" : "S_FALSE");
    if (answer != S_OK) Fail("the library is still in use");
    CoFreeUnusedLibraries();
    host_.reset();
  }

  int port_;
  int seconds_;
  bool unattended_;
  TRecsimProcess recsim_;
  std::unique_ptr<TForm> host_;
  std::unique_ptr<THostSite> site_;
  std::unique_ptr<TEventSink> sink_;
  std::unique_ptr<TDispatchByName> control_;
  IOleObject* ole_ = nullptr;
  DWORD cookie_ = 0;
  std::string caller_;
  std::string event_;
};

}  // namespace

int main(int argc, char** argv) {
  int port = 7;
  int seconds = 3;
  bool unattended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--unattended") unattended = true;
    if (arg == "--port" && i + 1 < argc) port = std::atoi(argv[++i]);
    if (arg == "--seconds" && i + 1 < argc) seconds = std::atoi(argv[++i]);
  }
  if (port < 1 || port > 127 || seconds < 1 || seconds > 60) {
    std::fprintf(stderr, "usage: qorvdemo [--port 1..127] [--seconds 1..60] [--unattended]\n");
    return 2;
  }
  if (!std::getenv("QORV_SYSTEM_ROOT")) {
    std::fprintf(stderr, "qorvdemo: set QORV_SYSTEM_ROOT to a temporary folder first\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("system root: %s\n", qorv::platform::SystemRootPath().c_str());
  try {
    Application->Initialize();
    TDemo demo(port, seconds, unattended);
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
