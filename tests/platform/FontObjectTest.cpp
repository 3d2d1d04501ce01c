// The standard font object: what it is made from, the change notifications
// its connection point sends (once per real change, to sinks that may leave
// while told), its automation face by name and dispid, and refused values
// that leave the font as it was.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

#include "ComTestSupport.h"
#include "olectl.h"

namespace {

using qorv::test::Bstr;
using qorv::test::ComPtr;
using qorv::test::Variant;
using qorv::test::Wide;

// Records every change it is told of; may act while told.
class TRecordingSink final : public IPropertyNotifySink {
 public:
  std::vector<DISPID> Changes;
  std::function<void()> WhenTold;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IPropertyNotifySink) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    Changes.push_back(id);
    if (WhenTold) WhenTold();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
  // References the font object still holds (the test owns the sink itself).
  ULONG HeldByOthers() const { return references_ - 1; }

 private:
  std::atomic<ULONG> references_{1};
};

FONTDESC Description(const char16_t* name, LONGLONG size, SHORT weight) {
  FONTDESC d{};
  d.cbSizeofstruct = sizeof d;
  d.lpstrName = const_cast<LPOLESTR>(name);
  d.cySize.int64 = size;
  d.sWeight = weight;
  d.sCharset = 178;
  d.fItalic = TRUE;
  return d;
}

ComPtr<IFont> MakeFont() {
  FONTDESC d = Description(u"Times New Roman", 120000, FW_NORMAL);
  ComPtr<IFont> font;
  EXPECT_EQ(OleCreateFontIndirect(&d, IID_IFont, font.PutVoid()), S_OK);
  return font;
}

ComPtr<IConnectionPoint> NotifyPoint(IFont* font) {
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(font->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
  ComPtr<IConnectionPoint> point;
  if (container) {
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, point.Put()), S_OK);
  }
  return point;
}

// The description is taken whole; a null one gives the standard control font.
TEST(FontObject, TakesItsDescription) {
  ComPtr<IFont> font = MakeFont();
  ASSERT_TRUE(font);
  Bstr name;
  ASSERT_EQ(font->get_Name(name.Put()), S_OK);
  EXPECT_EQ(name.Text(), "Times New Roman");
  CY size{};
  ASSERT_EQ(font->get_Size(&size), S_OK);
  EXPECT_EQ(size.int64, 120000);
  BOOL italic = FALSE, bold = TRUE;
  font->get_Italic(&italic);
  font->get_Bold(&bold);
  EXPECT_TRUE(italic);
  EXPECT_FALSE(bold);
  SHORT charset = 0;
  font->get_Charset(&charset);
  EXPECT_EQ(charset, 178);

  ComPtr<IFont> standard;
  ASSERT_EQ(OleCreateFontIndirect(nullptr, IID_IFont, standard.PutVoid()), S_OK);
  ASSERT_EQ(standard->get_Name(name.Put()), S_OK);
  EXPECT_EQ(name.Text(), "MS Sans Serif");
  standard->get_Size(&size);
  EXPECT_EQ(size.int64, 80000);
}

// Bad requests are refused with nothing handed out.
TEST(FontObject, RefusesBadCreationRequests) {
  FONTDESC d = Description(u"Arial", 80000, FW_NORMAL);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(OleCreateFontIndirect(&d, IID_IFont, nullptr), E_POINTER);
  EXPECT_EQ(OleCreateFontIndirect(&d, IID_IStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  d.cbSizeofstruct = sizeof d - 1;
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(OleCreateFontIndirect(&d, IID_IFont, &object), E_INVALIDARG);
  EXPECT_EQ(object, nullptr);
  d.cbSizeofstruct = sizeof d;
  d.cySize.int64 = -1;
  EXPECT_EQ(OleCreateFontIndirect(&d, IID_IFont, &object), E_INVALIDARG);
}

// One interface set, one identity: the automation face and the container
// lead back to the same object.
TEST(FontObject, FacesShareOneIdentity) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IUnknown> a, b;
  ComPtr<IFontDisp> disp;
  ASSERT_EQ(font->QueryInterface(IID_IFontDisp, disp.PutVoid()), S_OK);
  ASSERT_EQ(font->QueryInterface(IID_IUnknown, a.PutVoid()), S_OK);
  ASSERT_EQ(disp->QueryInterface(IID_IUnknown, b.PutVoid()), S_OK);
  EXPECT_EQ(a.Get(), b.Get());
  ComPtr<IConnectionPoint> point = NotifyPoint(font.Get());
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(point->GetConnectionPointContainer(back.Put()), S_OK);
  ComPtr<IUnknown> c;
  back->QueryInterface(IID_IUnknown, c.PutVoid());
  EXPECT_EQ(c.Get(), a.Get());
}

// Each real change is told once with its dispid; writing the value the font
// already has tells nothing (so two linked fonts cannot echo forever), and
// Bold is the weight seen from the other side.
TEST(FontObject, TellsEachRealChangeOnce) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IConnectionPoint> point = NotifyPoint(font.Get());
  TRecordingSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(cookie, 1u);

  Bstr arial("Arial");
  EXPECT_EQ(font->put_Name(arial.Get()), S_OK);
  EXPECT_EQ(font->put_Name(arial.Get()), S_OK);
  EXPECT_EQ(font->put_Bold(TRUE), S_OK);
  SHORT weight = 0;
  font->get_Weight(&weight);
  EXPECT_EQ(weight, FW_BOLD);
  EXPECT_EQ(font->put_Weight(FW_SEMIBOLD), S_OK);
  BOOL bold = FALSE;
  font->get_Bold(&bold);
  EXPECT_TRUE(bold) << "semibold reads as bold";
  EXPECT_EQ(font->put_Italic(TRUE), S_OK) << "already italic";
  EXPECT_EQ(sink.Changes, (std::vector<DISPID>{DISPID_FONT_NAME, DISPID_FONT_BOLD, DISPID_FONT_WEIGHT}));

  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(sink.HeldByOthers(), 0u) << "the point let go of the sink";
  font->put_Underline(TRUE);
  EXPECT_EQ(sink.Changes.size(), 3u) << "nothing after Unadvise";
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(99), CONNECT_E_NOCONNECTION);
}

// Sinks that leave while they are told: the one leaving and the one after it
// are both told this change; afterwards only those still there hear.
TEST(FontObject, SinkMayLeaveWhileTold) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IConnectionPoint> point = NotifyPoint(font.Get());
  TRecordingSink leaving, staying;
  DWORD leavingCookie = 0, stayingCookie = 0;
  ASSERT_EQ(point->Advise(&leaving, &leavingCookie), S_OK);
  ASSERT_EQ(point->Advise(&staying, &stayingCookie), S_OK);
  EXPECT_NE(leavingCookie, stayingCookie);
  leaving.WhenTold = [&] { point->Unadvise(leavingCookie); };
  font->put_Strikethrough(TRUE);
  font->put_Strikethrough(FALSE);
  EXPECT_EQ(leaving.Changes.size(), 1u);
  EXPECT_EQ(staying.Changes.size(), 2u);
  EXPECT_EQ(leaving.HeldByOthers(), 0u);
  EXPECT_EQ(point->Unadvise(stayingCookie), S_OK);
}

// The last outside reference may go while a sink is told: the font lives
// until the notification is over.
TEST(FontObject, SurvivesReleaseInsideNotification) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IConnectionPoint> point = NotifyPoint(font.Get());
  TRecordingSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  IFont* raw = font.Get();
  IConnectionPoint* rawPoint = point.Get();
  sink.WhenTold = [&] {
    rawPoint->Unadvise(cookie);
    point.Reset();
    font.Reset();
  };
  raw->AddRef();  // the caller's own reference for the call
  EXPECT_EQ(raw->put_Charset(0), S_OK);
  EXPECT_EQ(raw->Release(), 0u);
}

// Sinks that are not property change sinks cannot connect; null arguments
// are refused.
TEST(FontObject, ConnectionPointRefusesStrangers) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IConnectionPoint> point = NotifyPoint(font.Get());
  DWORD cookie = 7;
  EXPECT_EQ(point->Advise(font.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
  TRecordingSink sink;
  EXPECT_EQ(point->Advise(&sink, nullptr), E_POINTER);
  IID iid{};
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, IID_IPropertyNotifySink);
  ComPtr<IConnectionPointContainer> container;
  font->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
  ComPtr<IConnectionPoint> other;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, other.Put()), CONNECT_E_NOCONNECTION);
  EXPECT_FALSE(other);
}

// Values the font cannot take are refused, and the font keeps what it had.
TEST(FontObject, RefusedValuesChangeNothing) {
  ComPtr<IFont> font = MakeFont();
  EXPECT_EQ(font->put_Name(nullptr), CTL_E_INVALIDPROPERTYVALUE);
  CY negative{};
  negative.int64 = -10000;
  EXPECT_EQ(font->put_Size(negative), CTL_E_INVALIDPROPERTYVALUE);
  EXPECT_EQ(font->put_Weight(-1), CTL_E_INVALIDPROPERTYVALUE);
  EXPECT_EQ(font->put_Weight(1001), CTL_E_INVALIDPROPERTYVALUE);
  Bstr name;
  font->get_Name(name.Put());
  EXPECT_EQ(name.Text(), "Times New Roman");
  CY size{};
  font->get_Size(&size);
  EXPECT_EQ(size.int64, 120000);
  EXPECT_EQ(font->get_Name(nullptr), E_POINTER);
  EXPECT_EQ(font->get_Size(nullptr), E_POINTER);
  HFONT handle = reinterpret_cast<HFONT>(1);
  EXPECT_EQ(font->get_hFont(&handle), E_NOTIMPL) << "no GDI handles here";
  EXPECT_EQ(handle, nullptr);
}

// A clone starts equal and goes its own way.
TEST(FontObject, CloneIsEqualAndIndependent) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IFont> copy;
  ASSERT_EQ(font->Clone(copy.Put()), S_OK);
  EXPECT_EQ(font->IsEqual(copy.Get()), S_OK);
  copy->put_Underline(TRUE);
  EXPECT_EQ(font->IsEqual(copy.Get()), S_FALSE);
  BOOL underline = TRUE;
  font->get_Underline(&underline);
  EXPECT_FALSE(underline);
  EXPECT_EQ(font->IsEqual(nullptr), E_POINTER);
}

HRESULT Put(IDispatch* disp, DISPID id, VARIANT value, UINT* argErr = nullptr) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  return disp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, argErr);
}

HRESULT Get(IDispatch* disp, DISPID id, VARIANT* result) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return disp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
}

// Scripts reach every property by name, ignoring case; the size comes back
// as currency and may be put as a plain number of points.
TEST(FontObjectDispatch, PropertiesByName) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IFontDisp> disp;
  ASSERT_EQ(font->QueryInterface(IID_IFontDisp, disp.PutVoid()), S_OK);
  const char* names[] = {"Name", "size", "BOLD", "Italic", "Underline", "Strikethrough", "Weight", "Charset"};
  const DISPID ids[] = {0, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 8; ++i) {
    std::u16string wide = Wide(names[i]);
    LPOLESTR name = wide.data();
    DISPID id = 99;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << names[i];
    EXPECT_EQ(id, ids[i]) << names[i];
  }
  std::u16string unknown = u"Colour";
  LPOLESTR unknownName = unknown.data();
  DISPID id = 99;
  EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &unknownName, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  Variant size;
  ASSERT_EQ(Get(disp.Get(), DISPID_FONT_SIZE, &size), S_OK);
  EXPECT_EQ(size->vt, VT_CY);
  EXPECT_EQ(size->llVal, 120000);
  VARIANT points{};
  points.vt = VT_I4;
  points.lVal = 15;
  EXPECT_EQ(Put(disp.Get(), DISPID_FONT_SIZE, points), S_OK);
  CY cy{};
  font->get_Size(&cy);
  EXPECT_EQ(cy.int64, 150000);
  VARIANT fraction{};
  fraction.vt = VT_R8;
  fraction.dblVal = 9.75;
  EXPECT_EQ(Put(disp.Get(), DISPID_FONT_SIZE, fraction), S_OK);
  font->get_Size(&cy);
  EXPECT_EQ(cy.int64, 97500);

  Bstr tahoma("Tahoma");
  VARIANT name{};
  name.vt = VT_BSTR;
  name.bstrVal = tahoma.Get();
  EXPECT_EQ(Put(disp.Get(), DISPID_FONT_NAME, name), S_OK);
  Variant got;
  ASSERT_EQ(Get(disp.Get(), DISPID_FONT_NAME, &got), S_OK);
  ASSERT_EQ(got->vt, VT_BSTR);
  EXPECT_EQ(qorv::test::Narrow(got->bstrVal), "Tahoma");

  VARIANT yes{};
  yes.vt = VT_BOOL;
  yes.boolVal = VARIANT_TRUE;
  EXPECT_EQ(Put(disp.Get(), DISPID_FONT_BOLD, yes), S_OK);
  Variant weight;
  ASSERT_EQ(Get(disp.Get(), DISPID_FONT_WEIGHT, &weight), S_OK);
  EXPECT_EQ(weight->vt, VT_I2);
  EXPECT_EQ(weight->iVal, FW_BOLD);
}

// Wrong calls get the dispatch errors a script host reports, and change nothing.
TEST(FontObjectDispatch, WrongCallsAreRefused) {
  ComPtr<IFont> font = MakeFont();
  ComPtr<IFontDisp> disp;
  ASSERT_EQ(font->QueryInterface(IID_IFontDisp, disp.PutVoid()), S_OK);
  Bstr word("plenty");
  VARIANT text{};
  text.vt = VT_BSTR;
  text.bstrVal = word.Get();
  UINT argErr = 9;
  EXPECT_EQ(Put(disp.Get(), DISPID_FONT_BOLD, text, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  Variant result;
  EXPECT_EQ(Get(disp.Get(), 1, &result), DISP_E_MEMBERNOTFOUND);
  DISPPARAMS twoArgs{nullptr, nullptr, 2, 0};
  VARIANT args[2] = {};
  twoArgs.rgvarg = args;
  EXPECT_EQ(disp->Invoke(DISPID_FONT_BOLD, IID_NULL, 0, DISPATCH_PROPERTYGET, &twoArgs, &result, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPPARAMS noArgs{nullptr, nullptr, 0, 0};
  EXPECT_EQ(disp->Invoke(DISPID_FONT_BOLD, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noArgs, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(disp->Invoke(DISPID_FONT_BOLD, IID_IFont, 0, DISPATCH_PROPERTYGET, &noArgs, &result, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
  UINT count = 5;
  EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  BOOL bold = TRUE;
  font->get_Bold(&bold);
  EXPECT_FALSE(bold);
}

}  // namespace
