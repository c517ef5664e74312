// The sql format: a T-SQL script that rebuilds the database on a SQL Server.
// Each table's CREATE TABLE (declared types, identity, NULL or NOT NULL,
// defaults, primary key, unique and check constraints) comes before its rows,
// as INSERT statements of up to 1000 rows each; the foreign keys follow all
// tables and rows, then the functions, views, procedures and triggers from
// their module texts. Batches end in GO.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/ExportWriter.h"

namespace quillmark::cli {

// [name] with its closing brackets doubled.
std::string Bracketed(const std::string& name);
// The CREATE TABLE batch of a table, and the ALTER TABLE statements of its foreign keys.
std::string CreateTableScript(const TableDefinition& table);
std::string ForeignKeyScript(const TableDefinition& table);
// A module's text as a batch of its own.
std::string ModuleScript(const ModuleDefinition& module);

class SqlScriptWriter : public ExportWriter {
 public:
  // With `rows` false only the declarations (the schema command).
  SqlScriptWriter(std::ostream& out, std::vector<ModuleDefinition> modules, bool rows = true)
      : out_(out), modules_(std::move(modules)), rows_(rows) {}

  void BeginTable(const ExportedTable& table) override;
  void Row(const std::vector<const std::u16string*>& values) override;
  void EndTable() override;
  void Finish() override;

 private:
  void EndInsert();
  void Literal(const std::u16string& value, const ColumnLayout& layout);

  std::ostream& out_;
  std::vector<ModuleDefinition> modules_;
  bool rows_;
  std::vector<TableDefinition> tables_;
  std::vector<ColumnLayout> layouts_;
  std::vector<bool> inserted_;  // per listed column: timestamp columns take no value
  std::string insertHead_;
  std::string line_;
  std::uint64_t batchRows_ = 0;
  std::uint64_t statements_ = 0;
  bool identity_ = false;
  std::string tableName_;
};

}  // namespace quillmark::cli
