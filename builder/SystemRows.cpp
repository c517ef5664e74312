#include "builder/SystemRows.h"

#include <algorithm>
#include <filesystem>

namespace quillmark::testing {
namespace {

// The columns of each system table's clustered key, by position in column id order.
const std::vector<std::size_t>& KeyColumns(Layout layout, std::int32_t tableId) {
  static const std::map<std::int32_t, std::vector<std::size_t>> modern = {
      {systable::kSysRsCols, {0, 2}},      {systable::kSysRowsets, {0}},       {systable::kSysAllocUnits, {0}},
      {systable::kSysFiles, {1}},          {systable::kSysSchObjs, {0}},       {systable::kSysColPars, {0, 1, 2}},
      {systable::kSysScalarTypes, {0}},    {systable::kSysIdxStats, {0, 1}},   {systable::kSysIsCols, {0, 1, 2}},
      {systable::kSysObjValues, {0, 1, 2, 3}}, {systable::kSysSingleObjRefs, {1, 0, 2}},
  };
  static const std::map<std::int32_t, std::vector<std::size_t>> legacy = {
      {systable::kSysObjects, {1}}, {systable::kSysIndexes, {0, 3}}, {systable::kSysRsCols, {1, 15, 8}},
      {systable::kSysTypes, {3}},   {systable::kSysComments, {0, 1, 2}}, {systable::kSysFiles, {1}},
  };
  return (layout == Layout::kSql2000 ? legacy : modern).at(tableId);
}

std::vector<std::int64_t> KeyOf(const Row& values, const std::vector<std::size_t>& columns) {
  std::vector<std::int64_t> key;
  for (std::size_t column : columns) {
    const std::int64_t* integer = column < values.size() ? values[column].Integer() : nullptr;
    key.push_back(integer ? *integer : 0);
  }
  return key;
}

}  // namespace

std::int64_t SystemUnitKey(Layout layout, const SystemTable& table) {
  if (layout == Layout::kSql2000) return std::int64_t{table.id} << 8 | table.iamIndexId;
  return std::int64_t{table.dataIndexId} << 48 | std::int64_t{table.id} << 16;
}

void SystemRows::Add(std::int32_t tableId, Row values, bool ghost) {
  rows_[tableId].push_back(Entry{std::move(values), ghost});
}

std::vector<UnitImage> SystemRows::Units() const {
  std::vector<UnitImage> units;
  for (const SystemTable& table : SystemTables(layout_)) {
    UnitImage unit;
    unit.key = SystemUnitKey(layout_, table);
    unit.headerObjectId = table.id;
    unit.headerIndexId = table.dataIndexId;
    unit.iamIndexId = table.iamIndexId;
    unit.linked = table.iamIndexId != 0;
    const auto found = rows_.find(table.id);
    if (found != rows_.end()) {
      std::vector<Entry> entries = found->second;
      const std::vector<std::size_t>& key = KeyColumns(layout_, table.id);
      std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        return KeyOf(a.values, key) < KeyOf(b.values, key);
      });
      const RecordLayout layout = table.Layout();
      for (const Entry& entry : entries)
        unit.records.push_back(
            UnitRecord{EncodeRecord(layout, EncodeCells(layout, entry.values), RecordForm(entry.ghost ? 6 : 0)),
                       entry.ghost});
    }
    units.push_back(std::move(unit));
  }
  return units;
}

CatalogWriter::CatalogWriter(Layout layout, const DatabasePlan& plan, const Placements& placements)
    : plan_(plan), placements_(placements), rows_(layout), collation_(plan.spec->collation), layout_(layout) {}

std::vector<UnitImage> CatalogWriter::Units() {
  AddFileRows();
  AddTypes();
  for (const SystemTable& table : SystemTables(layout_)) AddSystemTable(table);
  for (const PlannedTable& table : plan_.tables) AddUserTable(table);
  for (const PlannedModule& module : plan_.modules) AddModule(module);
  return rows_.Units();
}

void CatalogWriter::AddFileRows() {
  const DatabaseSpec& spec = *plan_.spec;
  if (!spec.fileTableRows) return;
  const std::string stem = std::filesystem::path(plan_.primaryName).stem().string();
  // Status 2: a data file; 0x100042: the log file.
  rows_.Add(systable::kSysFiles, {2, 1, spec.name, RecordedPath(plan_.primaryName)});
  rows_.Add(systable::kSysFiles, {0x100042, 2, spec.name + "_log", RecordedPath(stem + "_log.ldf")});
  for (const SecondaryFileSpec& file : spec.secondaryFiles)
    rows_.Add(systable::kSysFiles, {2, file.fileId, file.logicalName, file.recordedPath});
}

}  // namespace quillmark::testing
