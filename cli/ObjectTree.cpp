#include "cli/ObjectTree.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

enum Group { kViews, kTriggers, kDefaults, kProcedures, kFunctions, kSystemTables, kUserTables, kGroupCount };

// The node of the tree that shows objects of `type`; nothing for types it leaves out.
std::optional<Group> GroupOf(const std::string& type) {
  if (type == "V ") return kViews;
  if (type == "TR") return kTriggers;
  if (type == "D ") return kDefaults;
  if (type == "P ") return kProcedures;
  if (type == "FN" || type == "IF" || type == "TF") return kFunctions;
  if (type == "S ") return kSystemTables;
  if (type == "U ") return kUserTables;
  return std::nullopt;
}

char16_t FoldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// The tree sorts with a plain case-insensitive compare: A-Z folded to a-z, then
// code unit by code unit, so "_" sorts before the letters and no locale applies.
bool TreeOrderLess(const std::u16string& a, const std::u16string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return FoldCase(x) < FoldCase(y); });
}

std::vector<std::string> ToUtf8(const std::vector<std::u16string>& names) {
  std::vector<std::string> out;
  out.reserve(names.size());
  for (const std::u16string& name : names) out.push_back(platform::Utf16ToUtf8(name));
  return out;
}

}  // namespace

ObjectGroups GroupObjects(const DatabaseCatalog& catalog) {
  std::array<std::vector<std::u16string>, kGroupCount> groups;
  for (const CatalogObject& object : catalog.objects)
    if (auto group = GroupOf(object.type); group && !object.name.empty()) groups[*group].push_back(object.name);
  // Each item goes in as the first child of its node: the last one met shows on top.
  for (auto& names : groups) std::reverse(names.begin(), names.end());
  for (Group sorted : {kProcedures, kFunctions, kUserTables})
    std::stable_sort(groups[sorted].begin(), groups[sorted].end(), TreeOrderLess);
  return {ToUtf8(groups[kViews]),      ToUtf8(groups[kTriggers]),  ToUtf8(groups[kDefaults]),
          ToUtf8(groups[kProcedures]), ToUtf8(groups[kFunctions]), ToUtf8(groups[kSystemTables]),
          ToUtf8(groups[kUserTables])};
}

}  // namespace quillmark::cli
