// `objects`: the database's objects under the headings of the program's object
// tree, in the order the tree shows them.
#include <fmt/format.h>

#include <initializer_list>
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/ObjectTree.h"
#include "engine/AppSettings.h"

namespace quillmark::cli {
namespace {

struct Branch {
  const char* name;
  const std::vector<std::string>& names;
};

void PrintNames(const std::string& indent, const std::vector<std::string>& names, std::ostream& out) {
  for (std::size_t i = 0; i < names.size(); ++i)
    out << indent << (i + 1 < names.size() ? "├── " : "└── ") << names[i] << "\n";
}

void PrintBranches(std::initializer_list<Branch> branches, std::ostream& out) {
  std::size_t left = branches.size();
  for (const Branch& branch : branches) {
    const bool last = --left == 0;
    out << (last ? "└── " : "├── ") << fmt::format("{} ({})\n", branch.name, branch.names.size());
    PrintNames(last ? "    " : "│   ", branch.names, out);
  }
}

void PrintTree(const ObjectGroups& groups, std::ostream& out) {
  out << fmt::format("Views ({})\n", groups.views.size());
  PrintNames("", groups.views, out);
  out << "\nProgrammability\n";
  PrintBranches({{"Triggers", groups.triggers},
                 {"Default", groups.defaults},
                 {"Store Procedure", groups.procedures},
                 {"Function", groups.functions}},
                out);
  out << "\nTables\n";
  PrintBranches({{"System Tables", groups.systemTables}, {"User Tables", groups.userTables}}, out);
}

nlohmann::ordered_json Json(const ObjectGroups& groups) {
  return {{"views", groups.views},           {"triggers", groups.triggers},
          {"defaults", groups.defaults},     {"procedures", groups.procedures},
          {"functions", groups.functions},   {"systemTables", groups.systemTables},
          {"userTables", groups.userTables}, {"isSql2000", Settings().isSql2000 != 0}};
}

}  // namespace

void ObjectsCommand(const DatabaseCatalog& catalog, bool json, std::ostream& out) {
  const ObjectGroups groups = GroupObjects(catalog);
  if (json)
    out << Json(groups).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
  else
    PrintTree(groups, out);
}

void UserTableNamesCommand(const DatabaseCatalog& catalog, std::ostream& out) {
  for (const std::string& name : GroupObjects(catalog).userTables) out << name << "\n";
}

}  // namespace quillmark::cli
