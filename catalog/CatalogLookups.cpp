#include "catalog/CatalogLookups.h"

#include "catalog/DatabaseCatalog.h"

namespace quillmark {

void IndexedLookups::Update(const DatabaseCatalog& c) {
  objectsByName_.Update(c.objects, [](const CatalogObject& o) { return NameKey(o.name); });
  objectsById_.Update(c.objects, [](const CatalogObject& o) { return o.id; });
  objectsByParent_.Update(c.objects, [](const CatalogObject& o) { return o.parentId; });
  rowsetsByObject_.Update(c.rowsets, [](const CatalogRowset& r) { return r.objectId; });
  indexesByObject_.Update(c.indexes, [](const CatalogIndex& i) { return i.objectId; });
  unitsByOwner_.Update(c.allocUnits, [](const CatalogAllocUnit& u) { return u.ownerId; });
  unitsById_.Update(c.allocUnits, [](const CatalogAllocUnit& u) { return u.id; });
  columnsByTable_.Update(c.columns, [](const CatalogColumn& column) { return column.objectId & kColumnIdBits; });
  legacyColumnsByTable_.Update(c.legacyColumns,
                               [](const LegacyColumn& column) { return column.objectId & kColumnIdBits; });
  rowsetColumnsByRowset_.Update(c.rowsetColumns, [](const CatalogRowsetColumn& r) { return r.rowsetId; });
  object13ByRowset_.Update(c.object13Rows, [](const Object13Row& r) { return RowsetIdOf(r.value0, r.value4); });
  object4ByRowset_.Update(c.object4Rows, [](const Object4Row& r) { return RowsetIdOf(r.values[0], r.values[1]); });
  indexColumnsByIndex_.Update(c.indexColumns,
                              [](const CatalogIndexColumn& column) { return PairKey(column.objectId, column.indexId); });
  typesById_.Update(c.types, [](const CatalogType& t) { return t.id; });
  foreignKeysByTable_.Update(c.foreignKeyColumns, [](const ForeignKeyColumn& k) { return k.parentTableId; });
}

std::size_t IndexedLookups::Bytes() const {
  return objectsByName_.Bytes() + objectsById_.Bytes() + objectsByParent_.Bytes() + rowsetsByObject_.Bytes() +
         indexesByObject_.Bytes() + unitsByOwner_.Bytes() + unitsById_.Bytes() + columnsByTable_.Bytes() +
         legacyColumnsByTable_.Bytes() + rowsetColumnsByRowset_.Bytes() + object13ByRowset_.Bytes() +
         object4ByRowset_.Bytes() + indexColumnsByIndex_.Bytes() + typesById_.Bytes() + foreignKeysByTable_.Bytes();
}

}  // namespace quillmark
