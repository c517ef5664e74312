// Whole databases written by the database builder, their tables listed as the
// records list lists them: every type in ordinary, row- and page-compressed
// records, sql_variant and xml values, large values through every fragment
// type, sparse columns, forwarded, ghost and deleted records, and columns
// added or dropped after the rows were written.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "platform/CodePage.h"
#include "builder/DatabaseBuilder.h"
#include "tests/values/LargeValueCases.h"
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

TableSpec Table(std::string name, std::vector<ColumnSpec> columns, std::vector<Row> rows) {
  TableSpec table;
  table.name = std::move(name);
  table.columns = std::move(columns);
  table.rows = std::move(rows);
  return table;
}

// One copy of `table` in each compression, its name followed by the compression's.
DatabaseSpec InEveryCompression(const TableSpec& table) {
  DatabaseSpec spec;
  for (Compression compression : kCompressions) {
    TableSpec& copy = spec.AddTable(table.name + NameOf(compression), table.columns, table.rows);
    copy.compression = compression;
    copy.ghostRows = table.ghostRows;
    if (!table.primaryKey.columns.empty())
      copy.primaryKey = {table.primaryKey.name + NameOf(compression), table.primaryKey.columns};
  }
  return spec;
}

DatabaseSpec InEveryCompression(const std::string& name, const std::vector<ColumnSpec>& columns,
                                const std::vector<Row>& rows) {
  return InEveryCompression(Table(name, columns, rows));
}

// A database of one table, in the layout asked for.
DatabaseSpec OneTable(const TableSpec& table, Layout layout = Layout::kSql2005Plus) {
  DatabaseSpec spec;
  spec.layout = layout;
  spec.tables.push_back(table);
  return spec;
}

// The rows of `texts` whose indices are listed, in that order.
Texts Picked(const Texts& texts, const std::vector<std::size_t>& rows) {
  Texts picked;
  for (std::size_t row : rows) picked.push_back(texts.at(row));
  return picked;
}

// "DF FF 01" as bytes.
Bytes FromHex(const std::string& text) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] != ' ') bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i++, 2), nullptr, 16)));
  return bytes;
}

std::string CyrillicLetters(std::size_t characters) {  // U+0410 and on: two bytes each in UTF-8
  std::string text;
  for (std::size_t i = 0; i < characters; ++i) {
    const unsigned letter = 0x410 + static_cast<unsigned>(i / 100 % 32);
    text.push_back(static_cast<char>(0xC0 | letter >> 6));
    text.push_back(static_cast<char>(0x80 | (letter & 0x3F)));
  }
  return text;
}

// <list><i>item 0</i>...</list> in binary XML, and its text.
std::pair<Bytes, std::string> ListDocument(int items) {
  Bytes bytes = FromHex("DF FF 01 B0 04 F0 04 6C 00 69 00 73 00 74 00 EF 00 00 01 F0 01 69 00 EF 00 00 02 F8 01");
  std::string text = "<list>";
  for (int k = 0; k < items; ++k) {
    const std::string item = "item " + std::to_string(k);
    bytes.insert(bytes.end(), {0xF8, 0x02, 0x11, static_cast<std::uint8_t>(item.size())});  // <i>, nvarchar text
    for (char c : item) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), 0});
    bytes.push_back(0xF7);
    text += "<i>" + item + "</i>";
  }
  bytes.push_back(0xF7);
  return {bytes, text + "</list>"};
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

  // The default values the schema resolution takes for columns without
  // storage: the definitions of the default constraints (sysobjvalues rows:
  // valclass, objid, subobjid, valnum, value, imageval), keyed by the table and
  // column the constraint's object row names (its parent and property).
  std::vector<ModuleTextEntry> DefaultEntries() {
    std::vector<ModuleTextEntry> entries;
    for (const std::vector<std::string>& row : List("sysobjvalues", {}, true, "S ")) {
      const CatalogObject* constraint = opened_.catalog->ObjectById(std::stoi(row.at(1)));
      if (!constraint || constraint->type != "D ") continue;
      entries.push_back({platform::Utf8ToUtf16(std::to_string(constraint->parentId)),
                         platform::Utf8ToUtf16(std::to_string(constraint->property)), platform::Utf8ToUtf16(row.at(5))});
    }
    return entries;
  }

  // The first data page of a table, read with its layouts installed as a listing installs them.
  std::unique_ptr<CDataPage> FirstPage(const std::string& table) {
    layouts_ = ResolveTableSchema(*opened_.catalog, platform::Utf8ToUtf16(table), "U ", {});
    CompressedValueRebuilder rebuilder(layouts_);
    Settings().listingContext = &rebuilder;
    auto page = opened_.file->ReadDataPage(opened_.catalog->selected.dataPages.at(0));
    Settings().listingContext = nullptr;
    return page;
  }

  // The listed rows of every compression of a table written by InEveryCompression.
  void ExpectEveryCompression(const std::string& name, const Texts& expected, bool markers = true) {
    for (Compression compression : kCompressions) {
      SCOPED_TRACE(name + NameOf(compression));
      EXPECT_EQ(List(name + NameOf(compression), {}, markers), expected);
    }
  }

  // Text pages of the table listed last: the pages of the file whose headers
  // name one of its allocation units (the page maps keep no text pages).
  std::size_t TextPageCount() const {
    std::set<std::int32_t> units;
    for (const CatalogAllocUnit& unit : opened_.catalog->selected.allocUnits) units.insert(AllocationUnitPageKey(unit.id));
    std::size_t pages = 0;
    for (std::int32_t number = 1; number < static_cast<std::int32_t>(opened_.file->pageCount); ++number) {
      const auto header = opened_.file->ReadPageHeader(PageId{kPrimaryFileId, number});
      pages += header && header->pageType == 3 && units.count(PageMapKey(header->objectId, header->indexId));
    }
    return pages;
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
    Open(OneTable(Table(family.name, family.columns, family.rows), Layout::kSql2000));
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
  Open(OneTable(Table("Flags", NineBits(), rows), Layout::kSql2000));
  EXPECT_EQ(List("Flags"), texts);
}

// A NULL bit column keeps its bit in the byte it shares with the other bit
// columns, so the ones after it read their own bits (were it passed over, row
// 3's b2 would show b1's stored 0). Row- and page-compressed records keep bits
// as codes.
TEST_F(WholeRowsTest, NullBitColumnsKeepTheBitsAfterThem) {
  const std::vector<Row> rows = {{3, nullptr, 1, 1, nullptr, 1, 1, nullptr, 1, 1},
                                 {4, 1, nullptr, 0, 1, nullptr, 0, 1, nullptr, 1}};
  const Texts texts = {{"3", "NULL", "True", "True", "NULL", "True", "True", "NULL", "True", "True"},
                       {"4", "True", "NULL", "False", "True", "NULL", "False", "True", "NULL", "True"}};
  Open(InEveryCompression("Flags", NineBits(), rows));
  ExpectEveryCompression("Flags", texts);
  Open(OneTable(Table("Flags", NineBits(), rows), Layout::kSql2000));
  EXPECT_EQ(List("Flags"), texts);
}

// Clustered on its third column: the records keep the key first.
TEST_F(WholeRowsTest, TableClusteredOnItsThirdColumn) {
  const std::vector<ColumnSpec> columns = {Int("A"), VarChar("B", 20), Int("C").NotNull(), NVarChar("D", 20),
                                           Bit("E")};
  const std::vector<Row> rows = {
      {7, "seven", 1, "one", 1}, {nullptr, "eight", 2, nullptr, 0}, {9, nullptr, 3, "three", nullptr}};
  TableSpec keyed = Table("Keyed", columns, rows);
  keyed.primaryKey = {"PK_Keyed", {"C"}};
  Open(InEveryCompression(keyed));
  ExpectEveryCompression("Keyed", {{"7", "seven", "1", "one", "True"},
                                   {"NULL", "eight", "2", "NULL", "False"},
                                   {"9", "NULL", "3", "three", "NULL"}});
  EXPECT_EQ(LayoutNamed("C").physicalColumnId, 1);
  EXPECT_EQ(LayoutNamed("A").physicalColumnId, 2);
}

// Rows fill several pages; on a page-compressed table each page shares values
// only among its own rows, in the compression information it starts with.
TEST_F(WholeRowsTest, PageCompressionStartsAgainOnEveryPage) {
  const char* const cities[] = {"London", "Londonderry", "Paris"};
  std::vector<Row> rows;
  Texts texts;
  for (int k = 0; k < 2000; ++k) {
    rows.push_back({k, "customer " + std::to_string(k), cities[k % 3], k % 2});
    texts.push_back({std::to_string(k), "customer " + std::to_string(k), cities[k % 3], k % 2 ? "True" : "False"});
  }
  Open(InEveryCompression("Many", {Int("Id").NotNull(), VarChar("Name", 40), VarChar("City", 20), Bit("Vip")}, rows));
  ExpectEveryCompression("Many", texts);
  const std::vector<PageId> pages = opened_.catalog->selected.dataPages;
  EXPECT_GT(pages.size(), 2u);
  for (const PageId& page : pages) EXPECT_TRUE(opened_.file->ReadPageHeader(page)->typeFlagBits & 0x80);
}

// ---- sql_variant and xml ----------------------------------------------------

struct VariantCase {
  ColumnSpec base;
  Value value;
  std::string text;
};

const std::vector<VariantCase>& VariantCases() {
  static const std::vector<VariantCase> cases = {
      {Int("int"), 5, "5"},
      {BigInt("bigint"), std::int64_t{-9000000000}, "-9000000000"},
      {TinyInt("tinyint"), 255, "255"},
      {SmallInt("smallint"), -2, "-2"},
      {Bit("bit"), 1, "True"},
      {Float("float"), 0.1, "0.1"},
      {Real("real"), 1.5, "1.5"},
      {Money("money"), "1.00", "1.0000"},
      {SmallMoney("smallmoney"), "-0.0005", "-0.0005"},
      {DateTime("datetime"), "2024-01-01 12:00:00", "2024-01-01 12:00:00"},
      {SmallDateTime("smalldatetime"), "2024-01-01 10:30:00", "2024-01-01 10:30:00"},
      {Date("date"), "2024-02-29", "2024-02-29"},
      {Time("time", 7), "12:00:00.05", "12:00:00.0500000"},
      {DateTime2("datetime2", 3), "2024-02-29 10:30:00.123", "2024-02-29 10:30:00.123"},
      {DateTimeOffset("datetimeoffset", 0), "2010-05-01 14:30:00 +05:30", "2010-05-01 14:30:00 +5:30"},
      {Decimal("decimal", 5, 2), "123.45", "123.45"},
      {Numeric("numeric", 10, 4), "-1.5", "-1.5000"},
      {UniqueIdentifier("uniqueidentifier"), kGuid, kGuid},
      {Binary("binary", 4), Bytes{1, 2}, "0x01020000"},
      {VarBinary("varbinary", 10), Bytes{0x0A, 0x0B}, "0x0A0B"},
      {Char("char", 5), "ab", "ab   "},
      {VarChar("varchar", 10), "hello", "hello"},
      {NChar("nchar", 5), "ab", "ab   "},
      {NVarChar("nvarchar", 10), "\xD0\x96\xD1\x83\xD0\xBA", "\xD0\x96\xD1\x83\xD0\xBA"},
  };
  return cases;
}

// One row per base type, its position first, then a NULL.
DatabaseSpec Variants() {
  std::vector<Row> rows;
  for (std::size_t k = 0; k < VariantCases().size(); ++k)
    rows.push_back({static_cast<int>(k), Variant(VariantCases()[k].base, VariantCases()[k].value)});
  rows.push_back({static_cast<int>(rows.size()), nullptr});
  return InEveryCompression("Variants", {Int("k").NotNull(), SqlVariant("v")}, rows);
}

// Whether a variant leaves the short data region of a compressed record: more than 8 bytes.
bool LongWhenCompressed(const VariantCase& c) { return Variant(c.base, c.value).Raw()->size() > 8; }

TEST_F(WholeRowsTest, SqlVariantOfEveryBaseType) {
  Open(Variants());
  const std::vector<VariantCase>& cases = VariantCases();
  for (Compression compression : kCompressions) {
    SCOPED_TRACE(NameOf(compression));
    const Texts rows = List("Variants" + NameOf(compression));
    ASSERT_EQ(rows.size(), cases.size() + 1);
    for (std::size_t k = 0; k < cases.size(); ++k) {
      if (compression != Compression::kNone && !LongWhenCompressed(cases[k])) continue;
      EXPECT_EQ(rows[k][1], cases[k].text) << cases[k].base.name;
    }
    EXPECT_EQ(rows.back()[1], "NULL");
  }
}

// A sql_variant of at most 8 bytes sits in the short data region of a
// compressed record: int 5 (38 01 05 00 00 00), tinyint, smallint, bit, real,
// smallmoney, smalldatetime, date, time(7), binary(4) and varbinary variants.
// They are read by their base type, as the long ones are.
TEST_F(WholeRowsTest, ShortSqlVariantsOfCompressedRecords) {
  Open(Variants());
  for (Compression compression : {Compression::kRowLevel, Compression::kPageLevel}) {
    SCOPED_TRACE(NameOf(compression));
    const Texts rows = List("Variants" + NameOf(compression));
    ASSERT_EQ(rows.size(), VariantCases().size() + 1);
    for (std::size_t k = 0; k < VariantCases().size(); ++k) EXPECT_EQ(rows[k][1], VariantCases()[k].text);
  }
}

// The worked examples of the binary XML notes: element, attribute and text;
// prefixed names and a namespace declaration; escaped text, a comment, a
// processing instruction and CDATA; typed values (version 2).
TEST_F(WholeRowsTest, XmlValuesShowTheirDocuments) {
  const std::vector<std::pair<std::string, std::string>> documents = {
      {"DF FF 01 B0 04 F0 04 72 00 6F 00 6F 00 74 00 EF 00 00 01 F0 01 61 00 EF 00 00 02 F8 01 F6 02 11 01 31 00 F5 11 02 "
       "68 00 69 00 F7",
       "<root a=\"1\">hi</root>"},
      {"DF FF 01 B0 04 F0 05 75 00 72 00 6E 00 3A 00 78 00 F0 01 70 00 F0 03 64 00 6F 00 63 00 EF 01 02 03 F8 01 F0 07 "
       "78 00 6D 00 6C 00 6E 00 73 00 3A 00 70 00 EF 00 04 00 F6 02 11 05 75 00 72 00 6E 00 3A 00 78 00 F5 F0 04 69 00 "
       "74 00 65 00 6D 00 EF 01 02 05 F8 03 F7 F7",
       "<p:doc xmlns:p=\"urn:x\"><p:item/></p:doc>"},
      {"DF FF 01 B0 04 F0 01 61 00 EF 00 00 01 F8 01 11 05 78 00 20 00 3C 00 20 00 79 00 F3 01 63 00 F0 01 74 00 F4 02 "
       "01 64 00 F2 03 3C 00 26 00 3E 00 F1 F7",
       "<a>x &lt; y<!--c--><?t d?><![CDATA[<&>]]></a>"},
      {"DF FF 02 B0 04 F0 01 76 00 EF 00 00 01 F0 01 69 00 EF 00 00 02 F0 01 64 00 EF 00 00 03 F0 01 6E 00 EF 00 00 04 "
       "F8 01 F6 02 02 FE FF FF FF F6 03 7F 80 46 0B F6 04 87 0B 26 0A 00 00 A2 94 1A 1D 00 00 00 F5 7B 07 00 74 05 3F "
       "47 80 46 0B 78 00 F7",
       "<v i=\"-2\" d=\"2024-02-29\" n=\"-12.5\">2024-02-29T10:30:00+02:00</v>"},
  };
  std::vector<Row> rows = {{0, nullptr}};
  Texts texts = {{"0", "NULL"}};
  for (const auto& [hex, text] : documents) {
    rows.push_back({static_cast<int>(rows.size()), FromHex(hex)});
    texts.push_back({std::to_string(texts.size()), text});
  }
  Open(InEveryCompression("Documents", {Int("k").NotNull(), Xml("x")}, rows));
  ExpectEveryCompression("Documents", texts);
}

// ---- large values -----------------------------------------------------------

// Every kind of large value stored one way: text, ntext and image behind text
// pointers, the max types and xml behind in-row roots.
std::vector<ColumnSpec> LargeColumns(Storage storage) {
  std::vector<ColumnSpec> columns = {Int("Id").NotNull(), Text("t"), NText("nt"), Image("im"), VarChar("vm", -1),
                                     NVarChar("nm", -1), VarBinary("bm", -1), Xml("x")};
  for (std::size_t k = 1; k < columns.size(); ++k) columns[k].Stored(storage, 3000);
  return columns;
}

TEST_F(WholeRowsTest, LargeValuesThroughEveryFragmentType) {
  struct Case {
    Storage storage;
    std::size_t bytes;
    std::size_t textPages;  // at least
  };
  const std::vector<Case> cases = {
      {Storage::kSmallRoot, 6000, 3}, {Storage::kDataFragments, 10000, 6}, {Storage::kInternalNodes, 10000, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.storage));
    const auto [xml, xmlText] = ListDocument(static_cast<int>(c.bytes / 20));
    const auto [smallXml, smallXmlText] = ListDocument(1);
    const std::vector<Row> rows = {
        {1, Letters(c.bytes), CyrillicLetters(c.bytes / 2), ByteRun(c.bytes), Letters(c.bytes),
         CyrillicLetters(c.bytes / 2), ByteRun(c.bytes), xml},
        {2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
        {3, "a small value", "a small value", ByteRun(12), "a small value", "a small value", ByteRun(12), smallXml}};
    const std::string marker = "<BIG BINARY DATA>";
    Texts texts = {{"1", Letters(c.bytes), CyrillicLetters(c.bytes / 2), HexOf(ByteRun(c.bytes)), marker, marker, marker,
                    xmlText},
                   {"2", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL"},
                   {"3", "a small value", "a small value", HexOf(ByteRun(12)), marker, marker, marker, smallXmlText}};
    Open(InEveryCompression("Large", LargeColumns(c.storage), rows));
    ExpectEveryCompression("Large", texts);
    EXPECT_GE(TextPageCount(), c.textPages);
    // Outside a listing the max types are read as well.
    for (std::size_t row : {0, 2})
      for (std::size_t column = 4; column <= 6; ++column) texts[row][column] = texts[row][column - 3];
    ExpectEveryCompression("Large", texts, false);
  }
}

TEST_F(WholeRowsTest, RowOverflowValuesAreReadInTheListing) {
  std::vector<ColumnSpec> columns = {Int("Id").NotNull(), VarChar("v", 8000), NVarChar("n", 4000), VarBinary("b", 8000)};
  for (std::size_t k = 1; k < columns.size(); ++k) columns[k].Stored(Storage::kRowOverflow);
  Open(InEveryCompression("Overflow", columns,
                          {{1, Letters(7000), CyrillicLetters(3500), ByteRun(7000)},
                           {2, "off the row all the same", nullptr, ByteRun(10)}}));
  ExpectEveryCompression("Overflow", {{"1", Letters(7000), CyrillicLetters(3500), HexOf(ByteRun(7000))},
                                      {"2", "off the row all the same", "NULL", HexOf(ByteRun(10))}});
}

// Damaged trees: internal node 0 links [data 0, node 0] (a self-link), or
// node 0 links [data 0, node 1] and node 1 links [data 2, node 0] (a cycle).
// Each link is followed once: the value ends with the data gathered so far.
TEST_F(WholeRowsTest, ALinkCycleEndsWithTheDataGatheredSoFar) {
  const std::string value = Letters(12000);  // four data fragments, two internal nodes
  const std::string selfLinked = value.substr(0, 3000) + value.substr(6000);
  const std::string cycled = value.substr(0, 3000) + value.substr(6000, 3000);
  Open(OneTable(Table("Damaged",
                      {Int("Id").NotNull(),
                       Text("self").Stored(Storage::kInternalNodes, 3000).Damaged(LinkDamage::kSelfLink),
                       Text("cycle").Stored(Storage::kInternalNodes, 3000).Damaged(LinkDamage::kTwoNodeCycle),
                       VarChar("maxSelf", -1).Stored(Storage::kInternalNodes, 3000).Damaged(LinkDamage::kSelfLink),
                       VarChar("maxCycle", -1).Stored(Storage::kInternalNodes, 3000).Damaged(LinkDamage::kTwoNodeCycle)},
                      {{1, value, value, value, value}})));
  EXPECT_EQ(List("Damaged", {}, false), (Texts{{"1", selfLinked, cycled, selfLinked, cycled}}));
}

// A data fragment's body is its data, however short: the last few bytes of a
// value split into fragments (here 3005 letters in fragments of 3000).
TEST_F(WholeRowsTest, DataFragmentsOfFewBytes) {
  Open(OneTable(Table("Tail", {Int("Id").NotNull(), Text("t").Stored(Storage::kDataFragments, 3000)},
                      {{1, Letters(3005)}})));
  EXPECT_EQ(List("Tail"), (Texts{{"1", Letters(3005)}}));
}

// ---- sparse columns, moved, ghost and deleted rows --------------------------

TableSpec SparseTable(std::vector<Row> rows) {
  return Table("Sparse",
               {Int("Id").NotNull(), VarChar("Name", 20), Int("S1").Sparse(), NVarChar("S2", 20).Sparse(),
                Decimal("S3", 5, 2).Sparse(), DateTime("At").NotNull()},
               std::move(rows));
}

// The sparse columns' values sit in the sparse column vector, a complex value
// after the record's own variable-length values.
TEST_F(WholeRowsTest, SparseColumnsComeFromTheSparseVector) {
  Open(OneTable(SparseTable({{1, "a", 7, "x", "1.50", "2024-01-01 00:00:00"},
                             {2, nullptr, -3, "\xD0\x96\xD1\x83\xD0\xBA", "4.25", "2024-01-02 00:00:00"}})));
  EXPECT_EQ(List("Sparse"), (Texts{{"1", "a", "7", "x", "1.50", "2024-01-01 00:00:00"},
                                   {"2", "NULL", "-3", "\xD0\x96\xD1\x83\xD0\xBA", "4.25", "2024-01-02 00:00:00"}}));
  EXPECT_EQ(LayoutNamed("S2").sparseFlag, 1);
  EXPECT_EQ(LayoutNamed("Name").sparseFlag, 0);
}

// A sparse column without an entry in the vector, or in a row without a
// vector, is NULL.
TEST_F(WholeRowsTest, SparseColumnsWithoutAValueShowNull) {
  Open(OneTable(SparseTable({{3, "c", nullptr, "alone", nullptr, "2024-01-03 00:00:00"},
                             {4, "d", nullptr, nullptr, nullptr, "2024-01-04 00:00:00"}})));
  EXPECT_EQ(List("Sparse"), (Texts{{"3", "c", "NULL", "alone", "NULL", "2024-01-03 00:00:00"},
                                   {"4", "d", "NULL", "NULL", "NULL", "2024-01-04 00:00:00"}}));
}

// A sparse vector of exactly 16 bytes (here one entry, S2 = N'only': 05 00 01
// 00 04 00 10 00 and 8 bytes of UTF-16) is the length of a text pointer, but a
// text pointer's first byte is 0.
TEST_F(WholeRowsTest, SparseVectorsOfSixteenBytes) {
  Open(OneTable(SparseTable({{5, "e", nullptr, "only", nullptr, "2024-01-05 00:00:00"}})));
  EXPECT_EQ(List("Sparse")[0][3], "only");
}

TableSpec MovedRows() {
  std::vector<Row> rows;
  for (int k = 0; k < 5; ++k) rows.push_back({k, "row " + std::to_string(k)});
  TableSpec heap = Table("Moved", {Int("Id").NotNull(), VarChar("Note", 200)}, rows);
  heap.movedRows = {{1, false}, {3, true}};
  return heap;
}

// A moved row's slot holds a forwarding stub: the row is read from the
// forwarded record it points at. A stub that points at another stub is not
// followed further: it gives an empty record, every column NULL.
TEST_F(WholeRowsTest, MovedRowsAreReadThroughTheirStubs) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(layout == Layout::kSql2000 ? "2000" : "2005+");
    Open(OneTable(MovedRows(), layout));
    const Texts rows = List("Moved");
    ASSERT_GE(rows.size(), 5u);
    EXPECT_EQ(Texts(rows.begin(), rows.begin() + 5),
              (Texts{{"0", "row 0"}, {"1", "row 1"}, {"2", "row 2"}, {"NULL", "NULL"}, {"4", "row 4"}}));
  }
}

// A forwarded record (type 1) is read through its stub and not again in its
// own slot (here row 1 is at slots 1 and 6; row 3, behind two stubs, at slots
// 5 and 7).
TEST_F(WholeRowsTest, MovedRowsAreListedOnce) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(layout == Layout::kSql2000 ? "2000" : "2005+");
    Open(OneTable(MovedRows(), layout));
    const Texts rows = List("Moved");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), std::vector<std::string>{"1", "row 1"}), 1);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), std::vector<std::string>{"3", "row 3"}), 1);
  }
}

// Rows with a 128-byte fixed part, a null bitmap and a variable-length value:
// their first bytes are the ones the deleted-record scan searches for (30 00
// 84 00, or 3C 00 84 00 for a ghost).
TableSpec DeletedRows() {
  return Table("Deleted", {Int("Id").NotNull(), Char("Pad", 123).NotNull(), VarChar("Note", 20), Bit("B")},
               {{0, "p", "zero", 1}, {1, "p", "one", 0}, {2, "p", "two", nullptr}, {3, "p", "three", 1}});
}
const std::string kPad = "p" + std::string(122, ' ');
const Texts kDeletedRowTexts = {{"0", kPad, "zero", "True"},
                                {"1", kPad, "one", "False"},
                                {"2", kPad, "two", "NULL"},
                                {"3", kPad, "three", "True"}};

// A ghost record is a deleted row still in its slot: listed only while deleted
// records are shown.
TEST_F(WholeRowsTest, GhostRowsShowOnlyWithDeletedRecords) {
  TableSpec table = DeletedRows();
  table.ghostRows = {1};
  struct Case {
    DatabaseSpec spec;
    std::vector<std::string> tables;
  };
  const std::vector<Case> cases = {{InEveryCompression(table), {"DeletedPlain", "DeletedRow", "DeletedPage"}},
                                   {OneTable(table, Layout::kSql2000), {"Deleted"}}};
  for (const Case& c : cases) {
    Open(c.spec);
    for (const std::string& name : c.tables) {
      SCOPED_TRACE(name);
      Settings().showDeletedRecords = 0;
      EXPECT_EQ(List(name), Picked(kDeletedRowTexts, {0, 2, 3}));
      EXPECT_EQ(FirstPage(name)->header->ghostRecordCount, 1);
      Settings().showDeletedRecords = 1;
      EXPECT_EQ(List(name), kDeletedRowTexts);
    }
  }
}

// A deleted row whose slot is gone is found only by the deleted-record scan,
// which both deleted-record switches turn on; it is listed after the slots.
TEST_F(WholeRowsTest, TheDeletedRecordScanFindsRowsWithoutASlot) {
  TableSpec table = DeletedRows();
  table.unlistedRows = {2};
  struct Case {
    std::uint8_t show, advanced;
    std::vector<std::size_t> rows;
  };
  const std::vector<Case> cases = {{0, 0, {0, 1, 3}}, {1, 0, {0, 1, 3}}, {0, 1, {0, 1, 3}}, {1, 1, {0, 1, 3, 2}}};
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    Open(OneTable(table, layout));
    for (const Case& c : cases) {
      Settings().showDeletedRecords = c.show;
      Settings().showAdvancedDeletedRecords = c.advanced;
      EXPECT_EQ(List("Deleted"), Picked(kDeletedRowTexts, c.rows)) << int{c.show} << int{c.advanced};
    }
  }
}

// ---- columns added or dropped after the rows were written -------------------

TEST_F(WholeRowsTest, ColumnsAddedAfterTheRowsShowTheirDefaultOrNull) {
  Open(InEveryCompression(
      "Grown",
      {Int("Id").NotNull(), VarChar("Name", 20),
       Int("Qty").NotNull().Default("((0))").Added(ColumnHistory::kAddedUnplaced),
       NVarChar("Note", 20).Default("(N'n/a')").Added(ColumnHistory::kAddedUnplaced), Bit("Flag").Added()},
      {{1, "a"}, {2, nullptr}}));
  const std::vector<ModuleTextEntry> entries = DefaultEntries();
  for (Compression compression : kCompressions) {
    SCOPED_TRACE(NameOf(compression));
    EXPECT_EQ(List("Grown" + NameOf(compression), entries),
              (Texts{{"1", "a", "((0))", "(N'n/a')", "NULL"}, {"2", "NULL", "((0))", "(N'n/a')", "NULL"}}));
    EXPECT_EQ(LayoutNamed("Qty").physicalColumnId, -99);
    EXPECT_EQ(LayoutNamed("Note").physicalColumnId, -99);
    EXPECT_EQ(LayoutNamed("Flag").physicalColumnId, 3);  // after the stored columns; Qty and Note have no place
  }
}

// Columns Old and Gone were dropped after the rows were written; `price` is
// the second row's M.
DatabaseSpec Shrunk(const char* price) {
  return InEveryCompression("Shrunk",
                            {Int("Id").NotNull(), Int("Old").Dropped(), VarChar("Gone", 20).Dropped(),
                             VarChar("Name", 20), Bit("B"), Money("M")},
                            {{1, 99, "gone", "a", 1, "1.00"},
                             {2, nullptr, "x", nullptr, 0, price},
                             {3, 5, nullptr, "c", nullptr, nullptr}});
}

// A dropped column keeps its bytes in the rows written before; it has no
// column row, so it is not listed and the columns around it read as before.
TEST_F(WholeRowsTest, DroppedColumnsLeaveTheirBytesUnread) {
  Open(Shrunk("2.50"));
  ExpectEveryCompression("Shrunk",
                         {{"1", "a", "True", "1.0000"}, {"2", "NULL", "False", "2.5000"}, {"3", "c", "NULL", "NULL"}});
  std::vector<std::string> names;
  for (const ColumnLayout& layout : layouts_) names.push_back(platform::Utf16ToUtf8(layout.name));
  EXPECT_EQ(names, (std::vector<std::string>{"Id", "Name", "B", "M"}));
}

// Dropped columns ahead of the last: the record holds more columns than the
// table has layouts, and the ones after the dropped columns are still read.
TEST_F(WholeRowsTest, ColumnsAfterManyDroppedOnes) {
  Open(InEveryCompression("Thinned",
                          {Int("Id").NotNull(), Int("D1").Dropped(), VarChar("D2", 20).Dropped(),
                           Money("D3").Dropped(), VarChar("Name", 20), Money("M")},
                          {{1, 7, "gone", "3.00", "a", "1.00"}, {2, nullptr, "long gone value", nullptr, "b", "1.01"}}));
  ExpectEveryCompression("Thinned", {{"1", "a", "1.0000"}, {"2", "b", "1.0100"}});
}

// A page's anchor record covers every column of the records, the dropped ones
// too: with two dropped columns the records have six, and the last, M, has
// the anchor A7 10 (money 1.00). The first row's M is code 1, the anchor; the
// second's is 01 74: one byte of the anchor, then 74, money 1.01.
TEST_F(WholeRowsTest, AnchorsOfColumnsAfterDroppedOnes) {
  Open(Shrunk("1.01"));
  EXPECT_EQ(List("ShrunkPage"),
            (Texts{{"1", "a", "True", "1.0000"}, {"2", "NULL", "False", "1.0100"}, {"3", "c", "NULL", "NULL"}}));
}

// ---- what the compressed records' long values lose -------------------------

// Values longer than 8 bytes in their compressed form sit in the long data
// region, and get back their stored form there as short ones do: char and
// binary values their padding, vardecimals of more than 8 bytes their sign
// and magnitude.
TEST_F(WholeRowsTest, LongCompressedValuesOfPaddedAndDecimalTypes) {
  Open(InEveryCompression("Long", {Char("c", 12), Binary("bn", 12), Decimal("d", 38, 10), Numeric("n", 20, 4)},
                          {{"ABCDEFGHIJ", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "12345678901234567890.0123456789",
                            "1234567890123.4567"}}));
  ExpectEveryCompression("Long", {{"ABCDEFGHIJ  ", "0x0102030405060708090A0000", "12345678901234567890.0123456789",
                                   "1234567890123.4567"}});
}

// A compressed record keeps its long values in physical order, the key first:
// a long key whose column comes after another long column is still the
// record's first long value (on the page-compressed page the key's anchor
// prefix makes it short).
TEST_F(WholeRowsTest, LongClusteredKeyAfterALongColumn) {
  TableSpec keyed = Table("LongKey", {VarChar("A", 30), Int("B"), VarChar("C", 30).NotNull()},
                          {{"the first long value", 1, "key number one"}, {"the second long value", 2, "key number two"}});
  keyed.primaryKey = {"PK_LongKey", {"C"}};
  Open(InEveryCompression(keyed));
  ExpectEveryCompression("LongKey", {{"the first long value", "1", "key number one"},
                                     {"the second long value", "2", "key number two"}});
}

// Page-compressed pages begin with their compression information: an anchor
// value for the columns whose values share leading bytes and, when values
// repeat, a dictionary; row-compressed pages have none.
TEST_F(WholeRowsTest, PageCompressedPagesCarryAnchorsAndDictionaries) {
  struct Case {
    std::string family;
    std::size_t anchoredColumn;
    Bytes anchor;
    Bytes entry;  // empty: the page has no dictionary
  };
  const std::vector<Case> cases = {
      {"Integers", 2, {0x83, 0xE8}, {}},                                    // int 1000
      {"Exact", 0, {0xC2, 0x1E, 0xDC, 0x20}, {0xC6, 0x1E, 0xDC, 0x8C, 0x54, 0x64}},  // 123.45; 1234567.891 twice
      {"Characters", 1, {'L', 'o', 'n', 'd', 'o', 'n'}, {0x00, 'R', 'o', 'm', 'e'}},  // "Rome" beside anchor "Paris"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    for (const Family& family : Families())
      if (family.name == c.family) Open(InEveryCompression(family.name, family.columns, family.rows));
    const auto page = FirstPage(c.family + "Page");
    ASSERT_TRUE(page && page->header);
    EXPECT_TRUE(page->header->typeFlagBits & 0x80);
    EXPECT_TRUE(page->hasAnchor);
    EXPECT_EQ(page->anchorValues.at(c.anchoredColumn), c.anchor);
    EXPECT_EQ(page->hasDictionary, !c.entry.empty());
    if (!c.entry.empty()) {
      const auto& entries = page->dictionaryEntries;
      EXPECT_NE(std::find(entries.begin(), entries.end(), c.entry), entries.end());
    }
    EXPECT_FALSE(FirstPage(c.family + "Row")->header->typeFlagBits & 0x80);
  }
}

}  // namespace
}  // namespace quillmark::testing
