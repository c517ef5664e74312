// The whole value of one cell: large values that a running listing shows as
// "<BINARY DATA>" or "<BIG BINARY DATA>" come out whole, through either
// decoder, on built files and on the real files.

#include "values/CellValue.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "builder/DatabaseBuilder.h"
#include "tests/values/LargeValueCases.h"
#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "platform/CodePage.h"
#include "tests/support/RealFixtures.h"
#include "values/RecordListing.h"
#include "values/RowDecoder.h"

namespace quillmark::testing {
namespace {

struct CellAddress {
  PageId page;
  std::uint16_t slot = 0;
};

class CellValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override { ResetSettings(); }

  void OpenFile(const std::string& path) {
    opened_ = OpenDatabase(path, 0, nullptr);
    ASSERT_TRUE(opened_.opened()) << path;
  }
  void Open(const DatabaseSpec& spec) {
    OpenFile(spec.Write(dir_.path(), "cells" + std::to_string(++written_) + ".mdf").primary.string());
  }
  DatabaseCatalog& Catalog() { return *opened_.catalog; }

  void Select(const std::string& table) {
    Catalog().selected.layouts = ResolveTableSchema(Catalog(), platform::Utf8ToUtf16(table), "U ", {});
    ASSERT_FALSE(Catalog().selected.layouts.empty()) << table;
  }

  std::size_t ColumnOf(const std::string& name) {
    const std::vector<ColumnLayout>& layouts = Catalog().selected.layouts;
    for (std::size_t k = 0; k < layouts.size(); ++k)
      if (platform::Utf16ToUtf8(layouts[k].name) == name) return k;
    ADD_FAILURE() << "no column " << name;
    return layouts.size();
  }

  // Where the row whose column `keyColumn` reads `key` lies, found cell by cell.
  std::optional<CellAddress> Find(std::size_t keyColumn, const std::string& key) {
    for (const PageId page : Catalog().selected.dataPages) {
      const auto header = opened_.file->ReadPageHeader(page);
      if (!header) continue;
      for (std::int32_t slot = 0; slot < header->slotCount; ++slot) {
        const auto text = ReadWholeCellValue(Catalog(), page, static_cast<std::uint16_t>(slot), keyColumn);
        if (text && platform::Utf16ToUtf8(*text) == key) return CellAddress{page, static_cast<std::uint16_t>(slot)};
      }
    }
    return std::nullopt;
  }

  std::string Cell(const CellAddress& at, std::size_t column) {
    const auto text = ReadWholeCellValue(Catalog(), at.page, at.slot, column);
    EXPECT_TRUE(text.has_value());
    return text ? platform::Utf16ToUtf8(*text) : std::string();
  }

  // The texts of the listing's first page of rows, as FetchPageRows gives them.
  std::vector<std::vector<std::string>> Listed() {
    const ActiveListing active;
    ListingContext context(Catalog().selected.layouts);
    std::vector<std::vector<std::string>> rows;
    for (const PageId page : Catalog().selected.dataPages)
      for (const DecodedRow& row : FetchPageRows(Catalog(), page, context)) {
        rows.emplace_back();
        for (const std::u16string& text : row) rows.back().push_back(platform::Utf16ToUtf8(text));
      }
    return rows;
  }

  OpenedDatabaseFile opened_;
  TempDir dir_;
  int written_ = 0;
};

// text, ntext and image behind text pointers (both layouts), the max types
// behind in-row roots (2005 and later): the listing shows its placeholders,
// the cell and a listing asked for whole values show the values.
TEST_F(CellValueTest, LargeValuesComeOutWholeInBothLayouts) {
  struct Case {
    Layout layout;
    bool maxTypes;
    const char* marker;  // what a listing shows for text pointers
  };
  for (const Case& c : {Case{Layout::kSql2000, false, "<BINARY DATA>"}, Case{Layout::kSql2005Plus, true, ""}}) {
    SCOPED_TRACE(c.layout == Layout::kSql2000 ? "2000" : "2005+");
    std::vector<ColumnSpec> columns = {Int("Id").NotNull(), Text("t").Stored(Storage::kDataFragments, 3000),
                                       NText("nt").Stored(Storage::kDataFragments, 3000),
                                       Image("im").Stored(Storage::kDataFragments, 3000)};
    Row row = {1, Letters(10000), Letters(5000), ByteRun(10000)};
    std::vector<std::string> whole = {"1", Letters(10000), Letters(5000), HexOf(ByteRun(10000))};
    std::vector<std::string> listed = whole;
    if (*c.marker)
      for (std::size_t k = 1; k <= 3; ++k) listed[k] = c.marker;
    if (c.maxTypes) {
      columns.push_back(VarChar("vm", -1).Stored(Storage::kDataFragments, 3000));
      columns.push_back(VarBinary("bm", -1).Stored(Storage::kDataFragments, 3000));
      row.push_back(Letters(9000));
      row.push_back(ByteRun(9000));
      whole.push_back(Letters(9000));
      whole.push_back(HexOf(ByteRun(9000)));
      listed.push_back("<BIG BINARY DATA>");
      listed.push_back("<BIG BINARY DATA>");
    }
    DatabaseSpec spec;
    spec.layout = c.layout;
    spec.AddTable("Large", columns, {row});
    Open(spec);
    Select("Large");

    EXPECT_EQ(Listed(), (std::vector<std::vector<std::string>>{listed}));
    Settings().wholeLargeValues = 1;
    EXPECT_EQ(Listed(), (std::vector<std::vector<std::string>>{whole}));
    Settings().wholeLargeValues = 0;

    const auto at = Find(0, "1");
    ASSERT_TRUE(at.has_value());
    for (std::size_t k = 0; k < whole.size(); ++k) EXPECT_EQ(Cell(*at, k), whole[k]) << k;
    EXPECT_EQ(Settings().listingActive.load(), 0);
    EXPECT_EQ(Settings().listingContext, nullptr);
    // No such slot or column.
    EXPECT_FALSE(ReadWholeCellValue(Catalog(), at->page, 500, 0).has_value());
    EXPECT_FALSE(ReadWholeCellValue(Catalog(), at->page, at->slot, whole.size()).has_value());
  }
}

// pubs' pub_info.pr_info for publisher 0736 is the script's text of 65,071
// characters in every pubs file, read by either decoder.
TEST_F(CellValueTest, PubsPrInfoIsWholeInEveryPubsFile) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2005_pubs.mdf", "sql2008_pubs.mdf", "sql2014_pubs.mdf"}) {
    SCOPED_TRACE(file);
    OpenFile(RealFixture(file).string());
    Select("pub_info");
    const auto at = Find(ColumnOf("pub_id"), "0736");
    ASSERT_TRUE(at.has_value());
    const std::u16string text =
        platform::Utf8ToUtf16(Cell(*at, ColumnOf("pr_info")));
    EXPECT_EQ(text.size(), 65071u);
    EXPECT_EQ(text.rfind(u"This is sample text data for New Moon Books, publisher 0736 in the pubs database.", 0), 0u);
  }
}

// Employees.Photo of Nancy Davolio is a 21,626-byte image starting 0x151C2F00
// in every Northwind file; the 2000 file's legacy decoder reads it whole too.
TEST_F(CellValueTest, NorthwindPhotoIsWholeInEveryNorthwindFile) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2000_northwind.mdf", "sql2008_northwind_junktail.mdf", "sql2008r2_northwind.mdf"}) {
    SCOPED_TRACE(file);
    OpenFile(RealFixture(file).string());
    Select("Employees");
    const auto at = Find(ColumnOf("EmployeeID"), "1");
    ASSERT_TRUE(at.has_value());
    const std::string photo = Cell(*at, ColumnOf("Photo"));
    EXPECT_EQ(photo.size(), 2 + 2 * 21626u);
    EXPECT_EQ(photo.rfind("0x151C2F00", 0), 0u);
    EXPECT_EQ(Cell(*at, ColumnOf("Notes")).rfind("Education includes a BA in psychology", 0), 0u);
  }
}

}  // namespace
}  // namespace quillmark::testing
