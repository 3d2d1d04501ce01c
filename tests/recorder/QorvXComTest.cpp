// The recorder's control as a host reaches it through COM: the control object
// over TQorvX, described by the type library QorvProj1.ocx embeds. One
// identity, IQorvX by vtable and by name, failures carried in the COM error
// information, and the event rules of IQorvXEvents.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ActiveFormControl.h"
#include "ComErrorReader.h"
#include "ComObj.h"
#include "QorvImpl1.h"
#include "QorvMemberBoundary.h"
#include "QorvXControlSupport.h"
#include "RecorderState.h"
#include "SioErrors.h"
#include "substitutedevice.h"
#include "systemroot.h"

#ifdef QORV_CONTROL_TYPELIB

namespace {

using qorv::recorder::RecorderState;

// An event sink that records the dispids reaching it.
class TEventRecorder final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) && !IsEqualIID(riid, DIID_IQorvXEvents)) {
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    Events.push_back(id);
    if (id == QorvProj1_TLB::DISPID_QorvX_OnKeyPress && params && params->cArgs == 1 &&
        params->rgvarg[0].vt == (VT_I2 | VT_BYREF) && NewKey) {
      *params->rgvarg[0].piVal = NewKey;
    }
    return id == QorvProj1_TLB::DISPID_QorvX_OnClick ? FailClicks : S_OK;
  }
  long References() const { return refs_; }

  std::vector<DISPID> Events;
  SHORT NewKey = 0;
  HRESULT FailClicks = S_OK;

 private:
  long refs_ = 1;
};

class QorvXCom : public QorvXControlFixture {
 protected:
  void SetUp() override {
    LoadControlClass();
    if (HasFatalFailure()) return;
    info.LiveObjects = &liveObjects;
    void* made = nullptr;
    ASSERT_EQ(TActiveFormControl::CreateInstance(info, nullptr, IID_IUnknown, &made), S_OK);
    control.reset(static_cast<IUnknown*>(made));
  }
  void TearDown() override {
    control.reset();
    EXPECT_EQ(liveObjects, 0);
    ReleaseControlClass();
    SetModalResponder(nullptr);
  }

  DISPID IdOf(const char* name) {
    auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
    std::u16string wide = Wide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
  }

  TRef<IConnectionPoint> EventPoint() {
    auto container = Query<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(container->FindConnectionPoint(DIID_IQorvXEvents, &point), S_OK);
    return TRef<IConnectionPoint>(point);
  }

  std::shared_ptr<qorv::platform::SubstituteDevice> recorder = qorv::platform::SubstituteDevice::Create("recorder");
  volatile LONG liveObjects = 0;
  TRef<IUnknown> control;
};

TEST_F(QorvXCom, IQorvXIsTheFormsAndSharesTheControlsIdentity) {
  auto dual = Query<IQorvX>(control.get(), IID_IQorvX);
  ASSERT_TRUE(dual);
  EXPECT_EQ(dual.get(), static_cast<IQorvX*>(form));
  auto identity = Query<IUnknown>(dual.get(), IID_IUnknown);
  EXPECT_EQ(identity.get(), control.get());
  auto oleObject = Query<IOleObject>(dual.get(), IID_IOleObject);
  EXPECT_TRUE(oleObject) << "the form's IUnknown reaches the control's interfaces";
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  EXPECT_EQ(static_cast<void*>(dispatch.get()), static_cast<void*>(dual.get()));
}

TEST_F(QorvXCom, ConnectOnAClosedPortFailsWithTheSerialErrorInTheErrorInformation) {
  auto dual = Query<IQorvX>(control.get(), IID_IQorvX);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(dual->put_Connect(VARIANT_TRUE), E_UNEXPECTED);
  const TComErrorRecord error = TakeComError();
  ASSERT_TRUE(error.Present);
  EXPECT_EQ(error.Guid, IID_IQorvX);
  EXPECT_EQ(error.Source, "QorvProj1.QorvX");
  EXPECT_EQ(error.Description, ESioException(-2007).Message());
  EXPECT_EQ(error.HelpFile, "");

  auto support = Query<ISupportErrorInfo>(control.get(), IID_ISupportErrorInfo);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IQorvX), S_FALSE);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IOleObject), S_OK);

  // By name, the same failure arrives as an exception with its text.
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  VARIANT on;
  VariantInit(&on);
  on.vt = VT_BOOL;
  on.boolVal = VARIANT_TRUE;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&on, &named, 1, 1};
  EXCEPINFO excep{};
  EXPECT_EQ(dispatch->Invoke(IdOf("Connect"), IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &excep, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_UNEXPECTED);
  EXPECT_EQ(AnsiOf(excep.bstrSource), "QorvProj1.QorvX");
  EXPECT_EQ(AnsiOf(excep.bstrDescription), ESioException(-2007).Message());
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
}

// A COM error raised inside a member keeps its own failure result; anything
// else, a COM "error" with a success code included, becomes E_UNEXPECTED.
TEST(QorvXMemberBoundary, ACOMErrorKeepsItsOwnResult) {
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(qorv::recorder::Guarded([] { throw EOleSysError("Access is denied", E_ACCESSDENIED); }), E_ACCESSDENIED);
  TComErrorRecord error = TakeComError();
  EXPECT_EQ(error.Guid, IID_IQorvX);
  EXPECT_EQ(error.Source, "QorvProj1.QorvX");
  EXPECT_EQ(error.Description, "Access is denied");
  EXPECT_EQ(qorv::recorder::Guarded([] { throw EOleSysError("odd", S_FALSE); }), E_UNEXPECTED);
  EXPECT_EQ(TakeComError().Description, "odd");
  EXPECT_EQ(qorv::recorder::Guarded([] {}), S_OK);
}

TEST_F(QorvXCom, DeviceMembersAnswerByNameWithTheirDispids) {
  EXPECT_EQ(IdOf("CallerID"), 35);
  EXPECT_EQ(IdOf("OpenPort"), 20);
  EXPECT_EQ(IdOf("SetProtocol1"), 22);
  RecorderState().CallerID = "L1021555";
  auto dispatch = Query<IDispatch>(control.get(), IID_IDispatch);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(dispatch->Invoke(35, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(AnsiOf(result.bstrVal), "L1021555");
  VariantClear(&result);

  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* type = nullptr;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &type), DISP_E_BADINDEX);
  EXPECT_EQ(type, nullptr);
}

TEST_F(QorvXCom, OnCreateReachesOnlyTheFirstSinkAndTheCreationHandlerRunsOnce) {
  RecorderState().Line = 7;  // ActiveFormCreate would put 1 back
  auto point = EventPoint();
  TEventRecorder first, second;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&first, &cookie), S_OK);
  EXPECT_EQ(cookie, 1u);
  EXPECT_EQ(first.Events, std::vector<DISPID>{QorvProj1_TLB::DISPID_QorvX_OnCreate});
  EXPECT_EQ(RecorderState().Line, 7) << "OnCreate goes to the sink, not to ActiveFormCreate";
  DWORD refused = 0;
  EXPECT_EQ(point->Advise(&second, &refused), static_cast<HRESULT>(0x80040202u));
  ASSERT_EQ(point->Unadvise(cookie), S_OK);
  ASSERT_EQ(point->Advise(&second, &cookie), S_OK);
  EXPECT_TRUE(second.Events.empty());
  point->Unadvise(cookie);
  EXPECT_EQ(first.References(), 1);
  EXPECT_EQ(second.References(), 1);
}

TEST_F(QorvXCom, KeysAndFailingSinksAsTheFormSeesThem) {
  auto point = EventPoint();
  TEventRecorder sink;
  sink.NewKey = 0x0141;
  sink.FailClicks = E_FAIL;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  char key = 'z';
  form->OnKeyPress(form, key);
  EXPECT_EQ(key, 'A');
  form->OnClick(form);
  form->OnDblClick(form);
  EXPECT_EQ(sink.Events,
            (std::vector<DISPID>{QorvProj1_TLB::DISPID_QorvX_OnCreate, QorvProj1_TLB::DISPID_QorvX_OnKeyPress,
                                 QorvProj1_TLB::DISPID_QorvX_OnClick, QorvProj1_TLB::DISPID_QorvX_OnDblClick}))
      << "a failed click changes nothing for the next event";
  point->Unadvise(cookie);
}

TEST_F(QorvXCom, CloseFiresOnDestroyAndTheEndDoesNotFireItAgain) {
  auto point = EventPoint();
  TEventRecorder sink;
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  auto oleObject = Query<IOleObject>(control.get(), IID_IOleObject);
  EXPECT_EQ(oleObject->Close(OLECLOSE_NOSAVE), S_OK);
  oleObject.reset();
  point.reset();
  control.reset();
  EXPECT_EQ(sink.Events,
            (std::vector<DISPID>{QorvProj1_TLB::DISPID_QorvX_OnCreate, QorvProj1_TLB::DISPID_QorvX_OnDestroy}));
  EXPECT_EQ(sink.References(), 1) << "the control's end lets go of its sink";
}

}  // namespace

#endif  // QORV_CONTROL_TYPELIB
