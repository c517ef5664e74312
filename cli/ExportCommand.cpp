// `export`: one table or every user table, streamed from the pages to a csv or
// jsonl file, a directory of them, a SQLite database or a T-SQL script.
// Whatever stops an export early (a failed write, Ctrl+C) removes what it
// wrote, or for a directory says which tables are complete.
#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/SqlScriptWriter.h"
#include "cli/SqliteWriter.h"
#include "cli/TableExport.h"

namespace quillmark::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFileBuffer = 1 << 20;

std::string SystemError() { return errno != 0 ? std::strerror(errno) : "write failed"; }

std::string Rows(std::uint64_t count) { return fmt::format("{} {}", count, count == 1 ? "row" : "rows"); }

// A file written through a large buffer; a failed write is found after the
// page that caused it and ends the export there.
class OutputFile {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)), buffer_(kFileBuffer) {
    file_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    // Only a file the export writes is removed when it fails, never a device or a pipe.
    std::error_code error;
    const fs::file_status status = fs::status(path_, error);
    removable_ = !fs::exists(status) || fs::is_regular_file(status);
    errno = 0;
    file_.open(path_, std::ios::binary | std::ios::trunc);
    if (!file_) throw CliError(fmt::format("'{}' cannot be written: {}", path_, SystemError()));
  }
  ~OutputFile() {
    if (!kept_) Remove();
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::ostream& stream() { return file_; }
  void Check() {
    if (!file_) throw CliError(fmt::format("writing '{}' failed: {}", path_, SystemError()));
  }
  void Close() {
    errno = 0;
    file_.flush();
    Check();
    file_.close();
    if (file_.fail()) throw CliError(fmt::format("writing '{}' failed: {}", path_, SystemError()));
    kept_ = true;
  }

 private:
  void Remove() {
    if (file_.is_open()) file_.close();
    std::error_code error;
    if (removable_ && fs::is_regular_file(path_, error)) fs::remove(path_, error);
  }

  std::string path_;
  std::vector<char> buffer_;
  std::ofstream file_;
  bool removable_ = false;
  bool kept_ = false;
};

std::string TextFormat(ExportFormat format) { return format == ExportFormat::kCsv ? "csv" : "jsonl"; }

// A file name of letters, digits, '-', '_' and '.' (others become '_'), never
// empty or only dots.
std::string SafeFileName(const std::string& name) {
  std::string safe;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    safe += (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || byte >= 0x80) ? c : '_';
  }
  if (safe.find_first_not_of('.') == std::string::npos) safe = "_" + safe;
  return safe;
}

struct Totals {
  std::uint64_t rows = 0;
  std::uint64_t unreadablePages = 0;
  std::vector<std::string> damagedTables;
  std::vector<std::string> notes;  // what the output could not carry over
  void Add(const std::string& table, const StreamResult& result) {
    rows += result.rows;
    unreadablePages += result.unreadablePages;
    if (result.unreadablePages > 0)
      damagedTables.push_back(UnreadablePagesText(table, result.unreadablePages));
  }
};

// "Exporting table 3 of 11:" before the table's name on the progress bar.
std::string TableCounter(const std::string& table, const std::vector<std::string>& tables) {
  const auto at = std::find(tables.begin(), tables.end(), table) - tables.begin();
  return fmt::format("Exporting table {} of {}:", at + 1, tables.size());
}

std::vector<std::string> TablesOf(const ExportRequest& request, TableExporter& exporter) {
  if (!request.allTables) return {request.table};
  return exporter.UserTables();
}

// The table's errors name the table.
CliError ForTable(const std::string& table, const CliError& error) {
  const std::string text = error.what();
  if (text.rfind("table '", 0) == 0) return error;
  return CliError(fmt::format("table '{}': {}", table, text));
}

// One file: a csv or jsonl table, a SQLite database or a script.
Totals ExportToFile(const ExportRequest& request, ExportFormat format, TableExporter& exporter) {
  const std::vector<std::string> tables = TablesOf(request, exporter);
  // A missing table leaves nothing behind.
  for (const std::string& table : tables) exporter.CheckTable(table);
  Totals totals;
  std::string current = tables.size() == 1 ? tables.front() : std::string();
  if (format == ExportFormat::kSqlite) {
    try {
      SqliteWriter writer(request.output, ModuleDefinitions(exporter.Catalog(), exporter.Modules()));
      for (const std::string& name : tables) {
        current = name;
        exporter.progressText = TableCounter(current, tables);
        const ExportedTable table = exporter.Select(name);
        totals.Add(table.name, exporter.Stream(table, writer));
      }
      writer.Finish();
      writer.Keep();
      totals.notes = writer.Notes();
    } catch (const CliError& error) {
      if (current.empty()) throw;
      throw ForTable(current, error);
    }
    return totals;
  }
  std::unique_ptr<OutputFile> opened;
  try {
    opened = std::make_unique<OutputFile>(request.output);
  } catch (const CliError& error) {
    if (current.empty()) throw;
    throw ForTable(current, error);
  }
  OutputFile& file = *opened;
  std::unique_ptr<ExportWriter> writer;
  if (format == ExportFormat::kSql)
    writer = std::make_unique<SqlScriptWriter>(file.stream(), ModulesInRebuildOrder(exporter.Catalog(), exporter.Modules()));
  else
    writer = std::make_unique<RowTextWriter>(TextFormat(format), file.stream());
  try {
    for (const std::string& name : tables) {
      current = name;
      exporter.progressText = TableCounter(current, tables);
      const ExportedTable table = exporter.Select(name);
      totals.Add(table.name, exporter.Stream(table, *writer, [&] { file.Check(); }));
      file.Check();
    }
    writer->Finish();
    file.Close();
  } catch (const CliError& error) {
    if (current.empty()) throw;
    throw ForTable(current, error);
  }
  return totals;
}

// A directory of csv or jsonl files, one per table.
Totals ExportToDirectory(const ExportRequest& request, ExportFormat format, TableExporter& exporter, std::ostream& err) {
  std::error_code made;
  fs::create_directories(request.output, made);
  if (made || !fs::is_directory(request.output))
    throw CliError(fmt::format("'{}' cannot be written: {}", request.output,
                               made ? made.message() : std::string("not a directory")));
  const bool schemas = exporter.SeveralSchemas();
  std::vector<std::string> complete;
  Totals totals;
  try {
    const std::vector<std::string> tables = exporter.UserTables();
    for (const std::string& name : tables) {
      exporter.progressText = TableCounter(name, tables);
      const ExportedTable table = exporter.Select(name);
      const std::string base = schemas ? table.schema + "." + table.name : table.name;
      const std::string path = (fs::path(request.output) / (SafeFileName(base) + "." + TextFormat(format))).string();
      try {
        OutputFile file(path);
        RowTextWriter writer(TextFormat(format), file.stream());
        totals.Add(table.name, exporter.Stream(table, writer, [&] { file.Check(); }));
        file.Close();
      } catch (const CliError& error) {
        throw ForTable(table.name, error);
      }
      complete.push_back(path);
    }
  } catch (const CliError&) {
    err << "quillmark-cli: " << (complete.empty() ? "no table is complete" : "complete:");
    for (const std::string& path : complete) err << " " << path;
    err << "\n";
    throw;
  }
  return totals;
}

}  // namespace

int ExportCommand(const app::ScanOptions& scan, const ExportRequest& request, ProgressBar* progress,
                  std::ostream& out, std::ostream& err) {
  const InterruptScope interrupts;
  const ExportFormat format =
      request.format ? ParseExportFormat(*request.format) : FormatFromExtension(request.output);
  const PrivateFolder logs;
  ShellSession session(err, progress);
  TableExporter exporter(session, WithPrivateLog(scan, logs), progress);
  exporter.largeValues = request.largeValues;
  const Totals totals = request.allTables && !HoldsSeveralTables(format)
                            ? ExportToDirectory(request, format, exporter, err)
                            : ExportToFile(request, format, exporter);
  out << Rows(totals.rows) << " written to " << request.output << "\n";
  for (const std::string& line : totals.notes) err << "quillmark-cli: " << line << "\n";
  for (const std::string& line : totals.damagedTables) err << "quillmark-cli: " << line << "\n";
  return totals.unreadablePages > 0 ? 1 : 0;
}

}  // namespace quillmark::cli

namespace quillmark::cli {

void SchemaCommand(const app::ScanOptions& scan, const std::string& format, ProgressBar* progress, std::ostream& out,
                   std::ostream& err) {
  const PrivateFolder logs;
  ShellSession session(err, progress);
  TableExporter exporter(session, WithPrivateLog(scan, logs), progress);
  if (format == "sqlite") {
    for (const std::string& name : exporter.UserTables()) out << SqliteCreateTable(exporter.Select(name)) << ";\n";
    out << SqliteModuleTable() << ";\n";
    return;
  }
  SqlScriptWriter writer(out, ModulesInRebuildOrder(exporter.Catalog(), exporter.Modules()), false);
  for (const std::string& name : exporter.UserTables()) {
    writer.BeginTable(exporter.Select(name));
    writer.EndTable();
  }
  writer.Finish();
}

}  // namespace quillmark::cli
