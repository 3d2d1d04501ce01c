// The registry calls as a Windows program sees them: keys, names, values,
// enumeration, handles, access rights and the error numbers of each call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "windows.h"

using qorv::test::CreateKey;
using qorv::test::KeyExists;
using qorv::test::QueryBytes;
using qorv::test::QueryString;
using qorv::test::ScopedKey;
using qorv::test::SetDword;
using qorv::test::SetString;

namespace {

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[300];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    LONG error = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
      EXPECT_EQ(error, ERROR_NO_MORE_ITEMS);
      return names;
    }
    EXPECT_EQ(size, std::strlen(name));
    names.emplace_back(name, size);
  }
}

std::vector<std::string> ValueNames(HKEY key) {
  std::vector<std::string> names;
  char name[300];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    LONG error = RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (error != ERROR_SUCCESS) {
      EXPECT_EQ(error, ERROR_NO_MORE_ITEMS);
      return names;
    }
    names.emplace_back(name, size);
  }
}

}  // namespace

// Creation makes every missing key on the way and tells whether the last one
// is new; opening then finds each of them, in any case.
TEST(RegistryKeys, CreateMakesPathAndReportsDisposition) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Qorv\\Deep\\Leaf", 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  for (const char* path : {"Software", "Software\\Qorv", "software\\QORV\\deep", "Software\\Qorv\\Deep\\Leaf\\"}) {
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, path)) << path;
  }
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\qorv\\DEEP\\leaf", 0, nullptr, 0, KEY_READ, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(key);
  // Created under HKCU only.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Qorv"));
  // There are no symbolic link keys to create.
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Link", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Link"));
}

// Paths Windows refuses, with its error numbers, for both create and open;
// nothing is created by a refused path.
TEST(RegistryKeys, MalformedPathsAreRefused) {
  struct Case {
    std::string Path;
    LONG Create;
    LONG Open;
  };
  const Case cases[] = {
      {"\\Leading", ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME},
      {"Double\\\\Separator", ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME},
      {"Trailing\\\\", ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME},
      {std::string(256, 'k'), ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
      {"Ok\\" + std::string(256, 'k'), ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
      {std::string(255, 'k'), ERROR_SUCCESS, ERROR_SUCCESS},
      {"Trailing\\", ERROR_SUCCESS, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, c.Path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              c.Create)
        << c.Path;
    if (c.Create == ERROR_SUCCESS) {
      RegCloseKey(key);
    } else {
      EXPECT_EQ(key, nullptr) << c.Path;
    }
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, c.Path.c_str(), 0, KEY_READ, &key), c.Open) << c.Path;
    if (c.Open == ERROR_SUCCESS) RegCloseKey(key);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Double"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Ok"));
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Any", 0, nullptr, 0, KEY_READ, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Any", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

// A missing key anywhere on the path is ERROR_FILE_NOT_FOUND, and the out
// handle is cleared.
TEST(RegistryKeys, OpenMissingKey) {
  ScopedKey present(CreateKey(HKEY_CURRENT_USER, "Present"));
  for (const char* path : {"Missing", "Present\\Missing", "Missing\\Below"}) {
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND) << path;
    EXPECT_EQ(key, nullptr);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Missing"));
}

// Names match without case and keep the case they were created with.
TEST(RegistryKeys, NamesMatchWithoutCaseAndKeepTheirCase) {
  ScopedKey parent(CreateKey(HKEY_CURRENT_USER, "Parent"));
  ScopedKey first(CreateKey(parent.Get(), "MixedCase"));
  HKEY again = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(parent.Get(), "MIXEDCASE", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  ASSERT_EQ(SetString(again, "Value", "through the other case"), ERROR_SUCCESS);
  RegCloseKey(again);
  EXPECT_EQ(SubkeyNames(parent.Get()), std::vector<std::string>{"MixedCase"});
  EXPECT_EQ(QueryString(first.Get(), "VALUE"), "through the other case");
  EXPECT_EQ(ValueNames(first.Get()), std::vector<std::string>{"Value"});
}

// Names in code page 1256: Latin letters with case match their other case
// (Œ 0x8C / œ 0x9C); Arabic and Persian letters have no case and stay apart,
// including pairs a byte-wise Latin-1 folding would merge (ل 0xE1 and ء 0xC1)
// and the Persian and Arabic forms of one letter (ک 0x98 and ك 0xDF).
TEST(RegistryKeys, CodePage1256NamesFoldOnlyLettersWithCase) {
  ScopedKey parent(CreateKey(HKEY_CURRENT_USER, "Names"));
  const std::vector<std::string> distinct = {"\x8Cuvre", "\xE1", "\xC1", "\x98", "\xDF", "\xDD\xC7\xD1\xD3\xED"};
  for (const auto& name : distinct) {
    DWORD disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(parent.Get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY)) << "merged with an earlier name: " << name;
    RegCloseKey(key);
  }
  EXPECT_TRUE(KeyExists(parent.Get(), "\x9CUVRE"));
  auto names = SubkeyNames(parent.Get());
  EXPECT_EQ(names.size(), distinct.size());
  for (const auto& name : distinct) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << "not enumerated as written: " << name;
  }
}

// HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\SOFTWARE\Classes: writes through
// either are read through the other.
TEST(RegistryKeys, ClassesRootIsMachineClasses) {
  ScopedKey clsid(CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{11111111-2222-3333-4444-555555555555}"));
  ASSERT_EQ(SetString(clsid.Get(), nullptr, "Test Control"), ERROR_SUCCESS);
  ScopedKey machine;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{11111111-2222-3333-4444-555555555555}", 0,
                          KEY_READ, machine.Out()),
            ERROR_SUCCESS);
  EXPECT_EQ(QueryString(machine.Get(), nullptr), "Test Control");
  ScopedKey progId(CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Qorv.Test"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "qorv.test"));
}

// RegDeleteKeyA: Windows's answers for each case; a refused delete changes
// nothing.
TEST(RegistryKeys, DeleteKeyResults) {
  ScopedKey tree(CreateKey(HKEY_CURRENT_USER, "Tree\\Branch\\Leaf"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Tree\\Branch"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Tree\\Branch\\Leaf"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Tree\\Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Missing\\Leaf"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "\\Tree"), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "TREE\\branch\\LEAF"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Tree\\Branch\\Leaf"), ERROR_FILE_NOT_FOUND);
  // An empty subkey deletes the handle's own key.
  ScopedKey branch;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Tree\\Branch", 0, KEY_ALL_ACCESS, branch.Out()), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(branch.Get(), ""), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Tree\\Branch"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Tree"));
  // The roots, and the key HKEY_CLASSES_ROOT stands for, stay even when empty.
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ""));
}

// RegDeleteTreeA removes a whole tree at once; with no subkey it empties the
// handle's key and keeps it.
TEST(RegistryKeys, DeleteTree) {
  {
    ScopedKey leaf(CreateKey(HKEY_CURRENT_USER, "Whole\\A\\B\\C"));
    ASSERT_EQ(SetString(leaf.Get(), "v", "x"), ERROR_SUCCESS);
    ScopedKey other(CreateKey(HKEY_CURRENT_USER, "Whole\\D"));
    ScopedKey whole(CreateKey(HKEY_CURRENT_USER, "Whole"));
    ASSERT_EQ(SetString(whole.Get(), "kept?", "no"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(whole.Get(), nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(SubkeyNames(whole.Get()).empty());
    EXPECT_TRUE(ValueNames(whole.Get()).empty());
  }
  ScopedKey sibling(CreateKey(HKEY_CURRENT_USER, "WholeSibling"));
  ScopedKey again(CreateKey(HKEY_CURRENT_USER, "Whole\\A\\B"));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Whole"), ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Whole"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "WholeSibling"));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Whole"), ERROR_FILE_NOT_FOUND);
  // Emptying through a handle needs the rights to read and delete.
  ScopedKey readOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "WholeSibling", 0, KEY_READ, readOnly.Out()), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeA(readOnly.Get(), nullptr), ERROR_ACCESS_DENIED);
}

// A handle whose key was deleted answers ERROR_KEY_DELETED for every call,
// also after a key of the same name has been made again; closing it works.
TEST(RegistryKeys, HandleOfDeletedKey) {
  HKEY doomed = CreateKey(HKEY_CURRENT_USER, "Doomed");
  ASSERT_EQ(SetString(doomed, "v", "x"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
  auto expectDeleted = [&](const char* when) {
    HKEY key = nullptr;
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(SetString(doomed, "v", "y"), ERROR_KEY_DELETED) << when;
    EXPECT_EQ(RegQueryValueExA(doomed, "v", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED) << when;
    EXPECT_EQ(RegDeleteValueA(doomed, "v"), ERROR_KEY_DELETED) << when;
    EXPECT_EQ(RegEnumKeyExA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED) << when;
    EXPECT_EQ(RegEnumValueA(doomed, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED) << when;
    EXPECT_EQ(RegQueryInfoKeyA(doomed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_KEY_DELETED)
        << when;
    EXPECT_EQ(RegOpenKeyExA(doomed, "", 0, KEY_READ, &key), ERROR_KEY_DELETED) << when;
    EXPECT_EQ(RegCreateKeyExA(doomed, "Child", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr), ERROR_KEY_DELETED)
        << when;
    EXPECT_EQ(RegDeleteKeyA(doomed, ""), ERROR_KEY_DELETED) << when;
  };
  expectDeleted("after the delete");
  ScopedKey reborn(CreateKey(HKEY_CURRENT_USER, "Doomed"));
  expectDeleted("after a new key of the same name");
  EXPECT_TRUE(ValueNames(reborn.Get()).empty());
  EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);
}

// Handles that name no open key are ERROR_INVALID_HANDLE in every call;
// RegCloseKey refuses another kind of handle and leaves it open.
TEST(RegistryKeys, InvalidHandles) {
  HKEY closed = CreateKey(HKEY_CURRENT_USER, "Closed");
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  HANDLE file = CreateFileA("C:\\Windows\\Temp\\not-a-key.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const HKEY invalid[] = {nullptr, closed, reinterpret_cast<HKEY>(0x12345), static_cast<HKEY>(file),
                          reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(0x80000004u)))};
  for (HKEY bad : invalid) {
    HKEY key = nullptr;
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(RegOpenKeyExA(bad, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExA(bad, "x", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetString(bad, "v", "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(bad, "v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValueA(bad, "v"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKeyA(bad, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegEnumKeyExA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegEnumValueA(bad, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
  }
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

// Each call needs its right in the handle; creating a subkey does not (Windows
// checks creation against the key's security, not the handle).
TEST(RegistryKeys, AccessRightsOfHandles) {
  {
    ScopedKey setup(CreateKey(HKEY_CURRENT_USER, "Guarded\\Sub"));
    ScopedKey guarded(CreateKey(HKEY_CURRENT_USER, "Guarded"));
    ASSERT_EQ(SetString(guarded.Get(), "v", "x"), ERROR_SUCCESS);
  }
  char name[16];
  DWORD size = sizeof name;
  ScopedKey reader;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Guarded", 0, KEY_READ, reader.Out()), ERROR_SUCCESS);
  EXPECT_EQ(SetString(reader.Get(), "v", "y"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader.Get(), "v"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryString(reader.Get(), "v"), "x");
  ScopedKey child(CreateKey(reader.Get(), "CreatedThroughReader"));
  ScopedKey writer;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Guarded", 0, KEY_SET_VALUE, writer.Out()), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(writer.Get(), "v", nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumValueA(writer.Get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumKeyExA(writer.Get(), 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryInfoKeyA(writer.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetString(writer.Get(), "v", "z"), ERROR_SUCCESS);
  ScopedKey generic;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Guarded", 0, GENERIC_READ, generic.Out()), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(generic.Get(), "v"), "z");
  EXPECT_EQ(SetString(generic.Get(), "v", "w"), ERROR_ACCESS_DENIED);
}
