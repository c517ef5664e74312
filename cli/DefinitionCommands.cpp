// `definition`, `definitions` and `keyscript`: what the text view shows for a
// programmability object, a constraint or a key.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "catalog/SchemaResolution.h"
#include "cli/Commands.h"
#include "cli/TableRows.h"
#include "details/KeyScripts.h"
#include "details/ModuleText.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

std::string Text(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::u16string IdText(std::int32_t id) { return platform::Utf8ToUtf16(std::to_string(id)); }

bool IsOneOf(const std::string& type, std::initializer_list<const char*> types) {
  return std::any_of(types.begin(), types.end(), [&](const char* t) { return type == t; });
}

// The types whose selection shows their module text in the text view.
bool ShowsModuleText(const std::string& type) {
  return IsOneOf(type, {"F ", "P ", "D ", "C ", "PK", "FN", "TR", "IF", "V ", "UQ", "TT", "TF"});
}

// The types `definitions` lists: the objects whose text someone wrote.
bool IsProgrammability(const std::string& type) {
  return IsOneOf(type, {"V ", "P ", "FN", "IF", "TF", "TR", "D ", "C "});
}

std::string TypeName(const std::string& type) {
  std::string trimmed = type;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  return trimmed;
}

bool IsTable(const DatabaseCatalog& catalog, const std::string& name) {
  const std::u16string wanted = platform::Utf8ToUtf16(name);
  return std::any_of(catalog.objects.begin(), catalog.objects.end(), [&](const CatalogObject& object) {
    return object.name == wanted && (object.type == "U " || object.type == "S ");
  });
}

// The object `name` as a selection in the object tree finds it: the first
// object of that name that is not a table.
CatalogObject SelectModule(DatabaseCatalog& catalog, const std::string& name) {
  const std::vector<ColumnLayout> pseudoColumns =
      ResolveTableSchema(catalog, platform::Utf8ToUtf16(name), "P ", {});
  const CatalogObject object = catalog.selected.object;
  if (object.type.empty() && IsTable(catalog, name)) throw CliError("'" + name + "' is a table: see columns and rows");
  if (object.type.empty())
    throw CliError("no view, procedure, function, trigger, default or constraint named '" + name + "'");
  // Anything else resolves as a table would and has no text to show.
  if (pseudoColumns.size() != 3 || !ShowsModuleText(object.type))
    throw CliError("'" + name + "' is of type " + TypeName(object.type) + ", which has no definition text");
  return object;
}

const TableKey& FindKey(const SelectedTable& table, const std::string& tableName, const std::string& keyName) {
  const std::u16string wanted = platform::Utf8ToUtf16(keyName);
  for (const TableKey& key : table.keys)
    if (key.name == wanted) return key;
  throw CliError("table '" + tableName + "' has no key or constraint named '" + keyName + "'");
}

// The constraint's own id, whose module text is its condition: in SQL Server
// 2000 files a key's object id field holds its table's id instead.
std::int32_t ConstraintId(const DatabaseCatalog& catalog, const TableKey& key, std::int32_t tableId) {
  for (const CatalogObject& object : catalog.objects)
    if (object.parentId == tableId && object.name == key.name) return object.id;
  return key.objectId;
}

std::u16string KeyScript(const DatabaseCatalog& catalog, const TableKey& key, const ModuleTextStore& store) {
  const CatalogObject& table = catalog.selected.object;
  const std::int32_t keyData = Settings().isSql2000 ? key.objectId : 0;
  if (key.type == "PK") return PrimaryKeyScript(catalog.legacyTables, keyData);
  if (key.type == "UQ") return UniqueKeyScript(catalog.legacyTables, keyData, key.name);
  if (key.type == "C " || key.type == "D ") {
    const std::u16string definition = AssembleModuleText(store.prefetched, IdText(ConstraintId(catalog, key, table.id)));
    return CheckConstraintScript(table.name, key.name, definition);
  }
  if (key.type == "F ") throw CliError("'" + Text(key.name) + "' is a foreign key: foreign keys have no script");
  throw CliError("'" + Text(key.name) + "' is of type " + TypeName(key.type) + ", which has no script");
}

}  // namespace

void DefinitionCommand(DatabaseCatalog& catalog, const std::string& name, std::ostream& out) {
  const CatalogObject object = SelectModule(catalog, name);
  ModuleTextStore store;
  out << Text(GetModuleText(catalog, store, IdText(object.id), nullptr));
}

void DefinitionsCommand(DatabaseCatalog& catalog, bool json, std::ostream& out) {
  // One read of the module-text table serves every object, even when it finds nothing.
  ModuleTextStore store;
  PrefetchModuleEntries(catalog, store, nullptr);
  auto array = nlohmann::ordered_json::array();
  for (const CatalogObject& object : catalog.objects) {
    if (!IsProgrammability(object.type)) continue;
    const std::string text = Text(AssembleModuleText(store.prefetched, IdText(object.id)));
    if (json) {
      array.push_back({{"name", Text(object.name)}, {"type", object.type}, {"definition", text}});
      continue;
    }
    out << "-- " << Text(object.name) << " (" << TypeName(object.type) << ")\n" << text;
    if (!text.empty() && text.back() != '\n') out << "\n";
  }
  if (json) out << array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

void KeyScriptCommand(DatabaseCatalog& catalog, const std::string& table, const std::string& key, std::ostream& out) {
  ModuleTextStore store;
  ResolveTable(catalog, table, store);
  out << Text(KeyScript(catalog, FindKey(catalog.selected, table, key), store)) << "\n";
}

}  // namespace quillmark::cli
