// The catalog of one opened database: every system-table row the build read,
// in the order it was met, and the records derived from them. Filled once by
// the build, then only read, except for the working set of the selected object.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "catalog/CatalogLookups.h"
#include "catalog/CatalogModel.h"
#include "catalog/CatalogReader.h"

namespace quillmark {

class DatabaseFile;

class DatabaseCatalog {
 public:
  // Builds the catalog of an opened file: boot page, file table and secondary
  // files, objects, allocation units, rowsets, columns, types, and in files of
  // SQL Server 2005 and later the rowset columns, references, indexes and the
  // derived object details and foreign-key columns.
  explicit DatabaseCatalog(DatabaseFile& file);
  ~DatabaseCatalog();
  DatabaseCatalog(const DatabaseCatalog&) = delete;
  DatabaseCatalog& operator=(const DatabaseCatalog&) = delete;

  // Lookups take the first match, in list order.
  // The row lookups over the lists, brought up to date with them first.
  const CatalogLookups& Lookups() const;
  // The bytes the lookups' indexes take.
  std::size_t LookupBytes() const { return lookups_.Bytes(); }
  const CatalogObject* ObjectById(std::int32_t id) const;
  std::vector<const CatalogColumn*> ColumnsOf(std::int32_t objectId) const;
  std::vector<const CatalogRowset*> RowsetsOf(std::int32_t objectId) const;
  std::vector<const CatalogAllocUnit*> AllocUnitsOf(std::int64_t rowsetId) const;

  DatabaseFile* file = nullptr;  // not owned
  std::unique_ptr<CatalogReader> reader;

  std::vector<CatalogFile> files;
  std::vector<CatalogObject> objects;
  std::vector<CatalogAllocUnit> allocUnits;
  std::vector<CatalogRowset> rowsets;
  std::map<std::int32_t, LegacyIndexEntry> legacyIndexes;  // by object id
  std::vector<LegacyTable> legacyTables;
  std::vector<LegacyColumn> legacyColumns;
  std::vector<CatalogColumn> columns;
  std::vector<CatalogType> types;
  std::vector<CatalogRowsetColumn> rowsetColumns;
  std::vector<CatalogReference> references;
  std::vector<CatalogIndex> indexes;
  std::vector<CatalogIndexColumn> indexColumns;
  std::vector<Object13Row> object13Rows;
  std::vector<Object4Row> object4Rows;
  std::vector<ObjectDetail> objectDetails;
  std::vector<ObjectDetail> referencedDetails;
  std::vector<ForeignKeyColumn> foreignKeyColumns;

  SelectedTable selected;

 private:
  mutable IndexedLookups lookups_;

  void Build();
  void ReadObjects();
  void ReadColumns();
  void SynthesizeTablesFromColumns();
  void ReadLaterTables();
  void CompactLists();
  void DeriveObjectDetails();
  void DeriveForeignKeyColumns();
};

}  // namespace quillmark
