#include "app/ObjectTree.h"

#include <functional>

#include "app/Log.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"

namespace quillmark::app {
namespace {

using platform::InsertAt;
using platform::kNoItem;
using platform::TreeItem;

constexpr const char16_t* kCreatingTree = u"Creating Tree.........";
constexpr const char16_t* kProcessDone = u"Process done.........";

// Item data of an object item and of a constraint key.
constexpr std::intptr_t kObjectData = 1;
constexpr std::intptr_t kConstraintData = 1;

// The builders run on worker threads: every touch of a control goes through
// the dispatcher and is done before the builder goes on.
void OnUi(const TreeWindow& window, const std::function<void()>& work) { window.ui->Invoke(work); }

TreeItem InsertFirst(platform::TreeControl& tree, const std::u16string& text, TreeItem parent, std::intptr_t data) {
  return tree.InsertItem(text, parent, InsertAt::kFirst, data);
}

// The caption bar and the log say the same.
void Announce(const TreeWindow& window, const std::u16string& text) {
  OnUi(window, [&] { window.controls.caption->SetText(text); });
  if (window.log) window.log->LogLine(text);
}

void SetProgress(const TreeWindow& window, std::size_t position) {
  OnUi(window, [&] { window.controls.progress->SetPos(static_cast<std::int32_t>(position)); });
}

// The node that shows objects of `type`; kNoItem for types the tree leaves out.
TreeItem NodeOfObject(const TreeNodes& nodes, const std::string& type) {
  if (type == "V ") return nodes.views;
  if (type == "FN" || type == "IF" || type == "TF") return nodes.functions;
  if (type == "P ") return nodes.procedures;
  if (type == "TR") return nodes.triggers;
  if (type == "D ") return nodes.defaults;
  if (type == "U ") return nodes.userTables;
  if (type == "S ") return nodes.systemTables;
  return kNoItem;
}

bool IsTable(const std::string& type) { return type == "U " || type == "S "; }

// A table is shown bold when its schema resolves to columns over data pages.
bool HasRows(DatabaseCatalog& catalog, const CatalogObject& table) {
  const std::vector<ColumnLayout> layouts = ResolveTableSchema(catalog, table.name, table.type, {});
  return !layouts.empty() && !catalog.selected.dataPages.empty();
}

// Objects on their way into the tree: each is inserted under its node, a
// table with its "Columns" child and its bold state, and then the progress bar
// moves to the object's position. Tables are resolved as they are added; the
// tree is touched once per batch, so that a catalog of many objects costs few
// trips to the user-interface thread.
class PendingObjects {
 public:
  PendingObjects(const TreeWindow& window, const TreeNodes& nodes, DatabaseCatalog& catalog)
      : window_(window), nodes_(nodes), catalog_(catalog) {}

  void Add(const CatalogObject& object, std::size_t position) {
    const TreeItem node = NodeOfObject(nodes_, object.type);
    const bool table = node != kNoItem && IsTable(object.type);
    const bool bold = table && HasRows(catalog_, object);
    pending_.push_back(Pending{&object, node, table, bold, position});
    if (pending_.size() >= kBatch) Flush();
  }

  void Flush() {
    if (pending_.empty()) return;
    OnUi(window_, [&] {
      platform::TreeControl& tree = *window_.controls.tree;
      for (const Pending& object : pending_) {
        if (object.node != kNoItem) {
          const TreeItem item = InsertFirst(tree, object.object->name, object.node, kObjectData);
          if (object.table) InsertFirst(tree, kColumnsNode, item, 0);
          if (object.bold) tree.SetBold(item, true);
        }
        window_.controls.progress->SetPos(static_cast<std::int32_t>(object.position));
      }
    });
    pending_.clear();
  }

 private:
  static constexpr std::size_t kBatch = 256;
  struct Pending {
    const CatalogObject* object;
    TreeItem node;
    bool table;
    bool bold;
    std::size_t position;
  };

  const TreeWindow& window_;
  const TreeNodes& nodes_;
  DatabaseCatalog& catalog_;
  std::vector<Pending> pending_;
};

// The groups a table's keys go under.
struct KeyGroups {
  TreeItem primaryKey = kNoItem;
  TreeItem constraint = kNoItem;
  TreeItem unique = kNoItem;
  TreeItem foreignKey = kNoItem;
};

void InsertKey(platform::TreeControl& tree, const KeyGroups& groups, const TableKey& key, bool sql2000) {
  // A SQL Server 2000 primary or unique key carries its object id for the key script.
  const std::intptr_t keyData = sql2000 ? key.objectId : 0;
  if (key.type == "PK") InsertFirst(tree, key.name, groups.primaryKey, keyData);
  else if (key.type == "F ") InsertFirst(tree, key.name, groups.foreignKey, 0);
  else if (key.type == "C " || key.type == "D ") InsertFirst(tree, key.name, groups.constraint, kConstraintData);
  else if (key.type == "UQ") InsertFirst(tree, key.name, groups.unique, keyData);
}

void InsertDetails(platform::TreeControl& tree, TreeNodes& nodes, TreeItem table, TreeItem columns,
                   const std::vector<ColumnLayout>& layouts, const std::vector<TableKey>& keys) {
  KeyGroups groups;
  groups.primaryKey = InsertFirst(tree, kPrimaryKeyNode, table, 0);
  groups.constraint = InsertFirst(tree, kConstraintNode, table, 0);
  groups.unique = InsertFirst(tree, kUniqueNode, table, 0);
  groups.foreignKey = InsertFirst(tree, kForeignKeyNode, table, 0);
  nodes.lastPrimaryKey = groups.primaryKey;
  for (auto column = layouts.rbegin(); column != layouts.rend(); ++column)
    if (!column->name.empty()) InsertFirst(tree, ColumnItemText(*column), columns, 0);
  const bool sql2000 = Settings().isSql2000 != 0;
  for (const TableKey& key : keys) InsertKey(tree, groups, key, sql2000);
}

}  // namespace

std::u16string ColumnItemText(const ColumnLayout& column) {
  std::u16string text = column.name + u"  " + column.typeText;
  if (column.inPrimaryKey) text += u"[Primary Key]";
  else if (column.inUniqueKey || column.indexFlag8) text += u"[Unique]";
  if (column.inForeignKey)
    text += u"  (foreign key) references " + column.referencedTable + u"( " + column.referencedColumn + u")";
  return text;
}

TreeNodes BuildSkeleton(const TreeWindow& window, const std::u16string& rootText) {
  TreeNodes nodes;
  OnUi(window, [&] {
    platform::TreeControl& tree = *window.controls.tree;
    nodes.root = tree.InsertItem(rootText, kNoItem, InsertAt::kLast, 0);
    nodes.tables = InsertFirst(tree, kTablesNode, nodes.root, 0);
    nodes.userTables = InsertFirst(tree, kUserTablesNode, nodes.tables, 0);
    nodes.systemTables = InsertFirst(tree, kSystemTablesNode, nodes.tables, 0);
    nodes.programmability = InsertFirst(tree, kProgrammabilityNode, nodes.root, 0);
    nodes.functions = InsertFirst(tree, kFunctionNode, nodes.programmability, 0);
    nodes.procedures = InsertFirst(tree, kProcedureNode, nodes.programmability, 0);
    nodes.views = InsertFirst(tree, kViewsNode, nodes.root, 0);
    nodes.defaults = InsertFirst(tree, kDefaultNode, nodes.programmability, 0);
    nodes.triggers = InsertFirst(tree, kTriggersNode, nodes.programmability, 0);
  });
  return nodes;
}

bool FillFromCatalog(const TreeWindow& window, TreeNodes& nodes, DatabaseCatalog& catalog) {
  const std::size_t count = catalog.objects.size();
  if (count == 0) return false;
  OnUi(window, [&] { window.controls.progress->SetRange(0, static_cast<std::int32_t>(count)); });
  Announce(window, kCreatingTree);
  SetProgress(window, 0);
  bool named = false;
  PendingObjects pending(window, nodes, catalog);
  for (std::size_t i = 0; i < count && !StopRequested(); ++i) {
    const CatalogObject& object = catalog.objects[i];
    if (object.name.empty()) continue;
    pending.Add(object, i);
    named = true;
  }
  pending.Flush();
  OnUi(window, [&] {
    window.controls.tree->SortChildren(nodes.procedures);
    window.controls.tree->SortChildren(nodes.functions);
  });
  Announce(window, kProcessDone);
  SetProgress(window, count);
  return named;
}

bool ExpandTable(const TreeWindow& window, TreeNodes& nodes, DatabaseCatalog& catalog, platform::TreeItem table,
                 const std::vector<ModuleTextEntry>& entries) {
  TreeItem parent = kNoItem;
  TreeItem columns = kNoItem;
  std::u16string name;
  bool unexpanded = false;
  OnUi(window, [&] {
    const platform::TreeControl& tree = *window.controls.tree;
    parent = tree.Parent(table);
    columns = tree.FirstChild(table);
    unexpanded = columns != kNoItem && tree.ItemText(columns) == kColumnsNode;
    name = tree.ItemText(table);
  });
  const bool user = parent == nodes.userTables;
  if (parent == kNoItem || (!user && parent != nodes.systemTables) || !unexpanded) return false;

  const std::vector<ColumnLayout> layouts = ResolveTableSchema(catalog, name, user ? "U " : "S ", entries);
  // Left as it is, the table is tried again at its next selection.
  if (!catalog.selected.resolved) return true;
  const std::vector<TableKey> keys = catalog.selected.keys;
  OnUi(window, [&] { InsertDetails(*window.controls.tree, nodes, table, columns, layouts, keys); });
  return true;
}

}  // namespace quillmark::app
