#include "catalog/DatabaseCatalog.h"

#include "catalog/OpenSequence.h"
#include "catalog/SystemTables.h"
#include "builder/ManyTables.h"
#include "platform/Messages.h"
#include "tests/catalog/CatalogTest.h"

namespace quillmark::testing {
namespace {

class CatalogBuildTest : public CatalogTest {
 protected:
  static std::vector<std::u16string> Names(const std::vector<CatalogObject>& objects) {
    std::vector<std::u16string> names;
    for (const CatalogObject& object : objects) names.push_back(object.name);
    return names;
  }
};

TEST_F(CatalogBuildTest, ReadsTheLaterLayoutAndDerivesKeys) {
  // Two tables, a foreign key from Orders.CustomerId to Customers.Id, and a
  // default constraint that refers to its column.
  auto db = OpenWith({
      {11, SystemPage(34, 11,
                      {ObjectRow(500, u"Customers", "U ", 0, 0, 0), ObjectRow(600, u"Orders", "U ", 0, 0, 0),
                       ObjectRow(700, u"FK_Orders_Customers", "F ", 600), ObjectRow(800, u"DF_Orders_Date", "D ", 600)})},
      {12, SystemPage(41, 12, {ColumnRow(500, 1, u"Id"), ColumnRow(600, 1, u"Id"), ColumnRow(600, 2, u"CustomerId")})},
      {20, SystemPage(2187, 20, {ColumnRow(600, 3, u"Date", 61, 8)})},
      {21, SystemPage(74, 21,
                      {ReferenceRow(28, 700, 1, 600, 2), ReferenceRow(29, 700, 1, 500, 1),
                       ReferenceRow(27, 800, 0, 600, 3), ReferenceRow(97, 800, 0, 600, 0)})},
  });
  DatabaseCatalog catalog(*db);
  EXPECT_EQ(Settings().isSql2000, 0);
  EXPECT_EQ(Names(catalog.objects),
            (std::vector<std::u16string>{u"Customers", u"Orders", u"FK_Orders_Customers", u"DF_Orders_Date"}));
  ASSERT_EQ(catalog.columns.size(), 4u);
  EXPECT_EQ(catalog.columns[3].name, u"Date");  // the extra column pages come after syscolpars

  ASSERT_EQ(catalog.foreignKeyColumns.size(), 1u);
  const ForeignKeyColumn& key = catalog.foreignKeyColumns[0];
  EXPECT_EQ(key.constraintName, u"FK_Orders_Customers");
  EXPECT_EQ(key.parentTableName, u"Orders");
  EXPECT_EQ(key.parentColumnName, u"CustomerId");
  EXPECT_EQ(key.referencedTableName, u"Customers");
  EXPECT_EQ(key.referencedColumnName, u"Id");
  EXPECT_EQ(key.constraintStatus, 0x100);

  ASSERT_EQ(catalog.objectDetails.size(), 2u);  // the objects with a parent of class 1
  ASSERT_EQ(catalog.referencedDetails.size(), 2u);
  EXPECT_EQ(catalog.referencedDetails[0].class27ReferenceId, 600);
  EXPECT_EQ(catalog.referencedDetails[0].class27ReferenceSubId, 3);
  EXPECT_EQ(catalog.referencedDetails[1].class97ReferenceId, 600);
}

TEST_F(CatalogBuildTest, ForeignKeyWithoutItsConstraintObjectKeepsAnEmptyName) {
  auto db = OpenWith({{11, SystemPage(34, 11, {ObjectRow(500, u"A", "U ", 0, 0, 0), ObjectRow(600, u"B", "U ", 0, 0, 0)})},
                      {21, SystemPage(74, 21, {ReferenceRow(28, 999, 1, 600, 1), ReferenceRow(29, 999, 1, 500, 1)})}});
  DatabaseCatalog catalog(*db);
  ASSERT_EQ(catalog.foreignKeyColumns.size(), 1u);
  EXPECT_EQ(catalog.foreignKeyColumns[0].constraintName, u"");
  EXPECT_EQ(catalog.foreignKeyColumns[0].parentTableName, u"B");
}

TEST_F(CatalogBuildTest, WithoutAnObjectTableTablesComeFromTheirColumns) {
  Bytes noFixedPart = RecordBuilder().Columns(1).Var(Utf16(u"x")).Build();
  auto db = OpenWith({{11, PageBuilder(0, 0, 11).Build()},
                      {12, SystemPage(41, 12,
                                      {ColumnRow(600, 1, u"a"), ColumnRow(500, 1, u"b"), ColumnRow(600, 2, u"c"),
                                       ColumnRow(-4, 1, u"system"), noFixedPart})}});
  DatabaseCatalog catalog(*db);
  EXPECT_EQ(Settings().isSql2000, 0);  // syscolpars is there: a later file whose object table is lost
  EXPECT_EQ(Names(catalog.objects), (std::vector<std::u16string>{u"600", u"500"}));
  EXPECT_EQ(catalog.objects[0].type, "U ");
  EXPECT_EQ(catalog.objects[0].schemaId, -1);
  EXPECT_EQ(catalog.objects[0].namespaceClass, 255);
}

TEST_F(CatalogBuildTest, ReadsTheSql2000Layout) {
  // sysobjects keeps the type at offset 4 and the parent at 24.
  auto sysobject = [](std::int32_t id, const std::u16string& name, const std::string& type, std::int32_t parent) {
    Bytes fixed(40, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(id));
    fixed[4] = static_cast<std::uint8_t>(type[0]);
    fixed[5] = static_cast<std::uint8_t>(type[1]);
    PutU32(fixed, 24, static_cast<std::uint32_t>(parent));
    return Row(fixed, {Utf16(name)});
  };
  auto sysindex = [](std::int32_t objectId, std::int16_t indexId, std::int32_t firstPage) {
    Bytes fixed(70, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(objectId));
    PutU32(fixed, 8, static_cast<std::uint32_t>(firstPage));
    PutU16(fixed, 14, static_cast<std::uint16_t>(indexId));
    PutU32(fixed, 64, 33);
    return Row(fixed);
  };
  auto syscolumn = [](std::int32_t objectId, std::int16_t columnId, const std::u16string& name, std::uint8_t typeStatus) {
    Bytes fixed(43, 0);
    PutU32(fixed, 0, static_cast<std::uint32_t>(objectId));
    fixed[4] = 56;
    fixed[5] = typeStatus;
    PutU16(fixed, 12, static_cast<std::uint16_t>(columnId));
    PutU16(fixed, 30, static_cast<std::uint16_t>(columnId));
    PutU32(fixed, 34, 53284);
    fixed[42] = 9;
    RecordBuilder row;
    row.Fixed(fixed).Columns(22).Var(Utf16(name));
    return row.Build();
  };
  FileBuilder file = FileBuilder::MinimalDatabase(40);
  file.SetPage(9, BootPageBytes({.version = 539, .createVersion = 539}));
  file.SetPage(10, PageBuilder(0, 0, 10).Build());
  file.SetPage(11, PageBuilder(0, 0, 11).Build());
  file.SetPage(12, PageBuilder(0, 0, 12).Build());
  auto legacyPage = [](std::int32_t objectId, std::int32_t position, const std::vector<Bytes>& rows) {
    PageBuilder page(1, objectId, position);
    for (const Bytes& row : rows) page.AddRecord(row);
    return page.Build();
  };
  file.SetPage(20, legacyPage(1, 20, {sysobject(2000, u"Orders", "U ", 0), sysobject(2001, u"PK_Orders", "K ", 2000)}));
  file.SetPage(21, legacyPage(2, 21, {sysindex(2000, 1, 30), sysindex(2000, 2, 31), sysindex(3, 1, 32), sysindex(2000, 1, 34)}));
  file.SetPage(22, legacyPage(3, 22, {syscolumn(2000, 1, u"OrderID", 0x08), syscolumn(2000, 2, u"Freight", 0x01)}));
  path_ = file.Write(dir_ / "legacy.mdf");
  auto db = DatabaseFile::Open(path_.string(), 0, nullptr);
  ASSERT_TRUE(db->opened);

  DatabaseCatalog catalog(*db);
  EXPECT_EQ(Settings().isSql2000, 1);
  ASSERT_EQ(catalog.objects.size(), 2u);
  EXPECT_EQ(catalog.objects[1].type, "K ");
  EXPECT_EQ(catalog.objects[1].parentId, 2000);
  ASSERT_EQ(catalog.legacyIndexes.size(), 2u);
  EXPECT_EQ(catalog.legacyIndexes.at(2000).firstPage, 34);  // the later row wins
  EXPECT_EQ(catalog.legacyIndexes.at(2000).firstIamPage, 33);
  ASSERT_EQ(catalog.legacyTables.size(), 1u);  // object 3 is a system table
  const LegacyTable& orders = catalog.legacyTables[0];
  EXPECT_EQ(orders.name, u"Orders");
  ASSERT_EQ(orders.columns.size(), 2u);
  EXPECT_EQ(orders.columns[1].name, u"Freight");
  EXPECT_EQ(orders.columns[1].columnOrder, 2);
  ASSERT_EQ(catalog.legacyColumns.size(), 2u);
  EXPECT_EQ(catalog.legacyColumns[0].nullability, -1);
  EXPECT_EQ(catalog.legacyColumns[1].nullability, 0);  // type status bit 0: NOT NULL
  EXPECT_EQ(catalog.legacyColumns[1].collationId, 53284);
  EXPECT_EQ(catalog.legacyColumns[1].status, 9);
  EXPECT_TRUE(catalog.columns.empty());
}

TEST_F(CatalogBuildTest, StopLeavesPartialListsAndNoDerivedRecords) {
  FileBuilder file = FileBuilder::MinimalDatabase(40);
  file.SetPage(11, SystemPage(34, 11, {ObjectRow(500, u"A", "U ", 0, 0, 0)}));
  file.SetPage(21, SystemPage(74, 21, {ReferenceRow(28, 9, 1, 500, 1), ReferenceRow(29, 9, 1, 500, 1)}));
  auto db = DatabaseFile::Open(file.Write(dir_ / "stop.mdf").string(), 0, nullptr);
  Settings().stopRequested = 1;
  DatabaseCatalog catalog(*db);
  EXPECT_TRUE(catalog.objects.empty());
  EXPECT_TRUE(catalog.foreignKeyColumns.empty());
}

TEST_F(CatalogBuildTest, EveryOpenStartsFromTheInitialVersionAndCollation) {
  Settings().collationMap = {{1251, {"Cyrillic_General_CI_AS", 1251}}};
  FileBuilder first = FileBuilder::MinimalDatabase(40);
  first.SetPage(9, BootPageBytes({.version = 782, .collation = 1251}));
  ASSERT_TRUE(OpenDatabase(first.Write(dir_ / "a.mdf").string(), 0, nullptr).opened());
  EXPECT_EQ(Settings().collationCodePage, 1251);

  FileBuilder second = FileBuilder::MinimalDatabase(40);
  second.SetPage(9, BootPageBytes({.version = 12, .collation = 777777}));
  ASSERT_TRUE(OpenDatabase(second.Write(dir_ / "b.mdf").string(), 0, nullptr).opened());
  EXPECT_EQ(Settings().collationKnown, 0);
  EXPECT_EQ(Settings().collationName, "");
  EXPECT_EQ(Settings().collationCodePage, 1252);
  EXPECT_EQ(Settings().versionText, "Unknown SQL Version");
}

}  // namespace
}  // namespace quillmark::testing

namespace quillmark::testing {
namespace {

// After the page pass, the build sets the progress range to the system pages
// mapped and ends with the position at that count.
TEST_F(CatalogBuildTest, TheBuildReportsItsProgressOverTheSystemPages) {
  const WrittenDatabase written = ManyTables(30).Write(dir_.path(), "many.mdf");
  platform::RecordingTarget target;
  auto db = OpenDatabase(written.primary.string(), 0, &target);
  ASSERT_TRUE(db.opened());
  std::uint64_t systemPages = 0;
  for (const auto& [objectId, pages] : db.file->systemPages) systemPages += pages.size();
  const auto mapped = std::find_if(target.messages.begin(), target.messages.end(), [](const auto& message) {
    return message.id == platform::WM_APP_PANEL_TEXT && message.text == kMappingDone;
  });
  ASSERT_NE(mapped, target.messages.end());
  std::vector<platform::RecordingTarget::Message> build(mapped + 1, target.messages.end());
  ASSERT_GE(build.size(), 3u);
  EXPECT_EQ(build.front().id, platform::WM_APP_PROGRESS_RANGE);
  EXPECT_EQ(static_cast<std::uint64_t>(build.front().lParam), systemPages);
  EXPECT_EQ(build.back().id, platform::WM_APP_PROGRESS_POS);
  EXPECT_EQ(static_cast<std::uint64_t>(build.back().wParam), systemPages);
  // Positions only grow, about a hundred of them at most.
  std::uint64_t last = 0;
  for (const auto& message : build) {
    if (message.id != platform::WM_APP_PROGRESS_POS) continue;
    EXPECT_GE(static_cast<std::uint64_t>(message.wParam), last);
    last = message.wParam;
  }
  EXPECT_LE(build.size(), 103u);
}

}  // namespace
}  // namespace quillmark::testing
