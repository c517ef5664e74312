#include "details/KeyScripts.h"

namespace quillmark {
namespace {

bool Taken(const LegacyTableColumn& column, KeyKind kind) {
  if (kind == KeyKind::kPrimary) return (column.typeStatus & 1) != 0;
  return column.typeStatus == 0 || (column.typeStatus & 1) != 0;
}

bool IsWhiteSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

KeyColumnList BuildKeyColumnList(const std::vector<LegacyTable>& tables, std::int32_t keyData, KeyKind kind) {
  KeyColumnList list;
  for (const LegacyTable& table : tables) {
    if (table.objectId != keyData) continue;
    list.tableName = table.name;
    for (const LegacyTableColumn& column : table.columns)
      if (Taken(column, kind)) list.columns += column.name + u" , ";
    // Drop the last separator's comma; an empty list has nothing to drop.
    while (!list.columns.empty() && IsWhiteSpace(list.columns.back())) list.columns.pop_back();
    if (!list.columns.empty()) list.columns.pop_back();
  }
  return list;
}

std::u16string PrimaryKeyScript(const std::vector<LegacyTable>& tables, std::int32_t keyData) {
  KeyColumnList list = BuildKeyColumnList(tables, keyData, KeyKind::kPrimary);
  return u"ALTER TABLE " + list.tableName + u" ADD PRIMARY KEY (" + list.columns + u")";
}

std::u16string UniqueKeyScript(const std::vector<LegacyTable>& tables, std::int32_t keyData, const std::u16string& keyName) {
  KeyColumnList list = BuildKeyColumnList(tables, keyData, KeyKind::kUnique);
  return u"ALTER TABLE[dbo].[" + list.tableName + u"] WITH NOCHECK ADD CONSTRAINT[" + keyName +
         u"] UNIQUE CLUSTERED \r\n(\r\n[" + list.columns + u"] DSC\r\n)";
}

std::u16string CheckConstraintScript(const std::u16string& tableName, const std::u16string& constraintName,
                                     const std::u16string& definition) {
  return u"ALTER TABLE  [dbo].[" + tableName + u"] WITH NOCHECK ADD CONSTRAINT[" + constraintName + u"] CHECK " +
         definition;
}

}  // namespace quillmark
