// Building value bytes and columns for the formatter's tests, and checking a
// table of {bytes, text} cases against one column.
#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "values/ValueFormat.h"

namespace quillmark::valuetest {

// "41 00 42" -> {0x41, 0x00, 0x42}
inline ByteVector Hex(const std::string& text) {
  ByteVector bytes;
  for (std::size_t at = 0; at + 1 < text.size(); at += 3)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(at, 2), nullptr, 16)));
  return bytes;
}

inline ByteVector Le(std::uint64_t value, std::size_t width) {
  ByteVector bytes;
  for (std::size_t i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(i < 8 ? value >> (8 * i) : 0));
  return bytes;
}

inline ByteVector Cat(std::initializer_list<ByteVector> parts) {
  ByteVector bytes;
  for (const ByteVector& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

inline ByteVector Text(const std::string& text) { return ByteVector(text.begin(), text.end()); }

// A column as schema resolution lays it out: the type text carries the byte
// length, and the variable-length types have the variable flag.
inline ColumnLayout Column(TypeCode code, std::u16string typeText, std::int16_t length = 0, std::uint8_t precision = 0,
                           std::uint8_t scale = 0) {
  ColumnLayout column;
  column.typeCode = static_cast<std::uint32_t>(code);
  column.typeText = std::move(typeText);
  column.length = length;
  column.precision = precision;
  column.scale = scale;
  for (TypeCode variable : {kNVarChar, kUniqueIdentifier, kVarBinary, kVarChar, kSystemType232, kNText, kSqlVariant,
                            kImage, kText, kHierarchyId, kGeometry, kClrType, kXml})
    if (code == variable) column.variableFlag = 1;
  return column;
}

// As row decoding hands a value over: a variable value's length is the
// value's, a fixed value has the rest of the record's fixed part available.
inline std::u16string Format(const ColumnLayout& column, const ByteVector& bytes) {
  BitCursor cursor;
  ValueSlot slot = InitValueSlot(column, static_cast<TypeCode>(column.typeCode), &cursor);
  if (slot.isVariable)
    slot.valueLength = static_cast<std::int16_t>(bytes.size());
  else
    slot.availableLength = bytes.size();
  return FormatValue(slot, column, bytes.data());
}

struct Case {
  ByteVector bytes;
  std::u16string text;
};

inline std::string Describe(const ByteVector& bytes) {
  std::string text;
  for (std::uint8_t byte : bytes) text += fmt::format("{:02X} ", byte);
  return text;
}

inline void ExpectTexts(const ColumnLayout& column, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.bytes));
    EXPECT_EQ(Format(column, c.bytes), c.text);
  }
}

}  // namespace quillmark::valuetest
