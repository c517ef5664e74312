// Date and time texts: "2010-05-01 14:30:00", with a fraction of s digits and a
// UTC offset for the types that store them; datetime adds its milliseconds
// (".373") when the time is not a whole second. Day numbers count days of the
// proleptic Gregorian calendar from 0001-01-01 (day 0).
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "values/ValueTexts.h"

namespace quillmark::valuetext {
namespace {

constexpr std::int64_t kDayOf1900 = 693595;  // datetime and smalldatetime count days from 1900-01-01
constexpr std::int64_t kMinutesPerDay = 1440;
constexpr int kMostScale = 7;

constexpr std::array<std::int64_t, 13> kMonthStarts{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr std::array<std::int64_t, 13> kLeapMonthStarts{0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

struct Date {
  std::int64_t year = 0;
  std::int64_t month = 0;
  std::int64_t day = 0;
};

struct Clock {
  std::int64_t hour = 0;
  std::int64_t minute = 0;
  std::int64_t second = 0;
};

bool IsLeapYear(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Nothing for a day before 0001-01-01 or after 9999-12-31.
std::optional<Date> DateOf(std::int64_t dayNumber) {
  if (dayNumber < 0) return std::nullopt;
  std::int64_t rest = dayNumber % 146097;  // 400-year cycles
  const std::int64_t centuries = std::min<std::int64_t>(rest / 36524, 3);
  rest -= centuries * 36524;
  const std::int64_t quadrennia = rest / 1461;
  rest %= 1461;
  const std::int64_t years = std::min<std::int64_t>(rest / 365, 3);
  rest -= years * 365;
  Date date;
  date.year = 1 + dayNumber / 146097 * 400 + centuries * 100 + quadrennia * 4 + years;
  if (date.year > 9999) return std::nullopt;
  const auto& starts = IsLeapYear(date.year) ? kLeapMonthStarts : kMonthStarts;
  date.month = std::upper_bound(starts.begin(), starts.end(), rest) - starts.begin();
  date.day = rest - starts[static_cast<std::size_t>(date.month - 1)] + 1;
  return date;
}

Clock ClockOf(std::int64_t seconds) { return {seconds / 3600, seconds / 60 % 60, seconds % 60}; }

bool InRange(const Clock& clock) {
  return clock.hour >= 0 && clock.hour <= 23 && clock.minute >= 0 && clock.minute <= 59 && clock.second >= 0 &&
         clock.second <= 59;
}

// Zero-padded digits written by hand: dates and times are formatted for every
// row of a listing, and a general formatter costs more than the rest of the row.
void AppendDigits(std::u16string& text, std::int64_t value, int width) {
  char16_t digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value > 0 && count < 20);
  for (int pad = count; pad < width; ++pad) text.push_back(u'0');
  while (count > 0) text.push_back(digits[--count]);
}

void AppendClock(std::u16string& text, const Clock& clock) {
  AppendDigits(text, clock.hour, 2);
  text.push_back(u':');
  AppendDigits(text, clock.minute, 2);
  text.push_back(u':');
  AppendDigits(text, clock.second, 2);
}

void AppendDate(std::u16string& text, const Date& date) {
  AppendDigits(text, date.year, 4);
  text.push_back(u'-');
  AppendDigits(text, date.month, 2);
  text.push_back(u'-');
  AppendDigits(text, date.day, 2);
}

std::string ClockText(const Clock& clock) {
  std::u16string text;
  AppendClock(text, clock);
  return std::string(text.begin(), text.end());
}

std::u16string DateAndClockText(std::optional<Date> date, const Clock& clock, std::string_view tail = {}) {
  if (!date || !InRange(clock)) return kOutOfRange;
  std::u16string text;
  text.reserve(19 + tail.size());
  AppendDate(text, *date);
  text.push_back(u' ');
  AppendClock(text, clock);
  text.append(tail.begin(), tail.end());
  return text;
}

// "+5:30", "-1:0": sign, then hours and minutes of the offset, unpadded.
std::string OffsetText(std::int64_t offsetMinutes) {
  return fmt::format("{}{}:{}", offsetMinutes < 0 ? '-' : '+', std::abs(offsetMinutes) / 60,
                     std::abs(offsetMinutes) % 60);
}

// The date moves with the offset: 00:10 UTC at -60 minutes is 23:10 the day before.
std::u16string LocalDateTimeText(std::int64_t dayNumber, const Clock& utc, std::int64_t offsetMinutes,
                                 const std::string& fraction) {
  if (!InRange(utc)) return kOutOfRange;
  const std::int64_t minutes = utc.hour * 60 + utc.minute + offsetMinutes;
  // Floor division: a negative minute count belongs to an earlier day.
  const std::int64_t days = (minutes >= 0 ? minutes : minutes - (kMinutesPerDay - 1)) / kMinutesPerDay;
  const std::int64_t minuteOfDay = minutes - days * kMinutesPerDay;
  const Clock local{minuteOfDay / 60, minuteOfDay % 60, utc.second};
  const char* gap = fraction.empty() ? " " : "  ";
  return DateAndClockText(DateOf(dayNumber + days), local, fraction + gap + OffsetText(offsetMinutes));
}

std::uint64_t PowerOf10(int exponent) {
  std::uint64_t power = 1;
  while (exponent-- > 0) power *= 10;
  return power;
}

}  // namespace

std::u16string DateTimeText(std::int32_t ticks, std::int32_t days) {
  // A negative tick count is out of range even where it rounds to 0 seconds.
  if (ticks < 0) return kOutOfRange;
  // 1/300-second ticks, rounded to the nearest millisecond as SQL Server shows
  // them: .000, .003, .007, .010, ... A tick count never rounds up to the next
  // second (299 ticks are .997).
  const std::int64_t milliseconds = (std::int64_t{ticks} * 10 + 1) / 3;
  std::optional<Date> date = DateOf(days + kDayOf1900);
  if (date) date->year = std::max<std::int64_t>(date->year, 1753);  // the type's first year
  const std::int64_t fraction = milliseconds % 1000;
  if (fraction == 0) return DateAndClockText(date, ClockOf(milliseconds / 1000));
  const char tail[] = {'.', static_cast<char>('0' + fraction / 100), static_cast<char>('0' + fraction / 10 % 10),
                       static_cast<char>('0' + fraction % 10)};
  return DateAndClockText(date, ClockOf(milliseconds / 1000), std::string_view(tail, sizeof tail));
}

std::u16string SmallDateTimeText(std::int16_t minutes, std::uint16_t days) {
  return DateAndClockText(DateOf(days + kDayOf1900), Clock{minutes / 60, minutes % 60, 0});
}

std::u16string DateText(std::uint32_t dayNumber) {
  std::optional<Date> date = DateOf(dayNumber);
  if (!date) return kOutOfRange;
  std::u16string text;
  AppendDate(text, *date);
  return text;
}

// A time is an unsigned count of 10^-scale seconds since midnight in the
// leading bytes; datetime2 adds a 3-byte day number, datetimeoffset after that
// a signed 16-bit offset in minutes.
std::optional<std::u16string> TimeFamilyText(TimeFamily family, ByteSpan bytes, int scale) {
  struct Shape {
    std::size_t least, most, afterTime;
  };
  constexpr std::array<Shape, 3> kShapes{{{3, 5, 0}, {6, 8, 3}, {8, 10, 5}}};
  const Shape& shape = kShapes[static_cast<std::size_t>(family)];
  if (scale < 0 || scale > kMostScale || bytes.size() < shape.least || bytes.size() > shape.most) return std::nullopt;

  const std::size_t timeBytes = bytes.size() - shape.afterTime;
  const std::uint64_t units = LittleEndian(bytes, 0, timeBytes);
  const std::uint64_t perSecond = PowerOf10(scale);
  const Clock clock = ClockOf(static_cast<std::int64_t>(units / perSecond));
  const std::string fraction = scale > 0 ? fmt::format(".{:0{}}", units % perSecond, scale) : "";
  const auto dayNumber = static_cast<std::int64_t>(LittleEndian(bytes, timeBytes, 3));

  switch (family) {
    case TimeFamily::kTime:
      if (!InRange(clock)) return kOutOfRange;
      return Widen(ClockText(clock) + fraction);
    case TimeFamily::kDateTime2: return DateAndClockText(DateOf(dayNumber), clock, fraction);
    case TimeFamily::kDateTimeOffset: break;
  }
  const auto offset = static_cast<std::int16_t>(LittleEndian(bytes, timeBytes + 3, 2));
  return LocalDateTimeText(dayNumber, clock, offset, fraction);
}

}  // namespace quillmark::valuetext
