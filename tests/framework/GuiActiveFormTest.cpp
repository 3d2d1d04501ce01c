// The active-form base: parked under a hidden window of its thread until a
// host sites it, sized to its controls, with timers and failures handled on
// the creating thread's loop.
#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <string>
#include <vector>

#include "ActiveForm.h"
#include "Application.h"
#include "Button.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "TestSupport.h"
#include "Timer.h"

namespace {

class TRecorderLikeForm : public TActiveForm {
 public:
  explicit TRecorderLikeForm(TComponent* owner) : TActiveForm(owner) {
    RegisterField("Timer1", Timer1);
    RegisterHandler("Timer1Timer", &TRecorderLikeForm::Timer1Timer);
    RegisterHandler("ActiveFormCreate", &TRecorderLikeForm::ActiveFormCreate);
  }
  void Timer1Timer(TObject*) { ++Ticks; }
  void ActiveFormCreate(TObject*) { ++Creates; }
  TTimer* Timer1 = nullptr;
  int Ticks = 0;
  int Creates = 0;
};

const char* kDescription = R"(object QorvX: TQorvX
  Left = -4
  Top = -4
  Width = 123
  Height = 95
  AutoSize = True
  Caption = 'QorvX'
  Color = clBtnFace
  OnCreate = ActiveFormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object Label1: TLabel
    Left = 0
    Top = 44
    Width = 58
    Height = 17
    AutoSize = False
    Caption = 'QorvX'
  end
  object Image1: TImage
    Left = 0
    Top = 0
    Width = 58
    Height = 44
    Stretch = True
  end
  object Timer1: TTimer
    Interval = 10
    OnTimer = Timer1Timer
    Left = 24
    Top = 8
  end
end
)";

using GuiActiveForm = HeadlessGuiTest;

TEST_F(GuiActiveForm, LoadsSizesToControlsAndTicksOnItsThread) {
  TRecorderLikeForm form(nullptr);
  form.LoadFromDescription(kDescription);
  form.InitForm();
  EXPECT_EQ(form.Creates, 1);
  EXPECT_EQ(form.Width(), 58) << "AutoSize: the controls' extent";
  EXPECT_EQ(form.Height(), 61);
  EXPECT_EQ(GetParent(form.Handle()), form.ParkingWindow()) << "parked until a host sites it";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (form.Ticks < 3 && std::chrono::steady_clock::now() < deadline) Application->HandleMessage();
  EXPECT_GE(form.Ticks, 3);
}

TEST_F(GuiActiveForm, SitingMovesTheWindowUnderTheHost) {
  TRecorderLikeForm form(nullptr);
  form.InitForm();
  HWND host = CreateWindowExA(0, "QorvTestHost", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (!host) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "QorvTestHost";
    RegisterClassA(&wc);
    host = CreateWindowExA(0, "QorvTestHost", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }
  ASSERT_NE(host, nullptr);
  form.Handle();
  form.SiteIn(host);
  EXPECT_EQ(GetParent(form.Handle()), host);
  form.SiteIn(nullptr);
  EXPECT_EQ(GetParent(form.Handle()), form.ParkingWindow());
  DestroyWindow(host);
}

using GuiApplication = GuiActiveForm;

TEST_F(GuiApplication, FailureInAClickHandlerGoesToTheErrorBoxAndTheLoopGoesOn) {
  TForm form(nullptr);
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(0, 0, 50, 20);
  button->OnClick = [](TObject*) { throw Exception("Cannot open the port"); };
  std::string shown;
  SetModalResponder([&](TCustomForm& box) {
    shown = box.Caption();
    PostKey(box, VK_RETURN);
  });
  Application->Title = "Installer";
  form.Show();
  PostClick(form, 10, 10);
  Application->ProcessMessages();
  SetModalResponder(nullptr);
  EXPECT_EQ(shown, "Installer");
  EXPECT_TRUE(form.Visible());
}

// Memory that runs out inside a click or a timer handler reaches the
// exception display as EOutOfMemory, not as a bare standard exception.
TEST_F(GuiApplication, MemoryExhaustedInAHandlerArrivesAsEOutOfMemory) {
  TForm form(nullptr);
  auto* button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(0, 0, 50, 20);
  button->OnClick = [](TObject*) { throw std::bad_alloc(); };
  TTimer timer(nullptr);
  timer.SetInterval(10);
  timer.OnTimer = [&timer](TObject*) {
    timer.SetEnabled(false);
    std::vector<int>().reserve(std::vector<int>().max_size() + 1);
  };
  std::vector<std::string> seen;
  Application->OnException = [&](TObject*, const std::exception& e) {
    seen.push_back(std::string(dynamic_cast<const EOutOfMemory*>(&e) ? "EOutOfMemory: " : "") + e.what());
  };
  form.Show();
  PostClick(form, 10, 10);
  bool both = qorv::test::WaitUntil([&] {
    Application->ProcessMessages();
    return seen.size() >= 2;
  });
  Application->OnException = nullptr;
  EXPECT_TRUE(both);
  EXPECT_EQ(seen, (std::vector<std::string>(2, "EOutOfMemory: Out of memory")));
}

TEST_F(GuiApplication, RunEndsWhenTheMainFormCloses) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  ASSERT_EQ(Application->MainForm(), main);
  int shows = 0;
  main->OnShow = [&](TObject*) {
    ++shows;
    PostClose(*main);
  };
  Application->Run();
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(Application->Terminated());
  delete main;
}

}  // namespace
