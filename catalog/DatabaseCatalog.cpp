#include "catalog/DatabaseCatalog.h"

namespace quillmark {

DatabaseCatalog::DatabaseCatalog(DatabaseFile& database) : file(&database) { Build(); }

DatabaseCatalog::~DatabaseCatalog() = default;

const CatalogObject* DatabaseCatalog::ObjectById(std::int32_t id) const {
  for (const CatalogObject& object : objects)
    if (object.id == id) return &object;
  return nullptr;
}

std::vector<const CatalogColumn*> DatabaseCatalog::ColumnsOf(std::int32_t objectId) const {
  std::vector<const CatalogColumn*> found;
  for (const CatalogColumn& column : columns)
    if (column.objectId == objectId) found.push_back(&column);
  return found;
}

std::vector<const CatalogRowset*> DatabaseCatalog::RowsetsOf(std::int32_t objectId) const {
  std::vector<const CatalogRowset*> found;
  for (const CatalogRowset& rowset : rowsets)
    if (rowset.objectId == objectId) found.push_back(&rowset);
  return found;
}

std::vector<const CatalogAllocUnit*> DatabaseCatalog::AllocUnitsOf(std::int64_t rowsetId) const {
  std::vector<const CatalogAllocUnit*> found;
  for (const CatalogAllocUnit& unit : allocUnits)
    if (unit.ownerId == rowsetId) found.push_back(&unit);
  return found;
}

}  // namespace quillmark
