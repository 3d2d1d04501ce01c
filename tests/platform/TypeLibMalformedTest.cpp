// Malformed type libraries are refused with TYPE_E_* and never read out of
// bounds (the sanitizer builds catch a stray read); one that loads can be
// walked completely without a crash or a hang.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ComTestSupport.h"
#include "TestSupport.h"
#include "TypeLibWalk.h"

using namespace qorv::test;

namespace {

std::vector<char> ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

std::int32_t Int(const std::vector<char>& bytes, size_t at) {
  std::int32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

void SetInt(std::vector<char>& bytes, size_t at, std::int32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

class MalformedTypeLib : public testing::Test {
 protected:
  void SetUp() override { good_ = ReadAll(QORV_TEST_TYPELIB); }

  // Loads the bytes from a file; when they load, walks all of it.
  HRESULT Load(const std::vector<char>& bytes) {
    {
      std::ofstream out(file_, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::u16string path(file_.native().begin(), file_.native().end());
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put());
    if (SUCCEEDED(hr)) WalkTypeLib(lib.Get());
    return hr;
  }

  // Offset of segment n of the directory.
  size_t Segment(int n) const {
    size_t directory = 0x54 + 4 * static_cast<size_t>(Int(good_, 0x20));
    return directory + 16 * static_cast<size_t>(n);
  }

  std::vector<char> good_;
  TempDir dir_{"typelib"};
  std::filesystem::path file_ = dir_.Path() / "bad.tlb";
};

TEST_F(MalformedTypeLib, EveryTruncationIsRefused) {
  ASSERT_GT(good_.size(), 0x54u);
  ASSERT_EQ(Load(good_), S_OK);
  for (size_t size = 0; size < good_.size(); size += (size < 0x400 ? 1 : 7)) {
    std::vector<char> cut(good_.begin(), good_.begin() + static_cast<std::ptrdiff_t>(size));
    HRESULT hr = Load(cut);
    // Under four bytes there is no magic: not a type library at all.
    EXPECT_EQ(hr, size < 4 ? TYPE_E_CANTLOADLIBRARY : TYPE_E_INVDATAREAD) << size;
  }
}

TEST_F(MalformedTypeLib, ExtremeValuesInEveryHeaderAndTableWordLoadOrFailCleanly) {
  size_t tableEnd = static_cast<size_t>(Int(good_, Segment(0))) + static_cast<size_t>(Int(good_, Segment(0) + 4));
  const std::int32_t extremes[] = {-1, -2, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u), 0x10000, 3};
  int loaded = 0;
  for (size_t at = 8; at + 4 <= tableEnd; at += 4) {
    for (std::int32_t value : extremes) {
      std::vector<char> bytes = good_;
      SetInt(bytes, at, value);
      HRESULT hr = Load(bytes);
      if (SUCCEEDED(hr)) {
        ++loaded;
      } else {
        EXPECT_TRUE(hr == TYPE_E_INVDATAREAD || hr == TYPE_E_UNSUPFORMAT) << std::hex << at << " " << value;
      }
    }
  }
  EXPECT_GT(loaded, 0);  // many words (help contexts, flags) take any value
}

TEST_F(MalformedTypeLib, GarbledMemberRecordsLoadOrFailCleanly) {
  // Every word after the tables: member records, names, strings, types.
  size_t tableEnd = static_cast<size_t>(Int(good_, Segment(0))) + static_cast<size_t>(Int(good_, Segment(0) + 4));
  for (size_t at = tableEnd; at + 4 <= good_.size(); at += 4) {
    for (std::int32_t value : {-1, 0x7FFF7FFF, 0x1000}) {
      std::vector<char> bytes = good_;
      SetInt(bytes, at, value);
      HRESULT hr = Load(bytes);
      EXPECT_TRUE(SUCCEEDED(hr) || hr == TYPE_E_INVDATAREAD) << std::hex << at;
    }
  }
}

TEST_F(MalformedTypeLib, TypeThatPointsAtItselfIsRefused) {
  // Every type description becomes a pointer to itself.
  size_t start = static_cast<size_t>(Int(good_, Segment(9)));
  size_t length = static_cast<size_t>(Int(good_, Segment(9) + 4));
  ASSERT_GT(length, 0u);
  std::vector<char> bytes = good_;
  for (size_t entry = 0; entry + 8 <= length; entry += 8) {
    SetInt(bytes, start + entry, VT_PTR);
    SetInt(bytes, start + entry + 4, static_cast<std::int32_t>(entry));
  }
  EXPECT_EQ(Load(bytes), TYPE_E_INVDATAREAD);
}

TEST_F(MalformedTypeLib, InterfaceDerivedFromItselfEndsItsWalks) {
  // The dual interface (type 1) names itself as its base.
  std::vector<char> bytes = good_;
  size_t table = static_cast<size_t>(Int(good_, Segment(0)));
  size_t entry = table + static_cast<size_t>(Int(good_, 0x54 + 4));
  SetInt(bytes, entry + 0x54, Int(good_, 0x54 + 4));
  ASSERT_EQ(Load(bytes), S_OK);
  std::u16string path(file_.native().begin(), file_.native().end());
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put()), S_OK);
  ComPtr<ITypeInfo> dual;
  ASSERT_EQ(lib->GetTypeInfo(1, dual.Put()), S_OK);
  std::u16string name = Wide("Nothing");
  LPOLESTR names[] = {name.data()};
  MEMBERID id = 0;
  EXPECT_EQ(dual->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(MalformedTypeLib, CountsBeyondTheFileAreRefused) {
  // More type infos than the file could hold.
  std::vector<char> bytes = good_;
  SetInt(bytes, 0x20, 0x40000000);
  EXPECT_EQ(Load(bytes), TYPE_E_INVDATAREAD);
  // A type claiming thousands of members in a block that holds a few.
  bytes = good_;
  size_t entry = static_cast<size_t>(Int(good_, Segment(0)));
  SetInt(bytes, entry + 0x18, 0x7FFF7FFF);
  EXPECT_EQ(Load(bytes), TYPE_E_INVDATAREAD);
}

TEST_F(MalformedTypeLib, OtherFormatsAndFilesAreTold) {
  std::vector<char> bytes = good_;
  std::memcpy(bytes.data(), "SLTG", 4);
  EXPECT_EQ(Load(bytes), TYPE_E_UNSUPFORMAT);
  bytes = good_;
  SetInt(bytes, 4, 0x00020002);  // another version of the format
  EXPECT_EQ(Load(bytes), TYPE_E_UNSUPFORMAT);
  std::string text = "not a type library at all";
  EXPECT_EQ(Load(std::vector<char>(text.begin(), text.end())), TYPE_E_CANTLOADLIBRARY);
  std::string windowsProgram = "MZ\x90";
  windowsProgram.resize(512, '\0');
  EXPECT_EQ(Load(std::vector<char>(windowsProgram.begin(), windowsProgram.end())), TYPE_E_CANTLOADLIBRARY);

  ComPtr<ITypeLib> lib;
  std::u16string missing = Wide("C:\\no\\such.tlb");
  EXPECT_EQ(LoadTypeLib(missing.c_str(), lib.Put()), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(lib.Get(), nullptr);
  std::u16string folder = Wide("C:\\Windows");
  EXPECT_EQ(LoadTypeLib(folder.c_str(), lib.Put()), TYPE_E_CANTLOADLIBRARY);
  // A module without a type library.
  std::u16string module = Wide(QORV_TEST_MODULE);
  EXPECT_EQ(LoadTypeLib(module.c_str(), lib.Put()), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(LoadTypeLib(nullptr, lib.Put()), E_INVALIDARG);
}

}  // namespace
