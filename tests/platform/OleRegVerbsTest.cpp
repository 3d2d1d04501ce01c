#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "RegistryTestSupport.h"
#include "objbase.h"
#include "ole2.h"

namespace {

using qorv::test::ComPtr;

// {5A1F0C3E-7B21-4C55-9E0D-2B7A6F3C8D11}
constexpr CLSID kClass{0x5A1F0C3E, 0x7B21, 0x4C55, {0x9E, 0x0D, 0x2B, 0x7A, 0x6F, 0x3C, 0x8D, 0x11}};
const std::string kClassKey = "CLSID\\{5A1F0C3E-7B21-4C55-9E0D-2B7A6F3C8D11}";

void SetDefault(const std::string& path, const std::string& value) {
  qorv::test::ScopedKey key(qorv::test::CreateKey(HKEY_CLASSES_ROOT, path));
  ASSERT_EQ(qorv::test::SetString(key.Get(), nullptr, value), ERROR_SUCCESS);
}

struct TFetchedVerb {
  LONG Number;
  std::string Name;
  DWORD Flags;
  DWORD Attribs;
};

// Every verb the enumerator hands out, one at a time, names freed.
std::vector<TFetchedVerb> FetchAll(IEnumOLEVERB* verbs) {
  std::vector<TFetchedVerb> all;
  OLEVERB verb{};
  while (verbs->Next(1, &verb, nullptr) == S_OK) {
    std::u16string name(verb.lpszVerbName);
    all.push_back({verb.lVerb, std::string(name.begin(), name.end()), verb.fuFlags, verb.grfAttribs});
    CoTaskMemFree(verb.lpszVerbName);
  }
  return all;
}

TEST(OleRegEnumVerbs, ListsTheRegisteredVerbsInNumberOrder) {
  SetDefault(kClassKey + "\\Verb", "");
  SetDefault(kClassKey + "\\Verb\\1", "&Edit,0,2");
  SetDefault(kClassKey + "\\Verb\\0", "Properties,0,2");
  SetDefault(kClassKey + "\\Verb\\-3", "Hide, now,0,1");

  ComPtr<IEnumOLEVERB> verbs;
  ASSERT_EQ(OleRegEnumVerbs(kClass, verbs.Put()), S_OK);
  auto all = FetchAll(verbs.Get());
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].Number, -3);
  EXPECT_EQ(all[0].Name, "Hide, now");  // a comma inside the name stays in it
  EXPECT_EQ(all[0].Attribs, 1u);
  EXPECT_EQ(all[1].Number, 0);
  EXPECT_EQ(all[1].Name, "Properties");
  EXPECT_EQ(all[1].Flags, 0u);
  EXPECT_EQ(all[1].Attribs, 2u);
  EXPECT_EQ(all[2].Name, "&Edit");
}

TEST(OleRegEnumVerbs, NextSkipResetAndCloneKeepTheirPlace) {
  SetDefault(kClassKey + "\\Verb\\0", "Properties,0,2");
  SetDefault(kClassKey + "\\Verb\\1", "Open,0,0");
  ComPtr<IEnumOLEVERB> verbs;
  ASSERT_EQ(OleRegEnumVerbs(kClass, verbs.Put()), S_OK);

  OLEVERB three[3]{};
  ULONG fetched = 99;
  EXPECT_EQ(verbs->Next(3, three, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 2u);
  for (ULONG i = 0; i < fetched; ++i) CoTaskMemFree(three[i].lpszVerbName);
  EXPECT_EQ(verbs->Next(3, three, nullptr), E_INVALIDARG) << "several verbs need a count to report";

  ASSERT_EQ(verbs->Reset(), S_OK);
  EXPECT_EQ(verbs->Skip(1), S_OK);
  ComPtr<IEnumOLEVERB> clone;
  ASSERT_EQ(verbs->Clone(clone.Put()), S_OK);
  EXPECT_EQ(verbs->Skip(5), S_FALSE);
  auto rest = FetchAll(clone.Get());
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].Name, "Open");
  EXPECT_TRUE(FetchAll(verbs.Get()).empty());
}

TEST(OleRegEnumVerbs, AnswersWhyThereIsNoList) {
  ComPtr<IEnumOLEVERB> verbs;
  EXPECT_EQ(OleRegEnumVerbs(kClass, verbs.Put()), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(verbs);

  SetDefault(kClassKey, "A class without verbs");
  EXPECT_EQ(OleRegEnumVerbs(kClass, verbs.Put()), OLEOBJ_E_NOVERBS);
  SetDefault(kClassKey + "\\Verb", "");
  EXPECT_EQ(OleRegEnumVerbs(kClass, verbs.Put()), OLEOBJ_E_NOVERBS);
  EXPECT_FALSE(verbs);
  EXPECT_EQ(OleRegEnumVerbs(kClass, nullptr), E_INVALIDARG);
}

TEST(OleRegEnumVerbs, RefusesMalformedEntries) {
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"0", "Properties"},          // no flags
           {"0", "Properties,0"},        // no attributes
           {"0", "Properties,x,2"},      // flags not a number
           {"0", "Properties,0,2 "},     // trailing junk
           {"first", "Properties,0,2"},  // key not a verb number
       }) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey.c_str());
    SetDefault(kClassKey + "\\Verb\\" + key, value);
    ComPtr<IEnumOLEVERB> verbs;
    EXPECT_EQ(OleRegEnumVerbs(kClass, verbs.Put()), REGDB_E_INVALIDVALUE) << key << " = " << value;
    EXPECT_FALSE(verbs);
  }
}

}  // namespace
