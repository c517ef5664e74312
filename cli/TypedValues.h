// How the database writers read a value's text back into a typed value: the
// kind its column's type calls for, NULL, integers and bit, hexadecimal bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillmark::cli {

enum class ValueKind {
  kInteger,  // bigint, int, smallint, tinyint, bit
  kReal,     // float, real
  kExact,    // decimal, numeric, money, smallmoney: every digit kept, as text
  kBytes,    // binary, varbinary, image, timestamp
  kDate,     // date, time, datetime, smalldatetime, datetime2, datetimeoffset
  kText,     // everything else
};

ValueKind KindOf(std::uint32_t typeCode);

// The decoder's NULL: a NULL only where the column may hold one.
bool IsNull(const std::u16string& text, bool nullable);

// bit texts True and False as 1 and 0, other integers by their digits.
std::optional<std::int64_t> IntegerOf(const std::u16string& text);
// A decimal number's text as it stands ("-12.5000"), when it is one.
std::optional<std::string> NumberOf(const std::u16string& text);
// The bytes of a hexadecimal text, with or without "0x".
std::optional<std::string> BytesOf(const std::u16string& text);

}  // namespace quillmark::cli
