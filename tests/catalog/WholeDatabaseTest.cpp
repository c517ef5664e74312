// Catalogs of whole databases written by the fixture builder: dropped tables
// that only the deleted-row switches bring back, tables stored in secondary
// files, and the SQL Server 2000 layout.

#include <set>

#include "catalog/SchemaResolution.h"
#include "catalog/OpenSequence.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "tests/catalog/CatalogTest.h"
#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {
namespace {

bool Lists(const DatabaseCatalog& catalog, const std::u16string& name) {
  for (const CatalogObject& object : catalog.objects)
    if (object.name == name) return true;
  return false;
}

// The keys under which the page maps hold a table's data pages.
std::vector<std::int32_t> PageKeysOf(const DatabaseCatalog& catalog, std::int32_t tableId) {
  std::vector<std::int32_t> keys;
  for (const CatalogRowset* rowset : catalog.RowsetsOf(tableId))
    for (const CatalogAllocUnit* unit : catalog.AllocUnitsOf(rowset->rowsetId)) keys.push_back(AllocationUnitPageKey(unit->id));
  return keys;
}

class WholeDatabaseTest : public CatalogTest {
 protected:
  static DatabaseSpec Shop(Layout layout = Layout::kSql2005Plus) {
    DatabaseSpec shop;
    shop.layout = layout;
    shop.name = "Shop";
    TableSpec& customers = shop.AddTable("Customers", {Int("CustomerId").NotNull(), NVarChar("Name", 40)},
                                         {{1, "Ada"}, {2, "Brian"}});
    customers.primaryKey = {"PK_Customers", {"CustomerId"}};
    shop.AddTable("Archive", {Int("Id"), VarChar("Note", 20)}, {{1, "old"}}).dropped = true;
    return shop;
  }
};

TEST_F(WholeDatabaseTest, DroppedTablesAppearOnlyWithDeletedRows) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    WrittenDatabase written = Shop(layout).Write(dir_.path(), "shop.mdf");
    auto plain = OpenDatabase(written.primary.string(), 0, nullptr);
    ASSERT_TRUE(plain.opened());
    EXPECT_TRUE(Lists(*plain.catalog, u"Customers"));
    EXPECT_FALSE(Lists(*plain.catalog, u"Archive"));

    Settings().showDeletedRecords = 1;
    auto deleted = OpenDatabase(written.primary.string(), 0, nullptr);
    ASSERT_TRUE(deleted.opened());
    EXPECT_TRUE(Lists(*deleted.catalog, u"Archive"));
    Settings().showDeletedRecords = 0;
  }
}

TEST_F(WholeDatabaseTest, TablesInSecondaryFilesReadFromThoseFiles) {
  for (bool fileTableRows : {true, false}) {
    SCOPED_TRACE(fileTableRows ? "list mode" : "search mode");
    TempDir folder;
    DatabaseSpec shop = Shop();
    shop.fileTableRows = fileTableRows;
    shop.secondaryFiles = {{.fileId = 3, .fileName = "shop_3.ndf", .recordedPath = "E:\\Other\\shop_3.dat"},
                           {.fileId = 4, .fileName = "shop_4.ndf"}};
    shop.AddTable("Orders", {Int("OrderId").NotNull(), Int("CustomerId")}, {{10, 1}, {11, 2}, {12, 1}}).fileId = 3;
    WrittenDatabase written = shop.Write(folder.path(), "shop.mdf");
    ASSERT_EQ(written.secondaries.size(), 2u);

    auto db = OpenDatabase(written.primary.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    EXPECT_EQ(db.file->secondaryFiles.count(3), 1u);
    // Without file-table rows a file is known by its data pages: file 4 has none.
    EXPECT_EQ(db.file->secondaryFiles.count(4), fileTableRows ? 1u : 0u);
    std::size_t pagesInFile3 = 0;
    for (std::int32_t key : PageKeysOf(*db.catalog, written.objectIds.at("Orders"))) {
      for (const PageEntry& entry : db.file->DataPages(key)) {
        if (entry.fileId != 3) continue;
        ++pagesInFile3;
        auto page = db.file->ReadDataPage(entry.Page());
        ASSERT_TRUE(page);
        EXPECT_EQ(page->header->thisPage.fileId, 3);
        EXPECT_EQ(page->records.size(), 3u);
      }
    }
    EXPECT_EQ(pagesInFile3, 1u);
  }
}

TEST_F(WholeDatabaseTest, Sql2000LayoutGivesLegacyTablesWithTheirColumns) {
  WrittenDatabase written = Shop(Layout::kSql2000).Write(dir_.path(), "shop2000.mdf");
  auto db = OpenDatabase(written.primary.string(), 0, nullptr);
  ASSERT_TRUE(db.opened());
  EXPECT_EQ(Settings().isSql2000, 1);
  const LegacyTable* customers = nullptr;
  for (const LegacyTable& table : db.catalog->legacyTables)
    if (table.name == u"Customers") customers = &table;
  ASSERT_NE(customers, nullptr);
  ASSERT_EQ(customers->columns.size(), 2u);
  EXPECT_EQ(customers->columns[0].name, u"CustomerId");
  EXPECT_EQ(customers->columns[1].name, u"Name");
  EXPECT_FALSE(db.file->DataPages(written.objectIds.at("Customers")).empty());
}

// A SQL Server 2000 file names its columns' types from its own systypes
// (object id 4): system types and user types such as sysname alike.
TEST_F(WholeDatabaseTest, Sql2000ColumnsTakeTheirTypeNamesFromSystypes) {
  WrittenDatabase written = Shop(Layout::kSql2000).Write(dir_.path(), "types2000.mdf");
  auto db = OpenDatabase(written.primary.string(), 0, nullptr);
  ASSERT_TRUE(db.opened());
  ASSERT_EQ(Settings().isSql2000, 1);
  std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, u"Customers", "U ", {});
  ASSERT_EQ(layouts.size(), 2u);
  EXPECT_EQ(layouts[0].typeText, u"int(4)");
  EXPECT_EQ(layouts[1].typeText, u"nvarchar(80)");
  layouts = ResolveTableSchema(*db.catalog, u"sysobjects", "S ", {});
  ASSERT_FALSE(layouts.empty());
  EXPECT_EQ(layouts[0].name, u"name");
  EXPECT_EQ(layouts[0].typeText, u"sysname(256)");
  // One type row per type.
  std::set<std::u16string> names;
  for (const CatalogType& type : db.catalog->types) EXPECT_TRUE(names.insert(type.name).second) << type.id;
}

// A version the version table does not know is read as its catalog's layout
// says; the number alone never refuses a file.
TEST_F(WholeDatabaseTest, UnknownVersionsAreReadAsTheirLayout) {
  for (const std::uint16_t version : {std::uint16_t{851}, std::uint16_t{998}, std::uint16_t{1200}}) {
    SCOPED_TRACE(version);
    DatabaseSpec shop = Shop();
    shop.version = version;
    WrittenDatabase written = shop.Write(dir_.path(), "v" + std::to_string(version) + ".mdf");
    auto db = OpenDatabase(written.primary.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    EXPECT_EQ(Settings().versionText, "Unknown SQL Version");
    EXPECT_TRUE(Lists(*db.catalog, u"Customers"));
    const std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, u"Customers", "U ", {});
    ASSERT_EQ(layouts.size(), 2u);
    EXPECT_EQ(layouts[1].typeText, u"nvarchar(80)");
    EXPECT_FALSE(db.catalog->selected.dataPages.empty());
  }
}

TEST_F(WholeDatabaseTest, TheDemoShopOpensWithItsObjects) {
  WrittenDatabase written = DemoShop().Write(dir_.path(), "demo.mdf");
  auto db = OpenDatabase(written.primary.string(), 0, nullptr);
  ASSERT_TRUE(db.opened());
  for (const std::u16string name : {u"Customers", u"Products", u"Orders", u"OrderLines"}) {
    ASSERT_TRUE(Lists(*db.catalog, name));
    EXPECT_EQ(db.catalog->ObjectById(written.objectIds.at(std::string(name.begin(), name.end())))->type, "U ");
  }
  std::size_t foreignKeys = 0;
  for (const CatalogObject& object : db.catalog->objects) foreignKeys += object.type == "F " ? 1 : 0;
  EXPECT_GE(foreignKeys, 3u);
  EXPECT_FALSE(db.catalog->foreignKeyColumns.empty());
}

}  // namespace
}  // namespace quillmark::testing
