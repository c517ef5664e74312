// The records of the catalog: one struct per system-table row kind, and the
// records derived from them. Integers are as read from the row (little-endian);
// strings are owned UTF-16 copies. A field a row does not hold keeps the
// default its reader gives it (-1 for integers and 255 for bytes, unless the
// reader says otherwise).
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/PageId.h"

namespace quillmark {

// A row of the object table (sysschobjs, or sysobjects in SQL Server 2000 files).
struct CatalogObject {
  std::int32_t id = -1;
  std::u16string name;
  std::int32_t schemaId = -1;
  std::uint8_t namespaceClass = 255;
  std::int32_t status = -1;
  std::string type;  // two characters as stored: "U ", "V ", "FN", "PK" ...
  std::int32_t parentId = -1;
  std::uint8_t parentClass = 255;
  std::int32_t property = -1;

  friend bool operator==(const CatalogObject&, const CatalogObject&) = default;
};

// A row of syscolpars: a column of a table or view, or a parameter of a module.
struct CatalogColumn {
  std::int32_t objectId = -1;
  std::int16_t number = -1;
  std::int32_t columnId = -1;
  std::u16string name;
  std::uint8_t systemTypeId = 255;
  std::int32_t userTypeId = -1;
  std::int16_t maxLength = -1;
  std::uint8_t precision = 255;
  std::uint8_t scale = 255;
  std::int32_t collationId = -1;
  std::int32_t status = -1;
  std::int16_t maxInRowLength = -1;
  std::int32_t xmlCollectionId = -1;
  std::int32_t defaultObjectId = -1;
  std::int32_t checkObjectId = -1;
  std::u16string identityText;  // "identity(seed,increment)" for identity columns

  friend bool operator==(const CatalogColumn&, const CatalogColumn&) = default;
};

// A row of SQL Server 2000 syscolumns.
struct LegacyColumn {
  std::u16string name;
  std::int32_t objectId = -1;
  std::uint8_t systemType = 255;
  std::uint8_t typeStatus = 255;
  std::int16_t userType = -1;
  std::int16_t length = -1;
  std::uint8_t precision = 255;
  std::uint8_t scale = 255;
  std::int16_t columnId = -1;
  std::int16_t leafOffset = -1;
  std::uint8_t bitPosition = 255;
  std::uint8_t reserved = 255;
  std::int16_t columnStatus = -1;
  std::int16_t defaultObjectId = -1;
  std::int32_t afterColumnOrder = 0;  // the 4 bytes after the column order field
  std::int32_t domain = -1;
  std::int16_t number = -1;
  std::int16_t columnOrder = -1;
  std::int16_t offset = -1;
  std::int32_t collationId = -1;
  std::uint8_t status = 255;
  std::int32_t nullability = -1;  // 0 when the column does not accept NULL

  friend bool operator==(const LegacyColumn&, const LegacyColumn&) = default;
};

// A column as attached to its SQL Server 2000 table.
struct LegacyTableColumn {
  std::u16string name;
  std::u16string spare;
  std::int32_t columnOrder = -1;
  std::uint8_t typeStatus = 255;
};

struct LegacyTable {
  std::int32_t objectId = -1;
  std::u16string name;
  std::u16string spare;
  std::vector<LegacyTableColumn> columns;
};

// A SQL Server 2000 sysindexes row with index id 1, kept per object id.
struct LegacyIndexEntry {
  std::int32_t objectId = -1;
  std::uint16_t fileId = 0;  // of the page that holds the row
  std::int16_t indexId = -1;
  std::int32_t firstPage = -1;
  std::int32_t firstIamPage = -1;
};

// A row of sysrowsets.
struct CatalogRowset {
  std::int64_t rowsetId = 0;
  std::uint8_t ownerType = 255;
  std::int32_t objectId = -1;
  std::int32_t indexId = -1;
  std::int32_t partitionNumber = -1;
  std::int32_t status = -1;
  std::int16_t filegroup = -1;
  std::int64_t rowCount = -1;

  friend bool operator==(const CatalogRowset&, const CatalogRowset&) = default;
};

// A row of sysallocunits (object 99 in SQL Server 2000 files).
struct CatalogAllocUnit {
  std::int64_t id = 0;
  std::uint8_t type = 255;  // 1: in-row data
  std::int64_t ownerId = 0;
  std::int32_t status = -1;
  std::int16_t filegroupId = 0;
  PageId firstPage{0, 0};
  PageId rootPage{0, 0};
  PageId firstIamPage{0, 0};

  friend bool operator==(const CatalogAllocUnit&, const CatalogAllocUnit&) = default;
};

// A row of sysrscols: where a column sits in the records of a rowset.
struct CatalogRowsetColumn {
  std::int64_t rowsetId = 0;
  std::int32_t rowsetColumnId = -1;
  std::int32_t hobtColumnId = 0;
  std::int64_t modifiedCount = -1;
  std::int32_t typeInfo = -1;
  std::int32_t columnId = -1;
  std::int16_t keyOrdinal = -1;
  std::int16_t maxInRowLength = -1;
  std::int32_t status = -1;
  std::int32_t leafOffset = -1;
  std::int32_t nullBit = -1;
  std::int16_t bitPosition = -1;

  friend bool operator==(const CatalogRowsetColumn&, const CatalogRowsetColumn&) = default;
};

// A row of sysidxstats.
struct CatalogIndex {
  std::int32_t objectId = -1;
  std::int32_t indexId = -1;
  std::u16string name;
  std::int32_t status = -1;
  std::int32_t property = -1;
  std::uint8_t fillFactor = 255;
  std::uint8_t indexType = 255;
  std::uint8_t tinyProperty = 255;
  std::int32_t dataSpaceId = -1;
  std::int32_t lobDataSpaceId = -1;
  std::int64_t rowsetId = -1;
};

// A row of sysiscols.
struct CatalogIndexColumn {
  std::int32_t objectId = -1;
  std::int32_t indexId = -1;
  std::int32_t keyOrdinal = -1;
  std::int32_t status = -1;
  std::int32_t columnId = -1;
  std::uint8_t tinyProperty1 = 255;
  std::uint8_t tinyProperty2 = 255;
  std::int32_t indexStatus = 0;  // 0 in the catalog; the index's status in a selection's copies

  friend bool operator==(const CatalogIndexColumn&, const CatalogIndexColumn&) = default;
};

// A row of sysscalartypes.
struct CatalogType {
  std::int32_t id = -1;
  std::int32_t schemaId = -1;
  std::u16string name;
  std::uint8_t systemTypeId = 255;
  std::int16_t length = -1;
  std::uint8_t precision = 255;
  std::uint8_t scale = 255;
  std::int32_t collationId = -1;
  std::int32_t status = -1;
  std::int32_t value30 = -1;
  std::int32_t value34 = -1;
};

// A row of the single-object reference table.
struct CatalogReference {
  std::uint8_t referenceClass = 255;  // 27, 97: object references; 28, 29: foreign-key columns
  std::int32_t dependentId = -1;
  std::int32_t dependentSubId = -1;
  std::int32_t independentId = -1;
  std::int32_t independentSubId = -1;
  std::int32_t status = -1;
};

// A row of the database file table, with the geometry of a secondary file once opened.
struct CatalogFile {
  std::int32_t status = 0;
  std::int32_t fileId = 0;
  std::u16string logicalName;
  std::u16string physicalName;
  std::uint64_t length = 0;
  std::uint64_t pageCount = 0;
  std::int32_t baseOffset = 0;
};

// The raw rows of the rowset column tables 13 and 4 (SQL Server 2005 files).
struct Object13Row {
  std::int32_t value0 = 0;
  std::int32_t value4 = 0;
  std::int32_t value8 = 0;
  std::int16_t value27 = 0;
  std::int16_t value33 = 0;
  std::int32_t trailing = -1;

  friend bool operator==(const Object13Row&, const Object13Row&) = default;
};

struct Object4Row {
  std::array<std::int32_t, 4> values{};

  friend bool operator==(const Object4Row&, const Object4Row&) = default;
};

// An object that belongs to another (constraint, trigger, key ...), with the
// objects it refers to.
struct ObjectDetail {
  std::u16string name;
  std::int32_t id = -1;
  std::int32_t class97ReferenceId = 0;
  std::int32_t schemaId = -1;
  std::int32_t parentId = -1;
  std::int32_t class27ReferenceId = 0;
  std::int32_t class27ReferenceSubId = 0;
  std::string type;
  std::u16string spare;
  std::int32_t property = -1;
  std::array<std::uint8_t, 21> reserved{};

  friend bool operator==(const ObjectDetail&, const ObjectDetail&) = default;
};

// One column pair of a foreign key.
struct ForeignKeyColumn {
  std::int32_t constraintId = -1;
  std::int32_t ordinal = -1;
  std::int32_t parentTableId = -1;
  std::int32_t parentColumnId = -1;
  std::int32_t referencedTableId = -1;
  std::int32_t referencedColumnId = -1;
  std::u16string constraintName;
  std::u16string spare;
  std::u16string parentTableName;
  std::u16string parentColumnName;
  std::u16string referencedTableName;
  std::u16string referencedColumnName;
  std::int32_t constraintStatus = -1;

  friend bool operator==(const ForeignKeyColumn&, const ForeignKeyColumn&) = default;
};

// A key or constraint of the selected table.
struct TableKey {
  std::uint8_t primaryKey = 0;
  std::uint8_t foreignKey = 0;
  std::uint8_t unique = 0;
  std::u16string name;
  std::int32_t objectId = -1;
  std::string type;

  friend bool operator==(const TableKey&, const TableKey&) = default;
};

// The physicalColumnId of a column the records hold no bytes for (a column
// added after the rows were written): it shows its default.
inline constexpr std::int32_t kNoStorage = -99;

// One column of the selected table as the row decoder reads it.
struct ColumnLayout {
  std::int16_t spare1 = 0;
  std::int16_t length = 0;
  std::int32_t columnId = -1;
  std::u16string name;
  std::uint32_t typeCode = 0;
  std::u16string typeText;
  std::uint8_t nullable = 0;
  std::uint8_t spare2 = 0;
  std::uint8_t variableFlag = 0;
  std::uint8_t sparseFlag = 0;
  std::u16string valueText;
  std::array<std::uint8_t, 2> spare3{};
  std::uint8_t precision = 0;
  std::uint8_t scale = 0;
  std::int32_t physicalColumnId = -1;
  std::uint8_t hasLayout = 0;
  std::int16_t leafOffset = 0;
  std::int16_t legacyOffset = 0;
  std::int32_t nullBit = -1;
  std::uint8_t inPrimaryKey = 0;
  std::uint8_t indexFlag8 = 0;
  std::uint8_t inUniqueKey = 0;
  std::uint8_t inForeignKey = 0;
  std::uint8_t statusBit3 = 0;
  std::u16string referencedTable;
  std::u16string referencedColumn;
  std::u16string identityText;
  std::uint8_t uniqueKeyProperty = 0;
  std::int32_t collationId = -1;

  friend bool operator==(const ColumnLayout&, const ColumnLayout&) = default;
};

// A primary-key column of the selected table.
struct PrimaryKeyColumn {
  std::u16string tableName;
  std::u16string columnName;
  std::u16string spare;
  std::uint8_t tinyProperty = 0;

  friend bool operator==(const PrimaryKeyColumn&, const PrimaryKeyColumn&) = default;
};

// The working set of the object the user selected, replaced on each selection.
struct SelectedTable {
  CatalogObject object;
  CatalogRowset inRowRowset;
  CatalogAllocUnit inRowAllocUnit;
  std::vector<CatalogRowset> rowsets;
  std::vector<CatalogAllocUnit> allocUnits;
  std::vector<CatalogRowsetColumn> rowsetColumns;
  std::vector<Object13Row> object13Rows;
  std::vector<Object4Row> object4Rows;
  std::vector<CatalogColumn> columns;
  std::vector<LegacyColumn> legacyColumns;
  std::vector<PageId> dataPages;
  std::vector<ColumnLayout> layouts;
  std::size_t firstPhysicalColumn = 0;
  std::uint8_t resolved = 0;
  std::uint8_t dedupPages = 0;
  std::set<std::pair<std::uint16_t, std::int32_t>> takenPages;
  std::vector<TableKey> keys;
  std::vector<CatalogIndexColumn> uniqueIndexColumns;
  std::vector<PrimaryKeyColumn> primaryKeyColumns;

  friend bool operator==(const SelectedTable&, const SelectedTable&) = default;
};

}  // namespace quillmark
