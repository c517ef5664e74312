// The text of a stored column value, by the column's type code.
//
// Row decoding sets up a ValueSlot per value with InitValueSlot, tells it how
// many bytes the record holds for the value, and hands the bytes to FormatValue
// (FormatVariant for sql_variant values). Formatting never fails: a value that
// cannot be shown gives an empty text, a date or time out of range " ".
#pragma once

#include <cstdint>
#include <string>

#include "catalog/CatalogModel.h"
#include "catalog/TypeCode.h"

namespace quillmark {

// One per row, shared by the row's bit columns: bits are packed eight to a
// byte, lowest bit first, and only the first bit column of a group takes a byte.
struct BitCursor {
  std::int32_t bitIndex = 8;  // 8: the next bit column takes a fresh byte
  std::uint8_t currentByte = 0;
  std::uint8_t byteTaken = 0;  // this bit column took a byte from the record
  std::uint8_t loaded = 0;     // currentByte holds a byte
};

struct ValueSlot {
  BitCursor* bitCursor = nullptr;     // the row's cursor; read by bit columns only
  std::uint64_t availableLength = 0;  // bytes the record still holds for the value
  std::uint8_t isVariable = 0;        // the value comes from the variable-length part
  std::uint16_t fixedLength = 0;      // bytes the value takes in the fixed-length part
  // The length in the declared type text ("varbinary(-1)" gives -1); 0 until
  // FormatValue fills it. Row decoding steps through the fixed-length part by it.
  std::int32_t declaredLength = 0;
  std::int16_t valueLength = 0;  // bytes handed over
  TypeCode typeCode = kBigInt;
};

// The slot of a value of `layout`'s column before its bytes are looked at.
ValueSlot InitValueSlot(const ColumnLayout& layout, TypeCode typeCode, BitCursor* bitCursor);

// `value` points at the value's bytes; the slot's valueLength and
// availableLength say how many may be read. A null pointer gives empty text.
std::u16string FormatValue(ValueSlot& slot, const ColumnLayout& layout, const std::uint8_t* value);

// A sql_variant value of `length` bytes: base type id, version byte, then the
// base type's own header and data.
std::u16string FormatVariant(std::int32_t length, ValueSlot& slot, const ColumnLayout& layout,
                             const std::uint8_t* value);

}  // namespace quillmark
