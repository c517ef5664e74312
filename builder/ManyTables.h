// A database of many small tables, for measuring how the scan grows with the
// catalog: each table has ten columns, a primary key, a foreign key to the
// table before it and a few rows; some have a default and a check constraint;
// every hundred tables add a view and a procedure.
#pragma once

#include <cstddef>

#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {

DatabaseSpec ManyTables(std::size_t tableCount, Layout layout = Layout::kSql2005Plus);

// The name of table `index` (0-based) in a ManyTables database: "T000001" ...
std::string ManyTablesName(std::size_t index);

}  // namespace quillmark::testing
