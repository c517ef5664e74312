// Whole databases written by the database builder, their tables listed as the
// records list lists them: every type in ordinary, row- and page-compressed
// records, sql_variant and xml values, large values through every fragment
// type, sparse columns, forwarded, ghost and deleted records, and columns
// added or dropped after the rows were written.

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "platform/CodePage.h"
#include "tests/support/DatabaseBuilder.h"
#include "values/CompressedValues.h"
#include "values/RowDecoder.h"

namespace quillmark::testing {
namespace {

using Texts = std::vector<std::vector<std::string>>;

constexpr Compression kCompressions[] = {Compression::kNone, Compression::kRowLevel, Compression::kPageLevel};

std::string NameOf(Compression compression) {
  switch (compression) {
    case Compression::kNone: return "Plain";
    case Compression::kRowLevel: return "Row";
    case Compression::kPageLevel: return "Page";
  }
  return "";
}

// One table of each compression, the same columns and rows in each.
DatabaseSpec InEveryCompression(const std::string& name, const std::vector<ColumnSpec>& columns,
                                const std::vector<Row>& rows, const KeySpec& key = {}) {
  DatabaseSpec spec;
  for (Compression compression : kCompressions) {
    TableSpec& table = spec.AddTable(name + NameOf(compression), columns, rows);
    table.compression = compression;
    if (!key.columns.empty()) table.primaryKey = {key.name + NameOf(compression), key.columns};
  }
  return spec;
}

class WholeRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override { ResetSettings(); }

  void Open(const DatabaseSpec& spec) {
    opened_ = OpenDatabase(spec.Write(dir_.path(), "whole" + std::to_string(++written_) + ".mdf").primary.string(), 0,
                           nullptr);
    ASSERT_TRUE(opened_.opened());
  }

  // The rows of a table as the records list reads them: resolved, decoded page
  // by page with the decoder its catalog calls for, compressed records rebuilt
  // with its layouts. `markers`: large values read through an in-row root show
  // as markers, as they do while a listing runs.
  Texts List(const std::string& table, const std::vector<ModuleTextEntry>& entries = {}, bool markers = true,
             const char* type = "U ") {
    DatabaseCatalog& catalog = *opened_.catalog;
    layouts_ = ResolveTableSchema(catalog, platform::Utf8ToUtf16(table), type, entries);
    EXPECT_FALSE(layouts_.empty()) << table;
    const bool current = !Settings().isSql2000 && !catalog.selected.rowsetColumns.empty();
    CompressedValueRebuilder rebuilder(layouts_);
    Settings().listingActive = markers ? 1 : 0;
    Settings().listingContext = &rebuilder;
    Texts rows;
    for (const PageId id : catalog.selected.dataPages) {
      auto page = opened_.file->ReadDataPage(id);
      if (!page || !page->header || page->header->pageType != 1) continue;
      const auto decoded = current ? DecodeCurrentFormat(*page, layouts_, DecodeVariant::kListing)
                                   : DecodeLegacyFormat(*page, layouts_, DecodeVariant::kListing);
      for (const DecodedRow& row : decoded) {
        rows.emplace_back();
        for (const std::u16string& text : row) rows.back().push_back(platform::Utf16ToUtf8(text));
      }
    }
    Settings().listingActive = 0;
    Settings().listingContext = nullptr;
    return rows;
  }

  // The listed rows of every compression of a table written by InEveryCompression.
  void ExpectEveryCompression(const std::string& name, const Texts& expected) {
    for (Compression compression : kCompressions) {
      SCOPED_TRACE(name + NameOf(compression));
      EXPECT_EQ(List(name + NameOf(compression)), expected);
    }
  }

  const ColumnLayout& LayoutNamed(const std::string& name) const {
    for (const ColumnLayout& layout : layouts_)
      if (layout.name == platform::Utf8ToUtf16(name)) return layout;
    throw std::invalid_argument("no column " + name);
  }

  TempDir dir_;
  int written_ = 0;
  OpenedDatabaseFile opened_;
  std::vector<ColumnLayout> layouts_;
};

// ---- every type, in every compression --------------------------------------

// Columns of one family of types, rows with NULLs in the nullable ones, and the
// text each value shows.
struct Family {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<Row> rows;
  Texts texts;
  bool sql2000 = false;  // the family's types exist in SQL Server 2000
};

const std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
const std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
const char* const kGuid = "6F9619FF-8B86-D011-B42D-00C04FC964FF";

std::vector<Family> Families() {
  return {
      {"Integers",
       {TinyInt("t").NotNull(), SmallInt("s"), Int("i").NotNull(), BigInt("b"), Bit("f")},
       {{0, -2, 1000, kMost, 1}, {255, nullptr, 1001, kLeast, 0}, {5, 32767, -1000, nullptr, nullptr},
        {200, -32768, 0, 0, 1}},
       {{"0", "-2", "1000", "9223372036854775807", "True"},
        {"255", "NULL", "1001", "-9223372036854775808", "False"},
        {"5", "32767", "-1000", "NULL", "NULL"},
        {"200", "-32768", "0", "0", "True"}},
       true},
      {"Exact",
       {Decimal("d", 5, 2).NotNull(), Numeric("n", 20, 4), Money("m"), SmallMoney("sm").NotNull(), Decimal("w", 38, 10)},
       {{"123.45", "1234567.891", "1.00", "214748.3647", "1234567.891"},
        {"-1.50", nullptr, "-0.0005", "-214748.3648", nullptr},
        {"0", "0", "922337203685477.5807", "0", "1"},
        {"123.45", "99.9", "19.99", "0.01", "-0.5"}},
       {{"123.45", "1234567.8910", "1.0000", "214748.3647", "1234567.8910000000"},
        {"-1.50", "NULL", "-0.0005", "-214748.3648", "NULL"},
        {"0.00", "0.0000", "922337203685477.5807", "0.0000", "1.0000000000"},
        // Exactly `scale` digits: nothing before the point.
        {"123.45", "99.9000", "19.9900", "0.0100", "-.5000000000"}},
       true},
      {"Approximate",
       {Float("f").NotNull(), Real("r"), Float("g")},
       {{1.0 / 3, 3.14159, 1.0}, {123.456, nullptr, 2.5}, {0.0, 0.0, -2.0}, {-1.5, 1.5, nullptr}},
       {{"0.333333333333333", "3.14159", "1"}, {"123.456", "NULL", "2.5"}, {"0", "0", "-2"}, {"-1.5", "1.5", "NULL"}},
       true},
      {"Temporal",
       {DateTime("dt").NotNull(), SmallDateTime("sdt"), Date("d"), Time("t", 7), DateTime2("dt2", 3),
        DateTimeOffset("dto", 0)},
       {{"2024-01-01 12:00:00", "2024-01-01 10:30:00", "2024-02-29", "12:00:00.05", "2024-02-29 10:30:00.123",
         "2010-05-01 14:30:00 +05:30"},
        {"1900-01-01 00:00:00", nullptr, "0001-01-01", "00:00:00", nullptr, "2010-05-01 14:30:00 -01:00"},
        {"1753-01-01 00:00:00", "1900-01-01 00:00:00", nullptr, "23:59:59.9999999", "0001-01-01 00:00:00", nullptr},
        {"2024-01-01 12:00:00", "2079-06-06 23:59:00", "9999-12-31", nullptr, "9999-12-31 23:59:59.999",
         "2024-01-01 00:00:00 +00:00"}},
       {{"2024-01-01 12:00:00", "2024-01-01 10:30:00", "2024-02-29", "12:00:00.0500000", "2024-02-29 10:30:00.123",
         "2010-05-01 14:30:00 +5:30"},
        {"1900-01-01 00:00:00", "NULL", "0001-01-01", "00:00:00.0000000", "NULL", "2010-05-01 14:30:00 -1:0"},
        {"1753-01-01 00:00:00", "1900-01-01 00:00:00", "NULL", "23:59:59.9999999", "0001-01-01 00:00:00.000", "NULL"},
        {"2024-01-01 12:00:00", "2079-06-06 23:59:00", "9999-12-31", "NULL", "9999-12-31 23:59:59.999",
         "2024-01-01 00:00:00 +0:0"}}},
      {"Characters",
       {Char("c", 10).NotNull(), VarChar("v", 20), VarChar("city", 20), Text("tx"), VarChar("vm", -1)},
       {{"AB", "London", "Paris", "hello", "short max"},
        {"", "Londonderry", "Rome", nullptr, ""},
        {"ABCDEFGHIJ", nullptr, "Paris", "x", nullptr},
        {"Zo\xC3\xAB", "London", "Rome", "M\xC3\xBCller", "London"}},
       {{"AB        ", "London", "Paris", "hello", "short max"},
        {"          ", "Londonderry", "Rome", "NULL", ""},
        {"ABCDEFGHIJ", "NULL", "Paris", "x", "NULL"},
        {"Zo\xC3\xAB       ", "London", "Rome", "M\xC3\xBCller", "London"}}},
      {"Unicode",
       {NChar("nc", 5).NotNull(), NVarChar("nv", 20), NText("nt"), NVarChar("nm", -1)},
       {{"ab", "Caf\xC3\xA9", "hello", "\xD0\x96\xD1\x83\xD0\xBA"},
        {"", "\xD0\x96\xD1\x83\xD0\xBA", nullptr, ""},
        {"\xE6\x97\xA5\xE6\x9C\xAC", nullptr, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", nullptr},
        {"abcde", "a", "x", "Caf\xC3\xA9"}},
       {{"ab   ", "Caf\xC3\xA9", "hello", "\xD0\x96\xD1\x83\xD0\xBA"},
        {"     ", "\xD0\x96\xD1\x83\xD0\xBA", "NULL", ""},
        {"\xE6\x97\xA5\xE6\x9C\xAC   ", "NULL", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "NULL"},
        {"abcde", "a", "x", "Caf\xC3\xA9"}}},
      {"Binary",
       {Binary("bn", 4).NotNull(), VarBinary("vb", 10), Image("im"), Timestamp("ts").NotNull(), VarBinary("vbm", -1)},
       {{Bytes{0x0A, 0x0B}, Bytes{0x0A, 0x0B}, Bytes{1, 2, 3}, 2001, Bytes{0xFF}},
        {Bytes{0, 0, 0, 0}, Bytes{}, nullptr, 1, nullptr},
        {Bytes{1, 2, 3, 4}, nullptr, Bytes{0xDE, 0xAD}, kMost, Bytes{}},
        {Bytes{0, 0, 0, 1}, Bytes{0x0A, 0x0B, 0x0C}, Bytes{0}, 256, Bytes{0x0A, 0x0B}}},
       {{"0x0A0B0000", "0x0A0B", "0x010203", "0x00000000000007D1", "0xFF"},
        {"0x00000000", "0x", "NULL", "0x0000000000000001", "NULL"},
        {"0x01020304", "NULL", "0xDEAD", "0x7FFFFFFFFFFFFFFF", "0x"},
        {"0x00000001", "0x0A0B0C", "0x00", "0x0000000000000100", "0x0A0B"}}},
      {"Identifiers",
       {UniqueIdentifier("g").NotNull(), UniqueIdentifier("h"), Clr("hid", clrtype::kHierarchyId),
        Clr("geo", clrtype::kGeometry), Clr("geog", clrtype::kGeography)},
       {{kGuid, kGuid, Bytes{0x58}, Bytes{0xE6, 0x10, 0, 0, 1, 0x0C}, Bytes{0xE6, 0x10, 0, 0, 1, 0x0C}},
        {"6F9619FF-8B86-D011-B42D-00C04FC96400", nullptr, Bytes{0x5A, 0xC0}, nullptr, nullptr},
        {"00000000-0000-0000-0000-000000000000", kGuid, Bytes{0x68, 0x14, 0xE0}, Bytes{1}, Bytes{2}}},
       {{kGuid, kGuid, "0x58", "E6100000010C", "0xE6100000010C"},
        {"6F9619FF-8B86-D011-B42D-00C04FC96400", "NULL", "0x5AC0", "NULL", "NULL"},
        {"00000000-0000-0000-0000-000000000000", kGuid, "0x6814E0", "01", "0x02"}}},
  };
}

TEST_F(WholeRowsTest, EveryTypeShowsItsTextInEveryCompression) {
  for (const Family& family : Families()) {
    SCOPED_TRACE(family.name);
    Open(InEveryCompression(family.name, family.columns, family.rows));
    ExpectEveryCompression(family.name, family.texts);
  }
}

TEST_F(WholeRowsTest, Sql2000FilesShowTheTypesOfTheirTime) {
  for (const Family& family : Families()) {
    if (!family.sql2000) continue;
    SCOPED_TRACE(family.name);
    DatabaseSpec spec;
    spec.layout = Layout::kSql2000;
    spec.AddTable(family.name, family.columns, family.rows);
    Open(spec);
    EXPECT_EQ(List(family.name), family.texts);
  }
}

// Nine bit columns: the ninth takes a second byte of the fixed part.
std::vector<ColumnSpec> NineBits() {
  std::vector<ColumnSpec> columns = {Int("Id").NotNull()};
  for (int k = 1; k <= 9; ++k)
    columns.push_back(k % 3 == 0 ? Bit("b" + std::to_string(k)).NotNull() : Bit("b" + std::to_string(k)));
  return columns;
}

TEST_F(WholeRowsTest, NineBitColumnsTakeTwoBytes) {
  const std::vector<Row> rows = {{1, 1, 0, 1, 0, 1, 0, 1, 0, 1},
                                 {2, 0, 1, 0, 1, 0, 1, 0, 1, 0},
                                 {3, 1, 1, 1, 1, 1, 1, 1, 1, nullptr},
                                 {4, 0, 0, 0, 0, 0, 0, 0, 1, 1}};
  const Texts texts = {{"1", "True", "False", "True", "False", "True", "False", "True", "False", "True"},
                       {"2", "False", "True", "False", "True", "False", "True", "False", "True", "False"},
                       {"3", "True", "True", "True", "True", "True", "True", "True", "True", "NULL"},
                       {"4", "False", "False", "False", "False", "False", "False", "False", "True", "True"}};
  Open(InEveryCompression("Flags", NineBits(), rows));
  ExpectEveryCompression("Flags", texts);
  DatabaseSpec legacy;
  legacy.layout = Layout::kSql2000;
  legacy.AddTable("Flags", NineBits(), rows);
  Open(legacy);
  EXPECT_EQ(List("Flags"), texts);
}

// Reading side: a NULL bit column does not move the row's bit cursor, so the
// bit columns after it in the same record read the bit one place too early
// (row 3: b2 shows b1's stored 0, "False"; the bit positions of sysrscols are
// not used). Row- and page-compressed records, which keep bits as codes, read
// right.
TEST_F(WholeRowsTest, DISABLED_NullBitColumnsKeepTheBitsAfterThem) {
  const std::vector<Row> rows = {{3, nullptr, 1, 1, nullptr, 1, 1, nullptr, 1, 1},
                                 {4, 1, nullptr, 0, 1, nullptr, 0, 1, nullptr, 1}};
  const Texts texts = {{"3", "NULL", "True", "True", "NULL", "True", "True", "NULL", "True", "True"},
                       {"4", "True", "NULL", "False", "True", "NULL", "False", "True", "NULL", "True"}};
  Open(InEveryCompression("Flags", NineBits(), rows));
  ExpectEveryCompression("Flags", texts);
}

// Clustered on its third column: the records keep the key first.
TEST_F(WholeRowsTest, TableClusteredOnItsThirdColumn) {
  const std::vector<ColumnSpec> columns = {Int("A"), VarChar("B", 20), Int("C").NotNull(), NVarChar("D", 20),
                                           Bit("E")};
  const std::vector<Row> rows = {{7, "seven", 1, "one", 1}, {nullptr, "eight", 2, nullptr, 0}, {9, nullptr, 3, "three", nullptr}};
  Open(InEveryCompression("Keyed", columns, rows, {"PK_Keyed", {"C"}}));
  ExpectEveryCompression("Keyed", {{"7", "seven", "1", "one", "True"},
                                   {"NULL", "eight", "2", "NULL", "False"},
                                   {"9", "NULL", "3", "three", "NULL"}});
  EXPECT_EQ(LayoutNamed("C").physicalColumnId, 1);
  EXPECT_EQ(LayoutNamed("A").physicalColumnId, 2);
}

}  // namespace
}  // namespace quillmark::testing
