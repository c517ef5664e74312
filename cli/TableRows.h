// A table resolved by name for the commands that read its columns and keys.
#pragma once

#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "catalog/DatabaseCatalog.h"
#include "details/ModuleText.h"

namespace quillmark::cli {

// Resolves the user table `name` (UTF-8), or the system table of that name when
// no user table has it, and returns its column layouts in order; the catalog's
// selection then holds its data pages and keys. Throws CliError when there is
// neither. The module-text table is read into `store.prefetched` first: a
// column added after the rows were written shows its default from there.
std::vector<ColumnLayout> ResolveTable(DatabaseCatalog& catalog, const std::string& name, ModuleTextStore& store);

}  // namespace quillmark::cli
