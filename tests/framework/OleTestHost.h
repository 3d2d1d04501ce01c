// A host for the control's OLE contracts, written the way a container would
// be: a window of its own, a client site that is also the in-place site, a
// frame and document window that record which object is active, an advise
// sink, a property bag, and a small form to put in the control. Every object
// counts its references so a test can see that the control lets go of them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ActiveFormControl.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "objbase.h"
#include "oleauto.h"

namespace qorv::test::ole {

template <class T>
struct TReleaser {
  void operator()(T* p) const {
    if (p) p->Release();
  }
};
template <class T>
using TRef = std::unique_ptr<T, TReleaser<T>>;

template <class T>
TRef<T> Query(IUnknown* object, REFIID iid) {
  void* found = nullptr;
  if (FAILED(object->QueryInterface(iid, &found))) return TRef<T>();
  return TRef<T>(static_cast<T*>(found));
}

// {6D1E2A40-93B7-4F0C-8B57-1F2E3D4C5B6A}
inline constexpr CLSID CLSID_SitedForm{0x6D1E2A40, 0x93B7, 0x4F0C, {0x8B, 0x57, 0x1F, 0x2E, 0x3D, 0x4C, 0x5B, 0x6A}};
// {0A7C3E55-2B61-4D8E-9F10-6B5A4C3D2E1F}
inline constexpr IID DIID_SitedFormEvents{0x0A7C3E55, 0x2B61, 0x4D8E, {0x9F, 0x10, 0x6B, 0x5A, 0x4C, 0x3D, 0x2E, 0x1F}};

// A form with a child of its own (which the control's saved state leaves
// out) and a count of its destruction event.
class TSitedForm : public TActiveForm {
 public:
  explicit TSitedForm(TComponent* owner) : TActiveForm(owner) {
    RegisterField("Label1", Label1);
    OnDestroy = [this](TObject*) { ++Destroys; };
  }
  // The base's destructor would fire an event still bound, after this part
  // and its count are gone.
  ~TSitedForm() override { OnDestroy = nullptr; }
  TLabel* Label1 = nullptr;
  int Destroys = 0;
};

inline const char* kSitedFormDescription = R"(object SitedForm: TActiveForm
  Left = 0
  Top = 0
  Width = 120
  Height = 90
  Caption = 'Sited'
  Color = clBtnFace
  object Label1: TLabel
    Left = 0
    Top = 40
    Width = 60
    Height = 17
    AutoSize = False
    Caption = 'Label'
    Color = clRed
    ParentColor = False
  end
end
)";

// Base of the host's objects: reference counting only; the test owns them
// (they are never freed by Release) and checks the count at the end.
template <class... Interfaces>
class TCounted : public Interfaces... {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  long References() const { return refs_; }

 private:
  long refs_ = 1;  // the test's own
};

class TTestFrame final : public TCounted<IOleInPlaceFrame> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IOleWindow && riid != IID_IOleInPlaceUIWindow &&
        riid != IID_IOleInPlaceFrame) {
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
    *phwnd = Window;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR name) override {
    if (active) active->AddRef();
    if (Active) Active->Release();
    Active = active;
    ActiveName = name ? std::u16string(name) : std::u16string();
    ++ActiveChanges;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  HWND Window = nullptr;
  IOleInPlaceActiveObject* Active = nullptr;
  std::u16string ActiveName;
  int ActiveChanges = 0;
};

// The client site and in-place site in one object, as most containers have
// it; it records the calls the control makes, in order.
class TTestSite final : public TCounted<IOleClientSite, IOleInPlaceSite> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
      *ppv = static_cast<IOleClientSite*>(this);
    } else if (InPlace && (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)) {
      *ppv = static_cast<IOleInPlaceSite*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return TCounted::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TCounted::Release(); }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override {
    Calls.push_back("SaveObject");
    return Save ? Save() : S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override {
    *ppmk = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) override {
    *ppContainer = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override {
    Calls.push_back("ShowObject");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
    Calls.push_back("GetWindow");
    *phwnd = Window;
    return Window ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override {
    Calls.push_back("CanInPlaceActivate");
    return CanActivate;
  }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
    Calls.push_back("OnInPlaceActivate");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override {
    Calls.push_back("OnUIActivate");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                             LPRECT lprcPosRect, LPRECT lprcClipRect,
                                             LPOLEINPLACEFRAMEINFO lpFrameInfo) override {
    Calls.push_back("GetWindowContext");
    Frame.AddRef();
    *ppFrame = &Frame;
    *ppDoc = nullptr;
    *lprcPosRect = Place;
    *lprcClipRect = Place;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = Window;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override {
    Calls.push_back("OnUIDeactivate");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    Calls.push_back("OnInPlaceDeactivate");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  bool InPlace = true;  // answers IOleInPlaceSite
  HRESULT CanActivate = S_OK;
  HWND Window = nullptr;
  RECT Place{0, 0, 120, 90};
  std::function<HRESULT()> Save;
  TTestFrame Frame;
  std::vector<std::string> Calls;
};

class TTestAdviseSink final : public TCounted<IAdviseSink> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IAdviseSink) return E_NOINTERFACE;
    *ppv = static_cast<IAdviseSink*>(this);
    AddRef();
    return S_OK;
  }
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override { ++ViewChanges; }
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override { ++Saves; }
  void STDMETHODCALLTYPE OnClose() override { ++Closes; }

  int ViewChanges = 0;
  int Saves = 0;
  int Closes = 0;
};

// A property bag over a map; what a container writes into an HTML page's
// parameters or its own file.
class TTestPropertyBag final : public TCounted<IPropertyBag> {
 public:
  ~TTestPropertyBag() {
    for (auto& [name, value] : Values) VariantClear(&value);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IPropertyBag) return E_NOINTERFACE;
    *ppv = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto found = Values.find(name);
    if (found == Values.end()) return E_INVALIDARG;
    return VariantCopy(value, &found->second);
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT& slot = Values[name];
    VariantClear(&slot);
    return VariantCopy(&slot, value);
  }
  void SetText(const std::u16string& name, const std::u16string& text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    Write(name.c_str(), &value);
    VariantClear(&value);
  }

  std::map<std::u16string, VARIANT> Values;
};

class TTestErrorLog final : public TCounted<IErrorLog> {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IErrorLog) return E_NOINTERFACE;
    *ppv = static_cast<IErrorLog*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR name, EXCEPINFO* info) override {
    Errors.emplace_back(name ? name : u"", info ? info->scode : S_OK);
    return S_OK;
  }
  std::vector<std::pair<std::u16string, HRESULT>> Errors;
};

// A top-level window of the host's own class.
inline HWND CreateHostWindow() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "QorvOleTestHost";
    return RegisterClassA(&wc) != 0;
  }();
  EXPECT_TRUE(registered);
  return CreateWindowExA(0, "QorvOleTestHost", "host", WS_OVERLAPPED, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                         nullptr);
}

// The fixture: a control of TSitedForm made through the factory entry, a
// host window, and the host's objects.
class OleHostTest : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    info.ClassID = CLSID_SitedForm;
    info.ClassName = "SitedForm";
    info.Description = "Sited Form Control";
    info.ProgID = "OleTest.SitedForm";
    info.EventIID = DIID_SitedFormEvents;
    info.MiscStatus = 0x32191;
    info.CreateForm = [this]() -> TActiveForm* { return NewSitedForm(); };
    hostWindow = CreateHostWindow();
    ASSERT_NE(hostWindow, nullptr);
    ShowWindow(hostWindow, SW_SHOW);
    site.Window = hostWindow;
    site.Frame.Window = hostWindow;
  }
  void TearDown() override {
    if (hostWindow) DestroyWindow(hostWindow);
    HeadlessGuiTest::TearDown();
  }

  TSitedForm* NewSitedForm() {
    auto* made = new TSitedForm(nullptr);
    made->LoadFromDescription(kSitedFormDescription);
    made->InitForm();
    form = made;
    return made;
  }

  TRef<IUnknown> Create() {
    void* made = nullptr;
    EXPECT_EQ(TActiveFormControl::CreateInstance(info, nullptr, IID_IUnknown, &made), S_OK);
    return TRef<IUnknown>(static_cast<IUnknown*>(made));
  }

  template <class T>
  static TRef<T> As(const TRef<IUnknown>& control, REFIID iid) {
    auto face = Query<T>(control.get(), iid);
    EXPECT_TRUE(face);
    return face;
  }

  TActiveFormFactoryInfo info;
  TSitedForm* form = nullptr;  // the form of the control made last
  HWND hostWindow = nullptr;
  TTestSite site;
};

}  // namespace qorv::test::ole
