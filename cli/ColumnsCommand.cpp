// `columns`: a table's resolved column layouts, one line each as the object
// tree shows a table's columns, or every layout field as JSON.
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/TableRows.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

std::string Text(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::string ColumnLine(const ColumnLayout& c) {
  std::string line = Text(c.name) + "  " + Text(c.typeText);
  if (c.inPrimaryKey)
    line += "[Primary Key]";
  else if (c.inUniqueKey || c.indexFlag8)
    line += "[Unique]";
  if (c.inForeignKey)
    line += "  (foreign key) references " + Text(c.referencedTable) + "( " + Text(c.referencedColumn) + ")";
  return line;
}

nlohmann::ordered_json ToJson(const ColumnLayout& c) {
  return {{"spare1", c.spare1},
          {"length", c.length},
          {"columnId", c.columnId},
          {"name", Text(c.name)},
          {"typeCode", c.typeCode},
          {"typeText", Text(c.typeText)},
          {"nullable", c.nullable},
          {"spare2", c.spare2},
          {"variableFlag", c.variableFlag},
          {"sparseFlag", c.sparseFlag},
          {"valueText", Text(c.valueText)},
          {"spare3", c.spare3},
          {"precision", c.precision},
          {"scale", c.scale},
          {"physicalColumnId", c.physicalColumnId},
          {"hasLayout", c.hasLayout},
          {"leafOffset", c.leafOffset},
          {"legacyOffset", c.legacyOffset},
          {"nullBit", c.nullBit},
          {"inPrimaryKey", c.inPrimaryKey},
          {"indexFlag8", c.indexFlag8},
          {"inUniqueKey", c.inUniqueKey},
          {"inForeignKey", c.inForeignKey},
          {"statusBit3", c.statusBit3},
          {"referencedTable", Text(c.referencedTable)},
          {"referencedColumn", Text(c.referencedColumn)},
          {"identityText", Text(c.identityText)},
          {"uniqueKeyProperty", c.uniqueKeyProperty},
          {"collationId", c.collationId}};
}

}  // namespace

void ColumnsCommand(DatabaseCatalog& catalog, const std::string& table, bool json, std::ostream& out) {
  ModuleTextStore store;
  const std::vector<ColumnLayout> layouts = ResolveTable(catalog, table, store);
  if (json) {
    auto array = nlohmann::ordered_json::array();
    for (const ColumnLayout& layout : layouts) array.push_back(ToJson(layout));
    out << array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return;
  }
  // The tree gives a column without a name no item.
  for (const ColumnLayout& layout : layouts)
    if (!layout.name.empty()) out << ColumnLine(layout) << "\n";
}

}  // namespace quillmark::cli
