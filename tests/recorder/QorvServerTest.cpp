// QorvProj1.ocx as a host and the registration tool see it: the symbols it
// exports, the registry entries registration writes from a folder with a
// blank (and removes, twice), and the entry points and class factory.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../platform/ChildProgram.h"
#include "../platform/RegistryTestSupport.h"
#include "QorvProj1_TLB.h"
#include "TestSupport.h"
#include "fileapi.h"
#include "objbase.h"
#include "systemroot.h"

using qorv::test::KeyExists;
using qorv::test::ProgramResult;
using qorv::test::QueryString;
using qorv::test::RunProgram;
using qorv::test::ScopedKey;

namespace {

namespace fs = std::filesystem;

constexpr const char* kClassKey = "CLSID\\{FDFC660E-0953-4E1A-A45A-7F37F5E8CD20}";
constexpr const char* kTypeLibKey = "TypeLib\\{632EC935-6E13-4F33-9708-DE8C4DC904BA}";
constexpr const char* kLongPath = "C:\\Program Files\\Qorv Proj1\\QorvProj1.ocx";
constexpr const char* kShortPath = "C:\\PROGRA~1\\QORVPR~1\\QORVPR~1.OCX";

fs::path DriveC() { return qorv::platform::ReadDriveMapping('C').Folder; }

void InstallLibrary() {
  fs::create_directories(DriveC() / "Program Files/Qorv Proj1");
  fs::copy_file(QORV_QORVPROJ1_OCX, DriveC() / "Program Files/Qorv Proj1/QorvProj1.ocx");
}

std::string DefaultOf(const std::string& key, const char* name = nullptr) {
  ScopedKey open;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, open.Out()) != ERROR_SUCCESS) return "<missing>";
  return QueryString(open.Get(), name);
}

// The names of the defined symbols in the file's dynamic symbol table, as
// the dynamic linker (and so dlsym) sees them.
std::set<std::string> ExportedSymbols(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::set<std::string> names;
  if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
  auto* header = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
  auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + header->e_shoff);
  for (int i = 0; i < header->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNSYM) continue;
    const char* strings = bytes.data() + sections[sections[i].sh_link].sh_offset;
    auto* symbols = reinterpret_cast<const Elf64_Sym*>(bytes.data() + sections[i].sh_offset);
    size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
    for (size_t s = 0; s < count; ++s) {
      if (symbols[s].st_shndx == SHN_UNDEF || symbols[s].st_name == 0) continue;
      names.insert(strings + symbols[s].st_name);
    }
  }
  return names;
}

// The library loaded into this process with its four entry points.
class Library {
 public:
  Library() : module_(LoadLibraryA(QORV_QORVPROJ1_OCX)) {
    EXPECT_NE(module_, nullptr) << GetLastError();
    if (!module_) return;
    GetClassObject = reinterpret_cast<decltype(GetClassObject)>(GetProcAddress(module_, "DllGetClassObject"));
    CanUnloadNow = reinterpret_cast<decltype(CanUnloadNow)>(GetProcAddress(module_, "DllCanUnloadNow"));
  }
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  IClassFactory* Factory() {
    void* factory = nullptr;
    EXPECT_EQ(GetClassObject(QorvProj1_TLB::CLSID_QorvX, IID_IClassFactory, &factory), S_OK);
    return static_cast<IClassFactory*>(factory);
  }

  HRESULT (*GetClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT (*CanUnloadNow)() = nullptr;

 private:
  HMODULE module_;
};

// An outer object for aggregation requests; never asked anything here.
struct Outer final : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

}  // namespace

// The four entry points and nothing else of ours: no framework, platform or
// C++ runtime symbol may take the place of a host's through interposition.
TEST(QorvServer, ExportsOnlyTheFourEntryPoints) {
  std::set<std::string> expected{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"};
  EXPECT_EQ(ExportedSymbols(QORV_QORVPROJ1_OCX), expected);
}

// Registration from a folder with a blank: every entry with its value, the
// server's short form, the bitmap's long path; unregistration removes them
// all and succeeds again when there is nothing left to remove.
TEST(QorvServer, RegistersAndUnregistersFromAFolderWithABlank) {
  InstallLibrary();
  ProgramResult registered = RunProgram(QORV_REGSVR32, {"/s", kLongPath});
  ASSERT_EQ(registered.ExitStatus, 0) << registered.Err;

  const std::string c = kClassKey;
  EXPECT_EQ(DefaultOf(c), "QorvX Control");
  EXPECT_EQ(DefaultOf(c + "\\InprocServer32"), kShortPath);
  EXPECT_EQ(DefaultOf(c + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(DefaultOf("QorvProj1.QorvX"), "QorvX Control");
  EXPECT_EQ(DefaultOf("QorvProj1.QorvX\\Clsid"), "{FDFC660E-0953-4E1A-A45A-7F37F5E8CD20}");
  EXPECT_EQ(DefaultOf(c + "\\ProgID"), "QorvProj1.QorvX");
  EXPECT_EQ(DefaultOf(c + "\\Version"), "1.0");
  EXPECT_EQ(DefaultOf(c + "\\TypeLib"), "{632EC935-6E13-4F33-9708-DE8C4DC904BA}");
  EXPECT_EQ(DefaultOf(c + "\\MiscStatus"), "0");
  EXPECT_EQ(DefaultOf(c + "\\MiscStatus\\1"), "205201");
  EXPECT_EQ(DefaultOf(c + "\\ToolboxBitmap32"), std::string(kLongPath) + ",1");
  EXPECT_EQ(DefaultOf(c + "\\Control"), "");
  EXPECT_EQ(DefaultOf(c + "\\Verb"), "");
  EXPECT_EQ(DefaultOf(c + "\\Verb\\0"), "Properties,0,2");
  EXPECT_EQ(DefaultOf(std::string(kTypeLibKey) + "\\1.0"), "QorvProj1 Library");
  EXPECT_EQ(DefaultOf(std::string(kTypeLibKey) + "\\1.0\\409\\win32"), kLongPath);
  EXPECT_EQ(DefaultOf(std::string(kTypeLibKey) + "\\1.0\\HELPDIR"), "C:\\Program Files\\Qorv Proj1\\");

  // The short form names the same file: COM loads the server from it.
  EXPECT_EQ(GetFileAttributesA(kShortPath), FILE_ATTRIBUTE_ARCHIVE);

  for (int round = 1; round <= 2; ++round) {
    ProgramResult unregistered = RunProgram(QORV_REGSVR32, {"/u", "/s", kShortPath});
    EXPECT_EQ(unregistered.ExitStatus, 0) << "round " << round << ": " << unregistered.Err;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, c)) << round;
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "QorvProj1.QorvX")) << round;
    // Found through OLEAUT32.DLL by name: the type library goes too.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey)) << round;
  }
}

// DllGetClassObject serves the control's class only; a failed request leaves
// a null pointer.
TEST(QorvServer, GetClassObjectServesTheControlClassOnly) {
  Library library;
  ASSERT_NE(library.GetClassObject, nullptr);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(library.GetClassObject(QorvProj1_TLB::IID_IQorvX, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(library.GetClassObject(QorvProj1_TLB::CLSID_QorvX, QorvProj1_TLB::IID_IQorvX, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(library.GetClassObject(QorvProj1_TLB::CLSID_QorvX, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(library.GetClassObject(QorvProj1_TLB::CLSID_QorvX, IID_IUnknown, &object), S_OK);
  ASSERT_NE(object, nullptr);
  static_cast<IUnknown*>(object)->Release();
}

// The library may go only when no factory reference and no lock is left.
TEST(QorvServer, CanUnloadNowFollowsFactoryReferencesAndLocks) {
  Library library;
  ASSERT_NE(library.CanUnloadNow, nullptr);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
  IClassFactory* factory = library.Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  factory->AddRef();
  factory->Release();
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE) << "a lock keeps the library";
  IClassFactory* again = library.Factory();
  EXPECT_EQ(again->LockServer(FALSE), S_OK);
  again->Release();
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

// The class factory's refusals come before any object is made, and each
// leaves a null out pointer.
TEST(QorvServer, CreateInstanceRefusesBadRequests) {
  Library library;
  IClassFactory* factory = library.Factory();
  ASSERT_NE(factory, nullptr);
  Outer outer;
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(&outer, QorvProj1_TLB::IID_IQorvX, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  factory->Release();
  EXPECT_EQ(library.CanUnloadNow(), S_OK) << "no object was left behind";
}

// With an outer object and IUnknown the control is made as an aggregate:
// the caller gets the inner object, which answers the control's interfaces.
TEST(QorvServer, CreateInstanceAggregatesWithIUnknown) {
  Library library;
  IClassFactory* factory = library.Factory();
  ASSERT_NE(factory, nullptr);
  Outer outer;
  void* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &inner), S_OK);
  factory->Release();
  ASSERT_NE(inner, nullptr);
  void* face = nullptr;
  EXPECT_EQ(static_cast<IUnknown*>(inner)->QueryInterface(QorvProj1_TLB::IID_IQorvX, &face), S_OK);
  EXPECT_NE(face, nullptr);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  if (face) static_cast<IUnknown*>(face)->Release();  // goes to the outer object
  static_cast<IUnknown*>(inner)->Release();
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

// A control object keeps the library loaded until its last release.
TEST(QorvServer, ControlObjectKeepsTheLibraryUntilReleased) {
  Library library;
  IClassFactory* factory = library.Factory();
  ASSERT_NE(factory, nullptr);
  void* object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, QorvProj1_TLB::IID_IQorvX, &object), S_OK);
  factory->Release();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  auto* control = static_cast<QorvProj1_TLB::IQorvX*>(object);
  VARIANT_BOOL open = VARIANT_TRUE;
  EXPECT_EQ(control->get_OpenPort(&open), S_OK) << "the object answers through its vtable";
  EXPECT_EQ(open, VARIANT_FALSE);
  control->Release();
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

// The entry points from many threads at once, the first calls among them
// making the server: every reference and lock taken is given back, so the
// counters end at zero and the library may go.
TEST(QorvServer, EntryPointsFromManyThreadsKeepTheCountsRight) {
  Library library;
  ASSERT_NE(library.GetClassObject, nullptr);
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        void* object = nullptr;
        if (library.GetClassObject(QorvProj1_TLB::CLSID_QorvX, IID_IClassFactory, &object) != S_OK) {
          ++failures;
          continue;
        }
        auto* factory = static_cast<IClassFactory*>(object);
        factory->LockServer(TRUE);
        if (library.CanUnloadNow() != S_FALSE) ++failures;
        factory->LockServer(FALSE);
        factory->Release();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
}
