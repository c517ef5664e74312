#include "cli/ExportWriter.h"

#include <filesystem>

#include "cli/Commands.h"
#include "platform/CodePage.h"

namespace quillmark::cli {

ExportFormat ParseExportFormat(const std::string& name) {
  if (name == "csv") return ExportFormat::kCsv;
  if (name == "jsonl") return ExportFormat::kJsonLines;
  if (name == "sqlite") return ExportFormat::kSqlite;
  if (name == "sql") return ExportFormat::kSql;
  throw CliError("unknown format '" + name + "': expected csv, jsonl, sqlite or sql");
}

ExportFormat FormatFromExtension(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  if (extension == ".csv") return ExportFormat::kCsv;
  if (extension == ".jsonl") return ExportFormat::kJsonLines;
  if (extension == ".db" || extension == ".sqlite") return ExportFormat::kSqlite;
  if (extension == ".sql") return ExportFormat::kSql;
  throw CliError("no format for '" + path + "': give --format, or end OUT in .csv, .jsonl, .db, .sqlite or .sql");
}

bool HoldsSeveralTables(ExportFormat format) { return format == ExportFormat::kSqlite || format == ExportFormat::kSql; }

void RowTextWriter::Row(const std::vector<const std::u16string*>& values) {
  cells_.resize(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    cells_[i].clear();
    platform::AppendUtf8(*values[i], cells_[i]);
  }
  writer_->Row(cells_);
}

}  // namespace quillmark::cli
