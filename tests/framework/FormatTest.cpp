#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "SysUtils.h"

namespace {

struct FormatCase {
  const char* format;
  std::initializer_list<FormatArg> args;
  const char* expected;
};

// Each conversion the engine's log and trace writers and the port's device
// names rely on, with both sides of width and precision.
TEST(FormatConversions, ProduceTheFrameworkLayout) {
  const FormatCase cases[] = {
      {"COM%d", {3}, "COM3"},
      {"\\\\.\\COM%d", {12}, "\\\\.\\COM12"},
      {"%d", {-42}, "-42"},
      {"%d", {INT32_MIN}, "-2147483648"},
      {"%u", {-1}, "4294967295"},
      {"%x", {255}, "FF"},
      {"%x", {-1}, "FFFFFFFF"},
      {"%08.8x", {12}, "0000000C"},
      {"%08.8x", {0x12345678}, "12345678"},
      {"%07.7d", {5}, "0000005"},
      {"%07.7d", {12345678}, "12345678"},
      {"%.3d", {-7}, "-007"},
      {"%8s", {"1234.567"}, "1234.567"},
      {"%8s", {"0.5"}, "     0.5"},
      {"%-8s|", {"Trigger"}, "Trigger |"},
      {"%-12s|", {""}, "            |"},
      {"%.3s", {"abcdef"}, "abc"},
      {"%*d", {5, 42}, "   42"},
      {"%-*d|", {4, 1}, "1   |"},
      {"100%%", {}, "100%"},
      {"%s and %s", {"a", std::string("b")}, "a and b"},
      {"%c", {'A'}, "A"},
      {"%X", {171}, "AB"},
      {"%x", {static_cast<std::int64_t>(0x1FFFFFFFFll)}, "1FFFFFFFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.format, c.args), c.expected) << "format " << c.format;
}

TEST(FormatConversions, LogPrefixIsFortyFourCharacters) {
  std::string prefix = Format("%8s  %-8s  %-12s  %08.8x  ", {"0001.234", "Trigger", "Avail", 12});
  EXPECT_EQ(prefix, "0001.234  Trigger   Avail         0000000C  ");
  EXPECT_EQ(prefix.size(), 44u);
}

// A format that does not fit its arguments is an error, never a read past
// the argument list or a misread argument.
TEST(FormatConversions, RejectsMismatchedOrMissingArguments) {
  EXPECT_THROW(Format("%d", {}), EConvertError);
  EXPECT_THROW(Format("%d", {"text"}), EConvertError);
  EXPECT_THROW(Format("%s", {5}), EConvertError);
  EXPECT_THROW(Format("%q", {5}), EConvertError);
  EXPECT_THROW(Format("abc %", {}), EConvertError);
  EXPECT_THROW(Format("%*d", {"x", 5}), EConvertError);
  try {
    Format("%d", {});
  } catch (const EConvertError& e) {
    EXPECT_NE(e.Message().find("%d"), std::string::npos) << "the message names the format";
  }
}

struct IntCase {
  const char* text;
  std::int32_t value;
};

TEST(StrToIntConversion, AcceptsSignedDecimalAndDollarHex) {
  const IntCase cases[] = {
      {"0", 0},
      {"3", 3},
      {"+17", 17},
      {"-17", -17},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"$FF", 255},
      {"$ff", 255},
      {"$FFFFFFFF", -1},
      {"-$10", -16},
      {"007", 7},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
}

TEST(StrToIntConversion, RejectsEverythingElseWithTheTextInTheMessage) {
  const char* bad[] = {"",     "-",          "+",           "$",          " 1",   "1 ",   "1a",
                       "12.5", "2147483648", "-2147483649", "$100000000", "0x10", "COM3", "--1"};
  for (const char* text : bad) {
    try {
      StrToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
