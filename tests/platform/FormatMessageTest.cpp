#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "winerror.h"

namespace {

constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// Every error number the platform reports has a one-line text ending in CR LF.
TEST(PlatformSystemMessages, EveryPlatformErrorHasText) {
  const DWORD numbers[] = {1,    2,    3,    4,    5,    6,    8,    13,   14,   15,   17,   18,   19,
                           20,   21,   22,   23,   31,   32,   33,   38,   39,   50,   55,   80,   87,
                           109,  112,  120,  122,  123,  126,  127,  131,  145,  170,  183,  193,  206,
                           234,  258,  259,  267,  317,  995,  996,  997,  998,  1004, 1010, 1011, 1012,
                           1013, 1113, 1121, 1400, 1410, 1411, 1413, 1450, 1460, 1617, 1812, 1813, 1814};
  for (DWORD number : numbers) {
    char buffer[256];
    DWORD n = FormatMessageA(kFlags, nullptr, number, 0, buffer, 255, nullptr);
    ASSERT_GT(n, 2u) << number;
    EXPECT_EQ(n, std::strlen(buffer)) << number;
    EXPECT_EQ(std::string(buffer + n - 2), "\r\n") << number;
    EXPECT_EQ(std::strcspn(buffer, "\r\n"), n - 2) << number << ": one line";
  }
}

TEST(PlatformSystemMessages, UnknownNumberGivesNoText) {
  char buffer[256] = "untouched";
  EXPECT_EQ(FormatMessageA(kFlags, nullptr, 99999, 0, buffer, 255, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  EXPECT_STREQ(buffer, "untouched");
}

// The buffer must hold the text, CR LF and the terminator: one short fails.
TEST(PlatformSystemMessages, BufferBoundaryAndBadArguments) {
  char buffer[256];
  DWORD n = FormatMessageA(kFlags, nullptr, ERROR_ACCESS_DENIED, 0, buffer, 255, nullptr);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(FormatMessageA(kFlags, nullptr, ERROR_ACCESS_DENIED, 0, buffer, n + 1, nullptr), n);
  EXPECT_EQ(FormatMessageA(kFlags, nullptr, ERROR_ACCESS_DENIED, 0, buffer, n, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(FormatMessageA(kFlags, nullptr, ERROR_ACCESS_DENIED, 0, nullptr, 255, nullptr), 0u);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "x", 0, 0, buffer, 255, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
