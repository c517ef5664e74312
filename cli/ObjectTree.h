// The objects of a database grouped the way the program's object tree shows
// them after a scan.
#pragma once

#include <string>
#include <vector>

#include "catalog/DatabaseCatalog.h"

namespace quillmark::cli {

// Each group holds object names (UTF-8) in the order the tree shows them.
struct ObjectGroups {
  std::vector<std::string> views;
  std::vector<std::string> triggers;
  std::vector<std::string> defaults;
  std::vector<std::string> procedures;
  std::vector<std::string> functions;
  std::vector<std::string> systemTables;
  std::vector<std::string> userTables;
};

// Every named object of a shown type, each inserted above the earlier ones of
// its group; procedures, functions and user tables are then sorted by name.
ObjectGroups GroupObjects(const DatabaseCatalog& catalog);

}  // namespace quillmark::cli
