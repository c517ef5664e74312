#include <gtest/gtest.h>

#include <bit>
#include <limits>

#include "platform/CodePage.h"
#include "tests/values/FormatCases.h"

namespace quillmark {
namespace {

using valuetest::Case;
using valuetest::Cat;
using valuetest::Column;
using valuetest::Hex;
using valuetest::Le;
using valuetest::Text;

std::u16string Variant(const ByteVector& bytes) {
  ColumnLayout column = Column(kSqlVariant, u"sql_variant(8016)");
  ValueSlot slot = InitValueSlot(column, kSqlVariant, nullptr);
  return FormatVariant(static_cast<std::int32_t>(bytes.size()), slot, column, bytes.data());
}

// Base type id and version byte.
ByteVector Base(std::uint8_t systemTypeId) { return {systemTypeId, 1}; }
// The string types' collation and maximum length.
const ByteVector kStringHeader = Hex("09 04 D0 00 32 00");

class VariantFormat : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetAnsiCodePage(platform::kDefaultAnsiCodePage); }

  static void ExpectVariants(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(valuetest::Describe(c.bytes));
      EXPECT_EQ(Variant(c.bytes), c.text);
    }
  }
};

TEST_F(VariantFormat, Numbers) {
  ExpectVariants({{Cat({Base(127), Le(-5, 8)}), u"-5"},
                  {Cat({Base(127), Le(5, 7)}), u""},
                  {Cat({Base(56), Le(42, 4)}), u"42"},
                  {Cat({Base(56), Le(42, 5)}), u""},
                  {Cat({Base(52), Le(-2, 2)}), u"-2"},
                  {Cat({Base(52), Le(2, 3)}), u""},
                  {Cat({Base(48), Hex("FF")}), u"255"},
                  {Cat({Base(48), Hex("FF 00")}), u""},
                  {Cat({Base(104), Hex("01")}), u"True"},
                  {Cat({Base(104), Hex("02")}), u"True"},
                  {Cat({Base(104), Hex("00")}), u"False"},
                  {Cat({Base(104), Hex("01 00")}), u""},
                  {Cat({Base(60), Le(12345, 8)}), u"1.2345"},
                  {Cat({Base(60), Le(12345, 7)}), u""},
                  {Cat({Base(122), Le(-5, 4)}), u"-0.0005"},
                  {Cat({Base(122), Le(5, 3)}), u""}});
}

// Unlike float and real columns, variants show infinities and small reals as printed.
TEST_F(VariantFormat, FloatingPoint) {
  const double infinity = std::numeric_limits<double>::infinity();
  ExpectVariants({{Cat({Base(62), Le(std::bit_cast<std::uint64_t>(-1.0 / 3), 8)}), u"-0.333333333333333"},
                  {Cat({Base(62), Le(std::bit_cast<std::uint64_t>(infinity), 8)}), u"inf"},
                  {Cat({Base(62), Le(std::bit_cast<std::uint64_t>(-infinity), 8)}), u"-inf"},
                  {Cat({Base(62), Le(0, 7)}), u""},
                  {Cat({Base(59), Le(std::bit_cast<std::uint32_t>(1e-5f), 4)}), u"1e-005"},
                  {Cat({Base(59), Le(std::bit_cast<std::uint32_t>(static_cast<float>(infinity)), 4)}), u"inf"},
                  {Cat({Base(59), Le(0, 3)}), u""}});
}

TEST_F(VariantFormat, DatesAndTimes) {
  constexpr std::uint64_t kMay1st2010 = 733892;
  constexpr std::uint64_t kHour = 3600;
  constexpr std::uint64_t kNoon = 12 * kHour * 10000000;
  ExpectVariants(
      {{Cat({Base(61), Le(15660000, 4), Le(40297, 4)}), u"2010-05-01 14:30:00"},
       {Cat({Base(61), Le(17835112, 4), Le(40221, 4)}), u"2010-02-14 16:30:50.373"},
       {Cat({Base(61), Le(0, 7)}), u""},
       {Cat({Base(58), Le(870, 2), Le(40297, 2)}), u"2010-05-01 14:30:00"},
       {Cat({Base(58), Le(0, 3)}), u""},
       {Cat({Base(40), Le(kMay1st2010, 3)}), u"2010-05-01"},
       {Cat({Base(40), Le(kMay1st2010, 4)}), u""},
       // scale byte, then the stored time
       {Cat({Base(41), Hex("07"), Le(kNoon + 500000, 5)}), u"12:00:00.0500000"},
       {Cat({Base(41), Hex("07"), Le(0, 17)}), u""},  // n = 20
       {Cat({Base(41), Hex("08"), Le(0, 5)}), u""},
       {Cat({Base(41), Hex("07")}), u""},
       {Cat({Base(42), Hex("07"), Le(kNoon, 5), Le(kMay1st2010, 3)}), u"2010-05-01 12:00:00.0000000"},
       {Cat({Base(42), Hex("07"), Le(kNoon, 6), Le(kMay1st2010, 3)}), u""},
       {Cat({Base(43), Hex("00"), Le(9 * kHour, 3), Le(kMay1st2010, 3), Le(330, 2)}), u"2010-05-01 14:30:00 +5:30"},
       {Cat({Base(43), Hex("09"), Le(0, 3), Le(kMay1st2010, 3), Le(330, 2)}), u""},
       {Base(43), u""}});
}

TEST_F(VariantFormat, DecimalsCarryPrecisionAndScale) {
  ExpectVariants({{Cat({Base(106), Hex("05 02 01"), Le(12345, 4)}), u"123.45"},
                  {Cat({Base(108), Hex("05 02 00"), Le(12345, 4)}), u"-123.45"},
                  {Cat({Base(108), Hex("13 00 01"), Le(5, 1)}), u"5"},  // a short magnitude reads as zero-extended
                  {Cat({Base(106), Hex("05 02")}), u""}});

  ColumnLayout column = Column(kSqlVariant, u"sql_variant(8016)");
  for (const auto& [systemTypeId, declared] : {std::pair{106, 0}, std::pair{108, 5}}) {
    const ByteVector bytes = Cat({Base(static_cast<std::uint8_t>(systemTypeId)), Hex("05 02 01"), Le(12345, 4)});
    ValueSlot slot = InitValueSlot(column, kSqlVariant, nullptr);
    slot.declaredLength = 77;
    FormatVariant(static_cast<std::int32_t>(bytes.size()), slot, column, bytes.data());
    EXPECT_EQ(slot.declaredLength, declared) << systemTypeId;
  }
}

TEST_F(VariantFormat, GuidsAndBinaries) {
  ExpectVariants({{Cat({Base(36), Hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F")}),
                   u"03020100-0504-0706-0809-0A0B0C0D0E0F"},
                  {Cat({Base(36), Le(0, 15)}), u""},
                  // a 2-byte maximum length precedes binary data
                  {Cat({Base(173), Hex("02 00 0A 0B")}), u"0x0A0B"},
                  {Cat({Base(165), Hex("08 00 FF")}), u"0xFF"},
                  {Cat({Base(165), Hex("08 00")}), u"0x"},
                  {Cat({Base(165), Hex("08")}), u""},
                  {Cat({Base(240), Hex("01 02")}), u"0x0102"},
                  {Base(240), u"0x"},
                  {Hex("F0"), u""}});
}

TEST_F(VariantFormat, StringsIgnoreTheCollation) {
  platform::SetAnsiCodePage(1251);  // 0xC4 is Д here, Ä when widened
  ExpectVariants({{Cat({Base(175), kStringHeader, Text("\xC4"), Hex("00"), Text("x")}), u"\u0414"},
                  {Cat({Base(167), kStringHeader, Text("\xC4"), Hex("00"), Text("x")}), u"\u00C4"},
                  {Cat({Base(231), kStringHeader, Hex("41 00 42 00")}), u"AB"},
                  {Cat({Base(239), kStringHeader, Hex("3A 04 00 00 41 00")}), u"\u043A"},
                  {Cat({Base(175), Hex("09 04 D0 00 32")}), u""},
                  {Cat({Base(231), Hex("09 04 D0 00 32")}), u""}});
}

TEST_F(VariantFormat, UnknownBaseTypesAndMissingBytesGiveEmptyText) {
  ExpectVariants({{Cat({Base(241), Text("<a/>")}), u""}, {Cat({Base(255), Le(1, 4)}), u""}, {{}, u""}});
  ColumnLayout column = Column(kSqlVariant, u"sql_variant(8016)");
  ValueSlot slot = InitValueSlot(column, kSqlVariant, nullptr);
  EXPECT_EQ(FormatVariant(6, slot, column, nullptr), u"");
}

}  // namespace
}  // namespace quillmark
