// Type libraries in the registry: the entries RegisterTypeLib writes and
// UnRegisterTypeLib removes, LoadRegTypeLib's choice of version and locale,
// and the standard OLE library every new system root holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "ComTestSupport.h"
#include "TestServer.h"
#include "systemroot.h"
#include "winreg.h"

using namespace qorv::test;

namespace {

constexpr GUID kStdOleLibId{0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr const char* kLibKey = "TypeLib\\{5C1F6A30-2B7D-4E55-9A41-0C8D3E6B7A10}";
constexpr const char* kDualKey = "Interface\\{5C1F6A32-2B7D-4E55-9A41-0C8D3E6B7A10}";
constexpr const char* kEventsKey = "Interface\\{5C1F6A33-2B7D-4E55-9A41-0C8D3E6B7A10}";
constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";
constexpr const char* kAutomationMarshaller = "{00020424-0000-0000-C000-000000000046}";

// A REG_SZ value of HKCR\key (the default value when name is null).
std::optional<std::string> Value(const std::string& key, const char* name = nullptr) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  char data[1024];
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG result = RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS || type != REG_SZ || size == 0) return std::nullopt;
  return std::string(data, size - 1);
}

bool KeyExists(const std::string& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void SetValue(const std::string& key, const std::string& value) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
}

class TypeLibRegistry : public testing::Test {
 protected:
  void SetUp() override {
    // The library as it would lie in an installation folder.
    auto folder = qorv::platform::WindowsToLinuxPath("C:\\Qorv Test");
    ASSERT_TRUE(folder);
    std::filesystem::create_directories(*folder);
    std::filesystem::copy_file(QORV_TEST_TYPELIB, *folder / "QorvTest.tlb");
    ASSERT_EQ(LoadTypeLibEx(path_.c_str(), REGKIND_NONE, lib_.Put()), S_OK);
  }

  HRESULT Register() {
    std::u16string help = Wide("C:\\Qorv Test\\");
    return RegisterTypeLib(lib_.Get(), path_.c_str(), help.c_str());
  }

  std::u16string path_ = Wide("C:\\Qorv Test\\QorvTest.tlb");
  ComPtr<ITypeLib> lib_;
};

TEST_F(TypeLibRegistry, RegistrationWritesTheLibraryAndItsAutomationInterfaces) {
  ASSERT_EQ(Register(), S_OK);
  // Version and locale in hexadecimal.
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.2"), "Qorv Test Server Library");
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.2\\FLAGS"), "2");
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.2\\HELPDIR"), "C:\\Qorv Test\\");
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.2\\409\\win32"), "C:\\Qorv Test\\QorvTest.tlb");

  EXPECT_EQ(Value(kDualKey), "ITestObject");
  EXPECT_EQ(Value(std::string(kDualKey) + "\\ProxyStubClsid"), kAutomationMarshaller);
  EXPECT_EQ(Value(std::string(kDualKey) + "\\ProxyStubClsid32"), kAutomationMarshaller);
  EXPECT_EQ(Value(std::string(kDualKey) + "\\TypeLib"), "{5C1F6A30-2B7D-4E55-9A41-0C8D3E6B7A10}");
  EXPECT_EQ(Value(std::string(kDualKey) + "\\TypeLib", "Version"), "1.2");
  EXPECT_EQ(Value(kEventsKey), "ITestObjectEvents");
  EXPECT_EQ(Value(std::string(kEventsKey) + "\\ProxyStubClsid32"), kDispatchMarshaller);
  // Classes and enums are not interfaces.
  EXPECT_FALSE(KeyExists("Interface\\{5C1F6A34-2B7D-4E55-9A41-0C8D3E6B7A10}"));
  EXPECT_FALSE(KeyExists("Interface\\{5C1F6A31-2B7D-4E55-9A41-0C8D3E6B7A10}"));
  EXPECT_FALSE(KeyExists("CLSID\\{5C1F6A34-2B7D-4E55-9A41-0C8D3E6B7A10}"));

  EXPECT_EQ(RegisterTypeLib(lib_.Get(), nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(RegisterTypeLib(nullptr, path_.c_str(), nullptr), E_INVALIDARG);
}

TEST_F(TypeLibRegistry, RegisteredLibraryIsFoundByVersionAndLocale) {
  ComPtr<ITypeLib> found;
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 2, 0x0409, found.Put()), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(Register(), S_OK);
  ASSERT_EQ(LoadRegTypeLib(kTestLibId, 1, 2, 0x0409, found.Put()), S_OK);
  EXPECT_EQ(found->GetTypeInfoCount(), 5u);
  // An older minor version asked for gets the newer one; a newer one or
  // another major version is not there.
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 0, 0x0409, found.Put()), S_OK);
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 3, 0x0409, found.Put()), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 2, 0, 0x0409, found.Put()), TYPE_E_LIBNOTREGISTERED);
  // Another language finds nothing; the neutral locale would.
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 2, 0x0401, found.Put()), TYPE_E_LIBNOTREGISTERED);
  SetValue(std::string(kLibKey) + "\\1.2\\0\\win32", "C:\\Qorv Test\\QorvTest.tlb");
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 2, 0x0401, found.Put()), S_OK);

  Bstr path;
  ASSERT_EQ(QueryPathOfRegTypeLib(kTestLibId, 1, 2, 0x0409, path.Put()), S_OK);
  EXPECT_EQ(path.Text(), "C:\\Qorv Test\\QorvTest.tlb");
  // A registered path that leads nowhere.
  SetValue(std::string(kLibKey) + "\\1.2\\409\\win32", "C:\\Qorv Test\\Gone.tlb");
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 2, 0x0409, found.Put()), TYPE_E_CANTLOADLIBRARY);
}

TEST_F(TypeLibRegistry, UnregistrationRemovesWhatRegistrationWrote) {
  ASSERT_EQ(Register(), S_OK);
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 2, 0x0409, SYS_WIN32), S_OK);
  EXPECT_FALSE(KeyExists(kLibKey));
  EXPECT_FALSE(KeyExists(kDualKey));
  EXPECT_FALSE(KeyExists(kEventsKey));
  EXPECT_EQ(UnRegisterTypeLib(kTestLibId, 1, 2, 0x0409, SYS_WIN32), TYPE_E_REGISTRYACCESS);
  ComPtr<ITypeLib> found;
  EXPECT_EQ(LoadRegTypeLib(kTestLibId, 1, 2, 0x0409, found.Put()), TYPE_E_LIBNOTREGISTERED);
}

TEST_F(TypeLibRegistry, UnregistrationKeepsWhatOthersStillUse) {
  ASSERT_EQ(Register(), S_OK);
  // Another version of the library, and an interface key that another
  // library has taken over since.
  SetValue(std::string(kLibKey) + "\\1.3\\0\\win32", "C:\\elsewhere.tlb");
  SetValue(std::string(kEventsKey) + "\\TypeLib", "{11111111-2222-3333-4444-555555555555}");
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 2, 0x0409, SYS_WIN32), S_OK);
  EXPECT_FALSE(KeyExists(std::string(kLibKey) + "\\1.2"));
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.3\\0\\win32"), "C:\\elsewhere.tlb");
  EXPECT_FALSE(KeyExists(kDualKey));
  EXPECT_TRUE(KeyExists(kEventsKey));
  // Another locale of the same version keeps the version.
  ASSERT_EQ(Register(), S_OK);
  SetValue(std::string(kLibKey) + "\\1.2\\0\\win32", "C:\\Qorv Test\\QorvTest.tlb");
  ASSERT_EQ(UnRegisterTypeLib(kTestLibId, 1, 2, 0x0409, SYS_WIN32), S_OK);
  EXPECT_FALSE(KeyExists(std::string(kLibKey) + "\\1.2\\409"));
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.2"), "Qorv Test Server Library");
}

TEST_F(TypeLibRegistry, LoadingWithRegisterRegisters) {
  ComPtr<ITypeLib> loaded;
  ASSERT_EQ(LoadTypeLibEx(path_.c_str(), REGKIND_REGISTER, loaded.Put()), S_OK);
  EXPECT_EQ(Value(std::string(kLibKey) + "\\1.2\\409\\win32"), "C:\\Qorv Test\\QorvTest.tlb");
}

TEST(StandardTypeLibrary, NewRootHoldsStdole2RegisteredInItsSystemFolder) {
  auto file = qorv::platform::WindowsToLinuxPath("C:\\Windows\\System32\\stdole2.tlb");
  ASSERT_TRUE(file);
  EXPECT_TRUE(std::filesystem::is_regular_file(*file));
  const std::string key = "TypeLib\\{00020430-0000-0000-C000-000000000046}\\2.0";
  EXPECT_EQ(Value(key), "OLE Automation");
  EXPECT_EQ(Value(key + "\\0\\win32"), "C:\\Windows\\System32\\stdole2.tlb");
  EXPECT_EQ(Value(key + "\\FLAGS"), "0");
  ComPtr<ITypeLib> stdole;
  ASSERT_EQ(LoadRegTypeLib(kStdOleLibId, 2, 0, 0, stdole.Put()), S_OK);
  Bstr name;
  ASSERT_EQ(stdole->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.Text(), "stdole");
  // Its font dispinterface is registered for marshalling.
  EXPECT_EQ(Value("Interface\\{BEF6E003-A874-101A-8BBA-00AA00300CAB}\\ProxyStubClsid32"), kDispatchMarshaller);
}

TEST(StandardTypeLibrary, ImportsResolveThroughTheSystemFolderWhenNotRegistered) {
  ASSERT_EQ(UnRegisterTypeLib(kStdOleLibId, 2, 0, 0, SYS_WIN32), S_OK);
  std::u16string path = Wide(QORV_TEST_TYPELIB);
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put()), S_OK);
  ComPtr<ITypeInfo> dual;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestObject, dual.Put()), S_OK);
  FUNCDESC* queryInterface = nullptr;
  ASSERT_EQ(dual->GetFuncDesc(0, &queryInterface), S_OK);
  // Without stdole2.tlb the inherited members cannot be listed, the own ones can.
  std::filesystem::remove(*qorv::platform::WindowsToLinuxPath("C:\\Windows\\System32\\stdole2.tlb"));
  ComPtr<ITypeLib> again;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, again.Put()), S_OK);
  ASSERT_EQ(again->GetTypeInfoOfGuid(IID_ITestObject, dual.Put()), S_OK);
  EXPECT_EQ(dual->GetFuncDesc(0, &queryInterface), TYPE_E_CANTLOADLIBRARY);
  FUNCDESC* own = nullptr;
  EXPECT_EQ(dual->GetFuncDesc(7, &own), S_OK);
  std::u16string name = Wide("Add");
  LPOLESTR names[] = {name.data()};
  MEMBERID id = 0;
  EXPECT_EQ(dual->GetIDsOfNames(names, 1, &id), S_OK);
  EXPECT_EQ(id, 20);
}

}  // namespace
