// The control as an embedded object: its client site, verbs, extent, status,
// advise sinks and closing; and the keyboard and events side of IOleControl.
#include <objbase.h>
#include <ole2.h>

#include <algorithm>
#include <cstdint>

#include "ActiveFormControl.h"
#include "ActiveFormControlOleState.h"
#include "Graphic.h"
#include "codepage.h"

namespace {

// Forms are laid out at the screen's 96 pixels per inch; HIMETRIC units are
// hundredths of a millimetre, 2540 to the inch.
constexpr std::int64_t kPixelsPerInch = 96;
constexpr std::int64_t kHimetricPerInch = 2540;

int HimetricToPixels(LONG himetric) {
  return static_cast<int>((himetric * kPixelsPerInch + kHimetricPerInch / 2) / kHimetricPerInch);
}

LONG PixelsToHimetric(int pixels) {
  return static_cast<LONG>((pixels * kHimetricPerInch + kPixelsPerInch / 2) / kPixelsPerInch);
}

LPOLESTR TaskMemText(const std::string& ansi) {
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc((static_cast<size_t>(std::max(length, 0)) + 1) * sizeof(OLECHAR)));
  if (!text) return nullptr;
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), text, length);
  text[std::max(length, 0)] = 0;
  return text;
}

}  // namespace

TActiveFormControl::TOleState& TActiveFormControl::Ole() {
  if (!ole_) {
    ole_ = decltype(ole_)(new TOleState, [](TOleState* state) { delete state; });
    // A host sites and initialises a control before it changes it, so the
    // state at the first OLE call is the state nothing has changed yet.
    if (form_) ole_->Saved = DescribeForm();
  }
  return *ole_;
}

bool TActiveFormControl::EventsFrozen() { return ole_ && ole_->FreezeCount > 0; }

SIZEL TActiveFormControl::FormExtent() const {
  return form_ ? SIZEL{PixelsToHimetric(form_->Width()), PixelsToHimetric(form_->Height())} : SIZEL{0, 0};
}

HRESULT TActiveFormControl::SizeFormTo(const SIZEL& himetric) {
  if (!form_) return E_UNEXPECTED;
  if (himetric.cx < 0 || himetric.cy < 0) return E_INVALIDARG;
  const int width = HimetricToPixels(himetric.cx);
  const int height = HimetricToPixels(himetric.cy);
  // The form is painted into a surface of its size: a size no surface can
  // have is refused here rather than when the host next draws.
  if (width > kMaxGraphicSide || height > kMaxGraphicSide ||
      static_cast<std::int64_t>(width) * height > kMaxGraphicPixels) {
    return E_INVALIDARG;
  }
  return OleGuarded([&] {
    form_->SetBounds(form_->Left(), form_->Top(), width, height);
    NotifyViewChange();
    return S_OK;
  });
}

void TActiveFormControl::NotifyViewChange() {
  TOleState& ole = Ole();
  if (!ole.ViewAdvise || !(ole.ViewAspects & DVASPECT_CONTENT)) return;
  // The sink may drop its connection from inside the call.
  TOleRef<IAdviseSink> sink;
  sink.Reset(ole.ViewAdvise.Get());
  sink->OnViewChange(DVASPECT_CONTENT, -1);
}

// ---- IOleObject ----

HRESULT TActiveFormControl::SetClientSite(IOleClientSite* pClientSite) {
  Ole().ClientSite.Reset(pClientSite);
  return S_OK;
}

HRESULT TActiveFormControl::GetClientSite(IOleClientSite** ppClientSite) {
  if (!ppClientSite) return E_POINTER;
  *ppClientSite = Ole().ClientSite.Get();
  if (*ppClientSite) (*ppClientSite)->AddRef();
  return S_OK;
}

HRESULT TActiveFormControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
  // The control shows no window of its own that could carry the names.
  return S_OK;
}

HRESULT TActiveFormControl::Close(DWORD dwSaveOption) {
  if (dwSaveOption > OLECLOSE_PROMPTSAVE) return E_INVALIDARG;
  // Held to the end: a site told of the close may drop the last reference.
  AddRef();
  TOleState& ole = Ole();
  HRESULT saved = S_OK;
  // The control asks no questions of its own, so a prompt is a plain save.
  if (dwSaveOption != OLECLOSE_NOSAVE && ole.ClientSite && HasUnsavedChanges()) {
    saved = ole.ClientSite->SaveObject();
  }
  InPlaceDeactivate();
  std::vector<std::pair<DWORD, IAdviseSink*>> sinks = ole.OleAdvise;
  for (auto& [cookie, sink] : sinks) sink->AddRef();
  for (auto& [cookie, sink] : sinks) sink->OnClose();
  for (auto& [cookie, sink] : sinks) sink->Release();
  // Closed whatever the save answered; a failed save is still the answer.
  FireDestroy();
  Release();
  return FAILED(saved) ? saved : S_OK;
}

HRESULT TActiveFormControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT TActiveFormControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
  if (!ppmk) return E_POINTER;
  *ppmk = nullptr;
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT TActiveFormControl::GetClipboardData(DWORD, IDataObject** ppDataObject) {
  if (!ppDataObject) return E_POINTER;
  *ppDataObject = nullptr;
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG, HWND hwndParent,
                                   LPCRECT lprcPosRect) {
  switch (iVerb) {
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE: {
      const bool ui = iVerb != OLEIVERB_INPLACEACTIVATE;
      return OleGuarded([&] { return ActivateInPlace(pActiveSite, hwndParent, lprcPosRect, ui); });
    }
    case OLEIVERB_HIDE:
      // Hidden but still in place: the host shows it again with a verb.
      UIDeactivate();
      if (form_ && form_->HandleAllocated()) ShowWindow(form_->Handle(), SW_HIDE);
      if (form_) form_->SetVisible(false);
      return S_OK;
    case OLEIVERB_PRIMARY:
    case OLEIVERB_PROPERTIES:
      // The registered verb 0 shows the property pages; there are none, so
      // nothing is shown.
      return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE: return S_OK;
    case OLEIVERB_OPEN: return E_NOTIMPL;  // no editing in a window of its own
    default:
      // An unknown verb of the host's menu runs the primary verb (nothing).
      return iVerb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
  }
}

HRESULT TActiveFormControl::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
  if (!ppEnumOleVerb) return E_POINTER;
  return OleRegEnumVerbs(info_.ClassID, ppEnumOleVerb);
}

HRESULT TActiveFormControl::Update() { return S_OK; }

HRESULT TActiveFormControl::IsUpToDate() { return S_OK; }

HRESULT TActiveFormControl::GetUserClassID(CLSID* pClsid) {
  if (!pClsid) return E_POINTER;
  *pClsid = info_.ClassID;
  return S_OK;
}

HRESULT TActiveFormControl::GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) {
  if (!pszUserType) return E_POINTER;
  *pszUserType = nullptr;
  const std::string* name = nullptr;
  switch (dwFormOfType) {
    case USERCLASSTYPE_FULL:
    case USERCLASSTYPE_APPNAME: name = &info_.Description; break;
    case USERCLASSTYPE_SHORT: name = &info_.ClassName; break;
    default: return E_INVALIDARG;
  }
  *pszUserType = TaskMemText(*name);
  return *pszUserType ? S_OK : E_OUTOFMEMORY;
}

HRESULT TActiveFormControl::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!psizel) return E_INVALIDARG;
  return SizeFormTo(*psizel);
}

HRESULT TActiveFormControl::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
  if (dwDrawAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!psizel) return E_INVALIDARG;
  *psizel = FormExtent();
  return S_OK;
}

HRESULT TActiveFormControl::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
  if (pdwConnection) *pdwConnection = 0;
  if (!pAdvSink || !pdwConnection) return E_INVALIDARG;
  return OleGuarded([&] {
    TOleState& ole = Ole();
    ole.OleAdvise.emplace_back(ole.NextAdviseCookie, pAdvSink);
    pAdvSink->AddRef();
    *pdwConnection = ole.NextAdviseCookie++;
    return S_OK;
  });
}

HRESULT TActiveFormControl::Unadvise(DWORD dwConnection) {
  auto& sinks = Ole().OleAdvise;
  auto found = std::find_if(sinks.begin(), sinks.end(), [&](const auto& entry) { return entry.first == dwConnection; });
  if (found == sinks.end()) return OLE_E_NOCONNECTION;
  IAdviseSink* sink = found->second;
  sinks.erase(found);
  sink->Release();
  return S_OK;
}

HRESULT TActiveFormControl::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
  if (!ppenumAdvise) return E_POINTER;
  *ppenumAdvise = nullptr;
  return E_NOTIMPL;
}

HRESULT TActiveFormControl::GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) {
  if (!pdwStatus) return E_POINTER;
  *pdwStatus = 0;
  if (dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *pdwStatus = info_.MiscStatus;
  return S_OK;
}

HRESULT TActiveFormControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleControl ----

HRESULT TActiveFormControl::GetControlInfo(CONTROLINFO* pCI) {
  if (!pCI) return E_POINTER;
  // No mnemonics, and Return and Escape go to the host.
  pCI->cb = sizeof(CONTROLINFO);
  pCI->hAccel = nullptr;
  pCI->cAccel = 0;
  pCI->dwFlags = 0;
  return S_OK;
}

HRESULT TActiveFormControl::OnMnemonic(MSG*) {
  // There are no mnemonics to answer.
  return S_OK;
}

HRESULT TActiveFormControl::OnAmbientPropertyChange(DISPID) {
  // The form keeps its own colours and font whatever the host's are.
  return S_OK;
}

HRESULT TActiveFormControl::FreezeEvents(BOOL bFreeze) {
  TOleState& ole = Ole();
  // Unbalanced thaws are ignored, as the count must not go below zero.
  if (bFreeze) {
    ++ole.FreezeCount;
  } else if (ole.FreezeCount > 0) {
    --ole.FreezeCount;
  }
  return S_OK;
}
