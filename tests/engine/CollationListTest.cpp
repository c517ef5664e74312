#include "engine/CollationList.h"

#include <sstream>

#include "engine/BootPage.h"
#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

CollationMap Parse(const std::string& text) {
  std::istringstream in(text);
  CollationMap map;
  ParseCollationList(in, map);
  return map;
}

TEST(CollationList, ReadsNameIdAndCodePage) {
  CollationMap map = Parse(
      "Latin1_General_CI_AS\t53256\t1252\r\n"
      "no second tab\t1\n"
      "\n"
      "no tab at all\n"
      "Empty_Rest\t\n"
      "Not_Numeric\tabc\t936\n"
      "Extra\t77\t1250\tignored\n"
      "Twice\t5\t1250\n"
      "Twice_Again\t5\t1251\n");
  EXPECT_EQ(map.size(), 4u);
  EXPECT_EQ(map.at(53256).name, "Latin1_General_CI_AS");
  EXPECT_EQ(map.at(53256).codePage, 1252);
  EXPECT_EQ(map.at(0).name, "Not_Numeric");  // no digits: id 0
  EXPECT_EQ(map.at(77).codePage, 1250);
  EXPECT_EQ(map.at(5).name, "Twice_Again");  // the later line wins
}

class CollationLookup : public EngineTest {};

TEST_F(CollationLookup, IdsAbove31BitsMatchTheSignedBootPageField) {
  CollationMap map = Parse("High\t3221225472\t1252\nHuge\t99999999999999999999\t1252\nNegative\t-2130657254\t1252\n");
  EXPECT_EQ(map.count(-1073741824), 1u);  // 0xC0000000 as the boot page stores it
  EXPECT_EQ(map.count(INT64_MAX), 1u);    // saturated, not undefined
  EXPECT_EQ(map.count(-2130657254), 1u);
  EXPECT_EQ(ParseCollationNumber("4294967295"), -1);
  EXPECT_EQ(ParseCollationNumber("4294967296"), 4294967296LL);

  Settings().collationMap = map;
  EXPECT_TRUE(ApplyCollation(static_cast<std::int32_t>(0xC0000000u)));
  EXPECT_EQ(Settings().collationName, "High");
}

class ShippedCollationList : public EngineTest {};

TEST_F(ShippedCollationList, NamesEveryCollationOfTheRealFiles) {
  LoadCollationList();
  const CollationMap& map = Settings().collationMap;
  EXPECT_EQ(map.size(), 5508u);
  const std::vector<std::tuple<std::int64_t, std::string, int>> expected = {
      {872468488, "SQL_Latin1_General_CP1_CI_AS", 1252}, {53256, "Latin1_General_CI_AS", 1252},
      {53284, "Chinese_PRC_CI_AS", 936},                 {53288, "Modern_Spanish_CI_AS", 1252},
      {4104, "Latin1_General_CI_AS_KS_WS", 1252}};
  for (const auto& [id, name, codePage] : expected) {
    ASSERT_EQ(map.count(id), 1u) << id;
    EXPECT_EQ(map.at(id).name, name);
    EXPECT_EQ(map.at(id).codePage, codePage);
  }
}

TEST_F(ShippedCollationList, MissingFileLeavesTheMapEmpty) {
  LoadCollationList("/nonexistent/collation.txt", Settings().collationMap);
  EXPECT_TRUE(Settings().collationMap.empty());
}

}  // namespace
}  // namespace quillmark::testing
