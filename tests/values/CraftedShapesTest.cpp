// Files whose slot arrays claim many slots that all point at one record: the
// work and memory they cause stay bounded. Each test counts work (pages read,
// bytes copied, rows kept, objects in the catalog), never time.

#include "builder/CraftedShapes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "builder/DatabaseBuilder.h"
#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "engine/LargeObjects.h"
#include "engine/PageHeader.h"
#include "values/CompressedValues.h"
#include "values/RecordListing.h"
#include "values/RowDecoder.h"

namespace quillmark::testing {
namespace {

// The shared fragment's data runs under the slot array (from page offset 194,
// entries 60 00): as 8-bit text it is 84 Q and the first entry's 0x60.
const std::u16string kSharedFragmentText = std::u16string(84, u'Q') + u"`";

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// An internal fragment (from its blob id) of `links` links to slots `slot(i)` of `page`.
template <typename Slot>
Bytes InternalFragment(std::int32_t page, std::uint32_t links, Slot slot) {
  Bytes fragment(16, 0);
  PutU16(fragment, 8, 2);
  PutU16(fragment, 12, static_cast<std::uint16_t>(links));
  for (std::uint32_t i = 0; i < links; ++i) {
    Bytes link(16, 0);
    PutU32(link, 8, static_cast<std::uint32_t>(page));
    PutU16(link, 12, 1);
    PutU16(link, 14, static_cast<std::uint16_t>(slot(i)));
    fragment.insert(fragment.end(), link.begin(), link.end());
  }
  return fragment;
}

// The row id a text pointer of the crafted files leads to (the large root).
RowId RootOf(const ShapeChange& change) { return RowId{PageId{1, change.pages.at(1)}, 0}; }

class CraftedShapesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override { ResetSettings(); }

  // Writes `spec`, lets `shape` rewrite the file and opens it.
  template <typename Shape>
  ShapeChange Open(const DatabaseSpec& spec, Shape shape) {
    const auto path = spec.Write(dir_.path(), "shape.mdf").primary;
    Bytes bytes = ReadAll(path);
    const ShapeChange change = shape(bytes);
    WriteFile(path, bytes);
    opened_ = OpenDatabase(path.string(), 0, nullptr);
    EXPECT_TRUE(opened_.opened());
    return change;
  }

  // The rows of the first data page of `table`, decoded as the listing decodes them.
  std::vector<DecodedRow> FirstPageRows(const std::string& table, bool* cut) {
    DatabaseCatalog& catalog = *opened_.catalog;
    const std::vector<ColumnLayout> layouts =
        ResolveTableSchema(catalog, std::u16string(table.begin(), table.end()), "U ", {});
    EXPECT_FALSE(layouts.empty());
    EXPECT_FALSE(catalog.selected.dataPages.empty());
    if (catalog.selected.dataPages.empty()) return {};
    ListingContext context(layouts);
    return FetchPageRows(catalog, catalog.selected.dataPages.front(), context, cut);
  }

  TempDir dir_;
  OpenedDatabaseFile opened_;
};

// A text page whose 3999 slots share one 8 KB fragment, and a large root of 660
// links to them: the value reads the fragment once, each link one record.
TEST_F(CraftedShapesTest, LinksToSlotsSharingOneFragmentReadItOnce) {
  DatabaseSpec spec;
  spec.AddTable("Notes", {Int("Id").NotNull(), Text("Body")}, {{1, "one"}, {2, "two"}, {3, "three"}});
  const ShapeChange change = Open(spec, [](Bytes& file) { return ShapeSharedFragment(file); });
  ASSERT_EQ(change.pointersRewritten, 3u);
  DatabaseFile& file = *opened_.file;

  const std::uint64_t before = file.pagesRead;
  LargeValueReader reader(&file, LobFlags{});
  reader.FollowLink(RootOf(change));
  EXPECT_EQ(reader.TakeText(), kSharedFragmentText);
  EXPECT_EQ(reader.Work().linksFollowed, 1u + 660u);
  // The root's page and the shared page, each read once; the root's record and
  // the shared fragment copied, nothing else.
  EXPECT_EQ(reader.Work().pagesRead, 2u);
  EXPECT_LE(file.pagesRead - before, 4u);
  EXPECT_LE(reader.Work().bytesCopied, 2u * kPage);

  // The rows: each shows that one fragment once.
  bool cut = true;
  const std::vector<DecodedRow> rows = FirstPageRows("Notes", &cut);
  ASSERT_EQ(rows.size(), 3u);
  for (const DecodedRow& row : rows) EXPECT_EQ(row.at(1), kSharedFragmentText);
  EXPECT_FALSE(cut);
}

// In-row roots and internal fragments whose links all name slots of the
// shared page read its fragment once as well.
TEST_F(CraftedShapesTest, InRowRootsAndInternalFragmentsReadASharedRecordOnce) {
  DatabaseSpec spec;
  spec.AddTable("Notes", {Int("Id").NotNull(), VarChar("Body", -1).Stored(Storage::kDataFragments, 100)},
                {{1, std::string(3000, 'a')}});
  const ShapeChange change = Open(spec, [](Bytes& file) { return ShapeSharedFragment(file); });
  ASSERT_GE(change.pointersRewritten, 30u);
  DatabaseFile& file = *opened_.file;

  // The row's in-row root, read as a listing without markers reads it.
  bool cut = true;
  const std::vector<DecodedRow> rows = FirstPageRows("Notes", &cut);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(rows[0].at(1) == kBigBinaryData || rows[0].at(1) == kSharedFragmentText);

  // An internal fragment of 500 links to 500 slots sharing the fragment.
  const Bytes internal = InternalFragment(change.pages.at(0), 500, [](std::uint32_t i) { return i; });
  LargeValueReader reader(&file, LobFlags{});
  reader.ReadFragment(internal, static_cast<std::int32_t>(internal.size() - 10));
  EXPECT_EQ(reader.TakeText(), kSharedFragmentText);
  EXPECT_EQ(reader.Work().linksFollowed, 500u);
  EXPECT_EQ(reader.Work().pagesRead, 1u);
  EXPECT_LE(reader.Work().bytesCopied, kPage);

  // However many links a fragment claims, a value follows at most kMaxValueLinks.
  const Bytes many =
      InternalFragment(change.pages.at(0), 0xFFFF, [](std::uint32_t i) { return kMostSlots + i % 8; });  // no such slot
  LargeValueReader bounded(&file, LobFlags{});
  bounded.ReadFragment(many, static_cast<std::int32_t>(many.size() - 10));
  EXPECT_EQ(bounded.Work().linksFollowed, kMaxValueLinks);
  EXPECT_EQ(bounded.Work().pagesRead, 1u);
  EXPECT_EQ(bounded.Work().bytesCopied, 0u);

  // The module-text path reads values through the same reader: the root read
  // as a text pointer of a catalog row is the fragment once.
  Bytes pointer(16, 0);
  PutU32(pointer, 8, static_cast<std::uint32_t>(change.pages.at(1)));
  PutU16(pointer, 12, 1);
  CPage_Header header;
  EXPECT_EQ(ReadTextPointer(pointer, PageContext{&header, &file, nullptr}, LobFlags{}), kSharedFragmentText);
}

// A data page whose slot array claims thousands of slots at one row with a
// large value gives that row once.
TEST_F(CraftedShapesTest, SlotsSharingOneRowGiveOneRow) {
  DatabaseSpec spec;
  spec.AddTable("Notes", {Int("Id").NotNull(), NText("Body")}, {{1, "first"}, {2, "second"}});
  const ShapeChange change = Open(spec, [](Bytes& file) { return ShapeSharedRow(file); });
  ASSERT_EQ(change.pages.size(), 1u);
  ASSERT_GT(change.slotsClaimed, 3000u);

  auto page = opened_.file->ReadDataPage(PageId{1, change.pages[0]});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->records.size(), change.slotsClaimed);
  EXPECT_EQ(std::count_if(page->records.begin(), page->records.end(), [](const auto& r) { return r != nullptr; }), 1);

  bool cut = true;
  const std::vector<DecodedRow> rows = FirstPageRows("Notes", &cut);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at(0), u"1");
  EXPECT_FALSE(cut);
}

// Rows whose values each gather hundreds of distinct fragments: the page's rows
// stop at the page's text limit, and the page says it was cut.
TEST_F(CraftedShapesTest, APageOfHugeValuesIsCutAtItsTextLimit) {
  DatabaseSpec spec;
  std::vector<Row> rows;
  for (int i = 1; i <= 30; ++i) rows.push_back({i, Bytes{1, 2, 3}});
  spec.AddTable("Pictures", {Int("Id").NotNull(), Image("Picture")}, rows);
  const ShapeChange change = Open(spec, [](Bytes& file) { return ShapeOverlappingFragments(file); });
  ASSERT_EQ(change.pointersRewritten, 30u);
  ASSERT_EQ(change.slotsClaimed, 512u);

  // One value: 512 fragments of 3986 bytes, each read once.
  LargeValueReader reader(opened_.file.get(), LobFlags{.binary = true});
  reader.FollowLink(RootOf(change));
  const std::size_t valueBytes = reader.TakeText().size() * sizeof(char16_t);
  EXPECT_EQ(valueBytes, 512u * 3986u * 2u * sizeof(char16_t));
  EXPECT_EQ(reader.Work().linksFollowed, 513u);
  EXPECT_EQ(reader.Work().pagesRead, 2u);

  bool cut = false;
  const std::vector<DecodedRow> decoded = FirstPageRows("Pictures", &cut);
  EXPECT_TRUE(cut);
  ASSERT_FALSE(decoded.empty());
  EXPECT_LT(decoded.size(), 30u);
  std::size_t kept = 0;
  for (const DecodedRow& row : decoded)
    for (const std::u16string& text : row) kept += text.size() * sizeof(char16_t);
  EXPECT_LE(kept, kMaxPageTextBytes + valueBytes + 4096);
  EXPECT_EQ(PageCutText(PageId{1, 240}), u"Page 1:240 cut: its rows hold more than 64 MiB of text");
}

// Ten object-table pages, each with 3999 slots at one copied object row: the
// catalog keeps each object once, the first one met.
TEST_F(CraftedShapesTest, ObjectRowsRepeatedOverPagesAndSlotsGiveOneObject) {
  for (Layout layout : {Layout::kSql2005Plus, Layout::kSql2000}) {
    SCOPED_TRACE(layout == Layout::kSql2000 ? "2000" : "2005");
    const DatabaseSpec spec = DemoShop(layout);
    std::size_t plain = 0;
    {
      OpenedDatabaseFile unmodified = OpenDatabase(spec.Write(dir_.path(), "plain.mdf").primary.string(), 0, nullptr);
      ASSERT_TRUE(unmodified.opened());
      plain = unmodified.catalog->objects.size();
    }
    const ShapeChange change = Open(spec, [](Bytes& file) { return ShapeSharedObjectRow(file, 10); });
    ASSERT_EQ(change.pages.size(), 10u);
    ASSERT_GT(change.slotsClaimed, 10u * 3900u);
    const std::vector<CatalogObject>& objects = opened_.catalog->objects;
    EXPECT_EQ(objects.size(), plain);
    std::set<std::int32_t> ids;
    for (const CatalogObject& object : objects) EXPECT_TRUE(ids.insert(object.id).second) << object.id;
  }
}

}  // namespace
}  // namespace quillmark::testing
