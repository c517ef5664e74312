// The records of the user tables' rows: ordinary or compressed records, ghost
// and deleted rows, rows moved out of their slot, and their large values.
#include <algorithm>
#include <optional>

#include "builder/CompressedRecords.h"
#include "builder/DatabasePlan.h"
#include "builder/LargeValues.h"

namespace quillmark::testing {
namespace {

constexpr std::size_t kRecordSpace = kPage - 96;  // records and slots of one page
constexpr std::uint16_t kSparseVectorId = 5;
constexpr std::uint16_t kBackPointerId = 0x0400;  // a forwarded record's pointer to its stub

UnitImage TableUnit(const PlannedTable& table, Layout layout, bool text) {
  UnitImage unit;
  unit.key = text ? table.textUnit : table.dataUnit;
  unit.headerObjectId = text ? table.textHeaderObject : table.dataHeaderObject;
  const bool modern = layout == Layout::kSql2005Plus;
  unit.headerIndexId = modern ? 256 : text ? 255 : 0;
  unit.iamIndexId = modern ? 256 : text ? 255 : static_cast<std::uint16_t>(table.indexes.front().indexId);
  unit.fileId = table.spec->fileId;
  unit.pageType = text ? 3 : 1;
  unit.linked = !text && table.indexes.front().indexId == 1;
  unit.hasIam = !table.spec->dropped;
  return unit;
}

bool Listed(const std::vector<std::size_t>& rows, std::size_t row) {
  return std::find(rows.begin(), rows.end(), row) != rows.end();
}

// The cells of a row's stored columns, in physical order, with large values
// written to the text unit; and its sparse column vector.
class RowCells {
 public:
  RowCells(const PlannedTable& table, LargeValueWriter& large) : large_(large) {
    const auto order = table.PhysicalOrder();
    stored_.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(table.storedColumns));
    for (const PlannedColumn& column : table.columns)
      if (column.spec->sparse) sparse_.push_back(&column);
  }

  std::vector<Cell> Of(const Row& row) {
    std::vector<Cell> cells;
    for (const PlannedColumn* column : stored_) {
      const Value* value = ValueOf(row, *column);
      if (!value) {
        cells.emplace_back();
      } else if (StoredOffRow(*column->spec)) {
        cells.push_back(Cell{large_.Store(*column->spec, column->type, EncodeValue(column->type, *value)), true});
      } else {
        cells.push_back(Cell{EncodeValue(column->type, *value), false});
      }
    }
    return cells;
  }

  // The sparse column vector: id 5, the entry count, the column ids, the end
  // offsets from the vector's start, the values; nothing when every sparse
  // column is NULL.
  std::optional<Bytes> SparseVector(const Row& row) const {
    std::vector<std::pair<std::int32_t, Bytes>> entries;
    for (const PlannedColumn* column : sparse_)
      if (const Value* value = ValueOf(row, *column))
        entries.emplace_back(column->columnId, EncodeValue(column->type, *value));
    if (entries.empty()) return std::nullopt;
    Bytes vector(4 + 4 * entries.size(), 0);
    PutU16(vector, 0, kSparseVectorId);
    PutU16(vector, 2, static_cast<std::uint16_t>(entries.size()));
    for (std::size_t k = 0; k < entries.size(); ++k) {
      PutU16(vector, 4 + 2 * k, static_cast<std::uint16_t>(entries[k].first));
      vector.insert(vector.end(), entries[k].second.begin(), entries[k].second.end());
      PutU16(vector, 4 + 2 * entries.size() + 2 * k, static_cast<std::uint16_t>(vector.size()));
    }
    return vector;
  }

  std::vector<ColumnType> StoredTypes() const {
    std::vector<ColumnType> types;
    for (const PlannedColumn* column : stored_) types.push_back(column->type);
    return types;
  }

 private:
  static const Value* ValueOf(const Row& row, const PlannedColumn& column) {
    const auto index = static_cast<std::size_t>(column.columnId - 1);
    return index < row.size() && !row[index].IsNull() ? &row[index] : nullptr;
  }

  LargeValueWriter& large_;
  std::vector<const PlannedColumn*> stored_;
  std::vector<const PlannedColumn*> sparse_;
};

RowId RowIdOf(const UnitPlacement& placement, std::size_t record) {
  return record < placement.records.size() ? placement.records[record] : RowId{};
}

Bytes StubTo(const UnitPlacement& placement, std::size_t record) {
  const RowId target = RowIdOf(placement, record);
  return ForwardingStub(target.page.pageNumber, target.slot, target.page.fileId);
}

// A forwarded record's last value: 0x0400, then the row id of its stub.
Bytes BackPointer(RowId stub) { return Concat({LittleEndian(kBackPointerId, 2), RowPointer(stub)}); }

// Ordinary records, one per row in row order; a moved row leaves a stub in its
// place and its record (behind a second stub, if asked) after the last row.
std::vector<UnitRecord> OrdinaryRecords(const PlannedTable& table, RowCells& cells, const UnitPlacement& placement) {
  const TableSpec& spec = *table.spec;
  const RecordLayout stored = FirstColumns(table.layout, table.storedColumns);
  std::vector<UnitRecord> records;
  std::vector<UnitRecord> moved;
  for (std::size_t r = 0; r < spec.rows.size(); ++r) {
    const bool ghost = Listed(spec.ghostRows, r) || Listed(spec.unlistedRows, r);
    RecordForm form(ghost ? 6 : 0);
    form.countedOnly = static_cast<std::int16_t>(table.sparseColumns);
    if (auto vector = cells.SparseVector(spec.rows[r])) form.complexTail.push_back(*vector);
    const auto move =
        std::find_if(spec.movedRows.begin(), spec.movedRows.end(), [r](const MovedRow& m) { return m.row == r; });
    if (move == spec.movedRows.end()) {
      const Bytes record = EncodeRecord(stored, cells.Of(spec.rows[r]), form);
      records.push_back(UnitRecord{record, ghost, Listed(spec.unlistedRows, r), {}});
      continue;
    }
    form.type = 1;
    form.complexTail.push_back(BackPointer(RowIdOf(placement, r)));
    const std::size_t next = spec.rows.size() + moved.size();
    if (move->stubToStub) moved.push_back(UnitRecord{StubTo(placement, next + 1)});
    records.push_back(UnitRecord{StubTo(placement, next)});
    moved.push_back(UnitRecord{EncodeRecord(stored, cells.Of(spec.rows[r]), form)});
  }
  records.insert(records.end(), moved.begin(), moved.end());
  return records;
}

// Bytes a page of these rows takes: compression information, records, slots.
std::size_t PageSpace(const std::vector<std::vector<CompressedValue>>& rows, const std::vector<ColumnType>& types) {
  const CompressedPage page = CompressPage(rows, types);
  std::size_t used = page.compressionInfo.size();
  for (const auto& row : page.rows) used += CompressedRowRecord(row, 0).size() + 2;
  return used;
}

using CompressedRows = std::vector<std::vector<CompressedValue>>;

CompressedRows Slice(const CompressedRows& rows, std::size_t first, std::size_t count) {
  return CompressedRows(rows.begin() + static_cast<std::ptrdiff_t>(first),
                        rows.begin() + static_cast<std::ptrdiff_t>(first + count));
}

// The most rows from `first` on that one page holds (at least one), found by
// doubling and then halving the count tried.
std::size_t RowsOnPage(const CompressedRows& rows, const std::vector<ColumnType>& types, std::size_t first) {
  const std::size_t left = rows.size() - first;
  const auto fit = [&](std::size_t count) { return PageSpace(Slice(rows, first, count), types) <= kRecordSpace; };
  std::size_t fits = 1;
  std::size_t tooMany = left + 1;
  while (fits < left) {
    const std::size_t next = std::min(2 * fits, left);
    if (!fit(next)) {
      tooMany = next;
      break;
    }
    fits = next;
  }
  while (tooMany - fits > 1) {
    const std::size_t middle = (fits + tooMany) / 2;
    (fit(middle) ? fits : tooMany) = middle;
  }
  return fits;
}

// Page compression shares values within a page: each page takes as many rows
// as fit beside its compression information, which its first record carries.
std::vector<UnitRecord> PageCompressed(const CompressedRows& rows, const std::vector<ColumnType>& types,
                                       const std::vector<bool>& ghosts) {
  std::vector<UnitRecord> records;
  while (records.size() < rows.size()) {
    const std::size_t first = records.size();
    const CompressedPage page = CompressPage(Slice(rows, first, RowsOnPage(rows, types, first)), types);
    for (std::size_t i = 0; i < page.rows.size(); ++i) {
      const bool ghost = ghosts[first + i];
      records.push_back(UnitRecord{CompressedRowRecord(page.rows[i], ghost ? 6 : 0), ghost, false,
                                   i == 0 ? page.compressionInfo : Bytes{}});
    }
  }
  return records;
}

std::vector<UnitRecord> CompressedRecords(const PlannedTable& table, RowCells& cells) {
  const TableSpec& spec = *table.spec;
  const std::vector<ColumnType> types = cells.StoredTypes();
  std::vector<std::vector<CompressedValue>> rows;
  std::vector<bool> ghosts;
  for (std::size_t r = 0; r < spec.rows.size(); ++r) {
    const std::vector<Cell> row = cells.Of(spec.rows[r]);
    rows.emplace_back();
    for (std::size_t c = 0; c < row.size(); ++c) rows.back().push_back(CompressValue(types[c], row[c]));
    ghosts.push_back(Listed(spec.ghostRows, r));
  }
  if (spec.compression == Compression::kPageLevel) return PageCompressed(rows, types, ghosts);
  std::vector<UnitRecord> records;
  for (std::size_t r = 0; r < rows.size(); ++r)
    records.push_back(UnitRecord{CompressedRowRecord(rows[r], ghosts[r] ? 6 : 0), ghosts[r], false, {}});
  return records;
}

}  // namespace

std::vector<UnitImage> UserTableUnits(const DatabasePlan& plan, const Placements& placements) {
  std::vector<UnitImage> units;
  for (const PlannedTable& table : plan.tables) {
    UnitImage data = TableUnit(table, plan.layout, false);
    UnitImage text = TableUnit(table, plan.layout, true);
    LargeValueWriter large(text, PlacementOf(placements, table.textUnit), table.firstBlobId);
    RowCells cells(table, large);
    data.records = table.spec->compression == Compression::kNone
                       ? OrdinaryRecords(table, cells, PlacementOf(placements, table.dataUnit))
                       : CompressedRecords(table, cells);
    units.push_back(std::move(data));
    if (table.HasText()) units.push_back(std::move(text));
  }
  return units;
}

}  // namespace quillmark::testing
