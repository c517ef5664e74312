#include "catalog/SystemTables.h"

#include "tests/catalog/CatalogTest.h"

namespace quillmark::testing {
namespace {

class SystemTablesTest : public CatalogTest {};

TEST_F(SystemTablesTest, ObjectRowsNeedAPositiveIdAndTwentyBytes) {
  Bytes shortRow = Row(Repeat(1, 19), {Utf16(u"short")});
  auto db = OpenWith({{11, SystemPage(34, 11,
                                      {ObjectRow(0, u"zero", "U "), ObjectRow(-5, u"negative", "U "), shortRow,
                                       ObjectRow(77, u"kept", "V ", 12, 0, 1)})}});
  CatalogReader reader(*db);
  std::vector<CatalogObject> objects;
  ReadObjectTable(reader, objects);
  ASSERT_EQ(objects.size(), 1u);
  const CatalogObject& kept = objects[0];
  EXPECT_EQ(kept.id, 77);
  EXPECT_EQ(kept.name, u"kept");
  EXPECT_EQ(kept.type, "V ");
  EXPECT_EQ(kept.schemaId, 1);
  EXPECT_EQ(kept.status, 0x100);
  EXPECT_EQ(kept.parentId, 12);
  EXPECT_EQ(kept.parentClass, 1);
  EXPECT_EQ(kept.property, 7);
}

TEST_F(SystemTablesTest, FieldsPastTheCheckedLengthComeFromThePageNeverPastIt) {
  // Two 20-byte object rows: one mid-page, followed by the bytes 44 33 22 11,
  // and one whose fixed part ends at the very end of the page.
  Bytes fixed(20, 0);
  PutU32(fixed, 0, 91);
  Bytes midPage = Concat({Bytes{0x10, 0x00, 24, 0x00}, fixed, Bytes{0x44, 0x33, 0x22, 0x11}});
  PutU32(fixed, 0, 92);
  Bytes atEnd = Concat({Bytes{0x10, 0x00, 24, 0x00}, fixed});
  PageBuilder page(1, 34, 11);
  page.IndexId(1).AddRecord(midPage);
  page.Place(static_cast<std::uint16_t>(kPage - atEnd.size()), atEnd).AddSlot(static_cast<std::uint16_t>(kPage - atEnd.size()));
  auto db = OpenWith({{11, page.Build()}});

  CatalogReader reader(*db);
  std::vector<CatalogObject> objects;
  ReadObjectTable(reader, objects);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[0].property, 0x11223344);
  EXPECT_EQ(objects[1].id, 92);
  EXPECT_EQ(objects[1].property, -1);
}

TEST_F(SystemTablesTest, IdentityTexts) {
  const std::vector<std::pair<Bytes, std::u16string>> cases = {
      {{0x01, 0x00, 0x0A, 0x00, 0x05, 0x00}, u"identity(10,5)"},
      {{0x01, 0x00, 0x0A}, u"identity(1,1)"},
      {Concat({Repeat(0, 4), Repeat(0xFF, 4), Repeat(0xFF, 4)}), u"identity(-1,-1)"},
      {Concat({Repeat(0, 4), Bytes{100, 0, 0, 0}, Repeat(0, 4)}), u"identity(100,1)"},  // increment 0 becomes 1
      {Concat({Bytes{1, 0, 0, 0}, Repeat(0, 4), Bytes{0, 0, 0, 0, 1, 0, 0, 0}, Bytes{2, 0, 0, 0, 0, 0, 0, 0}}),
       u"identity(4294967296,2)"},
      {{0x01, 0x00, 0xFF, 0xFF, 0xFE, 0xFF}, u"identity(-1,-2)"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(IdentityText(value), text);
}

TEST_F(SystemTablesTest, OnlyStatusFiveMakesAnIdentityColumn) {
  Bytes identity = {0x01, 0x00, 0x0A, 0x00, 0x05, 0x00};
  auto db = OpenWith({{12, SystemPage(41, 12,
                                      {ColumnRow(500, 1, u"id", 56, 4, 5, identity), ColumnRow(500, 2, u"a", 56, 4, 4, identity),
                                       ColumnRow(500, 3, u"b", 56, 4, 7, identity), ColumnRow(500, 4, u"c", 56, 4, 5)})}});
  CatalogReader reader(*db);
  std::vector<CatalogColumn> columns;
  ReadColumnTable(reader, 41, columns);
  ASSERT_EQ(columns.size(), 4u);
  EXPECT_EQ(columns[0].identityText, u"identity(10,5)");
  EXPECT_EQ(columns[1].identityText, u"");
  EXPECT_EQ(columns[2].identityText, u"");
  EXPECT_EQ(columns[3].identityText, u"");  // status 5 without an identity value
  EXPECT_EQ(columns[0].objectId, 500);
  EXPECT_EQ(columns[0].columnId, 1);
  EXPECT_EQ(columns[0].systemTypeId, 56);
  EXPECT_EQ(columns[0].maxLength, 4);
}

TEST_F(SystemTablesTest, ReplacementNamesShareACounterPerPass) {
  Bytes unnamed(40, 0);
  PutU32(unnamed, 0, 501);
  Bytes unnamedToo = unnamed;
  PutU32(unnamedToo, 0, 502);
  Bytes emptyName = ObjectRow(503, u"", "U ");
  Bytes unnamedColumn(41, 0);
  PutU32(unnamedColumn, 0, 501);
  auto db = OpenWith({{11, SystemPage(34, 11, {Row(unnamed), Row(unnamedToo), emptyName})},
                      {12, SystemPage(41, 12, {Row(unnamedColumn)})}});
  DatabaseCatalog catalog(*db);
  ASSERT_EQ(catalog.objects.size(), 3u);
  EXPECT_EQ(catalog.objects[0].name, u"Repairname0");
  EXPECT_EQ(catalog.objects[1].name, u"Repairname1");
  EXPECT_EQ(catalog.objects[2].name, u"RepairColumn2");
  ASSERT_EQ(catalog.columns.size(), 1u);
  EXPECT_EQ(catalog.columns[0].name, u"RepairColumn0");
}

TEST_F(SystemTablesTest, ShortRowsKeepTheirDefaults) {
  auto db = OpenWith({{20, SystemPage(5, 20, {Row(Repeat(0x11, 20))})},
                      {21, SystemPage(55, 21, {Row(Repeat(0x11, 20))})},
                      {22, SystemPage(7, 22, {Row(Repeat(0x11, 38))})}});
  CatalogReader reader(*db);
  std::vector<CatalogRowset> rowsets;
  ReadRowsets(reader, rowsets);
  ASSERT_EQ(rowsets.size(), 1u);
  EXPECT_EQ(rowsets[0].rowsetId, 0);
  EXPECT_EQ(rowsets[0].objectId, -1);
  std::vector<CatalogIndexColumn> indexColumns;
  ReadIndexColumns(reader, indexColumns);
  ASSERT_EQ(indexColumns.size(), 1u);
  EXPECT_EQ(indexColumns[0].objectId, -1);
  EXPECT_EQ(indexColumns[0].tinyProperty1, 255);
  std::vector<CatalogAllocUnit> units;
  ReadAllocUnits(reader, 7, units);
  ASSERT_EQ(units.size(), 2u);  // the minimal database's page of object 7 holds a row too
  EXPECT_EQ(units[1].id, 0);
  EXPECT_EQ(units[1].type, 255);
}

TEST_F(SystemTablesTest, OnlyDataPagesHoldRows) {
  // An IAM page and an index page carrying the table's object id add nothing.
  Bytes alloc(45, 0);
  PutU32(alloc, 0, 0x10000);
  alloc[8] = 1;
  auto db = OpenWith({{10, SystemPage(7, 10, {Row(alloc)})},
                      {20, IamPageBytes({.pageNumber = 20, .objectId = 7, .indexId = 1})},
                      {21, SystemPage(74, 21, {ReferenceRow(28, 1, 1, 2, 2)}, 2)},
                      {22, SystemPage(74, 22, {ReferenceRow(29, 1, 1, 3, 4)})}});
  CatalogReader reader(*db);
  std::vector<CatalogAllocUnit> units;
  ReadAllocUnits(reader, 7, units);
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].id, 0x10000);
  std::vector<CatalogReference> references;
  ReadReferences(reader, references);
  ASSERT_EQ(references.size(), 1u);
  EXPECT_EQ(references[0].referenceClass, 29);
  EXPECT_EQ(references[0].independentSubId, 4);
}

TEST_F(SystemTablesTest, FileTableNamesAreTrimmed) {
  // The physical name field runs from 262 to 781, past the 520 bytes the reader
  // checks: the row's fixed part ends at 520 and the page holds the rest.
  std::u16string longPath = u"D:\\" + std::u16string(140, u'x') + u"\\db_3.ndf";
  Bytes fields(782, 0);
  PutU32(fields, 0, 2);
  PutU16(fields, 4, 3);
  PutBytes(fields, 6, Utf16(u"data3   "));
  PutBytes(fields, 262, Utf16(longPath + u"  "));
  Bytes row = Concat({Bytes{0x10, 0x00, 0x0C, 0x02}, fields});  // fixedEnd 524
  auto db = OpenWith({{20, SystemPage(8, 20, {row})}});
  CatalogReader reader(*db);
  std::vector<CatalogFile> files;
  ReadFileTable(reader, files);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].status, 2);
  EXPECT_EQ(files[0].fileId, 3);
  EXPECT_EQ(files[0].logicalName, u"data3");
  EXPECT_EQ(files[0].physicalName, longPath);
}

}  // namespace
}  // namespace quillmark::testing
