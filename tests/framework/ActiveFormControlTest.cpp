// The control object of an active form, seen the way a host sees it: one
// identity over the form and the control, aggregation, IDispatch through the
// type description, error information, the two connection points with their
// event rules, and the small contracts (property pages, browsing, safety).
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "ActiveFormTestControl.h"
#include "HeadlessGuiTest.h"
#include "objbase.h"

namespace {

std::u16string Wide(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

std::string Narrow(BSTR text) {
  std::string result;
  for (UINT i = 0; i < SysStringLen(text); ++i) result += static_cast<char>(text[i]);
  return result;
}

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

class ActiveFormControl : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    const std::u16string path = Wide(QORV_ACTIVE_FORM_TEST_TLB);
    ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_TestForm, &classInfo), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_ITestForm, &dispatchInfo), S_OK);
    info.ClassID = CLSID_TestForm;
    info.ClassName = "TestForm";
    info.Description = "Test Form Control";
    info.ProgID = "ActiveFormTestLib.TestForm";
    info.DispatchIID = IID_ITestForm;
    info.EventIID = DIID_ITestFormEvents;
    info.ClassTypeInfo = classInfo;
    info.DispatchTypeInfo = dispatchInfo;
    info.CreateForm = [this]() -> TActiveForm* {
      form = NewForm<TTestForm>(nullptr);
      return form;
    };
    info.LiveObjects = &liveObjects;
  }
  void TearDown() override {
    if (dispatchInfo) dispatchInfo->Release();
    if (classInfo) classInfo->Release();
    if (library) library->Release();
    HeadlessGuiTest::TearDown();
  }

  TRef<IUnknown> Create() {
    void* made = nullptr;
    EXPECT_EQ(TActiveFormControl::CreateInstance(info, nullptr, IID_IUnknown, &made), S_OK);
    return TRef<IUnknown>(static_cast<IUnknown*>(made));
  }

  TRef<IConnectionPoint> Point(IUnknown* control, REFIID iid) {
    auto container = Query<IConnectionPointContainer>(control, IID_IConnectionPointContainer);
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(container->FindConnectionPoint(iid, &point), S_OK);
    return TRef<IConnectionPoint>(point);
  }

  ITypeLib* library = nullptr;
  ITypeInfo* classInfo = nullptr;
  ITypeInfo* dispatchInfo = nullptr;
  TActiveFormFactoryInfo info;
  volatile LONG liveObjects = 0;
  TTestForm* form = nullptr;
};

// ---- creation, identity, aggregation ----

TEST_F(ActiveFormControl, CreationBuildsTheFormParkedAndCountsTheObject) {
  auto control = Create();
  ASSERT_TRUE(control);
  EXPECT_EQ(liveObjects, 1);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->Creations, 1) << "the creation event runs once, before any sink";
  EXPECT_EQ(form->Site(), nullptr);
  EXPECT_EQ(GetParent(form->Handle()), form->ParkingWindow());
  control.reset();
  EXPECT_EQ(liveObjects, 0) << "the last release frees the object and its form";
}

TEST_F(ActiveFormControl, EveryInterfaceGivesTheSameIdentityAndIDispatchIsTheForms) {
  auto control = Create();
  const IID listed[] = {
      IID_IDispatch,           IID_ISupportErrorInfo, IID_IProvideClassInfo,         IID_IOleObject,
      IID_IOleControl,         IID_IOleInPlaceObject, IID_IOleInPlaceActiveObject,   IID_IViewObject,
      IID_IViewObject2,        IID_IDataObject,       IID_IPersistStreamInit,        IID_IPersistStorage,
      IID_IPersistPropertyBag, IID_IQuickActivate,    IID_ISpecifyPropertyPages,     IID_IPerPropertyBrowsing,
      IID_ISimpleFrameSite,    IID_IObjectSafety,     IID_IConnectionPointContainer, IID_ITestForm};
  for (const IID& iid : listed) {
    auto face = Query<IUnknown>(control.get(), iid);
    ASSERT_TRUE(face) << "interface " << std::hex << iid.Data1;
    auto identity = Query<IUnknown>(face.get(), IID_IUnknown);
    EXPECT_EQ(identity.get(), control.get()) << "interface " << std::hex << iid.Data1;
  }
  // The form is asked first: IDispatch is the form's dual interface.
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  auto dual = Query<ITestForm>(control.get(), IID_ITestForm);
  EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(dual.get()));
  EXPECT_EQ(static_cast<void*>(dual.get()), static_cast<void*>(static_cast<ITestForm*>(form)));

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(control->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(control->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(ActiveFormControl, ReferencesTakenThroughTheFormKeepTheControlAlive) {
  auto control = Create();
  ITestForm* dual = Query<ITestForm>(control.get(), IID_ITestForm).release();
  control.reset();
  EXPECT_EQ(liveObjects, 1) << "the form's interface holds the one reference count";
  LONG count = -1;
  EXPECT_EQ(dual->put_Count(12), S_OK);
  EXPECT_EQ(dual->get_Count(&count), S_OK);
  EXPECT_EQ(count, 12);
  dual->Release();
  EXPECT_EQ(liveObjects, 0);
}

// An outer object that counts its references and answers only IUnknown.
class TOuter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
  IUnknown* inner = nullptr;
  long refs = 1;
};

TEST_F(ActiveFormControl, AggregationTakesOnlyIUnknownAndDelegatesToTheOuterObject) {
  TOuter outer;
  void* made = reinterpret_cast<void*>(1);
  EXPECT_EQ(TActiveFormControl::CreateInstance(info, &outer, IID_IDispatch, &made), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(liveObjects, 0) << "nothing is created for a refused aggregation";

  ASSERT_EQ(TActiveFormControl::CreateInstance(info, &outer, IID_IUnknown, &made), S_OK);
  outer.inner = static_cast<IUnknown*>(made);
  EXPECT_EQ(outer.refs, 1) << "the inner unknown does not count on the outer object";

  void* oleObject = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IOleObject, &oleObject), S_OK);
  EXPECT_EQ(outer.refs, 2) << "interfaces of the aggregate count on the outer object";
  void* identity = nullptr;
  ASSERT_EQ(static_cast<IOleObject*>(oleObject)->QueryInterface(IID_IUnknown, &identity), S_OK);
  EXPECT_EQ(identity, &outer) << "the aggregate's identity is the outer object";
  outer.Release();
  static_cast<IOleObject*>(oleObject)->Release();
  EXPECT_EQ(outer.refs, 1);

  EXPECT_EQ(liveObjects, 1);
  outer.inner->Release();
  EXPECT_EQ(liveObjects, 0) << "releasing the inner unknown frees the control";
}

TEST_F(ActiveFormControl, CreationFailuresLeaveNoObjectBehind) {
  EXPECT_EQ(TActiveFormControl::CreateInstance(info, nullptr, IID_IDispatch, nullptr), E_POINTER);

  void* made = reinterpret_cast<void*>(1);
  EXPECT_EQ(TActiveFormControl::CreateInstance(info, nullptr, IID_IClassFactory, &made), E_NOINTERFACE);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(liveObjects, 0) << "an object that does not answer is freed again";

  info.CreateForm = []() -> TActiveForm* { throw Exception("Form description is damaged"); };
  EXPECT_THROW(TActiveFormControl::CreateInstance(info, nullptr, IID_IUnknown, &made), Exception);
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(liveObjects, 0) << "a form that cannot be built leaves no control";
}

// ---- IDispatch through the type description ----

TEST_F(ActiveFormControl, TypeInformationHasOneEntry) {
  auto control = Create();
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* info0 = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info0), DISP_E_BADINDEX);
  EXPECT_EQ(info0, nullptr);
  ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info0), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info0->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, IID_ITestForm);
  info0->ReleaseTypeAttr(attr);
  info0->Release();

  std::u16string name = Wide("count");
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_ITestForm, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
}

HRESULT InvokeOne(IDispatch* dispatch, DISPID id, WORD flags, VARIANT* argument, VARIANT* result = nullptr,
                  EXCEPINFO* excep = nullptr) {
  DISPID named = DISPID_PROPERTYPUT;
  const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  DISPPARAMS params{argument, put ? &named : nullptr, argument ? 1u : 0u, put ? 1u : 0u};
  UINT argErr = 0;
  return dispatch->Invoke(id, IID_NULL, 0, flags, &params, result, excep, &argErr);
}

TEST_F(ActiveFormControl, InvokeCallsTheFormsMembersWithEitherPutFlag) {
  auto control = Create();
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = 41;
  ASSERT_EQ(InvokeOne(dispatch.get(), 1, DISPATCH_PROPERTYPUT, &value), S_OK);
  EXPECT_EQ(form->Count, 41);
  // A put-by-reference request reaches a property that has only a put ...
  value.lVal = 42;
  ASSERT_EQ(InvokeOne(dispatch.get(), 1, DISPATCH_PROPERTYPUTREF, &value), S_OK);
  EXPECT_EQ(form->Count, 42);
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(InvokeOne(dispatch.get(), 1, DISPATCH_PROPERTYGET, nullptr, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 42);

  // ... and a put request one that has only a put-by-reference.
  VARIANT peer;
  VariantInit(&peer);
  peer.vt = VT_DISPATCH;
  peer.pdispVal = nullptr;
  ASSERT_EQ(InvokeOne(dispatch.get(), 3, DISPATCH_PROPERTYPUT, &peer), S_OK);
  ASSERT_EQ(form->Calls.size(), 1u);
  EXPECT_EQ(form->Calls.back(), "putref_Target");

  EXPECT_EQ(dispatch->Invoke(1, IID_ITestForm, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST_F(ActiveFormControl, InvokeRefusesWrongArgumentsWithoutCallingTheMember) {
  auto control = Create();
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  VARIANT text;
  VariantInit(&text);
  std::u16string letters = Wide("twelve");
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocString(letters.c_str());
  EXPECT_EQ(InvokeOne(dispatch.get(), 1, DISPATCH_PROPERTYPUT, &text), DISP_E_TYPEMISMATCH);
  VariantClear(&text);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(dispatch->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(form->Count, 0);
}

// ---- failures and error information ----

TEST_F(ActiveFormControl, AFailedMemberLeavesErrorInformationForTheDualInterface) {
  auto control = Create();
  auto dual = Query<ITestForm>(control.get(), IID_ITestForm);
  std::u16string message = Wide("Port is not open");
  BSTR text = SysAllocString(message.c_str());
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(dual->Fail(text), E_UNEXPECTED);
  SysFreeString(text);
  IErrorInfo* error = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
  GUID guid{};
  BSTR source = nullptr, description = nullptr, helpFile = nullptr;
  DWORD context = 0;
  error->GetGUID(&guid);
  error->GetSource(&source);
  error->GetDescription(&description);
  error->GetHelpFile(&helpFile);
  error->GetHelpContext(&context);
  error->Release();
  EXPECT_EQ(guid, IID_ITestForm);
  EXPECT_EQ(Narrow(source), "ActiveFormTestLib.TestForm");
  EXPECT_EQ(Narrow(description), "Port is not open");
  EXPECT_EQ(SysStringLen(helpFile), 0u);
  EXPECT_EQ(context, 7u);
  SysFreeString(source);
  SysFreeString(description);
  SysFreeString(helpFile);

  // A COM error keeps its own failure; anything else becomes E_UNEXPECTED.
  EXPECT_EQ(dual->FailWith(static_cast<LONG>(E_ACCESSDENIED)), E_ACCESSDENIED);
  EXPECT_EQ(dual->FailWith(1), E_UNEXPECTED);

  auto support = Query<ISupportErrorInfo>(control.get(), IID_ISupportErrorInfo);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ITestForm), S_FALSE);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IOleObject), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IConnectionPointContainer), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
}

TEST_F(ActiveFormControl, AFailedMemberReachesADispatchCallerAsAnException) {
  auto control = Create();
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  std::u16string message = Wide("Line is busy");
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = SysAllocString(message.c_str());
  DISPPARAMS params{&argument, nullptr, 1, 0};
  EXCEPINFO excep{};
  EXPECT_EQ(dispatch->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, nullptr), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_UNEXPECTED);
  EXPECT_EQ(Narrow(excep.bstrSource), "ActiveFormTestLib.TestForm");
  EXPECT_EQ(Narrow(excep.bstrDescription), "Line is busy");
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  VariantClear(&argument);
}

TEST_F(ActiveFormControl, ClassInformationIsTheCoclass) {
  auto control = Create();
  auto provide = Query<IProvideClassInfo>(control.get(), IID_IProvideClassInfo);
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(provide->GetClassInfo(&coclass), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, CLSID_TestForm);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  coclass->ReleaseTypeAttr(attr);
  coclass->Release();
  EXPECT_EQ(provide->GetClassInfo(nullptr), E_POINTER);
}

// ---- connection points and events ----

TEST_F(ActiveFormControl, TheContainerHoldsTheEventAndPropertyChangePoints) {
  auto control = Create();
  auto container = Query<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
  IEnumConnectionPoints* points = nullptr;
  ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
  IConnectionPoint* got[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  IID first{}, second{};
  got[0]->GetConnectionInterface(&first);
  got[1]->GetConnectionInterface(&second);
  EXPECT_EQ(first, DIID_ITestFormEvents);
  EXPECT_EQ(second, IID_IPropertyNotifySink);
  IConnectionPointContainer* back = nullptr;
  ASSERT_EQ(got[0]->GetConnectionPointContainer(&back), S_OK);
  EXPECT_EQ(static_cast<void*>(back), static_cast<void*>(container.get()));
  back->Release();
  got[0]->Release();
  got[1]->Release();
  points->Release();

  IConnectionPoint* none = reinterpret_cast<IConnectionPoint*>(1);
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(none, nullptr);
}

TEST_F(ActiveFormControl, OneEventSinkAtATimeAndOnCreateOnlyForTheFirst) {
  auto control = Create();
  auto point = Point(control.get(), DIID_ITestFormEvents);
  TRecordingSink first, second, deaf(false);

  DWORD cookie = 0;
  EXPECT_EQ(point->Advise(&deaf, &cookie), E_NOINTERFACE);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(deaf.References(), 1) << "a refused sink is not kept";

  ASSERT_EQ(point->Advise(&first, &cookie), S_OK);
  EXPECT_EQ(cookie, 1u) << "position in the list plus 1";
  EXPECT_EQ(first.Events, std::vector<DISPID>{kOnCreate});
  EXPECT_EQ(first.Flags, std::vector<WORD>{DISPATCH_METHOD});

  DWORD refused = 99;
  EXPECT_EQ(point->Advise(&second, &refused), static_cast<HRESULT>(0x80040202u));
  EXPECT_EQ(refused, 0u);
  EXPECT_EQ(second.References(), 1);
  form->OnClick(form);
  EXPECT_EQ(first.Events.back(), kOnClick) << "the connected sink stays";

  EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_FALSE(form->HasSink());
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(first.References(), 1) << "a disconnected sink is released whole";

  ASSERT_EQ(point->Advise(&second, &cookie), S_OK);
  EXPECT_TRUE(second.Events.empty()) << "OnCreate goes out at the first connection only";
  EXPECT_EQ(form->Creations, 1) << "the description's creation handler never runs again";
  form->OnClick(form);
  EXPECT_EQ(second.Events, std::vector<DISPID>{kOnClick});
  EXPECT_EQ(first.Events.size(), 2u) << "nothing more reaches a disconnected sink";
  point->Unadvise(cookie);
}

// A connection the form cannot take is undone whole: E_UNEXPECTED, the sink
// let go, and the point free for the next sink.
TEST_F(ActiveFormControl, AConnectionTheFormRefusesLeavesNothingConnected) {
  auto control = Create();
  auto point = Point(control.get(), DIID_ITestFormEvents);
  TRecordingSink refused, later;
  form->RefuseSinks = true;
  DWORD cookie = 99;
  EXPECT_EQ(point->Advise(&refused, &cookie), E_UNEXPECTED);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(refused.References(), 1);
  EXPECT_TRUE(refused.Events.empty());
  form->RefuseSinks = false;
  ASSERT_EQ(point->Advise(&later, &cookie), S_OK);
  EXPECT_EQ(cookie, 1u);
  EXPECT_EQ(later.Events, std::vector<DISPID>{kOnCreate});
  point->Unadvise(cookie);
}

TEST_F(ActiveFormControl, ASinksFailureNeverReachesTheForm) {
  auto control = Create();
  auto point = Point(control.get(), DIID_ITestFormEvents);
  TRecordingSink sink;
  sink.FailWith = E_FAIL;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  form->OnClick(form);
  char key = 'q';
  form->OnKeyPress(form, key);
  EXPECT_EQ(sink.Events, (std::vector<DISPID>{kOnCreate, kOnClick, kOnKeyPress}));
  EXPECT_EQ(key, 'q');

  // The wrapper itself: success whatever the sink said, and it answers the
  // event interface on the sink's behalf.
  IDispatch* silencer = NewDispatchSilencer(&sink, DIID_ITestFormEvents);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(silencer->Invoke(kOnClick, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  void* face = nullptr;
  EXPECT_EQ(silencer->QueryInterface(DIID_ITestFormEvents, &face), S_OK);
  EXPECT_EQ(face, silencer);
  static_cast<IDispatch*>(face)->Release();
  EXPECT_EQ(silencer->QueryInterface(IID_IOleObject, &face), E_NOINTERFACE);
  silencer->Release();
  point->Unadvise(cookie);
  EXPECT_EQ(sink.References(), 1);
}

TEST_F(ActiveFormControl, TheSinkCanChangeThePressedKey) {
  auto control = Create();
  auto point = Point(control.get(), DIID_ITestFormEvents);
  TRecordingSink sink;
  const SHORT replacement = 0x0141;
  sink.ReplaceKey = &replacement;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  char key = static_cast<char>(0xE9);  // a character above 127 travels zero-extended
  form->OnKeyPress(form, key);
  ASSERT_EQ(sink.KeysSeen.size(), 1u);
  EXPECT_EQ(sink.KeysSeen[0], 0xE9);
  EXPECT_EQ(key, 'A') << "the low 8 bits of what the sink left";
  point->Unadvise(cookie);
}

TEST_F(ActiveFormControl, ASinkMayDisconnectItselfInsideAnEvent) {
  auto control = Create();
  auto point = Point(control.get(), DIID_ITestFormEvents);
  TRecordingSink sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  HRESULT unadvised = E_FAIL;
  sink.OnEvent = [&](DISPID id) {
    if (id == kOnClick) unadvised = point->Unadvise(cookie);
  };
  form->OnClick(form);
  EXPECT_EQ(unadvised, S_OK);
  EXPECT_FALSE(form->HasSink());
  EXPECT_EQ(sink.References(), 1) << "every reference the control took is given back";
  form->OnClick(form);
  EXPECT_EQ(sink.Events.size(), 2u) << "no event after the disconnection";
}

TEST_F(ActiveFormControl, OnDestroyGoesOutAtMostOnce) {
  {
    auto control = Create();
    auto point = Point(control.get(), DIID_ITestFormEvents);
    TRecordingSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    auto* oleControl = dynamic_cast<TActiveFormControl*>(Query<IOleObject>(control.get(), IID_IOleObject).get());
    ASSERT_NE(oleControl, nullptr);
    oleControl->FireDestroy();
    oleControl->FireDestroy();
    point.reset();
    control.reset();
    EXPECT_EQ(sink.Events, (std::vector<DISPID>{kOnCreate, kOnDestroy})) << "closing, then the end: one OnDestroy";
    EXPECT_EQ(sink.References(), 1);
  }
  {
    // Never closed: the end of the object fires it, while the sink is connected.
    auto control = Create();
    TRecordingSink sink;
    DWORD cookie = 0;
    ASSERT_EQ(Point(control.get(), DIID_ITestFormEvents)->Advise(&sink, &cookie), S_OK);
    control.reset();
    EXPECT_EQ(sink.Events, (std::vector<DISPID>{kOnCreate, kOnDestroy}));
    EXPECT_EQ(sink.References(), 1) << "the end releases the connected sink";
    EXPECT_EQ(liveObjects, 0);
  }
}

TEST_F(ActiveFormControl, PropertyChangeSinksAreManyWithReusedCookies) {
  auto control = Create();
  auto point = Point(control.get(), IID_IPropertyNotifySink);
  auto* self = dynamic_cast<TActiveFormControl*>(Query<IOleObject>(control.get(), IID_IOleObject).get());
  TPropertySink a, b, c;
  TRecordingSink notASink;
  DWORD ca = 0, cb = 0, cc = 0, cx = 0;
  ASSERT_EQ(point->Advise(&a, &ca), S_OK);
  ASSERT_EQ(point->Advise(&b, &cb), S_OK);
  EXPECT_EQ(ca, 1u);
  EXPECT_EQ(cb, 2u);
  EXPECT_EQ(point->Advise(&notASink, &cx), E_NOINTERFACE);
  self->PropertyChanged(-501);
  EXPECT_EQ(a.Changed, std::vector<DISPID>{-501});
  EXPECT_EQ(b.Changed, std::vector<DISPID>{-501});

  ASSERT_EQ(point->Unadvise(ca), S_OK);
  EXPECT_EQ(point->Unadvise(ca), CONNECT_E_NOCONNECTION) << "a freed place names no sink";
  ASSERT_EQ(point->Advise(&c, &cc), S_OK);
  EXPECT_EQ(cc, 1u) << "the freed place is used again";

  IEnumConnections* connections = nullptr;
  ASSERT_EQ(point->EnumConnections(&connections), S_OK);
  CONNECTDATA data[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, 1u);
  EXPECT_EQ(data[1].dwCookie, 2u);
  data[0].pUnk->Release();
  data[1].pUnk->Release();
  connections->Release();

  point->Unadvise(cb);
  point->Unadvise(cc);
  EXPECT_EQ(a.References(), 1);
  EXPECT_EQ(b.References(), 1);
  EXPECT_EQ(c.References(), 1);
}

// ---- property pages, browsing, safety, simple frame ----

TEST_F(ActiveFormControl, NoPropertyPagesAndNothingToBrowse) {
  auto control = Create();
  auto pages = Query<ISpecifyPropertyPages>(control.get(), IID_ISpecifyPropertyPages);
  CAUUID list{5, reinterpret_cast<GUID*>(1)};
  ASSERT_EQ(pages->GetPages(&list), S_OK);
  EXPECT_EQ(list.cElems, 0u);
  EXPECT_EQ(list.pElems, nullptr);
  EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);

  auto browsing = Query<IPerPropertyBrowsing>(control.get(), IID_IPerPropertyBrowsing);
  CLSID page = CLSID_TestForm;
  EXPECT_EQ(browsing->MapPropertyToPage(1, &page), PERPROP_E_NOPAGEAVAILABLE);
  EXPECT_EQ(page, CLSID_NULL);
  BSTR shown = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(browsing->GetDisplayString(1, &shown), E_NOTIMPL);
  EXPECT_EQ(shown, nullptr);
}

TEST_F(ActiveFormControl, SafetyOptionsAreKeptOnlyWhenSupported) {
  auto control = Create();
  auto safety = Query<IObjectSafety>(control.get(), IID_IObjectSafety);
  DWORD supported = 0, enabled = 99;
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA);
  EXPECT_EQ(enabled, 0u);

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACE_USES_SECURITY_MANAGER,
                                              INTERFACE_USES_SECURITY_MANAGER),
            E_FAIL);
  ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                              INTERFACESAFE_FOR_UNTRUSTED_CALLER),
            S_OK);
  ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, INTERFACESAFE_FOR_UNTRUSTED_CALLER);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, INTERFACESAFE_FOR_UNTRUSTED_CALLER, 0), E_NOINTERFACE);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
}

}  // namespace
