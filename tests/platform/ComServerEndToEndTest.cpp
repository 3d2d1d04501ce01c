// The in-process test server from end to end, the way a control is used:
// registered with regsvr32 from a folder with blanks, created by CLSID and by
// ProgID, called through IDispatch by name with every argument kind, failing
// with error information that reaches EXCEPINFO, and unloaded once it
// allows it; then unregistered.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProgram.h"
#include "ComTestSupport.h"
#include "TestServer.h"
#include "fileapi.h"
#include "objbase.h"
#include "systemroot.h"
#include "winreg.h"

using namespace qorv::test;

namespace {

namespace fs = std::filesystem;

constexpr const char* kServerPath = "C:\\Program Files\\Qorv Test\\QorvTestServer.dll";
constexpr const char* kServerFile = "QorvTestServer.dll";

std::string DefaultValue(const std::string& key) {
  char data[512];
  LONG size = sizeof data;
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), data, &size) != ERROR_SUCCESS || size <= 0) return "<none>";
  return std::string(data, static_cast<size_t>(size - 1));
}

bool KeyExists(const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool ServerLoaded() { return GetModuleHandleA(kServerFile) != nullptr; }

class Apartment {
 public:
  Apartment() { EXPECT_EQ(CoInitialize(nullptr), S_OK); }
  ~Apartment() { CoUninitialize(); }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
};

// Calls a member by name, as a script host does: arguments in call order.
class Caller {
 public:
  explicit Caller(IDispatch* target) : target_(target) {}

  HRESULT Call(const char* name, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr) {
    std::u16string wide = Wide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = target_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
    ClearException();
    ArgErr = 0;
    return target_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &Exception, &ArgErr);
  }
  HRESULT Put(const char* name, VARIANT value) { return Call(name, DISPATCH_PROPERTYPUT, {value}); }
  HRESULT Get(const char* name, Variant& result) { return Call(name, DISPATCH_PROPERTYGET, {}, &result); }
  void ClearException() {
    SysFreeString(Exception.bstrSource);
    SysFreeString(Exception.bstrDescription);
    SysFreeString(Exception.bstrHelpFile);
    Exception = EXCEPINFO{};
  }
  ~Caller() { ClearException(); }

  EXCEPINFO Exception{};
  UINT ArgErr = 0;

 private:
  IDispatch* target_;
};

VARIANT Of(VARTYPE vt, LONGLONG bits) {
  VARIANT v{};
  v.vt = vt;
  v.llVal = bits;
  return v;
}

#ifdef QORV_REGSVR32
TEST(ComServerEndToEnd, RegisteredCreatedCalledByNameAndUnloaded) {
  fs::path folder = qorv::platform::ReadDriveMapping('C').Folder / "Program Files/Qorv Test";
  fs::create_directories(folder);
  fs::copy_file(QORV_TEST_SERVER, folder / kServerFile);

  ProgramResult registered = RunProgram(QORV_REGSVR32, {"/s", kServerPath});
  ASSERT_EQ(registered.ExitStatus, 0) << registered.Err;
  const std::string classKey = std::string("CLSID\\") + kTestClsidText;
  EXPECT_EQ(DefaultValue(classKey + "\\InprocServer32"), kServerPath);
  EXPECT_EQ(DefaultValue(std::string(kTestProgId) + "\\Clsid"), kTestClsidText);
  EXPECT_EQ(DefaultValue("TypeLib\\{5C1F6A30-2B7D-4E55-9A41-0C8D3E6B7A10}\\1.2\\409\\win32"), kServerPath);
  EXPECT_EQ(DefaultValue("Interface\\{5C1F6A32-2B7D-4E55-9A41-0C8D3E6B7A10}"), "ITestObject");

  {
    Apartment apartment;
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()), S_OK);
    ASSERT_TRUE(ServerLoaded());
    CLSID byProgId{};
    std::u16string progId = Wide(kTestProgId);
    ASSERT_EQ(CLSIDFromProgID(progId.c_str(), &byProgId), S_OK);
    ComPtr<IDispatch> peer;
    ASSERT_EQ(CoCreateInstance(byProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, peer.PutVoid()), S_OK);
    EXPECT_NE(object.Get(), peer.Get());

    // The object describes itself through the registered type library.
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), S_OK);
    Bstr typeName;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, typeName.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(typeName.Text(), "ITestObject");

    Caller call(object.Get());
    // Every basic kind in one call, each converted from a long or a string.
    Variant mixed;
    ASSERT_EQ(call.Call("Mixed", DISPATCH_METHOD,
                        {Of(VT_I4, -8), Of(VT_I4, 255), Of(VT_I4, 1234), Of(VT_I4, 65535), Of(VT_I4, -99),
                         Of(VT_BOOL, 0), Of(VT_BSTR, 0)},
                        &mixed),
              S_OK);
    EXPECT_EQ(Narrow(mixed->bstrVal), "-8,255,1234,65535,-99,0,");
    // Properties of each type.
    ASSERT_EQ(call.Put("Visible", Of(VT_BOOL, VARIANT_TRUE)), S_OK);
    Bstr caption("Qorv");
    VARIANT captionArg = Of(VT_BSTR, 0);
    captionArg.bstrVal = caption.Get();
    ASSERT_EQ(call.Put("Caption", captionArg), S_OK);
    ASSERT_EQ(call.Put("Small", Of(VT_I1, -100)), S_OK);
    ASSERT_EQ(call.Put("Octet", Of(VT_UI1, 250)), S_OK);
    ASSERT_EQ(call.Put("Short", Of(VT_I2, -2)), S_OK);
    ASSERT_EQ(call.Put("Word", Of(VT_UI2, 65000)), S_OK);
    ASSERT_EQ(call.Put("Shade", Of(VT_I4, shFar)), S_OK);
    Variant visible, text, small, octet, shortValue, word, shade;
    ASSERT_EQ(call.Get("Visible", visible), S_OK);
    ASSERT_EQ(call.Get("Caption", text), S_OK);
    ASSERT_EQ(call.Get("Small", small), S_OK);
    ASSERT_EQ(call.Get("Octet", octet), S_OK);
    ASSERT_EQ(call.Get("Short", shortValue), S_OK);
    ASSERT_EQ(call.Get("Word", word), S_OK);
    ASSERT_EQ(call.Get("Shade", shade), S_OK);
    EXPECT_EQ(visible->vt, VT_BOOL);
    EXPECT_EQ(visible->boolVal, VARIANT_TRUE);
    EXPECT_EQ(Narrow(text->bstrVal), "Qorv");
    EXPECT_EQ(small->vt, VT_I1);
    EXPECT_EQ(small->cVal, -100);
    EXPECT_EQ(octet->bVal, 250);
    EXPECT_EQ(shortValue->iVal, -2);
    EXPECT_EQ(word->uiVal, 65000);
    EXPECT_EQ(shade->lVal, shFar);
    // The result of a method, with a default argument.
    Variant sum;
    ASSERT_EQ(call.Call("Add", DISPATCH_METHOD, {Of(VT_I4, 32)}, &sum), S_OK);
    EXPECT_EQ(sum->lVal, 42);
    // By-reference arguments.
    LONG number = 4;
    BSTR word2 = Bstr("ok").Release();
    VARIANT numberRef = Of(VT_I4 | VT_BYREF, 0);
    numberRef.plVal = &number;
    VARIANT textRef = Of(VT_BSTR | VT_BYREF, 0);
    textRef.pbstrVal = &word2;
    ASSERT_EQ(call.Call("Swap", DISPATCH_METHOD, {numberRef, textRef}), S_OK);
    EXPECT_EQ(number, 8);
    EXPECT_EQ(Narrow(word2), "ok!");
    SysFreeString(word2);
    // Put-by-reference of another object's IDispatch, and back.
    IDispatch* peerPointer = peer.Get();
    VARIANT peerRef = Of(VT_DISPATCH | VT_BYREF, 0);
    peerRef.ppdispVal = &peerPointer;
    ASSERT_EQ(call.Call("Peer", DISPATCH_PROPERTYPUTREF, {peerRef}), S_OK);
    Variant gotPeer;
    ASSERT_EQ(call.Get("Peer", gotPeer), S_OK);
    ASSERT_EQ(gotPeer->vt, VT_DISPATCH);
    EXPECT_EQ(gotPeer->pdispVal, peer.Get());
    VariantClear(&gotPeer);
    ASSERT_EQ(call.Call("Peer", DISPATCH_PROPERTYPUTREF, {Of(VT_DISPATCH, 0)}), S_OK);  // a null reference

    // A failure with its error information.
    Bstr message("the recorder is not connected");
    VARIANT messageArg = Of(VT_BSTR, 0);
    messageArg.bstrVal = message.Get();
    EXPECT_EQ(call.Call("Fail", DISPATCH_METHOD, {messageArg}), DISP_E_EXCEPTION);
    EXPECT_EQ(call.Exception.scode, kTestFailure);
    EXPECT_EQ(Narrow(call.Exception.bstrSource), kTestProgId);
    EXPECT_EQ(Narrow(call.Exception.bstrDescription), "the recorder is not connected");
    EXPECT_EQ(call.Exception.dwHelpContext, 99u);
    // And the failures of the call itself.
    EXPECT_EQ(call.Call("Add", DISPATCH_METHOD, {}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call.Call("Add", DISPATCH_METHOD, {Of(VT_BSTR, 0), Of(VT_I4, 1)}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call.ArgErr, 1u);
    EXPECT_EQ(call.Call("NoSuchMember", DISPATCH_METHOD, {}), DISP_E_UNKNOWNNAME);

    // The server stays while anything of it lives.
    info.Reset();
    object.Reset();
    CoFreeUnusedLibraries();
    EXPECT_TRUE(ServerLoaded());
    peer.Reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(ServerLoaded());
  }

  ProgramResult unregistered = RunProgram(QORV_REGSVR32, {"/u", "/s", kServerPath});
  ASSERT_EQ(unregistered.ExitStatus, 0) << unregistered.Err;
  EXPECT_FALSE(KeyExists(classKey));
  EXPECT_FALSE(KeyExists(kTestProgId));
  EXPECT_FALSE(KeyExists("TypeLib\\{5C1F6A30-2B7D-4E55-9A41-0C8D3E6B7A10}"));
  EXPECT_FALSE(KeyExists("Interface\\{5C1F6A32-2B7D-4E55-9A41-0C8D3E6B7A10}"));
}
#endif

}  // namespace
