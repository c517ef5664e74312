#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "tests/values/FormatCases.h"
#include "values/ValueFormat.h"

namespace quillmark {
namespace {

using valuetest::Cat;
using valuetest::Column;
using valuetest::ExpectTexts;
using valuetest::Format;
using valuetest::Hex;
using valuetest::Le;
using valuetest::Text;

ByteVector Double(double value) { return Le(std::bit_cast<std::uint64_t>(value), 8); }
ByteVector Single(float value) { return Le(std::bit_cast<std::uint32_t>(value), 4); }

TEST(ValueFormatSlot, TypeCodeOfMapsSystemTypeIds) {
  const std::vector<std::pair<std::uint8_t, TypeCode>> cases{
      {127, kBigInt},    {173, kBinary},     {104, kBit},
      {175, kChar},      {61, kDateTime},    {40, kDate},
      {41, kTime},       {42, kDateTime2},   {43, kDateTimeOffset},
      {56, kInt},        {239, kNChar},      {231, kNVarChar},
      {52, kSmallInt},   {48, kTinyInt},     {36, kUniqueIdentifier},
      {165, kVarBinary}, {167, kVarChar},    {232, kSystemType232},
      {99, kNText},      {98, kSqlVariant},  {60, kMoney},
      {62, kFloat},      {108, kNumeric},    {106, kDecimal},
      {34, kText},       {35, kText},        {58, kSmallDateTime},
      {59, kReal},       {122, kSmallMoney}, {189, kTimestamp},
      {240, kClrType},   {241, kXml},        {0, kChar},
      {200, kChar}};
  for (const auto& [systemTypeId, code] : cases) EXPECT_EQ(TypeCodeOf(systemTypeId), code) << int{systemTypeId};
}

TEST(ValueFormatSlot, InitValueSlotTakesLengthsFromTheTypeOrTheLayout) {
  struct SlotCase {
    TypeCode code;
    std::int16_t layoutLength;
    std::uint8_t variableFlag;
    std::uint16_t fixedLength;
    std::int16_t valueLength;
    std::uint8_t isVariable;
  };
  const std::vector<SlotCase> cases{{kBigInt, 0, 0, 8, 8, 0},
                                    {kBinary, 10, 0, 10, 10, 0},
                                    {kChar, 10, 1, 10, 10, 0},
                                    {kDateTimeOffset, 0, 0, 10, 10, 0},
                                    {kNChar, 20, 0, 20, 20, 0},
                                    {kNVarChar, 100, 1, 100, 100, 1},
                                    {kVarBinary, 50, 0, 0, 50, 1},
                                    {kVarChar, 50, 1, 0, 50, 1},
                                    {kVarChar, 50, 0, 0, 50, 0},
                                    {kNumeric, 9, 0, 19, 19, 0},
                                    {kDecimal, 9, 0, 9, 9, 0},
                                    {kSqlVariant, 0, 1, 0, 0, 1},
                                    {kImage, 16, 1, 0, 16, 1},
                                    {kXml, -1, 1, 0, -1, 1},
                                    {kSystemType232, 8, 1, 0, 0, 0},
                                    {kUnusedTypeCode, 8, 1, 0, 0, 0},
                                    {static_cast<TypeCode>(35), 8, 1, 0, 0, 0}};
  for (const SlotCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    ColumnLayout column;
    column.length = c.layoutLength;
    column.variableFlag = c.variableFlag;
    ValueSlot slot = InitValueSlot(column, c.code, nullptr);
    EXPECT_EQ(slot.typeCode, c.code);
    EXPECT_EQ(slot.fixedLength, c.fixedLength);
    EXPECT_EQ(slot.valueLength, c.valueLength);
    EXPECT_EQ(slot.isVariable, c.isVariable);
    EXPECT_EQ(slot.availableLength, 0u);
    EXPECT_EQ(slot.declaredLength, 0);
  }
}

TEST(ValueFormatSlot, DeclaredLengthComesFromTheTypeText) {
  const std::vector<std::pair<std::u16string, std::int32_t>> cases{
      {u"varbinary(-1)", -1}, {u"decimal(9)", 9}, {u"varbinary", 0}, {u"(16)", 16}, {u"varbinary()", 0}};
  for (const auto& [typeText, declared] : cases) {
    ColumnLayout column = Column(kVarBinary, typeText);
    ValueSlot slot = InitValueSlot(column, kVarBinary, nullptr);
    const ByteVector bytes = Hex("0A");
    slot.valueLength = 1;
    FormatValue(slot, column, bytes.data());
    EXPECT_EQ(slot.declaredLength, declared) << std::string(typeText.begin(), typeText.end());
  }
}

TEST(ValueFormatSlot, FixedWidthTypesLeaveTheirDeclaredLengthAsValueLength) {
  // A compressed record hands datetime2(7) over in 6 bytes; row decoding then
  // steps by the declared 7.
  ColumnLayout column = Column(kDateTime2, u"datetime2(7)", 0, 0, 2);
  ValueSlot slot = InitValueSlot(column, kDateTime2, nullptr);
  const ByteVector bytes(7, 0);
  slot.valueLength = 6;
  slot.availableLength = bytes.size();
  FormatValue(slot, column, bytes.data());
  EXPECT_EQ(slot.valueLength, 7);

  ColumnLayout varchar = Column(kVarChar, u"varchar(50)", 50);
  slot = InitValueSlot(varchar, kVarChar, nullptr);
  slot.valueLength = 3;
  FormatValue(slot, varchar, bytes.data());
  EXPECT_EQ(slot.valueLength, 3);
}

TEST(ValueFormat, NothingToFormatGivesEmptyText) {
  ColumnLayout column = Column(kInt, u"int(4)");
  ValueSlot slot = InitValueSlot(column, kInt, nullptr);
  slot.availableLength = 4;
  EXPECT_EQ(FormatValue(slot, column, nullptr), u"");

  const ByteVector bytes = Hex("01 02 03 04");
  for (TypeCode code : {kUnusedTypeCode, kSystemType232, kImage, static_cast<TypeCode>(35)})
    EXPECT_EQ(Format(Column(code, u"x(4)", 4), bytes), u"") << static_cast<int>(code);
  EXPECT_EQ(Format(Column(kVarChar, u"varchar(4)", 4), {}), u"");
}

TEST(ValueFormat, Integers) {
  ExpectTexts(Column(kBigInt, u"bigint(8)"),
              {{Le(std::numeric_limits<std::int64_t>::min(), 8), u"-9223372036854775808"},
               {Le(std::numeric_limits<std::int64_t>::max(), 8), u"9223372036854775807"},
               {Le(0, 8), u"0"},
               {Hex("07 00 00 00 00 00 00"), u""}});  // must fit
  ExpectTexts(Column(kInt, u"int(4)"),
              {{Le(0x80000000, 4), u"-2147483648"}, {Le(42, 4), u"42"}, {Le(-1, 4), u"-1"}, {Hex("2A 00 00"), u""}});
  ExpectTexts(Column(kSmallInt, u"smallint(2)"), {{Le(0x8000, 2), u"-32768"}, {Le(7, 2), u"7"}});
  ExpectTexts(Column(kTinyInt, u"tinyint(1)"), {{Hex("FF"), u"255"}, {Hex("00"), u"0"}});
}

TEST(ValueFormat, HexTexts) {
  const ByteVector bytes = Hex("0A 0B FF 00");
  ExpectTexts(Column(kBinary, u"binary(4)", 4), {{bytes, u"0x0A0BFF00"}, {Hex("0A 0B FF"), u""}});
  ExpectTexts(Column(kTimestamp, u"timestamp(8)"), {{Hex("00 00 00 00 00 00 07 D1"), u"0x00000000000007D1"}});
  ExpectTexts(Column(kHierarchyId, u"hierarchyid(892)"), {{Hex("58"), u"0x58"}});
  // Row decoding puts "0x" before varbinary and CLR values itself.
  for (TypeCode code : {kVarBinary, kGeometry, kClrType})
    ExpectTexts(Column(code, u"varbinary(8)", 8), {{bytes, u"0A0BFF00"}});
}

TEST(ValueFormat, GuidsReadTheirFirstThreeGroupsLittleEndian) {
  ExpectTexts(Column(kUniqueIdentifier, u"uniqueidentifier(16)"),
              {{Hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"), u"03020100-0504-0706-0809-0A0B0C0D0E0F"},
               {Hex("FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF"), u"6F9619FF-8B86-D011-B42D-00C04FC964FF"},
               {Hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"), u""}});
}

TEST(ValueFormat, Utf16TextEndsAtTheFirstZeroUnit) {
  ExpectTexts(Column(kNChar, u"nchar(8)", 8), {{Hex("41 00 42 00 20 00 20 00"), u"AB  "}});
  ExpectTexts(Column(kNVarChar, u"nvarchar(100)", 100),
              {{Hex("41 00 00 00 42 00"), u"A"}, {Hex("3A 04 41 00"), u"\u043AA"}});
  // ntext is UTF-16 whatever its bytes look like.
  ExpectTexts(
      Column(kNText, u"ntext(16)"),
      {{Hex("41 00 42 00"), u"AB"}, {Hex("41 42 43 44"), u"\u4241\u4443"}, {Hex("41 42 00 00 43 44"), u"\u4241"}});
}

TEST(ValueFormat, EightBitTextEndsAtTheFirstZeroByte) {
  ExpectTexts(Column(kChar, u"char(10)", 10), {{Text("abc       "), u"abc       "}});
  ExpectTexts(Column(kVarChar, u"varchar(10)", 10), {{Cat({Text("ab"), Hex("00"), Text("cd")}), u"ab"}});
  ExpectTexts(Column(kText, u"text(16)", 16), {{Text("M\xFCnchen"), u"M\u00FCnchen"}});
}

TEST(ValueFormat, VarcharReadsOnlyTheBytesTheRecordHolds) {
  // A row-compressed record hands the declared length over with 3 bytes behind it.
  ColumnLayout column = Column(kVarChar, u"varchar(8000)", 8000);
  column.variableFlag = 0;
  ValueSlot slot = InitValueSlot(column, kVarChar, nullptr);
  ASSERT_EQ(slot.valueLength, 8000);
  const ByteVector bytes = Text("abc");
  slot.availableLength = bytes.size();
  EXPECT_EQ(FormatValue(slot, column, bytes.data()), u"abc");
}

TEST(ValueFormat, VariantFallbackSkipsTheHeaderAndTestsForZeroBytes) {
  const ByteVector header = Hex("A7 01 09 04 D0 00 32 00");
  ExpectTexts(Column(kSqlVariant, u"sql_variant(8016)"),
              {{Cat({header, Hex("41 00 42 00")}), u"AB"},
               {Cat({header, Text("ABC")}), u"ABC"},
               {Cat({header, Text("\xC4")}), u"\u00C4"},  // the ANSI code page
               {header, u""}});
}

TEST(ValueFormat, Money) {
  ExpectTexts(Column(kMoney, u"money(8)"),
              {{Le(5, 8), u"0.0005"},
               {Le(12345, 8), u"1.2345"},
               {Le(-12345, 8), u"-1.2345"},
               {Le(0, 8), u"0.0000"},
               {Le(std::numeric_limits<std::int64_t>::max(), 8), u"922337203685477.5807"},
               {Le(std::numeric_limits<std::int64_t>::min(), 8), u"-922337203685477.5808"}});
  ExpectTexts(Column(kSmallMoney, u"smallmoney(4)"),
              {{Le(2147483647, 4), u"214748.3647"}, {Le(-5, 4), u"-0.0005"}, {Le(0x80000000, 4), u"-214748.3648"}});
}

TEST(ValueFormat, MoneyLongerThanTheRecordGivesEmptyText) {
  ExpectTexts(Column(kMoney, u"money(200)"), {{Le(12345, 8), u""}});
}

TEST(ValueFormat, FloatShowsFifteenSignificantDigits) {
  ExpectTexts(Column(kFloat, u"float(8)"), {{Double(123.456), u"123.456"},
                                            {Double(0.1), u"0.1"},
                                            {Double(-1.5), u"-1.5"},
                                            {Double(0), u"0"},
                                            {Double(-0.0), u"0"},
                                            {Double(1.0 / 3), u"0.333333333333333"},
                                            {Double(-1.0 / 3), u"-0.333333333333333"},
                                            {Double(-1e-7), u"-0.0000001"},
                                            {Double(1e15), u"1000000000000000"},
                                            {Double(2e15), u"2000000000000000"},
                                            {Double(std::numeric_limits<double>::infinity()), u"0"},
                                            {Double(-std::numeric_limits<double>::infinity()), u"0"},
                                            {Double(std::numeric_limits<double>::quiet_NaN()), u"0"}});
}

TEST(ValueFormat, RealShowsSixSignificantDigits) {
  ExpectTexts(Column(kReal, u"real(4)"), {{Single(3.14159274f), u"3.14159"},
                                          {Single(0.0001f), u"0.0001"},
                                          {Single(1e-5f), u"1e-005"},
                                          {Single(-2.5e-7f), u"-2.5e-007"},
                                          {Single(1.5e10f), u"1.5e+010"},
                                          {Single(0), u"0"},
                                          {Single(std::numeric_limits<float>::infinity()), u"0"},
                                          {Single(std::numeric_limits<float>::quiet_NaN()), u"0"}});
}

ByteVector Decimal(std::uint8_t sign, std::uint64_t magnitude, std::size_t width = 4) {
  return Cat({ByteVector{sign}, Le(magnitude, width)});
}

TEST(ValueFormat, DecimalPlacesThePointByScale) {
  ExpectTexts(Column(kDecimal, u"decimal(5)", 5, 5, 2), {{Decimal(1, 0), u"0.00"},
                                                         {Decimal(1, 12345), u"123.45"},
                                                         {Decimal(1, 12), u".12"},
                                                         {Decimal(1, 5), u"0.05"},
                                                         {Decimal(0, 12345), u"-123.45"},
                                                         {Decimal(0, 0), u"-0.00"},
                                                         // more digits than the precision: fraction digits go first
                                                         {Decimal(1, 1234567), u"12345"},
                                                         {Decimal(1, 12345678), u""},
                                                         {Hex("01 39 30 00"), u""}});
  // The "0" before the point is no digit of the value.
  ExpectTexts(Column(kDecimal, u"decimal(5)", 5, 3, 3), {{Decimal(1, 5), u"0.005"}, {Decimal(1, 123), u".123"}});
  ExpectTexts(Column(kNumeric, u"numeric(9)", 9, 19, 0),
              {{Decimal(1, 9223372036854775807u, 8), u"9223372036854775807"}});
  // 10^38 - 1 in sixteen bytes.
  ExpectTexts(Column(kDecimal, u"decimal(17)", 17, 38, 0),
              {{Hex("01 FF FF FF FF 3F 22 8A 09 7A C4 86 5A A8 4C 3B 4B"), u"99999999999999999999999999999999999999"}});
}

TEST(ValueFormat, DecimalMagnitudeEndsAtTheDeclaredLength) {
  // Precision 19 reads an 8-byte magnitude; the column declares only 4 of them.
  ExpectTexts(Column(kDecimal, u"decimal(5)", 5, 19, 0), {{Hex("01 39 30 00 00 FF FF FF FF"), u"12345"}});
}

TEST(ValueFormat, XmlIsDecodedAndNoTextShowsABlank) {
  // <root a="1">hi</root> in SQL Server's binary form.
  const ByteVector element =
      Hex("DF FF 01 B0 04 F0 04 72 00 6F 00 6F 00 74 00 EF 00 00 01 F0 01 61 00 EF 00 00 02 "
          "F8 01 F6 02 11 01 31 00 F5 11 02 68 00 69 00 F7");
  ExpectTexts(Column(kXml, u"xml(-1)", -1), {{element, u"<root a=\"1\">hi</root>"},
                                             {Hex("DF FF 01 B0 04"), u" "},  // an empty document
                                             {Hex("00 01 02"), u" "}});
}

// Row decoding steps through the fixed-length part by the declaredLength each
// bit column leaves, so only the first of eight takes a byte.
TEST(ValueFormat, NineBitColumnsShareTwoBytes) {
  const ByteVector fixedPart = Hex("A5 01");  // 1010 0101, then 1
  const std::vector<std::u16string> expected{u"True", u"False", u"True", u"False", u"False",
                                             u"True", u"False", u"True", u"True"};
  const std::vector<std::uint16_t> fixedLengths{1, 0, 0, 0, 0, 0, 0, 0, 1};
  ColumnLayout column = Column(kBit, u"bit(1)");
  BitCursor cursor;
  std::size_t position = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    ValueSlot slot = InitValueSlot(column, kBit, &cursor);
    EXPECT_EQ(slot.fixedLength, fixedLengths[i]);
    EXPECT_EQ(cursor.byteTaken, fixedLengths[i]);
    slot.availableLength = fixedPart.size() - position;
    EXPECT_EQ(FormatValue(slot, column, fixedPart.data() + position), expected[i]);
    EXPECT_EQ(slot.declaredLength, fixedLengths[i]);
    position += static_cast<std::size_t>(slot.declaredLength);
  }
  EXPECT_EQ(position, fixedPart.size());
}

TEST(ValueFormat, BitWithoutItsByteOrCursor) {
  ColumnLayout column = Column(kBit, u"bit(1)");
  const ByteVector bytes = Hex("01");
  BitCursor cursor;
  ValueSlot slot = InitValueSlot(column, kBit, &cursor);
  slot.availableLength = 0;  // the record ends before the byte
  EXPECT_EQ(FormatValue(slot, column, bytes.data()), u"False");

  slot = InitValueSlot(column, kBit, nullptr);
  slot.availableLength = 1;
  EXPECT_EQ(FormatValue(slot, column, bytes.data()), u"");

  slot = InitValueSlot(column, kBit, &cursor);
  slot.availableLength = 1;
  slot.valueLength = 0;
  EXPECT_EQ(FormatValue(slot, column, bytes.data()), u"False");
  slot.valueLength = 2;
  EXPECT_EQ(FormatValue(slot, column, bytes.data()), u"");
}

// char, varchar and text use their collation's code page only while a records
// listing runs. 0xC4 is Ä in 1252, Д in 1251 and Δ in 1253.
class ValueFormatCodePage : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override {
    ResetSettings();
    platform::SetAnsiCodePage(platform::kDefaultAnsiCodePage);
  }
};

TEST_F(ValueFormatCodePage, ChosenByCollationWhileListing) {
  struct CodePageCase {
    const char* what;
    std::uint8_t listingActive;
    std::uint8_t collationKnown;
    std::int32_t columnCollation;
    int ansiCodePage;
    std::u16string text;
  };
  const std::vector<CodePageCase> cases{
      {"not listing", 0, 1, 52, 1252, u"\u00C4"},
      {"the database's collation", 1, 1, 52, 1252, u"\u0414"},
      {"database collation not known: the map's", 1, 0, 52, 1252, u"\u0394"},
      {"another collation in the map", 1, 1, 53, 1252, u"\u0394"},
      {"a collation not in the map", 1, 1, 99, 1251, u"\u0414"},
      {"no collation (-1)", 1, 1, -1, 1251, u"\u0414"},
      {"no collation (0)", 1, 1, 0, 1251, u"\u0414"},
      {"a code page the converter lacks: bytes widened", 1, 1, 54, 1251, u"\u00C4"},
      {"code page 0 is the ANSI code page", 1, 1, 55, 1251, u"\u0414"},
  };
  for (const CodePageCase& c : cases) {
    SCOPED_TRACE(c.what);
    AppSettings& settings = Settings();
    settings.listingActive = c.listingActive;
    settings.collationKnown = c.collationKnown;
    settings.collationId = 52;
    settings.collationCodePage = 1251;
    settings.collationMap = {
        {52, {"Greek_Test", 1253}}, {53, {"Greek_CS_AS", 1253}}, {54, {"Odd", 12345}}, {55, {"Unicode_Only", 0}}};
    platform::SetAnsiCodePage(c.ansiCodePage);
    for (TypeCode code : {kChar, kVarChar, kText}) {
      ColumnLayout column = Column(code, u"char(1)", 1);
      column.collationId = c.columnCollation;
      EXPECT_EQ(Format(column, Text("\xC4")), c.text) << static_cast<int>(code);
    }
  }
}

}  // namespace
}  // namespace quillmark
