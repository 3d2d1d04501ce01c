// The recorder's control in a host: put in place in the host's window,
// drawn into the host's device context as the form looks, and its state
// saved and loaded through a stream, with a damaged stream refused.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActiveFormControl.h"
#include "QorvImpl1.h"
#include "QorvXControlSupport.h"
#include "objbase.h"
#include "substitutedevice.h"
#include "systemroot.h"
#include "wingdi.h"

#ifdef QORV_CONTROL_TYPELIB

namespace {

// The least of a container: a client site that is its own in-place site
// over one window, giving the rectangle the control may fill.
class TMinimalSite final : public IOleClientSite, public IOleInPlaceSite {
 public:
  TMinimalSite(HWND window, RECT place) : window_(window), place_(place) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
      *ppv = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow) {
      *ppv = static_cast<IOleInPlaceSite*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override {
    *ppmk = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** ppContainer) override {
    *ppContainer = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
    *phwnd = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                             LPRECT lprcPosRect, LPRECT lprcClipRect, LPOLEINPLACEFRAMEINFO) override {
    *ppFrame = nullptr;
    *ppDoc = nullptr;
    *lprcPosRect = place_;
    *lprcClipRect = place_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
  long References() const { return refs_; }

 private:
  HWND window_;
  RECT place_;
  long refs_ = 1;
};

class QorvXOle : public QorvXControlFixture {
 protected:
  void SetUp() override {
    LoadControlClass();
    if (HasFatalFailure()) return;
    info.MiscStatus = 0x32191;
  }
  void TearDown() override { ReleaseControlClass(); }

  TRef<IUnknown> Create() {
    void* made = nullptr;
    EXPECT_EQ(TActiveFormControl::CreateInstance(info, nullptr, IID_IUnknown, &made), S_OK);
    return TRef<IUnknown>(static_cast<IUnknown*>(made));
  }

  static HWND HostWindow() {
    static const bool registered = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = DefWindowProcA;
      wc.lpszClassName = "QorvXOleHost";
      return RegisterClassA(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    HWND window =
        CreateWindowExA(0, "QorvXOleHost", "host", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    return window;
  }

  std::shared_ptr<qorv::platform::SubstituteDevice> recorder = qorv::platform::SubstituteDevice::Create("recorder");
};

TEST_F(QorvXOle, SitedInPlaceAndDrawnByTheHostAsTheFormLooks) {
  auto control = Create();
  HWND host = HostWindow();
  TMinimalSite site(host, RECT{12, 8, 12 + 58, 8 + 61});
  {
    auto object = Query<IOleObject>(control.get(), IID_IOleObject);
    ASSERT_EQ(object->SetClientSite(&site), S_OK);
    ASSERT_EQ(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, nullptr), S_OK);
    EXPECT_EQ(GetParent(form->Handle()), host);
    EXPECT_EQ(form->Left(), 12);
    EXPECT_EQ(form->Width(), 58);

    BITMAPINFO bits{};
    bits.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bits.bmiHeader.biWidth = form->Width();
    bits.bmiHeader.biHeight = form->Height();
    bits.bmiHeader.biPlanes = 1;
    bits.bmiHeader.biBitCount = 32;
    bits.bmiHeader.biCompression = BI_RGB;
    HBITMAP bitmap = CreateDIBSection(nullptr, &bits, DIB_RGB_COLORS, nullptr, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const RECTL bounds{0, 0, form->Width(), form->Height()};
    auto view = Query<IViewObject>(control.get(), IID_IViewObject);
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    auto own = form->PaintToSurface();
    int differing = 0;
    for (int y = 0; y < form->Height(); ++y) {
      for (int x = 0; x < form->Width(); ++x) {
        const COLORREF c = GetPixel(dc, x, y);
        differing += (((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF)) != own->Pixel(x, y);
      }
    }
    EXPECT_EQ(differing, 0) << "picture and label as the form paints them";
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);

    ASSERT_EQ(Query<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
    ASSERT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    object->SetClientSite(nullptr);
  }
  control.reset();
  EXPECT_EQ(site.References(), 1);
  DestroyWindow(host);
}

TEST_F(QorvXOle, PropertiesPutThroughIQorvXAreSavedAndLoadedIntoAnotherControl) {
  auto first = Create();
  TQorvX* firstForm = form;
  auto persist = Query<IPersistStreamInit>(first.get(), IID_IPersistStreamInit);
  ASSERT_EQ(persist->InitNew(), S_OK);
  auto dual = Query<IQorvX>(first.get(), IID_IQorvX);
  BSTR caption = SysAllocString(u"Line 1");
  ASSERT_EQ(dual->put_Caption(caption), S_OK);
  SysFreeString(caption);
  ASSERT_EQ(dual->put_Color(0x80000005), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK) << "a change through the dual interface is unsaved";

  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  TRef<IStream> held(stream);
  ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);

  auto second = Create();
  TQorvX* secondForm = form;
  ASSERT_NE(secondForm, firstForm);
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(Query<IPersistStreamInit>(second.get(), IID_IPersistStreamInit)->Load(stream), S_OK);
  auto secondDual = Query<IQorvX>(second.get(), IID_IQorvX);
  BSTR loaded = nullptr;
  ASSERT_EQ(secondDual->get_Caption(&loaded), S_OK);
  EXPECT_EQ(std::u16string(loaded ? loaded : u""), u"Line 1");
  SysFreeString(loaded);
  OLE_COLOR color = 0;
  ASSERT_EQ(secondDual->get_Color(&color), S_OK);
  EXPECT_EQ(color, 0x80000005u);
  EXPECT_EQ(secondForm->Label1->Caption(), "QorvX") << "the label is the form's part, not the control's state";

  // The same stream cut in the middle changes nothing in a third control.
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::string bytes(static_cast<std::size_t>(stat.cbSize.QuadPart), '\0');
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  IStream* cut = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &cut), S_OK);
  TRef<IStream> cutHeld(cut);
  cut->Write(bytes.data(), static_cast<ULONG>(bytes.size() / 2), nullptr);
  cut->Seek(start, STREAM_SEEK_SET, nullptr);
  auto third = Create();
  const std::string captionBefore = form->Caption();
  EXPECT_EQ(Query<IPersistStreamInit>(third.get(), IID_IPersistStreamInit)->Load(cut),
            static_cast<HRESULT>(0x800A0141u));
  EXPECT_EQ(form->Caption(), captionBefore);
}

}  // namespace

#endif  // QORV_CONTROL_TYPELIB
