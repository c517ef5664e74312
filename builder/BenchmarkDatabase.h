// The databases the benchmarks read: table Narrow of the rows benchmark's
// narrow shape (Id int key, Name varchar(30), Created datetime, Amount
// decimal(10,2), Note int NULL in every third row), and table Wide of 30
// columns of every common kind, nvarchar(max) and varbinary(max) among them,
// some of whose values are stored off row.
#pragma once

#include <cstdint>

#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {

// Adds table Narrow with `rows` rows to `spec`.
void AddNarrowTable(DatabaseSpec& spec, std::int64_t rows);
// Adds table Wide with `rows` rows to `spec`.
void AddWideTable(DatabaseSpec& spec, std::int64_t rows);
// Narrow with `rows` rows and Wide with rows / 10.
DatabaseSpec BenchmarkDatabase(std::int64_t rows);

}  // namespace quillmark::testing
