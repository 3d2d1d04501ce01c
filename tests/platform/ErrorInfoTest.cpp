#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "oleauto.h"

namespace {

std::u16string Text(BSTR s) { return s ? std::u16string(s, SysStringLen(s)) : std::u16string(u"<null>"); }

IErrorInfo* MakeErrorInfo(const char16_t* description) {
  ICreateErrorInfo* create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetGUID(IID_IDispatch);
  create->SetSource(const_cast<LPOLESTR>(u"QorvTest.Source"));
  create->SetDescription(const_cast<LPOLESTR>(description));
  create->SetHelpContext(7);
  IErrorInfo* info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  create->Release();
  return info;
}

// What is set is read back once; a second GetErrorInfo finds nothing.
TEST(ErrorInfo, IsTakenOnceWithWhatWasSet) {
  IErrorInfo* info = MakeErrorInfo(u"port not open");
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();

  IErrorInfo* taken = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
  ASSERT_NE(taken, nullptr);
  GUID guid{};
  BSTR source = nullptr;
  BSTR description = nullptr;
  BSTR helpFile = reinterpret_cast<BSTR>(1);
  DWORD context = 0;
  EXPECT_EQ(taken->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, IID_IDispatch);
  EXPECT_EQ(taken->GetSource(&source), S_OK);
  EXPECT_EQ(Text(source), u"QorvTest.Source");
  EXPECT_EQ(taken->GetDescription(&description), S_OK);
  EXPECT_EQ(Text(description), u"port not open");
  EXPECT_EQ(taken->GetHelpFile(&helpFile), S_OK);
  EXPECT_EQ(helpFile, nullptr) << "never set";
  EXPECT_EQ(taken->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 7u);
  SysFreeString(source);
  SysFreeString(description);
  EXPECT_EQ(taken->Release(), 0u) << "the thread gave its reference to the caller";

  taken = reinterpret_cast<IErrorInfo*>(1);
  EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
  EXPECT_EQ(taken, nullptr);
}

// Each thread has its own; setting again or clearing releases the old one.
TEST(ErrorInfo, BelongsToTheThreadAndIsReplaced) {
  IErrorInfo* first = MakeErrorInfo(u"first");
  ASSERT_EQ(SetErrorInfo(0, first), S_OK);
  std::thread other([] {
    IErrorInfo* seen = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &seen), S_FALSE);
    IErrorInfo* own = MakeErrorInfo(u"left behind when the thread ends");
    EXPECT_EQ(SetErrorInfo(0, own), S_OK);
    own->Release();
  });
  other.join();
  IErrorInfo* second = MakeErrorInfo(u"second");
  ASSERT_EQ(SetErrorInfo(0, second), S_OK);
  EXPECT_EQ(first->Release(), 0u) << "replaced, so released";
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(second->Release(), 0u) << "cleared, so released";
  IErrorInfo* taken = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &taken), S_FALSE);
  EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
  EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
}

}  // namespace
