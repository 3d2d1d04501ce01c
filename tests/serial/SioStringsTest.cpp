#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "SioErrors.h"
#include "SioStrings.h"
#include "resource.h"

namespace {

std::string LookUp(LONG id) { return ErrorStringTable().GetString(id); }

struct TextCase {
  LONG id;
  const char* text;
};

// The first and last entries, absent ids, the empty entries and the texts
// whose exact bytes the log writer depends on.
TEST(SioStringsErrorTable, AnswersTheTextsTheEngineReads) {
  const TextCase cases[] = {
      {0, "OK"},
      {15742, "Character Set"},
      {7, ""},
      {1, ""},
      {-5, ""},
      {4600, ""},
      {4630, ""},
      {4660, ""},
      {15601, "DCTS "},
      {15608, "DCD "},
      {2, "File not found"},
      {162, "General failure"},
      {2011, "The ComNumber property of the TSioComPort has not been set"},
      {15001, "No event"},
      {15020, "User"},
      {15101, "ReadCom"},
      {15119, "Method"},
      {15121, "Sent WON'T"},
      {15501, "Time      Type      SubType       Data      OtherData"},
      {15502, "--------  --------  ------------  --------  ---------"},
      {15743, ""},
      {INT32_MAX, ""},
      {INT32_MIN, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LookUp(c.id), c.text) << "id " << c.id;
  EXPECT_EQ(LookUp(15501).size(), 53u);
}

TEST(SioStringsReaderTable, HoldsTheFiveReaderMessages) {
  TSioStringResource& reader = ReaderMessageTable();
  EXPECT_EQ(reader.GetString(1), "String not found: %d");
  EXPECT_EQ(reader.GetString(5), "Invalid string table resource");
  EXPECT_EQ(reader.GetString(0), "");
  EXPECT_EQ(reader.GetString(6), "");
}

// The embedded bytes follow the STR0 layout exactly: sorted directory, texts
// back to back in directory order from the end of the directory to the end of
// the table.
TEST(SioStringsErrorTable, EmbeddedBytesFollowTheLayout) {
  for (const char* name : {kSioErrorStringsResource, kSioStrMgrStringsResource}) {
    HMODULE module = SioResourceModule();
    HRSRC info = FindResourceA(module, name, RT_RCDATA);
    ASSERT_NE(info, nullptr) << name;
    const DWORD size = SizeofResource(module, info);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
    ASSERT_NE(bytes, nullptr);
    auto dword = [&](DWORD at) {
      DWORD v;
      std::memcpy(&v, bytes + at, 4);
      return v;
    };
    ASSERT_EQ(std::memcmp(bytes, "STR0", 4), 0);
    const DWORD count = dword(4);
    DWORD expectedOffset = 8 + 12 * count;
    for (DWORD i = 0; i < count; ++i) {
      const DWORD at = 8 + 12 * i;
      if (i > 0) {
        EXPECT_LT(static_cast<LONG>(dword(at - 12)), static_cast<LONG>(dword(at))) << name << " entry " << i;
      }
      EXPECT_EQ(dword(at + 4), expectedOffset) << name << " entry " << i;
      expectedOffset += 2 * dword(at + 8);
    }
    EXPECT_EQ(expectedOffset, size) << name;
  }
}

// Every code RaiseForCode maps has a text of its own, within 78 characters.
TEST(SioStringsErrorTable, EveryMappedCodeHasAText) {
  const LONG codes[] = {
#define SIO_CODE_VALUE(name, value, cls) value,
      SIO_ERROR_CODES(SIO_CODE_VALUE)
#undef SIO_CODE_VALUE
  };
  for (LONG code : codes) {
    std::string text = LookUp(-code);
    EXPECT_FALSE(text.empty()) << code;
    EXPECT_LE(text.size(), 78u) << code;
  }
}

TEST(SioStringsReader, WithoutANameIsEmptyForEveryId) {
  TSioStringResource reader(SioResourceModule(), nullptr);
  EXPECT_EQ(reader.GetString(0), "");
  EXPECT_EQ(reader.GetString(15742), "");
  TSioStringResource empty(SioResourceModule(), "");
  EXPECT_EQ(empty.GetString(0), "");
}

TEST(SioStringsReader, SelectResourceSwitchesAndEmptiesTables) {
  TSioStringResource reader(SioResourceModule(), kSioStrMgrStringsResource);
  EXPECT_EQ(reader.GetString(2), "Cannot lock resource");
  reader.SelectResource(SioResourceModule(), kSioErrorStringsResource);
  EXPECT_EQ(reader.GetString(2), "File not found");
  reader.SelectResource(SioResourceModule(), nullptr);
  EXPECT_EQ(reader.GetString(2), "");
}

TEST(SioStringsReader, AValidTableWithoutEntriesFindsNothing) {
  TSioStringResource reader(SioResourceModule(), "SIO_TEST_EMPTY_TABLE");
  EXPECT_EQ(reader.GetString(0), "");
  EXPECT_EQ(reader.GetString(-1), "");
}

std::string ConstructionError(const char* name) {
  try {
    TSioStringResource reader(SioResourceModule(), name);
  } catch (const ESioStringResourceError& e) {
    return e.Message();
  }
  return "<no error>";
}

TEST(SioStringsReader, MissingResourceNamesItInTheError) {
  EXPECT_EQ(ConstructionError("NO_SUCH_TABLE"), "String resource not found: NO_SUCH_TABLE");
  // Names are cut to 255 characters before the look-up.
  std::string longName(300, 'N');
  EXPECT_EQ(ConstructionError(longName.c_str()), "String resource not found: " + longName.substr(0, 255));
}

// A wrong magic, and any table whose directory or texts reach beyond its end,
// is refused when the reader is made, so no lookup can read outside it.
TEST(SioStringsReader, RefusesMalformedTables) {
  for (const char* name : {"SIO_TEST_BAD_MAGIC", "SIO_TEST_COUNT_BEYOND", "SIO_TEST_TEXT_BEYOND",
                           "SIO_TEST_OFFSET_BEYOND", "SIO_TEST_SHORT"})
    EXPECT_EQ(ConstructionError(name), "Invalid string table resource") << name;
}

TEST(SioStringsReader, ConcurrentLookupsAgree) {
  TSioStringResource& table = ErrorStringTable();
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i)
        if (table.GetString(15001 + i % 20).empty()) ++mismatches[t];
    });
  for (auto& th : threads) th.join();
  for (int m : mismatches) EXPECT_EQ(m, 0);
}

}  // namespace
