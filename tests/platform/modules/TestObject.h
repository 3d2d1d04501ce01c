// The test server's object: ITestObject with IDispatch answered through its
// type description (DispGetIDsOfNames / DispInvoke), and ISupportErrorInfo.
// Built into the test server module and into platform_tests, which drives
// it both through Invoke and directly through its vtable.
#pragma once

#include <atomic>
#include <string>

#include "TestServer.h"

namespace qorv::test {

class TestObject final : public ITestObject, public ISupportErrorInfo {
 public:
  // `info` is the type description of ITestObject (AddRef'ed here).
  explicit TestObject(ITypeInfo* info);

  // Objects alive in this module, for DllCanUnloadNow.
  static std::atomic<long> Live;

  // What the test reads back without going through the interface.
  int AboutBoxCalls() const { return aboutBoxCalls_; }
  int PeerPutKind() const { return peerPutKind_; }  // 0 none, 1 put, 2 put-by-reference
  int FontPutKind() const { return fontPutKind_; }
  IDispatch* PeerObject() const { return peer_; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;
  // ITestObject
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_Small(CHAR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Small(CHAR Value) override;
  HRESULT STDMETHODCALLTYPE get_Octet(BYTE* Value) override;
  HRESULT STDMETHODCALLTYPE put_Octet(BYTE Value) override;
  HRESULT STDMETHODCALLTYPE get_Short(SHORT* Value) override;
  HRESULT STDMETHODCALLTYPE put_Short(SHORT Value) override;
  HRESULT STDMETHODCALLTYPE get_Word(USHORT* Value) override;
  HRESULT STDMETHODCALLTYPE put_Word(USHORT Value) override;
  HRESULT STDMETHODCALLTYPE get_Long(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE put_Long(LONG Value) override;
  HRESULT STDMETHODCALLTYPE get_Color(DWORD* Value) override;
  HRESULT STDMETHODCALLTYPE put_Color(DWORD Value) override;
  HRESULT STDMETHODCALLTYPE get_Shade(TxShade* Value) override;
  HRESULT STDMETHODCALLTYPE put_Shade(TxShade Value) override;
  HRESULT STDMETHODCALLTYPE get_Peer(IDispatch** Value) override;
  HRESULT STDMETHODCALLTYPE put_Peer(IDispatch* Value) override;
  HRESULT STDMETHODCALLTYPE putref_Peer(IDispatch** Value) override;
  HRESULT STDMETHODCALLTYPE get_Font(IDispatch** Value) override;
  HRESULT STDMETHODCALLTYPE put_Font(IDispatch* Value) override;
  HRESULT STDMETHODCALLTYPE putref_Font(IDispatch** Value) override;
  HRESULT STDMETHODCALLTYPE Add(LONG a, LONG b, LONG* sum) override;
  HRESULT STDMETHODCALLTYPE Swap(LONG* number, BSTR* text) override;
  HRESULT STDMETHODCALLTYPE Fail(BSTR message) override;
  HRESULT STDMETHODCALLTYPE Describe(VARIANT any, BSTR* text) override;
  HRESULT STDMETHODCALLTYPE Mixed(CHAR a, BYTE b, SHORT c, USHORT d, LONG e, VARIANT_BOOL f, BSTR g,
                                  BSTR* text) override;
  HRESULT STDMETHODCALLTYPE AboutBox() override;

 private:
  ~TestObject();
  static void Hold(IDispatch*& slot, IDispatch* value);

  std::atomic<ULONG> refs_{1};
  ITypeInfo* info_;
  VARIANT_BOOL visible_ = VARIANT_FALSE;
  BSTR caption_ = nullptr;
  CHAR small_ = 0;
  BYTE octet_ = 0;
  SHORT short_ = 0;
  USHORT word_ = 0;
  LONG long_ = 0;
  DWORD color_ = 0;
  TxShade shade_ = shLight;
  IDispatch* peer_ = nullptr;
  IDispatch* font_ = nullptr;
  int peerPutKind_ = 0;
  int fontPutKind_ = 0;
  int aboutBoxCalls_ = 0;
};

}  // namespace qorv::test
