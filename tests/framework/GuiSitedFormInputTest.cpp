// The mouse over a form sited in a host's window belongs to the sited form:
// the host's window receives it and passes it on in the sited form's own
// coordinates, keeps a press and its release with the same window, and lets
// the pointer leave the sited form's controls. A press gives the pressed
// window the focus, and the keys the host's window receives then go to it.
#include <gtest/gtest.h>
#include <algorithm>

#include <string>
#include <vector>

#include "ActiveForm.h"
#include "Application.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "OleTestHost.h"
#include "SitedFormSupport.h"

namespace {

namespace sited = qorv::test::sited;

// A white 200 x 120 host with a label of its own at (100, 10), and a 60 x 40
// form sited at (30, 40) whose blue corner label covers its top left 20 x 10.
// What reaches either side is logged in order.
class GuiSitedFormInput : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    sited::PrepareWhiteHost(host);
    hostLabel = new TLabel(&host);
    hostLabel->SetParent(&host);
    hostLabel->SetAutoSize(false);
    hostLabel->SetBounds(100, 10, 40, 20);
    host.Show();
    sited::PlaceIn(child, host.Handle(), 30, 40);
    corner = dynamic_cast<TLabel*>(child.Controls(0));
    ASSERT_NE(corner, nullptr);
    Log(host, "host");
    Log(child, "child");
    Log(*corner, "corner");
    Log(*hostLabel, "host label");
  }

  void Log(TControl& control, const std::string& name) {
    control.OnClick = [this, name](TObject*) { log.push_back(name + " click"); };
    control.OnDblClick = [this, name](TObject*) { log.push_back(name + " double click"); };
    control.OnMouseDown = [this, name](TObject*, TMouseButton, TShiftState, int x, int y) {
      log.push_back(name + " down " + std::to_string(x) + "," + std::to_string(y));
    };
    control.OnMouseUp = [this, name](TObject*, TMouseButton, TShiftState, int x, int y) {
      log.push_back(name + " up " + std::to_string(x) + "," + std::to_string(y));
    };
    control.OnMouseEnter = [this, name](TObject*) { log.push_back(name + " enter"); };
    control.OnMouseLeave = [this, name](TObject*) { log.push_back(name + " leave"); };
  }

  void LogKeys(TCustomForm& form, const std::string& name) {
    form.KeyPreview = true;
    form.OnKeyDown = [this, name](TObject*, unsigned short& key, TShiftState) {
      log.push_back(name + " key down " + std::to_string(key));
    };
    form.OnKeyPress = [this, name](TObject*, char& key) { log.push_back(name + " key " + std::string(1, key)); };
  }

  // What the posted input did, the log emptied for the next step.
  std::vector<std::string> Taken() {
    Application->ProcessMessages();
    return std::exchange(log, {});
  }

  TForm host{nullptr};
  sited::TCornerForm child{nullptr};
  TLabel* hostLabel = nullptr;
  TLabel* corner = nullptr;
  std::vector<std::string> log;
};

using Events = std::vector<std::string>;

// Counts the times its window loses the focus.
class TFocusCountingForm : public sited::TCornerForm {
 public:
  using TCornerForm::TCornerForm;
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_KILLFOCUS) ++focusLosses;
    return TCornerForm::WndProc(message, wParam, lParam);
  }
  int focusLosses = 0;
};

TEST_F(GuiSitedFormInput, AClickOverTheSitedFormIsItsOwnAndOutsideItTheHosts) {
  PostMouseButton(host, WM_LBUTTONDOWN, 70, 65);
  PostMouseButton(host, WM_LBUTTONUP, 70, 65);
  EXPECT_EQ(Taken(), (Events{"child down 40,25", "child click", "child up 40,25"}));

  PostMouseButton(host, WM_LBUTTONDOWN, 35, 45);
  PostMouseButton(host, WM_LBUTTONUP, 35, 45);
  EXPECT_EQ(Taken(), (Events{"corner down 5,5", "corner click", "corner up 5,5"})) << "a control of the sited form";

  PostMouseButton(host, WM_LBUTTONDBLCLK, 89, 79);
  PostMouseButton(host, WM_LBUTTONUP, 89, 79);
  EXPECT_EQ(Taken(), (Events{"child down 59,39", "child double click", "child click", "child up 59,39"}))
      << "its last pixel";

  PostMouseButton(host, WM_LBUTTONDOWN, 90, 80);
  PostMouseButton(host, WM_LBUTTONUP, 90, 80);
  EXPECT_EQ(Taken(), (Events{"host down 90,80", "host click", "host up 90,80"})) << "just past it";

  PostMouseButton(host, WM_LBUTTONDBLCLK, 150, 100);
  PostMouseButton(host, WM_LBUTTONUP, 150, 100);
  EXPECT_EQ(Taken(), (Events{"host down 150,100", "host double click", "host click", "host up 150,100"}));
}

TEST_F(GuiSitedFormInput, APressAndItsReleaseGoToTheSameWindow) {
  PostMouseButton(host, WM_LBUTTONDOWN, 70, 65);
  PostMouseMove(host, 150, 100);
  PostMouseButton(host, WM_LBUTTONUP, 150, 100);
  EXPECT_EQ(Taken(), (Events{"child down 40,25", "child up 120,60"})) << "released over the host: no click anywhere";

  PostMouseButton(host, WM_LBUTTONDOWN, 150, 100);
  PostMouseMove(host, 70, 65);
  PostMouseButton(host, WM_LBUTTONUP, 70, 65);
  EXPECT_EQ(Taken(), (Events{"host down 150,100", "host click", "host up 70,65"})) << "released over the sited form";

  // Neither keeps the mouse afterwards.
  PostClick(host, 70, 65);
  PostClick(host, 150, 100);
  EXPECT_EQ(Taken(), (Events{"child down 40,25", "child click", "child up 40,25", "host down 150,100", "host click",
                             "host up 150,100"}));
}

TEST_F(GuiSitedFormInput, AHiddenOrDisabledSitedFormLetsTheClickThroughToTheHost) {
  ShowWindow(child.Handle(), SW_HIDE);
  child.SetVisible(false);
  PostMouseButton(host, WM_LBUTTONDOWN, 70, 65);
  PostMouseButton(host, WM_LBUTTONUP, 70, 65);
  EXPECT_EQ(Taken(), (Events{"host down 70,65", "host click", "host up 70,65"})) << "hidden";

  child.SetVisible(true);
  ShowWindow(child.Handle(), SW_SHOW);
  EnableWindow(child.Handle(), FALSE);
  PostMouseButton(host, WM_LBUTTONDOWN, 70, 65);
  PostMouseButton(host, WM_LBUTTONUP, 70, 65);
  EXPECT_EQ(Taken(), (Events{"host down 70,65", "host click", "host up 70,65"})) << "disabled";
}

TEST_F(GuiSitedFormInput, ThePointerLeavesTheControlsOfTheWindowItMovesOutOf) {
  PostMouseMove(host, 35, 45);
  EXPECT_EQ(Taken(), (Events{"corner enter"}));
  PostMouseMove(host, 110, 20);
  EXPECT_EQ(Taken(), (Events{"corner leave", "host label enter"}));
  PostMouseMove(host, 36, 46);
  EXPECT_EQ(Taken(), (Events{"host label leave", "corner enter"}));
  PostMessageA(host.Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Taken(), (Events{"corner leave"})) << "out of the host's window";
}

// Keys reach the host's window, as the display gives them to the top-level
// window: they are the sited form's once a press gave it the focus, and the
// host's again after a press on the host's own area.
TEST_F(GuiSitedFormInput, APressGivesThePressedWindowTheKeys) {
  LogKeys(host, "host");
  LogKeys(child, "child");
  PostChar(host, 'a');
  EXPECT_EQ(Taken(), (Events{"host key a"})) << "nobody pressed yet";

  PostClick(host, 70, 65);
  Taken();
  EXPECT_EQ(GetFocus(), child.Handle());
  PostKey(host, VK_LEFT);
  PostChar(host, 'b');
  EXPECT_EQ(Taken(), (Events{"child key down 37", "child key b"})) << "after a press on the sited form";

  PostClick(host, 35, 45);
  Taken();
  PostChar(host, 'c');
  EXPECT_EQ(Taken(), (Events{"child key c"})) << "after a press on the sited form's control";

  PostClick(host, 150, 100);
  Taken();
  EXPECT_EQ(GetFocus(), host.Handle());
  PostKey(host, VK_LEFT);
  PostChar(host, 'd');
  EXPECT_EQ(Taken(), (Events{"host key down 37", "host key d"})) << "after a press on the host";

  PostMouseButton(host, WM_RBUTTONDOWN, 70, 65);
  PostMouseButton(host, WM_RBUTTONUP, 70, 65);
  PostChar(host, 'e');
  Application->ProcessMessages();
  EXPECT_EQ(log.back(), "child key e") << "a right press on the sited form";
  log.clear();

  // The key goes straight to the window with the focus, which need not be
  // the host's own child; a press on the sited form's own area takes the
  // focus back from the form sited in it.
  TFocusCountingForm inner{nullptr};
  sited::PlaceIn(inner, child.Handle(), 10, 10);
  LogKeys(inner, "inner");
  PostClick(host, 45, 55);
  Taken();
  EXPECT_EQ(GetFocus(), inner.Handle());
  PostClick(host, 46, 56);
  Taken();
  EXPECT_EQ(inner.focusLosses, 0) << "pressed again, the window with the focus keeps it throughout";
  PostChar(host, 'f');
  EXPECT_EQ(Taken(), (Events{"inner key f"})) << "a form sited in the sited form";
  PostClick(host, 35, 45);
  Taken();
  PostChar(host, 'g');
  EXPECT_EQ(Taken(), (Events{"child key g"})) << "after a press on the sited form around it";
}

// Through in-place activation into a host form's window: the control's form
// takes the click at the place the host gave it.
using namespace qorv::test::ole;
using ActiveFormControlInputInHostForm = OleHostTest;

TEST_F(ActiveFormControlInputInHostForm, AClickOverTheActiveControlReachesItsForm) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.Show();
  site.Window = host.Handle();
  site.Frame.Window = host.Handle();
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);
  const RECT place{30, 15, 150, 105};
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, -1, host.Handle(), &place), S_OK);
  site.Calls.clear();
  std::vector<std::string> clicks;
  form->OnClick = [&](TObject*) { clicks.push_back("control's form"); };
  form->OnDblClick = [&](TObject*) { clicks.push_back("control's form double"); };
  host.OnClick = [&](TObject*) { clicks.push_back("host"); };

  PostClick(host, 100, 20);
  PostMouseButton(host, WM_LBUTTONDBLCLK, 100, 20);
  PostMouseButton(host, WM_LBUTTONUP, 100, 20);
  PostClick(host, 20, 20);
  Application->ProcessMessages();
  EXPECT_EQ(clicks, (std::vector<std::string>{"control's form", "control's form double", "control's form", "host"}));

  // The press on the control gave its form the focus, which made the
  // control UI active, and the keys the host's window receives reach its
  // form.
  EXPECT_NE(std::find(site.Calls.begin(), site.Calls.end(), "OnUIActivate"), site.Calls.end());
  std::string typed;
  form->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  PostClick(host, 100, 20);
  PostChar(host, 'k');
  Application->ProcessMessages();
  EXPECT_EQ(typed, "k");
  form->OnKeyPress = nullptr;

  form->OnClick = nullptr;
  form->OnDblClick = nullptr;
  host.OnClick = nullptr;
  ASSERT_EQ(Query<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
  object->SetClientSite(nullptr);
}

}  // namespace
