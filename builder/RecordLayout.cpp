#include "builder/RecordLayout.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::testing {

RecordLayout PackColumns(const std::vector<ColumnType>& physicalOrder) {
  RecordLayout layout;
  int nextOffset = 0;
  int bitByte = -1;
  int bitsUsed = 8;
  for (const ColumnType& type : physicalOrder) {
    LayoutColumn column{type};
    if (IsVariableLength(type)) {
      column.offset = -1;
    } else if (type.id == sqltype::kBit) {
      if (bitsUsed == 8) {
        bitByte = nextOffset++;
        bitsUsed = 0;
      }
      column.offset = static_cast<std::int16_t>(bitByte);
      column.bitPosition = static_cast<std::uint8_t>(bitsUsed++);
    } else {
      column.offset = static_cast<std::int16_t>(nextOffset);
      nextOffset += FixedWidth(type);
    }
    layout.columns.push_back(column);
  }
  layout.fixedLength = static_cast<std::int16_t>(nextOffset);
  return layout;
}

RecordLayout FirstColumns(const RecordLayout& layout, std::size_t count) {
  RecordLayout first;
  first.columns.assign(layout.columns.begin(), layout.columns.begin() + static_cast<std::ptrdiff_t>(count));
  for (const LayoutColumn& column : first.columns) {
    if (column.offset < 0) continue;
    const auto end = static_cast<std::int16_t>(column.offset + FixedWidth(column.type));
    first.fixedLength = std::max(first.fixedLength, end);
  }
  return first;
}

Bytes EncodeRecord(const RecordLayout& layout, const std::vector<Cell>& cells, const RecordForm& form) {
  if (cells.size() != layout.columns.size()) throw std::invalid_argument("one cell per column");
  Bytes fixed(static_cast<std::size_t>(layout.fixedLength), 0);
  std::vector<bool> nulls;
  std::vector<const Cell*> variable;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const LayoutColumn& column = layout.columns[i];
    const Cell& cell = cells[i];
    nulls.push_back(!cell.bytes);
    if (column.offset < 0) {
      variable.push_back(&cell);
    } else if (cell.bytes && column.type.id == sqltype::kBit) {
      if (cell.bytes->at(0) != 0)
        fixed.at(static_cast<std::size_t>(column.offset)) |= static_cast<std::uint8_t>(1u << column.bitPosition);
    } else if (cell.bytes) {
      PutBytes(fixed, static_cast<std::size_t>(column.offset), *cell.bytes);
    }
  }
  if (form.complexTail.empty())
    while (!variable.empty() && !variable.back()->bytes) variable.pop_back();

  nulls.resize(cells.size() + static_cast<std::size_t>(form.countedOnly), false);
  RecordBuilder record;
  record.Type(form.type).Fixed(fixed).Columns(static_cast<std::int16_t>(nulls.size())).Nulls(nulls);
  for (const Cell* cell : variable) record.Var(cell->bytes.value_or(Bytes{}), cell->complex);
  for (const Bytes& value : form.complexTail) record.Var(value, true);
  return record.Build();
}

std::vector<Cell> EncodeCells(const RecordLayout& layout, const std::vector<Value>& values) {
  if (values.size() > layout.columns.size()) throw std::invalid_argument("more values than columns");
  std::vector<Cell> cells(layout.columns.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!values[i].IsNull()) cells[i].bytes = EncodeValue(layout.columns[i].type, values[i]);
  return cells;
}

}  // namespace quillmark::testing
