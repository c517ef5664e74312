#include "catalog/SchemaResolution.h"

#include "catalog/OpenSequence.h"
#include "catalog/TypeCode.h"
#include "tests/catalog/CatalogTest.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

constexpr std::int64_t kRowset = 0x0100000000050000;  // an ordinary rowset id
constexpr std::int64_t UserUnit(std::int64_t objectField) { return (256LL << 48) | (objectField << 16); }

class SchemaResolutionTest : public CatalogTest {
 protected:
  // One table, 500, with two int columns and a rowset and allocation unit whose
  // pages are `pages` (object field `unitField`).
  std::unique_ptr<DatabaseFile> TableDatabase(std::int32_t unitField, std::map<std::int32_t, Bytes> extra = {}) {
    std::map<std::int32_t, Bytes> pages = {
        {11, SystemPage(34, 11, {ObjectRow(500, u"T", "U ", 0, 0, 0), ObjectRow(501, u"V", "V ", 0, 0, 0)})},
        {12, SystemPage(41, 12, {ColumnRow(500, 2, u"b"), ColumnRow(500, 1, u"a")})},
        {20, SystemPage(5, 20, {RowsetRow(kRowset, 500, 0)})},
        {10, SystemPage(7, 10, {AllocUnitRow(UserUnit(unitField), 1, kRowset, 30)})},
        {30, UserPage(unitField, 30, 0x30)},
    };
    for (auto& [position, page] : extra) pages[position] = page;
    return OpenWith(pages);
  }
};

TEST_F(SchemaResolutionTest, ATableResolvesToItsColumnsInColumnIdOrderAndItsPages) {
  auto db = TableDatabase(72);
  DatabaseCatalog catalog(*db);
  std::vector<ColumnLayout> layouts = ResolveTableSchema(catalog, u"T", "U ", {});
  ASSERT_EQ(layouts.size(), 2u);
  EXPECT_EQ(layouts[0].name, u"a");
  EXPECT_EQ(layouts[0].typeCode, static_cast<std::uint32_t>(kInt));
  EXPECT_EQ(layouts[0].typeText, u"(4)");  // no type table: no type name
  EXPECT_EQ(layouts[1].name, u"b");
  EXPECT_EQ(catalog.selected.dataPages, (std::vector<PageId>{{1, 30}}));
  EXPECT_EQ(catalog.selected.resolved, 1);
  EXPECT_TRUE(ResolveTableSchema(catalog, u"missing", "U ", {}).empty());
}

TEST_F(SchemaResolutionTest, AUserUnitNamedLikeASystemTableListsOnlyItsOwnPages) {
  // The unit's object field is 34, the id of sysschobjs, whose page 11 is a data page too.
  auto db = TableDatabase(34);
  DatabaseCatalog catalog(*db);
  ResolveTableSchema(catalog, u"T", "U ", {});
  EXPECT_EQ(catalog.selected.dataPages, (std::vector<PageId>{{1, 30}}));
}

TEST_F(SchemaResolutionTest, AnEmptyTableTakesNoSystemTablesPages) {
  // The unit's own key -35 has no pages; sysschobjs' pages are under 34.
  auto db = TableDatabase(34, {{30, UserPage(99, 30, 0x30)}});
  DatabaseCatalog catalog(*db);
  ResolveTableSchema(catalog, u"T", "U ", {});
  EXPECT_TRUE(catalog.selected.dataPages.empty());
  // A map keyed by object fields only (as another program's snapshot) is read under them.
  PageMap plain = {{34, {{1, 30, 1}}}};
  EXPECT_EQ(DataPageKeyOf(plain, UserUnit(34)), 34);
  EXPECT_EQ(DataPageKeyOf(db->dataPages, UserUnit(34)), -35);
}

TEST_F(SchemaResolutionTest, ProgrammabilityObjectsGiveThreePseudoColumns) {
  auto db = TableDatabase(72);
  DatabaseCatalog catalog(*db);
  std::vector<ColumnLayout> layouts = ResolveTableSchema(catalog, u"V", "V ", {});
  ASSERT_EQ(layouts.size(), 3u);
  EXPECT_EQ(layouts[0].valueText, u"501");
  EXPECT_EQ(layouts[1].valueText, u"V ");
  EXPECT_EQ(layouts[2].valueText, u"V");
  EXPECT_EQ(catalog.selected.resolved, 0);
}

TEST_F(SchemaResolutionTest, LayoutRowsPlaceColumnsAndAddedColumnsShowTheirDefault) {
  // Column 3 was added with a default after the rows were written: no layout row.
  auto db = TableDatabase(72, {{12, SystemPage(41, 12,
                                               {ColumnRow(500, 1, u"a"), ColumnRow(500, 2, u"b"),
                                                ColumnRow(16777716, 3, u"c"),  // object id with bit 24 set
                                                ColumnRow(500, 2, u"b again")})},
                               {21, SystemPage(3, 21,
                                               {RowsetColumnRow(kRowset, 1, 2, 8, 2),
                                                RowsetColumnRow(kRowset, 2, 1, 4, 1)})}});
  DatabaseCatalog catalog(*db);
  // The default's value as sysobjvalues holds it: "(5)" in UTF-16.
  std::vector<ModuleTextEntry> entries = {{u"500", u"3", u"0x280035002900"}, {u"500", u"3", u""}};
  std::vector<ColumnLayout> layouts = ResolveTableSchema(catalog, u"T", "U ", entries);
  ASSERT_EQ(layouts.size(), 3u);
  EXPECT_EQ(layouts[0].physicalColumnId, 2);
  EXPECT_EQ(layouts[0].leafOffset, 8);
  EXPECT_EQ(layouts[0].nullBit, 2);
  EXPECT_EQ(layouts[1].name, u"b");  // the first row of a column id wins
  EXPECT_EQ(layouts[2].name, u"c");
  EXPECT_EQ(layouts[2].physicalColumnId, -99);
  EXPECT_EQ(layouts[2].hasLayout, 0);
  EXPECT_EQ(layouts[2].valueText, u"(5)");
  EXPECT_EQ(catalog.selected.firstPhysicalColumn, 0u);
}

TEST_F(SchemaResolutionTest, TheRowsetWithTheLowestIndexIdNotAboveOneIsTaken) {
  constexpr std::int64_t kHeapRowset = 0x0100000000060000;
  auto db = TableDatabase(72, {{20, SystemPage(5, 20,
                                               {RowsetRow(kRowset, 500, 1), RowsetRow(kHeapRowset, 500, 0),
                                                RowsetRow(0x77, 500, 2)})}});
  DatabaseCatalog catalog(*db);
  ResolveTableSchema(catalog, u"T", "U ", {});
  EXPECT_EQ(catalog.selected.inRowRowset.rowsetId, kHeapRowset);
  EXPECT_EQ(catalog.selected.rowsets.size(), 3u);
}

TEST_F(SchemaResolutionTest, ModuleValuesDecode) {
  EXPECT_EQ(ModuleValueToText(DecodeModuleValue(u"0x283029")).text, u"(0)");  // 8-bit
  EXPECT_EQ(ModuleValueToText(DecodeModuleValue(u"0x28003000290000")).text, u"(0)");  // UTF-16 up to NUL
  EXPECT_EQ(DecodeModuleValue(u"0xab"), (ByteVector{0x12}));  // lower case decodes to other bytes
  EXPECT_TRUE(DecodeModuleValue(u"0").empty());
}

class RealSchemaTest : public CatalogTest {};

TEST_F(RealSchemaTest, EveryUserTableResolves) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    auto db = OpenDatabase(path.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    const std::vector<CatalogObject> objects = db.catalog->objects;
    for (const CatalogObject& object : objects) {
      if (object.type != "U ") continue;
      std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, object.name, "U ", {});
      ASSERT_FALSE(layouts.empty()) << std::string(object.name.begin(), object.name.end());
      // Columns come in column-id order; placeholders of stored columns no
      // column row names (2005 files) follow them.
      for (std::size_t i = 1; i < layouts.size(); ++i) {
        if (layouts[i].name.empty()) continue;
        EXPECT_LT(layouts[i - 1].columnId, layouts[i].columnId);
      }
    }
  }
}

TEST_F(RealSchemaTest, PubsSalesStoresItsKeyColumnsFirst) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::string name : {"sql2008_pubs.mdf", "sql2014_pubs.mdf"}) {
    SCOPED_TRACE(name);
    auto db = OpenDatabase(RealFixture(name).string(), 0, nullptr);
    std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, u"sales", "U ", {});
    ASSERT_EQ(layouts.size(), 6u);
    EXPECT_EQ(layouts[5].name, u"title_id");
    EXPECT_EQ(layouts[5].physicalColumnId, 3);
    EXPECT_EQ(layouts[0].inPrimaryKey, 1);
    EXPECT_FALSE(db.catalog->selected.dataPages.empty());
  }
}

TEST_F(RealSchemaTest, ForeignKeysMarkTheirColumns) {
  QM_REQUIRE_REAL_FIXTURES();
  auto db = OpenDatabase(RealFixture("sql2012_musicstore.mdf").string(), 0, nullptr);
  std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, u"Albums", "U ", {});
  bool genre = false;
  for (const ColumnLayout& layout : layouts)
    genre |= layout.name == u"GenreId" && layout.inForeignKey && layout.referencedTable == u"Genres";
  EXPECT_TRUE(genre);
  std::size_t keys = 0;
  for (const TableKey& key : db.catalog->selected.keys) keys += key.foreignKey;
  EXPECT_EQ(keys, 2u);
}

}  // namespace
}  // namespace quillmark::testing
