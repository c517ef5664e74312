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
  ReadObjects();
  const bool sql2000 = Settings().isSql2000 != 0;
  if (!StopRequested()) ReadAllocUnits(*reader, sql2000 ? kLegacyAllocationTableId : kAllocUnitTableId, allocUnits);
  ReadRowsets(*reader, rowsets);
  ReadColumns();
  if (objects.empty()) SynthesizeTablesFromColumns();
  ReadTypes(*reader, types);
  if (!sql2000) ReadLaterTables();
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
    for (const auto& [objectId, entry] : legacyIndexes) {
      if (objectId <= kLastSystemTableId || entry.indexId != 1) continue;
      const CatalogObject* object = ObjectById(objectId);
      legacyTables.push_back(LegacyTable{objectId, object ? object->name : u"", u"", {}});
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
  for (std::int32_t id : ids) {
    if (id <= 0 || ObjectById(id)) continue;
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
  if (StopRequested()) return;
  DeriveObjectDetails();
  DeriveForeignKeyColumns();
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
  for (const CatalogReference& reference : references) {
    for (ObjectDetail& detail : objectDetails) {
      if (detail.id != reference.dependentId || reference.dependentSubId != 0) continue;
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

void DatabaseCatalog::DeriveForeignKeyColumns() {
  for (const CatalogReference& parent : references) {
    if (parent.referenceClass != 28) continue;
    for (const CatalogReference& referenced : references) {
      if (referenced.referenceClass != 29 || referenced.dependentId != parent.dependentId ||
          referenced.dependentSubId != parent.dependentSubId)
        continue;
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
  for (ForeignKeyColumn& key : foreignKeyColumns) {
    for (const CatalogObject& object : objects) {
      if (object.id == key.parentTableId) key.parentTableName = object.name;
      if (object.id == key.referencedTableId) key.referencedTableName = object.name;
      if (object.id == key.constraintId) {
        key.constraintName = object.name;
        key.constraintStatus = object.status;
      }
    }
    for (const CatalogColumn& column : columns) {
      if (column.objectId == key.parentTableId && column.columnId == key.parentColumnId)
        key.parentColumnName = column.name;
      if (column.objectId == key.referencedTableId && column.columnId == key.referencedColumnId)
        key.referencedColumnName = column.name;
    }
  }
}

}  // namespace quillmark
