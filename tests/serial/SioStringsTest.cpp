#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
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

// The embedded bytes of a table, as the module holds them.
struct TEmbeddedTable {
  const BYTE* Bytes = nullptr;
  DWORD Size = 0;
  DWORD Dword(DWORD at) const {
    DWORD v;
    std::memcpy(&v, Bytes + at, 4);
    return v;
  }
};

TEmbeddedTable EmbeddedTable(const char* name) {
  HMODULE module = SioResourceModule();
  HRSRC info = FindResourceA(module, name, RT_RCDATA);
  if (info == nullptr) return {};
  return {static_cast<const BYTE*>(LockResource(LoadResource(module, info))), SizeofResource(module, info)};
}

// The embedded bytes follow the STR0 layout exactly: sorted directory, texts
// back to back in directory order from the end of the directory to the end of
// the table.
TEST(SioStringsErrorTable, EmbeddedBytesFollowTheLayout) {
  for (const char* name : {kSioErrorStringsResource, kSioStrMgrStringsResource}) {
    const TEmbeddedTable table = EmbeddedTable(name);
    ASSERT_NE(table.Bytes, nullptr) << name;
    const DWORD size = table.Size;
    const BYTE* bytes = table.Bytes;
    auto dword = [&](DWORD at) { return table.Dword(at); };
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

// The error table's ids, group by group: exactly these and no others.
struct TIdRange {
  LONG First;
  LONG Last;
};
const TIdRange kErrorTableIds[] = {
    {0, 0},         {2, 6},         {8, 8},         {15, 15},       {18, 18},       {100, 105},     {150, 162},
    {1001, 1009},   {2001, 2012},   {3001, 3010},   {4001, 4008},   {4101, 4101},   {4201, 4213},   {4301, 4312},
    {4401, 4403},   {4500, 4523},   {4550, 4553},   {4599, 4599},   {4600, 4611},   {4630, 4633},   {4660, 4671},
    {4700, 4723},   {4801, 4808},   {4820, 4828},   {4830, 4832},   {4840, 4843},   {5001, 5003},   {5501, 5506},
    {6001, 6016},   {7001, 7014},   {8001, 8005},   {8050, 8055},   {8060, 8075},   {8080, 8083},   {8085, 8085},
    {8087, 8092},   {9001, 9007},   {10004, 10004}, {10009, 10009}, {10013, 10014}, {10022, 10022}, {10024, 10024},
    {10035, 10071}, {10091, 10093}, {10101, 10101}, {11001, 11004}, {13501, 13516}, {13533, 13557}, {13565, 13565},
    {13597, 13601}, {13650, 13670}, {13801, 13803}, {13805, 13848}, {13850, 13886}, {13928, 13945}, {13980, 13980},
    {15001, 15020}, {15101, 15119}, {15120, 15129}, {15130, 15216}, {15217, 15341}, {15342, 15351}, {15501, 15502},
    {15601, 15608}, {15700, 15742},
};

struct TTableEntry {
  LONG Id;
  std::u16string Text;
};

// Every entry of the embedded error table, read straight from its directory.
std::vector<TTableEntry> ErrorTableEntries() {
  const TEmbeddedTable table = EmbeddedTable(kSioErrorStringsResource);
  std::vector<TTableEntry> entries;
  if (table.Bytes == nullptr) return entries;
  const DWORD count = table.Dword(4);
  for (DWORD i = 0; i < count; ++i) {
    const DWORD at = 8 + 12 * i;
    std::u16string text(table.Dword(at + 8), u'\0');
    std::memcpy(text.data(), table.Bytes + table.Dword(at + 4), 2 * text.size());
    entries.push_back({static_cast<LONG>(table.Dword(at)), text});
  }
  return entries;
}

TEST(SioStringsErrorTable, HoldsExactlyTheListedIds) {
  std::set<LONG> expected;
  for (const auto& range : kErrorTableIds)
    for (LONG id = range.First; id <= range.Last; ++id) expected.insert(id);
  ASSERT_EQ(expected.size(), 831u);

  std::set<LONG> held;
  for (const auto& entry : ErrorTableEntries()) held.insert(entry.Id);
  std::vector<LONG> missing, extra;
  std::set_difference(expected.begin(), expected.end(), held.begin(), held.end(), std::back_inserter(missing));
  std::set_difference(held.begin(), held.end(), expected.begin(), expected.end(), std::back_inserter(extra));
  EXPECT_EQ(ErrorTableEntries().size(), 831u);
  EXPECT_TRUE(missing.empty()) << missing.size() << " ids missing, the first " << missing.front();
  EXPECT_TRUE(extra.empty()) << extra.size() << " ids too many, the first " << extra.front();
}

// Texts are printable ASCII of at most 78 characters; only the three paging
// placeholders are empty.
TEST(SioStringsErrorTable, TextsArePlainAsciiWithinALine) {
  for (const auto& entry : ErrorTableEntries()) {
    EXPECT_LE(entry.Text.size(), 78u) << entry.Id;
    for (const char16_t c : entry.Text) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << entry.Id << " has " << int(c);
    const bool placeholder = entry.Id == 4600 || entry.Id == 4630 || entry.Id == 4660;
    EXPECT_EQ(entry.Text.empty(), placeholder) << entry.Id;
  }
}

// Texts fixed by name, beyond those the engine itself reads: the first and
// last of each group and the ones named on their own.
TEST(SioStringsErrorTable, NamedTextsAreExact) {
  const TextCase cases[] = {
      {3, "Path not found"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {6, "Invalid file handle"},
      {8, "Insufficient memory"},
      {15, "Invalid drive"},
      {18, "No more files"},
      {100, "Attempt to read beyond end of file"},
      {101, "Disk is full"},
      {102, "File/device not assigned"},
      {103, "File/device not open"},
      {104, "File/device not open for input"},
      {105, "File/device not open for output"},
      {150, "Disk is write-protected"},
      {151, "Unknown disk unit"},
      {152, "Drive is not ready"},
      {153, "Unknown command"},
      {154, "Data error"},
      {155, "Bad request structure length"},
      {156, "Seek error"},
      {157, "Unknown media type"},
      {158, "Disk sector not found"},
      {159, "Printer is out of paper"},
      {160, "Device write error"},
      {161, "Device read error"},
      {1001, "Bad handle passed to com function"},
      {1009, "Component not compatible with WinSock"},
      {2001, "ie_BadId - Specified comport doesn't exist"},
      {2012, "Comport was not opened by Tapi"},
      {3001, "No device layer specified"},
      {3002, "Function not supported by driver"},
      {3010, "Base address not set"},
      {4001, "StartModem has not been called"},
      {4008, "Wrong modem status requested"},
      {4101, "Are you sure you want to delete this entry?"},
      {4201, "Ready"},
      {4213, "Canceling"},
      {4301, "Cycling dial attempt . . ."},
      {4306, "Connected at %d baud"},
      {4312, "Dial attempt timed out"},
      {4500, "OpenPort"},
      {4599, "DeviceConnected"},
      {4700, "OK"},
      {4723, "B+ host is resuming"},
      {5001, "No more trigger slots"},
      {5003, "Bad trigger handle"},
      {7010, "Maximum database records (999) reached"},
      {7012, "iPrepareIniDatabase not called"},
      {9004, "Winsock not initialized - %s"},
      {13515, "Call disconnected (%s)"},
      {13600, "Waiting for retry in %d seconds"},
      {15120, "Sent WILL"},
      {15122, "Sent DO"},
      {15123, "Sent DON'T"},
      {15124, "Recv WILL"},
      {15125, "Recv WON'T"},
      {15126, "Recv DO"},
      {15127, "Recv DON'T"},
      {15128, "Command"},
      {15129, "Sent Term"},
      {15130, "tfNone"},
      {15216, "rfDone"},
      {15217, "txInitial"},
      {15341, "raDone"},
      {15342, "Enable"},
      {15351, "Collecting"},
      {15602, "DDSR "},
      {15603, "TERI "},
      {15604, "DDCD "},
      {15605, "CTS "},
      {15606, "DSR "},
      {15607, "RI "},
      {15700, "Binary"},
  };
  for (const auto& c : cases) EXPECT_EQ(LookUp(c.id), c.text) << "id " << c.id;
  for (LONG id = 15002; id <= 15019; ++id) EXPECT_FALSE(LookUp(id).empty()) << id;
  const char* subEvents[] = {"ReadCom", "WriteCom", "Line status", "Modem status", "Avail", "Timer", "Data",
                             "Status",  "Start",    "Exit",        "Sleep",        "Wake",  "Data",  "Timer",
                             "Status",  "Avail",    "Window",      "Procedure",    "Method"};
  for (LONG i = 0; i < 19; ++i) EXPECT_EQ(LookUp(15101 + i), subEvents[i]) << 15101 + i;
  const char* events[] = {"No event", "Dispatch", "Trigger",  "Error",  "Thread", "TrigAllc", "TrigDisp",
                          "TrgHdAlc", "TrgHdDsp", "TrDatChg", "Telnet", "Fax",    "XModem",   "YModem",
                          "ZModem",   "Kermit",   "Ascii",    "BPlus",  "Packet", "User"};
  for (LONG i = 0; i < 20; ++i) EXPECT_EQ(LookUp(15001 + i), events[i]) << 15001 + i;
}

// Codes that raise the catch-all still have a text of the table, not the
// system's (or none).
TEST(SioStringsErrorTable, UnmappedCodesOfTheGroupsHaveTableTexts) {
  for (LONG code : {-7009, -6001, -6007, -4101, -8050, -4201, -13933, -10061}) {
    EXPECT_FALSE(ErrorText(code).empty()) << code;
    EXPECT_EQ(ErrorText(code), LookUp(-code)) << code;
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
