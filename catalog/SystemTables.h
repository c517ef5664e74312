// Readers of the system tables. Each reads every row of its table through the
// catalog reader and appends one catalog record per accepted row.
//
// Offsets are into a row's fixed data (the record bytes from offset 4).
//
// 2005 and later                         SQL Server 2000
//   8     database file table              8    database file table
//   34    sysschobjs      objects          1    sysobjects
//   7     sysallocunits                    99   allocation table
//   5     sysrowsets
//   41, 2187  syscolpars  columns          3    syscolumns
//   50    sysscalartypes  types            2    sysindexes (index id 1 rows)
//                                          4    systypes
//   3     sysrscols       column layouts
//   74    single-object references
//   54    sysidxstats     indexes
//   55    sysiscols       index columns
//   13, 4 rowset column tables of 2005
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "catalog/CatalogReader.h"
#include "engine/Bytes.h"

namespace quillmark {

inline constexpr std::int32_t kFileTableId = 8;
inline constexpr std::int32_t kObjectTableId = 34;
inline constexpr std::int32_t kAllocUnitTableId = 7;
inline constexpr std::int32_t kRowsetTableId = 5;
inline constexpr std::int32_t kColumnTableId = 41;
inline constexpr std::int32_t kExtraColumnTableId = 2187;
inline constexpr std::int32_t kTypeTableId = 50;
inline constexpr std::int32_t kRowsetColumnTableId = 3;
inline constexpr std::int32_t kReferenceTableId = 74;
inline constexpr std::int32_t kIndexTableId = 54;
inline constexpr std::int32_t kIndexColumnTableId = 55;
inline constexpr std::int32_t kObject13TableId = 13;
inline constexpr std::int32_t kObject4TableId = 4;
inline constexpr std::int32_t kLegacyObjectTableId = 1;
inline constexpr std::int32_t kLegacyIndexTableId = 2;
inline constexpr std::int32_t kLegacyColumnTableId = 3;
inline constexpr std::int32_t kLegacyTypeTableId = 4;
inline constexpr std::int32_t kLegacyAllocationTableId = 99;

void ReadFileTable(CatalogReader& reader, std::vector<CatalogFile>& files);
void ReadObjectTable(CatalogReader& reader, std::vector<CatalogObject>& objects);
void ReadAllocUnits(CatalogReader& reader, std::int32_t tableId, std::vector<CatalogAllocUnit>& units);
void ReadRowsets(CatalogReader& reader, std::vector<CatalogRowset>& rowsets);
void ReadColumnTable(CatalogReader& reader, std::int32_t tableId, std::vector<CatalogColumn>& columns);
void ReadTypes(CatalogReader& reader, std::vector<CatalogType>& types);
void ReadRowsetColumns(CatalogReader& reader, std::vector<CatalogRowsetColumn>& rows);
void ReadReferences(CatalogReader& reader, std::vector<CatalogReference>& references);
void ReadIndexes(CatalogReader& reader, std::vector<CatalogIndex>& indexes);
void ReadIndexColumns(CatalogReader& reader, std::vector<CatalogIndexColumn>& rows);
void ReadObject13Rows(CatalogReader& reader, std::vector<Object13Row>& rows);
void ReadObject4Rows(CatalogReader& reader, std::vector<Object4Row>& rows);

// SQL Server 2000 layout.
void ReadLegacyObjectTable(CatalogReader& reader, std::vector<CatalogObject>& objects);
void ReadLegacyIndexes(CatalogReader& reader, std::map<std::int32_t, LegacyIndexEntry>& entries);
void ReadLegacyColumns(CatalogReader& reader, std::vector<LegacyColumn>& columns, std::vector<LegacyTable>& tables);
// SQL Server 2000 systypes rows as types: id is the row's xusertype, the system
// type id its xtype.
void ReadLegacyTypes(CatalogReader& reader, std::vector<CatalogType>& types);

// "identity(seed,increment)" from a column's identity value.
std::u16string IdentityText(ByteSpan value);

}  // namespace quillmark
