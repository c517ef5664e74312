// Reading a table's rows for the commands that print them: the table resolved
// by name, then its data pages decoded one after another as the records list
// reads them, each row handed on as soon as it is decoded. Only one page and
// its rows are held at a time, so memory stays flat however large the table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "catalog/DatabaseCatalog.h"
#include "details/ModuleText.h"
#include "values/RowDecoder.h"

namespace quillmark::cli {

// Resolves the user table `name` (UTF-8), or the system table of that name when
// no user table has it, and returns its column layouts in order; the catalog's
// selection then holds its data pages and keys. Throws CliError when there is
// neither. The module-text table is read into `store.prefetched` first: a
// column added after the rows were written shows its default from there.
std::vector<ColumnLayout> ResolveTable(DatabaseCatalog& catalog, const std::string& name, ModuleTextStore& store);

// Takes one decoded row, one text per layout; false stops the reading.
using RowHandler = std::function<bool(const DecodedRow&)>;

// Decodes the rows of the table ResolveTable selected last, in the order of its
// data pages, until the handler or a stop request ends it. `layouts` is the
// working row the decoder writes.
void ReadTableRows(DatabaseCatalog& catalog, std::vector<ColumnLayout>& layouts, const RowHandler& handler);

}  // namespace quillmark::cli
