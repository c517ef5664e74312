// Rows of the real files' user tables, decoded as a listing decodes them, and
// the row decoder's rules on built pages.

#include "values/RowDecoder.h"

#include <gtest/gtest.h>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"
#include "builder/FixtureBuilder.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

class RowDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override { ResetSettings(); }

  // Every row of a table over the data pages its resolution lists.
  std::vector<DecodedRow> TableRows(const std::string& file, const std::u16string& table) {
    opened_ = OpenDatabase(RealFixture(file).string(), 0, nullptr);
    EXPECT_TRUE(opened_.opened());
    layouts_ = ResolveTableSchema(*opened_.catalog, table, "U ", {});
    const bool current = !Settings().isSql2000 && !opened_.catalog->selected.rowsetColumns.empty();
    Settings().listingActive = 1;
    std::vector<DecodedRow> rows;
    for (const PageId& id : opened_.catalog->selected.dataPages) {
      auto page = opened_.file->ReadDataPage(id);
      if (!page || page->header->pageType != 1) continue;
      auto decoded = current ? DecodeCurrentFormat(*page, layouts_, DecodeVariant::kListing)
                             : DecodeLegacyFormat(*page, layouts_, DecodeVariant::kListing);
      rows.insert(rows.end(), decoded.begin(), decoded.end());
    }
    Settings().listingActive = 0;
    return rows;
  }

  std::size_t Column(const std::u16string& name) const {
    for (std::size_t i = 0; i < layouts_.size(); ++i)
      if (layouts_[i].name == name) return i;
    ADD_FAILURE() << "no column " << platform::Utf16ToUtf8(name);
    return 0;
  }

  // The value of `column` in the row whose `keyColumn` is `key`.
  std::u16string Value(const std::vector<DecodedRow>& rows, const std::u16string& keyColumn, const std::u16string& key,
                       const std::u16string& column) const {
    for (const DecodedRow& row : rows)
      if (row[Column(keyColumn)] == key) return row[Column(column)];
    ADD_FAILURE() << "no row " << platform::Utf16ToUtf8(key);
    return u"";
  }

  OpenedDatabaseFile opened_;
  std::vector<ColumnLayout> layouts_;
};

TEST_F(RowDecoderTest, NorthwindRowCountsInEveryLaterFile) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::vector<std::pair<std::u16string, std::size_t>> counts = {
      {u"Categories", 8}, {u"CustomerCustomerDemo", 0}, {u"CustomerDemographics", 0}, {u"Customers", 91},
      {u"Employees", 9}, {u"EmployeeTerritories", 49}, {u"Order Details", 2155}, {u"Orders", 830},
      {u"Products", 77}, {u"Region", 4}, {u"Shippers", 3}, {u"Suppliers", 29}, {u"Territories", 53}};
  for (const std::string file : {"sql2008_northwind_junktail.mdf", "sql2008r2_northwind.mdf"}) {
    for (const auto& [table, count] : counts) {
      EXPECT_EQ(TableRows(file, table).size(), count) << file << " " << platform::Utf16ToUtf8(table);
    }
  }
}

TEST_F(RowDecoderTest, NorthwindValues) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::string file : {"sql2000_northwind.mdf", "sql2008r2_northwind.mdf"}) {
    SCOPED_TRACE(file);
    auto orders = TableRows(file, u"Orders");
    EXPECT_EQ(Value(orders, u"OrderID", u"10249", u"ShipCity"), u"M\u00FCnster");
    EXPECT_EQ(Value(orders, u"OrderID", u"10248", u"Freight"), u"32.3800");
    EXPECT_EQ(Value(orders, u"OrderID", u"10248", u"OrderDate"), u"1996-07-04 00:00:00");
    EXPECT_EQ(Value(orders, u"OrderID", u"10248", u"ShipRegion"), u"NULL");
    auto products = TableRows(file, u"Products");
    EXPECT_EQ(Value(products, u"ProductID", u"1", u"ProductName"), u"Chai");
    EXPECT_EQ(Value(products, u"ProductID", u"1", u"Discontinued"), u"False");
    EXPECT_EQ(Value(products, u"ProductID", u"5", u"Discontinued"), u"True");
    auto details = TableRows(file, u"Order Details");
    EXPECT_EQ(details[0], (DecodedRow{u"10248", u"11", u"14.0000", u"12", u"0"}));
  }
}

TEST_F(RowDecoderTest, PubsValuesInTheirCodePageAndLargeValues) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::string file : {"sql2005_pubs.mdf", "sql2008_pubs.mdf", "sql2014_pubs.mdf"}) {
    SCOPED_TRACE(file);
    auto publishers = TableRows(file, u"publishers");
    EXPECT_EQ(publishers.size(), 8u);
    // The row holds byte 0x81 (the script's code page 437 'ü'), which code page
    // 1252 leaves undefined: it reads as U+0081, as on Windows.
    EXPECT_EQ(Value(publishers, u"pub_id", u"9901", u"city"), u"M\u0081nchen");
    auto sales = TableRows(file, u"sales");
    EXPECT_EQ(sales.size(), 21u);
    EXPECT_EQ(Value(sales, u"ord_num", u"6871", u"title_id"), u"BU1032");  // not put into payterms
    EXPECT_EQ(Value(sales, u"ord_num", u"6871", u"payterms"), u"Net 60");
    auto employees = TableRows(file, u"employee");
    EXPECT_EQ(employees.size(), 43u);  // each with a hidden uniquifier
    auto info = TableRows(file, u"pub_info");
    ASSERT_EQ(info.size(), 8u);
    std::u16string text = Value(info, u"pub_id", u"0736", u"pr_info");
    std::u16string logo = Value(info, u"pub_id", u"0736", u"logo");
    if (file == "sql2005_pubs.mdf") {
      // Its layouts come from the 2005 rowset-column tables: the legacy decoder
      // shows text pointers as a marker while listing.
      EXPECT_EQ(text, kBinaryData);
      EXPECT_EQ(logo, kBinaryData);
    } else {
      EXPECT_EQ(text.rfind(u"This is sample text data for New Moon Books", 0), 0u);
      EXPECT_EQ(logo.rfind(u"0x47494638", 0), 0u);  // a GIF image
    }
  }
}

TEST_F(RowDecoderTest, LaterFilesKeepBlanksNonAsciiTextAndMissingColumnsAsNull) {
  QM_REQUIRE_REAL_FIXTURES();
  auto students = TableRows("sql2016_webtonic.mdf", u"Students");
  EXPECT_EQ(students.size(), 5u);
  EXPECT_EQ(Value(students, u"StudentId", u"98041", u"Firstname"), u"Ameer ");
  auto artists = TableRows("sql2012_musicstore.mdf", u"Artists");
  EXPECT_EQ(artists.size(), 137u);
  bool jobim = false;
  for (const DecodedRow& row : artists) jobim |= row[Column(u"Name")] == u"Ant\u00F4nio Carlos Jobim";
  EXPECT_TRUE(jobim);
  EXPECT_EQ(TableRows("sql2012_musicstore.mdf", u"Albums").size(), 246u);
  // One AspNetUsers record was written before FullName was added.
  auto users = TableRows("sql2014_identity.mdf", u"AspNetUsers");
  EXPECT_EQ(users.size(), 5u);
  EXPECT_EQ(Value(users, u"Email", u"test@test.pt", u"FullName"), u"NULL");
  EXPECT_EQ(Value(users, u"Email", u"jwhite@authors.com", u"FullName"), u"Johnson White");
  EXPECT_EQ(Value(users, u"Email", u"jwhite@authors.com", u"BirthDate"), u"1966-07-15 00:00:00");
}

TEST_F(RowDecoderTest, EveryTableOfEveryRealFileDecodes) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    auto db = OpenDatabase(path.string(), 0, nullptr);
    ASSERT_TRUE(db.opened());
    const std::vector<CatalogObject> objects = db.catalog->objects;
    for (const CatalogObject& object : objects) {
      if (object.type != "U " && object.type != "S ") continue;
      std::vector<ColumnLayout> layouts = ResolveTableSchema(*db.catalog, object.name, object.type, {});
      const bool current = !Settings().isSql2000 && !db.catalog->selected.rowsetColumns.empty();
      for (bool listing : {true, false}) {
        Settings().listingActive = listing;
        for (const PageId& id : db.catalog->selected.dataPages) {
          auto page = db.file->ReadDataPage(id);
          if (!page) continue;
          DecodeVariant variant = listing ? DecodeVariant::kListing : DecodeVariant::kCatalog;
          for (const DecodedRow& row : current ? DecodeCurrentFormat(*page, layouts, variant)
                                               : DecodeLegacyFormat(*page, layouts, variant))
            EXPECT_EQ(row.size(), layouts.size());
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillmark::testing

namespace quillmark::testing {
namespace {

ColumnLayout BuiltLayout(std::int32_t columnId, TypeCode typeCode, const std::u16string& typeText, std::int16_t leaf) {
  ColumnLayout layout;
  layout.columnId = columnId;
  layout.physicalColumnId = columnId;
  layout.name = u"c";
  layout.typeCode = typeCode;
  layout.typeText = typeText;
  layout.leafOffset = leaf;
  layout.hasLayout = 1;
  layout.variableFlag = typeCode == kVarChar ? 1 : 0;
  layout.length = typeCode == kVarChar ? 0 : 4;
  return layout;
}

class BuiltRowsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }

  static std::vector<DecodedRow> Decode(const std::vector<Bytes>& records, std::vector<ColumnLayout>& layouts) {
    PageBuilder builder(1, 77, 20);
    for (const Bytes& record : records) builder.AddRecord(record);
    Bytes bytes = builder.Build();
    PageBuffer buffer = AllocatePageBuffer();
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    CDataPage page(std::move(buffer), nullptr);
    return DecodeCurrentFormat(page, layouts, DecodeVariant::kListing);
  }
};

TEST_F(BuiltRowsTest, NullBitsPastTheBitmapAreClear) {
  // Eight columns, all null by their bitmap; a layout whose bit is the ninth
  // (physical column 9) reads its value.
  std::vector<ColumnLayout> layouts = {BuiltLayout(9, kInt, u"int(4)", 4)};
  layouts[0].nullBit = 0;
  Bytes record = RecordBuilder().Fixed({7, 0, 0, 0}).Columns(8).Nulls(std::vector<bool>(8, true)).Build();
  auto rows = Decode({record}, layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], u"7");
}

TEST_F(BuiltRowsTest, AComplexValueWithoutBytesDoesNotShowThePreviousRow) {
  std::vector<ColumnLayout> layouts = {BuiltLayout(1, kInt, u"int(4)", 4), BuiltLayout(2, kVarChar, u"varchar(10)", -1)};
  Bytes first = RecordBuilder().Fixed({1, 0, 0, 0}).Columns(2).Var({'x'}).Build();
  // The second row's value is a complex entry of no bytes (end offset = its start).
  Bytes second = RecordBuilder().Fixed({2, 0, 0, 0}).Columns(2).RawEndOffsets({0x8000 | 15}).Build();
  auto rows = Decode({first, second}, layouts);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (DecodedRow{u"1", u"x"}));
  EXPECT_EQ(rows[1], (DecodedRow{u"2", u""}));
}

TEST_F(BuiltRowsTest, ColumnsARecordDoesNotStoreReadNullOrTheirDefault) {
  std::vector<ColumnLayout> layouts = {BuiltLayout(1, kInt, u"int(4)", 4), BuiltLayout(2, kInt, u"int(4)", 8),
                                       BuiltLayout(3, kInt, u"int(4)", 12)};
  layouts[2].physicalColumnId = -99;  // added after the rows, with a default
  layouts[2].valueText = u"(5)";
  Bytes record = RecordBuilder().Fixed({3, 0, 0, 0}).Columns(1).Build();
  auto rows = Decode({record}, layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{u"3", u"NULL", u"(5)"}));
}

}  // namespace
}  // namespace quillmark::testing
