// The type library fix-up on widl's own output for the control: references
// between type descriptions must follow them when they are reordered, the
// result must load, and damaged input must be refused with nothing written.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../platform/ChildProgram.h"
#include "QorvProj1_TLB.h"
#include "TestSupport.h"
#include "TypeLibFixup.h"
#include "oaidl.h"
#include "oleauto.h"

using qorv::tlbfix::FixTypeLib;
using qorv::tlbfix::TypeLibFixupError;
using qorv::tlbfix::TypeLibFixupPlan;

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kOrder = {"IQorvX",       "IQorvXEvents",  "QorvX",     "TxActiveFormBorderStyle",
                                         "TxPrintScale", "TxMouseButton", "TxHelpType"};

std::vector<std::uint8_t> RawLibrary() {
  std::ifstream in(QORV_QORVPROJ1_RAW_TLB, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::int32_t I32(const std::vector<std::uint8_t>& bytes, size_t at) {
  return static_cast<std::int32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
                                   (static_cast<std::uint32_t>(bytes[at + 3]) << 24));
}

// Loads the bytes as a type library through a file, as LoadTypeLib reads it.
ITypeLib* Load(const std::vector<std::uint8_t>& bytes, const qorv::test::TempDir& dir) {
  fs::path file = dir.Path() / "fixed.tlb";
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  std::string path = file.string();
  std::u16string wide(path.begin(), path.end());
  ITypeLib* lib = nullptr;
  EXPECT_EQ(LoadTypeLib(wide.c_str(), &lib), S_OK);
  return lib;
}

std::string NameOf(ITypeInfo* info) {
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  std::string text;
  for (UINT i = 0; name && i < SysStringLen(name); ++i) text += static_cast<char>(name[i]);
  SysFreeString(name);
  return text;
}

}  // namespace

// widl's order is not the control's: the enums come first. After the fix-up
// every reference still names the right type: the coclass's interfaces and
// the enum types of IQorvX's parameters.
TEST(TypeLibFixup, ReorderedReferencesStillNameTheirTypes) {
  std::vector<std::uint8_t> raw = RawLibrary();
  ASSERT_FALSE(raw.empty());
  qorv::test::TempDir dir;
  ITypeLib* before = Load(raw, dir);
  ASSERT_NE(before, nullptr);
  ITypeInfo* first = nullptr;
  ASSERT_EQ(before->GetTypeInfo(0, &first), S_OK);
  EXPECT_NE(NameOf(first), "IQorvX") << "widl's order needs no fix-up any more";
  first->Release();
  before->Release();

  TypeLibFixupPlan plan;
  plan.Order = kOrder;
  ITypeLib* lib = Load(FixTypeLib(raw, plan), dir);
  ASSERT_NE(lib, nullptr);
  for (UINT i = 0; i < kOrder.size(); ++i) {
    ITypeInfo* info = nullptr;
    ASSERT_EQ(lib->GetTypeInfo(i, &info), S_OK);
    EXPECT_EQ(NameOf(info), kOrder[i]);
    info->Release();
  }
  ITypeInfo* coclass = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(QorvProj1_TLB::CLSID_QorvX, &coclass), S_OK);
  const char* implemented[] = {"IQorvX", "IQorvXEvents"};
  for (UINT i = 0; i < 2; ++i) {
    HREFTYPE ref = 0;
    ITypeInfo* target = nullptr;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, &target), S_OK);
    EXPECT_EQ(NameOf(target), implemented[i]);
    target->Release();
  }
  coclass->Release();
  // get_AxBorderStyle (function 6 of the vtable view) takes the enum by pointer.
  ITypeInfo* dispatch = nullptr;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(QorvProj1_TLB::IID_IQorvX, &dispatch), S_OK);
  HREFTYPE vtableRef = 0;
  ITypeInfo* vtable = nullptr;
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeInfo(vtableRef, &vtable), S_OK);
  FUNCDESC* f = nullptr;
  ASSERT_EQ(vtable->GetFuncDesc(6, &f), S_OK);
  ASSERT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  ITypeInfo* enumType = nullptr;
  ASSERT_EQ(vtable->GetRefTypeInfo(f->lprgelemdescParam[0].tdesc.lptdesc->hreftype, &enumType), S_OK);
  EXPECT_EQ(NameOf(enumType), "TxActiveFormBorderStyle");
  enumType->Release();
  vtable->ReleaseFuncDesc(f);
  vtable->Release();
  dispatch->Release();
  lib->Release();
}

// The custom data widl always writes is gone from the library and from every
// type description.
TEST(TypeLibFixup, CustomDataIsStripped) {
  std::vector<std::uint8_t> raw = RawLibrary();
  ASSERT_GE(raw.size(), 0x54u);
  EXPECT_NE(I32(raw, 4 * 16), -1) << "widl's output has library custom data";
  TypeLibFixupPlan plan;
  plan.StripCustomData = true;
  std::vector<std::uint8_t> fixed = FixTypeLib(raw, plan);
  EXPECT_EQ(I32(fixed, 4 * 16), -1);
  std::int32_t count = I32(fixed, 4 * 8);
  std::int32_t table = I32(fixed, 0x54 + 4 * count);  // first segment: the type info table
  for (std::int32_t i = 0; i < count; ++i) EXPECT_EQ(I32(fixed, table + I32(fixed, 0x54 + 4 * i) + 0x48), -1) << i;
}

// Damaged input and impossible plans are refused with a reason.
TEST(TypeLibFixup, RefusesDamagedInputAndBadPlans) {
  std::vector<std::uint8_t> raw = RawLibrary();
  ASSERT_FALSE(raw.empty());
  TypeLibFixupPlan reorder;
  reorder.Order = kOrder;
  TypeLibFixupPlan enums;
  enums.EnumConstantHelpStrings = true;

  std::vector<std::uint8_t> truncated(raw.begin(), raw.begin() + 0x40);
  EXPECT_THROW(FixTypeLib(truncated, reorder), TypeLibFixupError);
  std::vector<std::uint8_t> notLibrary = raw;
  notLibrary[0] = 'X';
  EXPECT_THROW(FixTypeLib(notLibrary, reorder), TypeLibFixupError);
  // The segment directory cut off halfway.
  std::vector<std::uint8_t> shortDirectory(raw.begin(), raw.begin() + 0x54 + 7 * 4 + 8 * 16);
  EXPECT_THROW(FixTypeLib(shortDirectory, reorder), TypeLibFixupError);
  // A member block that claims more than the file holds.
  std::vector<std::uint8_t> hugeBlock = raw;
  std::int32_t table = I32(raw, 0x54 + 4 * 7);
  std::int32_t block = I32(raw, table + 4);  // the first type description's members
  hugeBlock[block + 3] = 0x70;
  EXPECT_THROW(FixTypeLib(hugeBlock, enums), TypeLibFixupError);

  TypeLibFixupPlan missing;
  missing.Order = {"IQorvX", "IQorvXEvents", "QorvX", "TxActiveFormBorderStyle", "TxPrintScale", "TxMouseButton"};
  EXPECT_THROW(FixTypeLib(raw, missing), TypeLibFixupError);
  TypeLibFixupPlan twice = reorder;
  twice.Order.back() = "IQorvX";
  EXPECT_THROW(FixTypeLib(raw, twice), TypeLibFixupError);
  TypeLibFixupPlan unknown;
  unknown.Versions = {{"INoSuchThing", 1, 0}};
  EXPECT_THROW(FixTypeLib(raw, unknown), TypeLibFixupError);
}

// The tool writes nothing at all when it refuses, so a build never embeds a
// half-written library.
TEST(TypeLibFixup, ToolLeavesNoOutputWhenItRefuses) {
  qorv::test::TempDir dir;
  fs::path damaged = dir.Path() / "damaged.tlb";
  std::vector<std::uint8_t> raw = RawLibrary();
  std::ofstream(damaged, std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), 0x60);
  fs::path output = dir.Path() / "out.tlb";
  auto result = qorv::test::RunProgram(QORV_TLBFIX, {"--order", "IQorvX", damaged.string(), output.string()});
  EXPECT_EQ(result.ExitStatus, 1);
  EXPECT_NE(result.Err.find("tlbfix: "), std::string::npos) << result.Err;
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(fs::exists(output.string() + ".tmp"));
  result =
      qorv::test::RunProgram(QORV_TLBFIX, {"--version", "IQorvXEvents=1", QORV_QORVPROJ1_RAW_TLB, output.string()});
  EXPECT_EQ(result.ExitStatus, 1);
  EXPECT_NE(result.Err.find("NAME=MAJOR.MINOR"), std::string::npos) << result.Err;
  EXPECT_FALSE(fs::exists(output));
}
