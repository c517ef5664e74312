// What a DatabaseSpec becomes before any page is written: object ids, each
// table's columns with their place in the record, its indexes and allocation
// units; then the allocation units of the user tables and of the system tables.
//
// Units are built twice: first without page addresses to learn how many pages
// each takes, then with the addresses that placement gave them (the catalog
// rows and text pointers name pages, but their length does not depend on them).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "builder/DatabaseBuilder.h"
#include "builder/DatabaseImage.h"
#include "builder/RecordLayout.h"

namespace quillmark::testing {

struct PlannedColumn {
  const ColumnSpec* spec = nullptr;
  ColumnType type;
  std::int32_t columnId = 0;  // 1-based, in declaration order
  std::int32_t defaultId = 0;  // object id of its default constraint
  // 0-based position among the rowset's columns; the null bitmap follows it.
  // -1: the column has no place (added without a rowset-column row).
  std::int32_t physical = -1;
  LayoutColumn place;          // where its value sits in the record
  std::int32_t variableIndex = -1;  // among the variable-length columns of the record
  std::int32_t keyOrdinal = 0;      // 1-based position in the clustered key; 0: not a key column
};

struct PlannedIndex {
  const KeySpec* key = nullptr;  // null: the heap
  std::int32_t objectId = 0;     // of the PRIMARY KEY or UNIQUE constraint
  std::int32_t indexId = 0;      // 0 heap, 1 clustered primary key, 2 and up unique keys
  std::vector<std::int32_t> columnIds;  // key columns in key order
  std::int64_t rowsetId = 0;     // SQL Server 2005 and later
  std::int64_t unitId = 0;       // its in-row allocation unit (2005 and later)
};

struct PlannedTable {
  const TableSpec* spec = nullptr;
  std::int32_t id = 0;
  std::vector<PlannedColumn> columns;  // column id order
  // Physical order: the clustered key, the columns the rows store, the columns
  // added after them, then the sparse columns, which the layout leaves out.
  RecordLayout layout;
  std::size_t storedColumns = 0;       // of the layout, the ones the rows hold
  std::size_t sparseColumns = 0;
  std::vector<PlannedIndex> indexes;   // the heap or clustered index first
  std::vector<std::int32_t> foreignKeyIds;
  std::vector<std::int32_t> checkIds;
  // Allocation units of the rows and of the text values: their keys among the
  // placements (the unit id in 2005 and later) and the object and index ids
  // their page headers carry.
  std::int64_t dataUnit = 0;
  std::int64_t textUnit = 0;
  std::int32_t dataHeaderObject = 0;
  std::int32_t textHeaderObject = 0;
  std::uint64_t firstBlobId = 0;

  bool HasText() const;
  const PlannedColumn& ColumnNamed(const std::string& name) const;
  // The columns that have a place, by position.
  std::vector<const PlannedColumn*> PhysicalOrder() const;
};

struct PlannedModule {
  const ModuleSpec* spec = nullptr;
  std::int32_t id = 0;
  std::int32_t parentId = 0;  // triggers: the table
  std::vector<PlannedColumn> columns;
};

struct DatabasePlan {
  const DatabaseSpec* spec = nullptr;
  Layout layout = Layout::kSql2005Plus;
  std::string primaryName;
  std::vector<PlannedTable> tables;
  std::vector<PlannedModule> modules;
  std::map<std::string, std::int32_t> objectIds;
  std::map<std::string, std::size_t> tableIndexes;  // position in `tables` by name

  const PlannedTable& TableNamed(const std::string& name) const;
};

DatabasePlan PlanDatabase(const DatabaseSpec& spec, const std::string& primaryName);

// The units of the user tables: the rows, and the large values in their own
// unit (UserRows.cpp).
std::vector<UnitImage> UserTableUnits(const DatabasePlan& plan, const Placements& placements);
// The units of the system tables of each layout.
std::vector<UnitImage> SystemUnits2005(const DatabasePlan& plan, const Placements& placements);
std::vector<UnitImage> SystemUnits2000(const DatabasePlan& plan, const Placements& placements);

// Shared by both layouts.
const UnitPlacement& PlacementOf(const Placements& placements, std::int64_t key);
Bytes PagePointer(PageId page);
// The identity column's stored value: last value, seed and increment in the
// column's width, then one byte of flags.
Bytes IdentityValue(const PlannedTable& table, const PlannedColumn& column, std::uint8_t flags);
// A module or constraint definition: 8-bit when every character is ASCII, as
// SQL Server stores it then, UTF-16 otherwise.
Bytes DefinitionBytes(const std::string& definition);
bool IsAscii(const std::string& text);
// The creation and modification time written to every catalog row.
inline constexpr const char* kCatalogTime = "2024-05-06 07:08:09";
// The physical name the file table records for a file of the folder.
std::string RecordedPath(const std::string& fileName);
// char, varchar, nchar, nvarchar, binary and varbinary columns are stored
// ANSI_PADDING ON: bit 1 of their status.
bool IsPadded(std::uint8_t typeId);
// Fixed data, column count and null bitmap: the shortest record of a layout.
std::int16_t MinRecordLength(const RecordLayout& layout);
std::int32_t MaxRecordLength(const RecordLayout& layout);
// The two-character object type: "V ", "P ", "FN", "IF", "TF", "TR".
const char* ModuleTypeCode(ModuleType type);
// The index of `table` whose key is exactly `columns`: the one a foreign key refers to.
std::int32_t ReferencedIndexId(const PlannedTable& table, const std::vector<std::string>& columns);

}  // namespace quillmark::testing
