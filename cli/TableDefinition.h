// What a table is declared as, for the scripts that rebuild it: its columns
// with their T-SQL types, identity, NULL or NOT NULL and defaults, and its
// primary key, unique keys, check constraints and foreign keys. The module
// texts (views, functions, procedures, triggers) come in rebuild order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "details/ModuleText.h"

namespace quillmark {
class DatabaseCatalog;
}

namespace quillmark::cli {

struct ColumnDefinition {
  std::string name;  // UTF-8
  std::string type;  // as declared: "decimal(10,2)", "nvarchar(50)", "varchar(max)"
  std::uint32_t typeCode = 0;
  bool nullable = true;
  std::string identity;  // "IDENTITY(1,1)", or empty
  std::string defaultName;
  std::string defaultText;  // the default's expression, e.g. "(getdate())"
};

struct KeyDefinition {
  std::string name;
  bool primary = false;
  std::vector<std::string> columns;
};

struct ForeignKeyDefinition {
  std::string name;
  std::vector<std::string> columns;
  std::string referencedSchema;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
};

struct CheckDefinition {
  std::string name;
  std::string text;  // the condition, e.g. "([price]>(0))"
};

struct TableDefinition {
  std::string schema;
  std::string name;
  std::vector<ColumnDefinition> columns;
  std::vector<KeyDefinition> keys;  // the primary key first
  std::vector<CheckDefinition> checks;
  std::vector<ForeignKeyDefinition> foreignKeys;
};

// The catalog's selected table (its layouts resolved) as declared;
// `modules` holds the prefetched module texts.
TableDefinition DescribeSelectedTable(const DatabaseCatalog& catalog, const ModuleTextStore& modules,
                                      const std::string& schema, const std::string& name);

// The T-SQL type of a layout.
std::string DeclaredType(const ColumnLayout& layout);

struct ModuleDefinition {
  std::string name;
  std::string type;  // "View", "Function", "Procedure", "Trigger", "Default" or "Check"
  std::string objectType;  // as stored: "V ", "FN", ...
  std::string text;
};
// Every view, procedure, function, trigger, default and check constraint in
// catalog order with its text.
std::vector<ModuleDefinition> ModuleDefinitions(const DatabaseCatalog& catalog, const ModuleTextStore& modules);
// The views, functions, procedures and triggers in an order a script can
// create them in: functions, then views, then procedures, then triggers.
std::vector<ModuleDefinition> ModulesInRebuildOrder(const DatabaseCatalog& catalog, const ModuleTextStore& modules);

}  // namespace quillmark::cli
