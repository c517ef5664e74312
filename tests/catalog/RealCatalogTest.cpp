// The catalogs of the real files: the layout each file is read in, and what
// the build derives from their rows. What each file holds by name is checked
// through the command line's objects and catalog commands.

#include "catalog/OpenSequence.h"
#include "tests/catalog/CatalogTest.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

class RealCatalogTest : public CatalogTest {};

TEST_F(RealCatalogTest, EachFileIsReadInItsOwnLayout) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const RealFixtureFacts& facts : KnownRealFixtures()) {
    SCOPED_TRACE(facts.file);
    auto db = OpenDatabase(RealFixture(facts.file).string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    const bool sql2000 = facts.version == 539;
    EXPECT_EQ(Settings().isSql2000, sql2000 ? 1 : 0);
    const DatabaseCatalog& catalog = *db.catalog;
    EXPECT_FALSE(catalog.objects.empty());
    EXPECT_EQ(catalog.legacyColumns.empty(), !sql2000);
    EXPECT_EQ(catalog.columns.empty(), sql2000);
    // Every user table has its columns.
    for (const CatalogObject& object : catalog.objects) {
      if (object.type != "U ") continue;
      bool hasColumns = false;
      for (const CatalogColumn& column : catalog.columns) hasColumns |= column.objectId == object.id;
      for (const LegacyColumn& column : catalog.legacyColumns) hasColumns |= column.objectId == object.id;
      EXPECT_TRUE(hasColumns) << std::string(object.name.begin(), object.name.end());
    }
  }
}

TEST_F(RealCatalogTest, NorthwindForeignKeysNameTheirTablesAndColumns) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::string name : {"sql2008_northwind_junktail.mdf", "sql2008r2_northwind.mdf"}) {
    SCOPED_TRACE(name);
    auto db = OpenDatabase(RealFixture(name).string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    std::set<std::int32_t> constraints;
    for (const ForeignKeyColumn& key : db.catalog->foreignKeyColumns) {
      constraints.insert(key.constraintId);
      EXPECT_FALSE(key.constraintName.empty());
      EXPECT_FALSE(key.parentColumnName.empty());
      EXPECT_FALSE(key.referencedColumnName.empty());
    }
    EXPECT_EQ(constraints.size(), 13u);  // Northwind's 13 foreign keys
    bool reportsTo = false;
    for (const ForeignKeyColumn& key : db.catalog->foreignKeyColumns)
      reportsTo |= key.parentTableName == u"Employees" && key.parentColumnName == u"ReportsTo" &&
                   key.referencedTableName == u"Employees" && key.referencedColumnName == u"EmployeeID";
    EXPECT_TRUE(reportsTo);
  }
}

}  // namespace
}  // namespace quillmark::testing
