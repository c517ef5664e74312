// The sqlite format: a SQLite database with one table per exported table,
// declared with the source column names and types as a SQLite user expects
// them (INTEGER, REAL, TEXT, BLOB; decimals and money as TEXT, so no digit is
// lost), NOT NULL and the primary key carried over; each table's rows in one
// transaction through one prepared statement; the module texts in a table of
// their own.
#pragma once

#include <string>
#include <vector>

#include "cli/ExportWriter.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quillmark::cli {

// The table of module texts: name, type, definition.
inline constexpr const char* kModuleTable = "quillmark_modules";

// The CREATE TABLE statement of `table` in SQLite.
std::string SqliteCreateTable(const ExportedTable& table);
// The CREATE TABLE statement of the module-text table.
std::string SqliteModuleTable();

class SqliteWriter : public ExportWriter {
 public:
  // Creates `path` (replacing a file there); throws CliError when it cannot.
  SqliteWriter(std::string path, const std::vector<ModuleDefinition>& modules);
  // Removes the file unless Keep() was called.
  ~SqliteWriter() override;
  SqliteWriter(const SqliteWriter&) = delete;
  SqliteWriter& operator=(const SqliteWriter&) = delete;

  void BeginTable(const ExportedTable& table) override;
  void Row(const std::vector<const std::u16string*>& values) override;
  void EndTable() override;
  void Finish() override;
  // Closes the database; it stays.
  void Keep();
  // A line for each table whose primary key could not be declared (rows repeat its values).
  const std::vector<std::string>& Notes() const { return notes_; }

 private:
  void Execute(const std::string& sql);
  void PrepareInsert();
  void DropPrimaryKey();
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  std::vector<ModuleDefinition> modules_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  std::string table_;
  ExportedTable declared_;
  std::vector<ColumnLayout> layouts_;
  std::vector<std::string> notes_;
  std::string text_;
  std::vector<std::string> texts_;  // per column
  bool kept_ = false;
  bool removable_ = false;
};

}  // namespace quillmark::cli
