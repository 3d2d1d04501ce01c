// In-place activation: the form becomes a child of the host's window at the
// place the host gives, and goes back under its hidden parking window when
// the host deactivates it. Quick activation hands over the site and the
// sinks in one call.
#include <algorithm>
#include <cstddef>
#include <string>

#include "ActiveFormControl.h"
#include "ActiveFormControlOleState.h"
#include "Graphic.h"
#include "codepage.h"

namespace {

std::u16string OleText(const std::string& ansi) {
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::u16string text(static_cast<std::size_t>(std::max(length, 0)), u'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), text.data(), length);
  return text;
}

bool ValidPlace(const RECT& r) {
  const long width = static_cast<long>(r.right) - r.left;
  const long height = static_cast<long>(r.bottom) - r.top;
  return width >= 0 && height >= 0 && width <= kMaxGraphicSide && height <= kMaxGraphicSide &&
         static_cast<long long>(width) * height <= kMaxGraphicPixels;
}

}  // namespace

void TActiveFormControl::PlaceForm(const RECT& position) {
  const int width = position.right - position.left;
  const int height = position.bottom - position.top;
  form_->SetBounds(position.left, position.top, width, height);
  if (form_->HandleAllocated()) {
    SetWindowPos(form_->Handle(), nullptr, position.left, position.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

HRESULT TActiveFormControl::ActivateInPlace(IOleClientSite* activeSite, HWND parent, LPCRECT position,
                                            bool uiActivate) {
  if (!form_) return E_UNEXPECTED;
  if (position && !ValidPlace(*position)) return OLE_E_INVALIDRECT;
  TOleState& ole = Ole();
  if (!ole.InPlaceActive) {
    IOleClientSite* site = activeSite ? activeSite : ole.ClientSite.Get();
    if (!site) return E_UNEXPECTED;
    IOleInPlaceSite* found = nullptr;
    HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&found));
    if (FAILED(hr) || !found) return FAILED(hr) ? hr : E_NOINTERFACE;
    TOleRef<IOleInPlaceSite> inPlace;
    inPlace.Adopt(found);
    hr = inPlace->CanInPlaceActivate();
    if (hr != S_OK) return FAILED(hr) ? hr : OLEOBJ_S_CANNOT_DOVERB_NOW;

    // From OnInPlaceActivate on, the site counts the control as active
    // until it hears OnInPlaceDeactivate, also when a later step fails.
    hr = inPlace->OnInPlaceActivate();
    if (FAILED(hr)) return hr;
    HWND window = nullptr;
    if (FAILED(inPlace->GetWindow(&window)) || !window) window = parent;
    if (!window || !IsWindow(window)) {
      inPlace->OnInPlaceDeactivate();
      return E_FAIL;
    }
    RECT place{0, 0, form_->Width(), form_->Height()};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT contextPlace{};
    if (SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &contextPlace, &clip, &frameInfo))) {
      ole.Frame.Adopt(frame);
      ole.Document.Adopt(document);
      if (ValidPlace(contextPlace)) place = contextPlace;
    }
    // The verb's own rectangle is what the host means now.
    if (position) place = *position;

    ole.InPlaceSite.Reset(inPlace.Get());
    ole.InPlaceActive = true;
    form_->SiteIn(window);
    PlaceForm(place);
    form_->SetVisible(true);
    ShowWindow(form_->Handle(), SW_SHOW);
    form_->InvalidateArea(form_->ClientRect());
    site->ShowObject();
  } else {
    if (position) PlaceForm(*position);
    // Shown again after OLEIVERB_HIDE.
    form_->SetVisible(true);
    ShowWindow(form_->Handle(), SW_SHOW);
  }
  return uiActivate ? ActivateUi() : S_OK;
}

HRESULT TActiveFormControl::ActivateUi() {
  TOleState& ole = Ole();
  if (!ole.UiActive) {
    ole.UiActive = true;
    if (ole.InPlaceSite) ole.InPlaceSite->OnUIActivate();
    const std::u16string name = OleText(info_.ClassName);
    auto* active = static_cast<IOleInPlaceActiveObject*>(this);
    if (ole.Frame) {
      ole.Frame->SetActiveObject(active, name.c_str());
      // The control asks for no tool space in the host's frame.
      ole.Frame->SetBorderSpace(nullptr);
    }
    if (ole.Document) ole.Document->SetActiveObject(active, name.c_str());
  }
  SetFocus(form_->Handle());
  return S_OK;
}

// ---- IOleWindow ----

HRESULT TActiveFormControl::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = nullptr;
  // Only an active control has a window in the host.
  if (!form_ || !Ole().InPlaceActive) return E_FAIL;
  return OleGuarded([&] {
    *phwnd = form_->Handle();
    return S_OK;
  });
}

HRESULT TActiveFormControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ---- IOleInPlaceObject ----

HRESULT TActiveFormControl::InPlaceDeactivate() {
  TOleState& ole = Ole();
  if (!ole.InPlaceActive) return S_OK;
  // The site may let go of the control when told.
  AddRef();
  UIDeactivate();
  ole.InPlaceActive = false;
  if (form_) {
    form_->SetVisible(false);
    if (form_->HandleAllocated()) ShowWindow(form_->Handle(), SW_HIDE);
    form_->SiteIn(nullptr);
  }
  ole.Frame.Reset(nullptr);
  ole.Document.Reset(nullptr);
  TOleRef<IOleInPlaceSite> site;
  site.Adopt(ole.InPlaceSite.Detach());
  if (site) site->OnInPlaceDeactivate();
  site.Reset(nullptr);
  Release();
  return S_OK;
}

HRESULT TActiveFormControl::UIDeactivate() {
  TOleState& ole = Ole();
  if (!ole.UiActive) return S_OK;
  ole.UiActive = false;
  if (ole.Frame) ole.Frame->SetActiveObject(nullptr, nullptr);
  if (ole.Document) ole.Document->SetActiveObject(nullptr, nullptr);
  if (ole.InPlaceSite) ole.InPlaceSite->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT TActiveFormControl::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
  if (!lprcPosRect) return E_INVALIDARG;
  if (!ValidPlace(*lprcPosRect)) return OLE_E_INVALIDRECT;
  if (!form_) return E_UNEXPECTED;
  // The clip rectangle is not applied: windows here have no clip regions,
  // and the host's window clips its children anyway.
  return OleGuarded([&] {
    PlaceForm(*lprcPosRect);
    return S_OK;
  });
}

HRESULT TActiveFormControl::ReactivateAndUndo() { return E_NOTIMPL; }

// ---- IOleInPlaceActiveObject ----

HRESULT TActiveFormControl::TranslateAccelerator(LPMSG lpmsg) {
  if (!lpmsg) return E_INVALIDARG;
  // No accelerators: every key goes on to the form's window as usual.
  return S_FALSE;
}

HRESULT TActiveFormControl::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT TActiveFormControl::OnDocWindowActivate(BOOL) { return S_OK; }

HRESULT TActiveFormControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  // No tool space is kept, so there is nothing to move.
  return S_OK;
}

HRESULT TActiveFormControl::EnableModeless(BOOL) { return S_OK; }

// ---- IQuickActivate ----

HRESULT TActiveFormControl::QuickActivate(QACONTAINER* pQaContainer, QACONTROL* pQaControl) {
  if (!pQaContainer || !pQaControl) return E_POINTER;
  // Containers of older versions pass a shorter record; the fields used here
  // must be inside it.
  if (pQaContainer->cbSize < offsetof(QACONTAINER, dwAmbientFlags) || pQaControl->cbSize < sizeof(QACONTROL)) {
    return E_INVALIDARG;
  }
  return OleGuarded([&] { return QuickActivateWith(*pQaContainer, *pQaControl); });
}

HRESULT TActiveFormControl::QuickActivateWith(const QACONTAINER& container, QACONTROL& control) {
  control.dwMiscStatus = info_.MiscStatus;
  control.dwViewStatus = 1;  // VIEWSTATUS_OPAQUE: the form fills its extent
  control.dwEventCookie = 0;
  control.dwPropNotifyCookie = 0;
  control.dwPointerActivationPolicy = 0;
  SetClientSite(container.pClientSite);
  // IAdviseSinkEx extends IAdviseSink, so its pointer is one.
  if (container.pAdviseSink) {
    SetAdvise(DVASPECT_CONTENT, 0, reinterpret_cast<IAdviseSink*>(container.pAdviseSink));
  }
  // A sink that cannot be connected leaves its cookie 0, which tells the
  // container to connect it itself or to go without.
  if (container.pPropertyNotifySink) {
    DWORD cookie = 0;
    if (SUCCEEDED(AdvisePropertyNotifySink(container.pPropertyNotifySink, &cookie))) {
      control.dwPropNotifyCookie = cookie;
    }
  }
  if (container.pUnkEventSink) {
    DWORD cookie = 0;
    if (SUCCEEDED(AdviseEventSink(container.pUnkEventSink, &cookie))) control.dwEventCookie = cookie;
  }
  return S_OK;
}

HRESULT TActiveFormControl::SetContentExtent(LPSIZEL pSizel) { return SetExtent(DVASPECT_CONTENT, pSizel); }

HRESULT TActiveFormControl::GetContentExtent(LPSIZEL pSizel) { return GetExtent(DVASPECT_CONTENT, pSizel); }
