#include "engine/BootPage.h"

#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

class BootPageTest : public EngineTest {
 protected:
  CBootPage Boot(BootSpec spec) {
    Bytes page = BootPageBytes(spec);
    return CBootPage(page);
  }
};

TEST_F(BootPageTest, VersionTexts) {
  const std::vector<std::pair<std::uint16_t, std::string>> versions = {
      {408, " SQL Server 6.5"},  {515, " SQL Server 7.0"},  {539, " SQL Server 2000"},
      {611, " SQL Server 2005"}, {612, " SQL Server 2005 SP2+ with VarDecimal enabled"},
      {655, " SQL Server 2008"}, {660, " SQL Server 2008 R2"}, {661, " SQL Server 2008 R2"},
      {663, "Unknown SQL Version"}, {684, " SQL Server 2012 CTP1"}, {706, " SQL Server 2012"},
      {782, " SQL Server 2014"}, {851, "Unknown SQL Version"}, {852, " SQL Server 2016"},
      {868, " SQL Server 2017"}, {869, " SQL Server 2017"}, {870, "Unknown SQL Version"},
      {894, "Unknown SQL Version"}, {895, " SQL Server 2019"}, {897, " SQL Server 2019"},
      {904, " SQL Server 2019"}, {905, "Unknown SQL Version"}, {950, " SQL Server 2022"},
      {957, " SQL Server 2022"}, {998, "Unknown SQL Version"}, {0, "Unknown SQL Version"}};
  for (const auto& [version, text] : versions) {
    CBootPage boot = Boot({.version = version});
    EXPECT_EQ(boot.version, version);
    EXPECT_EQ(Settings().versionText, text) << version;
  }
}

// Bytes that are not a boot page (a secondary file's page 9, foreign data)
// give no version, name or collation, whatever they hold.
TEST_F(BootPageTest, APageOfAnotherTypeIsNoBootPage) {
  Bytes page = BootPageBytes({.version = 782, .name = Utf16(u"junk"), .collation = 53256});
  page[1] = 1;  // a data page
  Settings().versionText = " SQL Server 2014";
  CBootPage boot(page);
  EXPECT_FALSE(boot.isBootPage);
  EXPECT_EQ(boot.version, 0);
  EXPECT_EQ(boot.name(), u"");
  EXPECT_EQ(Settings().versionText, "Unknown SQL Version");
  EXPECT_EQ(Settings().collationKnown, 0);
  EXPECT_TRUE(Boot({.version = 782}).isBootPage);
}

TEST_F(BootPageTest, DatabaseNames) {
  Bytes padding2020(20, 0x20);
  const std::vector<std::pair<Bytes, std::u16string>> names = {
      {Utf16(u"hello"), u"hello"},
      {Utf16(u"My DB"), u"My DB"},
      {Utf16(u" lead"), u" lead"},
      {Concat({Utf16(u"trail  "), Bytes{0, 0}}), u"trail"},
      {Concat({Utf16(u"cut"), Bytes{0, 0}, Utf16(u"rest")}), u"cut"},
      {Utf16(u"C:\\USERS\\\u042F\u041D\\DATABASE1.MDF"), u"C:\\USERS\\\u042F\u041D\\DATABASE1.MDF"},
      {Concat({Utf16(u"pubs"), padding2020}), u"pubs"},
      {Utf16(std::u16string(128, u'n')), std::u16string(128, u'n')},
      {{}, u""},
  };
  for (const auto& [field, name] : names) {
    CBootPage boot = Boot({.name = field});
    EXPECT_EQ(boot.name(), name);
  }
}

TEST_F(BootPageTest, CollationFromTheMapThenByItsLow16Bits) {
  Settings().collationMap = {{872468488, {"SQL_Latin1_General_CP1_CI_AS", 1252}}, {52, {"Fifty_Two", 1250}}};
  Boot({.collation = 872468488});
  EXPECT_EQ(Settings().collationKnown, 1);
  EXPECT_EQ(Settings().collationId, 872468488);
  EXPECT_EQ(Settings().collationName, "SQL_Latin1_General_CP1_CI_AS");

  Boot({.collation = 0x12340034});
  EXPECT_EQ(Settings().collationId, 52);
  EXPECT_EQ(Settings().collationCodePage, 1250);
  EXPECT_EQ(Settings().collationName, "Fifty_Two");
}

TEST_F(BootPageTest, UnknownCollationLeavesTheValuesAsTheyWere) {
  Settings().collationMap = {{52, {"Fifty_Two", 1250}}};
  Boot({.collation = 0x00770099});
  EXPECT_EQ(Settings().collationKnown, 0);
  EXPECT_EQ(Settings().collationId, -1);
  EXPECT_EQ(Settings().collationCodePage, 1252);
  EXPECT_EQ(Settings().collationName, "");
}

TEST_F(BootPageTest, ManualCollationIgnoresTheBootPageField) {
  Settings().collationMap = {{872468488, {"SQL_Latin1_General_CP1_CI_AS", 1252}}, {53284, {"Chinese_PRC_CI_AS", 936}}};
  Settings().autoDetectCollation = 0;
  Settings().manualCollation = 53284;
  Boot({.collation = 872468488});
  EXPECT_EQ(Settings().collationName, "Chinese_PRC_CI_AS");
  EXPECT_EQ(Settings().collationCodePage, 936);
}

}  // namespace
}  // namespace quillmark::testing
