#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "RegistryTestSupport.h"
#include "TestComServer.h"
#include "TestSupport.h"
#include "objbase.h"
#include "systemroot.h"

namespace {

namespace fs = std::filesystem;

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

std::string Braced(REFGUID guid) {
  OLECHAR text[39];
  EXPECT_EQ(StringFromGUID2(guid, text, 39), 39);
  return std::string(text, text + 38);
}

// Writes the class's InprocServer32 (a missing value when `server` is null)
// and, when given, its ProgID in both directions.
void RegisterClass(REFCLSID clsid, const char* server, const char* progId = nullptr) {
  const std::string classKey = "CLSID\\" + Braced(clsid);
  qorv::test::ScopedKey inproc(qorv::test::CreateKey(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32"));
  if (server) {
    ASSERT_EQ(qorv::test::SetString(inproc.Get(), nullptr, server), ERROR_SUCCESS);
  }
  if (!progId) return;
  qorv::test::ScopedKey progIdOfClass(qorv::test::CreateKey(HKEY_CLASSES_ROOT, classKey + "\\ProgID"));
  ASSERT_EQ(qorv::test::SetString(progIdOfClass.Get(), nullptr, progId), ERROR_SUCCESS);
  qorv::test::ScopedKey classOfProgId(qorv::test::CreateKey(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID"));
  ASSERT_EQ(qorv::test::SetString(classOfProgId.Get(), nullptr, Braced(clsid)), ERROR_SUCCESS);
}

// The test server copied to a Windows folder whose names have blanks, so that
// registration names it by its 8.3 form.
constexpr const char* kServerShortPath = "C:\\PROGRA~1\\QORVTE~1\\COUNTER.OCX";
constexpr const char* kServerFileName = "Counter.ocx";

void InstallServer() {
  fs::create_directories(DriveC() / "Program Files/Qorv Test");
  // A second name with the same short stem: the ~1 is the first in name order.
  fs::create_directories(DriveC() / "Program Files/Qorv Text");
  fs::copy_file(QORV_TEST_COMSERVER, DriveC() / "Program Files/Qorv Test" / kServerFileName);
}

bool ServerLoaded() { return GetModuleHandleA(kServerFileName) != nullptr; }

class Apartment {
 public:
  Apartment() { EXPECT_EQ(CoInitialize(nullptr), S_OK); }
  ~Apartment() { CoUninitialize(); }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
};

HRESULT Create(REFCLSID clsid, ITestCounter** counter, DWORD context = CLSCTX_INPROC_SERVER) {
  *counter = reinterpret_cast<ITestCounter*>(0x1);  // must be cleared on failure
  return CoCreateInstance(clsid, nullptr, context, IID_ITestCounter, reinterpret_cast<void**>(counter));
}

// Entering is counted per thread; a second kind is refused without being
// counted, and other threads choose their own kind.
TEST(ComApartment, EntriesAreCountedPerThreadAndKindIsFixed) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  std::thread other([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
  });
  other.join();
  CoUninitialize();
  ITestCounter* counter = nullptr;
  EXPECT_EQ(Create(CLSID_QorvTestCounter, &counter), REGDB_E_CLASSNOTREG) << "still inside after one of two exits";
  CoUninitialize();
  EXPECT_EQ(Create(CLSID_QorvTestCounter, &counter), CO_E_NOTINITIALIZED);
  EXPECT_EQ(counter, nullptr);
  CoUninitialize();  // unbalanced: ignored
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK) << "a thread that left may choose again";
  CoUninitialize();
  EXPECT_EQ(CoInitializeEx(reinterpret_cast<void*>(1), COINIT_MULTITHREADED), E_INVALIDARG);
}

TEST(ComIdentifiers, BracedFormRoundTripsAndMalformedTextIsRefused) {
  EXPECT_EQ(Braced(CLSID_QorvTestCounter), "{6F1D3A52-0B7E-4C29-9A44-5E13C7D2B801}");
  OLECHAR small[38];
  EXPECT_EQ(StringFromGUID2(CLSID_QorvTestCounter, small, 38), 0);

  CLSID parsed{};
  EXPECT_EQ(CLSIDFromString(u"{6f1d3a52-0b7e-4c29-9a44-5e13c7d2b801}", &parsed), S_OK);
  EXPECT_EQ(parsed, CLSID_QorvTestCounter);
  EXPECT_EQ(IIDFromString(u"{6F1D3A53-0B7E-4C29-9A44-5E13C7D2B801}", &parsed), S_OK);
  EXPECT_EQ(parsed, IID_ITestCounter);
  EXPECT_EQ(CLSIDFromString(nullptr, &parsed), S_OK);
  EXPECT_EQ(parsed, GUID_NULL);

  for (const char16_t* bad : {u"6F1D3A52-0B7E-4C29-9A44-5E13C7D2B801", u"{6F1D3A52-0B7E-4C29-9A44-5E13C7D2B801",
                              u"{6F1D3A52-0B7E-4C29-9A445E13C7D2B8011}", u"{6F1D3A52-0B7E-4C29-9A44-5E13C7D2B80G}",
                              u"{6F1D3A52-0B7E-4C29-9A44-5E13C7D2B8011}", u"{}", u""}) {
    EXPECT_EQ(IIDFromString(bad, &parsed), E_INVALIDARG)
        << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
    EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING);
  }
}

// ProgIDs map to classes and back through HKEY_CLASSES_ROOT; CLSIDFromString
// takes a ProgID as well.
TEST(ComIdentifiers, ProgIdsMapThroughTheRegistry) {
  RegisterClass(CLSID_QorvTestCounter, "counter.ocx", "Qorv.TestCounter");
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"qorv.testcounter", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_QorvTestCounter);
  EXPECT_EQ(CLSIDFromString(u"Qorv.TestCounter", &clsid), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Qorv.Missing", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"Qorv.Missing", &clsid), CO_E_CLASSSTRING);

  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_QorvTestCounter, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"Qorv.TestCounter");
  CoTaskMemFree(progId);
  EXPECT_EQ(ProgIDFromCLSID(IID_ITestCounter, &progId), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(progId, nullptr);
}

// The server is found by its 8.3 path, created by CLSID and by ProgID, and
// its objects count their references as usual.
TEST(ComServer, CreatesObjectsByClsidAndProgIdFromShortPath) {
  InstallServer();
  RegisterClass(CLSID_QorvTestCounter, kServerShortPath, "Qorv.TestCounter");
  Apartment apartment;

  ITestCounter* first = nullptr;
  ASSERT_EQ(Create(CLSID_QorvTestCounter, &first), S_OK);
  CLSID byProgId{};
  ASSERT_EQ(CLSIDFromProgID(u"Qorv.TestCounter", &byProgId), S_OK);
  ITestCounter* second = nullptr;
  ASSERT_EQ(Create(byProgId, &second), S_OK);
  EXPECT_NE(first, second);

  LONG total = 0;
  EXPECT_EQ(first->Add(5, &total), S_OK);
  EXPECT_EQ(first->Add(2, &total), S_OK);
  EXPECT_EQ(total, 7);
  EXPECT_EQ(second->Add(1, &total), S_OK);
  EXPECT_EQ(total, 1) << "each object counts for itself";
  LONG live = 0;
  EXPECT_EQ(first->LiveObjects(&live), S_OK);
  EXPECT_EQ(live, 2) << "both objects come from one loaded server";

  EXPECT_EQ(first->AddRef(), 2u);
  EXPECT_EQ(first->Release(), 1u);
  EXPECT_EQ(first->Release(), 0u);
  EXPECT_EQ(second->LiveObjects(&live), S_OK);
  EXPECT_EQ(live, 1);
  EXPECT_EQ(second->Release(), 0u);
}

// A server goes only when its DllCanUnloadNow allows: not while an object
// lives, not while a LockServer lock is held.
TEST(ComServer, FreeUnusedLibrariesUnloadsOnlyWhenServerAgrees) {
  InstallServer();
  RegisterClass(CLSID_QorvTestCounter, kServerShortPath);
  Apartment apartment;
  ITestCounter* counter = nullptr;
  ASSERT_EQ(Create(CLSID_QorvTestCounter, &counter), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_QorvTestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  ASSERT_TRUE(ServerLoaded());

  CoFreeUnusedLibraries();
  EXPECT_TRUE(ServerLoaded()) << "an object is alive";
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  counter->Release();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(ServerLoaded()) << "the server is locked";
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(ServerLoaded());

  ASSERT_EQ(Create(CLSID_QorvTestCounter, &counter), S_OK) << "an unloaded server is loaded again when needed";
  counter->Release();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(ServerLoaded());
}

// Each way a class can fail to come up gives the result Windows gives, and
// the out pointer is null.
TEST(ComServer, FailuresGiveWindowsResults) {
  InstallServer();
  qorv::test::WriteFileBytes(DriveC() / "Windows/System32/windows.ocx", std::string("MZ\x90\0\3\0\0\0", 8) + "PE");
  struct Case {
    const char* what;
    GUID clsid;
    const char* server;
    HRESULT expected;
  };
  auto clsid = [](DWORD n) { return GUID{n, 0x7E01, 0x4C29, {0x9A, 0x44, 0x5E, 0x13, 0xC7, 0xD2, 0xB8, 0x01}}; };
  const std::string nonServer = QORV_TEST_MODULE;
  const Case cases[] = {
      {"no InprocServer32 value", clsid(1), nullptr, REGDB_E_CLASSNOTREG},
      {"an empty value", clsid(2), "", REGDB_E_CLASSNOTREG},
      {"a missing file", clsid(3), "C:\\Program Files\\Qorv Test\\missing.ocx", CO_E_DLLNOTFOUND},
      {"a missing drive", clsid(4), "Q:\\server.ocx", CO_E_DLLNOTFOUND},
      {"a Windows PE library", clsid(5), "C:\\Windows\\System32\\windows.ocx",
       HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT)},
      {"a library without DllGetClassObject", clsid(6), nonServer.c_str(), CO_E_ERRORINDLL},
      {"a class the server does not serve", clsid(7), kServerShortPath, CLASS_E_CLASSNOTAVAILABLE},
      {"a bare name found in no system folder", clsid(8), "counter.ocx", CO_E_DLLNOTFOUND},
  };
  for (const auto& c : cases) RegisterClass(c.clsid, c.server);

  ITestCounter* counter = nullptr;
  EXPECT_EQ(Create(clsid(7), &counter), CO_E_NOTINITIALIZED);
  Apartment apartment;
  for (const auto& c : cases) {
    EXPECT_EQ(Create(c.clsid, &counter), c.expected) << c.what;
    EXPECT_EQ(counter, nullptr) << c.what;
  }
  EXPECT_EQ(Create(clsid(99), &counter), REGDB_E_CLASSNOTREG) << "no class key";
  RegisterClass(CLSID_QorvTestCounter, kServerShortPath);
  EXPECT_EQ(Create(CLSID_QorvTestCounter, &counter, CLSCTX_LOCAL_SERVER), REGDB_E_CLASSNOTREG)
      << "only in-process servers exist";
  EXPECT_EQ(CoCreateInstance(CLSID_QorvTestCounter, nullptr, CLSCTX_ALL, IID_ITestCounter, nullptr), E_POINTER);
  IUnknown* outer = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_QorvTestCounter, reinterpret_cast<IUnknown*>(&outer), CLSCTX_ALL, IID_ITestCounter,
                             reinterpret_cast<void**>(&counter)),
            CLASS_E_NOAGGREGATION)
      << "the factory's own refusal comes through";
  EXPECT_EQ(counter, nullptr);
  ASSERT_EQ(Create(CLSID_QorvTestCounter, &counter, CLSCTX_ALL), S_OK);
  counter->Release();
}

// A bare server name is looked for in the system folder, as the loader does.
TEST(ComServer, BareNameIsFoundInSystemFolder) {
  fs::copy_file(QORV_TEST_COMSERVER, DriveC() / "Windows/System32/counter.ocx");
  RegisterClass(CLSID_QorvTestCounter, "COUNTER.OCX");
  Apartment apartment;
  ITestCounter* counter = nullptr;
  ASSERT_EQ(Create(CLSID_QorvTestCounter, &counter), S_OK);
  counter->Release();
}

class TBuiltinObject final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
  }
  ULONG references = 1;
};

class TBuiltinFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IClassFactory) ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
    ++created;
    auto* object = new TBuiltinObject;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  ULONG references = 1;
  int created = 0;
};

// A class the platform serves is created like any other, with or without a
// registry entry naming the platform, and only inside an apartment.
TEST(ComBuiltin, RegisteredBuiltinClassIsCreatedLikeAnyOther) {
  static TBuiltinFactory factory;  // the platform keeps its reference for the process's lifetime
  const CLSID clsid{0x6F1D3A60, 0x0B7E, 0x4C29, {0x9A, 0x44, 0x5E, 0x13, 0xC7, 0xD2, 0xB8, 0x01}};
  EXPECT_EQ(qorv::platform::RegisterBuiltinClass(clsid, nullptr), E_INVALIDARG);
  ASSERT_EQ(qorv::platform::RegisterBuiltinClass(clsid, &factory), S_OK);
  const int createdBefore = factory.created;
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
            CO_E_NOTINITIALIZED);
  Apartment apartment;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
            S_OK);
  object->Release();
  RegisterClass(clsid, qorv::platform::kBuiltinServerName);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
  object->Release();
  EXPECT_EQ(factory.created - createdBefore, 2);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ITestCounter, reinterpret_cast<void**>(&object)),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  // The platform's entry for a class it does not serve: the server is there
  // but does not know the class.
  const CLSID unknown{0x6F1D3A61, 0x0B7E, 0x4C29, {0x9A, 0x44, 0x5E, 0x13, 0xC7, 0xD2, 0xB8, 0x01}};
  RegisterClass(unknown, qorv::platform::kBuiltinServerName);
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
            CLASS_E_CLASSNOTAVAILABLE);
}

// External locks hold a reference each and are counted per object, so an
// unlock without a lock releases nothing.
TEST(ComLockExternal, LocksHoldReferencesUntilUnlocked) {
  auto* object = new TBuiltinObject;
  EXPECT_EQ(CoLockObjectExternal(object, TRUE, TRUE), S_OK);
  EXPECT_EQ(CoLockObjectExternal(object, TRUE, TRUE), S_OK);
  EXPECT_EQ(object->references, 3u);
  EXPECT_EQ(CoLockObjectExternal(object, FALSE, TRUE), S_OK);
  EXPECT_EQ(CoLockObjectExternal(object, FALSE, TRUE), S_OK);
  EXPECT_EQ(object->references, 1u);
  EXPECT_EQ(CoLockObjectExternal(object, FALSE, TRUE), S_OK);
  EXPECT_EQ(object->references, 1u) << "no lock to let go of";
  EXPECT_EQ(CoLockObjectExternal(nullptr, TRUE, TRUE), E_INVALIDARG);
  object->Release();
}

TEST(ComTaskMem, ReallocAllocatesAndFrees) {
  void* block = CoTaskMemRealloc(nullptr, 16);
  ASSERT_NE(block, nullptr);
  block = CoTaskMemRealloc(block, 4096);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr);
  CoTaskMemFree(nullptr);
}

}  // namespace
