// The catalog build: the system tables read in a fixed order, the choice between
// the SQL Server 2000 layout and the later one, and the records derived from
// the rows.

#include <fmt/format.h>

#include <unordered_set>

#include "catalog/DatabaseCatalog.h"
#include "catalog/SecondaryFiles.h"
#include "catalog/SystemTables.h"
#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"

namespace quillmark {
namespace {

constexpr std::int32_t kLastSystemTableId = 100;

// Lookups take the first object of an id: the later rows of an id (a damaged
// file repeating one object row over many pages) are dropped, so that the
// tree and every list built from the objects hold each object once. Rows whose
// id could not be read (-1) are not one object and all stay.
void KeepFirstObjectOfEachId(std::vector<CatalogObject>& objects) {
  std::unordered_set<std::int32_t> seen;
  seen.reserve(objects.size());
  std::erase_if(objects, [&](const CatalogObject& object) { return object.id != -1 && !seen.insert(object.id).second; });
}

}  // namespace

void DatabaseCatalog::Build() {
  selected = SelectedTable{};
  reader = std::make_unique<CatalogReader>(*file);
  file->ReadBootPage();
  if (!StopRequested()) ReadFileTable(*reader, files);
  CheckSecondaryFiles(files, *file, file->path);
  // The progress bar follows the system pages read, at most every one mapped.
  std::uint64_t systemPageCount = 0;
  for (const auto& [objectId, pages] : file->systemPages) systemPageCount += pages.size();
  reader->StartProgress(systemPageCount);
  ReadObjects();
  const bool sql2000 = Settings().isSql2000 != 0;
  if (!StopRequested()) ReadAllocUnits(*reader, sql2000 ? kLegacyAllocationTableId : kAllocUnitTableId, allocUnits);
  ReadRowsets(*reader, rowsets);
  ReadColumns();
  if (objects.empty()) SynthesizeTablesFromColumns();
  if (sql2000)
    ReadLegacyTypes(*reader, types);
  else
    ReadTypes(*reader, types);
  if (!sql2000) ReadLaterTables();
  CompactLists();
  if (!sql2000 && !StopRequested()) {
    DeriveObjectDetails();
    DeriveForeignKeyColumns();
    objectDetails.shrink_to_fit();
    referencedDetails.shrink_to_fit();
    foreignKeyColumns.shrink_to_fit();
  }
  reader->EndProgress();
  // The lookups are built now, while the scan still shows its progress.
  if (!StopRequested()) Lookups();
}

// The object table decides the layout: rows in sysschobjs mean 2005 or later,
// rows in sysobjects mean SQL Server 2000. With neither, the file is taken for a
// 2000 file only when it has no syscolpars either, so that a later file whose
// object table is lost still gets its columns, and its tables built from them.
void DatabaseCatalog::ReadObjects() {
  Settings().isSql2000 = 0;
  reader->ResetCounter();
  ReadObjectTable(*reader, objects);
  KeepFirstObjectOfEachId(objects);
  reader->ResetCounter();
  if (!objects.empty()) return;
  ReadLegacyObjectTable(*reader, objects);
  KeepFirstObjectOfEachId(objects);
  reader->ResetCounter();
  if (!objects.empty() || file->SystemPages(kColumnTableId).empty()) Settings().isSql2000 = 1;
}

void DatabaseCatalog::ReadColumns() {
  if (Settings().isSql2000) {
    ReadLegacyIndexes(*reader, legacyIndexes);
    PositionIndex<std::int32_t> objectsById;
    objectsById.Update(objects, [](const CatalogObject& object) { return object.id; });
    for (const auto& [objectId, entry] : legacyIndexes) {
      if (objectId <= kLastSystemTableId || entry.indexId != 1) continue;
      const RowPositions object = objectsById.Find(objectId);  // the first with the id
      legacyTables.push_back(LegacyTable{objectId, object.empty() ? u"" : objects[object.front()].name, u"", {}});
    }
    ReadLegacyColumns(*reader, legacyColumns, legacyTables);
    return;
  }
  reader->ResetCounter();
  ReadColumnTable(*reader, kColumnTableId, columns);
  ReadColumnTable(*reader, kExtraColumnTableId, columns);
  reader->ResetCounter();
}

// Tables named by their decimal id, one per object that has columns. Rows
// without an object id (no fixed part, or system objects' negative ids) make
// no table.
void DatabaseCatalog::SynthesizeTablesFromColumns() {
  std::vector<std::int32_t> ids;
  if (Settings().isSql2000) {
    for (const LegacyColumn& column : legacyColumns) ids.push_back(column.objectId);
  } else {
    for (const CatalogColumn& column : columns) ids.push_back(column.objectId);
  }
  // Only synthesized objects are in the list (it was empty): a set of their ids answers "already there".
  std::unordered_set<std::int32_t> made;
  for (std::int32_t id : ids) {
    if (id <= 0 || !made.insert(id).second) continue;
    CatalogObject object;
    object.id = id;
    std::string name = fmt::format("{}", id);
    object.name = std::u16string(name.begin(), name.end());
    object.type = "U ";
    objects.push_back(std::move(object));
  }
}

void DatabaseCatalog::ReadLaterTables() {
  ReadRowsetColumns(*reader, rowsetColumns);
  ReadReferences(*reader, references);
  ReadIndexes(*reader, indexes);
  ReadIndexColumns(*reader, indexColumns);
  ReadObject13Rows(*reader, object13Rows);
  ReadObject4Rows(*reader, object4Rows);
}

// The lists grew row by row: they give back what they hold beyond their rows.
void DatabaseCatalog::CompactLists() {
  files.shrink_to_fit();
  objects.shrink_to_fit();
  allocUnits.shrink_to_fit();
  rowsets.shrink_to_fit();
  legacyTables.shrink_to_fit();
  legacyColumns.shrink_to_fit();
  columns.shrink_to_fit();
  types.shrink_to_fit();
  rowsetColumns.shrink_to_fit();
  references.shrink_to_fit();
  indexes.shrink_to_fit();
  indexColumns.shrink_to_fit();
  object13Rows.shrink_to_fit();
  object4Rows.shrink_to_fit();
}

void DatabaseCatalog::DeriveObjectDetails() {
  for (const CatalogObject& object : objects) {
    if (object.namespaceClass != 0 || object.parentClass != 1) continue;
    ObjectDetail detail;
    detail.name = object.name;
    detail.id = object.id;
    detail.schemaId = object.schemaId;
    detail.parentId = object.parentId;
    detail.type = object.type;
    detail.property = object.property;
    objectDetails.push_back(std::move(detail));
  }
  PositionIndex<std::int32_t> detailsById;
  detailsById.Update(objectDetails, [](const ObjectDetail& detail) { return detail.id; });
  for (const CatalogReference& reference : references) {
    if (reference.dependentSubId != 0) continue;
    for (std::uint32_t at : detailsById.Find(reference.dependentId)) {
      ObjectDetail& detail = objectDetails[at];
      if (reference.referenceClass == 97) {
        detail.class97ReferenceId = reference.independentId;
      } else if (reference.referenceClass == 27) {
        detail.class27ReferenceId = reference.independentId;
        detail.class27ReferenceSubId = reference.independentSubId;
      } else {
        continue;
      }
      referencedDetails.push_back(detail);
    }
  }
}

// Each pair of a class-28 reference (the parent column) and a class-29 one of
// the same constraint and ordinal (the referenced column) is one foreign-key
// column; the names are those of the last object and the last column row that
// match.
void DatabaseCatalog::DeriveForeignKeyColumns() {
  PositionIndex<std::int64_t> referencedByKey;
  referencedByKey.Update(references, [](const CatalogReference& reference) {
    return reference.referenceClass == 29 ? PairKey(reference.dependentId, reference.dependentSubId) : 0;
  });
  for (const CatalogReference& parent : references) {
    if (parent.referenceClass != 28) continue;
    for (std::uint32_t at : referencedByKey.Find(PairKey(parent.dependentId, parent.dependentSubId))) {
      const CatalogReference& referenced = references[at];
      if (referenced.referenceClass != 29) continue;
      ForeignKeyColumn column;
      column.constraintId = parent.dependentId;
      column.ordinal = parent.dependentSubId;
      column.parentTableId = parent.independentId;
      column.parentColumnId = parent.independentSubId;
      column.referencedTableId = referenced.independentId;
      column.referencedColumnId = referenced.independentSubId;
      foreignKeyColumns.push_back(std::move(column));
    }
  }
  if (foreignKeyColumns.empty()) return;
  const CatalogLookups& lookups = Lookups();
  auto lastObject = [&](std::int32_t id) -> const CatalogObject* {
    const RowPositions found = lookups.ObjectsWithId(id);
    return found.empty() ? nullptr : &objects[found.back()];
  };
  PositionIndex<std::int64_t> columnsById;
  columnsById.Update(columns, [](const CatalogColumn& column) { return PairKey(column.objectId, column.columnId); });
  auto lastColumn = [&](std::int32_t tableId, std::int32_t columnId) -> const CatalogColumn* {
    const RowPositions found = columnsById.Find(PairKey(tableId, columnId));
    return found.empty() ? nullptr : &columns[found.back()];
  };
  for (ForeignKeyColumn& key : foreignKeyColumns) {
    if (const CatalogObject* table = lastObject(key.parentTableId)) key.parentTableName = table->name;
    if (const CatalogObject* table = lastObject(key.referencedTableId)) key.referencedTableName = table->name;
    if (const CatalogObject* constraint = lastObject(key.constraintId)) {
      key.constraintName = constraint->name;
      key.constraintStatus = constraint->status;
    }
    if (const CatalogColumn* column = lastColumn(key.parentTableId, key.parentColumnId))
      key.parentColumnName = column->name;
    if (const CatalogColumn* column = lastColumn(key.referencedTableId, key.referencedColumnId))
      key.referencedColumnName = column->name;
  }
}

}  // namespace quillmark
