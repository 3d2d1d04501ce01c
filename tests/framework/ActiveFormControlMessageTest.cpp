// The form's window messages pass through its control object first: focus
// that reaches an in-place control makes it UI active, as a click or a tab
// into it does in a host, and the form's own handling of every message goes
// on behind the control.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "OleTestHost.h"

namespace {

using namespace qorv::test::ole;

using ActiveFormControlMessages = OleHostTest;

long CountOf(const std::vector<std::string>& calls, const std::string& call) {
  return static_cast<long>(std::count(calls.begin(), calls.end(), call));
}

TEST_F(ActiveFormControlMessages, FocusReachingAnInPlaceControlMakesItUiActive) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);

  // Sited but not active: the focus changes nothing for the host.
  SetFocus(form->Handle());
  EXPECT_EQ(CountOf(site.Calls, "OnUIActivate"), 0);
  EXPECT_EQ(site.Frame.Active, nullptr);

  SetFocus(hostWindow);
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, -1, hostWindow, nullptr), S_OK);
  ASSERT_EQ(site.Frame.Active, nullptr);
  SetFocus(form->Handle());
  EXPECT_EQ(CountOf(site.Calls, "OnUIActivate"), 1);
  auto active = As<IOleInPlaceActiveObject>(control, IID_IOleInPlaceActiveObject);
  EXPECT_EQ(site.Frame.Active, active.get());
  EXPECT_EQ(site.Frame.ActiveName, u"SitedForm");
  EXPECT_EQ(GetFocus(), form->Handle());

  // Focus coming back to a control that is UI active already is no news.
  SetFocus(hostWindow);
  SetFocus(form->Handle());
  EXPECT_EQ(CountOf(site.Calls, "OnUIActivate"), 1);

  auto inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(site.Frame.Active, nullptr);
}

TEST_F(ActiveFormControlMessages, TheFormStillHandlesEveryMessageAfterTheControl) {
  auto control = Create();
  int activations = 0;
  int deactivations = 0;
  std::string typed;
  form->OnActivate = [&](TObject*) { ++activations; };
  form->OnDeactivate = [&](TObject*) { ++deactivations; };
  form->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  HWND window = form->Handle();

  SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(activations, 1);
  EXPECT_TRUE(form->Active());
  SendMessageA(window, WM_CHAR, 'q', 0);
  EXPECT_EQ(typed, "q");
  SendMessageA(window, WM_SETFOCUS, 0, 0);
  SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(deactivations, 1);
  EXPECT_FALSE(form->Active());
  EXPECT_EQ(CountOf(site.Calls, "OnUIActivate"), 0) << "never sited";

  // The host's last reference may go inside an event the message fires: the
  // control and its form end once the message is done with them.
  form->OnActivate = [&](TObject*) { control.reset(); };
  SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(control, nullptr);
  EXPECT_FALSE(IsWindow(window));
}

// The control as a simple frame's site lets every message through untouched.
TEST_F(ActiveFormControlMessages, TheSimpleFrameSiteFiltersNothing) {
  auto control = Create();
  auto frame = As<ISimpleFrameSite>(control, IID_ISimpleFrameSite);
  HWND window = form->Handle();
  LRESULT result = 77;
  DWORD cookie = 99;
  EXPECT_EQ(frame->PreMessageFilter(window, WM_LBUTTONDOWN, 0, 0, &result, &cookie), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(cookie, 0u);
  result = 77;
  EXPECT_EQ(frame->PostMessageFilter(window, WM_LBUTTONDOWN, 0, 0, &result, cookie), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(frame->PreMessageFilter(window, WM_CHAR, 'a', 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(frame->PostMessageFilter(window, WM_CHAR, 'a', 0, nullptr, 0), S_OK);
}

}  // namespace
