// The commands behind quillmark-cli. Each prints its report to `out` and throws
// CliError for anything that ends it early; the message is one line.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "app/HeadlessShell.h"
#include "catalog/DatabaseCatalog.h"
#include "cli/ProgressBar.h"
#include "engine/DatabaseFile.h"
#include "values/TableStream.h"

namespace quillmark::cli {

struct CliError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Messages can hold line breaks; a report line never does: each becomes a blank.
std::string OneLine(std::string text);

void InfoCommand(DatabaseFile& db, bool json, std::ostream& out, std::ostream& err);
void PageCommand(DatabaseFile& db, PageId page, bool hex, std::ostream& out);
void IamCommand(DatabaseFile& db, PageId page, std::ostream& out);
void ObjectsCommand(const DatabaseCatalog& catalog, bool json, std::ostream& out);
// One user table name per line, for scripts that go through the tables.
void UserTableNamesCommand(const DatabaseCatalog& catalog, std::ostream& out);
void ColumnsCommand(DatabaseCatalog& catalog, const std::string& table, bool json, std::ostream& out);

// The commands below drive the shell: they scan FILE through the open dialog
// (`scan` holds its choices), click tree items and page with Next Records, and
// print what the window then shows. `progress`, when given, draws the mapping
// pass; failures throw CliError with the window's own text.

// Prints the log lines as they arrive, then the object tree; 0 when the scan
// ended with "Scanning process completed.", else 1. Error boxes go to `err`.
int ScanCommand(const app::ScanOptions& scan, ProgressBar* progress, std::ostream& out, std::ostream& err);

struct ShowRequest {
  std::string path;  // node texts separated by '/', from any node below the root
  int page = 1;
  std::optional<std::string> csv;  // export the shown page there (command 340)
  bool verbose = false;            // print the log lines too
};
// Selects the tree item `path` names and prints the status label and the rows
// of its page, or the text view's text.
void ShowCommand(const app::ScanOptions& scan, const ShowRequest& request, ProgressBar* progress, std::ostream& out,
                 std::ostream& err);

struct RowsRequest {
  std::string table;
  std::string format = "text";  // text, csv or jsonl
  std::uint64_t offset = 0;     // rows skipped first
  std::optional<std::uint64_t> limit;
  bool all = false;  // every page, not only the first
  LargeValueTexts largeValues = LargeValueTexts::kWhole;  // with `all`
};
// The rows the records list shows for the user table (or system table)
// `table` on its first page, or with `all` every row by the streaming path, in
// the listing's order. 1 when pages could not be read (their rows are missing).
int RowsCommand(const app::ScanOptions& scan, const RowsRequest& request, ProgressBar* progress, std::ostream& out,
                std::ostream& err);

struct ExportRequest {
  std::string table;                  // with allTables: none
  bool allTables = false;             // every user table
  std::optional<std::string> format;  // csv, jsonl, sqlite or sql; else from the output's extension
  std::string output;                 // a file, or with allTables in csv or jsonl a directory
  LargeValueTexts largeValues = LargeValueTexts::kWhole;
};
// Every row of the table, or of every user table, streamed to
// `request.output`. 1 when pages could not be read (their rows are missing).
int ExportCommand(const app::ScanOptions& scan, const ExportRequest& request, ProgressBar* progress,
                  std::ostream& out, std::ostream& err);

// The DDL of every user table (and the module texts after them): `format` tsql
// or sqlite.
void SchemaCommand(const app::ScanOptions& scan, const std::string& format, ProgressBar* progress, std::ostream& out,
                   std::ostream& err);

// Save snapshot (342) after a scan of `scan.file`.
void SnapshotSaveCommand(const app::ScanOptions& scan, const std::string& snapshotPath, ProgressBar* progress,
                         std::ostream& out, std::ostream& err);
// Load snapshot (341), then the objects of the loaded database as `objects`
// prints them (`format` text or json), or the object tree as `scan` prints it
// (tree).
void SnapshotLoadCommand(const std::string& snapshotPath, const std::string& format, ProgressBar* progress,
                         std::ostream& out, std::ostream& err);

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

}  // namespace quillmark::cli
