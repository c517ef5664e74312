// Row- and page-compressed records rebuilt and decoded: the stored form of
// each type, NULL and empty values, bits, long values, Unicode compression,
// anchor prefixes, dictionary symbols and the physical column order.

#include <gtest/gtest.h>

#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "builder/FixtureBuilder.h"
#include "values/CompressedValues.h"
#include "values/RowDecoder.h"
#include "values/Scsu.h"

namespace quillmark::testing {
namespace {

ColumnLayout Layout(std::int32_t columnId, TypeCode typeCode, const std::u16string& typeText,
                    std::int32_t physical = 0, std::uint8_t precision = 0, std::uint8_t scale = 0) {
  ColumnLayout layout;
  layout.columnId = columnId;
  layout.physicalColumnId = physical ? physical : columnId;
  layout.name = u"c" + std::u16string(1, static_cast<char16_t>(u'0' + columnId % 10));
  layout.typeCode = typeCode;
  layout.typeText = typeText;
  layout.precision = precision;
  layout.scale = scale;
  layout.hasLayout = 1;
  layout.nullable = 1;
  layout.collationId = 872468488;
  return layout;
}

class CompressedRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().collationMap = {{872468488, {"SQL_Latin1_General_CP1_CI_AS", 1252}}};
    Settings().listingActive = 1;
  }
  void TearDown() override { ResetSettings(); }

  // Decodes the records of `page` against `layouts`, as a listing of the table does.
  std::vector<DecodedRow> Decode(const Bytes& page, std::vector<ColumnLayout> layouts) {
    CompressedValueRebuilder rebuilder(layouts);
    Settings().listingContext = &rebuilder;
    Bytes bytes = page;
    PageBuffer buffer = AllocatePageBuffer();
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    CDataPage parsed(std::move(buffer), nullptr);
    auto rows = DecodeCurrentFormat(parsed, layouts, DecodeVariant::kListing);
    Settings().listingContext = nullptr;
    return rows;
  }

  static Bytes RowPage(const std::vector<Bytes>& records) {
    PageBuilder page(1, 77, 20);
    page.IndexId(256);
    for (const Bytes& record : records) page.AddRecord(record);
    return page.Build();
  }
};

TEST_F(CompressedRowsTest, IntegersCharsBitsNullsAndLongValues) {
  std::vector<ColumnLayout> layouts = {
      Layout(1, kInt, u"int(4)"),          Layout(2, kInt, u"int(4)"),       Layout(3, kSmallInt, u"smallint(2)"),
      Layout(4, kChar, u"char(10)"),       Layout(5, kInt, u"int(4)"),       Layout(6, kInt, u"int(4)"),
      Layout(7, kBit, u"bit(1)"),          Layout(8, kBit, u"bit(1)"),       Layout(9, kVarChar, u"varchar(30)"),
      Layout(10, kTinyInt, u"tinyint(1)"), Layout(11, kBigInt, u"bigint(8)")};
  Bytes record = CompressedRecord({.codes = {2, 2, 3, 3, 1, 0, 11, 1, 10, 1, 9},
                                   .shortData = {0x81, 0x7F, 0x7F, 0xF0, 'A', 'B', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                 0xFF, 0xFF, 0xFF},
                                   .longValues = {{'a', ' ', 'l', 'o', 'n', 'g', ' ', 'v', 'a', 'l', 'u', 'e'}}});
  auto rows = Decode(RowPage({record}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{u"1", u"-1", u"-16", u"AB        ", u"0", u"NULL", u"True", u"False",
                                 u"a long value", u"0", u"9223372036854775807"}));
}

TEST_F(CompressedRowsTest, OtherTypesRebuildTheirStoredForm) {
  std::vector<ColumnLayout> layouts = {Layout(1, kDecimal, u"decimal(5)", 0, 5, 2), Layout(2, kMoney, u"money(8)"),
                                       Layout(3, kFloat, u"float(8)"),               Layout(4, kDateTime, u"datetime(8)"),
                                       Layout(5, kDate, u"date(3)"),                 Layout(6, kReal, u"real(4)"),
                                       Layout(7, kBinary, u"binary(6)")};
  Bytes record = CompressedRecord({.codes = {5, 3, 3, 8, 4, 3, 3},
                                   .shortData = {0xC2, 0x1E, 0xDC, 0x20, 0xA7, 0x10, 0xF0, 0x3F, 0x80, 0xB0, 0xEA,
                                                 0x00, 0xC5, 0xC1, 0x00, 0x45, 0x46, 0x0B, 0x80, 0x3F, 0x01, 0x02}});
  auto rows = Decode(RowPage({record}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{u"123.45", u"1.0000", u"1", u"2024-01-01 12:00:00", u"2024-01-01", u"1",
                                 u"0x010200000000"}));
}

// A compressed datetime is one biased big-endian integer: days above, ticks below.
TEST_F(CompressedRowsTest, DateTimeKeepsItsFractionOfASecond) {
  std::vector<ColumnLayout> layouts = {Layout(1, kDateTime, u"datetime(8)"), Layout(2, kDateTime, u"datetime(8)")};
  Bytes record = CompressedRecord({.codes = {8, 8},
                                   .shortData = {0x80, 0x9D, 0x1D, 0x01, 0x10, 0x24, 0x68,  // 17,835,112 ticks
                                                 0x80, 0x9D, 0x1D, 0x00, 0x00, 0x00, 0x01}});  // one tick
  auto rows = Decode(RowPage({record}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{u"2010-02-14 16:30:50.373", u"2010-02-14 00:00:00.003"}));
}

TEST_F(CompressedRowsTest, UnicodeCompressionAndCodePages) {
  std::vector<ColumnLayout> layouts = {Layout(1, kNVarChar, u"nvarchar(60)"), Layout(2, kNVarChar, u"nvarchar(60)"),
                                       Layout(3, kNVarChar, u"nvarchar(60)"), Layout(4, kVarChar, u"varchar(10)"),
                                       Layout(5, kNVarChar, u"nvarchar(-1)")};
  Bytes record = CompressedRecord({.codes = {6, 6, 5, 2, 10},
                                   .shortData = {'H', 'e', 'l', 'l', 'o', 0x12, 0x96, 0xC3, 0xBA, 0x10, 'a', 0, 'b', 0,
                                                 0xE9},
                                   .longValues = {Repeat('m', 9)}});
  auto rows = Decode(RowPage({record}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  // A max value is never Unicode-compressed: nine bytes 'm' read as UTF-16.
  EXPECT_EQ(rows[0], (DecodedRow{u"Hello", u"\u0416\u0443\u043A", u"ab", u"\u00E9", u"\u6D6D\u6D6D\u6D6D\u6D6D\u006D"}));
  EXPECT_EQ(DecodeScsu(Bytes{0x43, 0x61, 0x66, 0xE9, 0x10}), u"Caf\u00E9");
}

TEST_F(CompressedRowsTest, ColumnsFollowThePhysicalOrderOfTheRecord) {
  // Clustered on the third column: records store c3, c2, c1.
  std::vector<ColumnLayout> layouts = {Layout(1, kInt, u"int(4)", 3), Layout(2, kVarChar, u"varchar(10)", 2),
                                       Layout(3, kInt, u"int(4)", 1)};
  Bytes record = CompressedRecord({.codes = {2, 4, 2}, .shortData = {0x85, 'x', 'y', 'z', 0x87}});
  auto rows = Decode(RowPage({record}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{u"7", u"xyz", u"5"}));
}

TEST_F(CompressedRowsTest, AMaxValueStoredShortDoesNotDisplaceTheNextColumn) {
  std::vector<ColumnLayout> layouts = {Layout(1, kVarChar, u"varchar(-1)"), Layout(2, kInt, u"int(4)")};
  Bytes record = CompressedRecord({.codes = {4, 3}, .shortData = {'a', 'b', 'c', 0x83, 0xE8}});
  auto rows = Decode(RowPage({record}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{u"abc", u"1000"}));
}

TEST_F(CompressedRowsTest, ManyColumnsStopAtTheEndOfTheRebuildBuffer) {
  std::vector<ColumnLayout> layouts;
  CompressedRecordSpec spec;
  for (int i = 0; i < 600; ++i) {
    layouts.push_back(Layout(i + 1, kBigInt, u"bigint(8)"));
    spec.codes.push_back(2);
    spec.shortData.push_back(0x81);
  }
  auto rows = Decode(RowPage({CompressedRecord(spec)}), layouts);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], u"1");
  EXPECT_EQ(rows[0][511], u"1");  // 512 values of 8 bytes fill 4096 bytes
  EXPECT_EQ(rows[0][512], u"");
}

TEST_F(CompressedRowsTest, PageCompressionAppliesAnchorPrefixesAndDictionarySymbols) {
  std::vector<ColumnLayout> layouts = {Layout(1, kVarChar, u"varchar(20)"), Layout(2, kInt, u"int(4)"),
                                       Layout(3, kNVarChar, u"nvarchar(40)")};
  // Anchor: 'ABCDE', 1001 (83 E9), no anchor for the nvarchar column.
  Bytes anchor = CompressedRecord({.codes = {6, 3, 0}, .shortData = {'A', 'B', 'C', 'D', 'E', 0x83, 0xE9}});
  // Dictionary: entry 0 is a 12-byte nvarchar value.
  Bytes entry = Utf16(u"dictionary");
  entry.insert(entry.end(), {'!', 0});
  Bytes dictionary = Concat({Bytes{0x01, 0x00, static_cast<std::uint8_t>(4 + entry.size()), 0x00}, entry});
  auto dictionaryOffset = static_cast<std::uint16_t>(7 + anchor.size());
  auto ciSize = static_cast<std::uint16_t>(dictionaryOffset + dictionary.size());
  PageBuilder page(1, 77, 20);
  page.IndexId(256).TypeFlagBits(0x80);
  page.CompressionInfo(0x06, dictionaryOffset, ciSize, Concat({anchor, dictionary}));
  page.AddRecord(CompressedRecord({.codes = {3, 1, 12}, .shortData = {0x03, 'X', 0x00}}));
  page.AddRecord(CompressedRecord({.codes = {1, 3, 0}, .shortData = {0x01, 0xEA}}));
  auto rows = Decode(page.Build(), layouts);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (DecodedRow{u"ABCX", u"1001", u"dictionary!"}));
  EXPECT_EQ(rows[1], (DecodedRow{u"ABCDE", u"1002", u"NULL"}));
}

}  // namespace
}  // namespace quillmark::testing
