// `catalog`: every record of one catalog list with all its fields, as a table or
// as a JSON array, so that a user sees exactly what the system tables hold.
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string_view>

#include "cli/Commands.h"
#include "cli/PageAddress.h"
#include "cli/TextTable.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

using Record = nlohmann::ordered_json;

std::string Text(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes) {
  std::string text;
  for (std::uint8_t byte : bytes) text += fmt::format("{:02x}", byte);
  return text;
}

Record ToJson(const CatalogFile& f) {
  return {{"status", f.status},
          {"fileId", f.fileId},
          {"logicalName", Text(f.logicalName)},
          {"physicalName", Text(f.physicalName)},
          {"length", f.length},
          {"pageCount", f.pageCount},
          {"baseOffset", f.baseOffset}};
}

Record ToJson(const CatalogObject& o) {
  return {{"id", o.id},
          {"name", Text(o.name)},
          {"schemaId", o.schemaId},
          {"namespaceClass", o.namespaceClass},
          {"status", o.status},
          {"type", o.type},
          {"parentId", o.parentId},
          {"parentClass", o.parentClass},
          {"property", o.property}};
}

Record ToJson(const CatalogAllocUnit& a) {
  return {{"id", a.id},
          {"type", a.type},
          {"ownerId", a.ownerId},
          {"status", a.status},
          {"filegroupId", a.filegroupId},
          {"firstPage", PageAddressText(a.firstPage)},
          {"rootPage", PageAddressText(a.rootPage)},
          {"firstIamPage", PageAddressText(a.firstIamPage)}};
}

Record ToJson(const CatalogRowset& r) {
  return {{"rowsetId", r.rowsetId},
          {"ownerType", r.ownerType},
          {"objectId", r.objectId},
          {"indexId", r.indexId},
          {"partitionNumber", r.partitionNumber},
          {"status", r.status},
          {"filegroup", r.filegroup},
          {"rowCount", r.rowCount}};
}

Record ToJson(const CatalogColumn& c) {
  return {{"objectId", c.objectId},
          {"number", c.number},
          {"columnId", c.columnId},
          {"name", Text(c.name)},
          {"systemTypeId", c.systemTypeId},
          {"userTypeId", c.userTypeId},
          {"maxLength", c.maxLength},
          {"precision", c.precision},
          {"scale", c.scale},
          {"collationId", c.collationId},
          {"status", c.status},
          {"maxInRowLength", c.maxInRowLength},
          {"xmlCollectionId", c.xmlCollectionId},
          {"defaultObjectId", c.defaultObjectId},
          {"checkObjectId", c.checkObjectId},
          {"identityText", Text(c.identityText)}};
}

Record ToJson(const CatalogType& t) {
  return {{"id", t.id},         {"schemaId", t.schemaId},   {"name", Text(t.name)}, {"systemTypeId", t.systemTypeId},
          {"length", t.length}, {"precision", t.precision}, {"scale", t.scale},     {"collationId", t.collationId},
          {"status", t.status}, {"value30", t.value30},     {"value34", t.value34}};
}

Record ToJson(const CatalogRowsetColumn& c) {
  return {{"rowsetId", c.rowsetId},
          {"rowsetColumnId", c.rowsetColumnId},
          {"hobtColumnId", c.hobtColumnId},
          {"modifiedCount", c.modifiedCount},
          {"typeInfo", c.typeInfo},
          {"columnId", c.columnId},
          {"keyOrdinal", c.keyOrdinal},
          {"maxInRowLength", c.maxInRowLength},
          {"status", c.status},
          {"leafOffset", c.leafOffset},
          {"nullBit", c.nullBit},
          {"bitPosition", c.bitPosition}};
}

Record ToJson(const CatalogReference& r) {
  return {{"referenceClass", r.referenceClass},     {"dependentId", r.dependentId},
          {"dependentSubId", r.dependentSubId},     {"independentId", r.independentId},
          {"independentSubId", r.independentSubId}, {"status", r.status}};
}

Record ToJson(const CatalogIndex& i) {
  return {{"objectId", i.objectId},       {"indexId", i.indexId},
          {"name", Text(i.name)},         {"status", i.status},
          {"property", i.property},       {"fillFactor", i.fillFactor},
          {"indexType", i.indexType},     {"tinyProperty", i.tinyProperty},
          {"dataSpaceId", i.dataSpaceId}, {"lobDataSpaceId", i.lobDataSpaceId},
          {"rowsetId", i.rowsetId}};
}

Record ToJson(const CatalogIndexColumn& c) {
  return {{"objectId", c.objectId},           {"indexId", c.indexId},
          {"keyOrdinal", c.keyOrdinal},       {"status", c.status},
          {"columnId", c.columnId},           {"tinyProperty1", c.tinyProperty1},
          {"tinyProperty2", c.tinyProperty2}, {"indexStatus", c.indexStatus}};
}

Record ToJson(const ObjectDetail& d) {
  return {{"name", Text(d.name)},
          {"id", d.id},
          {"class97ReferenceId", d.class97ReferenceId},
          {"schemaId", d.schemaId},
          {"parentId", d.parentId},
          {"class27ReferenceId", d.class27ReferenceId},
          {"class27ReferenceSubId", d.class27ReferenceSubId},
          {"type", d.type},
          {"spare", Text(d.spare)},
          {"property", d.property},
          {"reserved", Hex(d.reserved)}};
}

Record ToJson(const ForeignKeyColumn& c) {
  return {{"constraintId", c.constraintId},
          {"ordinal", c.ordinal},
          {"parentTableId", c.parentTableId},
          {"parentColumnId", c.parentColumnId},
          {"referencedTableId", c.referencedTableId},
          {"referencedColumnId", c.referencedColumnId},
          {"constraintName", Text(c.constraintName)},
          {"spare", Text(c.spare)},
          {"parentTableName", Text(c.parentTableName)},
          {"parentColumnName", Text(c.parentColumnName)},
          {"referencedTableName", Text(c.referencedTableName)},
          {"referencedColumnName", Text(c.referencedColumnName)},
          {"constraintStatus", c.constraintStatus}};
}

Record ToJson(const LegacyTableColumn& c) {
  return {
      {"name", Text(c.name)}, {"spare", Text(c.spare)}, {"columnOrder", c.columnOrder}, {"typeStatus", c.typeStatus}};
}

Record ToJson(const LegacyTable& t) {
  Record columns = Record::array();
  for (const LegacyTableColumn& column : t.columns) columns.push_back(ToJson(column));
  return {{"objectId", t.objectId}, {"name", Text(t.name)}, {"spare", Text(t.spare)}, {"columns", columns}};
}

Record ToJson(const LegacyColumn& c) {
  return {{"name", Text(c.name)},
          {"objectId", c.objectId},
          {"systemType", c.systemType},
          {"typeStatus", c.typeStatus},
          {"userType", c.userType},
          {"length", c.length},
          {"precision", c.precision},
          {"scale", c.scale},
          {"columnId", c.columnId},
          {"leafOffset", c.leafOffset},
          {"bitPosition", c.bitPosition},
          {"reserved", c.reserved},
          {"columnStatus", c.columnStatus},
          {"defaultObjectId", c.defaultObjectId},
          {"afterColumnOrder", c.afterColumnOrder},
          {"domain", c.domain},
          {"number", c.number},
          {"columnOrder", c.columnOrder},
          {"offset", c.offset},
          {"collationId", c.collationId},
          {"status", c.status},
          {"nullability", c.nullability}};
}

Record ToJson(const std::pair<const std::int32_t, LegacyIndexEntry>& item) {
  const LegacyIndexEntry& e = item.second;
  return {{"objectId", e.objectId},
          {"fileId", e.fileId},
          {"indexId", e.indexId},
          {"firstPage", e.firstPage},
          {"firstIamPage", e.firstIamPage}};
}

// The records of one list, and a blank record that names the fields even when
// the list is empty; a nested list holds one blank element.
struct ListRecords {
  Record blank;
  std::vector<Record> records;
};

template <typename T>
Record Blank() {
  return ToJson(T{});
}

template <>
Record Blank<LegacyTable>() {
  LegacyTable table;
  table.columns.emplace_back();
  return ToJson(table);
}

template <typename List>
ListRecords Records(const List& list) {
  ListRecords out{Blank<std::remove_const_t<typename List::value_type>>(), {}};
  for (const auto& item : list) out.records.push_back(ToJson(item));
  return out;
}

using ListReader = std::function<ListRecords(const DatabaseCatalog&)>;

const std::vector<std::pair<std::string_view, ListReader>>& Lists() {
  static const std::vector<std::pair<std::string_view, ListReader>> lists = {
      {"files", [](const DatabaseCatalog& c) { return Records(c.files); }},
      {"objects", [](const DatabaseCatalog& c) { return Records(c.objects); }},
      {"allocunits", [](const DatabaseCatalog& c) { return Records(c.allocUnits); }},
      {"rowsets", [](const DatabaseCatalog& c) { return Records(c.rowsets); }},
      {"columns", [](const DatabaseCatalog& c) { return Records(c.columns); }},
      {"types", [](const DatabaseCatalog& c) { return Records(c.types); }},
      {"rowsetcolumns", [](const DatabaseCatalog& c) { return Records(c.rowsetColumns); }},
      {"references", [](const DatabaseCatalog& c) { return Records(c.references); }},
      {"indexes", [](const DatabaseCatalog& c) { return Records(c.indexes); }},
      {"indexcolumns", [](const DatabaseCatalog& c) { return Records(c.indexColumns); }},
      {"objectdetails", [](const DatabaseCatalog& c) { return Records(c.objectDetails); }},
      {"fkcolumns", [](const DatabaseCatalog& c) { return Records(c.foreignKeyColumns); }},
      {"legacytables", [](const DatabaseCatalog& c) { return Records(c.legacyTables); }},
      {"legacycolumns", [](const DatabaseCatalog& c) { return Records(c.legacyColumns); }},
      {"legacyindexes", [](const DatabaseCatalog& c) { return Records(c.legacyIndexes); }},
  };
  return lists;
}

const ListReader* FindList(std::string_view name) {
  for (const auto& [listName, reader] : Lists())
    if (listName == name) return &reader;
  return nullptr;
}

// Control characters would break the table's lines; they show as \xNN.
std::string Cell(const Record& value) {
  if (!value.is_string()) return value.dump();
  std::string text;
  for (char c : value.get_ref<const std::string&>())
    text += static_cast<unsigned char>(c) < 0x20 ? fmt::format("\\x{:02x}", static_cast<int>(c)) : std::string(1, c);
  return text;
}

void AddColumn(TextTable& table, std::string name, const Record& example) {
  table.header.push_back(std::move(name));
  table.rightAligned.push_back(example.is_number());
}

TextTable TableHeader(const Record& blank) {
  TextTable table;
  for (const auto& [key, value] : blank.items()) {
    if (!value.is_array()) {
      AddColumn(table, key, value);
      continue;
    }
    for (const auto& [subkey, subvalue] : value[0].items()) AddColumn(table, key + "." + subkey, subvalue);
  }
  return table;
}

// A record with a nested list takes one row per element, its own fields repeated.
void AddRows(const Record& record, const Record& blank, TextTable& table) {
  std::size_t rows = 1;
  for (const auto& [key, value] : record.items())
    if (value.is_array()) rows = std::max<std::size_t>(rows, value.size());
  for (std::size_t row = 0; row < rows; ++row) {
    std::vector<std::string>& cells = table.rows.emplace_back();
    for (const auto& [key, value] : record.items()) {
      if (!value.is_array()) {
        cells.push_back(Cell(value));
        continue;
      }
      for (const auto& [subkey, unused] : blank[key][0].items())
        cells.push_back(row < value.size() ? Cell(value[row][subkey]) : "");
    }
  }
}

std::string ListNames() {
  std::vector<std::string_view> names;
  for (const auto& [name, reader] : Lists()) names.push_back(name);
  return fmt::format("{}", fmt::join(names, ", "));
}

}  // namespace

void CheckCatalogList(const std::string& list) {
  if (!FindList(list)) throw CliError(fmt::format("unknown list '{}': expected one of {}", list, ListNames()));
}

void CatalogCommand(const DatabaseCatalog& catalog, const std::string& list, bool json, std::ostream& out) {
  CheckCatalogList(list);
  const ListRecords records = (*FindList(list))(catalog);
  if (json) {
    out << Record(records.records).dump(2, ' ', false, Record::error_handler_t::replace) << "\n";
    return;
  }
  TextTable table = TableHeader(records.blank);
  for (const Record& record : records.records) AddRows(record, records.blank, table);
  PrintTable(table, out);
  out << fmt::format("\n{} records\n", records.records.size());
}

}  // namespace quillmark::cli
