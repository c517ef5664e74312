// The stored form of each SQL Server type: which types live in the fixed part of
// a record and how wide they are, and the bytes a value is written as.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {

struct ColumnType {
  std::uint8_t id = sqltype::kInt;
  std::int16_t maxLength = 4;  // bytes; -1: (max)
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
};

// A system type as sysscalartypes and systypes describe it.
struct SystemType {
  std::uint8_t id;
  const char* name;
  std::int16_t length;
  std::uint8_t precision;
  std::uint8_t scale;
};
const std::vector<SystemType>& SystemTypes();
// The CLR types, by user type id; their system type is sqltype::kClr.
const std::vector<SystemType>& ClrTypes();
inline constexpr std::int32_t kSysnameType = 256;  // user type id of sysname (nvarchar(128))

// The column's type with the type's own length, precision and scale filled in.
ColumnType TypeOf(const ColumnSpec& column);

bool IsVariableLength(const ColumnType& type);
// text, ntext and image: the record holds a 16-byte text pointer.
bool IsLargeObject(std::uint8_t typeId);
// Types that carry a collation.
bool IsCharacter(std::uint8_t typeId);
// Bytes taken in the fixed part; a bit column takes one bit of a shared byte.
std::int16_t FixedWidth(const ColumnType& type);

// The stored bytes of a value (for text, ntext and image the large value
// itself). Throws std::invalid_argument when the value does not fit the type.
Bytes EncodeValue(const ColumnType& type, const Value& value);

// The low `width` bytes of `value`, least significant first.
Bytes LittleEndian(std::uint64_t value, std::size_t width);

// UTF-8 to UTF-16LE, and to 8-bit text (characters up to U+00FF, as Latin-1).
Bytes Utf16Text(const std::string& utf8);
Bytes EightBitText(const std::string& utf8);

}  // namespace quillmark::testing
