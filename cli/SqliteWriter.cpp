#include "cli/SqliteWriter.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#include "cli/Commands.h"
#include "cli/TypedValues.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

// "name" with its quotes doubled.
std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

const char* AffinityOf(std::uint32_t typeCode) {
  switch (KindOf(typeCode)) {
    case ValueKind::kInteger:
      return "INTEGER";
    case ValueKind::kReal:
      return "REAL";
    case ValueKind::kBytes:
      return "BLOB";
    default:
      return "TEXT";  // decimals and money too: a NUMERIC column would turn them into binary floating point
  }
}

}  // namespace

std::string SqliteCreateTable(const ExportedTable& table) {
  std::string sql = "CREATE TABLE " + Quoted(table.name) + " (";
  for (std::size_t i = 0; i < table.layouts.size(); ++i) {
    const ColumnLayout& layout = table.layouts[i];
    if (i > 0) sql += ", ";
    sql += Quoted(table.columns.names[i]) + " " + AffinityOf(layout.typeCode);
    if (!layout.nullable) sql += " NOT NULL";
  }
  for (const KeyDefinition& key : table.definition.keys) {
    if (!key.primary) continue;
    sql += ", PRIMARY KEY (";
    for (std::size_t i = 0; i < key.columns.size(); ++i) sql += (i > 0 ? ", " : "") + Quoted(key.columns[i]);
    sql += ")";
  }
  return sql + ")";
}

std::string SqliteModuleTable() {
  return fmt::format("CREATE TABLE {} (name TEXT NOT NULL, type TEXT NOT NULL, definition TEXT)", kModuleTable);
}

SqliteWriter::SqliteWriter(std::string path, const std::vector<ModuleDefinition>& modules)
    : path_(std::move(path)), modules_(modules) {
  // Only a file the export writes is replaced or removed, never a device.
  std::error_code error;
  const auto status = std::filesystem::status(path_, error);
  removable_ = !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
  if (std::filesystem::is_regular_file(status)) std::filesystem::remove(path_, error);
  if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw CliError(fmt::format("'{}' cannot be written: {}", path_, message));
  }
  // The file is removed when the export does not complete: no journal is needed.
  Execute("PRAGMA journal_mode=OFF");
  Execute("PRAGMA synchronous=OFF");
  Execute("PRAGMA locking_mode=EXCLUSIVE");
}

SqliteWriter::~SqliteWriter() {
  if (insert_) sqlite3_finalize(insert_);
  if (db_) sqlite3_close(db_);
  std::error_code error;
  if (!kept_ && removable_ && std::filesystem::is_regular_file(path_, error)) std::filesystem::remove(path_, error);
}

void SqliteWriter::Fail(const std::string& what) const {
  throw CliError(fmt::format("{}{} in '{}' failed: {}", table_.empty() ? "" : "table '" + table_ + "': ", what, path_,
                             sqlite3_errmsg(db_)));
}

void SqliteWriter::Execute(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return;
  const std::string text = message ? message : "unknown error";
  sqlite3_free(message);
  throw CliError(fmt::format("{}writing '{}' failed: {}", table_.empty() ? "" : "table '" + table_ + "': ", path_, text));
}

void SqliteWriter::BeginTable(const ExportedTable& table) {
  table_ = table.name;
  declared_ = table;
  layouts_ = table.layouts;
  texts_.assign(layouts_.size(), std::string());
  Execute(SqliteCreateTable(table));
  Execute("BEGIN");
  PrepareInsert();
}

void SqliteWriter::PrepareInsert() {
  std::string sql = "INSERT INTO " + Quoted(table_) + " VALUES (";
  for (std::size_t i = 0; i < layouts_.size(); ++i) sql += i > 0 ? ", ?" : "?";
  sql += ")";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_, nullptr) != SQLITE_OK) Fail("preparing the insert");
}

// A damaged table may hold a key's values twice: its rows all go in, under
// the same table declared without the primary key.
void SqliteWriter::DropPrimaryKey() {
  sqlite3_finalize(insert_);
  insert_ = nullptr;
  ExportedTable plain = declared_;
  plain.definition.keys.clear();
  plain.name = table_ + " without key";
  Execute(SqliteCreateTable(plain));
  Execute("INSERT INTO " + Quoted(plain.name) + " SELECT * FROM " + Quoted(table_));
  Execute("DROP TABLE " + Quoted(table_));
  Execute("ALTER TABLE " + Quoted(plain.name) + " RENAME TO " + Quoted(table_));
  PrepareInsert();
  notes_.push_back(fmt::format("table '{}': rows repeat the values of its primary key, which is not declared", table_));
}

void SqliteWriter::Row(const std::vector<const std::u16string*>& values) {
  for (std::size_t i = 0; i < values.size() && i < layouts_.size(); ++i) {
    const std::u16string& value = *values[i];
    const ColumnLayout& layout = layouts_[i];
    const int at = static_cast<int>(i + 1);
    if (IsNull(value, layout.nullable != 0)) {
      sqlite3_bind_null(insert_, at);
      continue;
    }
    const ValueKind kind = KindOf(layout.typeCode);
    if (kind == ValueKind::kInteger) {
      if (const auto number = IntegerOf(value)) {
        sqlite3_bind_int64(insert_, at, *number);
        continue;
      }
    } else if (kind == ValueKind::kReal) {
      if (NumberOf(value)) {
        text_.clear();
        platform::AppendUtf8(value, text_);
        sqlite3_bind_double(insert_, at, std::strtod(text_.c_str(), nullptr));
        continue;
      }
    } else if (kind == ValueKind::kBytes) {
      if (const auto bytes = BytesOf(value)) {
        sqlite3_bind_blob64(insert_, at, bytes->data(), bytes->size(), SQLITE_TRANSIENT);
        continue;
      }
    }
    // Each column's text lives in a buffer of its own until the row is stepped.
    std::string& text = texts_[i];
    text.clear();
    platform::AppendUtf8(value, text);
    sqlite3_bind_text64(insert_, at, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
  }
  const int done = sqlite3_step(insert_);
  if (done == SQLITE_DONE) {
    sqlite3_reset(insert_);
    return;
  }
  sqlite3_reset(insert_);
  if (sqlite3_extended_errcode(db_) != SQLITE_CONSTRAINT_PRIMARYKEY) Fail("inserting a row");
  DropPrimaryKey();
  Row(values);
}

void SqliteWriter::EndTable() {
  sqlite3_finalize(insert_);
  insert_ = nullptr;
  Execute("COMMIT");
  table_.clear();
}

void SqliteWriter::Finish() {
  Execute(SqliteModuleTable());
  Execute("BEGIN");
  sqlite3_stmt* insert = nullptr;
  const std::string sql = fmt::format("INSERT INTO {} VALUES (?, ?, ?)", kModuleTable);
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert, nullptr) != SQLITE_OK) Fail("preparing the module texts");
  for (const ModuleDefinition& module : modules_) {
    sqlite3_bind_text(insert, 1, module.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, module.type.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, module.text.c_str(), -1, SQLITE_TRANSIENT);
    const int done = sqlite3_step(insert);
    sqlite3_reset(insert);
    if (done != SQLITE_DONE) {
      sqlite3_finalize(insert);
      Fail("writing the module texts");
    }
  }
  sqlite3_finalize(insert);
  Execute("COMMIT");
}

void SqliteWriter::Keep() {
  if (sqlite3_close(db_) != SQLITE_OK) Fail("closing");
  db_ = nullptr;
  kept_ = true;
}

}  // namespace quillmark::cli
