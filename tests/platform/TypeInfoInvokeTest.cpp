// ITypeInfo::Invoke through the test object's dual interface: every argument
// kind coerced to the parameter's type, by-reference and result parameters,
// named and optional arguments, and the failures a dispatch caller sees.
#include <gtest/gtest.h>

#include <vector>

#include "ComTestSupport.h"
#include "TestObject.h"

using namespace qorv::test;

namespace {

// {BEF6E003-A874-101A-8BBA-00AA00300CAB}
constexpr IID kIFontDisp{0xBEF6E003, 0xA874, 0x101A, {0x8B, 0xBA, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

// A dispatch object that may answer the font's interface too; counts its
// references so the test sees that Invoke gives back what it took.
class Peer final : public IDispatch {
 public:
  explicit Peer(bool isFont) : isFont_(isFont) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || (isFont_ && riid == kIFontDisp)) {
      *ppvObject = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  ULONG refs = 1;

 private:
  bool isFont_;
};

VARIANT Value(VARTYPE vt, LONGLONG bits) {
  VARIANT v{};
  v.vt = vt;
  v.llVal = bits;
  return v;
}

VARIANT Text(const char* text) {
  VARIANT v{};
  v.vt = VT_BSTR;
  v.bstrVal = Bstr(text).Release();
  return v;
}

class Invoking : public testing::Test {
 protected:
  void SetUp() override {
    std::u16string path = Wide(QORV_TEST_TYPELIB);
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put()), S_OK);
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestObject, info_.Put()), S_OK);
    object_ = new TestObject(info_.Get());
  }
  void TearDown() override {
    FreeTexts();
    if (object_) object_->Release();
  }

  // Only the strings made by Text() belong to the arguments; other values
  // point at the test's own objects.
  void FreeTexts() {
    for (auto& arg : args_) {
      if (arg.vt == VT_BSTR) VariantClear(&arg);
    }
    args_.clear();
  }

  DISPID Id(const char* name) {
    std::u16string wide = Wide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = 0;
    EXPECT_EQ(object_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
  }

  // Invokes by name with the arguments in call order (reversed into rgvarg
  // here); `named` gives the dispids of the last arguments, if any.
  HRESULT Call(const char* name, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
               std::vector<DISPID> named = {}) {
    FreeTexts();
    args_.assign(args.rbegin(), args.rend());
    named_ = named;
    DISPPARAMS params{args_.data(), named_.empty() ? nullptr : named_.data(), static_cast<UINT>(args_.size()),
                      static_cast<UINT>(named_.size())};
    argErr_ = 12345;
    excep_ = EXCEPINFO{};
    return object_->Invoke(Id(name), IID_NULL, 0, flags, &params, result, &excep_, &argErr_);
  }
  HRESULT Put(const char* name, VARIANT value) {
    return Call(name, DISPATCH_PROPERTYPUT, {value}, nullptr, {DISPID_PROPERTYPUT});
  }
  HRESULT Get(const char* name, Variant& result) { return Call(name, DISPATCH_PROPERTYGET, {}, &result); }

  ComPtr<ITypeInfo> info_;
  TestObject* object_ = nullptr;
  std::vector<VARIANT> args_;
  std::vector<DISPID> named_;
  UINT argErr_ = 0;
  EXCEPINFO excep_{};
};

TEST_F(Invoking, PropertiesOfEveryTypeGoInCoercedAndComeBackTyped) {
  struct Case {
    const char* Name;
    VARIANT In;
    VARTYPE OutVt;
    LONGLONG Out;
  } cases[] = {
      {"Visible", Value(VT_I4, 2), VT_BOOL, VARIANT_TRUE},  // any non-zero value is true
      {"Small", Value(VT_I4, -3), VT_I1, -3},
      {"Octet", Value(VT_I2, 200), VT_UI1, 200},
      {"Short", Value(VT_I4, -30000), VT_I2, -30000},
      {"Word", Value(VT_I4, 60000), VT_UI2, 60000},
      {"Long", Value(VT_I2, -7), VT_I4, -7},
      {"Color", Value(VT_I4, static_cast<LONG>(0x80000005u)), VT_UI4, 0x80000005u},  // an OLE_COLOR
      {"Shade", Value(VT_I4, shDeep), VT_I4, shDeep},                                // an enum
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_EQ(Put(c.Name, c.In), S_OK);
    Variant result;
    ASSERT_EQ(Get(c.Name, result), S_OK);
    EXPECT_EQ(result->vt, c.OutVt);
    switch (c.OutVt) {
      case VT_I1: EXPECT_EQ(result->cVal, c.Out); break;
      case VT_UI1: EXPECT_EQ(result->bVal, c.Out); break;
      case VT_I2:
      case VT_BOOL: EXPECT_EQ(result->iVal, c.Out); break;
      case VT_UI2: EXPECT_EQ(result->uiVal, c.Out); break;
      default: EXPECT_EQ(result->ulVal, static_cast<ULONG>(c.Out)); break;
    }
  }
  // The values arrived in the object as its own types.
  SHORT shortValue = 0;
  object_->get_Short(&shortValue);
  EXPECT_EQ(shortValue, -30000);
  DWORD color = 0;
  object_->get_Color(&color);
  EXPECT_EQ(color, 0x80000005u);
}

TEST_F(Invoking, StringsGoInAndComeOutAsNewStrings) {
  ASSERT_EQ(Put("Caption", Text("hello")), S_OK);
  Variant result;
  ASSERT_EQ(Get("Caption", result), S_OK);
  ASSERT_EQ(result->vt, VT_BSTR);
  EXPECT_EQ(Narrow(result->bstrVal), "hello");
  // A number given for a string is converted.
  ASSERT_EQ(Put("Caption", Value(VT_I4, 42)), S_OK);
  Variant again;
  ASSERT_EQ(Get("Caption", again), S_OK);
  EXPECT_EQ(Narrow(again->bstrVal), "42");
  // A result nobody asked for is freed (the sanitizer build sees a leak otherwise).
  EXPECT_EQ(Call("Caption", DISPATCH_PROPERTYGET, {}), S_OK);
}

TEST_F(Invoking, MethodOfEveryBasicTypeGetsEachArgumentConverted) {
  Variant result;
  ASSERT_EQ(Call("Mixed", DISPATCH_METHOD,
                 {Value(VT_I4, -3), Value(VT_I4, 200), Value(VT_I4, -30000), Value(VT_I4, 60000), Value(VT_I4, 123456),
                  Value(VT_I4, 1), Text("hi")},
                 &result),
            S_OK);
  ASSERT_EQ(result->vt, VT_BSTR);
  EXPECT_EQ(Narrow(result->bstrVal), "-3,200,-30000,60000,123456,-1,hi");
}

TEST_F(Invoking, ArgumentThatCannotBeConvertedIsNamedByItsIndex) {
  // Mixed's fifth parameter (rgvarg[2]) is a long.
  EXPECT_EQ(Call("Mixed", DISPATCH_METHOD,
                 {Value(VT_I4, 1), Value(VT_I4, 2), Value(VT_I4, 3), Value(VT_I4, 4), Text("five"), Value(VT_I4, 1),
                  Text("g")}),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr_, 2u);
  // Too large for a short: the conversion's own result.
  EXPECT_EQ(Put("Short", Value(VT_I4, 70000)), DISP_E_OVERFLOW);
  EXPECT_EQ(argErr_, 0u);
  SHORT kept = 1;
  object_->get_Short(&kept);
  EXPECT_EQ(kept, 0);
}

TEST_F(Invoking, ResultAndOptionalArguments) {
  Variant sum;
  ASSERT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 1), Value(VT_I4, 5)}, &sum), S_OK);
  EXPECT_EQ(sum->vt, VT_I4);
  EXPECT_EQ(sum->lVal, 6);
  // b has a default value of 10.
  Variant withDefault;
  ASSERT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 1)}, &withDefault), S_OK);
  EXPECT_EQ(withDefault->lVal, 11);
  // An argument marked missing takes the default as well.
  VARIANT missing = Value(VT_ERROR, 0);
  missing.scode = DISP_E_PARAMNOTFOUND;
  Variant marked;
  ASSERT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 2), missing}, &marked), S_OK);
  EXPECT_EQ(marked->lVal, 12);
  // A VARIANT parameter without a default sees "missing".
  Variant described;
  ASSERT_EQ(Call("Describe", DISPATCH_METHOD, {}, &described), S_OK);
  EXPECT_EQ(Narrow(described->bstrVal), "missing");
  Variant given;
  ASSERT_EQ(Call("Describe", DISPATCH_METHOD, {Value(VT_I2, 5)}, &given), S_OK);
  EXPECT_EQ(Narrow(given->bstrVal), "I2:5");
  // A VARIANT given by reference is passed as the variant it points at.
  VARIANT inner = Value(VT_I4, 77);
  VARIANT byRef{};
  byRef.vt = VT_VARIANT | VT_BYREF;
  byRef.pvarVal = &inner;
  Variant viaRef;
  ASSERT_EQ(Call("Describe", DISPATCH_METHOD, {byRef}, &viaRef), S_OK);
  EXPECT_EQ(Narrow(viaRef->bstrVal), "I4:77");
}

TEST_F(Invoking, NamedArgumentsGoToTheirParameters) {
  // Add(b:=5, a:=1): named arguments first in rgvarg, any order.
  Variant sum;
  ASSERT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 1), Value(VT_I4, 5)}, &sum, {1, 0}), S_OK);
  EXPECT_EQ(sum->lVal, 6);
  // a required and missing.
  EXPECT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 5)}, nullptr, {1}), DISP_E_PARAMNOTOPTIONAL);
  // No such parameter: the named argument's index.
  EXPECT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 1), Value(VT_I4, 5)}, nullptr, {7}), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr_, 0u);
  // A put's value named DISPID_PROPERTYPUT, or given as the only argument.
  ASSERT_EQ(Call("Long", DISPATCH_PROPERTYPUT, {Value(VT_I4, 9)}), S_OK);
  LONG value = 0;
  object_->get_Long(&value);
  EXPECT_EQ(value, 9);
}

TEST_F(Invoking, WrongArgumentCountsAreRefused) {
  EXPECT_EQ(Call("Add", DISPATCH_METHOD, {}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call("Add", DISPATCH_METHOD, {Value(VT_I4, 1), Value(VT_I4, 2), Value(VT_I4, 3)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call("Long", DISPATCH_PROPERTYGET, {Value(VT_I4, 1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call("Long", DISPATCH_PROPERTYPUT, {}), DISP_E_BADPARAMCOUNT);
}

TEST_F(Invoking, ByReferenceArgumentsAreChangedInPlace) {
  LONG number = 21;
  BSTR text = Bstr("x").Release();
  VARIANT first{};
  first.vt = VT_I4 | VT_BYREF;
  first.plVal = &number;
  VARIANT second{};
  second.vt = VT_BSTR | VT_BYREF;
  second.pbstrVal = &text;
  ASSERT_EQ(Call("Swap", DISPATCH_METHOD, {first, second}), S_OK);
  EXPECT_EQ(number, 42);
  EXPECT_EQ(Narrow(text), "x!");
  SysFreeString(text);
  // A by-value argument where a reference is needed: rgvarg[1] is the first.
  BSTR other = Bstr("y").Release();
  second.pbstrVal = &other;
  EXPECT_EQ(Call("Swap", DISPATCH_METHOD, {Value(VT_I4, 1), second}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr_, 1u);
  SysFreeString(other);
}

TEST_F(Invoking, DispatchPutAndPutByReference) {
  Peer peer(false);
  VARIANT byValue{};
  byValue.vt = VT_DISPATCH;
  byValue.pdispVal = &peer;
  ASSERT_EQ(Call("Peer", DISPATCH_PROPERTYPUT, {byValue}, nullptr, {DISPID_PROPERTYPUT}), S_OK);
  EXPECT_EQ(object_->PeerPutKind(), 1);
  EXPECT_EQ(object_->PeerObject(), &peer);

  IDispatch* held = &peer;
  VARIANT byReference{};
  byReference.vt = VT_DISPATCH | VT_BYREF;
  byReference.ppdispVal = &held;
  ASSERT_EQ(Call("Peer", DISPATCH_PROPERTYPUTREF, {byReference}, nullptr, {DISPID_PROPERTYPUT}), S_OK);
  EXPECT_EQ(object_->PeerPutKind(), 2);
  // Put-by-reference of a plain dispatch value passes a pointer to it.
  object_->put_Peer(nullptr);
  ASSERT_EQ(Call("Peer", DISPATCH_PROPERTYPUTREF, {byValue}, nullptr, {DISPID_PROPERTYPUT}), S_OK);
  EXPECT_EQ(object_->PeerPutKind(), 2);
  EXPECT_EQ(object_->PeerObject(), &peer);
  // With both put flags the first of the two functions answers.
  ASSERT_EQ(Call("Peer", DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, {byValue}, nullptr, {DISPID_PROPERTYPUT}),
            S_OK);
  EXPECT_EQ(object_->PeerPutKind(), 1);

  Variant result;
  ASSERT_EQ(Get("Peer", result), S_OK);
  EXPECT_EQ(result->vt, VT_DISPATCH);
  EXPECT_EQ(result->pdispVal, &peer);
  VariantClear(&result);
  object_->put_Peer(nullptr);
  // Every reference Invoke took was given back.
  EXPECT_EQ(peer.refs, 1u);
}

TEST_F(Invoking, FontArgumentsAreAskedForTheFontInterface) {
  Peer font(true);
  Peer notFont(false);
  VARIANT arg{};
  arg.vt = VT_DISPATCH;
  arg.pdispVal = &font;
  ASSERT_EQ(Call("Font", DISPATCH_PROPERTYPUT, {arg}, nullptr, {DISPID_PROPERTYPUT}), S_OK);
  EXPECT_EQ(object_->FontPutKind(), 1);
  ASSERT_EQ(Call("Font", DISPATCH_PROPERTYPUTREF, {arg}, nullptr, {DISPID_PROPERTYPUT}), S_OK);
  EXPECT_EQ(object_->FontPutKind(), 2);
  arg.pdispVal = &notFont;
  EXPECT_EQ(Call("Font", DISPATCH_PROPERTYPUT, {arg}, nullptr, {DISPID_PROPERTYPUT}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr_, 0u);
  Variant result;
  ASSERT_EQ(Get("Font", result), S_OK);
  EXPECT_EQ(result->vt, VT_DISPATCH);
  VariantClear(&result);
  object_->put_Font(nullptr);
  EXPECT_EQ(font.refs, 1u);
  EXPECT_EQ(notFont.refs, 1u);
}

TEST_F(Invoking, UnknownMembersAndKindsAreNotFound) {
  DISPPARAMS none{};
  EXPECT_EQ(object_->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call("Add", DISPATCH_PROPERTYGET, {Value(VT_I4, 1)}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call("Caption", DISPATCH_PROPERTYPUTREF, {Text("x")}, nullptr, {DISPID_PROPERTYPUT}),
            DISP_E_MEMBERNOTFOUND);
  // A method asked for as a method or a get, as script hosts do.
  EXPECT_EQ(Call("AboutBox", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}), S_OK);
  EXPECT_EQ(object_->AboutBoxCalls(), 1);
  // The members of a dispinterface are its IDispatch's business.
  std::u16string path = Wide(QORV_TEST_TYPELIB);
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put()), S_OK);
  ComPtr<ITypeInfo> events;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(DIID_ITestObjectEvents, events.Put()), S_OK);
  EXPECT_EQ(events->Invoke(static_cast<ITestObject*>(object_), 1, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
}

TEST_F(Invoking, FailureArrivesAsExceptionWithTheErrorInformation) {
  ASSERT_EQ(Call("Fail", DISPATCH_METHOD, {Text("boom")}), DISP_E_EXCEPTION);
  EXPECT_EQ(excep_.scode, kTestFailure);
  EXPECT_EQ(Narrow(excep_.bstrSource), kTestProgId);
  EXPECT_EQ(Narrow(excep_.bstrDescription), "boom");
  EXPECT_EQ(excep_.bstrHelpFile, nullptr);
  EXPECT_EQ(excep_.dwHelpContext, 99u);
  SysFreeString(excep_.bstrSource);
  SysFreeString(excep_.bstrDescription);
  // The thread's error information was taken.
  IErrorInfo* left = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE);
}

TEST_F(Invoking, VtableViewInvokesTheSameFunctions) {
  HREFTYPE ref = 0;
  ASSERT_EQ(info_->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  ComPtr<ITypeInfo> vtable;
  ASSERT_EQ(info_->GetRefTypeInfo(ref, vtable.Put()), S_OK);
  VARIANT args[] = {Value(VT_I4, 4), Value(VT_I4, 3)};  // Add(3, 4), reversed
  DISPPARAMS params{args, nullptr, 2, 0};
  Variant sum;
  ASSERT_EQ(vtable->Invoke(static_cast<ITestObject*>(object_), 20, DISPATCH_METHOD, &params, &sum, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(sum->lVal, 7);
}

// An object that aggregates the standard dispatch object for its IDispatch.
class Aggregate final : public IUnknown {
 public:
  explicit Aggregate(ITestObject* target) : target_(target) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (riid == IID_IUnknown) {
      *ppvObject = this;
      AddRef();
      return S_OK;
    }
    if (riid == IID_IDispatch) return inner->QueryInterface(riid, ppvObject);
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  IUnknown* inner = nullptr;
  ULONG refs = 1;

 private:
  ITestObject* target_;
};

TEST_F(Invoking, StandardDispatchObjectAnswersThroughTheTypeInfo) {
  Aggregate outer(object_);
  ASSERT_EQ(CreateStdDispatch(&outer, static_cast<ITestObject*>(object_), info_.Get(), &outer.inner), S_OK);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(outer.QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
  EXPECT_EQ(outer.refs, 2u);  // the dispatch object counts on its outer object
  UINT count = 0;
  ASSERT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> none;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, none.Put()), DISP_E_BADINDEX);
  std::u16string name = Wide("Add");
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  VARIANT args[] = {Value(VT_I4, 2)};
  DISPPARAMS params{args, nullptr, 1, 0};
  Variant sum;
  ASSERT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &sum, nullptr, nullptr), S_OK);
  EXPECT_EQ(sum->lVal, 12);
  dispatch.Reset();
  EXPECT_EQ(outer.refs, 1u);
  outer.inner->Release();
}

}  // namespace
