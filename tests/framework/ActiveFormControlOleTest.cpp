// The control sited by a host: client site, in-place activation into the
// host's window, sizing, status and verbs, closing, quick activation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "OleTestHost.h"
#include "winreg.h"

namespace {

using namespace qorv::test::ole;

using ActiveFormControlSiting = OleHostTest;

bool CalledInOrder(const std::vector<std::string>& calls, const std::vector<std::string>& expected) {
  auto at = calls.begin();
  for (const std::string& call : expected) {
    at = std::find(at, calls.end(), call);
    if (at == calls.end()) return false;
    ++at;
  }
  return true;
}

TEST_F(ActiveFormControlSiting, InPlaceActivationPutsTheFormInTheHostsWindowAtThePlaceGiven) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  ASSERT_EQ(object->SetClientSite(&site), S_OK);
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow()) << "siting alone does not activate";

  const RECT place{10, 20, 110, 80};
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, -1, hostWindow, &place), S_OK);
  EXPECT_EQ(GetParent(form->Handle()), hostWindow);
  EXPECT_EQ(form->Site(), hostWindow);
  EXPECT_EQ(form->Left(), 10);
  EXPECT_EQ(form->Top(), 20);
  EXPECT_EQ(form->Width(), 100);
  EXPECT_EQ(form->Height(), 60);
  RECT window{};
  ASSERT_TRUE(GetWindowRect(form->Handle(), &window));
  EXPECT_EQ(window.right - window.left, 100);
  EXPECT_EQ(window.bottom - window.top, 60);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  EXPECT_TRUE(CalledInOrder(
      site.Calls, {"CanInPlaceActivate", "OnInPlaceActivate", "GetWindow", "GetWindowContext", "ShowObject"}));
  EXPECT_EQ(site.Frame.Active, nullptr) << "in place, not UI active";

  auto inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  HWND formWindow = nullptr;
  EXPECT_EQ(inPlace->GetWindow(&formWindow), S_OK);
  EXPECT_EQ(formWindow, form->Handle());

  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow()) << "back under the hidden parking window";
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(site.Calls.back(), "OnInPlaceDeactivate");
  EXPECT_EQ(inPlace->GetWindow(&formWindow), E_FAIL);
  EXPECT_EQ(formWindow, nullptr);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK) << "a second deactivation has nothing to do";
  EXPECT_EQ(std::count(site.Calls.begin(), site.Calls.end(), "OnInPlaceDeactivate"), 1);
}

TEST_F(ActiveFormControlSiting, WithoutAPlaceInTheVerbTheSitesRectangleIsUsed) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  object->SetClientSite(&site);
  site.Place = RECT{5, 6, 55, 46};
  ASSERT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, -1, nullptr, nullptr), S_OK);
  EXPECT_EQ(form->BoundsRect().Left, 5);
  EXPECT_EQ(form->BoundsRect().Top, 6);
  EXPECT_EQ(form->Width(), 50);
  EXPECT_EQ(form->Height(), 40);
}

TEST_F(ActiveFormControlSiting, UiActivationTellsTheFrameWhichObjectIsActive) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  object->SetClientSite(&site);
  ASSERT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, -1, hostWindow, nullptr), S_OK);
  auto active = As<IOleInPlaceActiveObject>(control, IID_IOleInPlaceActiveObject);
  EXPECT_EQ(site.Frame.Active, active.get());
  EXPECT_EQ(site.Frame.ActiveName, u"SitedForm");
  EXPECT_TRUE(CalledInOrder(site.Calls, {"OnInPlaceActivate", "OnUIActivate"}));
  EXPECT_EQ(GetFocus(), form->Handle());

  auto inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  EXPECT_EQ(inPlace->UIDeactivate(), S_OK);
  EXPECT_EQ(site.Frame.Active, nullptr);
  EXPECT_EQ(site.Calls.back(), "OnUIDeactivate");
  EXPECT_EQ(GetParent(form->Handle()), hostWindow) << "still in place after UI deactivation";

  // Deactivating from UI-active goes through UI deactivation first.
  object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, -1, hostWindow, nullptr);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_EQ(site.Frame.Active, nullptr);
  EXPECT_TRUE(CalledInOrder(site.Calls, {"OnUIActivate", "OnUIDeactivate", "OnInPlaceDeactivate"}));
  control.reset();
  EXPECT_EQ(site.Frame.References(), 1) << "the control holds nothing of the frame's after deactivation";
}

TEST_F(ActiveFormControlSiting, ActivationNeedsASiteThatAllowsIt) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, hostWindow, nullptr), E_UNEXPECTED);

  site.CanActivate = S_FALSE;
  object->SetClientSite(&site);
  EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, hostWindow, nullptr),
            OLEOBJ_S_CANNOT_DOVERB_NOW);
  EXPECT_EQ(std::count(site.Calls.begin(), site.Calls.end(), "OnInPlaceActivate"), 0);
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow());

  site.CanActivate = S_OK;
  site.InPlace = false;
  EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, hostWindow, nullptr), E_NOINTERFACE);

  site.InPlace = true;
  site.Window = nullptr;
  site.Calls.clear();
  EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, nullptr, nullptr), E_FAIL)
      << "no window to go into";
  EXPECT_TRUE(CalledInOrder(site.Calls, {"OnInPlaceActivate", "OnInPlaceDeactivate"}))
      << "a site told of the activation hears that it ended";
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow());

  const RECT inverted{50, 50, 10, 10};
  site.Window = hostWindow;
  EXPECT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, hostWindow, &inverted), OLE_E_INVALIDRECT);
}

TEST_F(ActiveFormControlSiting, HideAndShowKeepTheFormInPlace) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  object->SetClientSite(&site);
  ASSERT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
  EXPECT_EQ(object->DoVerb(OLEIVERB_HIDE, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(GetParent(form->Handle()), hostWindow);
  EXPECT_EQ(object->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  EXPECT_EQ(std::count(site.Calls.begin(), site.Calls.end(), "OnInPlaceActivate"), 1);
}

TEST_F(ActiveFormControlSiting, VerbsOutsideTheInPlaceOnesDoNothingOrAreRefused) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  object->SetClientSite(&site);
  // Verb 0 shows the property pages, and there are none.
  EXPECT_EQ(object->DoVerb(OLEIVERB_PRIMARY, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
  EXPECT_EQ(object->DoVerb(OLEIVERB_PROPERTIES, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow());
  EXPECT_EQ(object->DoVerb(OLEIVERB_OPEN, nullptr, nullptr, -1, hostWindow, nullptr), E_NOTIMPL);
  EXPECT_EQ(object->DoVerb(7, nullptr, nullptr, -1, hostWindow, nullptr), OLEOBJ_S_INVALIDVERB);
  EXPECT_EQ(object->DoVerb(-99, nullptr, nullptr, -1, hostWindow, nullptr), E_NOTIMPL);
}

TEST_F(ActiveFormControlSiting, SetObjectRectsMovesAndResizesTheWindowInPlace) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  object->SetClientSite(&site);
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
  auto inPlace = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  const RECT place{30, 40, 230, 190};
  ASSERT_EQ(inPlace->SetObjectRects(&place, &place), S_OK);
  EXPECT_EQ(form->Left(), 30);
  EXPECT_EQ(form->Top(), 40);
  EXPECT_EQ(form->Width(), 200);
  EXPECT_EQ(form->Height(), 150);
  RECT window{};
  ASSERT_TRUE(GetWindowRect(form->Handle(), &window));
  EXPECT_EQ(window.right - window.left, 200);
  EXPECT_EQ(window.bottom - window.top, 150);

  const RECT inverted{30, 40, 20, 190};
  const RECT enormous{0, 0, 100000, 10};
  EXPECT_EQ(inPlace->SetObjectRects(nullptr, &place), E_INVALIDARG);
  EXPECT_EQ(inPlace->SetObjectRects(&inverted, &place), OLE_E_INVALIDRECT);
  EXPECT_EQ(inPlace->SetObjectRects(&enormous, &place), OLE_E_INVALIDRECT);
  EXPECT_EQ(form->Width(), 200) << "a refused rectangle changes nothing";
  EXPECT_EQ(form->Left(), 30);
}

TEST_F(ActiveFormControlSiting, ExtentIsTheFormsSizeInHimetric) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  auto view = As<IViewObject2>(control, IID_IViewObject2);
  TTestAdviseSink advise;
  ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &advise), S_OK);

  SIZEL size{};
  ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &size), S_OK);
  EXPECT_EQ(size.cx, 3175) << "120 pixels at 96 per inch";
  EXPECT_EQ(size.cy, 2381) << "90 pixels, rounded";

  SIZEL twoInches{5080, 2540};
  ASSERT_EQ(object->SetExtent(DVASPECT_CONTENT, &twoInches), S_OK);
  EXPECT_EQ(form->Width(), 192);
  EXPECT_EQ(form->Height(), 96);
  EXPECT_EQ(advise.ViewChanges, 1) << "the host is told to draw again";
  SIZEL viewSize{};
  ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &viewSize), S_OK);
  EXPECT_EQ(viewSize.cx, 5080);
  EXPECT_EQ(viewSize.cy, 2540);

  SIZEL negative{-1, 100};
  SIZEL enormous{100000000, 100};
  EXPECT_EQ(object->SetExtent(DVASPECT_ICON, &twoInches), DV_E_DVASPECT);
  EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, nullptr), E_INVALIDARG);
  EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &negative), E_INVALIDARG);
  EXPECT_EQ(object->SetExtent(DVASPECT_CONTENT, &enormous), E_INVALIDARG);
  EXPECT_EQ(form->Width(), 192) << "refused sizes change nothing";
  EXPECT_EQ(object->GetExtent(DVASPECT_THUMBNAIL, &size), DV_E_DVASPECT);
  EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, 0, nullptr, &viewSize), DV_E_LINDEX);

  auto quick = As<IQuickActivate>(control, IID_IQuickActivate);
  SIZEL oneInch{2540, 2540};
  ASSERT_EQ(quick->SetContentExtent(&oneInch), S_OK);
  ASSERT_EQ(quick->GetContentExtent(&size), S_OK);
  EXPECT_EQ(size.cx, 2540);
  EXPECT_EQ(form->Width(), 96);
  ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
  EXPECT_EQ(advise.References(), 1);
}

TEST_F(ActiveFormControlSiting, MiscStatusIsTheClassesForTheContentAspectOnly) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  DWORD status = 1;
  EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
  EXPECT_EQ(status, 0x32191u);
  for (DWORD aspect : {DVASPECT_THUMBNAIL, DVASPECT_ICON, DVASPECT_DOCPRINT, DWORD{0}}) {
    status = 1;
    EXPECT_EQ(object->GetMiscStatus(aspect, &status), DV_E_DVASPECT) << aspect;
    EXPECT_EQ(status, 0u);
  }
}

TEST_F(ActiveFormControlSiting, VerbsComeFromTheRegistry) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  IEnumOLEVERB* verbs = reinterpret_cast<IEnumOLEVERB*>(1);
  EXPECT_EQ(object->EnumVerbs(&verbs), REGDB_E_CLASSNOTREG) << "an unregistered class has no verbs to list";
  EXPECT_EQ(verbs, nullptr);

  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{6D1E2A40-93B7-4F0C-8B57-1F2E3D4C5B6A}\\Verb\\0", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char text[] = "Properties,0,2";
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(object->EnumVerbs(&verbs), S_OK);
  OLEVERB verb{};
  ULONG fetched = 0;
  ASSERT_EQ(verbs->Next(1, &verb, &fetched), S_OK);
  EXPECT_EQ(verb.lVerb, 0);
  EXPECT_EQ(std::u16string(verb.lpszVerbName), u"Properties");
  EXPECT_EQ(verb.grfAttribs, 2u);
  CoTaskMemFree(verb.lpszVerbName);
  EXPECT_EQ(verbs->Next(1, &verb, &fetched), S_FALSE);
  verbs->Release();
}

TEST_F(ActiveFormControlSiting, CloseFiresTheDestructionEventOnceAndAsksTheSiteToSaveOnlyUnsavedChanges) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  auto persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
  TTestAdviseSink advise;
  DWORD cookie = 0;
  ASSERT_EQ(object->Advise(&advise, &cookie), S_OK);
  object->SetClientSite(&site);
  ASSERT_EQ(persist->InitNew(), S_OK);
  ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);

  ASSERT_EQ(object->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
  EXPECT_EQ(form->Destroys, 1);
  EXPECT_EQ(std::count(site.Calls.begin(), site.Calls.end(), "SaveObject"), 0) << "nothing unsaved";
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow()) << "closing deactivates";
  EXPECT_EQ(site.Calls.back(), "OnInPlaceDeactivate");
  EXPECT_EQ(advise.Closes, 1);

  form->SetCaption("Changed");
  ASSERT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(std::count(site.Calls.begin(), site.Calls.end(), "SaveObject"), 0) << "told not to save";
  ASSERT_EQ(object->Close(OLECLOSE_PROMPTSAVE), S_OK);
  EXPECT_EQ(std::count(site.Calls.begin(), site.Calls.end(), "SaveObject"), 1);
  EXPECT_EQ(form->Destroys, 1) << "at most once per instance";

  EXPECT_EQ(object->Unadvise(cookie), S_OK);
  EXPECT_EQ(object->Unadvise(cookie), OLE_E_NOCONNECTION);
  EXPECT_EQ(advise.References(), 1);
  EXPECT_EQ(object->Close(7), E_INVALIDARG);
}

TEST_F(ActiveFormControlSiting, CloseStillClosesWhenTheSiteCannotSaveButSaysSo) {
  auto control = Create();
  auto object = As<IOleObject>(control, IID_IOleObject);
  object->SetClientSite(&site);
  As<IPersistStreamInit>(control, IID_IPersistStreamInit)->InitNew();
  form->SetCaption("Unsaved");
  site.Save = [] { return STG_E_MEDIUMFULL; };
  EXPECT_EQ(object->Close(OLECLOSE_SAVEIFDIRTY), STG_E_MEDIUMFULL);
  EXPECT_EQ(form->Destroys, 1);
}

TEST_F(ActiveFormControlSiting, OnceDeactivatedAndReleasedTheControlHoldsNothingOfTheHosts) {
  {
    auto control = Create();
    auto object = As<IOleObject>(control, IID_IOleObject);
    object->SetClientSite(&site);
    ASSERT_EQ(object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, nullptr, -1, hostWindow, nullptr), S_OK);
    IOleClientSite* held = nullptr;
    ASSERT_EQ(object->GetClientSite(&held), S_OK);
    EXPECT_EQ(held, static_cast<IOleClientSite*>(&site));
    held->Release();
    EXPECT_GT(site.References(), 1);
    As<IOleInPlaceObject>(control, IID_IOleInPlaceObject)->InPlaceDeactivate();
  }
  EXPECT_EQ(site.References(), 1);
  EXPECT_EQ(site.Frame.References(), 1);
  EXPECT_EQ(site.Frame.Active, nullptr);
}

TEST_F(ActiveFormControlSiting, QuickActivationSitesAndConnectsInOneCall) {
  auto control = Create();
  auto quick = As<IQuickActivate>(control, IID_IQuickActivate);
  TTestAdviseSink advise;
  QACONTAINER container{};
  container.cbSize = sizeof container;
  container.pClientSite = &site;
  container.pAdviseSink = reinterpret_cast<IAdviseSinkEx*>(static_cast<IAdviseSink*>(&advise));
  QACONTROL answer{};
  answer.cbSize = sizeof answer;
  ASSERT_EQ(quick->QuickActivate(&container, &answer), S_OK);
  EXPECT_EQ(answer.dwMiscStatus, 0x32191u);
  EXPECT_EQ(answer.dwViewStatus, 1u);
  EXPECT_EQ(answer.dwEventCookie, 0u) << "no event sink was given";
  auto object = As<IOleObject>(control, IID_IOleObject);
  IOleClientSite* held = nullptr;
  ASSERT_EQ(object->GetClientSite(&held), S_OK);
  EXPECT_EQ(held, static_cast<IOleClientSite*>(&site));
  held->Release();
  IAdviseSink* viewSink = nullptr;
  ASSERT_EQ(As<IViewObject>(control, IID_IViewObject)->GetAdvise(nullptr, nullptr, &viewSink), S_OK);
  EXPECT_EQ(viewSink, static_cast<IAdviseSink*>(&advise));
  viewSink->Release();

  QACONTROL small{};
  small.cbSize = sizeof small - 4;
  EXPECT_EQ(quick->QuickActivate(&container, &small), E_INVALIDARG);
  container.cbSize = 8;
  EXPECT_EQ(quick->QuickActivate(&container, &answer), E_INVALIDARG);
  EXPECT_EQ(quick->QuickActivate(nullptr, &answer), E_POINTER);
}

TEST_F(ActiveFormControlSiting, FrozenEventsStayFrozenUntilEveryFreezeIsUndone) {
  auto control = Create();
  auto ole = As<IOleControl>(control, IID_IOleControl);
  auto* object = static_cast<TActiveFormControl*>(As<IOleObject>(control, IID_IOleObject).get());
  EXPECT_FALSE(object->EventsFrozen());
  ole->FreezeEvents(TRUE);
  ole->FreezeEvents(TRUE);
  ole->FreezeEvents(FALSE);
  EXPECT_TRUE(object->EventsFrozen());
  ole->FreezeEvents(FALSE);
  EXPECT_FALSE(object->EventsFrozen());
  ole->FreezeEvents(FALSE);
  ole->FreezeEvents(TRUE);
  EXPECT_TRUE(object->EventsFrozen()) << "an unbalanced thaw must not leave a freeze undone";
  CONTROLINFO info{};
  EXPECT_EQ(ole->GetControlInfo(&info), S_OK);
  EXPECT_EQ(info.cAccel, 0);
  EXPECT_EQ(ole->GetControlInfo(nullptr), E_POINTER);
}

}  // namespace
