#include "catalog/DatabaseCatalog.h"

namespace quillmark {

DatabaseCatalog::DatabaseCatalog(DatabaseFile& database) : file(&database) { Build(); }

DatabaseCatalog::~DatabaseCatalog() = default;

const CatalogLookups& DatabaseCatalog::Lookups() const {
  lookups_.Update(*this);
  return lookups_;
}

const CatalogObject* DatabaseCatalog::ObjectById(std::int32_t id) const {
  const RowPositions found = Lookups().ObjectsWithId(id);
  return found.empty() ? nullptr : &objects[found.front()];
}

std::vector<const CatalogColumn*> DatabaseCatalog::ColumnsOf(std::int32_t objectId) const {
  std::vector<const CatalogColumn*> found;
  // The index groups ids with bits 24 and 25 cleared: the exact id is checked here.
  for (std::uint32_t at : Lookups().ColumnsOfTable(objectId & kColumnIdBits))
    if (columns[at].objectId == objectId) found.push_back(&columns[at]);
  return found;
}

std::vector<const CatalogRowset*> DatabaseCatalog::RowsetsOf(std::int32_t objectId) const {
  std::vector<const CatalogRowset*> found;
  for (std::uint32_t at : Lookups().RowsetsOfObject(objectId)) found.push_back(&rowsets[at]);
  return found;
}

std::vector<const CatalogAllocUnit*> DatabaseCatalog::AllocUnitsOf(std::int64_t rowsetId) const {
  std::vector<const CatalogAllocUnit*> found;
  for (std::uint32_t at : Lookups().AllocUnitsOwnedBy(rowsetId)) found.push_back(&allocUnits[at]);
  return found;
}

}  // namespace quillmark
