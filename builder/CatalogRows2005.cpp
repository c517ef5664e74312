// The system-table rows of SQL Server 2005 and later: objects (sysschobjs),
// columns (syscolpars), types, rowsets, allocation units, rowset columns,
// indexes and their columns, definitions (sysobjvalues) and foreign-key
// references, for the system tables themselves as for the user's objects.
#include <algorithm>
#include <stdexcept>

#include "builder/DatabasePlan.h"
#include "builder/StoredValues.h"
#include "builder/SystemRows.h"

namespace quillmark::testing {
namespace {

constexpr std::int32_t kDboSchema = 1;
constexpr std::int32_t kSysSchema = 4;
// Object status values as the real rows carry them.
constexpr std::int32_t kSystemTableStatus = 0x000E0001;
constexpr std::int32_t kTableStatus = 0x000E0000;
constexpr std::int32_t kModuleStatus = 0x000C0000;
constexpr std::int32_t kConstraintStatus = 0x00000004;
constexpr std::int32_t kDefaultStatus = 0x00020004;
constexpr std::int32_t kColumnCheckStatus = 0x00120004;
// Index status: 0x8 unique, 0x20 primary key, 0x40 unique constraint.
constexpr std::int32_t kHeapIndexStatus = 0x01;
constexpr std::int32_t kPrimaryKeyIndexStatus = 0x2B;
constexpr std::int32_t kUniqueKeyIndexStatus = 0x4B;
constexpr std::int32_t kNotNullColumn = 0x80;  // sysrscols status
constexpr std::int32_t kSparseColumn = 0x01000000;  // syscolpars status
constexpr std::size_t kInRowDefinition = 7000;  // longer definitions would leave the row

// A column as syscolpars and sysrscols describe it.
struct ColumnFacts {
  std::int32_t objectId = 0;
  std::int32_t columnId = 0;
  std::string name;
  ColumnType type;
  std::int32_t userType = 0;
  bool nullable = true;
  bool identity = false;
  std::int32_t defaultId = 0;
  Value identityValue;
  bool sparse = false;
};

ColumnFacts FactsOf(const PlannedTable* table, std::int32_t objectId, const PlannedColumn& column) {
  const ColumnSpec& spec = *column.spec;
  const Value identityValue = spec.identity && table ? Value(IdentityValue(*table, column, 0)) : Value();
  return ColumnFacts{objectId,          column.columnId, spec.name,     column.type,  spec.userType, spec.nullable,
                     spec.identity, column.defaultId, identityValue, spec.sparse};
}

// The type information of sysrscols: the type id, then its length, or its
// precision and scale.
std::int32_t TypeInfo(const ColumnType& type) {
  if (type.id == sqltype::kDecimal || type.id == sqltype::kNumeric) return type.id | type.precision << 8 | type.scale << 16;
  if (type.id == sqltype::kTime || type.id == sqltype::kDateTime2) return type.id | type.scale << 8;
  if (IsPadded(type.id)) return type.id | (type.maxLength < 0 ? 0 : type.maxLength) << 8;
  return type.id;
}

// Where a clustered key column sits in the key's index records: fixed-length
// key columns from offset 1 on, variable-length ones counted -1, -2, ...
std::int32_t IndexRecordPosition(const PlannedTable& table, const PlannedColumn& key) {
  std::int32_t offset = 1;
  std::int32_t variable = -1;
  for (const PlannedColumn* column : table.PhysicalOrder()) {
    if (column->keyOrdinal == 0) continue;
    const bool isVariable = column->place.offset < 0;
    if (column == &key) return isVariable ? variable : offset;
    if (isVariable) --variable;
    else offset += FixedWidth(column->type);
  }
  return 0;
}

class Catalog2005 : public CatalogWriter {
 public:
  Catalog2005(const DatabasePlan& plan, const Placements& placements)
      : CatalogWriter(Layout::kSql2005Plus, plan, placements) {}

 private:
  void AddObject(std::int32_t id, const std::string& name, std::int32_t schema, std::int32_t status, const char* type,
                 std::int32_t parent, std::int32_t property, bool ghost) {
    rows_.Add(systable::kSysSchObjs,
              {id, name, schema, 0, status, type, parent, 1, property, kCatalogTime, kCatalogTime, 0}, ghost);
  }

  void AddColumn(const ColumnFacts& c, bool ghost) {
    const std::int32_t status =
        (c.nullable ? 0 : 1) | (IsPadded(c.type.id) ? 2 : 0) | (c.identity ? 4 : 0) | (c.sparse ? kSparseColumn : 0);
    rows_.Add(systable::kSysColPars,
              {c.objectId, 0, c.columnId, c.name, c.type.id, c.userType ? c.userType : c.type.id, c.type.maxLength,
               c.type.precision, c.type.scale, IsCharacter(c.type.id) ? collation_ : 0, status, c.type.maxLength, 0,
               c.defaultId, 0, c.identityValue},
              ghost);
  }

  // A rowset column: where the column sits in the records (offset into the
  // record, or -1 - n for the n-th variable-length column) and its null bit;
  // clustered key columns add their place in the key's index records in the
  // high halves.
  void AddRowsetColumn(std::int64_t rowset, const ColumnFacts& c, std::int32_t hobtColumn, const LayoutColumn& place,
                       std::int32_t variableIndex, std::int32_t keyOrdinal, std::int32_t indexPosition, bool ghost) {
    std::int32_t offset = place.offset < 0 ? (-1 - variableIndex) & 0xFFFF : place.offset + 4;
    std::int32_t nullBit = hobtColumn;
    if (keyOrdinal > 0) {
      offset |= static_cast<std::int32_t>(static_cast<std::uint32_t>(indexPosition & 0xFFFF) << 16);
      nullBit |= keyOrdinal << 16;
    }
    rows_.Add(systable::kSysRsCols,
              {rowset, c.columnId, hobtColumn, 0, TypeInfo(c.type), IsCharacter(c.type.id) ? collation_ : 0,
               keyOrdinal, 0, c.nullable ? 0 : kNotNullColumn, offset, nullBit, place.bitPosition, nullptr},
              ghost);
  }

  // cmprlevel: 0 none, 1 row, 2 page compression.
  void AddRowset(std::int64_t rowset, std::int32_t objectId, std::int32_t indexId, std::int32_t status,
                 std::int64_t rowCount, const RecordLayout& layout, bool ghost, std::int32_t compression = 0) {
    rows_.Add(systable::kSysRowsets,
              {rowset, 1, objectId, indexId, 1, status, 0, rowCount, compression, 0,
               static_cast<std::int32_t>(layout.columns.size()), MaxRecordLength(layout), 0, MinRecordLength(layout), 0,
               nullptr, nullptr, 1},
              ghost);
  }

  // An allocation unit: type 1 in-row data, 2 text values; its first, root and
  // first IAM pages and its page counts.
  void AddAllocationUnit(std::int64_t unit, std::int32_t type, std::int64_t owner, bool ghost) {
    const UnitPlacement& place = PlacementOf(placements_, unit);
    const auto pages = static_cast<std::int64_t>(place.pages.size());
    rows_.Add(systable::kSysAllocUnits,
              {unit, type, owner, 0, 1, PagePointer(place.FirstPage()), PagePointer(place.FirstPage()),
               PagePointer(place.iam), place.UsedPages(), pages, place.UsedPages()},
              ghost);
  }

  void AddDefinition(std::int32_t objectId, const std::string& text, bool ghost) {
    Bytes bytes = DefinitionBytes(text);
    if (bytes.size() > kInRowDefinition) throw std::invalid_argument("definitions longer than 7000 bytes are not supported");
    // value: an int sql_variant, 2 in the real rows.
    rows_.Add(systable::kSysObjValues, {1, objectId, 0, 0, 2, std::move(bytes)}, ghost);
  }

  void AddTypes() override {
    for (const SystemType& type : SystemTypes())
      rows_.Add(systable::kSysScalarTypes, {type.id, kSysSchema, type.name, type.id, type.length, type.precision,
                                            type.scale, IsCharacter(type.id) ? collation_ : 0, 0, kCatalogTime,
                                            kCatalogTime, 0, 0});
    rows_.Add(systable::kSysScalarTypes, {kSysnameType, kSysSchema, "sysname", sqltype::kNVarChar, 256, 0, 0,
                                          collation_, 1, kCatalogTime, kCatalogTime, 0, 0});
    for (const SystemType& type : ClrTypes())
      rows_.Add(systable::kSysScalarTypes, {type.id, kSysSchema, type.name, sqltype::kClr, type.length, 0, 0, 0, 0,
                                            kCatalogTime, kCatalogTime, 0, 0});
  }

  void AddSystemTable(const SystemTable& table) override {
    const auto columns = static_cast<std::int32_t>(table.columns.size());
    AddObject(table.id, table.name, kSysSchema, kSystemTableStatus, "S ", 0, columns, false);
    const std::int64_t unit = SystemUnitKey(Layout::kSql2005Plus, table);
    const RecordLayout layout = table.Layout();
    const bool heap = table.id == systable::kSysFiles;
    const auto rowCount = static_cast<std::int64_t>(PlacementOf(placements_, unit).records.size());
    AddRowset(unit, table.id, heap ? 0 : 1, heap ? 0x200 : 0x204, rowCount, layout, false);
    AddAllocationUnit(unit, 1, unit, false);
    std::int32_t variable = 0;
    for (std::int32_t k = 0; k < columns; ++k) {
      const SystemColumn& column = table.columns[static_cast<std::size_t>(k)];
      const ColumnFacts facts{table.id, k + 1, column.name, column.type, column.userType, column.nullable, false, 0, {}};
      AddColumn(facts, false);
      AddRowsetColumn(unit, facts, k + 1, layout.columns[static_cast<std::size_t>(k)],
                      column.offset < 0 ? variable++ : 0, 0, 0, false);
    }
  }

  void AddUserTable(const PlannedTable& table) override {
    const TableSpec& spec = *table.spec;
    const bool ghost = spec.dropped;
    AddObject(table.id, spec.name, kDboSchema, kTableStatus, "U ", 0, static_cast<std::int32_t>(table.columns.size()),
              ghost);
    for (const PlannedColumn& column : table.columns)
      if (column.spec->history != ColumnHistory::kDropped) AddColumn(FactsOf(&table, table.id, column), ghost);
    AddStorage(table);
    AddIndexes(table);
    AddConstraints(table);
  }

  void AddStorage(const PlannedTable& table) {
    const bool ghost = table.spec->dropped;
    const auto rowCount = static_cast<std::int64_t>(table.spec->rows.size());
    const auto compression = static_cast<std::int32_t>(table.spec->compression);
    for (const PlannedIndex& index : table.indexes) {
      const std::int32_t status = index.indexId == 0 ? 0x202 : index.indexId == 1 ? 0x246 : 0x42;
      AddRowset(index.rowsetId, table.id, index.indexId, status, rowCount, table.layout, ghost,
                index.indexId <= 1 ? compression : 0);
      AddAllocationUnit(index.unitId, 1, index.rowsetId, ghost);
    }
    const std::int64_t rowset = table.indexes.front().rowsetId;
    if (table.HasText()) AddAllocationUnit(table.textUnit, 2, rowset, ghost);
    for (const PlannedColumn* column : table.PhysicalOrder())
      AddRowsetColumn(rowset, FactsOf(nullptr, table.id, *column), column->physical + 1, column->place,
                      column->variableIndex, column->keyOrdinal,
                      column->keyOrdinal > 0 ? IndexRecordPosition(table, *column) : 0, ghost);
  }

  void AddIndexes(const PlannedTable& table) {
    const bool ghost = table.spec->dropped;
    for (const PlannedIndex& index : table.indexes) {
      const bool heap = index.indexId == 0;
      const std::int32_t status = heap ? kHeapIndexStatus : index.indexId == 1 ? kPrimaryKeyIndexStatus : kUniqueKeyIndexStatus;
      rows_.Add(systable::kSysIdxStats,
                {table.id, index.indexId, heap ? Value() : Value(index.key->name), status, 0, 0,
                 heap ? 0 : index.indexId == 1 ? 1 : 2, 0, 1, table.HasText() ? 1 : 0, index.rowsetId},
                ghost);
      std::vector<std::int32_t> sorted = index.columnIds;
      std::sort(sorted.begin(), sorted.end());
      for (std::size_t k = 0; k < index.columnIds.size(); ++k) {
        const std::int32_t columnId = index.columnIds[k];
        const auto subId = std::find(sorted.begin(), sorted.end(), columnId) - sorted.begin() + 1;
        rows_.Add(systable::kSysIsCols,
                  {table.id, index.indexId, static_cast<std::int32_t>(subId), 3, columnId,
                   static_cast<std::int32_t>(k + 1), 0, 0},
                  ghost);
      }
    }
  }

  void AddConstraints(const PlannedTable& table) {
    const TableSpec& spec = *table.spec;
    const bool ghost = spec.dropped;
    for (const PlannedIndex& index : table.indexes)
      if (index.key)
        AddObject(index.objectId, index.key->name, kDboSchema, index.indexId == 1 ? 0 : kConstraintStatus,
                  index.indexId == 1 ? "PK" : "UQ", table.id, 0, ghost);
    for (std::size_t k = 0; k < spec.foreignKeys.size(); ++k) AddForeignKey(table, spec.foreignKeys[k], table.foreignKeyIds[k]);
    for (std::size_t k = 0; k < spec.checks.size(); ++k) {
      const CheckSpec& check = spec.checks[k];
      const std::int32_t column = check.column.empty() ? 0 : table.ColumnNamed(check.column).columnId;
      AddObject(table.checkIds[k], check.name, kDboSchema, column ? kColumnCheckStatus : kDefaultStatus, "C ", table.id,
                column, ghost);
      AddDefinition(table.checkIds[k], check.definition, ghost);
    }
    for (const PlannedColumn& column : table.columns) {
      if (column.defaultId == 0) continue;
      AddObject(column.defaultId, "DF_" + spec.name + "_" + column.spec->name, kDboSchema, kDefaultStatus, "D ",
                table.id, column.columnId, ghost);
      AddDefinition(column.defaultId, column.spec->defaultDefinition, ghost);
    }
  }

  // A foreign key: class 27 names the referenced table and index, then per
  // column pair class 28 the referencing column and class 29 the referenced one.
  void AddForeignKey(const PlannedTable& table, const ForeignKeySpec& foreignKey, std::int32_t id) {
    const bool ghost = table.spec->dropped;
    const PlannedTable& referenced = plan_.TableNamed(foreignKey.referencedTable);
    if (foreignKey.columns.size() != foreignKey.referencedColumns.size())
      throw std::invalid_argument("foreign key " + foreignKey.name + ": the column lists differ in length");
    AddObject(id, foreignKey.name, kDboSchema, kConstraintStatus, "F ", table.id,
              table.ColumnNamed(foreignKey.columns.front()).columnId, ghost);
    rows_.Add(systable::kSysSingleObjRefs,
              {27, id, 0, referenced.id, ReferencedIndexId(referenced, foreignKey.referencedColumns), 0}, ghost);
    for (std::size_t k = 0; k < foreignKey.columns.size(); ++k) {
      const auto ordinal = static_cast<std::int32_t>(k + 1);
      rows_.Add(systable::kSysSingleObjRefs,
                {28, id, ordinal, table.id, table.ColumnNamed(foreignKey.columns[k]).columnId, 0}, ghost);
      rows_.Add(systable::kSysSingleObjRefs,
                {29, id, ordinal, referenced.id, referenced.ColumnNamed(foreignKey.referencedColumns[k]).columnId, 0},
                ghost);
    }
  }

  void AddModule(const PlannedModule& module) override {
    const ModuleSpec& spec = *module.spec;
    AddObject(module.id, spec.name, kDboSchema, kModuleStatus, ModuleTypeCode(spec.type), module.parentId, 0, false);
    for (const PlannedColumn& column : module.columns) AddColumn(FactsOf(nullptr, module.id, column), false);
    AddDefinition(module.id, spec.definition, false);
  }

};

}  // namespace

std::vector<UnitImage> SystemUnits2005(const DatabasePlan& plan, const Placements& placements) {
  return Catalog2005(plan, placements).Units();
}

}  // namespace quillmark::testing
