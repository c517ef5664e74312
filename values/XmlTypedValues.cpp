#include "values/XmlTypedValues.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace quillmark::binxml {

namespace {

constexpr std::int64_t kDaysTo1900 = 693595;  // from 0001-01-01 to 1900-01-01
constexpr std::int64_t kLastDay = 3652058;    // 9999-12-31, counted from 0001-01-01
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
constexpr std::uint64_t kMillisPerDay = 86'400'000;

std::u16string Widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

std::string Hex(ByteSpan bytes) {
  std::string text;
  for (std::uint8_t byte : bytes) text += fmt::format("{:02X}", byte);
  return text;
}

std::string Base64(ByteSpan bytes) {
  static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::size_t taken = std::min<std::size_t>(bytes.size() - i, 3);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) group = group << 8 | (k < taken ? bytes[i + k] : 0u);
    for (std::size_t k = 0; k < 4; ++k) text += k <= taken ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return text;
}

std::string Uuid(Reader& in) {
  auto first = in.Fixed<std::uint32_t>();
  auto second = in.Fixed<std::uint16_t>();
  auto third = in.Fixed<std::uint16_t>();
  ByteSpan rest = in.Take(8);
  return fmt::format("{:08X}-{:04X}-{:04X}-{}-{}", first, second, third, Hex(rest.first(2)), Hex(rest.subspan(2)));
}

// Money counts ten-thousandths; written with two to four decimals.
std::string Money(std::int64_t units) {
  std::uint64_t magnitude = units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  std::string fraction = fmt::format("{:04}", magnitude % 10000);
  while (fraction.size() > 2 && fraction.back() == '0') fraction.pop_back();
  return fmt::format("{}{}.{}", units < 0 ? "-" : "", magnitude / 10000, fraction);
}

// The decimal digits of a magnitude held in 32-bit limbs, low limb first.
std::string Digits(std::array<std::uint32_t, 4> limbs) {
  std::string digits;
  do {
    std::uint64_t remainder = 0;
    for (std::size_t i = limbs.size(); i-- > 0;) {
      std::uint64_t part = remainder << 32 | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(part / 10);
      remainder = part % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  } while (limbs != std::array<std::uint32_t, 4>{});
  return digits;
}

// Length (3 + 4, 8, 12 or 16), precision, scale, sign (1 = positive), then the
// magnitude. xs:decimal (`canonical`) drops trailing fraction zeros.
std::string Decimal(Reader& in, bool canonical) {
  std::uint32_t length = in.Mb32();
  if (length != 7 && length != 11 && length != 15 && length != 19) Fail();
  std::uint8_t precision = in.Byte();
  std::uint8_t scale = in.Byte();
  std::uint8_t sign = in.Byte();
  if (precision < 1 || precision > 38 || scale > precision || sign > 1) Fail();
  std::array<std::uint32_t, 4> limbs{};
  for (std::size_t i = 0; i < (length - 3) / 4; ++i) limbs[i] = in.Fixed<std::uint32_t>();
  bool negative = sign == 0 && limbs != std::array<std::uint32_t, 4>{};
  std::string digits = Digits(limbs);
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  if (scale > 0) digits.insert(digits.size() - scale, 1, '.');
  if (canonical && scale > 0) {
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.back() == '.') digits.pop_back();
  }
  return negative ? "-" + digits : digits;
}

// xs:float and xs:double as XQuery casts them to text: plain decimals for
// 1E-6 <= |v| < 1E6, otherwise a mantissa with at least one fraction digit and
// an unpadded exponent (-2.0E-11). The digits are the shortest that read back.
template <typename Float>
std::string FloatText(Float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  std::string sign = std::signbit(value) ? "-" : "";
  if (value == 0) return sign + "0.0E0";
  std::array<char, 64> buffer{};
  auto end =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value), std::chars_format::scientific).ptr;
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  std::size_t e = text.find('e');
  std::string digits(text.substr(0, e));
  if (digits.size() > 1) digits.erase(1, 1);  // the point after the first digit
  int exponent = std::stoi(std::string(text.substr(e + 1)));
  if (exponent < -6 || exponent >= 6) {
    std::string fraction = digits.size() > 1 ? digits.substr(1) : "0";
    return fmt::format("{}{}.{}E{}", sign, digits[0], fraction, exponent);
  }
  if (exponent < 0) return sign + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  auto whole = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= whole) return sign + digits + std::string(whole - digits.size(), '0');
  return sign + digits.substr(0, whole) + "." + digits.substr(whole);
}

struct Civil {
  std::int64_t year;
  std::int64_t month;
  std::int64_t day;
};

// Proleptic Gregorian date of a day count from 0001-01-01 (H. Hinnant's
// civil_from_days, whose count starts at 0000-03-01, 306 days earlier).
Civil CivilFromDays(std::int64_t days) {
  std::int64_t z = days + 306;
  std::int64_t era = z / 146097;
  std::int64_t dayOfEra = z - era * 146097;
  std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  std::int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {yearOfEra + era * 400 + (month <= 2), month, dayOfYear - (153 * shiftedMonth + 2) / 5 + 1};
}

std::string DateText(std::int64_t year, std::int64_t month, std::int64_t day) {
  return fmt::format("{}{:04}-{:02}-{:02}", year < 0 ? "-" : "", year < 0 ? -year : year, month, day);
}

// A day counted from 0001-01-01; only years 1 to 9999 exist.
std::string DayText(std::int64_t days) {
  if (days < 0 || days > kLastDay) Fail();
  Civil date = CivilFromDays(days);
  return DateText(date.year, date.month, date.day);
}

std::string MillisClock(std::uint64_t millis) {
  std::uint64_t seconds = millis / 1000;
  std::string text = fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return millis % 1000 == 0 ? text : text + fmt::format(".{:03}", millis % 1000);
}

// hh:mm:ss and the 7-digit fraction of a second without its trailing zeros.
std::string TicksClock(std::int64_t ticks) {
  std::string text = MillisClock(static_cast<std::uint64_t>(ticks / kTicksPerSecond * 1000));
  std::int64_t fraction = ticks % kTicksPerSecond;
  if (fraction == 0) return text;
  std::string digits = fmt::format("{:07}", fraction);
  return text + "." + digits.substr(0, digits.find_last_not_of('0') + 1);
}

// Minutes east of UTC.
std::string ZoneText(std::int64_t minutes) {
  if (minutes == 0) return "Z";
  std::int64_t size = minutes < 0 ? -minutes : minutes;
  return fmt::format("{}{:02}:{:02}", minutes < 0 ? "-" : "+", size / 60, size % 60);
}

// The date of the old xs:dateTime and xs:date counts: day - 1, month - 1 and
// year + 9999 as mixed-radix digits, the day lowest. An impossible day such as
// February 31 is written as it is.
std::string XsdDate(std::uint64_t count) {
  std::uint64_t day = count % 31 + 1;
  std::uint64_t month = count / 31 % 12 + 1;
  std::uint64_t year = count / 31 / 12;
  if (year > 2 * 9999) Fail();
  return DateText(static_cast<std::int64_t>(year) - 9999, static_cast<std::int64_t>(month),
                  static_cast<std::int64_t>(day));
}

// The old xs:dateTime, xs:date and xs:time values: an int64 whose low two bits
// name the kind (2, 1, 0) above a count of milliseconds or of days and zone.
std::uint64_t XsdCount(Reader& in, std::uint8_t kind) {
  auto value = in.Fixed<std::int64_t>();
  if (value < 0 || (value & 3) != kind) Fail();
  return static_cast<std::uint64_t>(value) >> 2;
}

std::string XsdDateTime(Reader& in) {
  std::uint64_t millis = XsdCount(in, 2);
  return XsdDate(millis / kMillisPerDay) + "T" + MillisClock(millis % kMillisPerDay) + "Z";
}

// The zone is stored as minutes to add to reach UTC, offset by 840 so that
// +-14:00 fits a slot of 1740 minutes.
std::string XsdDateWithZone(Reader& in) {
  std::uint64_t count = XsdCount(in, 1);
  std::uint64_t zone = count % 1740;
  if (zone > 2 * 840) Fail();
  return XsdDate(count / 1740) + ZoneText(840 - static_cast<std::int64_t>(zone));
}

std::string XsdTime(Reader& in) {
  std::uint64_t millis = XsdCount(in, 0);
  if (millis >= kMillisPerDay) Fail();
  return MillisClock(millis) + "Z";
}

// datetime: days from 1900-01-01, then three-hundredths of a second since
// midnight, rounded to the nearest millisecond.
std::string SqlDateTime(Reader& in) {
  auto days = in.Fixed<std::int32_t>();
  auto ticks = in.Fixed<std::uint32_t>();
  if (ticks >= 300 * 86'400) Fail();
  return DayText(kDaysTo1900 + days) + "T" + MillisClock((std::uint64_t{ticks} * 10 + 1) / 3);
}

std::string SqlSmallDateTime(Reader& in) {
  auto days = in.Fixed<std::uint16_t>();
  auto minutes = in.Fixed<std::uint16_t>();
  if (minutes >= 24 * 60) Fail();
  return DayText(kDaysTo1900 + days) + fmt::format("T{:02}:{:02}:00", minutes / 60, minutes % 60);
}

// The newer date/time values: a time of 10^-scale seconds in 3 to 5 bytes,
// then 3 bytes of days from 0001-01-01. A time past midnight carries into the
// date.
struct Moment {
  std::int64_t days;
  std::int64_t ticks;  // 100 ns into the day
};

Moment ReadMoment(Reader& in) {
  std::uint8_t scale = in.Byte();
  if (scale > 7) Fail();
  std::size_t width = scale < 3 ? 3 : scale < 5 ? 4 : 5;
  std::uint64_t ticks = in.Unsigned(width);
  for (std::uint8_t s = scale; s < 7; ++s) ticks *= 10;
  auto days = static_cast<std::int64_t>(in.Unsigned(3) + ticks / kTicksPerDay);
  return {days, static_cast<std::int64_t>(ticks % kTicksPerDay)};
}

// The moment is UTC; the zone that follows (minutes east) turns it into local
// time. Returns the zone.
std::int64_t ToLocal(Moment& moment, Reader& in) {
  std::int64_t zone = in.Fixed<std::int16_t>();
  if (zone < -840 || zone > 840) Fail();
  moment.ticks += zone * 60 * kTicksPerSecond;
  if (moment.ticks < 0) {
    moment.ticks += kTicksPerDay;
    --moment.days;
  } else if (moment.ticks >= kTicksPerDay) {
    moment.ticks -= kTicksPerDay;
    ++moment.days;
  }
  return zone;
}

std::string NewDateTime(std::uint8_t token, Reader& in) {
  if (token == 0x7F) return DayText(static_cast<std::int64_t>(in.Unsigned(3)));
  Moment moment = ReadMoment(in);
  switch (token) {
    case 0x7E:
      return DayText(moment.days) + "T" + TicksClock(moment.ticks);
    case 0x7D:
      return TicksClock(moment.ticks);
  }
  // 7A-7C carry a zone. The date of a time and the time of a date still
  // take part in finding the local value.
  std::int64_t zone = ToLocal(moment, in);
  switch (token) {
    case 0x7B:
      return DayText(moment.days) + "T" + TicksClock(moment.ticks) + ZoneText(zone);
    case 0x7C:
      return DayText(moment.days) + ZoneText(zone);
    default:
      return TicksClock(moment.ticks) + ZoneText(zone);
  }
}

std::string TypedText(std::uint8_t token, Reader& in) {
  switch (token) {
    case 0x01:  // smallint
      return std::to_string(in.Fixed<std::int16_t>());
    case 0x02:  // int
      return std::to_string(in.Fixed<std::int32_t>());
    case 0x03:  // real
      return FloatText(std::bit_cast<float>(in.Fixed<std::uint32_t>()));
    case 0x04:  // float
      return FloatText(std::bit_cast<double>(in.Fixed<std::uint64_t>()));
    case 0x05:  // money
      return Money(in.Fixed<std::int64_t>());
    case 0x06:  // bit: 0 or 1, anything else as its number
    case 0x07:  // tinyint, unsigned
      return std::to_string(in.Byte());
    case 0x08:  // bigint
      return std::to_string(in.Fixed<std::int64_t>());
    case 0x09:  // uniqueidentifier
      return Uuid(in);
    case 0x0A:  // decimal
    case 0x0B:  // numeric
      return Decimal(in, false);
    case 0x0C:  // binary
    case 0x1B:  // a user-defined type's bytes
    case 0x85:  // xs:base64Binary
      return Base64(in.Blob());
    case 0x0F:  // varbinary
    case 0x17:  // image
      return Base64(in.Blob64());
    case 0x12:
      return SqlDateTime(in);
    case 0x13:
      return SqlSmallDateTime(in);
    case 0x14:  // smallmoney
      return Money(in.Fixed<std::int32_t>());
    case 0x81:
      return XsdTime(in);
    case 0x82:
      return XsdDateTime(in);
    case 0x83:
      return XsdDateWithZone(in);
    case 0x84:  // xs:hexBinary
      return Hex(in.Blob());
    case 0x86:  // xs:boolean
      return in.Byte() == 0 ? "false" : "true";
    case 0x87:  // xs:decimal
      return Decimal(in, true);
    case 0x88:  // xs:byte, signed
      return std::to_string(in.Fixed<std::int8_t>());
    case 0x89:  // xs:unsignedShort
      return std::to_string(in.Fixed<std::uint16_t>());
    case 0x8A:  // xs:unsignedInt
      return std::to_string(in.Fixed<std::uint32_t>());
    case 0x8B:  // xs:unsignedLong
      return std::to_string(in.Fixed<std::uint64_t>());
  }
  if (token >= 0x7A && token <= 0x7F) return NewDateTime(token, in);
  Fail();
}

}  // namespace

bool IsAtomicToken(std::uint8_t token) {
  return (token >= 0x01 && token <= 0x14) || (token >= 0x16 && token <= 0x18) || token == 0x1B ||
         (token >= 0x7A && token <= 0x7F) || (token >= 0x81 && token <= kQNameValue);
}

bool IsStringToken(std::uint8_t token) {
  return IsUnicodeTextToken(token) || token == 0x0D || token == 0x10 || token == 0x16;
}

bool IsUnicodeTextToken(std::uint8_t token) { return token == 0x0E || token == 0x11 || token == 0x18; }

std::u16string ReadAtomicText(std::uint8_t token, Reader& in) {
  switch (token) {
    case 0x0E:  // nchar
      return in.TextData();
    case 0x11:  // nvarchar: the ordinary text of untyped xml
    case 0x18:  // ntext
      return in.TextData64();
    case 0x0D:  // char
      return in.CodePageText(in.Mb32());
    case 0x10:  // varchar
    case 0x16:  // text
      return in.CodePageText(in.Mb64());
  }
  return Widen(TypedText(token, in));
}

}  // namespace quillmark::binxml
