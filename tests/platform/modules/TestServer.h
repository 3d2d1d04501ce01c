// The in-process test server (TestServer.cpp, type library QorvTestServer.idl):
// its identifiers and its dual interface as C++ sees it, in vtable order.
#pragma once

#include "oaidl.h"

namespace qorv::test {

// {5C1F6A30-2B7D-4E55-9A41-0C8D3E6B7A10}
inline constexpr GUID kTestLibId{0x5C1F6A30, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
inline constexpr GUID kTxShadeId{0x5C1F6A31, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
inline constexpr IID IID_ITestObject{0x5C1F6A32, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
inline constexpr IID DIID_ITestObjectEvents{
    0x5C1F6A33, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
inline constexpr CLSID CLSID_TestObject{0x5C1F6A34, 0x2B7D, 0x4E55, {0x9A, 0x41, 0x0C, 0x8D, 0x3E, 0x6B, 0x7A, 0x10}};
inline constexpr const char* kTestProgId = "QorvTest.TestObject";
inline constexpr const char* kTestClsidText = "{5C1F6A34-2B7D-4E55-9A41-0C8D3E6B7A10}";
// The failure Fail returns, with the message as the error description.
inline constexpr HRESULT kTestFailure = static_cast<HRESULT>(0x80040999u);

enum TxShade : LONG { shLight = 0, shDark = 1, shDeep = -5, shFar = 70000 };

struct ITestObject : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Small(CHAR* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Small(CHAR Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Octet(BYTE* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Octet(BYTE Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Short(SHORT* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Short(SHORT Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Word(USHORT* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Word(USHORT Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Long(LONG* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Long(LONG Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Color(DWORD* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Color(DWORD Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Shade(TxShade* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Shade(TxShade Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Peer(IDispatch** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Peer(IDispatch* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Peer(IDispatch** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Font(IDispatch** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Font(IDispatch* Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_Font(IDispatch** Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) = 0;
  virtual HRESULT STDMETHODCALLTYPE Swap(LONG* number, BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE Fail(BSTR message) = 0;
  virtual HRESULT STDMETHODCALLTYPE Describe(VARIANT any, BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE Mixed(CHAR a, BYTE b, SHORT c, USHORT d, LONG e, VARIANT_BOOL f, BSTR g,
                                          BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE AboutBox() = 0;

 protected:
  ~ITestObject() = default;
};

}  // namespace qorv::test
