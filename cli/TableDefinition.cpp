#include "cli/TableDefinition.h"

#include <algorithm>
#include <map>

#include "catalog/DatabaseCatalog.h"
#include "catalog/TypeCode.h"
#include "cli/TableExport.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

std::string Text(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::u16string IdText(std::int32_t id) { return platform::Utf8ToUtf16(std::to_string(id)); }

std::string ModuleText(const ModuleTextStore& modules, std::int32_t id) {
  return Text(AssembleModuleText(modules.prefetched, IdText(id)));
}

// The layout's type text is the type's name and its stored length: "varchar(6)", "money(8)".
std::string TypeNameOf(const ColumnLayout& layout) {
  const std::string text = Text(layout.typeText);
  return text.substr(0, text.find('('));
}

int StoredLength(const ColumnLayout& layout) {
  const std::string text = Text(layout.typeText);
  const std::size_t open = text.find('(');
  if (open == std::string::npos) return 0;
  try {
    return std::stoi(text.substr(open + 1));
  } catch (const std::exception&) {
    return 0;
  }
}

const CatalogObject* ObjectById(const DatabaseCatalog& catalog, std::int32_t id) {
  for (const CatalogObject& object : catalog.objects)
    if (object.id == id) return &object;
  return nullptr;
}

std::string ColumnName(const DatabaseCatalog& catalog, std::int32_t tableId, std::int32_t columnId) {
  for (const CatalogColumn& column : catalog.columns)
    if (column.objectId == tableId && column.columnId == columnId) return Text(column.name);
  return {};
}

std::string TypeLabel(const std::string& type) {
  if (type == "V ") return "View";
  if (type == "P ") return "Procedure";
  if (type == "FN" || type == "IF" || type == "TF") return "Function";
  if (type == "TR") return "Trigger";
  if (type == "D ") return "Default";
  if (type == "C ") return "Check";
  return type;
}

}  // namespace

std::string DeclaredType(const ColumnLayout& layout) {
  const std::string name = TypeNameOf(layout);
  const int length = StoredLength(layout);
  const auto sized = [&](int units) { return name + "(" + (length < 0 ? std::string("max") : std::to_string(units)) + ")"; };
  switch (layout.typeCode) {
    case kChar:
    case kVarChar:
    case kBinary:
    case kVarBinary:
      return sized(length);
    case kNChar:
    case kNVarChar:
      return sized(length / 2);
    case kDecimal:
    case kNumeric:
      return name + "(" + std::to_string(layout.precision) + "," + std::to_string(layout.scale) + ")";
    case kDateTime2:
    case kTime:
    case kDateTimeOffset:
      return name + "(" + std::to_string(layout.scale) + ")";
    default:
      return name.empty() ? std::string("sql_variant") : name;
  }
}

TableDefinition DescribeSelectedTable(const DatabaseCatalog& catalog, const ModuleTextStore& modules,
                                      const std::string& schema, const std::string& name) {
  const SelectedTable& selected = catalog.selected;
  const std::int32_t tableId = selected.object.id;
  TableDefinition table;
  table.schema = schema;
  table.name = name;

  // Defaults by column: the column rows name their default object.
  std::map<std::int32_t, std::int32_t> defaults;
  for (const CatalogColumn& column : catalog.columns)
    if (column.objectId == tableId && column.defaultObjectId > 0) defaults[column.columnId] = column.defaultObjectId;
  for (const LegacyColumn& column : catalog.legacyColumns)
    if (column.objectId == tableId && column.defaultObjectId > 0) defaults[column.columnId] = column.defaultObjectId;

  for (const ColumnLayout& layout : selected.layouts) {
    ColumnDefinition column;
    column.name = Text(layout.name);
    column.type = DeclaredType(layout);
    column.typeCode = layout.typeCode;
    column.nullable = layout.nullable != 0;
    if (!layout.identityText.empty()) {
      std::string identity = Text(layout.identityText);
      if (identity.rfind("identity", 0) == 0) identity = "IDENTITY" + identity.substr(8);
      column.identity = identity;
    }
    const auto found = defaults.find(layout.columnId);
    if (found != defaults.end()) {
      const CatalogObject* object = ObjectById(catalog, found->second);
      column.defaultName = object ? Text(object->name) : std::string();
      column.defaultText = ModuleText(modules, found->second);
    }
    table.columns.push_back(std::move(column));
  }

  // Keys: each primary or unique constraint has an index of its own name.
  for (const CatalogObject& object : catalog.objects) {
    if (object.parentId != tableId || (object.type != "PK" && object.type != "UQ")) continue;
    KeyDefinition key;
    key.name = Text(object.name);
    key.primary = object.type == "PK";
    for (const CatalogIndex& index : catalog.indexes) {
      if (index.objectId != tableId || index.name != object.name) continue;
      std::vector<const CatalogIndexColumn*> columns;
      for (const CatalogIndexColumn& column : catalog.indexColumns)
        if (column.objectId == tableId && column.indexId == index.indexId && column.keyOrdinal > 0)
          columns.push_back(&column);
      std::sort(columns.begin(), columns.end(),
                [](const auto* a, const auto* b) { return a->keyOrdinal < b->keyOrdinal; });
      for (const CatalogIndexColumn* column : columns) key.columns.push_back(ColumnName(catalog, tableId, column->columnId));
      break;
    }
    // Where the index is not known, the layouts say which columns are in the primary key.
    if (key.columns.empty() && key.primary)
      for (const ColumnLayout& layout : selected.layouts)
        if (layout.inPrimaryKey) key.columns.push_back(Text(layout.name));
    if (key.columns.empty()) continue;
    if (key.primary)
      table.keys.insert(table.keys.begin(), std::move(key));
    else
      table.keys.push_back(std::move(key));
  }

  for (const CatalogObject& object : catalog.objects) {
    if (object.parentId != tableId || object.type != "C ") continue;
    const std::string text = ModuleText(modules, object.id);
    if (!text.empty()) table.checks.push_back({Text(object.name), text});
  }

  std::map<std::int32_t, std::vector<const ForeignKeyColumn*>> foreignKeys;
  for (const ForeignKeyColumn& column : catalog.foreignKeyColumns)
    if (column.parentTableId == tableId) foreignKeys[column.constraintId].push_back(&column);
  for (auto& [id, columns] : foreignKeys) {
    std::sort(columns.begin(), columns.end(), [](const auto* a, const auto* b) { return a->ordinal < b->ordinal; });
    ForeignKeyDefinition key;
    const CatalogObject* constraint = ObjectById(catalog, id);
    const CatalogObject* referenced = ObjectById(catalog, columns.front()->referencedTableId);
    key.name = constraint ? Text(constraint->name) : Text(columns.front()->constraintName);
    key.referencedTable = referenced ? Text(referenced->name) : Text(columns.front()->referencedTableName);
    key.referencedSchema = SchemaName(referenced ? referenced->schemaId : 1);
    for (const ForeignKeyColumn* column : columns) {
      const std::string from = ColumnName(catalog, tableId, column->parentColumnId);
      const std::string to = ColumnName(catalog, column->referencedTableId, column->referencedColumnId);
      key.columns.push_back(from.empty() ? Text(column->parentColumnName) : from);
      key.referencedColumns.push_back(to.empty() ? Text(column->referencedColumnName) : to);
    }
    if (!key.referencedTable.empty()) table.foreignKeys.push_back(std::move(key));
  }
  // Files of SQL Server 2000: the layouts name each column's reference.
  if (foreignKeys.empty())
    for (const ColumnLayout& layout : selected.layouts)
      if (layout.inForeignKey && !layout.referencedTable.empty() && !layout.referencedColumn.empty())
        table.foreignKeys.push_back({"FK_" + name + "_" + Text(layout.name), {Text(layout.name)}, "dbo",
                                     Text(layout.referencedTable), {Text(layout.referencedColumn)}});
  return table;
}

std::vector<ModuleDefinition> ModuleDefinitions(const DatabaseCatalog& catalog, const ModuleTextStore& modules) {
  std::vector<ModuleDefinition> definitions;
  for (const CatalogObject& object : catalog.objects) {
    const std::string& type = object.type;
    if (type != "V " && type != "P " && type != "FN" && type != "IF" && type != "TF" && type != "TR" && type != "D " &&
        type != "C ")
      continue;
    definitions.push_back({Text(object.name), TypeLabel(type), type, ModuleText(modules, object.id)});
  }
  return definitions;
}

std::vector<ModuleDefinition> ModulesInRebuildOrder(const DatabaseCatalog& catalog, const ModuleTextStore& modules) {
  std::vector<ModuleDefinition> ordered;
  for (const char* label : {"Function", "View", "Procedure", "Trigger"})
    for (ModuleDefinition& module : ModuleDefinitions(catalog, modules))
      if (module.type == label && !module.text.empty()) ordered.push_back(std::move(module));
  return ordered;
}

}  // namespace quillmark::cli
