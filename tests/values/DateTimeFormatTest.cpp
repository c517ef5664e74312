#include <gtest/gtest.h>

#include "tests/values/FormatCases.h"

namespace quillmark {
namespace {

using valuetest::Cat;
using valuetest::Column;
using valuetest::ExpectTexts;
using valuetest::Le;

constexpr std::uint64_t kMay1st2010 = 733892;  // day number from 0001-01-01
constexpr std::int64_t kMay1st2010From1900 = 40297;
constexpr std::uint64_t kLastDay = 3652058;  // 9999-12-31
constexpr std::uint64_t kTenMillion = 10000000;
constexpr std::uint64_t kHour = 3600;

ByteVector DateTime(std::int64_t ticks, std::int64_t days) {
  return Cat({Le(static_cast<std::uint64_t>(ticks), 4), Le(static_cast<std::uint64_t>(days), 4)});
}

ByteVector SmallDateTime(std::int64_t minutes, std::uint64_t days) {
  return Cat({Le(static_cast<std::uint64_t>(minutes), 2), Le(days, 2)});
}

// Time units, day number and, for datetimeoffset, the offset in minutes.
ByteVector Stamp(std::uint64_t units, std::size_t timeBytes, std::uint64_t dayNumber) {
  return Cat({Le(units, timeBytes), Le(dayNumber, 3)});
}
ByteVector Stamp(std::uint64_t units, std::size_t timeBytes, std::uint64_t dayNumber, std::int64_t offset) {
  return Cat({Stamp(units, timeBytes, dayNumber), Le(static_cast<std::uint64_t>(offset), 2)});
}

TEST(ValueFormatDateTime, DateTimeCountsTicksAndDaysFrom1900) {
  ExpectTexts(Column(kDateTime, u"datetime(8)"),
              {{DateTime(0, 0), u"1900-01-01 00:00:00"},
               {DateTime(25919999, 0), u"1900-01-01 23:59:59.997"},
               {DateTime(15660000, kMay1st2010From1900), u"2010-05-01 14:30:00"},
               {DateTime(15660000, kMay1st2010From1900), u"2010-05-01 14:30:00"},
               {DateTime(0, -53690), u"1753-01-01 00:00:00"},
               {DateTime(0, -109499), u"1753-03-15 00:00:00"},  // 1600-03-15
               {DateTime(0, 2958463), u"9999-12-31 00:00:00"},
               {DateTime(0, 2958464), u" "},
               {DateTime(-1, 0), u" "},
               {DateTime(25920000, 0), u" "},  // 24:00:00
               {ByteVector(7, 0), u""}});
}

// Ticks are 1/300 s, shown rounded to the millisecond as SQL Server shows
// them; a whole second has no fraction.
TEST(ValueFormatDateTime, DateTimeShowsTheFractionOfItsTicks) {
  ExpectTexts(Column(kDateTime, u"datetime(8)"),
              {{DateTime(0, 0), u"1900-01-01 00:00:00"},
               {DateTime(1, 0), u"1900-01-01 00:00:00.003"},
               {DateTime(2, 0), u"1900-01-01 00:00:00.007"},
               {DateTime(3, 0), u"1900-01-01 00:00:00.010"},
               {DateTime(30, 0), u"1900-01-01 00:00:00.100"},
               {DateTime(299, 0), u"1900-01-01 00:00:00.997"},
               {DateTime(300, 0), u"1900-01-01 00:00:01"},
               {DateTime(301, 0), u"1900-01-01 00:00:01.003"},
               {DateTime(17835112, 40221), u"2010-02-14 16:30:50.373"}});
}

TEST(ValueFormatDateTime, SmallDateTimeCountsMinutes) {
  ExpectTexts(Column(kSmallDateTime, u"smalldatetime(4)"),
              {{SmallDateTime(870, kMay1st2010From1900), u"2010-05-01 14:30:00"},
               {SmallDateTime(0, 65535), u"2079-06-06 00:00:00"},
               {SmallDateTime(1440, 0), u" "},
               {SmallDateTime(-1, 0), u" "},
               {ByteVector(3, 0), u""}});
}

TEST(ValueFormatDateTime, DateIsADayNumber) {
  ExpectTexts(Column(kDate, u"date(3)"), {{Le(kMay1st2010, 3), u"2010-05-01"},
                                          {Le(0, 3), u"0001-01-01"},
                                          {Le(730178, 3), u"2000-02-29"},
                                          {Le(693654, 3), u"1900-03-01"},
                                          {Le(kLastDay, 3), u"9999-12-31"},
                                          {Le(kLastDay + 1, 3), u" "},
                                          {Le(0, 2), u""}});
}

TEST(ValueFormatDateTime, TimeFractionHasScaleDigits) {
  ExpectTexts(Column(kTime, u"time(5)", 0, 0, 7), {{Le(0, 5), u"00:00:00.0000000"},
                                                   {Le(12 * kHour * kTenMillion + 500000, 5), u"12:00:00.0500000"},
                                                   {Le(86399 * kTenMillion + 9999999, 5), u"23:59:59.9999999"},
                                                   {Le(86400 * kTenMillion, 5), u" "},
                                                   {Le(0, 4), u""}});
  ExpectTexts(Column(kTime, u"time(3)", 0, 0, 0), {{Le(3600, 3), u"01:00:00"}});
  ExpectTexts(Column(kTime, u"time(4)", 0, 0, 3), {{Le(5, 4), u"00:00:00.005"}});
}

TEST(ValueFormatDateTime, ImpossibleScalesAndSizesShowABlank) {
  ExpectTexts(Column(kTime, u"time(5)", 0, 0, 200), {{Le(0, 5), u" "}});
  ExpectTexts(Column(kTime, u"time(6)", 0, 0, 7), {{Le(0, 6), u" "}});
  ExpectTexts(Column(kTime, u"time(2)", 0, 0, 0), {{Le(0, 2), u" "}});
  ExpectTexts(Column(kDateTime2, u"datetime2(9)", 0, 0, 7), {{Stamp(0, 6, kMay1st2010), u" "}});
  ExpectTexts(Column(kDateTime2, u"datetime2(8)", 0, 0, 8), {{Stamp(0, 5, kMay1st2010), u" "}});
  ExpectTexts(Column(kDateTimeOffset, u"datetimeoffset(11)", 0, 0, 7), {{Stamp(0, 6, kMay1st2010, 0), u" "}});
}

TEST(ValueFormatDateTime, DateTime2) {
  ExpectTexts(Column(kDateTime2, u"datetime2(6)", 0, 0, 0), {{Stamp(52200, 3, kMay1st2010), u"2010-05-01 14:30:00"}});
  ExpectTexts(Column(kDateTime2, u"datetime2(7)", 0, 0, 3),
              {{Stamp(52200 * 1000 + 5, 4, kMay1st2010), u"2010-05-01 14:30:00.005"}});
  ExpectTexts(Column(kDateTime2, u"datetime2(8)", 0, 0, 7),
              {{Stamp(52200 * kTenMillion + 1234567, 5, kMay1st2010), u"2010-05-01 14:30:00.1234567"},
               {Stamp(0, 5, kLastDay + 1), u" "}});
}

TEST(ValueFormatDateTime, DateTimeOffsetShowsLocalTimeAndTheOffset) {
  ExpectTexts(Column(kDateTimeOffset, u"datetimeoffset(8)", 0, 0, 0),
              {{Stamp(9 * kHour, 3, kMay1st2010, 330), u"2010-05-01 14:30:00 +5:30"},
               {Stamp(14 * kHour + 1800, 3, kMay1st2010, 60), u"2010-05-01 15:30:00 +1:0"},
               {Stamp(14 * kHour + 1800, 3, kMay1st2010, -330), u"2010-05-01 09:00:00 -5:30"},
               // the date moves with the offset
               {Stamp(600, 3, kMay1st2010 + 1, -60), u"2010-05-01 23:10:00 -1:0"},
               {Stamp(23 * kHour + 1800, 3, kMay1st2010, 60), u"2010-05-02 00:30:00 +1:0"},
               {Stamp(600, 3, 0, -60), u" "},
               {Stamp(23 * kHour + 1800, 3, kLastDay, 60), u" "}});
  ExpectTexts(
      Column(kDateTimeOffset, u"datetimeoffset(10)", 0, 0, 7),
      {{Stamp((14 * kHour + 1800) * kTenMillion + 5000000, 5, kMay1st2010, 60), u"2010-05-01 15:30:00.5000000  +1:0"}});
}

}  // namespace
}  // namespace quillmark
