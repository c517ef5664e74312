#include "cli/Cli.h"

#include <fmt/format.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/OpenDatabase.h"
#include "cli/PageAddress.h"
#include "cli/ShellSession.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

constexpr std::int64_t kNoCollation = -1;
constexpr std::int64_t kNoLimit = -1;

struct Options {
  std::string file;
  std::string treePath;
  std::string logFolder;
  std::string csv;
  std::string output;
  std::string page;
  std::string list;
  std::string snapshot;
  std::string table;
  std::string name;
  std::string key;
  std::string format = "text";
  std::string exportFormat;
  std::int64_t offset = 0;
  std::int64_t limit = kNoLimit;
  bool json = false;
  bool userTables = false;
  bool tree = false;
  bool hex = false;
  bool quiet = false;
  bool deleted = false;
  bool advancedDeleted = false;
  bool advanced = false;
  bool verbose = false;
  bool all = false;
  bool placeholders = false;
  bool allTables = false;
  int pageNumber = 1;
  std::int64_t collation = kNoCollation;
  int ansiCodePage = 0;  // 0: the default
};

struct Commands {
  CLI::App* scan;
  CLI::App* show;
  CLI::App* exportRows;
  CLI::App* info;
  CLI::App* page;
  CLI::App* iam;
  CLI::App* objects;
  CLI::App* catalog;
  CLI::App* columns;
  CLI::App* rows;
  CLI::App* schema;
  CLI::App* definition;
  CLI::App* definitions;
  CLI::App* keyscript;
  CLI::App* snapshotSave;
  CLI::App* snapshotLoad;
};

// A command that opens a database: FILE first, and the options of the open.
CLI::App* AddCommand(CLI::App& parent, const char* name, const char* about, Options& options) {
  CLI::App* command = parent.add_subcommand(name, about);
  command->add_option("FILE", options.file, "the data file (.mdf)")->required();
  command->add_flag("--quiet", options.quiet, "draw no progress bar while the file is mapped");
  command->add_flag("--deleted", options.deleted, "read deleted (ghost) rows of the system tables too");
  command->add_flag("--advanced-deleted", options.advancedDeleted,
                    "also read rows found by the deleted-record scan (implies --deleted)");
  command->add_option("--collation", options.collation, "collation id to use instead of the boot page's")
      ->check(CLI::NonNegativeNumber);
  command->add_option("--ansi-codepage", options.ansiCodePage, "code page for text without a collation");
  return command;
}

void AddPageArgument(CLI::App& command, Options& options) {
  command.add_option("PAGE", options.page, "page number N, or FILEID:N")->required();
}

// The open dialog's mode choice, for the commands that scan through the shell.
void AddAdvancedFlag(CLI::App& command, Options& options) {
  command.add_flag("--advanced", options.advanced,
                   "Advanced Mode: list a table from every page indexed for it, not by its page chain");
}

// Large values come out whole unless the listing's placeholder texts are asked for.
void AddPlaceholdersFlag(CLI::App& command, Options& options) {
  command.add_flag("--placeholders", options.placeholders,
                   "large values as the records list shows them (\"<BINARY DATA>\", \"<BIG BINARY DATA>\") "
                   "instead of whole");
}

void AddScanCommands(CLI::App& app, Commands& c, Options& options) {
  c.scan = AddCommand(app, "scan", "scan a file as the window does: its log lines, then the object tree", options);
  AddAdvancedFlag(*c.scan, options);
  c.show = AddCommand(app, "show", "what the window shows for one tree item: a page of rows, a definition or a script",
                      options);
  c.show->add_option("PATH", options.treePath,
                     "node texts separated by '/', from any node below the root, e.g. \"User Tables/Orders\"")
      ->required();
  AddAdvancedFlag(*c.show, options);
  c.show->add_option("--page", options.pageNumber, "the page of rows to show (Next Records N-1 times)")
      ->check(CLI::PositiveNumber);
  c.show->add_option("--csv", options.csv, "save the shown page as the CSV command does (UTF-16LE)");
  c.show->add_flag("--verbose", options.verbose, "print the log lines too");
  for (CLI::App* command : {c.scan, c.show})
    command->add_option("--log-folder", options.logFolder, "the folder of the log file (default: the desktop)");
}

void AddRowsCommand(CLI::App& app, Commands& c, Options& options) {
  c.rows = AddCommand(app, "rows", "a table's rows as the records list lists them", options);
  c.rows->add_option("TABLE", options.table, "a user table, or a system table of that name")->required();
  c.rows
      ->add_option("--format", options.format,
                   "text: aligned blocks of 100 rows, cells cut to 40 characters with \"…\" and line breaks shown "
                   "as \"↵\"; csv: RFC 4180, UTF-8, CRLF; jsonl: the column names, then one JSON array per row")
      ->check(CLI::IsMember({"text", "csv", "jsonl"}))
      ->capture_default_str();
  c.rows->add_flag("--all", options.all, "every page of rows (Next Records until it is disabled), not only the first 1000");
  AddAdvancedFlag(*c.rows, options);
  AddPlaceholdersFlag(*c.rows, options);
  c.rows->add_option("--offset", options.offset, "skip this many rows first")->check(CLI::NonNegativeNumber);
  c.rows->add_option("--limit", options.limit, "print at most this many rows")->check(CLI::NonNegativeNumber);

  c.exportRows = AddCommand(app, "export",
                            "every row of a table, or of every user table, streamed from the pages to a file", options);
  c.exportRows->add_option("TABLE", options.table, "a user table, or a system table of that name");
  c.exportRows->add_option("OUT", options.output,
                           "the file to write; with --all-tables in csv or jsonl, a directory of one file per table");
  c.exportRows->add_flag("--all-tables", options.allTables, "every user table: into one .db/.sqlite or .sql file, "
                                                            "or a directory of csv or jsonl files");
  c.exportRows
      ->add_option("--format", options.exportFormat,
                   "csv: RFC 4180, UTF-8, CRLF; jsonl: JSON lines; sqlite: a SQLite database; sql: a T-SQL script "
                   "(default: from OUT's extension .csv, .jsonl, .db, .sqlite or .sql)")
      ->check(CLI::IsMember({"csv", "jsonl", "sqlite", "sql"}));
  AddAdvancedFlag(*c.exportRows, options);
  AddPlaceholdersFlag(*c.exportRows, options);

  c.schema = AddCommand(app, "schema", "the DDL of every user table, then the views, functions, procedures and triggers",
                        options);
  c.schema->add_option("--format", options.exportFormat, "tsql: a T-SQL script; sqlite: SQLite's CREATE TABLEs")
      ->check(CLI::IsMember({"tsql", "sqlite"}));
}

void AddDefinitionCommands(CLI::App& app, Commands& c, Options& options) {
  c.definition = AddCommand(app, "definition", "the definition text of a view, procedure, function, trigger, default or constraint", options);
  c.definition->add_option("NAME", options.name, "the object's name")->required();
  c.definitions = AddCommand(app, "definitions", "every view, procedure, function, trigger, default and check constraint with its text", options);
  c.definitions->add_flag("--json", options.json, "print a JSON array of {name, type, definition}");
  c.keyscript = AddCommand(app, "keyscript", "the ALTER TABLE script of a table's primary key, unique key or constraint", options);
  c.keyscript->add_option("TABLE", options.table, "a user table, or a system table of that name")->required();
  c.keyscript->add_option("KEY", options.key, "the key's or constraint's name")->required();
}

Commands AddCommands(CLI::App& app, Options& options) {
  Commands c{};
  AddScanCommands(app, c, options);
  c.info = AddCommand(app, "info", "version, database name, collation and page map of a file", options);
  c.info->add_flag("--json", options.json, "print one JSON object");
  c.page = AddCommand(app, "page", "a page's header, slots and records", options);
  AddPageArgument(*c.page, options);
  c.page->add_flag("--hex", options.hex, "add a hex dump of the page");
  c.iam = AddCommand(app, "iam", "an IAM page's header, single pages and extents", options);
  AddPageArgument(*c.iam, options);
  c.objects = AddCommand(app, "objects", "the database's objects as the object tree groups them", options);
  c.objects->add_flag("--json", options.json, "print one JSON object");
  c.objects->add_flag("--user-tables", options.userTables, "print only the user tables' names, one per line")
      ->excludes("--json");
  c.catalog = AddCommand(app, "catalog", "every record of one catalog list", options);
  c.catalog->add_option("LIST", options.list, "files, objects, allocunits, rowsets, columns, ... legacyindexes")
      ->required();
  c.catalog->add_flag("--json", options.json, "print a JSON array");
  c.columns = AddCommand(app, "columns", "a table's columns with their types and keys", options);
  c.columns->add_option("TABLE", options.table, "a user table, or a system table of that name")->required();
  c.columns->add_flag("--json", options.json, "print a JSON array with every field of each column");
  AddRowsCommand(app, c, options);
  AddDefinitionCommands(app, c, options);

  CLI::App* snapshot = app.add_subcommand("snapshot", "save or load the page maps of a database");
  snapshot->require_subcommand(1);
  c.snapshotSave = AddCommand(*snapshot, "save", "open FILE and save its page maps to SNAPSHOT", options);
  c.snapshotSave->add_option("SNAPSHOT", options.snapshot, "the snapshot file to write")->required();
  c.snapshotLoad = snapshot->add_subcommand("load", "open a database through a snapshot and list its objects");
  c.snapshotLoad->add_option("SNAPSHOT", options.snapshot, "a snapshot file")->required();
  c.snapshotLoad->add_flag("--json", options.json, "print one JSON object");
  c.snapshotLoad->add_flag("--tree", options.tree, "print the object tree as scan does")->excludes("--json");
  c.snapshotLoad->add_flag("--quiet", options.quiet, "draw no progress bar while the maps are loaded");
  return c;
}

// CLI11 reports a misspelt command as a missing one; name the word instead.
std::string ParseErrorText(const CLI::App& app, const CLI::ParseError& error, int argc, const char* const* argv) {
  if (app.get_subcommands().empty() && argc > 1 && argv[1][0] != '-')
    return fmt::format("unknown command '{}': expected scan, show, info, page, iam, objects, catalog, columns, rows, "
                       "export, schema, definition, definitions, keyscript or snapshot",
                       argv[1]);
  return OneLine(error.what());
}

// The bar is drawn only where a person watches: stderr itself, on a terminal.
std::unique_ptr<ProgressBar> ProgressFor(std::ostream& err, bool quiet) {
  if (quiet || &err != &std::cerr || !isatty(STDERR_FILENO)) return nullptr;
  return std::make_unique<ProgressBar>(err);
}

PageId PageArgument(const std::string& text) {
  auto page = ParsePageAddress(text);
  if (!page) throw CliError("invalid page '" + text + "': expected N or FILEID:N, for example 9 or 1:9");
  return *page;
}

// Every run starts from the initial settings, then takes the open options.
void PrepareSettings(const Options& options) {
  if (options.ansiCodePage != 0 && !platform::IsSupportedCodePage(options.ansiCodePage))
    throw CliError(fmt::format("unsupported code page {}", options.ansiCodePage));
  ResetSettings();
  LoadCollationList();
  platform::SetAnsiCodePage(options.ansiCodePage != 0 ? options.ansiCodePage : platform::kDefaultAnsiCodePage);
  AppSettings& settings = Settings();
  settings.showDeletedRecords = options.deleted || options.advancedDeleted;
  settings.showAdvancedDeletedRecords = options.advancedDeleted;
  if (options.collation != kNoCollation) {
    settings.autoDetectCollation = 0;
    settings.manualCollation = options.collation;
  }
}

// The open dialog's choices; a manual collation must be one the dialog lists.
app::ScanOptions ScanOptionsOf(const Options& options) {
  app::ScanOptions scan;
  scan.file = options.file;
  scan.advanced = options.advanced;
  scan.showDeleted = options.deleted || options.advancedDeleted;
  scan.showAdvancedDeleted = options.advancedDeleted;
  if (options.collation != kNoCollation) {
    CheckListedCollation(options.collation);
    scan.collation = options.collation;
  }
  if (!options.logFolder.empty()) scan.logFolder = options.logFolder;
  return scan;
}

LargeValueTexts LargeValuesOf(const Options& options) {
  return options.placeholders ? LargeValueTexts::kPlaceholders : LargeValueTexts::kWhole;
}

RowsRequest RowsRequestOf(const Options& options) {
  RowsRequest request{options.table, options.format, static_cast<std::uint64_t>(options.offset), std::nullopt,
                      options.all, LargeValuesOf(options)};
  if (options.limit != kNoLimit) request.limit = static_cast<std::uint64_t>(options.limit);
  return request;
}

// TABLE OUT, or with --all-tables only OUT (CLI11 hands a lone positional to TABLE).
ExportRequest ExportRequestOf(const Options& options) {
  ExportRequest request;
  request.allTables = options.allTables;
  request.table = options.table;
  request.output = options.output;
  if (options.allTables && !options.table.empty() && options.output.empty()) std::swap(request.table, request.output);
  if (options.allTables && !request.table.empty())
    throw CliError("export --all-tables takes OUT only, not a table name");
  if (request.output.empty()) throw CliError("export needs TABLE and OUT, or --all-tables OUT");
  if (!options.exportFormat.empty()) request.format = options.exportFormat;
  request.largeValues = LargeValuesOf(options);
  return request;
}

ShowRequest ShowRequestOf(const Options& options) {
  ShowRequest request{options.treePath, options.pageNumber, std::nullopt, options.verbose};
  if (!options.csv.empty()) request.csv = options.csv;
  return request;
}

// The commands that drive the shell; their exit code, or nothing when `c`
// names none of them.
std::optional<int> RunShellCommand(const Commands& c, const Options& options, ProgressBar* progress,
                                   std::ostream& out, std::ostream& err) {
  if (c.snapshotLoad->parsed()) {
    SnapshotLoadCommand(options.snapshot, options.tree ? "tree" : options.json ? "json" : "text", progress, out, err);
    return 0;
  }
  const bool shell = c.scan->parsed() || c.show->parsed() || c.rows->parsed() || c.exportRows->parsed() ||
                     c.schema->parsed() || c.snapshotSave->parsed();
  if (!shell) return std::nullopt;
  const app::ScanOptions scan = ScanOptionsOf(options);
  if (c.scan->parsed()) return ScanCommand(scan, progress, out, err);
  if (c.show->parsed()) ShowCommand(scan, ShowRequestOf(options), progress, out, err);
  if (c.rows->parsed()) return RowsCommand(scan, RowsRequestOf(options), progress, out, err);
  if (c.exportRows->parsed()) return ExportCommand(scan, ExportRequestOf(options), progress, out, err);
  if (c.schema->parsed())
    SchemaCommand(scan, options.exportFormat.empty() ? "tsql" : options.exportFormat, progress, out, err);
  if (c.snapshotSave->parsed()) SnapshotSaveCommand(scan, options.snapshot, progress, out, err);
  return 0;
}

int Run(const Commands& c, const Options& options, std::ostream& out, std::ostream& err) {
  std::optional<PageId> pageId;
  if (c.page->parsed() || c.iam->parsed()) pageId = PageArgument(options.page);
  if (c.catalog->parsed()) CheckCatalogList(options.list);
  PrepareSettings(options);
  auto progress = ProgressFor(err, options.quiet);
  if (const std::optional<int> code = RunShellCommand(c, options, progress.get(), out, err)) return *code;
  const bool withCatalog = c.objects->parsed() || c.catalog->parsed() || c.columns->parsed() ||
                           c.definition->parsed() || c.definitions->parsed() || c.keyscript->parsed();
  auto db = OpenDatabase(options.file, progress.get(), withCatalog);
  if (c.info->parsed()) InfoCommand(*db.file, options.json, out, err);
  if (c.page->parsed()) PageCommand(*db.file, *pageId, options.hex, out);
  if (c.iam->parsed()) IamCommand(*db.file, *pageId, out);
  if (c.objects->parsed() && options.userTables) UserTableNamesCommand(*db.catalog, out);
  if (c.objects->parsed() && !options.userTables) ObjectsCommand(*db.catalog, options.json, out);
  if (c.catalog->parsed()) CatalogCommand(*db.catalog, options.list, options.json, out);
  if (c.columns->parsed()) ColumnsCommand(*db.catalog, options.table, options.json, out);
  if (c.definition->parsed()) DefinitionCommand(*db.catalog, options.name, out);
  if (c.definitions->parsed()) DefinitionsCommand(*db.catalog, options.json, out);
  if (c.keyscript->parsed()) KeyScriptCommand(*db.catalog, options.table, options.key, out);
  return 0;
}

}  // namespace

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Reads SQL Server data files (.mdf) page by page, without a server.", "quillmark-cli"};
  app.require_subcommand(1);
  Options options;
  const Commands commands = AddCommands(app, options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success&) {
    out << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    err << "quillmark-cli: " << ParseErrorText(app, error, argc, argv) << "\n";
    return 1;
  }

  try {
    return Run(commands, options, out, err);
  } catch (const std::exception& error) {
    err << "quillmark-cli: " << OneLine(error.what()) << "\n";
    return 1;
  }
}

}  // namespace quillmark::cli
