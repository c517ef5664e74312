// The system-table rows of SQL Server 2000: sysobjects, sysindexes (one row per
// heap, clustered index, unique key and text unit, holding its first, root and
// first IAM pages), syscolumns, systypes and syscomments.
#include <algorithm>

#include "platform/CodePage.h"
#include "builder/DatabasePlan.h"
#include "builder/StoredValues.h"
#include "builder/SystemRows.h"

namespace quillmark::testing {
namespace {

constexpr std::int32_t kDboUser = 1;
// Object status values as the real rows carry them.
constexpr auto kSystemTableStatus = static_cast<std::int32_t>(0xE0000003u);
constexpr std::int32_t kUserObjectStatus = 0x60000000;
constexpr std::int32_t kKeyStatus = 0x10;
constexpr std::int32_t kConstraintStatus = 0x802;
constexpr std::int32_t kDefaultStatus = 0x2;
// sysindexes status: 0x2 unique, 0x10 clustered, 0x800 primary key, 0x1000 unique key.
constexpr std::int32_t kSystemIndexStatus = 0x12;
constexpr std::int32_t kPrimaryKeyIndexStatus = 0x4812;
constexpr std::int32_t kUniqueKeyIndexStatus = 0x1002;
constexpr std::size_t kCommentCharacters = 4000;  // syscomments splits a text into rows of this many

// A column as syscolumns describes it.
struct LegacyColumnFacts {
  std::string name;
  ColumnType type;
  std::int32_t userType = 0;
  bool nullable = true;
  bool padded = false;  // created with ANSI_PADDING ON (user columns of character and binary types)
  LayoutColumn place;
  std::int32_t variableIndex = -1;
  std::int32_t defaultId = 0;
  Value identityValue;
};

// The "offset" field (syscolumns, at 32): NOT NULL fixed-length columns get
// their record offset less 2 and less the widths of the nullable fixed-length
// columns before them; every other column is numbered -1, -2, ... in column order.
std::vector<std::int32_t> LegacyOffsets(const std::vector<LegacyColumnFacts>& columns) {
  std::vector<std::int32_t> offsets;
  std::int32_t numbered = 0;
  for (const LegacyColumnFacts& column : columns) {
    if (column.place.offset < 0 || column.nullable) {
      offsets.push_back(--numbered);
      continue;
    }
    std::int32_t before = 0;
    for (const LegacyColumnFacts& other : columns)
      if (other.nullable && other.place.offset >= 0 && other.place.offset < column.place.offset)
        before += FixedWidth(other.type);
    offsets.push_back(column.place.offset + 4 - 2 - before);
  }
  return offsets;
}

class Catalog2000 : public CatalogWriter {
 public:
  Catalog2000(const DatabasePlan& plan, const Placements& placements)
      : CatalogWriter(Layout::kSql2000, plan, placements) {}

 private:
  void AddObject(std::int32_t id, const std::string& name, const char* type, std::int32_t info, std::int32_t status,
                 std::int32_t parent, bool ghost) {
    rows_.Add(systable::kSysObjects, {name, id, type, kDboUser, info, status, 0, 0, parent, kCatalogTime, 0}, ghost);
  }

  void AddColumns(std::int32_t objectId, const std::vector<LegacyColumnFacts>& columns, bool ghost) {
    const std::vector<std::int32_t> offsets = LegacyOffsets(columns);
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const LegacyColumnFacts& c = columns[k];
      const auto columnId = static_cast<std::int32_t>(k + 1);
      const std::int32_t typeStatus = (c.nullable ? 0 : 1) | (c.padded ? 2 : 0);
      const std::int32_t recordOffset = c.place.offset < 0 ? -1 - c.variableIndex : c.place.offset + 4;
      rows_.Add(systable::kSysRsCols,
                {c.name, objectId, c.type.id, typeStatus, c.userType ? c.userType : c.type.id, c.type.maxLength,
                 c.type.precision, c.type.scale, columnId, recordOffset, c.place.bitPosition, 0,
                 c.identityValue.IsNull() ? 0 : 1, c.defaultId, 0, 0, columnId, c.identityValue, offsets[k],
                 IsCharacter(c.type.id) ? Value(collation_) : Value(), 0},
                ghost);
    }
  }

  // A sysindexes row: the unit's first, root and first IAM pages, its page and row counts.
  void AddIndexRow(std::int32_t objectId, std::int32_t indexId, std::int32_t status, const std::string& name,
                   std::int64_t unitKey, const RecordLayout& layout, std::int32_t keyCount, bool ghost) {
    const UnitPlacement& place = PlacementOf(placements_, unitKey);
    const auto pages = static_cast<std::int32_t>(place.pages.size());
    const auto rows = static_cast<std::int64_t>(place.records.size());
    rows_.Add(systable::kSysIndexes,
              {objectId, status, PagePointer(place.FirstPage()), indexId, PagePointer(place.FirstPage()),
               MinRecordLength(layout), keyCount, 1, pages, place.UsedPages(), place.UsedPages(), rows, 0, 0, 0,
               MaxRecordLength(layout), 0, 0, 0, 0, PagePointer(place.iam), 0, 0, 0, nullptr, name, nullptr},
              ghost);
  }

  // Module text is stored 8-bit (status 2) when every character allows it,
  // constraint text as UTF-16; a long text takes several rows.
  void AddComments(std::int32_t objectId, std::int32_t number, const std::string& text, bool module, bool ghost) {
    const bool eightBit = module && IsAscii(text);
    const std::u16string units = platform::Utf8ToUtf16(text);
    for (std::size_t start = 0, row = 1; start < units.size(); start += kCommentCharacters, ++row) {
      const std::u16string piece = units.substr(start, kCommentCharacters);
      rows_.Add(systable::kSysComments,
                {objectId, number, static_cast<std::int32_t>(row), eightBit ? 2 : 0,
                 eightBit ? EightBitText(platform::Utf16ToUtf8(piece)) : Utf16(piece)},
                ghost);
    }
  }

  void AddTypes() override {
    for (const SystemType& type : SystemTypes()) {
      // date, time and datetime2 came with SQL Server 2008, xml with 2005.
      if (type.id == sqltype::kDate || type.id == sqltype::kTime || type.id == sqltype::kDateTime2 ||
          type.id == sqltype::kDateTimeOffset || type.id == sqltype::kXml)
        continue;
      AddType(type.name, type.id, type.id, type.length, type.precision, type.scale);
    }
    AddType("sysname", sqltype::kNVarChar, kSysnameType, 256, 0, 0);
  }

  void AddType(const std::string& name, std::uint8_t id, std::int32_t userType, std::int16_t length,
               std::uint8_t precision, std::uint8_t scale) {
    rows_.Add(systable::kSysTypes, {name, id, IsPadded(id) ? 2 : 0, userType, length, precision, scale, 0, 0,
                                    kDboUser, 0, IsCharacter(id) ? Value(collation_) : Value()});
  }

  void AddSystemTable(const SystemTable& table) override {
    AddObject(table.id, table.name, "S ", static_cast<std::int32_t>(table.columns.size()), kSystemTableStatus, 0,
              false);
    std::vector<LegacyColumnFacts> columns;
    std::int32_t variable = 0;
    for (const SystemColumn& column : table.columns) {
      LegacyColumnFacts facts;
      facts.name = column.name;
      facts.type = column.type;
      facts.userType = column.userType;
      facts.nullable = column.nullable;
      facts.place = LayoutColumn{column.type, column.offset, 0};
      facts.variableIndex = column.offset < 0 ? variable++ : -1;
      columns.push_back(facts);
    }
    AddColumns(table.id, columns, false);
    AddIndexRow(table.id, table.iamIndexId, table.iamIndexId ? kSystemIndexStatus : 0, table.name,
                SystemUnitKey(Layout::kSql2000, table), table.Layout(), table.iamIndexId, false);
  }

  std::vector<LegacyColumnFacts> FactsOf(const PlannedTable* table, const std::vector<PlannedColumn>& planned) {
    std::vector<LegacyColumnFacts> columns;
    for (const PlannedColumn& column : planned) {
      LegacyColumnFacts facts;
      facts.name = column.spec->name;
      facts.type = column.type;
      facts.nullable = column.spec->nullable;
      facts.padded = IsPadded(column.type.id);
      facts.place = column.place;
      facts.variableIndex = column.variableIndex;
      facts.defaultId = column.defaultId;
      if (column.spec->identity && table) facts.identityValue = IdentityValue(*table, column, 0x82);
      columns.push_back(facts);
    }
    return columns;
  }

  void AddUserTable(const PlannedTable& table) override {
    const TableSpec& spec = *table.spec;
    const bool ghost = spec.dropped;
    const auto columnCount = static_cast<std::int32_t>(table.columns.size());
    AddObject(table.id, spec.name, "U ", columnCount, kUserObjectStatus | 1, 0, ghost);
    AddColumns(table.id, FactsOf(&table, table.columns), ghost);
    for (const PlannedIndex& index : table.indexes) {
      const bool data = index.indexId <= 1;
      const std::int32_t status = index.indexId == 0 ? 0 : index.indexId == 1 ? kPrimaryKeyIndexStatus : kUniqueKeyIndexStatus;
      AddIndexRow(table.id, index.indexId, status, index.key ? index.key->name : spec.name,
                  data ? table.dataUnit : -1, table.layout, static_cast<std::int32_t>(index.columnIds.size()), ghost);
      if (index.key)
        AddObject(index.objectId, index.key->name, index.indexId == 1 ? "PK" : "UQ", 0, kKeyStatus, table.id, ghost);
    }
    if (table.HasText()) AddIndexRow(table.id, 255, 0, "t" + spec.name, table.textUnit, table.layout, 0, ghost);
    AddConstraints(table);
  }

  void AddConstraints(const PlannedTable& table) {
    const TableSpec& spec = *table.spec;
    const bool ghost = spec.dropped;
    for (std::size_t k = 0; k < spec.foreignKeys.size(); ++k) {
      plan_.TableNamed(spec.foreignKeys[k].referencedTable);
      AddObject(table.foreignKeyIds[k], spec.foreignKeys[k].name, "F ",
                table.ColumnNamed(spec.foreignKeys[k].columns.front()).columnId, kConstraintStatus, table.id, ghost);
    }
    for (std::size_t k = 0; k < spec.checks.size(); ++k) {
      const CheckSpec& check = spec.checks[k];
      AddObject(table.checkIds[k], check.name, "C ", check.column.empty() ? 0 : table.ColumnNamed(check.column).columnId,
                kConstraintStatus, table.id, ghost);
      AddComments(table.checkIds[k], 0, check.definition, false, ghost);
    }
    for (const PlannedColumn& column : table.columns) {
      if (column.defaultId == 0) continue;
      AddObject(column.defaultId, "DF_" + spec.name + "_" + column.spec->name, "D ", column.columnId, kDefaultStatus,
                table.id, ghost);
      AddComments(column.defaultId, 0, column.spec->defaultDefinition, false, ghost);
    }
  }

  void AddModule(const PlannedModule& module) override {
    const ModuleSpec& spec = *module.spec;
    AddObject(module.id, spec.name, ModuleTypeCode(spec.type), static_cast<std::int32_t>(module.columns.size()),
              kUserObjectStatus, module.parentId, false);
    AddColumns(module.id, FactsOf(nullptr, module.columns), false);
    AddComments(module.id, spec.type == ModuleType::kProcedure ? 1 : 0, spec.definition, true, false);
  }

};

}  // namespace

std::vector<UnitImage> SystemUnits2000(const DatabasePlan& plan, const Placements& placements) {
  return Catalog2000(plan, placements).Units();
}

}  // namespace quillmark::testing
