#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oleauto.h"

namespace {

// A variant that clears itself.
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
};

std::u16string Text(BSTR s) { return s ? std::u16string(s, SysStringLen(s)) : std::u16string(); }

// Counts its references so that clearing and copying can be checked.
class TCounted final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || (riid == IID_IDispatch && answersDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  // The value property answers the text "42".
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    ++valueReads;
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(u"42");
    return S_OK;
  }
  ULONG references = 1;
  bool answersDispatch = true;
  int valueReads = 0;
};

TEST(VariantLifetime, ClearFreesWhatTheVariantOwnsOnly) {
  TCounted object;
  VARIANT v;
  v.vt = VT_DISPATCH;
  v.pdispVal = &object;
  object.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(object.references, 1u);

  // By reference: the caller's interface keeps its reference.
  IDispatch* held = &object;
  v.vt = VT_BYREF | VT_DISPATCH;
  v.ppdispVal = &held;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.references, 1u);

  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"freed under ASan");
  EXPECT_EQ(VariantClear(&v), S_OK);

  for (VARTYPE bad :
       {VARTYPE(15), VARTYPE(VT_VARIANT), VARTYPE(VT_BYREF | VT_EMPTY), VARTYPE(VT_ARRAY | VT_I4), VARTYPE(0x7FF)}) {
    v.vt = bad;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << bad;
    EXPECT_EQ(v.vt, bad) << "left as it was";
  }
}

TEST(VariantLifetime, CopyDuplicatesStringsAndAddsReferences) {
  Var source;
  source.v.vt = VT_BSTR;
  source.v.bstrVal = SysAllocString(u"text");
  Var copy;
  ASSERT_EQ(VariantCopy(&copy.v, &source.v), S_OK);
  EXPECT_NE(copy.v.bstrVal, source.v.bstrVal);
  EXPECT_EQ(Text(copy.v.bstrVal), u"text");

  TCounted object;
  Var unknown;
  unknown.v.vt = VT_UNKNOWN;
  unknown.v.punkVal = &object;
  object.AddRef();
  ASSERT_EQ(VariantCopy(&copy.v, &unknown.v), S_OK) << "the old string is freed first";
  EXPECT_EQ(object.references, 3u);
  VariantClear(&copy.v);
  VariantClear(&unknown.v);
  EXPECT_EQ(object.references, 1u);

  EXPECT_EQ(VariantCopy(&source.v, &source.v), S_OK) << "copying onto itself changes nothing";
  EXPECT_EQ(Text(source.v.bstrVal), u"text");
}

struct Conversion {
  const char* what;
  VARIANT source;
  VARTYPE target;
  USHORT flags;
  HRESULT expected;
  LONG number;           // the target's value, for integer and boolean targets
  const char16_t* text;  // the target's text, for VT_BSTR
};

VARIANT Of(VARTYPE vt) {
  VARIANT v{};
  v.vt = vt;
  return v;
}
VARIANT I4(LONG n) {
  VARIANT v = Of(VT_I4);
  v.lVal = n;
  return v;
}
VARIANT I2(SHORT n) {
  VARIANT v = Of(VT_I2);
  v.iVal = n;
  return v;
}
VARIANT I1(CHAR n) {
  VARIANT v = Of(VT_I1);
  v.cVal = n;
  return v;
}
VARIANT UI1(BYTE n) {
  VARIANT v = Of(VT_UI1);
  v.bVal = n;
  return v;
}
VARIANT UI2(USHORT n) {
  VARIANT v = Of(VT_UI2);
  v.uiVal = n;
  return v;
}
VARIANT Bool(bool b) {
  VARIANT v = Of(VT_BOOL);
  v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
VARIANT Error(SCODE e) {
  VARIANT v = Of(VT_ERROR);
  v.scode = e;
  return v;
}

LONG NumberOf(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: return v.lVal;
    case VT_BOOL: return v.boolVal;
    case VT_ERROR: return v.scode;
    default: return -999999;
  }
}

// The conversion table: each source kind to each target the control and the
// installer use, with the results Windows gives.
TEST(VariantChangeType, ConvertsAsWindowsDoes) {
  const char16_t* const strings[] = {u"abc",  u"70000", u"  -12 ", u"",      u"True", u"2.5", u"3.5",
                                     u"-2.5", u"255",   u"256",    u"false", u"+7",   u"128", u"-129"};
  std::vector<BSTR> owned;
  for (const char16_t* text : strings) owned.push_back(SysAllocString(text));
  auto S = [&](int i) {
    VARIANT v = Of(VT_BSTR);
    v.bstrVal = owned[static_cast<size_t>(i)];  // the table's strings, freed at the end
    return v;
  };
  const Conversion table[] = {
      {"text that is no number", S(0), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"text beyond VT_I2", S(1), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"text fitting VT_I4", S(1), VT_I4, 0, S_OK, 70000, nullptr},
      {"blanks around a number", S(2), VT_I2, 0, S_OK, -12, nullptr},
      {"empty text", S(3), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"half rounds to even (down)", S(5), VT_I4, 0, S_OK, 2, nullptr},
      {"half rounds to even (up)", S(6), VT_I4, 0, S_OK, 4, nullptr},
      {"negative half rounds to even", S(7), VT_I4, 0, S_OK, -2, nullptr},
      {"UI1 upper bound", S(8), VT_UI1, 0, S_OK, 255, nullptr},
      {"UI1 beyond", S(9), VT_UI1, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"I1 beyond", S(12), VT_I1, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"I1 below", S(13), VT_I1, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"explicit plus sign", S(11), VT_I4, 0, S_OK, 7, nullptr},
      {"word True to VT_BOOL", S(4), VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
      {"word false to VT_BOOL", S(10), VT_BOOL, 0, S_OK, VARIANT_FALSE, nullptr},
      {"number text to VT_BOOL", S(2), VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
      {"garbage to VT_BOOL", S(0), VT_BOOL, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"text to VT_ERROR", S(1), VT_ERROR, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"true to VT_I2", Bool(true), VT_I2, 0, S_OK, -1, nullptr},
      {"true to VT_UI1", Bool(true), VT_UI1, 0, S_OK, 255, nullptr},
      {"true to VT_UI2", Bool(true), VT_UI2, 0, S_OK, 65535, nullptr},
      {"false to VT_I4", Bool(false), VT_I4, 0, S_OK, 0, nullptr},
      {"true to text", Bool(true), VT_BSTR, 0, S_OK, 0, u"-1"},
      {"false to text", Bool(false), VT_BSTR, 0, S_OK, 0, u"0"},
      {"true to words", Bool(true), VT_BSTR, VARIANT_ALPHABOOL, S_OK, 0, u"True"},
      {"false to local words", Bool(false), VT_BSTR, VARIANT_LOCALBOOL, S_OK, 0, u"False"},
      {"empty to text", Of(VT_EMPTY), VT_BSTR, 0, S_OK, 0, u""},
      {"empty to VT_I2", Of(VT_EMPTY), VT_I2, 0, S_OK, 0, nullptr},
      {"empty to VT_BOOL", Of(VT_EMPTY), VT_BOOL, 0, S_OK, VARIANT_FALSE, nullptr},
      {"null to VT_I4", Of(VT_NULL), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"null to text", Of(VT_NULL), VT_BSTR, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"null to VT_BOOL", Of(VT_NULL), VT_BOOL, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"null to VT_NULL", Of(VT_NULL), VT_NULL, 0, S_OK, 0, nullptr},
      {"null to VT_EMPTY", Of(VT_NULL), VT_EMPTY, 0, S_OK, 0, nullptr},
      {"I4 to VT_I2 beyond", I4(40000), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"I4 to VT_UI2 negative", I4(-1), VT_UI2, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"I4 to VT_I1 bound", I4(-128), VT_I1, 0, S_OK, -128, nullptr},
      {"I4 to text", I4(-2147483647 - 1), VT_BSTR, 0, S_OK, 0, u"-2147483648"},
      {"I2 to VT_BOOL", I2(2), VT_BOOL, 0, S_OK, VARIANT_TRUE, nullptr},
      {"I1 to text", I1(-5), VT_BSTR, 0, S_OK, 0, u"-5"},
      {"UI1 to VT_I1 beyond", UI1(200), VT_I1, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"UI2 to VT_I2 beyond", UI2(40000), VT_I2, 0, DISP_E_OVERFLOW, 0, nullptr},
      {"UI2 to VT_I4", UI2(40000), VT_I4, 0, S_OK, 40000, nullptr},
      {"error to VT_I4", Error(E_FAIL), VT_I4, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"error to text", Error(E_FAIL), VT_BSTR, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"error to error", Error(E_FAIL), VT_ERROR, 0, S_OK, E_FAIL, nullptr},
      {"number to VT_ERROR", I4(5), VT_ERROR, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"number to VT_DISPATCH", I4(5), VT_DISPATCH, 0, DISP_E_TYPEMISMATCH, 0, nullptr},
      {"to an unsupported type", I4(5), VT_R8, 0, DISP_E_BADVARTYPE, 0, nullptr},
      {"to a by-reference type", I4(5), VT_BYREF | VT_I4, 0, DISP_E_BADVARTYPE, 0, nullptr},
  };
  for (const auto& c : table) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, &c.source, c.flags, c.target);
    EXPECT_EQ(hr, c.expected) << c.what;
    if (FAILED(hr)) {
      EXPECT_EQ(out.vt, VT_EMPTY) << c.what << ": destination untouched";
      continue;
    }
    EXPECT_EQ(out.vt, c.target) << c.what;
    if (c.text) {
      EXPECT_EQ(Text(out.bstrVal), c.text) << c.what;
      EXPECT_NE(out.bstrVal, nullptr) << c.what;
    } else if (c.target != VT_NULL && c.target != VT_EMPTY) {
      EXPECT_EQ(NumberOf(out), c.number) << c.what;
    }
    VariantClear(&out);
  }
  for (BSTR text : owned) SysFreeString(text);
}

// By-reference sources are read through their reference; a variant by
// reference through the variant it points at.
TEST(VariantChangeType, ReadsByReferenceSources) {
  SHORT value = 300;
  VARIANT byRef = Of(VT_BYREF | VT_I2);
  byRef.piVal = &value;
  Var out;
  ASSERT_EQ(VariantChangeType(&out.v, &byRef, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out.v.bstrVal), u"300");
  EXPECT_EQ(VariantChangeType(&out.v, &byRef, 0, VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(out.v.vt, VT_BSTR) << "a failed conversion leaves the destination";

  BSTR text = SysAllocString(u" 17 ");
  VARIANT inner = Of(VT_BYREF | VT_BSTR);
  inner.pbstrVal = &text;
  VARIANT outer = Of(VT_BYREF | VT_VARIANT);
  outer.pvarVal = &inner;
  ASSERT_EQ(VariantChangeType(&out.v, &outer, 0, VT_I4), S_OK);
  EXPECT_EQ(out.v.lVal, 17);
  SysFreeString(text);

  VARIANT_BOOL flag = VARIANT_TRUE;
  VARIANT boolRef = Of(VT_BYREF | VT_BOOL);
  boolRef.pboolVal = &flag;
  ASSERT_EQ(VariantChangeType(&out.v, &boolRef, 0, VT_I2), S_OK);
  EXPECT_EQ(out.v.iVal, -1);
}

// Converting in place replaces the source only when the conversion works.
TEST(VariantChangeType, InPlaceConversionFreesTheOldValue) {
  Var v;
  v.v.vt = VT_BSTR;
  v.v.bstrVal = SysAllocString(u"123");
  ASSERT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_I2), S_OK);
  EXPECT_EQ(v.v.vt, VT_I2);
  EXPECT_EQ(v.v.iVal, 123);
  VariantClear(&v.v);
  v.v.vt = VT_BSTR;
  v.v.bstrVal = SysAllocString(u"x");
  EXPECT_EQ(VariantChangeType(&v.v, &v.v, 0, VT_I2), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Text(v.v.bstrVal), u"x");
}

// Objects: an interface becomes the other interface through QueryInterface;
// a plain type is read from the value property unless VARIANT_NOVALUEPROP.
TEST(VariantChangeType, ObjectsConvertThroughInterfacesAndValueProperty) {
  TCounted object;
  VARIANT dispatch = Of(VT_DISPATCH);
  dispatch.pdispVal = &object;
  Var out;
  ASSERT_EQ(VariantChangeType(&out.v, &dispatch, 0, VT_UNKNOWN), S_OK);
  EXPECT_EQ(out.v.punkVal, static_cast<IUnknown*>(&object));
  EXPECT_EQ(object.references, 2u);
  VariantClear(&out.v);
  EXPECT_EQ(object.references, 1u);

  ASSERT_EQ(VariantChangeType(&out.v, &dispatch, 0, VT_I4), S_OK);
  EXPECT_EQ(out.v.lVal, 42);
  EXPECT_EQ(VariantChangeType(&out.v, &dispatch, VARIANT_NOVALUEPROP, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.valueReads, 1);

  VARIANT unknown = Of(VT_UNKNOWN);
  unknown.punkVal = &object;
  object.answersDispatch = false;
  EXPECT_EQ(VariantChangeType(&out.v, &unknown, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(&out.v, &unknown, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.references, 1u);
}

}  // namespace
