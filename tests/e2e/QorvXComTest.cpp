// The control as a host meets it, through COM only: QorvProj1.ocx copied into
// a folder with a blank and registered with regsvr32, created from its
// ProgID, driven by name through IDispatch against the recorder simulator,
// its stock properties and font object, and let go until the library may be
// unloaded. This program links no control code.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "DispatchByName.h"
#include "EventSink.h"
#include "TestSupport.h"
#include "fileapi.h"
#include "objbase.h"
#include "olectl.h"
#include "oleidl.h"
#include "shellapi.h"
#include "synch.h"
#include "systemroot.h"
#include "winuser.h"

// After the platform headers: <fcntl.h> defines LOCK_WRITE as a macro, which
// would break the structured storage constant of the same name.
#include "RecsimProcess.h"

namespace {

using qorv::tools::EDispatchError;
using qorv::tools::TDispatchByName;
using qorv::tools::TRecsimProcess;

constexpr auto kBound = std::chrono::seconds(20);
constexpr const char* kInstalledLibrary = "C:\\Program Files\\Qorv Recorder\\QorvProj1.ocx";
// {B6DDE8BA-8348-4938-B6FD-7BB3853EF839}
constexpr IID DIID_IQorvXEvents{0xB6DDE8BA, 0x8348, 0x4938, {0xB6, 0xFD, 0x7B, 0xB3, 0x85, 0x3E, 0xF8, 0x39}};

// Runs a command line through the shell's program start and answers its
// exit status.
DWORD RunAndWait(const char* program, const std::string& parameters) {
  SHELLEXECUTEINFOA run{};
  run.cbSize = sizeof run;
  run.fMask = SEE_MASK_NOCLOSEPROCESS;
  run.lpFile = program;
  run.lpParameters = parameters.c_str();
  run.nShow = SW_HIDE;
  if (!ShellExecuteExA(&run)) return 0xFFFFFFFFu;
  EXPECT_EQ(WaitForSingleObject(run.hProcess, 60000), WAIT_OBJECT_0);
  DWORD status = 0xFFFFFFFFu;
  GetExitCodeProcess(run.hProcess, &status);
  CloseHandle(run.hProcess);
  return status;
}

// Handles the thread's messages (the control's 10 ms timer among them)
// until the condition holds or the bound passes.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::seconds bound = kBound) {
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

VARIANT Bool(VARIANT_BOOL value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value;
  return v;
}

// A fresh system root (TestMain's) with the library installed and
// registered, and COM ready on this thread.
class QorvXCom : public testing::Test {
 protected:
  void SetUp() override {
    setenv("QORV_GUI", "headless", 1);
    const auto folder = qorv::platform::WindowsToLinuxPath("C:\\Program Files\\Qorv Recorder");
    ASSERT_TRUE(folder);
    std::filesystem::create_directories(*folder);
    std::filesystem::copy_file(QORV_CONTROL_LIBRARY, *folder / "QorvProj1.ocx");
    ASSERT_EQ(RunAndWait("regsvr32", std::string("/s \"") + kInstalledLibrary + "\""), 0u);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    control.reset();
    CoFreeUnusedLibraries();
    CoUninitialize();
  }

  void Create() {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"QorvProj1.QorvX", &clsid), S_OK);
    IDispatch* object = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object)),
              S_OK);
    control = std::make_unique<TDispatchByName>(object);
    object->Release();
  }

  // The library's own answer, as CoFreeUnusedLibraries asks it.
  static HRESULT LibraryCanUnload() {
    HMODULE library = LoadLibraryA(kInstalledLibrary);
    if (!library) return E_FAIL;
    auto canUnload = reinterpret_cast<HRESULT (*)()>(GetProcAddress(library, "DllCanUnloadNow"));
    const HRESULT answer = canUnload ? canUnload() : E_FAIL;
    FreeLibrary(library);
    return answer;
  }

  std::unique_ptr<TDispatchByName> control;
};

// The main job by name: the port opened at the simulator, a command framed
// on the wire, a text line and a caller number readable through Invoke; at
// the end the library answers that it may go.
TEST_F(QorvXCom, DrivesTheRecorderSimulatorByName) {
  qorv::tools::TRecsimProcess recsim(QORV_RECSIM_PATH, 7);
  const auto slave = recsim.ReadLine(kBound);
  ASSERT_TRUE(slave && slave->rfind("slave ", 0) == 0) << "recsim did not start";
  Create();
  ASSERT_NE(control, nullptr);

  control->PutInteger("PortNumber", VT_I1, 7);
  control->PutBool("OpenPort", true);
  EXPECT_TRUE(control->GetBool("OpenPort"));
  control->PutBool("Connect", true);
  const auto frame = recsim.ReadLine(kBound);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->rfind("FC 52 31 4F 46 FD", 0), 0u) << *frame;

  recsim.Send("line RING");
  EXPECT_TRUE(PumpUntil([&] { return control->GetText("QorEvent") == "RING"; }));
  recsim.Send("callerid L1 09121234567");
  EXPECT_TRUE(PumpUntil([&] { return control->GetText("CallerID") == "L109121234567"; }))
      << "caller number read through Invoke: " << control->GetText("CallerID");

  control->PutBool("OpenPort", false);
  control.reset();
  EXPECT_EQ(LibraryCanUnload(), S_OK) << "nothing of the control is left alive";
  recsim.Send("quit");
  recsim.CloseInput();
  EXPECT_EQ(recsim.Wait(kBound).value_or(-1), 0);
}

// A device member failing inside reaches a script as DISP_E_EXCEPTION with
// the message and the control's source.
TEST_F(QorvXCom, MemberFailureReachesTheScriptWithItsMessage) {
  Create();
  DISPID named = DISPID_PROPERTYPUT;
  VARIANT yes = Bool(VARIANT_TRUE);
  DISPPARAMS params{&yes, &named, 1, 1};
  EXCEPINFO error{};
  const HRESULT hr = control->Object()->Invoke(control->Id("Connect"), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params,
                                               nullptr, &error, nullptr);
  EXPECT_EQ(hr, DISP_E_EXCEPTION) << "the port is closed";
  if (error.pfnDeferredFillIn) error.pfnDeferredFillIn(&error);
  EXPECT_EQ(error.scode, E_UNEXPECTED);
  EXPECT_EQ(qorv::tools::Utf8Of(error.bstrSource), "QorvProj1.QorvX");
  EXPECT_FALSE(qorv::tools::Utf8Of(error.bstrDescription).empty());
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrHelpFile);
}

// Stock properties by name keep their conversions across the standard
// invocation: any non-zero boolean is true and reads -1, an empty caption
// reads as an empty string, a system colour keeps its bits, an enum out of
// range is refused.
TEST_F(QorvXCom, StockPropertiesByName) {
  Create();
  control->Put("Visible", Bool(2));
  VARIANT visible = control->Get("Visible");
  EXPECT_EQ(visible.vt, VT_BOOL);
  EXPECT_EQ(visible.boolVal, VARIANT_TRUE);
  control->Put("Visible", Bool(VARIANT_FALSE));
  EXPECT_FALSE(control->GetBool("Visible"));

  control->PutText("Caption", "");
  VARIANT caption = control->Get("Caption");
  EXPECT_EQ(caption.vt, VT_BSTR);
  EXPECT_EQ(SysStringLen(caption.bstrVal), 0u);
  VariantClear(&caption);
  control->PutText("Caption", "Recorder");
  EXPECT_EQ(control->GetText("Caption"), "Recorder");

  VARIANT colour;
  VariantInit(&colour);
  colour.vt = VT_UI4;
  colour.ulVal = 0x8000000Fu;
  control->Put("Color", colour);
  VARIANT got = control->Get("Color");
  EXPECT_EQ(got.ulVal, 0x8000000Fu) << "clBtnFace stays a system colour";

  VARIANT style;
  VariantInit(&style);
  style.vt = VT_I4;
  style.lVal = 9;
  try {
    control->Put("AxBorderStyle", style);
    ADD_FAILURE() << "an AxBorderStyle of 9 was taken";
  } catch (const EDispatchError& e) {
    EXPECT_EQ(e.Result(), E_INVALIDARG) << e.what();
  }
  style.lVal = 2;
  control->Put("AxBorderStyle", style);
  EXPECT_EQ(control->GetInteger("AxBorderStyle"), 2);
}

// The font object a script gets drives the control's font; one the script
// gives by reference is followed from then on.
TEST_F(QorvXCom, FontObjectBothWays) {
  Create();
  VARIANT font = control->Get("Font");
  ASSERT_EQ(font.vt, VT_DISPATCH);
  {
    TDispatchByName face(font.pdispVal);
    EXPECT_EQ(face.GetText("Name"), "MS Sans Serif");
    face.PutText("Name", "Tahoma");
  }
  VariantClear(&font);
  font = control->Get("Font");
  ASSERT_EQ(font.vt, VT_DISPATCH);
  EXPECT_EQ(TDispatchByName(font.pdispVal).GetText("Name"), "Tahoma") << "the change reached the control's font";
  VariantClear(&font);

  FONTDESC description{};
  description.cbSizeofstruct = sizeof description;
  description.lpstrName = const_cast<LPOLESTR>(u"Arial");
  description.cySize.int64 = 120000;
  description.sWeight = FW_BOLD;
  IFontDisp* host = nullptr;
  ASSERT_EQ(OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(&host)), S_OK);
  VARIANT byReference;
  VariantInit(&byReference);
  byReference.vt = VT_DISPATCH;
  byReference.pdispVal = host;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&byReference, &named, 1, 1};
  EXPECT_EQ(control->Object()->Invoke(control->Id("Font"), IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params, nullptr,
                                      nullptr, nullptr),
            S_OK);
  TDispatchByName hostFace(host);
  hostFace.PutText("Name", "Verdana");
  font = control->Get("Font");
  ASSERT_EQ(font.vt, VT_DISPATCH);
  EXPECT_EQ(TDispatchByName(font.pdispVal).GetText("Name"), "Verdana") << "the control follows the host's font";
  VariantClear(&font);
  host->Release();
}

// The about box by name: without a display it answers itself, and the call
// returns success.
TEST_F(QorvXCom, AboutBoxByName) {
  Create();
  EXPECT_NO_THROW(control->Call("AboutBox"));
}

// An event sink connected by a host hears OnCreate at the first connection
// only, and the control lets go of it when disconnected.
TEST_F(QorvXCom, EventSinkHearsOnCreateOnce) {
  Create();
  int creates = 0;
  qorv::tools::TEventSink sink(DIID_IQorvXEvents, [&](DISPID id, DISPPARAMS&) { creates += id == 3; });
  const DWORD first = qorv::tools::ConnectEvents(control->Object(), DIID_IQorvXEvents, &sink);
  EXPECT_EQ(creates, 1);
  qorv::tools::DisconnectEvents(control->Object(), DIID_IQorvXEvents, first);
  EXPECT_EQ(sink.HeldByOthers(), 0u);
  const DWORD second = qorv::tools::ConnectEvents(control->Object(), DIID_IQorvXEvents, &sink);
  EXPECT_EQ(creates, 1) << "OnCreate goes to the first connection only";
  qorv::tools::DisconnectEvents(control->Object(), DIID_IQorvXEvents, second);
}

}  // namespace
