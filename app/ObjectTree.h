// The object tree: a fixed skeleton (tables, programmability, views) under a
// root named after the opened file, the catalog's objects sorted into it by
// type, and, for a table selected once, its columns, keys and constraints.
//
// Built in two stages: the scan worker inserts the skeleton and every object;
// a table's details are added the first time it is selected. Both run on
// worker threads and reach the tree through the dispatcher.
#pragma once

#include <string>
#include <vector>

#include "catalog/DatabaseCatalog.h"
#include "catalog/ModuleTextEntry.h"
#include "platform/Controls.h"
#include "platform/UiDispatcher.h"

namespace quillmark::app {

class Log;

inline constexpr const char16_t* kTablesNode = u"Tables";
inline constexpr const char16_t* kUserTablesNode = u"User Tables";
inline constexpr const char16_t* kSystemTablesNode = u"System Tables";
inline constexpr const char16_t* kProgrammabilityNode = u"Programmability";
inline constexpr const char16_t* kFunctionNode = u"Function";
inline constexpr const char16_t* kProcedureNode = u"Store Procedure";
inline constexpr const char16_t* kViewsNode = u"Views";
inline constexpr const char16_t* kDefaultNode = u"Default";
inline constexpr const char16_t* kTriggersNode = u"Triggers";
inline constexpr const char16_t* kColumnsNode = u"Columns";
inline constexpr const char16_t* kPrimaryKeyNode = u"PrimaryKey";
inline constexpr const char16_t* kConstraintNode = u"Constraint";
inline constexpr const char16_t* kUniqueNode = u"Unique";
inline constexpr const char16_t* kForeignKeyNode = u"ForeignKey";

// The handles of the ten fixed nodes, and of the last "PrimaryKey" node made.
struct TreeNodes {
  platform::TreeItem root = platform::kNoItem;
  platform::TreeItem tables = platform::kNoItem;
  platform::TreeItem userTables = platform::kNoItem;
  platform::TreeItem systemTables = platform::kNoItem;
  platform::TreeItem programmability = platform::kNoItem;
  platform::TreeItem functions = platform::kNoItem;
  platform::TreeItem procedures = platform::kNoItem;
  platform::TreeItem views = platform::kNoItem;
  platform::TreeItem defaults = platform::kNoItem;
  platform::TreeItem triggers = platform::kNoItem;
  platform::TreeItem lastPrimaryKey = platform::kNoItem;
};

// What the tree's builders reach: the dispatcher, the controls and the log.
struct TreeWindow {
  platform::UiDispatcher* ui = nullptr;
  platform::FrameControls controls;
  Log* log = nullptr;
};

// The text of a column's item: name, two blanks, type text, the key flag and
// the foreign-key reference.
std::u16string ColumnItemText(const ColumnLayout& column);

// Stage 1a: the root and the ten fixed nodes.
TreeNodes BuildSkeleton(const TreeWindow& window, const std::u16string& rootText);

// Stage 1b: every named object of a shown type under its node (tables with
// their "Columns" child and their bold state). True when a named object was
// found. A stop request ends the walk at the next object.
bool FillFromCatalog(const TreeWindow& window, TreeNodes& nodes, DatabaseCatalog& catalog);

// Stage 2: when `table`'s parent is "User Tables" or "System Tables" and its
// first child is still "Columns", resolves the table and inserts the key
// groups, the columns and the keys. True when it ran now, also when the table
// did not resolve: it then keeps its "Columns" child and is tried again at its
// next selection. `entries` are the prefetched module-text entries (column
// defaults).
bool ExpandTable(const TreeWindow& window, TreeNodes& nodes, DatabaseCatalog& catalog, platform::TreeItem table,
                 const std::vector<ModuleTextEntry>& entries);

}  // namespace quillmark::app
