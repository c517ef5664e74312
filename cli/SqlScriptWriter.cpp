#include "cli/SqlScriptWriter.h"

#include "catalog/TypeCode.h"
#include "cli/TypedValues.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

constexpr std::uint64_t kRowsPerInsert = 1000;  // the most one VALUES list takes

std::string TableName(const TableDefinition& table) { return Bracketed(table.schema) + "." + Bracketed(table.name); }

std::string ColumnList(const std::vector<std::string>& columns) {
  std::string list;
  for (std::size_t i = 0; i < columns.size(); ++i) list += (i > 0 ? ", " : "") + Bracketed(columns[i]);
  return list;
}

void AppendQuoted(const std::u16string& value, std::string& out) {
  out += "N'";
  const std::size_t start = out.size();
  platform::AppendUtf8(value, out);
  for (std::size_t i = start; i < out.size(); ++i)
    if (out[i] == '\'') out.insert(i++, 1, '\'');
  out += '\'';
}

// "1991-06-12 00:00:00" as "1991-06-12T00:00:00": the form datetime reads the
// same whatever the session's date format and language.
bool IsoDateTime(const std::u16string& value, std::string& out) {
  if (value.size() < 19 || value[4] != u'-' || value[7] != u'-' || value[10] != u' ' || value[13] != u':') return false;
  for (const char16_t c : value)
    if (!((c >= u'0' && c <= u'9') || c == u'-' || c == u':' || c == u'.' || c == u' ')) return false;
  out += '\'';
  for (std::size_t i = 0; i < value.size(); ++i) out += i == 10 ? 'T' : static_cast<char>(value[i]);
  out += '\'';
  return true;
}

}  // namespace

std::string Bracketed(const std::string& name) {
  std::string quoted = "[";
  for (const char c : name) {
    quoted += c;
    if (c == ']') quoted += ']';
  }
  return quoted + "]";
}

std::string CreateTableScript(const TableDefinition& table) {
  std::string sql = "CREATE TABLE " + TableName(table) + " (\n";
  bool first = true;
  const auto item = [&](const std::string& text) {
    sql += (first ? "  " : ",\n  ") + text;
    first = false;
  };
  for (const ColumnDefinition& column : table.columns) {
    std::string text = Bracketed(column.name) + " " + column.type;
    if (!column.identity.empty()) text += " " + column.identity;
    text += column.nullable ? " NULL" : " NOT NULL";
    if (!column.defaultText.empty())
      text += (column.defaultName.empty() ? "" : " CONSTRAINT " + Bracketed(column.defaultName)) + " DEFAULT " +
              column.defaultText;
    item(text);
  }
  for (const KeyDefinition& key : table.keys)
    item("CONSTRAINT " + Bracketed(key.name) + (key.primary ? " PRIMARY KEY (" : " UNIQUE (") + ColumnList(key.columns) +
         ")");
  for (const CheckDefinition& check : table.checks) item("CONSTRAINT " + Bracketed(check.name) + " CHECK " + check.text);
  return sql + "\n);\nGO\n";
}

std::string ForeignKeyScript(const TableDefinition& table) {
  std::string sql;
  for (const ForeignKeyDefinition& key : table.foreignKeys)
    sql += "ALTER TABLE " + TableName(table) + " ADD CONSTRAINT " + Bracketed(key.name) + " FOREIGN KEY (" +
           ColumnList(key.columns) + ") REFERENCES " + Bracketed(key.referencedSchema) + "." +
           Bracketed(key.referencedTable) + " (" + ColumnList(key.referencedColumns) + ");\nGO\n";
  return sql;
}

std::string ModuleScript(const ModuleDefinition& module) {
  std::string text = module.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return "-- " + module.type + " " + module.name + "\n" + text + "\nGO\n";
}

void SqlScriptWriter::BeginTable(const ExportedTable& table) {
  tables_.push_back(table.definition);
  out_ << CreateTableScript(table.definition);
  if (!rows_) return;
  layouts_ = table.layouts;
  inserted_.clear();
  std::vector<std::string> columns;
  identity_ = false;
  for (std::size_t i = 0; i < layouts_.size(); ++i) {
    // A timestamp column takes no value: the server writes it.
    inserted_.push_back(layouts_[i].typeCode != kTimestamp);
    if (inserted_.back()) columns.push_back(table.columns.names[i]);
    if (!layouts_[i].identityText.empty()) identity_ = true;
  }
  tableName_ = TableName(table.definition);
  insertHead_ = "INSERT INTO " + tableName_ + " (" + ColumnList(columns) + ") VALUES\n";
  if (identity_) out_ << "SET IDENTITY_INSERT " << tableName_ << " ON;\nGO\n";
  batchRows_ = 0;
}

void SqlScriptWriter::Literal(const std::u16string& value, const ColumnLayout& layout) {
  if (IsNull(value, layout.nullable != 0)) {
    line_ += "NULL";
    return;
  }
  switch (KindOf(layout.typeCode)) {
    case ValueKind::kInteger:
      if (const auto number = IntegerOf(value)) {
        line_ += std::to_string(*number);
        return;
      }
      break;
    case ValueKind::kReal:
    case ValueKind::kExact:
      if (const auto number = NumberOf(value)) {
        line_ += *number;
        return;
      }
      break;
    case ValueKind::kBytes: {
      const std::size_t start = value.size() >= 2 && value[0] == u'0' && value[1] == u'x' ? 2 : 0;
      if (BytesOf(value)) {
        line_ += "0x";
        for (std::size_t i = start; i < value.size(); ++i) line_ += static_cast<char>(value[i]);
      } else {
        line_ += "NULL";  // a placeholder, not the bytes
      }
      return;
    }
    case ValueKind::kDate:
      if ((layout.typeCode == kDateTime || layout.typeCode == kSmallDateTime) && IsoDateTime(value, line_)) return;
      break;
    case ValueKind::kText:
      break;
  }
  AppendQuoted(value, line_);
}

void SqlScriptWriter::Row(const std::vector<const std::u16string*>& values) {
  line_ = batchRows_ == 0 ? insertHead_ + "(" : ",\n(";
  bool first = true;
  for (std::size_t i = 0; i < values.size() && i < layouts_.size(); ++i) {
    if (!inserted_[i]) continue;
    if (!first) line_ += ", ";
    first = false;
    Literal(*values[i], layouts_[i]);
  }
  line_ += ")";
  out_ << line_;
  if (++batchRows_ == kRowsPerInsert) EndInsert();
}

void SqlScriptWriter::EndInsert() {
  if (batchRows_ == 0) return;
  out_ << ";\nGO\n";
  batchRows_ = 0;
  ++statements_;
}

void SqlScriptWriter::EndTable() {
  if (!rows_) return;
  EndInsert();
  if (identity_) out_ << "SET IDENTITY_INSERT " << tableName_ << " OFF;\nGO\n";
}

void SqlScriptWriter::Finish() {
  for (const TableDefinition& table : tables_) out_ << ForeignKeyScript(table);
  for (const ModuleDefinition& module : modules_) out_ << ModuleScript(module);
}

}  // namespace quillmark::cli
