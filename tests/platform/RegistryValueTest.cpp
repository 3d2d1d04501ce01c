// Values: types and their bytes, the default value, buffer sizes, order of
// enumeration, and the error numbers of the value calls.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RegistryTestSupport.h"
#include "windows.h"

using qorv::test::CreateKey;
using qorv::test::QueryBytes;
using qorv::test::QueryString;
using qorv::test::ScopedKey;
using qorv::test::SetDword;
using qorv::test::SetString;

namespace {

const BYTE* Bytes(const std::string& text) { return reinterpret_cast<const BYTE*>(text.data()); }

struct Enumerated {
  std::string Name;
  DWORD Type = 0;
  std::string Data;
};

std::vector<Enumerated> EnumerateValues(HKEY key) {
  std::vector<Enumerated> values;
  for (DWORD index = 0;; ++index) {
    char name[64];
    BYTE data[64];
    DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
    LONG error = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (error != ERROR_SUCCESS) {
      EXPECT_EQ(error, ERROR_NO_MORE_ITEMS);
      return values;
    }
    values.push_back({std::string(name, nameSize), type, std::string(reinterpret_cast<char*>(data), dataSize)});
  }
}

}  // namespace

// Every type keeps exactly the bytes it was given; REG_SZ written with its
// terminator reads back with it.
TEST(RegistryValues, TypesKeepTheirBytes) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Types"));
  struct Case {
    const char* Name;
    DWORD Type;
    std::string Data;
  };
  const Case cases[] = {
      {"Text", REG_SZ, std::string("hello", 6)},
      {"Unterminated", REG_SZ, "abc"},
      {"Number", REG_DWORD, std::string("\x0a\x00\x00\x00", 4)},
      {"Blob", REG_BINARY, std::string("\x00\x01\xff\x00", 4)},
      {"Empty", REG_BINARY, ""},
      {"Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
      {"Odd", 0x1234, "xyz"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueExA(key.Get(), c.Name, 0, c.Type, c.Data.empty() ? nullptr : Bytes(c.Data),
                             static_cast<DWORD>(c.Data.size())),
              ERROR_SUCCESS)
        << c.Name;
  }
  for (const Case& c : cases) {
    LONG error = 0;
    DWORD type = 0;
    EXPECT_EQ(QueryBytes(key.Get(), c.Name, &error, &type), c.Data) << c.Name;
    EXPECT_EQ(error, ERROR_SUCCESS) << c.Name;
    EXPECT_EQ(type, c.Type) << c.Name;
  }
  // Null data with a size is a bad pointer to Windows; nothing is stored.
  EXPECT_EQ(RegSetValueExA(key.Get(), "Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Bad", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
}

// RegQueryValueExA's sizes: asked with no buffer, too small (ERROR_MORE_DATA,
// the size needed, the type, the buffer untouched), exactly right; and its
// parameter errors.
TEST(RegistryValues, QuerySizes) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Sizes"));
  ASSERT_EQ(SetString(key.Get(), "Text", "hello"), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  size = 5;
  type = 0;
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Text", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::string(buffer, 8), std::string(8, 'x'));
  size = 6;
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(buffer, 6), std::string("hello", 6));
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Text", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
            ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Text", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key.Get(), "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

// The default value: named by null or "", absent until set (the old query
// form reads it as ""), enumerated with an empty name.
TEST(RegistryValues, DefaultValue) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Defaults"));
  EXPECT_EQ(RegQueryValueExA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key.Get(), "", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  char text[32];
  LONG size = sizeof text;
  EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, "Defaults", text, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 1);
  EXPECT_STREQ(text, "");
  ASSERT_EQ(SetString(key.Get(), nullptr, "first"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key.Get(), "", "second"), ERROR_SUCCESS);
  EXPECT_EQ(QueryString(key.Get(), nullptr), "second");
  auto values = EnumerateValues(key.Get());
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].Name, "");
  // The old forms: create the subkey, store the string with its terminator.
  EXPECT_EQ(RegSetValueA(HKEY_CURRENT_USER, "Defaults\\Old\\Form", REG_SZ, "made", 0), ERROR_SUCCESS);
  size = sizeof text;
  EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, "defaults\\old\\form", text, &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "made");
  EXPECT_EQ(size, 5);
  size = 2;
  EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, "Defaults\\Old\\Form", text, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(RegSetValueA(HKEY_CURRENT_USER, "Defaults", REG_DWORD, "x", 0), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueA(HKEY_CURRENT_USER, "Defaults\\Missing", text, &size), ERROR_FILE_NOT_FOUND);
}

// Values enumerate in the order first set; replacing one keeps its place and
// the case of its name; a deleted one leaves the others in order.
TEST(RegistryValues, EnumerationOrderAndReplacement) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Order"));
  for (const char* name : {"Zeta", "alpha", "Middle"}) ASSERT_EQ(SetString(key.Get(), name, name), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.Get(), "ZETA", 7), ERROR_SUCCESS);
  auto values = EnumerateValues(key.Get());
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].Name, "Zeta");
  EXPECT_EQ(values[0].Type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(values[0].Data, std::string("\x07\x00\x00\x00", 4));
  EXPECT_EQ(values[1].Name, "alpha");
  EXPECT_EQ(values[2].Name, "Middle");
  EXPECT_EQ(RegDeleteValueA(key.Get(), "ALPHA"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key.Get(), "alpha"), ERROR_FILE_NOT_FOUND);
  values = EnumerateValues(key.Get());
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1].Name, "Middle");
  EXPECT_EQ(values[1].Data, std::string("Middle", 7));
}

// Enumeration buffers: a name needs room for its terminator; a short data
// buffer gives ERROR_MORE_DATA with the size needed and the name still
// returned; past the end is ERROR_NO_MORE_ITEMS.
TEST(RegistryValues, EnumerationBuffers) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Buffers\\Alpha"));
  ScopedKey parent(CreateKey(HKEY_CURRENT_USER, "Buffers"));
  ASSERT_EQ(SetString(parent.Get(), "Named", "twelve chars"), ERROR_SUCCESS);
  char name[16];
  DWORD nameSize = 5;
  EXPECT_EQ(RegEnumKeyExA(parent.Get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  nameSize = 6;
  char className[4] = "zz";
  DWORD classSize = sizeof className;
  FILETIME written{};
  EXPECT_EQ(RegEnumKeyExA(parent.Get(), 0, name, &nameSize, nullptr, className, &classSize, &written), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Alpha");
  EXPECT_EQ(nameSize, 5u);
  EXPECT_EQ(classSize, 0u);
  EXPECT_STREQ(className, "");
  // A time after the year 2000 in 100 ns units since 1601.
  EXPECT_GT((static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime, 125911584000000000ull);
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumKeyExA(parent.Get(), 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyExA(parent.Get(), 0, nullptr, &nameSize, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);

  nameSize = 5;
  EXPECT_EQ(RegEnumValueA(parent.Get(), 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  BYTE data[4];
  DWORD dataSize = sizeof data, type = 0;
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumValueA(parent.Get(), 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 13u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(name, "Named");
  nameSize = sizeof name;
  EXPECT_EQ(RegEnumValueA(parent.Get(), 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

// Subkeys enumerate in the order of their names without case.
TEST(RegistryValues, SubkeysEnumerateByNameWithoutCase) {
  ScopedKey parent(CreateKey(HKEY_CURRENT_USER, "Sorted"));
  for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "_under"})
    ScopedKey child(CreateKey(parent.Get(), name));
  std::vector<std::string> names;
  char name[16];
  for (DWORD index = 0;; ++index) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(parent.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  // Windows orders by the upper-case form, so '_' (0x5F) follows the letters.
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma", "_under"}));
}

// Counts and the longest sizes, with names counted in the caller's code page
// (a three-letter Persian name is three characters, not its six UTF-8 bytes).
TEST(RegistryValues, QueryInfoKey) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "Info"));
  ScopedKey one(CreateKey(key.Get(), "\xD3\xE1\xC7"));
  ScopedKey two(CreateKey(key.Get(), "ab"));
  ASSERT_EQ(SetString(key.Get(), "\xD3\xE1", "x"), ERROR_SUCCESS);
  ASSERT_EQ(SetString(key.Get(), "v", std::string(99, 'd')), ERROR_SUCCESS);
  DWORD subkeys = 0, longestSubkey = 0, longestClass = 9, values = 0, longestName = 0, longestData = 0, security = 9;
  FILETIME written{};
  ASSERT_EQ(RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, &longestClass, &values,
                             &longestName, &longestData, &security, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(longestSubkey, 3u);
  EXPECT_EQ(longestClass, 0u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(longestName, 2u);
  EXPECT_EQ(longestData, 100u);
  EXPECT_EQ(security, 0u);
  EXPECT_NE(written.dwHighDateTime, 0u);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key.Get(), nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
}

// Value names up to 16383 characters; longer ones are refused.
TEST(RegistryValues, ValueNameLength) {
  ScopedKey key(CreateKey(HKEY_CURRENT_USER, "LongNames"));
  std::string longest(16383, 'n');
  EXPECT_EQ(SetDword(key.Get(), longest.c_str(), 1), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(key.Get(), (longest + "n").c_str(), 1), ERROR_INVALID_PARAMETER);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key.Get(), longest.c_str(), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
}
