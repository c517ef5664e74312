#include "builder/StoredValues.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "platform/CodePage.h"

namespace quillmark::testing {
namespace {

[[noreturn]] void Refuse(const ColumnType& type, const std::string& why) {
  throw std::invalid_argument("a value of type " + std::to_string(type.id) + ": " + why);
}

std::int64_t IntegerOf(const ColumnType& type, const Value& value) {
  if (const std::int64_t* integer = value.Integer()) return *integer;
  if (const std::string* text = value.Text()) return std::stoll(*text);
  Refuse(type, "an integer is expected");
}

Bytes SignedInteger(const ColumnType& type, const Value& value, std::size_t width) {
  std::int64_t integer = IntegerOf(type, value);
  const int bits = static_cast<int>(8 * width);
  if (bits < 64) {
    const std::int64_t limit = std::int64_t{1} << (bits - 1);
    // tinyint is unsigned: 0 to 255.
    const bool fits = type.id == sqltype::kTinyInt ? integer >= 0 && integer < 2 * limit
                                                   : integer >= -limit && integer < limit;
    if (!fits) Refuse(type, "out of range");
  }
  return LittleEndian(static_cast<std::uint64_t>(integer), width);
}

double RealOf(const ColumnType& type, const Value& value) {
  if (const double* real = value.Real()) return *real;
  if (const std::int64_t* integer = value.Integer()) return static_cast<double>(*integer);
  if (const std::string* text = value.Text()) return std::stod(*text);
  Refuse(type, "a number is expected");
}

// The sign and the decimal digits of value * 10^scale.
struct ScaledDigits {
  bool negative = false;
  std::string digits;
};

ScaledDigits Scale(const ColumnType& type, const Value& value, int scale) {
  std::string text;
  if (const std::int64_t* integer = value.Integer()) {
    text = std::to_string(*integer);
  } else if (const double* real = value.Real()) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", scale, *real);
    text = buffer;
  } else if (const std::string* given = value.Text()) {
    text = *given;
  } else {
    Refuse(type, "a number is expected");
  }
  ScaledDigits scaled;
  scaled.negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  const std::size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (whole.empty() || !std::all_of(whole.begin(), whole.end(), isDigit) ||
      !std::all_of(fraction.begin(), fraction.end(), isDigit))
    Refuse(type, "not a number: " + text);
  const auto kept = static_cast<std::size_t>(scale);
  if (fraction.size() > kept) {
    if (fraction.find_first_not_of('0', kept) != std::string::npos) Refuse(type, "too many decimals: " + text);
    fraction.resize(kept);
  }
  fraction.append(kept - fraction.size(), '0');
  scaled.digits = whole + fraction;
  return scaled;
}

// The unsigned magnitude of a digit string, little-endian in `width` bytes.
Bytes Magnitude(const ColumnType& type, const std::string& digits, std::size_t width) {
  Bytes bytes(width, 0);
  for (char digit : digits) {
    unsigned carry = static_cast<unsigned>(digit - '0');
    for (std::uint8_t& byte : bytes) {
      const unsigned next = byte * 10u + carry;
      byte = static_cast<std::uint8_t>(next);
      carry = next >> 8;
    }
    if (carry != 0) Refuse(type, "too large: " + digits);
  }
  return bytes;
}

// decimal and numeric: a sign byte (1 positive) and the magnitude.
Bytes DecimalBytes(const ColumnType& type, const Value& value) {
  const ScaledDigits scaled = Scale(type, value, type.scale);
  Bytes bytes{static_cast<std::uint8_t>(scaled.negative ? 0 : 1)};
  Bytes magnitude = Magnitude(type, scaled.digits, static_cast<std::size_t>(FixedWidth(type) - 1));
  bytes.insert(bytes.end(), magnitude.begin(), magnitude.end());
  return bytes;
}

// money and smallmoney: the value in ten-thousandths, a two's complement integer.
Bytes MoneyBytes(const ColumnType& type, const Value& value) {
  const auto width = static_cast<std::size_t>(FixedWidth(type));
  const ScaledDigits scaled = Scale(type, value, 4);
  Bytes magnitude = Magnitude(type, scaled.digits, width);
  std::uint64_t units = 0;
  for (std::size_t i = 0; i < width; ++i) units |= std::uint64_t{magnitude[i]} << (8 * i);
  // Two's complement reaches one further below zero than above it.
  const std::uint64_t limit = std::uint64_t{1} << (8 * width - 1);
  if (units > limit - (scaled.negative ? 0 : 1)) Refuse(type, "too large");
  if (scaled.negative) units = ~units + 1;
  return LittleEndian(units, width);
}

std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// A date and time: days since 0001-01-01 and 100-nanosecond ticks since midnight.
struct DateAndTime {
  std::int64_t days = 0;
  std::int64_t ticks = 0;
};

DateAndTime ParseDateTime(const ColumnType& type, const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, consumed = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d%n", &year, &month, &day, &consumed) != 3)
    Refuse(type, "not a date: " + text);
  DateAndTime moment;
  moment.days = DaysFromCivil(year, month, day) - DaysFromCivil(1, 1, 1);
  std::string rest = text.substr(static_cast<std::size_t>(consumed));
  if (rest.empty()) return moment;
  int seconds = 0, timeConsumed = 0;
  if (std::sscanf(rest.c_str() + 1, "%d:%d%n", &hour, &minute, &timeConsumed) != 2)
    Refuse(type, "not a time: " + text);
  rest = rest.substr(1 + static_cast<std::size_t>(timeConsumed));
  std::string fraction;
  if (!rest.empty() && rest[0] == ':') {
    const std::size_t point = rest.find('.');
    seconds = std::stoi(rest.substr(1, point));
    if (point != std::string::npos) fraction = rest.substr(point + 1);
  }
  fraction = fraction.substr(0, 7);
  fraction.append(7 - fraction.size(), '0');
  moment.ticks = ((hour * 60LL + minute) * 60 + seconds) * 10'000'000 + std::stoll(fraction);
  return moment;
}

// A time of day alone ("12:00:00.05") counts from day 0.
DateAndTime ParseMoment(const ColumnType& type, const Value& value) {
  const std::string* text = value.Text();
  if (!text) Refuse(type, "a date text is expected");
  return ParseDateTime(type, type.id == sqltype::kTime ? "0001-01-01 " + *text : *text);
}

// datetimeoffset texts end in " +05:30" or " -01:00": the local time and its offset.
struct LocalMoment {
  DateAndTime utc;
  std::int16_t offsetMinutes = 0;
};

LocalMoment ParseOffsetMoment(const ColumnType& type, const Value& value) {
  const std::string* text = value.Text();
  const std::size_t sign = text ? text->find_last_of("+-") : std::string::npos;
  if (sign == std::string::npos || sign == 0 || (*text)[sign - 1] != ' ') Refuse(type, "no offset in the value");
  int hours = 0, minutes = 0;
  if (std::sscanf(text->c_str() + sign + 1, "%d:%d", &hours, &minutes) != 2) Refuse(type, "not an offset: " + *text);
  LocalMoment moment;
  moment.offsetMinutes = static_cast<std::int16_t>(((*text)[sign] == '-' ? -1 : 1) * (hours * 60 + minutes));
  moment.utc = ParseDateTime(type, text->substr(0, sign - 1));
  constexpr std::int64_t kTicksPerDay = 864'000'000'000;
  moment.utc.ticks -= std::int64_t{moment.offsetMinutes} * 600'000'000;
  if (moment.utc.ticks < 0) {
    moment.utc.ticks += kTicksPerDay;
    --moment.utc.days;
  } else if (moment.utc.ticks >= kTicksPerDay) {
    moment.utc.ticks -= kTicksPerDay;
    ++moment.utc.days;
  }
  return moment;
}

std::int64_t PowerOfTen(int exponent) {
  std::int64_t power = 1;
  for (int i = 0; i < exponent; ++i) power *= 10;
  return power;
}

Bytes Joined(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// time, datetime2 and datetimeoffset: the time in units of 10^-scale seconds,
// then for the last two three bytes of days since 0001-01-01, then for
// datetimeoffset the offset in minutes. The time and date are in UTC.
Bytes TimeFamilyBytes(const ColumnType& type, const DateAndTime& moment) {
  const std::size_t timeWidth = type.scale <= 2 ? 3 : type.scale <= 4 ? 4 : 5;
  const std::int64_t units = moment.ticks / PowerOfTen(7 - type.scale);
  Bytes bytes = LittleEndian(static_cast<std::uint64_t>(units), timeWidth);
  if (type.id == sqltype::kTime) return bytes;
  return Joined(bytes, LittleEndian(static_cast<std::uint64_t>(moment.days), 3));
}

Bytes TemporalBytes(const ColumnType& type, const Value& value) {
  if (type.id == sqltype::kDateTimeOffset) {
    const LocalMoment moment = ParseOffsetMoment(type, value);
    return Joined(TimeFamilyBytes(type, moment.utc), LittleEndian(static_cast<std::uint16_t>(moment.offsetMinutes), 2));
  }
  const DateAndTime moment = ParseMoment(type, value);
  const std::int64_t daysSince1900 = moment.days - (DaysFromCivil(1900, 1, 1) - DaysFromCivil(1, 1, 1));
  switch (type.id) {
    case sqltype::kDateTime:
      // Time first, in three-hundredths of a second, then days since 1900-01-01.
      return Joined(LittleEndian(static_cast<std::uint64_t>((moment.ticks * 3 + 50'000) / 100'000), 4),
                    LittleEndian(static_cast<std::uint64_t>(daysSince1900), 4));
    case sqltype::kSmallDateTime:
      return Joined(LittleEndian(static_cast<std::uint64_t>(moment.ticks / 600'000'000), 2),
                    LittleEndian(static_cast<std::uint64_t>(daysSince1900), 2));
    case sqltype::kDate:
      return LittleEndian(static_cast<std::uint64_t>(moment.days), 3);
    default:
      return TimeFamilyBytes(type, moment);
  }
}

// "6F9619FF-8B86-D011-B42D-00C04FC964FF": the first three groups are stored
// little-endian, the last two as written.
Bytes GuidBytes(const ColumnType& type, const Value& value) {
  const std::string* text = value.Text();
  std::string hex;
  if (text) std::copy_if(text->begin(), text->end(), std::back_inserter(hex), [](char c) { return c != '-'; });
  if (hex.size() != 32) Refuse(type, "not a uniqueidentifier");
  Bytes bytes(16);
  for (std::size_t i = 0; i < 16; ++i)
    bytes[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  std::reverse(bytes.begin(), bytes.begin() + 4);
  std::reverse(bytes.begin() + 4, bytes.begin() + 6);
  std::reverse(bytes.begin() + 6, bytes.begin() + 8);
  return bytes;
}

Bytes CharacterBytes(const ColumnType& type, const Value& value) {
  const std::string* text = value.Text();
  if (!text) Refuse(type, "text is expected");
  const bool unicode = type.id == sqltype::kNChar || type.id == sqltype::kNVarChar || type.id == sqltype::kNText;
  return unicode ? Utf16Text(*text) : EightBitText(*text);
}

// Fixed-length character and binary values are padded: with blanks, or zeros.
Bytes Padded(const ColumnType& type, Bytes bytes) {
  const auto width = static_cast<std::size_t>(type.maxLength);
  if (bytes.size() > width) Refuse(type, "longer than the column");
  if (type.id == sqltype::kNChar) {
    while (bytes.size() < width) bytes.insert(bytes.end(), {0x20, 0x00});
  } else {
    bytes.resize(width, type.id == sqltype::kChar ? 0x20 : 0x00);
  }
  return bytes;
}

Bytes BinaryBytes(const ColumnType& type, const Value& value) {
  if (const Bytes* raw = value.Raw()) return *raw;
  Refuse(type, "bytes are expected");
}

// sql_variant: a Variant() value as it is; integers become int variants.
Bytes VariantBytes(const Value& value) {
  if (const Bytes* raw = value.Raw()) return *raw;
  return *Variant(Int("value"), value).Raw();
}

// timestamp: the row version, 8 bytes most significant first, as it is shown.
Bytes TimestampBytes(const ColumnType& type, const Value& value) {
  if (const Bytes* raw = value.Raw()) return *raw;
  Bytes bytes = LittleEndian(static_cast<std::uint64_t>(IntegerOf(type, value)), 8);
  std::reverse(bytes.begin(), bytes.end());
  return bytes;
}

// The variant header's own part after base type and version: the scale of the
// time types, precision and scale of decimals, the maximum length of binary
// types and, before it, the collation of character types.
Bytes VariantProperties(const ColumnType& type) {
  switch (type.id) {
    case sqltype::kTime:
    case sqltype::kDateTime2:
    case sqltype::kDateTimeOffset:
      return Bytes{type.scale};
    case sqltype::kDecimal:
    case sqltype::kNumeric:
      return Bytes{type.precision, type.scale};
    case sqltype::kBinary:
    case sqltype::kVarBinary:
      return LittleEndian(static_cast<std::uint16_t>(type.maxLength), 2);
    case sqltype::kChar:
    case sqltype::kVarChar:
    case sqltype::kNChar:
    case sqltype::kNVarChar:
      return Joined(LittleEndian(872468488, 4), LittleEndian(static_cast<std::uint16_t>(type.maxLength), 2));
    default:
      return {};
  }
}

Bytes StoredBytes(const ColumnType& type, const Value& value) {
  switch (type.id) {
    case sqltype::kTinyInt:
    case sqltype::kSmallInt:
    case sqltype::kInt:
    case sqltype::kBigInt:
      return SignedInteger(type, value, static_cast<std::size_t>(FixedWidth(type)));
    case sqltype::kBit:
      return Bytes{static_cast<std::uint8_t>(IntegerOf(type, value) != 0 ? 1 : 0)};
    case sqltype::kReal:
      return LittleEndian(std::bit_cast<std::uint32_t>(static_cast<float>(RealOf(type, value))), 4);
    case sqltype::kFloat:
      return LittleEndian(std::bit_cast<std::uint64_t>(RealOf(type, value)), 8);
    case sqltype::kMoney:
    case sqltype::kSmallMoney:
      return MoneyBytes(type, value);
    case sqltype::kDecimal:
    case sqltype::kNumeric:
      return DecimalBytes(type, value);
    case sqltype::kDateTime:
    case sqltype::kSmallDateTime:
    case sqltype::kDate:
    case sqltype::kTime:
    case sqltype::kDateTime2:
    case sqltype::kDateTimeOffset:
      return TemporalBytes(type, value);
    case sqltype::kTimestamp:
      return TimestampBytes(type, value);
    case sqltype::kUniqueIdentifier:
      return GuidBytes(type, value);
    case sqltype::kChar:
    case sqltype::kNChar:
      return Padded(type, CharacterBytes(type, value));
    case sqltype::kVarChar:
    case sqltype::kNVarChar:
    case sqltype::kText:
    case sqltype::kNText:
      return CharacterBytes(type, value);
    case sqltype::kBinary:
      return Padded(type, BinaryBytes(type, value));
    case sqltype::kSqlVariant:
      return VariantBytes(value);
    default:
      return BinaryBytes(type, value);
  }
}

}  // namespace

const std::vector<SystemType>& SystemTypes() {
  // As sysscalartypes lists them: id, name, length, precision, scale.
  static const std::vector<SystemType> types = {
      {sqltype::kImage, "image", 16, 0, 0},
      {sqltype::kText, "text", 16, 0, 0},
      {sqltype::kUniqueIdentifier, "uniqueidentifier", 16, 0, 0},
      {sqltype::kDate, "date", 3, 10, 0},
      {sqltype::kTime, "time", 5, 16, 7},
      {sqltype::kDateTime2, "datetime2", 8, 27, 7},
      {sqltype::kDateTimeOffset, "datetimeoffset", 10, 34, 7},
      {sqltype::kTinyInt, "tinyint", 1, 3, 0},
      {sqltype::kSmallInt, "smallint", 2, 5, 0},
      {sqltype::kInt, "int", 4, 10, 0},
      {sqltype::kSmallDateTime, "smalldatetime", 4, 16, 0},
      {sqltype::kReal, "real", 4, 24, 0},
      {sqltype::kMoney, "money", 8, 19, 4},
      {sqltype::kDateTime, "datetime", 8, 23, 3},
      {sqltype::kFloat, "float", 8, 53, 0},
      {sqltype::kSqlVariant, "sql_variant", 8016, 0, 0},
      {sqltype::kNText, "ntext", 16, 0, 0},
      {sqltype::kBit, "bit", 1, 1, 0},
      {sqltype::kDecimal, "decimal", 17, 38, 38},
      {sqltype::kNumeric, "numeric", 17, 38, 38},
      {sqltype::kSmallMoney, "smallmoney", 4, 10, 4},
      {sqltype::kBigInt, "bigint", 8, 19, 0},
      {sqltype::kVarBinary, "varbinary", 8000, 0, 0},
      {sqltype::kVarChar, "varchar", 8000, 0, 0},
      {sqltype::kBinary, "binary", 8000, 0, 0},
      {sqltype::kChar, "char", 8000, 0, 0},
      {sqltype::kTimestamp, "timestamp", 8, 0, 0},
      {sqltype::kNVarChar, "nvarchar", 8000, 0, 0},
      {sqltype::kNChar, "nchar", 8000, 0, 0},
      {sqltype::kXml, "xml", -1, 0, 0},
  };
  return types;
}

const std::vector<SystemType>& ClrTypes() {
  // id is the user type id here.
  static const std::vector<SystemType> types = {
      {static_cast<std::uint8_t>(clrtype::kHierarchyId), "hierarchyid", 892, 0, 0},
      {static_cast<std::uint8_t>(clrtype::kGeometry), "geometry", -1, 0, 0},
      {static_cast<std::uint8_t>(clrtype::kGeography), "geography", -1, 0, 0},
  };
  return types;
}

ColumnType TypeOf(const ColumnSpec& column) {
  ColumnType type{column.type, column.maxLength, column.precision, column.scale};
  const bool clr = column.type == sqltype::kClr;
  const std::vector<SystemType>& known = clr ? ClrTypes() : SystemTypes();
  const std::int32_t wanted = clr ? column.userType : column.type;
  const auto found = std::find_if(known.begin(), known.end(), [&](const SystemType& t) { return t.id == wanted; });
  if (found == known.end()) throw std::invalid_argument("unknown type of column " + column.name);
  if (type.precision == 0) type.precision = found->precision;
  if (column.type == sqltype::kDecimal || column.type == sqltype::kNumeric) {
    type.maxLength = type.precision <= 9 ? 5 : type.precision <= 19 ? 9 : type.precision <= 28 ? 13 : 17;
  } else if (column.type == sqltype::kDateTime2 || column.type == sqltype::kTime ||
             column.type == sqltype::kDateTimeOffset) {
    // The time takes 3 to 5 bytes by scale; the date 3 more, the offset 2.
    const std::int16_t timeWidth = type.scale <= 2 ? 3 : type.scale <= 4 ? 4 : 5;
    const bool time = column.type == sqltype::kTime;
    const bool offset = column.type == sqltype::kDateTimeOffset;
    type.maxLength = static_cast<std::int16_t>(timeWidth + (time ? 0 : 3) + (offset ? 2 : 0));
    const int base = time ? 8 : offset ? 26 : 19;
    type.precision = static_cast<std::uint8_t>(base + (type.scale > 0 ? type.scale + 1 : 0));
  } else if (type.maxLength == 0) {
    type.maxLength = found->length;
    type.scale = found->scale;
  }
  return type;
}

Value Variant(const ColumnSpec& base, const Value& value) {
  const ColumnType type = TypeOf(base);
  if (IsVariableLength(type) && type.id != sqltype::kVarChar && type.id != sqltype::kNVarChar &&
      type.id != sqltype::kVarBinary)
    Refuse(type, "not a base type of sql_variant");
  return Joined(Joined(Bytes{type.id, 1}, VariantProperties(type)), EncodeValue(type, value));
}

bool IsLargeObject(std::uint8_t typeId) {
  return typeId == sqltype::kText || typeId == sqltype::kNText || typeId == sqltype::kImage;
}

bool IsVariableLength(const ColumnType& type) {
  switch (type.id) {
    case sqltype::kVarBinary:
    case sqltype::kVarChar:
    case sqltype::kNVarChar:
    case sqltype::kSqlVariant:
    case sqltype::kXml:
    case sqltype::kClr:
      return true;
    default:
      return IsLargeObject(type.id);
  }
}

bool IsCharacter(std::uint8_t typeId) {
  switch (typeId) {
    case sqltype::kChar:
    case sqltype::kVarChar:
    case sqltype::kNChar:
    case sqltype::kNVarChar:
    case sqltype::kText:
    case sqltype::kNText:
      return true;
    default:
      return false;
  }
}

std::int16_t FixedWidth(const ColumnType& type) {
  if (IsVariableLength(type)) return 0;
  return type.id == sqltype::kBit ? std::int16_t{1} : type.maxLength;
}

Bytes EncodeValue(const ColumnType& type, const Value& value) {
  if (value.IsNull()) throw std::invalid_argument("NULL has no stored form");
  if (const Bytes* raw = value.Raw(); raw && !IsVariableLength(type) && type.id != sqltype::kBinary) {
    if (raw->size() != static_cast<std::size_t>(FixedWidth(type))) Refuse(type, "raw bytes of the wrong width");
    return *raw;
  }
  Bytes bytes = StoredBytes(type, value);
  if (IsVariableLength(type) && !IsLargeObject(type.id) && type.maxLength > 0 &&
      bytes.size() > static_cast<std::size_t>(type.maxLength))
    Refuse(type, "longer than the column");
  return bytes;
}

Bytes LittleEndian(std::uint64_t value, std::size_t width) {
  Bytes bytes(width, 0);
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

Bytes Utf16Text(const std::string& utf8) { return Utf16(platform::Utf8ToUtf16(utf8)); }

Bytes EightBitText(const std::string& utf8) {
  Bytes bytes;
  for (char16_t unit : platform::Utf8ToUtf16(utf8)) {
    if (unit > 0xFF) throw std::invalid_argument("8-bit text holds characters up to U+00FF only: " + utf8);
    bytes.push_back(static_cast<std::uint8_t>(unit));
  }
  return bytes;
}

}  // namespace quillmark::testing
