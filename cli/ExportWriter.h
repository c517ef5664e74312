// What the export writes: one writer per format, a new format a new file. A
// writer takes the tables one after another, each with its rows as the
// streaming path hands them over (UTF-16 texts of the listed columns).
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "cli/RowWriters.h"
#include "cli/TableDefinition.h"

namespace quillmark {
class DatabaseCatalog;
}

namespace quillmark::cli {

// One exported table: its names and the layouts of its listed columns.
struct ExportedTable {
  std::string schema;  // UTF-8
  std::string name;
  RowColumns columns;                // the listed columns' names
  std::vector<ColumnLayout> layouts;  // one per listed column
  std::int32_t objectId = -1;
  TableDefinition definition;  // every column, keys and constraints
};

class ExportWriter {
 public:
  virtual ~ExportWriter() = default;
  virtual void BeginTable(const ExportedTable& table) = 0;
  virtual void Row(const std::vector<const std::u16string*>& values) = 0;
  virtual void EndTable() = 0;
  // True when the writer takes no further rows of the table.
  virtual bool Done() const { return false; }
  // After the last table: whatever follows the tables (module texts).
  virtual void Finish() {}
};

// The export formats and what OUT's extension says.
enum class ExportFormat { kCsv, kJsonLines, kSqlite, kSql };
// "csv", "jsonl", "sqlite" or "sql"; throws CliError for another name.
ExportFormat ParseExportFormat(const std::string& name);
// From OUT's extension (.csv, .jsonl, .db or .sqlite, .sql); throws CliError
// naming the extensions when there is none of them.
ExportFormat FormatFromExtension(const std::string& path);
// True for the formats that hold several tables in one file.
bool HoldsSeveralTables(ExportFormat format);

// csv or jsonl rows through the writers `rows` prints with, so both give the
// same bytes; the stream's texts become UTF-8 once per cell.
class RowTextWriter : public ExportWriter {
 public:
  RowTextWriter(std::string format, std::ostream& out) : format_(std::move(format)), out_(out) {}
  void BeginTable(const ExportedTable& table) override { writer_ = MakeRowWriter(format_, table.columns, out_); }
  void Row(const std::vector<const std::u16string*>& values) override;
  void EndTable() override {
    if (writer_) writer_->Finish();
    writer_.reset();
  }

 private:
  std::string format_;
  std::ostream& out_;
  std::unique_ptr<RowWriter> writer_;
  std::vector<std::string> cells_;
};

}  // namespace quillmark::cli
