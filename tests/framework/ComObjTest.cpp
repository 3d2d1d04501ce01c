// COM calls from the framework's side: failures arrive as exceptions that
// carry the result and a readable message.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "ComObj.h"

namespace {

class ComObj : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override { CoUninitialize(); }
};

}  // namespace

TEST_F(ComObj, ObjectAndItsInterfaces) {
  TComRef<IUnknown> link(CreateComObject(CLSID_ShellLink));
  TComRef<IShellLinkA> shellLink(QueryComInterface<IShellLinkA>(link.Get(), IID_IShellLinkA));
  EXPECT_NE(shellLink.Get(), nullptr);
  EXPECT_THROW(QueryComInterface<IStream>(link.Get(), IID_IStream), EIntfCastError);
}

// A class nobody serves: the result, and a message naming it when the system
// has no text for it.
TEST_F(ComObj, UnknownClassRaisesWithTheResult) {
  const CLSID unknown{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  try {
    CreateComObject(unknown);
    FAIL() << "no error";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_NO_THROW(OleCheck(S_FALSE)) << "success codes pass";
  try {
    OleCheck(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    FAIL() << "no error";
  } catch (const EOleSysError& e) {
    EXPECT_NE(e.Message().back(), '.') << "without the system text's full stop: " << e.Message();
    EXPECT_NE(e.Message().find("file"), std::string::npos) << "the Windows error's text: " << e.Message();
  }
}
