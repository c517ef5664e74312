// Definitions of programmability objects assembled from the module-text table,
// and the key and constraint scripts.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "catalog/OpenSequence.h"
#include "details/KeyScripts.h"
#include "details/ModuleText.h"
#include "engine/AppSettings.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

class DefinitionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }

  std::u16string Definition(const std::string& file, const std::u16string& name) {
    auto db = OpenDatabase(RealFixture(file).string(), 0, nullptr);
    EXPECT_TRUE(db.opened());
    ModuleTextStore store;  // a cache belongs to one opened database
    for (const CatalogObject& object : db.catalog->objects) {
      if (object.name != name) continue;
      std::string id = std::to_string(object.id);
      return GetModuleText(*db.catalog, store, std::u16string(id.begin(), id.end()), nullptr);
    }
    ADD_FAILURE() << "no object";
    return u"";
  }
};

TEST_F(DefinitionsTest, AssemblesChunksInOrderAndDropsARepeatedEightBitChunk) {
  const std::vector<ModuleTextEntry> entries = {
      {u"7", u"0", u"0x41004200"},      // UTF-16 "AB"
      {u"8", u"0", u"0x5A5A"},          // another object
      {u"7", u"0", u"0x4142"},          // 8-bit "AB": repeats the whole text so far
      {u"7", u"0", u"0x43"},            // 8-bit "C"
      {u"7", u"1", u"0x41004"},         // a dangling half digit is ignored: "A"
      {u"7", u"2", u"0"},               // too short to hold anything
  };
  EXPECT_EQ(AssembleModuleText(entries, u"7"), u"ABCA");
  EXPECT_EQ(AssembleModuleText(entries, u"9"), u"");
}

TEST_F(DefinitionsTest, KeyAndConstraintScripts) {
  std::vector<LegacyTable> tables = {
      {5, u"T", u"", {{u"a", u"", 1, 1}, {u"x", u"", 2, 8}, {u"b", u"", 3, 1}, {u"u", u"", 4, 0}}},
      {6, u"Empty", u"", {{u"x", u"", 1, 8}}}};
  EXPECT_EQ(PrimaryKeyScript(tables, 5), u"ALTER TABLE T ADD PRIMARY KEY ( a , b )");
  EXPECT_EQ(PrimaryKeyScript(tables, 0), u"ALTER TABLE  ADD PRIMARY KEY ( )");  // later files: no legacy table
  EXPECT_EQ(UniqueKeyScript(tables, 5, u"UQ_%s_%d"),
            u"ALTER TABLE[dbo].[T] WITH NOCHECK ADD CONSTRAINT[UQ_%s_%d] UNIQUE CLUSTERED \r\n(\r\n[ a , b , u ] DSC\r\n)");
  EXPECT_EQ(UniqueKeyScript(tables, 6, u"UQ"),
            u"ALTER TABLE[dbo].[Empty] WITH NOCHECK ADD CONSTRAINT[UQ] UNIQUE CLUSTERED \r\n(\r\n[] DSC\r\n)");
  EXPECT_EQ(CheckConstraintScript(u"jobs", u"CK_min", u"([min_lvl]>=(10))"),
            u"ALTER TABLE  [dbo].[jobs] WITH NOCHECK ADD CONSTRAINT[CK_min] CHECK ([min_lvl]>=(10))");
}

TEST_F(DefinitionsTest, RealDefinitionsOfBothFormats) {
  QM_REQUIRE_REAL_FIXTURES();
  EXPECT_EQ(Definition("sql2014_pubs.mdf", u"byroyalty"),
            u"\r\nCREATE PROCEDURE byroyalty @percentage int\r\nAS\r\nselect au_id from titleauthor\r\n"
            u"where titleauthor.royaltyper = @percentage\r\n\r\n");
  EXPECT_EQ(Definition("sql2014_pubs.mdf", u"DF__titles__pubdate__1B0907CE"), u"(getdate())");
  // SQL Server 2000 files keep their definitions in syscomments.
  std::u16string sales = Definition("sql2000_northwind.mdf", u"Sales by Year");
  EXPECT_EQ(sales.rfind(u"create procedure \"Sales by Year\"", 0), 0u);
  EXPECT_EQ(Definition("sql2000_northwind.mdf", u"CK_Products_UnitPrice"), u"([UnitPrice] >= 0)");
  std::u16string function = Definition("sql2000_distmdl.mdf", u"fn_MSmask_agent_type");
  EXPECT_NE(function.find(u"fn_MSmask_agent_type"), std::u16string::npos);
}

TEST_F(DefinitionsTest, LongProceduresJoinAllTheirRows) {
  QM_REQUIRE_REAL_FIXTURES();
  auto db = OpenDatabase(RealFixture("sql2000_distmdl.mdf").string(), 0, nullptr);
  ModuleTextStore store;
  PrefetchModuleEntries(*db.catalog, store, nullptr);
  // The object with the most rows, and its text: every row's chunk in order.
  std::map<std::u16string, std::size_t> rows;
  for (const ModuleTextEntry& entry : store.prefetched) ++rows[entry.objectId];
  auto longest = std::max_element(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  ASSERT_GT(longest->second, 1u);
  std::u16string text = AssembleModuleText(store.prefetched, longest->first);
  std::size_t joined = 0;
  std::size_t longestChunk = 0;
  for (const ModuleTextEntry& entry : store.prefetched) {
    if (entry.objectId != longest->first) continue;
    std::size_t chunk = ModuleValueToText(DecodeModuleValue(entry.value)).text.size();
    joined += chunk;
    longestChunk = std::max(longestChunk, chunk);
  }
  EXPECT_EQ(text.size(), joined);
  EXPECT_GT(text.size(), longestChunk);
}

}  // namespace
}  // namespace quillmark::testing
