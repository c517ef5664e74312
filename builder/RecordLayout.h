// Where each column sits in an ordinary record, and the record bytes of a row.
//
// Columns are listed in physical order: the fixed-length ones take their bytes
// at their offset in the fixed data (eight bit columns share one byte), the
// variable-length ones follow the null bitmap in the order listed, and bit i of
// the null bitmap belongs to the i-th column listed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "builder/StoredValues.h"

namespace quillmark::testing {

struct LayoutColumn {
  ColumnType type;
  std::int16_t offset = -1;      // into the fixed data; -1: a variable-length column
  std::uint8_t bitPosition = 0;  // bit columns: the bit of the byte at offset
};

struct RecordLayout {
  std::vector<LayoutColumn> columns;
  std::int16_t fixedLength = 0;
};

// Fixed-length columns one after another in the order given; a bit column takes
// the next bit of the byte of the previous bit column while that byte has room.
RecordLayout PackColumns(const std::vector<ColumnType>& physicalOrder);

// A column's stored bytes, or NULL. A complex value (a text pointer) is flagged
// in the variable-length offset array.
struct Cell {
  std::optional<Bytes> bytes;
  bool complex = false;
};

// The first `count` columns of a layout: what the rows written before later
// columns were added hold.
RecordLayout FirstColumns(const RecordLayout& layout, std::size_t count);

// What a record holds beside its columns' values.
struct RecordForm {
  explicit RecordForm(int recordType = 0) : type(recordType) {}
  int type;  // 0 primary, 1 forwarded, 6 ghost (a deleted row left on its page)
  // Columns counted in the record and its null bitmap (their bits clear) that
  // take no bytes of their own: sparse columns.
  std::int16_t countedOnly = 0;
  // Complex values after the columns' own: a sparse column vector, a forwarded
  // record's pointer back to its stub.
  std::vector<Bytes> complexTail;
};

// The record of one row; trailing NULL variable-length columns are left out, as
// SQL Server does, unless complex values follow them.
Bytes EncodeRecord(const RecordLayout& layout, const std::vector<Cell>& cells, const RecordForm& form = RecordForm());

// Encodes a row's values with the layout's types (NULL for missing values).
std::vector<Cell> EncodeCells(const RecordLayout& layout, const std::vector<Value>& values);

}  // namespace quillmark::testing
