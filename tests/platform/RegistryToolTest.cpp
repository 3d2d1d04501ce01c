// qorvreg: the registry of the test's root printed as .reg text.
#include <gtest/gtest.h>

#include <string>

#include "ChildProgram.h"
#include "RegistryTestSupport.h"
#include "windows.h"

using qorv::test::CreateKey;
using qorv::test::ProgramResult;
using qorv::test::RunProgram;
using qorv::test::ScopedKey;
using qorv::test::SetDword;
using qorv::test::SetString;

namespace {

ProgramResult Qorvreg(const std::vector<std::string>& args) { return RunProgram(QORV_QORVREG, args); }

void FillSample() {
  ScopedKey key(CreateKey(HKEY_CLASSES_ROOT, "QorvTool"));
  ASSERT_EQ(SetString(key.Get(), nullptr, "say \"hi\" to C:\\Windows"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key.Get(), "Count", 10), ERROR_SUCCESS);
  const BYTE blob[] = {0x00, 0x01, 0xff};
  ASSERT_EQ(RegSetValueExA(key.Get(), "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key.Get(), "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b\0"), 5),
            ERROR_SUCCESS);
  // Persian in code page 1256 ("سلام"), printed as UTF-8.
  ASSERT_EQ(SetString(key.Get(), "\xD3\xE1\xC7\xE3", "\xD3\xE1\xC7\xE3"), ERROR_SUCCESS);
  ScopedKey sub(CreateKey(key.Get(), "Sub"));
  ASSERT_EQ(SetString(sub.Get(), "x", "y"), ERROR_SUCCESS);
  ScopedKey empty(CreateKey(sub.Get(), "Empty"));
}

}  // namespace

// export prints the key and everything below it, values in the order set,
// each type in its .reg form.
TEST(RegistryTool, ExportPrintsTheTree) {
  FillSample();
  ProgramResult result = Qorvreg({"export", "HKCR\\qorvtool"});
  EXPECT_EQ(result.ExitStatus, 0) << result.Err;
  EXPECT_EQ(result.Out,
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CLASSES_ROOT\\qorvtool]\n"
            "@=\"say \\\"hi\\\" to C:\\\\Windows\"\n"
            "\"Count\"=dword:0000000a\n"
            "\"Blob\"=hex:00,01,ff\n"
            "\"Multi\"=hex(7):61,00,62,00,00\n"
            "\"سلام\"=\"سلام\"\n"
            "\n"
            "[HKEY_CLASSES_ROOT\\qorvtool\\Sub]\n"
            "\"x\"=\"y\"\n"
            "\n"
            "[HKEY_CLASSES_ROOT\\qorvtool\\Sub\\Empty]\n");
}

// query prints one key's values and names its subkeys in comments.
TEST(RegistryTool, QueryPrintsOneKey) {
  FillSample();
  ProgramResult result = Qorvreg({"query", "HKEY_CLASSES_ROOT\\QorvTool\\Sub"});
  EXPECT_EQ(result.ExitStatus, 0) << result.Err;
  EXPECT_EQ(result.Out,
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_CLASSES_ROOT\\QorvTool\\Sub]\n"
            "\"x\"=\"y\"\n"
            "; subkey Empty\n");
}

// A missing key, an unknown root and bad arguments are errors with their
// own status.
TEST(RegistryTool, Errors) {
  ProgramResult missing = Qorvreg({"query", "HKLM\\Software\\Missing"});
  EXPECT_EQ(missing.ExitStatus, 2);
  EXPECT_NE(missing.Err.find("HKEY_LOCAL_MACHINE\\Software\\Missing: cannot be read (error 2)"), std::string::npos)
      << missing.Err;
  EXPECT_EQ(Qorvreg({"query", "HKEY_USERS\\x"}).ExitStatus, 1);
  EXPECT_EQ(Qorvreg({"query"}).ExitStatus, 1);
  EXPECT_EQ(Qorvreg({"delete", "HKCR"}).ExitStatus, 1);
  ProgramResult all = Qorvreg({"export"});
  EXPECT_EQ(all.ExitStatus, 0);
  EXPECT_NE(all.Out.find("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes]\n"), std::string::npos) << all.Out;
  EXPECT_NE(all.Out.find("\n[HKEY_CURRENT_USER]\n"), std::string::npos) << all.Out;
}
