#include <gtest/gtest.h>

#include <string>

#include "codepage.h"
#include "systemroot.h"
#include "winerror.h"

namespace {

std::u16string Widen(UINT codePage, const std::string& text, DWORD flags = 0) {
  int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (n) MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr,
                   const char* defaultChar = nullptr) {
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, defaultChar,
                              usedDefault);
  std::string out(static_cast<size_t>(n), '\0');
  if (n) {
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, defaultChar,
                        usedDefault);
  }
  return out;
}

// The ANSI code page is 1256: Persian letters, the Persian-only letters it
// has (peh, gaf), and Latin text survive the round trip.
TEST(PlatformCodePageAnsi, Windows1256RoundTrip) {
  EXPECT_EQ(GetACP(), 1256u);
  const std::string ansi = "\x81\xde\xc7\x90 OK";  // peh, qaf, alef, gaf
  const std::u16string wide = u"\u067E\u0642\u0627\u06AF OK";
  EXPECT_EQ(Widen(CP_ACP, ansi), wide);
  BOOL usedDefault = TRUE;
  EXPECT_EQ(Narrow(CP_ACP, wide, &usedDefault), ansi);
  EXPECT_FALSE(usedDefault);
}

// Characters the code page lacks become '?' or the caller's default, and the
// caller is told.
TEST(PlatformCodePageAnsi, UnmappableCharactersUseDefault) {
  BOOL usedDefault = FALSE;
  EXPECT_EQ(Narrow(CP_ACP, u"a\u4E2Db\U0001F600", &usedDefault), "a?b??");
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(Narrow(CP_ACP, u"\u4E2D", nullptr, "*"), "*");
  usedDefault = TRUE;
  EXPECT_EQ(Narrow(CP_ACP, u"\xD800x", &usedDefault), "?x");
  EXPECT_TRUE(usedDefault);
}

// The configured code page takes effect; 1252 has holes that map to the
// same-valued control characters as on Windows.
TEST(PlatformCodePageAnsi, ConfiguredCodePageIsUsed) {
  ASSERT_TRUE(qorv::platform::SetConfiguredAnsiCodePage(1252));
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(Widen(CP_ACP, "\xe9\x80\x81"), u"\u00E9\u20AC\u0081");
  EXPECT_EQ(Widen(1256, "\xe9"), u"\u00E9");
  EXPECT_EQ(MultiByteToWideChar(12345, 0, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Well-formed UTF-8 of every length; each malformed sequence (stray
// continuation, overlong, surrogate, beyond U+10FFFF, cut short) is one
// U+FFFD, or a failure when invalid characters are refused.
TEST(PlatformCodePageUtf8, DecodesAndReplacesMalformedSequences) {
  EXPECT_EQ(Widen(CP_UTF8, "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), u"a\u00E9\u20AC\U0001F600");
  struct {
    std::string In;
    std::u16string Out;
  } cases[] = {
      {"\x80x", u"\uFFFDx"},
      {"\xc0\xafx", u"\uFFFD\uFFFDx"},
      {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xe2\x82x", u"\uFFFDx"},
      {"\xf0\x9f\x98", u"\uFFFD"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Widen(CP_UTF8, c.In), c.Out);
    EXPECT_EQ(
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.In.data(), static_cast<int>(c.In.size()), nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  }
}

TEST(PlatformCodePageUtf8, EncodesAndRefusesDefaultCharacter) {
  EXPECT_EQ(Narrow(CP_UTF8, u"a\u00E9\U0001F600"), "a\xc3\xa9\xf0\x9f\x98\x80");
  EXPECT_EQ(Narrow(CP_UTF8, u"\xDC00"), "\xef\xbf\xbd");
  char out[8];
  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, 8, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, u"\xD800", 1, out, 8, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0x1, "a", 1, nullptr, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
}

// -1 counts the terminator; an output one short fails without a partial
// count; length 0 and missing buffers are parameter errors.
TEST(PlatformCodePageBuffers, TerminatorSizeQueryAndShortBuffer) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  char16_t wide[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::u16string(wide, 4), std::u16string(u"abc\0", 4));
  char narrow[4];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, narrow, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, narrow, 4, nullptr, nullptr), 4);
  EXPECT_STREQ(narrow, "abc");
  for (int length : {0, -2}) {
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", length, wide, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", length, narrow, 4, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wide, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
