// The ALTER TABLE statements the text view shows for a selected key or
// constraint: primary key, unique key, and check constraint (also shown for the
// defaults listed under a table's constraints). Names go into the statements as
// text, whatever characters they hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"

namespace quillmark {

// The key's columns joined by " , " after a leading blank, from the legacy
// tables whose id is `keyData` (the key item's data: the owning table's id for
// SQL Server 2000 keys, 0 otherwise); the table name is set from them.
struct KeyColumnList {
  std::u16string tableName;
  std::u16string columns = u" ";
};
enum class KeyKind { kPrimary, kUnique };
KeyColumnList BuildKeyColumnList(const std::vector<LegacyTable>& tables, std::int32_t keyData, KeyKind kind);

std::u16string PrimaryKeyScript(const std::vector<LegacyTable>& tables, std::int32_t keyData);
std::u16string UniqueKeyScript(const std::vector<LegacyTable>& tables, std::int32_t keyData, const std::u16string& keyName);
std::u16string CheckConstraintScript(const std::u16string& tableName, const std::u16string& constraintName,
                                     const std::u16string& definition);

}  // namespace quillmark
