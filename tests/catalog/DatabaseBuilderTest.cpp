// The database builder against the real files: its system tables have the real
// files' layouts, its values their stored forms, and the engine and the catalog
// read back what it wrote.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <tuple>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/BootPage.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "engine/IamPage.h"
#include "engine/LargeObjects.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "platform/CodePage.h"
#include "platform/ProgramPath.h"
#include "builder/CompressedRecords.h"
#include "builder/DatabaseBuilder.h"
#include "tests/support/RealFixtures.h"
#include "builder/StoredValues.h"
#include "builder/SystemRows.h"
#include "builder/SystemTableLayouts.h"

namespace quillmark::testing {
namespace {

// A record as the engine parsed it.
struct ParsedRow {
  int type = 0;
  std::int32_t fixedLength = 0;
  std::int16_t columnCount = 0;
  ByteVector fixed;
  ByteVector nullBitmap;
  std::vector<VarValue> values;
};

std::vector<ParsedRow> RowsOn(DatabaseFile& db, const PageList& pages) {
  std::vector<ParsedRow> rows;
  for (const PageEntry& entry : pages) {
    if (entry.pageType != 1) continue;
    std::unique_ptr<CDataPage> page = db.ReadDataPage(entry.Page());
    if (!page) continue;
    for (const auto& record : page->records)
      if (record && !record->invalid)
        rows.push_back(ParsedRow{record->recordType, record->fixedLength, record->columnCount, record->fixedData,
                                 record->nullBitmap, record->varValues});
  }
  return rows;
}

// A fixed-length field of a system-table row, at the offset the layout gives it
// (tinyint unsigned, wider integers signed).
std::int64_t Field(const ParsedRow& row, const SystemTable& table, const std::string& name) {
  const auto column = std::find_if(table.columns.begin(), table.columns.end(),
                                   [&](const SystemColumn& c) { return c.name == name; });
  const auto width = static_cast<std::size_t>(FixedWidth(column->type));
  const auto offset = static_cast<std::size_t>(column->offset);
  if (column->offset < 0 || offset + width > row.fixed.size()) return -1;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{row.fixed[offset + i]} << (8 * i);
  if (width == 1) return static_cast<std::int64_t>(value);
  const unsigned shift = static_cast<unsigned>(64 - 8 * width);
  return static_cast<std::int64_t>(value << shift) >> shift;
}

std::u16string Utf16Of(const ByteVector& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  return text;
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char digits[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X", byte);
    text += digits;
  }
  return text;
}

const char* LayoutName(Layout layout) { return layout == Layout::kSql2000 ? "2000" : "2005+"; }

bool IsNull(const ParsedRow& row, std::size_t column) {
  return column / 8 < row.nullBitmap.size() && (row.nullBitmap[column / 8] >> (column % 8) & 1) != 0;
}

class DatabaseBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }

  std::unique_ptr<DatabaseFile> Open(const std::filesystem::path& path) {
    auto db = DatabaseFile::Open(path.string(), 0, nullptr);
    EXPECT_TRUE(db->opened) << path;
    return db;
  }

  // Writes the database and opens it with its catalog.
  OpenedDatabaseFile Build(const DatabaseSpec& spec, const std::string& name = "shop.mdf") {
    written_ = spec.Write(dir_.path(), name);
    OpenedDatabaseFile opened = OpenDatabase(written_.primary.string(), 0, nullptr);
    EXPECT_TRUE(opened.opened());
    return opened;
  }

  // The data pages of a user table, found through its catalog rows as the
  // schema resolution finds them: sysrowsets (the heap or clustered index),
  // sysallocunits (its in-row unit), then the unit's object field.
  std::vector<ParsedRow> TableRows(DatabaseFile& db, Layout layout, const std::string& table) {
    const std::int32_t id = written_.objectIds.at(table);
    if (layout == Layout::kSql2000) return RowsOn(db, db.DataPages(id));
    const SystemTable& rowsets = SystemTableOf(layout, systable::kSysRowsets);
    const SystemTable& units = SystemTableOf(layout, systable::kSysAllocUnits);
    for (const ParsedRow& rowset : RowsOn(db, db.SystemPages(systable::kSysRowsets))) {
      if (Field(rowset, rowsets, "idmajor") != id || Field(rowset, rowsets, "idminor") > 1) continue;
      for (const ParsedRow& unit : RowsOn(db, db.SystemPages(systable::kSysAllocUnits)))
        if (Field(unit, units, "ownerid") == Field(rowset, rowsets, "rowsetid") && Field(unit, units, "type") == 1)
          return RowsOn(db, db.DataPages(AllocationUnitPageKey(Field(unit, units, "auid"))));
    }
    return {};
  }

  TempDir dir_;
  WrittenDatabase written_;
};

// ---- the real files' layouts ------------------------------------------------

TEST_F(DatabaseBuilderTest, StoredValuesAreTheRealFilesBytes) {
  using namespace sqltype;
  struct Case {
    ColumnSpec column;
    Value value;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {Money("price"), "19.99", "DC0C030000000000"},                            // sql2014_pubs titles BU1032
      {Money("advance"), 5000, "80F0FA0200000000"},                             // same row
      {DateTime("pubdate"), "1991-06-12", "0000000077820000"},                  // same row
      {Decimal("Price", 18, 2), "8.99", "018303000000000000"},                  // sql2012_musicstore Albums
      {Int("AlbumId"), 3, "03000000"},                                          // same rows
      {VarChar("city", 20), "M\xC3\xBCnchen", "4DFC6E6368656E"},                // pubs publisher 9901, code page 1252
      {Char("pub_id", 4), "1389", "31333839"},                                  // titles BU1032
      {Char("type", 12), "business", "627573696E657373"
                                      "20202020"},
      {NVarChar("Title", 160), "Ab", "41006200"},
      {NChar("Code", 3), "a", "610020002000"},
      {SmallInt("qty"), -2, "FEFF"},
      {TinyInt("lvl"), 255, "FF"},
      {BigInt("big"), std::int64_t{1} << 40, "0000000000010000"},
      {Bit("flag"), 1, "01"},
      {Real("ratio"), 1.5, "0000C03F"},
      {Float("ratio"), 1.5, "000000000000F83F"},
      {Column("small", kSmallMoney), "-1", "F0D8FFFF"},
      {Decimal("d", 5, 2), "-1.5", "0096000000"},
      {DateTime("t"), "1900-01-01 00:00:01", "2C01000000000000"},
      {Date("d"), "0001-01-02", "010000"},
      {DateTime2("d", 0), "1900-01-01 00:00:01", "0100005B950A"},
      {UniqueIdentifier("g"), "6F9619FF-8B86-D011-B42D-00C04FC964FF", "FF19966F868B11D0B42D00C04FC964FF"},
      {VarBinary("b", 10), Bytes{0x0A, 0x0B}, "0A0B"},
      {Time("t", 7), "12:00:00.05", "20813C9564"},
      {DateTimeOffset("o", 0), "2010-05-01 14:30:00 +05:30", "907E00C4320B4A01"},  // 09:00 UTC, +330 minutes
      {SmallMoney("small"), "-214748.3648", "00000080"},
      {Timestamp("ts"), 2001, "00000000000007D1"},
      {SqlVariant("v"), 5, "380105000000"},
      {SqlVariant("v"), Variant(NVarChar("n", 10), "ab"), "E70108D00034140061006200"},
      {SqlVariant("v"), Variant(Decimal("d", 5, 2), "1.5"), "6A0105020196000000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Hex(EncodeValue(TypeOf(c.column), c.value)), c.bytes) << c.column.name;
  for (const auto& [column, value] : std::vector<std::pair<ColumnSpec, Value>>{
           {TinyInt("t"), 256}, {Char("c", 2), "abc"}, {Decimal("d", 5, 2), "1.234"}, {VarChar("v", 3), "M\xE2\x82\xAC"}})
    EXPECT_THROW(EncodeValue(TypeOf(column), value), std::invalid_argument) << column.name;
}

// Each type's compressed form as the compression notes give it (their §3
// examples), and whole records and page compression information as their
// worked examples lay them out (§2.8 and §4.6).
TEST_F(DatabaseBuilderTest, CompressedFormsAreTheNotesBytes) {
  struct Case {
    ColumnSpec column;
    Value value;
    std::string bytes;
    std::uint8_t code;
  };
  const std::vector<Case> cases = {
      {Int("i"), 1000, "83E8", 3},
      {Int("i"), -1000, "7C18", 3},
      {Int("i"), 128, "8080", 3},
      {Int("i"), -128, "00", 2},
      {Int("i"), 0, "", 1},
      {SmallInt("s"), -2, "7E", 2},
      {BigInt("b"), std::numeric_limits<std::int64_t>::max(), "FFFFFFFFFFFFFFFF", 9},
      {TinyInt("t"), 200, "C8", 2},
      {Decimal("d", 5, 2), "123.45", "C21EDC20", 5},
      {Decimal("d", 5, 0), "-3", "404B", 3},
      {Decimal("d", 10, 4), "12.34", "C11ED9", 4},
      {Decimal("d", 9, 0), "99999", "C4F9FDE0", 5},
      {Decimal("d", 5, 2), "0.01", "BE19", 3},
      {Money("m"), "1.00", "A710", 3},
      {Money("m"), "-1.00", "58F0", 3},
      {Float("f"), 1.0, "F03F", 3},
      {Float("f"), -2.0, "C0", 2},
      {Real("r"), 1.0, "803F", 3},
      {DateTime("dt"), "1753-01-01", "7F2E4600000000", 8},
      {DateTime("dt"), "1900-01-02", "8100000000", 6},
      {Date("d"), "2024-01-01", "45460B", 4},
      {DateTime2("d", 0), "2024-01-01", "00000045460B", 7},
      {Char("c", 10), "abc", "616263", 4},
      {VarChar("v", 10), "abc ", "61626320", 5},
      {Binary("b", 6), Bytes{1, 2}, "0102", 3},
      {NVarChar("n", 10), "abc", "616263", 4},
      {NVarChar("n", 10), "ab", "616210", 4},
      {NVarChar("n", 10), "Caf\xC3\xA9", "436166E910", 6},
      {NVarChar("n", 10), "\xD0\x96\xD1\x83\xD0\xBA", "1296C3BA10", 6},
      {NVarChar("n", 10), "\xE6\x97\xA5\xE6\x9C\xAC", "E5652C67", 5},  // SCSU would not be shorter
      {Timestamp("ts"), 2001, "07D1", 3},
      {Bit("f"), 1, "", 11},
      {Bit("f"), 0, "", 1},
      {UniqueIdentifier("g"), "6F9619FF-8B86-D011-B42D-00C04FC964FF", "FF19966F868B11D0B42D00C04FC964FF", 10},
  };
  for (const Case& c : cases) {
    const ColumnType type = TypeOf(c.column);
    const CompressedValue value = CompressValue(type, Cell{EncodeValue(type, c.value), false});
    EXPECT_EQ(Hex(value.bytes), c.bytes) << c.column.name << " " << c.bytes;
    EXPECT_EQ(value.code, c.code) << c.column.name << " " << c.bytes;
  }

  const std::vector<std::pair<ColumnSpec, Value>> example = {
      {Int("id"), 1000},         {SmallInt("qty"), -2}, {Money("price"), "19.99"},
      {NVarChar("name", 20), "Caf\xC3\xA9"}, {Bit("flag"), 1}, {VarChar("note", 30), "hello world!"},
      {DateTime("dt"), "2024-01-01 12:00:00"}};
  std::vector<CompressedValue> values;
  for (const auto& [column, value] : example)
    values.push_back(CompressValue(TypeOf(column), Cell{EncodeValue(TypeOf(column), value), false}));
  EXPECT_EQ(Hex(CompressedRowRecord(values, 0)),
            "21072364AB0883E87E830CDC436166E91080B0EA00C5C1000101000C0068656C6C6F20776F726C6421");

  const std::vector<ColumnType> types = {TypeOf(VarChar("city", 20)), TypeOf(Int("qty"))};
  std::vector<std::vector<CompressedValue>> rows;
  for (const auto& [city, quantity] : std::vector<std::pair<const char*, int>>{
           {"Copenhagen", 1001}, {"Copenhagen", 1002}, {"Cologne", 1001}, {"Cologne", 1001}})
    rows.push_back({CompressValue(types[0], Cell{EightBitText(city), false}),
                    CompressValue(types[1], Cell{EncodeValue(types[1], quantity), false})});
  const CompressedPage page = CompressPage(rows, types);
  EXPECT_EQ(Hex(page.compressionInfo),
            "0600001B002500"                               // anchor and dictionary, their ends
            "21023A83E90101000A00436F70656E686167656E"     // anchor: 'Copenhagen', 1001
            "01000A00026C6F676E65");                       // one entry: 2 bytes of the anchor, then 'logne'
  std::vector<std::string> records;
  for (const auto& row : page.rows) records.push_back(Hex(CompressedRowRecord(row, 0)));
  EXPECT_EQ(records, (std::vector<std::string>{"010211", "01023101EA", "01021C00", "01021C00"}));
}

// A real file's description of its own system tables: each table's columns in
// column id order, from syscolpars (name, type, length) and sysrscols (leaf
// offset), read with the builder's layouts of those two tables.
struct DescribedColumn {
  std::u16string name;
  std::int64_t type = 0;
  std::int64_t length = 0;
  std::int64_t leafOffset = 0;
};

std::map<std::int32_t, std::map<std::int64_t, DescribedColumn>> DescribeSystemTables(DatabaseFile& db) {
  const Layout layout = Layout::kSql2005Plus;
  const SystemTable& colpars = SystemTableOf(layout, systable::kSysColPars);
  const SystemTable& rscols = SystemTableOf(layout, systable::kSysRsCols);
  std::map<std::int32_t, std::map<std::int64_t, DescribedColumn>> tables;
  std::map<std::int64_t, std::int32_t> rowsets;
  for (const SystemTable& table : SystemTables(layout)) {
    rowsets[SystemUnitKey(layout, table)] = table.id;
    tables[table.id];
  }
  for (const ParsedRow& row : RowsOn(db, db.SystemPages(systable::kSysColPars))) {
    const auto id = static_cast<std::int32_t>(Field(row, colpars, "id"));
    if (!tables.count(id) || Field(row, colpars, "number") != 0 || row.values.empty()) continue;
    DescribedColumn& column = tables[id][Field(row, colpars, "colid")];
    column.name = Utf16Of(row.values[0].bytes);
    column.type = Field(row, colpars, "xtype");
    column.length = Field(row, colpars, "length");
  }
  for (const ParsedRow& row : RowsOn(db, db.SystemPages(systable::kSysRsCols))) {
    const auto rowset = rowsets.find(Field(row, rscols, "rsid"));
    if (rowset == rowsets.end()) continue;
    tables[rowset->second][Field(row, rscols, "rscolid")].leafOffset =
        static_cast<std::int16_t>(Field(row, rscols, "offset") & 0xFFFF);
  }
  return tables;
}

// The fixed length and column count most of a table's rows have.
std::pair<std::int32_t, std::int16_t> CommonShape(const std::vector<ParsedRow>& rows) {
  std::map<std::pair<std::int32_t, std::int16_t>, int> shapes;
  for (const ParsedRow& row : rows) ++shapes[{row.fixedLength, row.columnCount}];
  return std::max_element(shapes.begin(), shapes.end(), [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

// Where a column's value starts in a record: offset into the record (fixed
// data starts at 4), or -1 - n for the n-th variable-length column.
std::vector<std::int64_t> LeafOffsets(const SystemTable& table) {
  std::vector<std::int64_t> offsets;
  std::int64_t variable = 0;
  for (const SystemColumn& column : table.columns) offsets.push_back(column.offset < 0 ? -1 - variable++ : column.offset + 4);
  return offsets;
}

TEST_F(DatabaseBuilderTest, SystemTablesAreLaidOutAsInTheRealFiles) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* fixture : {"sql2012_musicstore.mdf", "sql2014_pubs.mdf"}) {
    SCOPED_TRACE(fixture);
    auto db = Open(RealFixture(fixture));
    const auto described = DescribeSystemTables(*db);
    for (const SystemTable& table : SystemTables(Layout::kSql2005Plus)) {
      SCOPED_TRACE(table.name);
      const std::map<std::int64_t, DescribedColumn>& real = described.at(table.id);
      ASSERT_EQ(real.size(), table.columns.size());
      const std::vector<std::int64_t> offsets = LeafOffsets(table);
      for (std::size_t k = 0; k < table.columns.size(); ++k) {
        const SystemColumn& column = table.columns[k];
        const DescribedColumn& theirs = real.at(static_cast<std::int64_t>(k + 1));
        EXPECT_EQ(theirs.name, platform::Utf8ToUtf16(column.name));
        EXPECT_EQ(theirs.type, column.type.id) << column.name;
        EXPECT_EQ(theirs.length, column.type.maxLength) << column.name;
        EXPECT_EQ(theirs.leafOffset, offsets[k]) << column.name;
      }
      const auto [fixedLength, columnCount] = CommonShape(RowsOn(*db, db->SystemPages(table.id)));
      EXPECT_EQ(fixedLength, table.fixedLength);
      EXPECT_EQ(columnCount, static_cast<std::int16_t>(table.columns.size()));
    }
  }
}

TEST_F(DatabaseBuilderTest, Sql2000SystemTablesAreLaidOutAsInTheRealFiles) {
  QM_REQUIRE_REAL_FIXTURES();
  auto db = Open(RealFixture("sql2000_northwind.mdf"));
  const SystemTable& syscolumns = SystemTableOf(Layout::kSql2000, systable::kSysRsCols);
  std::map<std::int32_t, std::map<std::int64_t, ParsedRow>> described;
  for (const ParsedRow& row : RowsOn(*db, db->SystemPages(systable::kSysRsCols)))
    // Computed columns (column status 4) take no place in the record.
    if ((Field(row, syscolumns, "colstat") & 4) == 0)
      described[static_cast<std::int32_t>(Field(row, syscolumns, "id"))][Field(row, syscolumns, "colid")] = row;
  for (const SystemTable& table : SystemTables(Layout::kSql2000)) {
    SCOPED_TRACE(table.name);
    const std::map<std::int64_t, ParsedRow>& real = described[table.id];
    ASSERT_EQ(real.size(), table.columns.size());
    const std::vector<std::int64_t> offsets = LeafOffsets(table);
    for (std::size_t k = 0; k < table.columns.size(); ++k) {
      const SystemColumn& column = table.columns[k];
      const ParsedRow& theirs = real.at(static_cast<std::int64_t>(k + 1));
      EXPECT_EQ(Utf16Of(theirs.values.at(0).bytes), platform::Utf8ToUtf16(column.name));
      EXPECT_EQ(Field(theirs, syscolumns, "xtype"), column.type.id) << column.name;
      EXPECT_EQ(Field(theirs, syscolumns, "length"), column.type.maxLength) << column.name;
      EXPECT_EQ(Field(theirs, syscolumns, "xoffset"), offsets[k]) << column.name;
    }
    const auto [fixedLength, columnCount] = CommonShape(RowsOn(*db, db->SystemPages(table.id)));
    EXPECT_EQ(fixedLength, table.fixedLength);
    EXPECT_EQ(columnCount, static_cast<std::int16_t>(table.columns.size()));
  }
}

// ---- what the engine reads back --------------------------------------------

DatabaseSpec ShopWithExtras(Layout layout) {
  DatabaseSpec shop = DemoShop(layout);
  TableSpec& dropped = shop.AddTable("OldInvoices", {Int("InvoiceId").NotNull(), NVarChar("Customer", 40)},
                                     {{1, "Ada"}, {2, nullptr}});
  dropped.dropped = true;
  shop.tornPageBits = layout == Layout::kSql2000;
  return shop;
}

TEST_F(DatabaseBuilderTest, EverySystemRowHasItsTablesLayout) {
  Settings().showDeletedRecords = 1;
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(LayoutName(layout));
    auto db = Open(ShopWithExtras(layout).Write(dir_.path(), "shop.mdf").primary);
    for (const SystemTable& table : SystemTables(layout)) {
      SCOPED_TRACE(table.name);
      const std::vector<ParsedRow> rows = RowsOn(*db, db->SystemPages(table.id));
      EXPECT_FALSE(rows.empty());
      for (const ParsedRow& row : rows) {
        EXPECT_EQ(row.fixedLength, table.fixedLength);
        EXPECT_EQ(row.columnCount, static_cast<std::int16_t>(table.columns.size()));
      }
    }
  }
}

TEST_F(DatabaseBuilderTest, BootPageSaysWhatWasWritten) {
  LoadCollationList();
  struct Case {
    Layout layout;
    std::uint16_t version;
    std::string name;
    std::int32_t collation;
    std::string versionText;
  };
  const std::vector<Case> cases = {
      {Layout::kSql2005Plus, 0, "DemoShop", 872468488, " SQL Server 2014"},
      {Layout::kSql2005Plus, 706, "Music", 53256, " SQL Server 2012"},
      {Layout::kSql2000, 0, "Northwind", 53284, " SQL Server 2000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DatabaseSpec spec = DemoShop(c.layout);
    spec.name = c.name;
    spec.version = c.version;
    spec.collation = c.collation;
    auto db = Open(spec.Write(dir_.path(), c.name + ".mdf").primary);
    EXPECT_EQ(db->pageCount * kPageSize, db->fileLength);
    EXPECT_EQ(db->baseOffset, 0u);
    for (std::int32_t table : c.layout == Layout::kSql2000 ? std::vector<std::int32_t>{1, 2, 3, 4, 6, 8}
                                                           : std::vector<std::int32_t>{3, 5, 7, 8, 34, 41, 50, 54, 55, 60, 74})
      EXPECT_FALSE(db->SystemPages(table).empty()) << table;
    auto boot = db->LocateBootPage();
    ASSERT_TRUE(boot);
    EXPECT_EQ(boot->version, spec.FormatVersion());
    EXPECT_EQ(boot->createVersion, spec.FormatVersion());
    EXPECT_EQ(boot->collation, c.collation);
    db->ReadBootPage();
    EXPECT_EQ(db->databaseName, platform::Utf8ToUtf16(c.name));
    EXPECT_EQ(Settings().versionText, c.versionText);
    EXPECT_EQ(Settings().collationId, c.collation);
  }
}

TEST_F(DatabaseBuilderTest, UserRowsAreOrdinaryRecords) {
  struct Case {
    std::string table;
    std::size_t row;
    std::int32_t fixedLength;
    std::int16_t columns;
    std::vector<std::u16string> text;  // the variable-length values read as UTF-16
    std::size_t nullColumn;            // physical position of a NULL column, or 99
    std::uint8_t firstByte;            // of the first key column
  };
  // Customers: CustomerId, IsActive (a bit), CreatedAt in the fixed part.
  const std::vector<Case> cases = {
      {"Customers", 0, 13, 6, {u"Ada Lovelace", u"ada@example.com", u"London"}, 99, 1},
      {"Customers", 2, 13, 6, {u"Grace Hopper", u"", u"Arlington"}, 2, 3},
      {"Customers", 3, 13, 6, {u"Zo\u00eb M\u00fcller", u"zoe@example.de", u"M\u00fcnchen"}, 99, 4},
      {"Customers", 4, 13, 6, {u"Edsger Dijkstra", u"edsger@example.nl"}, 3, 5},
      {"Orders", 1, 25, 6, {u"Leave at the door"}, 99, 2},
      {"Orders", 3, 25, 6, {u"Gift wrap, please"}, 3, 4},
      {"OrderLines", 15, 27, 6, {}, 99, 8},
  };
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    OpenedDatabaseFile opened = Build(DemoShop(layout));
    for (const Case& c : cases) {
      SCOPED_TRACE(c.table + " " + std::to_string(c.row));
      const std::vector<ParsedRow> rows = TableRows(*opened.file, layout, c.table);
      ASSERT_GT(rows.size(), c.row);
      const ParsedRow& row = rows[c.row];
      EXPECT_EQ(row.type, 0);
      EXPECT_EQ(row.fixedLength, c.fixedLength);
      EXPECT_EQ(row.columnCount, c.columns);
      ASSERT_EQ(row.values.size(), c.text.size());
      for (std::size_t i = 0; i < c.text.size(); ++i) EXPECT_EQ(Utf16Of(row.values[i].bytes), c.text[i]);
      for (std::size_t column = 0; column < 6; ++column) EXPECT_EQ(IsNull(row, column), column == c.nullColumn);
      EXPECT_EQ(row.fixed.at(0), c.firstByte);
    }
  }
}

// Products keeps a varchar Sku, an nvarchar Name and an ntext Description: the
// description is a 16-byte text pointer to a small-root fragment on a text page.
TEST_F(DatabaseBuilderTest, TextValuesLiveOnTextPages) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    OpenedDatabaseFile opened = Build(DemoShop(layout));
    const std::vector<ParsedRow> rows = TableRows(*opened.file, layout, "Products");
    ASSERT_EQ(rows.size(), 8u);
    ASSERT_EQ(rows[0].values.size(), 3u);
    EXPECT_EQ(std::string(rows[0].values[0].bytes.begin(), rows[0].values[0].bytes.end()), "KB-100");
    EXPECT_EQ(Utf16Of(rows[0].values[1].bytes), u"Mechanical keyboard");
    const VarValue& pointer = rows[0].values[2];
    ASSERT_TRUE(pointer.complex);
    ASSERT_EQ(pointer.bytes.size(), 16u);
    const PageId page{ReadLeOr<std::uint16_t>(pointer.bytes, 12), ReadLeOr<std::int32_t>(pointer.bytes, 8)};
    PageBuffer text = opened.file->ReadPage(page);
    ASSERT_TRUE(text);
    EXPECT_EQ(text[1], 3);  // a text page
    const ByteSpan bytes(text.get(), kPageSize);
    const std::vector<std::uint16_t> slots = ReadSlotOffsets(bytes, ReadLeOr<std::int16_t>(bytes, 22));
    const std::uint8_t* fragment = text.get() + slots.at(ReadLeOr<std::uint16_t>(pointer.bytes, 14));
    EXPECT_EQ(fragment[0], 0x08);                                          // a large-value fragment
    EXPECT_TRUE(std::equal(fragment + 4, fragment + 12, pointer.bytes.begin()));  // its blob id
    const std::u16string description = u"A full-size keyboard with brown switches.";
    EXPECT_EQ(fragment[14] | fragment[15] << 8, static_cast<int>(2 * description.size()));
    EXPECT_EQ(Utf16Of(ByteVector(fragment + 20, fragment + 20 + 2 * description.size())), description);
    const PageContext context{nullptr, opened.file.get(), nullptr};
    EXPECT_EQ(ReadTextPointer(pointer.bytes, context, LobFlags{false, false, true}), description);
  }
}

// pubs' sales, whose clustered key (stor_id, ord_num, title_id) does not lead.
DatabaseSpec PubsSales(Layout layout) {
  DatabaseSpec spec;
  spec.layout = layout;
  TableSpec& sales = spec.AddTable("sales",
                                   {Char("stor_id", 4).NotNull(), VarChar("ord_num", 20).NotNull(),
                                    DateTime("ord_date").NotNull(), SmallInt("qty").NotNull(),
                                    VarChar("payterms", 12).NotNull(), VarChar("title_id", 6).NotNull()},
                                   {{"7066", "QA7442.3", "1994-09-13", 75, "ON invoice", "PS2091"}});
  sales.primaryKey = {"UPKCL_sales", {"stor_id", "ord_num", "title_id"}};
  return spec;
}

// As in pubs' sales: the clustered key columns come first in the record, so
// title_id is the second variable-length value, not the third; SQL Server 2000
// keeps the declared order.
TEST_F(DatabaseBuilderTest, ClusteredKeyColumnsComeFirstInTheRecord) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    OpenedDatabaseFile opened = Build(PubsSales(layout));
    const std::vector<ParsedRow> rows = TableRows(*opened.file, layout, "sales");
    ASSERT_EQ(rows.size(), 1u);
    std::vector<std::string> values;
    for (const VarValue& value : rows[0].values) values.emplace_back(value.bytes.begin(), value.bytes.end());
    const std::vector<std::string> keyFirst = {"QA7442.3", "PS2091", "ON invoice"};
    const std::vector<std::string> declared = {"QA7442.3", "ON invoice", "PS2091"};
    EXPECT_EQ(values, layout == Layout::kSql2005Plus ? keyFirst : declared);
    EXPECT_EQ(std::string(rows[0].fixed.begin(), rows[0].fixed.begin() + 4), "7066");
  }
}

TEST_F(DatabaseBuilderTest, DroppedTableLeavesGhostRows) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(LayoutName(layout));
    OpenedDatabaseFile opened = Build(ShopWithExtras(layout));
    DatabaseFile& db = *opened.file;
    const std::int32_t objects = layout == Layout::kSql2000 ? systable::kSysObjects : systable::kSysSchObjs;
    const std::int32_t columns = layout == Layout::kSql2000 ? systable::kSysRsCols : systable::kSysColPars;
    const SystemTable& objectTable = SystemTableOf(layout, objects);
    const SystemTable& columnTable = SystemTableOf(layout, columns);
    const std::int64_t id = written_.objectIds.at("OldInvoices");
    const auto ofDropped = [&](const std::vector<ParsedRow>& rows, const SystemTable& table) {
      std::vector<int> types;
      for (const ParsedRow& row : rows)
        if (Field(row, table, "id") == id) types.push_back(row.type);
      return types;
    };
    Settings().showDeletedRecords = 0;
    EXPECT_TRUE(ofDropped(RowsOn(db, db.SystemPages(objects)), objectTable).empty());
    Settings().showDeletedRecords = 1;
    EXPECT_EQ(ofDropped(RowsOn(db, db.SystemPages(objects)), objectTable), std::vector<int>{6});
    EXPECT_EQ(ofDropped(RowsOn(db, db.SystemPages(columns)), columnTable), (std::vector<int>{6, 6}));
    int ghosts = 0;
    for (const PageEntry& entry : db.SystemPages(objects)) ghosts += db.ReadPageHeader(entry.Page())->ghostRecordCount;
    EXPECT_GT(ghosts, 0);
  }
}

// ---- what the catalog reads back -------------------------------------------

const CatalogObject* ObjectNamed(const DatabaseCatalog& catalog, const std::u16string& name) {
  const auto found = std::find_if(catalog.objects.begin(), catalog.objects.end(),
                                  [&](const CatalogObject& object) { return object.name == name; });
  return found == catalog.objects.end() ? nullptr : &*found;
}

// A column as the catalog lists it, in either layout: name, system type, length.
using ListedColumn = std::tuple<std::u16string, int, int>;

std::vector<ListedColumn> ColumnsOf(const DatabaseCatalog& catalog, std::int32_t objectId) {
  std::vector<std::pair<int, ListedColumn>> columns;
  for (const CatalogColumn& column : catalog.columns)
    if (column.objectId == objectId)
      columns.push_back({column.columnId, {column.name, column.systemTypeId, column.maxLength}});
  for (const LegacyColumn& column : catalog.legacyColumns)
    if (column.objectId == objectId)
      columns.push_back({column.columnId, {column.name, column.systemType, column.length}});
  std::sort(columns.begin(), columns.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<ListedColumn> listed;
  for (const auto& [id, column] : columns) listed.push_back(column);
  return listed;
}

// A unit of more than eight pages takes its first eight from mixed extents
// (the IAM page's single-page slots) and the rest in uniform extents (its
// extent bitmap); a clustered table's pages are chained in key order.
TEST_F(DatabaseBuilderTest, LargeTablesFillUniformExtentsTheirIamPageMaps) {
  std::vector<Row> rows;
  for (int id = 1; id <= 1000; ++id) rows.push_back({id, std::string(50, static_cast<char>('a' + id % 26))});
  DatabaseSpec spec;
  spec.AddTable("Big", {Int("Id").NotNull(), NVarChar("Text", 60).NotNull()}, rows).primaryKey = {"PK_Big", {"Id"}};
  OpenedDatabaseFile opened = Build(spec);
  DatabaseFile& db = *opened.file;

  const std::vector<ParsedRow> read = TableRows(db, Layout::kSql2005Plus, "Big");
  ASSERT_EQ(read.size(), rows.size());
  for (std::size_t i = 0; i < read.size(); ++i) ASSERT_EQ(ReadLeOr<std::int32_t>(read[i].fixed, 0), static_cast<int>(i + 1));

  const CatalogObject* big = ObjectNamed(*opened.catalog, u"Big");
  ASSERT_TRUE(big);
  const auto rowset = std::find_if(opened.catalog->rowsets.begin(), opened.catalog->rowsets.end(),
                                   [&](const CatalogRowset& r) { return r.objectId == big->id; });
  ASSERT_NE(rowset, opened.catalog->rowsets.end());
  const std::vector<const CatalogAllocUnit*> units = opened.catalog->AllocUnitsOf(rowset->rowsetId);
  ASSERT_EQ(units.size(), 1u);
  const std::int32_t key = AllocationUnitPageKey(units.front()->id);
  const PageList& pages = db.DataPages(key);
  ASSERT_GT(pages.size(), 8u);
  ASSERT_EQ(db.IamPages(key).size(), 1u);
  std::unique_ptr<IamPage> iam = db.ReadIamPage(db.IamPages(key).front().Page());
  ASSERT_TRUE(iam);
  const std::vector<PageId> allocated = iam->AllocatedPages();
  for (const PageEntry& page : pages)
    EXPECT_NE(std::find(allocated.begin(), allocated.end(), page.Page()), allocated.end()) << page.Page().pageNumber;
  EXPECT_EQ(iam->singlePages[7], pages[7].Page());
  EXPECT_EQ(pages[8].pageNumber % 8, 0);  // the first uniform extent

  PageId next = units.front()->firstPage;
  std::size_t chained = 0;
  for (; next.pageNumber != 0 && chained <= pages.size(); ++chained) next = db.ReadPageHeader(next)->nextPage;
  EXPECT_EQ(chained, pages.size());
}

TEST_F(DatabaseBuilderTest, CatalogListsTheObjectsThatWereWritten) {
  struct Case {
    std::u16string name;
    std::string type;
    std::u16string parent;  // empty: none
  };
  const std::vector<Case> cases = {
      {u"Customers", "U ", u""},
      {u"Products", "U ", u""},
      {u"Orders", "U ", u""},
      {u"OrderLines", "U ", u""},
      {u"PK_OrderLines", "PK", u"OrderLines"},
      {u"UQ_Products_Sku", "UQ", u"Products"},
      {u"FK_OrderLines_Products", "F ", u"OrderLines"},
      {u"CK_OrderLines_Quantity", "C ", u"OrderLines"},
      {u"DF_Orders_OrderDate", "D ", u"Orders"},
      {u"OrderTotals", "V ", u""},
      {u"GetCustomerOrders", "P ", u""},
      {u"LineTotal", "FN", u""},
      {u"trg_OrderLines_Insert", "TR", u"OrderLines"},
  };
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(LayoutName(layout));
    OpenedDatabaseFile opened = Build(ShopWithExtras(layout));
    const DatabaseCatalog& catalog = *opened.catalog;
    EXPECT_EQ(Settings().isSql2000, layout == Layout::kSql2000 ? 1 : 0);
    for (const Case& c : cases) {
      const CatalogObject* object = ObjectNamed(catalog, c.name);
      ASSERT_TRUE(object) << platform::Utf16ToUtf8(c.name);
      EXPECT_EQ(object->id, written_.objectIds.at(platform::Utf16ToUtf8(c.name)));
      EXPECT_EQ(object->type, c.type);
      const CatalogObject* parent = ObjectNamed(catalog, c.parent);
      EXPECT_EQ(object->parentId, parent ? parent->id : 0) << platform::Utf16ToUtf8(c.name);
    }
    EXPECT_FALSE(ObjectNamed(catalog, u"OldInvoices"));  // dropped: only a ghost row is left
    EXPECT_TRUE(ObjectNamed(catalog, layout == Layout::kSql2000 ? u"sysobjects" : u"sysschobjs"));
  }
}

TEST_F(DatabaseBuilderTest, CatalogListsTheColumnsThatWereWritten) {
  using namespace sqltype;
  const std::map<std::string, std::vector<ListedColumn>> tables = {
      {"Customers",
       {{u"CustomerId", kInt, 4}, {u"Name", kNVarChar, 120}, {u"Email", kNVarChar, 200}, {u"City", kNVarChar, 80},
        {u"IsActive", kBit, 1}, {u"CreatedAt", kDateTime, 8}}},
      {"Products",
       {{u"ProductId", kInt, 4}, {u"Sku", kVarChar, 20}, {u"Name", kNVarChar, 160}, {u"UnitPrice", kMoney, 8},
        {u"WeightKg", kDecimal, 5}, {u"Discontinued", kBit, 1}, {u"Description", kNText, 16}}},
      {"OrderLines",
       {{u"OrderId", kInt, 4}, {u"LineNumber", kSmallInt, 2}, {u"ProductId", kInt, 4}, {u"Quantity", kInt, 4},
        {u"UnitPrice", kMoney, 8}, {u"Discount", kDecimal, 5}}},
      {"OrderTotals", {{u"OrderId", kInt, 4}, {u"CustomerId", kInt, 4}, {u"OrderDate", kDateTime, 8}, {u"Total", kDecimal, 17}}},
  };
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(LayoutName(layout));
    OpenedDatabaseFile opened = Build(DemoShop(layout));
    for (const auto& [table, columns] : tables)
      EXPECT_EQ(ColumnsOf(*opened.catalog, written_.objectIds.at(table)), columns) << table;
  }
}

TEST_F(DatabaseBuilderTest, CatalogReadsKeysTypesAndIdentities) {
  OpenedDatabaseFile opened = Build(DemoShop());
  const DatabaseCatalog& catalog = *opened.catalog;
  std::vector<std::vector<std::u16string>> foreignKeys;
  for (const ForeignKeyColumn& key : catalog.foreignKeyColumns)
    foreignKeys.push_back({key.constraintName, key.parentTableName, key.parentColumnName, key.referencedTableName,
                           key.referencedColumnName});
  const std::vector<std::vector<std::u16string>> expected = {
      {u"FK_Orders_Customers", u"Orders", u"CustomerId", u"Customers", u"CustomerId"},
      {u"FK_OrderLines_Orders", u"OrderLines", u"OrderId", u"Orders", u"OrderId"},
      {u"FK_OrderLines_Products", u"OrderLines", u"ProductId", u"Products", u"ProductId"},
  };
  EXPECT_EQ(foreignKeys, expected);

  const auto type = std::find_if(catalog.types.begin(), catalog.types.end(),
                                 [](const CatalogType& t) { return t.name == u"decimal"; });
  ASSERT_NE(type, catalog.types.end());
  EXPECT_EQ(type->systemTypeId, sqltype::kDecimal);
  EXPECT_EQ(type->precision, 38);

  const std::int32_t customers = written_.objectIds.at("Customers");
  for (const CatalogColumn& column : catalog.columns) {
    if (column.objectId != customers) continue;
    EXPECT_EQ(column.identityText, column.columnId == 1 ? u"identity(1,1)" : u"") << column.columnId;
  }

  const std::int32_t products = written_.objectIds.at("Products");
  const auto unique = std::find_if(catalog.indexes.begin(), catalog.indexes.end(), [&](const CatalogIndex& index) {
    return index.objectId == products && index.name == u"UQ_Products_Sku";
  });
  ASSERT_NE(unique, catalog.indexes.end());
  EXPECT_EQ(unique->status & 0x40, 0x40);
}

TEST_F(DatabaseBuilderTest, Sql2000CatalogAttachesColumnsToItsClusteredTables) {
  OpenedDatabaseFile opened = Build(DemoShop(Layout::kSql2000));
  std::vector<std::u16string> tables;
  for (const LegacyTable& table : opened.catalog->legacyTables) {
    tables.push_back(table.name);
    EXPECT_EQ(table.columns.size(), ColumnsOf(*opened.catalog, table.objectId).size());
  }
  EXPECT_EQ(tables, (std::vector<std::u16string>{u"Customers", u"Products", u"Orders", u"OrderLines"}));
}

// The definitions decode as module text is read: UTF-16 when a byte after the
// first is 0, 8-bit otherwise, the rows of one object concatenated.
TEST_F(DatabaseBuilderTest, DefinitionsDecodeToWhatWasWritten) {
  const DatabaseSpec shop = DemoShop();
  std::map<std::string, std::string> definitions;
  for (const ModuleSpec& module : shop.modules) definitions[module.name] = module.definition;
  definitions["CK_OrderLines_Quantity"] = "([Quantity]>(0))";
  definitions["DF_Orders_OrderDate"] = "(getdate())";
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(LayoutName(layout));
    OpenedDatabaseFile opened = Build(DemoShop(layout));
    const std::int32_t tableId = layout == Layout::kSql2000 ? systable::kSysComments : systable::kSysObjValues;
    const SystemTable& table = SystemTableOf(layout, tableId);
    std::map<std::int64_t, std::u16string> texts;
    for (const ParsedRow& row : RowsOn(*opened.file, opened.file->SystemPages(tableId))) {
      const ByteVector& bytes = row.values.back().bytes;
      const bool utf16 = std::any_of(bytes.begin() + 1, bytes.end(), [](std::uint8_t b) { return b == 0; });
      texts[Field(row, table, layout == Layout::kSql2000 ? "id" : "objid")] +=
          utf16 ? Utf16Of(bytes) : platform::ToUtf16(std::string(bytes.begin(), bytes.end()), 1252);
    }
    for (const auto& [name, definition] : definitions)
      EXPECT_EQ(texts[written_.objectIds.at(name)], platform::Utf8ToUtf16(definition)) << name;
  }
}

TEST_F(DatabaseBuilderTest, SecondaryFilesAreFoundAndRead) {
  struct Case {
    bool fileTableRows;
    std::string recordedPath;
  };
  // Listed in the file table under another folder and extension; or not listed at all.
  for (const Case& c : {Case{true, "D:\\Old\\shop_archive.dat"}, Case{false, ""}}) {
    SCOPED_TRACE(c.fileTableRows ? "listed" : "searched");
    TempDir dir;
    DatabaseSpec spec = DemoShop();
    spec.fileTableRows = c.fileTableRows;
    spec.secondaryFiles = {{3, "shop_archive.ndf", "ShopArchive", c.recordedPath}};
    TableSpec& archive = spec.AddTable("ArchivedOrders", {Int("OrderId").NotNull(), NVarChar("Note", 40)},
                                       {{100, "first"}, {101, "second"}});
    archive.fileId = 3;
    written_ = spec.Write(dir.path(), "shop.mdf");
    ASSERT_EQ(written_.secondaries.size(), 1u);
    OpenedDatabaseFile opened = OpenDatabase(written_.primary.string(), 0, nullptr);
    ASSERT_TRUE(opened.opened());
    ASSERT_EQ(opened.file->secondaryFiles.count(3), 1u);
    EXPECT_EQ(std::filesystem::path(opened.file->secondaryFiles.at(3).path).filename(), "shop_archive.ndf");
    const std::vector<ParsedRow> rows = TableRows(*opened.file, Layout::kSql2005Plus, "ArchivedOrders");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Utf16Of(rows[1].values.at(0).bytes), u"second");
  }
}

// With torn-page detection every written page carries flag 0x100 and the
// pattern 01 in the low bits of each sector's last byte; the engine's reading
// gives back the page written without it.
TEST_F(DatabaseBuilderTest, TornPageBitsAreWrittenAndRestored) {
  DatabaseSpec spec = DemoShop(Layout::kSql2000);
  TempDir other;
  const std::filesystem::path plain = spec.Write(other.path(), "shop.mdf").primary;
  spec.tornPageBits = true;
  const std::filesystem::path torn = spec.Write(dir_.path(), "shop.mdf").primary;
  auto original = Open(plain);
  auto db = Open(torn);
  std::size_t pages = 0;
  for (const auto& [objectId, list] : db->dataPages)
    for (const PageEntry& entry : list) {
      PageBuffer raw = db->ReadPage(entry.Page());
      ASSERT_TRUE(raw);
      EXPECT_EQ(raw[5] & 0x01, 0x01);  // flag 0x100
      for (std::size_t sector = 1; sector < 16; ++sector) EXPECT_EQ(raw[512 * sector + 511] & 3, 1);
      std::unique_ptr<CDataPage> restored = db->ReadDataPage(entry.Page());
      PageBuffer expected = original->ReadPage(entry.Page());
      ASSERT_TRUE(restored && expected);
      for (std::size_t offset = 64; offset < kPageSize; ++offset)
        ASSERT_EQ(restored->data[offset], expected[offset]) << entry.Page().pageNumber << " at " << offset;
      ++pages;
    }
  EXPECT_EQ(pages, 10u);  // six system tables, four user tables
}

// The schema resolution places sales' columns where sql2014_pubs' sysrscols
// places them (leaf offset, hobt column), and in the 2000 layout where its
// syscolumns fields put them (the offset field, and the leaf offset).
TEST_F(DatabaseBuilderTest, SchemaResolutionPlacesTheColumnsAsWritten) {
  struct Placed {
    std::u16string name;
    std::int16_t leafOffset;
    std::int16_t legacyOffset;
    std::int32_t physicalColumn;
  };
  const std::map<Layout, std::vector<Placed>> expected = {
      {Layout::kSql2005Plus,
       {{u"stor_id", 4, 0, 1}, {u"ord_num", -1, 0, 2}, {u"ord_date", 8, 0, 4}, {u"qty", 16, 0, 5},
        {u"payterms", -3, 0, 6}, {u"title_id", -2, 0, 3}}},
      {Layout::kSql2000,
       {{u"stor_id", 2, 4, 1}, {u"ord_num", -1, -1, 2}, {u"ord_date", 6, 8, 3}, {u"qty", 14, 16, 4},
        {u"payterms", -2, -2, 5}, {u"title_id", -3, -3, 6}}},
  };
  for (const auto& [layout, columns] : expected) {
    SCOPED_TRACE(LayoutName(layout));
    OpenedDatabaseFile opened = Build(PubsSales(layout));
    const std::vector<ColumnLayout> layouts = ResolveTableSchema(*opened.catalog, u"sales", "U ", {});
    ASSERT_EQ(layouts.size(), columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      SCOPED_TRACE(platform::Utf16ToUtf8(columns[i].name));
      EXPECT_EQ(layouts[i].name, columns[i].name);
      EXPECT_EQ(layouts[i].leafOffset, columns[i].leafOffset);
      EXPECT_EQ(layouts[i].legacyOffset, columns[i].legacyOffset);
      EXPECT_EQ(layouts[i].physicalColumnId, columns[i].physicalColumn);
      EXPECT_EQ(layouts[i].hasLayout, 1);
    }
    EXPECT_EQ(opened.catalog->selected.dataPages.size(), 1u);
  }
}

// A table without a clustered key is a heap: index id 0, its pages unchained,
// found all the same.
TEST_F(DatabaseBuilderTest, HeapsResolveToTheirPages) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(LayoutName(layout));
    DatabaseSpec spec;
    spec.layout = layout;
    std::vector<Row> rows;
    for (int i = 0; i < 300; ++i) rows.push_back({i, "2024-01-01", std::string(40, 'x')});
    spec.AddTable("Log", {Int("Seq"), Date("Day"), VarChar("Line", 60)}, rows);
    OpenedDatabaseFile opened = Build(spec);
    const std::vector<ColumnLayout> layouts = ResolveTableSchema(*opened.catalog, u"Log", "U ", {});
    ASSERT_EQ(layouts.size(), 3u);
    const std::vector<PageId>& pages = opened.catalog->selected.dataPages;
    ASSERT_EQ(pages.size(), 3u);  // 134 records of 58 bytes fill a page
    EXPECT_EQ(opened.file->ReadPageHeader(pages[0])->nextPage.pageNumber, 0);
    EXPECT_EQ(TableRows(*opened.file, layout, "Log").size(), rows.size());
  }
}

// ---- the demo database -------------------------------------------------------

TEST_F(DatabaseBuilderTest, DemoDatabaseOpensWithWhatItsBootPageSays) {
  LoadCollationList();
  std::filesystem::path demo = platform::ProgramFolder() / "demo.mdf";
  if (!std::filesystem::exists(demo)) demo = DemoShop().Write(dir_.path(), "demo.mdf").primary;
  auto db = Open(demo);
  // The Orders pages carry object id 34 as sysschobjs' pages do, under the
  // header index id 256 of a user allocation unit.
  EXPECT_FALSE(db->SystemPages(systable::kSysSchObjs).empty());
  EXPECT_EQ(db->DataPages(PageMapKey(systable::kSysSchObjs, 256)).size(), 1u);
  auto boot = db->LocateBootPage();
  ASSERT_TRUE(boot);
  EXPECT_EQ(boot->version, 782);
  EXPECT_EQ(boot->collation, 872468488);
  db->ReadBootPage();
  EXPECT_EQ(db->databaseName, u"DemoShop");
  EXPECT_EQ(Settings().versionText, " SQL Server 2014");
  EXPECT_EQ(Settings().collationName, "SQL_Latin1_General_CP1_CI_AS");
}

}  // namespace
}  // namespace quillmark::testing
