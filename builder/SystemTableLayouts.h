// The system tables the database builder writes, column by column, with the
// offsets their rows have in the real files: sql2012_musicstore.mdf and
// sql2014_pubs.mdf (format versions 706 and 782) for SQL Server 2005 and later,
// sql2000_northwind.mdf for SQL Server 2000. Their own catalog rows
// (syscolpars/sysrscols, syscolumns) describe them the same way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder/DatabaseBuilder.h"
#include "builder/RecordLayout.h"

namespace quillmark::testing {

struct SystemColumn {
  std::string name;
  ColumnType type;
  std::int16_t offset = -1;  // into the fixed data; -1: variable-length
  bool nullable = false;
  std::int32_t userType = 0;  // 0: the system type itself; 256: sysname
};

struct SystemTable {
  std::int32_t id = 0;
  std::string name;
  std::int16_t fixedLength = 0;
  std::uint16_t dataIndexId = 0;  // header index id of its data pages
  std::uint16_t iamIndexId = 0;   // and of its IAM page
  std::vector<SystemColumn> columns;  // in column id order, which is also the null bitmap's order

  RecordLayout Layout() const;
};

// Every system table the builder writes for a layout, in object id order.
const std::vector<SystemTable>& SystemTables(Layout layout);
const SystemTable& SystemTableOf(Layout layout, std::int32_t id);

// Object ids of the system tables.
namespace systable {
inline constexpr std::int32_t kSysObjects = 1;  // SQL Server 2000
inline constexpr std::int32_t kSysIndexes = 2;  // SQL Server 2000
inline constexpr std::int32_t kSysRsCols = 3;   // syscolumns in SQL Server 2000
inline constexpr std::int32_t kSysTypes = 4;    // SQL Server 2000
inline constexpr std::int32_t kSysRowsets = 5;
inline constexpr std::int32_t kSysComments = 6;  // SQL Server 2000
inline constexpr std::int32_t kSysAllocUnits = 7;
inline constexpr std::int32_t kSysFiles = 8;
inline constexpr std::int32_t kSysSchObjs = 34;
inline constexpr std::int32_t kSysColPars = 41;
inline constexpr std::int32_t kSysScalarTypes = 50;
inline constexpr std::int32_t kSysIdxStats = 54;
inline constexpr std::int32_t kSysIsCols = 55;
inline constexpr std::int32_t kSysObjValues = 60;
inline constexpr std::int32_t kSysSingleObjRefs = 74;
}  // namespace systable

}  // namespace quillmark::testing
