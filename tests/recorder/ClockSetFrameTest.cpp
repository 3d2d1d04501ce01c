#include <gtest/gtest.h>

#include <cstdio>

#include "ClockSetFrame.h"
#include "FakeRecorderPort.h"

namespace {

using qorv::recorder::Bcd;
using qorv::recorder::BuildClockSetFrame;
using qorv::recorder::ClockInputErrorText;
using qorv::recorder::IsBlankText;
using qorv::recorder::TClockInputError;
using qorv::test::Bytes;

std::string FrameText(const qorv::recorder::TClockSetFrame& frame) {
  return std::string(frame.Bytes.begin(), frame.Bytes.end());
}

// Seconds, minutes and hours in BCD, then the date byte (year mod 4 above
// the BCD day), then the month.
TEST(ClockSetFrameBytes, EncodesTheClockInItsFields) {
  const struct {
    const char* date;
    const char* time;
    std::string expected;
  } rows[] = {
      {"2009/03/15", "13:45:30", Bytes({0xFC, 0x52, 0x61, 0x30, 0x45, 0x13, 0xD5, 0x03, 0x54, 0x01, 0xFD})},
      {"2024/05/20", "09:05:07", Bytes({0xFC, 0x52, 0x61, 0x07, 0x05, 0x09, 0xA0, 0x05, 0x54, 0x01, 0xFD})},
      // The year travels modulo 4: 2006 and 2010 give 0, 2007 gives 1, 2005 gives 3.
      {"2006/12/31", "23:59:59", Bytes({0xFC, 0x52, 0x61, 0x59, 0x59, 0x23, 0x31, 0x12, 0x54, 0x01, 0xFD})},
      {"2010/01/01", "00:00:00", Bytes({0xFC, 0x52, 0x61, 0x00, 0x00, 0x00, 0x01, 0x01, 0x54, 0x01, 0xFD})},
      {"2007/01/01", "00:00:00", Bytes({0xFC, 0x52, 0x61, 0x00, 0x00, 0x00, 0x41, 0x01, 0x54, 0x01, 0xFD})},
      {"2005/01/09", "00:00:00", Bytes({0xFC, 0x52, 0x61, 0x00, 0x00, 0x00, 0xC9, 0x01, 0x54, 0x01, 0xFD})},
      // No range check: minute 75 travels as 0x75, month 99 as 0x99, day 45 spills into the year bits.
      {"2006/99/45", "24:75:99", Bytes({0xFC, 0x52, 0x61, 0x99, 0x75, 0x24, 0x45, 0x99, 0x54, 0x01, 0xFD})},
      // Separators are not looked at, and characters past the fields are ignored.
      {"2009x03y15 and more", "13-45-30.5", Bytes({0xFC, 0x52, 0x61, 0x30, 0x45, 0x13, 0xD5, 0x03, 0x54, 0x01, 0xFD})},
  };
  for (const auto& row : rows) {
    const auto frame = BuildClockSetFrame(row.date, row.time);
    ASSERT_EQ(frame.Error, TClockInputError::None) << row.date << " " << row.time;
    EXPECT_EQ(FrameText(frame), row.expected) << row.date << " " << row.time;
  }
}

TEST(ClockSetFrameBytes, BcdTruncatesTowardZeroAndKeepsLowByte) {
  const std::pair<int, int> rows[] = {{0, 0x00},   {9, 0x09},   {10, 0x10}, {59, 0x59},  {99, 0x99},
                                      {100, 0xA0}, {123, 0xC3}, {-1, 0xFF}, {-10, 0xF0}, {2009, 0x89}};
  for (const auto& [value, expected] : rows) EXPECT_EQ(Bcd(value), expected) << value;
}

// The date is read first: with both texts wrong the date error is reported.
TEST(ClockSetFrameInput, RejectsShortOrNonNumericFields) {
  const struct {
    const char* date;
    const char* time;
    TClockInputError expected;
  } rows[] = {
      {"2009/03/1", "13:45:30", TClockInputError::Date},   // nine characters
      {"20a9/03/15", "13:45:30", TClockInputError::Date},  // year
      {"2009/0x/15", "13:45:30", TClockInputError::Date},  // month
      {"2009/03/1 ", "13:45:30", TClockInputError::Date},  // day with a blank
      {"2009/+//15", "13:45:30", TClockInputError::Date},  // a sign with no digit
      {"2009/03/1x", "garbage", TClockInputError::Date},   // date error hides the time's
      {"2009/03/15", "13:45:3", TClockInputError::Time},   // seven characters
      {"2009/03/15", "1x:45:30", TClockInputError::Time},  // hour
      {"2009/03/15", "13: 5:30", TClockInputError::Time},  // minute with a blank
      {"2009/03/15", "13:45:-x", TClockInputError::Time},  // second
      // A sign in any field: frames have no escaping, and a negative field
      // would put a 0xFC or 0xFD inside the frame.
      {"2009/-3/15", "13:45:30", TClockInputError::Date},
      {"2009/+3/15", "13:45:30", TClockInputError::Date},
      {"+009/03/15", "13:45:30", TClockInputError::Date},
      {"2009/03/-1", "13:45:30", TClockInputError::Date},
      {"2009/03/15", "00:00:-3", TClockInputError::Time},
      {"2009/03/15", "+1:00:00", TClockInputError::Time},
      {"2009/03/15", "13:-5:30", TClockInputError::Time},
      {"2009/03/15",
       "\xD9\xA1"
       "3:45:30",
       TClockInputError::Time},  // non-ASCII digit
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BuildClockSetFrame(row.date, row.time).Error, row.expected) << row.date << " " << row.time;
  }
}

// Whatever digits the fields hold, only the first and last bytes of the frame
// are markers: the recorder never sees a frame cut short or a new one begun.
TEST(ClockSetFrameBytes, NoDigitsPutAMarkerInsideTheFrame) {
  auto innerMarkers = [](const std::string& date, const std::string& time) {
    const auto frame = BuildClockSetFrame(date, time);
    EXPECT_EQ(frame.Error, TClockInputError::None) << date << " " << time;
    int markers = 0;
    for (int i = 1; i < qorv::recorder::kClockSetFrameSize - 1; ++i)
      markers += frame.Bytes[i] == 0xFC || frame.Bytes[i] == 0xFD;
    return markers;
  };
  char field[3];
  for (int v = 0; v <= 99; ++v) {
    std::snprintf(field, sizeof field, "%02d", v);
    const std::string f = field;
    EXPECT_EQ(innerMarkers("2009/03/15", f + ":" + f + ":" + f), 0) << f;
    for (const char* year : {"0000", "2006", "2007", "2008", "2009", "9999"})
      EXPECT_EQ(innerMarkers(std::string(year) + "/" + f + "/" + f, "13:45:30"), 0) << year << " " << f;
  }
}

TEST(ClockSetFrameInput, BlankMeansOnlyBytesUpToSpace) {
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText(std::string("\0 \x1F\x20", 4)));
  EXPECT_FALSE(IsBlankText(" \x21 "));
  EXPECT_FALSE(IsBlankText("\x7F"));
  EXPECT_FALSE(IsBlankText("\xA0")) << "bytes above 0x7F are text in the ANSI code page";
}

// The two messages reach the message box in code page 1256.
TEST(ClockSetFrameInput, MessagesAreInTheAnsiCodePage) {
  EXPECT_EQ(ClockInputErrorText(TClockInputError::Date),
            Bytes({0xC7, 0xD4, 0x98, 0xC7, 0xE1, 0x20, 0xCF, 0xD1, 0x20, 0xCA, 0xC7, 0xD1,
                   0xED, 0xCE, 0x20, 0xE6, 0xC7, 0xD1, 0xCF, 0x20, 0xD4, 0xCF, 0xE5}));
  EXPECT_EQ(ClockInputErrorText(TClockInputError::Time),
            Bytes({0xC7, 0xD4, 0x98, 0xC7, 0xE1, 0x20, 0xCF, 0xD1, 0x20, 0xD3, 0xC7,
                   0xDA, 0xCA, 0x20, 0xE6, 0xC7, 0xD1, 0xCF, 0x20, 0xD4, 0xCF, 0xE5}));
  EXPECT_EQ(ClockInputErrorText(TClockInputError::None), "");
}

}  // namespace
