// The commands behind quillmark-cli. Each prints its report to `out` and throws
// CliError for anything that ends it early; the message is one line.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "catalog/DatabaseCatalog.h"
#include "engine/DatabaseFile.h"

namespace quillmark::cli {

struct CliError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void InfoCommand(DatabaseFile& db, bool json, std::ostream& out);
void PageCommand(DatabaseFile& db, PageId page, bool hex, std::ostream& out);
void IamCommand(DatabaseFile& db, PageId page, std::ostream& out);
void ObjectsCommand(const DatabaseCatalog& catalog, bool json, std::ostream& out);
// One user table name per line, for scripts that go through the tables.
void UserTableNamesCommand(const DatabaseCatalog& catalog, std::ostream& out);
void ColumnsCommand(DatabaseCatalog& catalog, const std::string& table, bool json, std::ostream& out);

struct RowsRequest {
  std::string table;
  std::string format = "text";  // text, csv or jsonl
  std::uint64_t offset = 0;     // rows skipped first
  std::optional<std::uint64_t> limit;
};
void RowsCommand(DatabaseCatalog& catalog, const RowsRequest& request, std::ostream& out);

// The definition text of the view, procedure, function, trigger, default or
// constraint `name`, found as a selection in the object tree finds it, printed
// as it is stored (CR LF kept).
void DefinitionCommand(DatabaseCatalog& catalog, const std::string& name, std::ostream& out);
// Every view, procedure, function, trigger, default and check constraint in
// catalog order with its type and definition.
void DefinitionsCommand(DatabaseCatalog& catalog, bool json, std::ostream& out);
// The ALTER TABLE script the text view shows for the key or constraint `key`
// of `table`; foreign keys have none.
void KeyScriptCommand(DatabaseCatalog& catalog, const std::string& table, const std::string& key, std::ostream& out);

// Throws CliError naming the valid lists when `list` is not one of them.
void CheckCatalogList(const std::string& list);
void CatalogCommand(const DatabaseCatalog& catalog, const std::string& list, bool json, std::ostream& out);

void SnapshotSaveCommand(const DatabaseFile& file, const std::string& databasePath, const std::string& snapshotPath,
                         std::ostream& out);
// Reads the snapshot's header and puts its options in place for the next open;
// returns the path of the database it was taken from.
std::string ApplySnapshot(const std::string& snapshotPath);

}  // namespace quillmark::cli
