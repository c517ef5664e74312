// The catalog tables of SQL Server 2000 files: sysobjects (1), sysindexes (2),
// syscolumns (3) and systypes (4).
//
// systypes: the name is the row's first variable value; fixed data:
//   0  1  xtype      1  1  status      2  2  xusertype    4  2  length
//   6  1  xprec      7  1  xscale      8  4  tdefault    12  4  domain
//  16  2  uid       18  2  (reserved) 20  4  collationid

#include <set>
#include <string>
#include <tuple>

#include "catalog/CatalogLookups.h"
#include "catalog/RowFields.h"
#include "catalog/SystemTables.h"
#include "engine/RecordPage.h"

namespace quillmark {
namespace {

constexpr std::int32_t kLegacyColumnCountWithCollation = 21;
constexpr std::int32_t kLegacyTypeFixedLength = 24;

}  // namespace

void ReadLegacyObjectTable(CatalogReader& reader, std::vector<CatalogObject>& objects) {
  reader.ReadTable(kLegacyObjectTableId, [&](const CRecord& record, const CDataPage&) {
    RowFields row(record);
    if (!row.HasFixedData() || row.FixedLength() < 20 || row.Read<std::int32_t>(0, 0) <= 0) return;
    CatalogObject object;
    object.id = row.Read<std::int32_t>(0, -1);
    object.schemaId = row.Read<std::int32_t>(4, -1);
    object.namespaceClass = row.Read<std::uint8_t>(8, 255);
    object.status = row.Read<std::int32_t>(9, -1);
    object.type = row.TwoChars(4);
    object.parentId = row.Read<std::int32_t>(15, -1);
    if (row.FixedLength() >= 24) object.parentId = row.Read<std::int32_t>(24, object.parentId);
    object.parentClass = row.Read<std::uint8_t>(19, 255);
    object.property = row.Read<std::int32_t>(20, -1);
    object.name = reader.NameOf(record, kRepairName);
    objects.push_back(std::move(object));
  });
}

void ReadLegacyTypes(CatalogReader& reader, std::vector<CatalogType>& types) {
  CatalogReader::Options options;
  options.skipIndexRecords = true;
  // A page an earlier copy of the table left behind repeats its rows.
  std::set<std::tuple<std::int32_t, std::uint8_t, std::u16string>> seen;
  for (const CatalogType& known : types) seen.emplace(known.id, known.systemTypeId, known.name);
  reader.ReadTable(
      kLegacyTypeTableId,
      [&](const CRecord& record, const CDataPage&) {
        RowFields row(record);
        if (!row.HasFixedData() || row.FixedLength() < kLegacyTypeFixedLength) return;
        CatalogType type;
        type.systemTypeId = row.Read<std::uint8_t>(0, 255);
        type.status = row.Read<std::uint8_t>(1, 255);
        type.id = row.Read<std::int16_t>(2, -1);
        type.length = row.Read<std::int16_t>(4, -1);
        type.precision = row.Read<std::uint8_t>(6, 255);
        type.scale = row.Read<std::uint8_t>(7, 255);
        type.schemaId = row.Read<std::int16_t>(16, -1);
        type.collationId = row.Read<std::int32_t>(20, -1);
        type.name = FirstVariableText(record).value_or(u"");
        if (!seen.emplace(type.id, type.systemTypeId, type.name).second) return;
        types.push_back(std::move(type));
      },
      options);
}

void ReadLegacyIndexes(CatalogReader& reader, std::map<std::int32_t, LegacyIndexEntry>& entries) {
  CatalogReader::Options options;
  options.skipIndexRecords = true;
  reader.ReadTable(
      kLegacyIndexTableId,
      [&](const CRecord& record, const CDataPage& page) {
        RowFields row(record);
        if (!row.HasFixedData() || row.FixedLength() < 64 || row.Read<std::int16_t>(14, 0) != 1) return;
        LegacyIndexEntry entry;
        entry.objectId = row.Read<std::int32_t>(0, -1);
        entry.fileId = page.header->thisPage.fileId;
        entry.indexId = 1;
        entry.firstPage = row.Read<std::int32_t>(8, -1);
        entry.firstIamPage = row.Read<std::int32_t>(64, -1);
        entries[entry.objectId] = entry;
      },
      options);
}

void ReadLegacyColumns(CatalogReader& reader, std::vector<LegacyColumn>& columns, std::vector<LegacyTable>& tables) {
  std::size_t firstOfPage = columns.size();
  PositionIndex<std::int32_t> tablesById;
  tablesById.Update(tables, [](const LegacyTable& table) { return table.objectId; });
  // Each page's columns join their tables once the page is read.
  auto attach = [&]() {
    for (std::size_t i = firstOfPage; i < columns.size(); ++i) {
      LegacyColumn& column = columns[i];
      for (std::uint32_t at : tablesById.Find(column.objectId)) {
        tables[at].columns.push_back(LegacyTableColumn{column.name, u"", column.columnOrder, column.typeStatus});
        if (column.typeStatus & 0x01) column.nullability = 0;
      }
    }
    firstOfPage = columns.size();
  };
  CatalogReader::Options options;
  options.skipIndexRecords = true;
  options.afterPage = attach;
  reader.ResetCounter();
  reader.ReadTable(
      kLegacyColumnTableId,
      [&](const CRecord& record, const CDataPage&) {
        RowFields row(record);
        LegacyColumn column;
        if (row.HasFixedData()) {
          column.objectId = row.Read<std::int32_t>(0, -1);
          column.systemType = row.Read<std::uint8_t>(4, 255);
          column.typeStatus = row.Read<std::uint8_t>(5, 255);
          column.userType = row.Read<std::int16_t>(6, -1);
          column.length = row.Read<std::int16_t>(8, -1);
          column.precision = row.Read<std::uint8_t>(10, 255);
          column.scale = row.Read<std::uint8_t>(11, 255);
          column.columnId = row.Read<std::int16_t>(12, -1);
          column.leafOffset = row.Read<std::int16_t>(14, -1);
          column.bitPosition = row.Read<std::uint8_t>(16, 255);
          column.reserved = row.Read<std::uint8_t>(17, 255);
          column.columnStatus = row.Read<std::int16_t>(18, -1);
          column.defaultObjectId = row.Read<std::int16_t>(20, -1);
          column.domain = row.Read<std::int32_t>(24, -1);
          column.number = row.Read<std::int16_t>(28, -1);
          column.columnOrder = row.Read<std::int16_t>(30, -1);
          column.offset = row.Read<std::int16_t>(32, -1);
          if (record.columnCount >= kLegacyColumnCountWithCollation) {
            if (row.FixedLength() >= 38) column.collationId = row.Read<std::int32_t>(34, -1);
            if (row.FixedLength() >= 43) column.status = row.Read<std::uint8_t>(42, 255);
          }
          column.name = reader.NameOf(record, kRepairColumn);
        }
        columns.push_back(std::move(column));
      },
      options);
  reader.ResetCounter();
}

}  // namespace quillmark
