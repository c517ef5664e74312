// Resolving a selected object: for a table, its ordered column layouts (type,
// place in the record, null bit, keys, defaults) and the data pages that hold
// its rows; for a programmability object, three pseudo-columns naming it.
// The result stays in the catalog's working set until the next selection.
#pragma once

#include <string>
#include <vector>

#include "catalog/CatalogLookups.h"
#include "catalog/CatalogModel.h"
#include "catalog/ModuleTextEntry.h"
#include "engine/DatabaseFile.h"

namespace quillmark {

class DatabaseCatalog;

std::vector<ColumnLayout> ResolveTableSchema(DatabaseCatalog& catalog, const std::u16string& name,
                                             const std::string& type, const std::vector<ModuleTextEntry>& entries);
// The same, asking `lookups` for the catalog's rows (the catalog's own lookups
// above).
std::vector<ColumnLayout> ResolveTableSchema(DatabaseCatalog& catalog, const CatalogLookups& lookups,
                                             const std::u16string& name, const std::string& type,
                                             const std::vector<ModuleTextEntry>& entries);

// The page-map key of an allocation unit id (or a rowset id used as one): user
// allocation units of 2005 and later are keyed apart from the system tables; a
// map that keys no unit apart (a snapshot another program wrote) is read under
// the plain object field.
std::int32_t DataPageKeyOf(const PageMap& map, std::int64_t allocationUnitId);

// Column length and variable-length flag by type code.
std::int16_t LayoutLength(std::uint32_t typeCode, const std::u16string& typeText);
std::uint8_t LayoutVariableFlag(std::uint32_t typeCode);

}  // namespace quillmark
