// The streaming path from the command line: a scanned database's tables
// selected as the window selects them (so the listing's layouts, keys and
// deleted-row choices hold), then every row streamed from the pages to an
// export writer, with progress on the bar and Ctrl+C honoured between rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/HeadlessShell.h"
#include "cli/ExportWriter.h"
#include "cli/ShellSession.h"
#include "details/ModuleText.h"
#include "values/TableStream.h"

namespace quillmark::cli {

class TableExporter {
 public:
  // Scans `scan.file` through `session`; throws CliError when the scan fails.
  TableExporter(ShellSession& session, const app::ScanOptions& scan, ProgressBar* progress);

  // The user tables in the tree's order.
  std::vector<std::string> UserTables() const;
  // True when the user tables are in more than one schema.
  bool SeveralSchemas() const;
  // Selects the table `name` (a user table, or a system table of that name);
  // throws CliError when there is none.
  ExportedTable Select(const std::string& name);

  // Streams the selected table into `writer` (BeginTable to EndTable); `take`,
  // when given, sees each row first and may end the stream by returning false.
  // Throws CliError naming the table when a check after a page (`pageDone`) does.
  StreamResult Stream(const ExportedTable& table, ExportWriter& writer,
                      const std::function<void()>& pageDone = {});

  DatabaseCatalog& Catalog() const;
  // The module texts, read once before any table was selected.
  const ModuleTextStore& Modules() const { return modules_; }
  // Throws CliError when there is no table `name` to select.
  void CheckTable(const std::string& name) const { session_.TablePath(name); }
  LargeValueTexts largeValues = LargeValueTexts::kWhole;
  std::string progressText;  // shown before the table's name, "Exporting" by default

 private:
  ShellSession& session_;
  ProgressBar* progress_;
  std::uint8_t advanced_ = 0;
  ModuleTextStore modules_;
};

// "table 'T': 1 unreadable page, its rows are missing" (or N pages, their rows).
std::string UnreadablePagesText(const std::string& table, std::uint64_t pages);

// "dbo" for the default schema, else the schema's id as text.
std::string SchemaName(std::int32_t schemaId);

}  // namespace quillmark::cli
