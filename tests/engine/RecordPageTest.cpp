#include "engine/RecordPage.h"

#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

Bytes SimpleRecord(std::uint8_t value = 1) { return RecordBuilder().Fixed({value}).Columns(1).Build(); }

// Stands in for the record listing: reports a column count and counts rebuilds.
class RecordingRebuilder : public CompressedRecordRebuilder {
 public:
  explicit RecordingRebuilder(int columns) : columns_(columns) {}
  int ColumnCount() const override { return columns_; }
  void Rebuild(CPrimaryRecord&, const PrimaryRecordPage&) override { ++rebuilds; }
  int rebuilds = 0;

 private:
  int columns_;
};

class RecordPageTest : public EngineTest {};

TEST_F(RecordPageTest, ReadsTheSlotArrayBackwardsFromThePageEnd) {
  PageBuilder builder(1, 100, 20);
  std::uint16_t first = builder.AddRecord(SimpleRecord(1));
  std::uint16_t second = builder.AddRecord(SimpleRecord(2));
  Bytes page = builder.Build();
  EXPECT_EQ(ReadSlotOffsets(page, 2), (std::vector<std::uint16_t>{first, second}));
  CDataPage parsed(BufferOf(page), nullptr);
  ASSERT_EQ(parsed.records.size(), 2u);
  EXPECT_EQ(parsed.records[1]->fixedData, (ByteVector{2}));
  EXPECT_TRUE(parsed.slotOffsets.empty());  // released once the records are built
}

TEST_F(RecordPageTest, SlotCountsWithoutASlotArrayGiveNoRecords) {
  for (int count : {0, -1, 4000, 4001}) {
    PageBuilder builder(1, 100, 20);
    builder.AddRecord(SimpleRecord());
    builder.SlotCount(static_cast<std::int16_t>(count));
    CDataPage page(BufferOf(builder.Build()), nullptr);
    EXPECT_TRUE(page.records.empty()) << "slotCount " << count;
  }
}

TEST_F(RecordPageTest, NegativeHeaderFieldsSkipThePage) {
  using Damage = void (*)(PageBuilder&);
  const std::vector<std::pair<const char*, Damage>> damages = {
      {"ghost count", [](PageBuilder& b) { b.GhostCount(-1); }},
      {"free count", [](PageBuilder& b) { b.FreeCount(-1); }},
      {"next page", [](PageBuilder& b) { b.Next(-1); }},
      {"previous page", [](PageBuilder& b) { b.Previous(-7); }},
      {"this page", [](PageBuilder& b) { b.ThisPage(-2); }},
  };
  for (const auto& [name, damage] : damages) {
    PageBuilder builder(1, 100, 20);
    builder.AddRecord(SimpleRecord());
    damage(builder);
    CDataPage page(BufferOf(builder.Build()), nullptr);
    EXPECT_TRUE(page.records.empty()) << name;
  }
}

TEST_F(RecordPageTest, AllGhostPageIsHiddenUnlessDeletedRecordsAreShown) {
  PageBuilder builder(1, 100, 20);
  builder.AddRecord(SimpleRecord());
  builder.AddRecord(SimpleRecord());
  builder.GhostCount(2);
  Bytes page = builder.Build();
  CDataPage hidden(BufferOf(page), nullptr);
  ASSERT_EQ(hidden.records.size(), 2u);
  EXPECT_EQ(hidden.records[0], nullptr);
  EXPECT_EQ(hidden.records[1], nullptr);

  Settings().showDeletedRecords = 1;
  CDataPage shown(BufferOf(page), nullptr);
  ASSERT_EQ(shown.records.size(), 2u);
  EXPECT_NE(shown.records[0], nullptr);
}

TEST_F(RecordPageTest, NonLeafIndexPagesBuildNoRecords) {
  PageBuilder builder(2, 100, 20);
  builder.AddRecord(SimpleRecord());
  builder.Level(1);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  ASSERT_EQ(page.records.size(), 1u);
  EXPECT_EQ(page.records[0], nullptr);
}

TEST_F(RecordPageTest, SlotOffsetsOutsideTheRecordAreaGiveNullEntries) {
  PageBuilder builder(1, 100, 20);
  builder.AddRecord(SimpleRecord());
  builder.AddSlot(40).AddSlot(0).AddSlot(8192);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  ASSERT_EQ(page.records.size(), 4u);
  EXPECT_NE(page.records[0], nullptr);
  EXPECT_EQ(page.records[1], nullptr);
  EXPECT_EQ(page.records[2], nullptr);
  EXPECT_EQ(page.records[3], nullptr);
}

TEST_F(RecordPageTest, OneSlotFormBuildsOnlyThatSlot) {
  PageBuilder builder(1, 100, 20);
  builder.AddRecord(SimpleRecord(1));
  builder.AddRecord(SimpleRecord(2));
  Bytes page = builder.Build();
  PrimaryRecordPage second(BufferOf(page), nullptr, 1);
  ASSERT_EQ(second.records.size(), 1u);
  EXPECT_EQ(second.records[0]->fixedData, (ByteVector{2}));
  for (int unusable : {2, -1}) {
    PrimaryRecordPage none(BufferOf(page), nullptr, unusable);
    ASSERT_EQ(none.records.size(), 1u);
    EXPECT_EQ(none.records[0], nullptr);
  }
}

// ---- compression information ------------------------------------------------

// The worked example of a page-compressed page: (city varchar, qty int) with the
// anchor ('Copenhagen', 1001) and a one-entry dictionary holding "Co" + "logne".
Bytes AnchorExample() {
  return {0x21, 0x02, 0x3A, 0x83, 0xE9, 0x01, 0x01, 0x00, 0x0A, 0x00,
          'C',  'o',  'p',  'e',  'n',  'h',  'a',  'g',  'e',  'n'};
}
Bytes DictionaryExample() { return {0x01, 0x00, 0x0A, 0x00, 0x02, 'l', 'o', 'g', 'n', 'e'}; }

TEST_F(RecordPageTest, ReadsAnchorValuesAndDictionary) {
  RecordingRebuilder listing(2);
  Settings().listingContext = &listing;
  PageBuilder builder(1, 100, 20);
  builder.CompressionInfo(0x06, 27, 37, Concat({AnchorExample(), DictionaryExample()}));
  builder.AddRecord(CompressedRecord({.codes = {1, 3}, .shortData = {0x01, 0xEA}}));
  CDataPage page(BufferOf(builder.Build()), nullptr);

  EXPECT_TRUE(page.hasAnchor);
  EXPECT_TRUE(page.hasDictionary);
  ASSERT_NE(page.anchor, nullptr);
  EXPECT_FALSE(page.anchor->invalid);
  ASSERT_EQ(page.anchorValues.size(), 2u);
  EXPECT_EQ(page.anchorValues[0], (ByteVector{'C', 'o', 'p', 'e', 'n', 'h', 'a', 'g', 'e', 'n'}));
  EXPECT_EQ(page.anchorValues[1], (ByteVector{0x83, 0xE9}));
  ASSERT_EQ(page.dictionaryEntries.size(), 1u);
  EXPECT_EQ(page.dictionaryEntries[0], (ByteVector{0x02, 'l', 'o', 'g', 'n', 'e'}));
  ASSERT_EQ(page.records.size(), 1u);
  EXPECT_FALSE(page.records[0]->invalid);
  EXPECT_EQ(listing.rebuilds, 1);
}

TEST_F(RecordPageTest, AnchorValuesStayInColumnOrder) {
  RecordingRebuilder listing(4);
  Settings().listingContext = &listing;
  // Codes 12 (a symbol byte), 13 (unknown), 2 and 0: every column keeps its own
  // entry, and the symbol's byte is not taken for the next column.
  Bytes anchor = {0x01, 0x04, 0xDC, 0x02, 0x07, 0x41};
  PageBuilder builder(1, 100, 20);
  builder.CompressionInfo(0x06, 0, 20, anchor);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  ASSERT_EQ(page.anchorValues.size(), 4u);
  EXPECT_TRUE(page.anchorValues[0].empty());
  EXPECT_TRUE(page.anchorValues[1].empty());
  EXPECT_EQ(page.anchorValues[2], (ByteVector{0x41}));
  EXPECT_TRUE(page.anchorValues[3].empty());
}

TEST_F(RecordPageTest, CompressedRecordsAreRebuiltOnlyWithAListingAndNotForSql2000) {
  PageBuilder builder(1, 100, 20);
  builder.AddRecord(CompressedRecord({.codes = {2}, .shortData = {0x81}}));
  builder.AddRecord(SimpleRecord());
  Bytes page = builder.Build();
  CDataPage withoutListing(BufferOf(page), nullptr);
  EXPECT_FALSE(withoutListing.records[0]->invalid);

  RecordingRebuilder listing(1);
  Settings().listingContext = &listing;
  CDataPage listed(BufferOf(page), nullptr);
  EXPECT_EQ(listing.rebuilds, 1);  // the ordinary record is left alone

  Settings().isSql2000 = 1;
  CDataPage sql2000(BufferOf(page), nullptr);
  EXPECT_EQ(listing.rebuilds, 1);
}

TEST_F(RecordPageTest, CompressionFlagWithoutSizeIsAnOrdinaryPage) {
  PageBuilder builder(1, 100, 20);
  builder.CompressionInfo(0x06, 0, 0, {});
  builder.AddRecord(SimpleRecord());
  CDataPage page(BufferOf(builder.Build()), nullptr);
  EXPECT_FALSE(page.hasAnchor);
  EXPECT_EQ(page.anchor, nullptr);
  ASSERT_EQ(page.records.size(), 1u);
  EXPECT_FALSE(page.records[0]->invalid);
}

TEST_F(RecordPageTest, DictionaryOffsetsStopAtThePageEnd) {
  // 65535 entries declared, all end offsets 0: offsets are read only while they
  // lie on the page, and none of them makes an entry.
  Bytes anchor = CompressedRecord({.codes = {2}, .shortData = {0x81}});
  auto dictionaryOffset = static_cast<std::uint16_t>(7 + anchor.size());
  PageBuilder builder(1, 100, 20);
  builder.CompressionInfo(0x06, dictionaryOffset, 4000, Concat({anchor, Bytes{0xFF, 0xFF}}));
  CDataPage page(BufferOf(builder.Build()), nullptr);
  ASSERT_NE(page.anchor, nullptr);
  EXPECT_FALSE(page.anchor->invalid);
  EXPECT_TRUE(page.dictionaryEntries.empty());
  EXPECT_EQ(page.dictionaryEndOffsets.size(), (kPage - (96 + dictionaryOffset + 2)) / 2);
}

TEST_F(RecordPageTest, AnchorIsReadInsideThePageWhateverItsStatedSize) {
  RecordingRebuilder listing(3);
  Settings().listingContext = &listing;
  // A stated size of 0xFFFF; the anchor's long region claims values up to the page end.
  Bytes anchor = {0x21, 0x03, 0xAA, 0x0A, 0x01, 0x03, 0x00, 0xFF, 0x1F, 0xFF, 0x1F, 0xFF, 0x1F};
  PageBuilder builder(1, 100, 20);
  builder.CompressionInfo(0x06, 0, 0xFFFF, anchor);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  ASSERT_NE(page.anchor, nullptr);
  EXPECT_EQ(page.anchor->lengthLimit, static_cast<std::int32_t>(kPage - 103));
  EXPECT_EQ(page.anchorValues.size(), 3u);
}

TEST_F(RecordPageTest, AnchorValuesAreTakenOnlyFromTheShortDataThereIs) {
  RecordingRebuilder listing(2);
  Settings().listingContext = &listing;
  // Codes 9, 9 want 16 short bytes; the anchor has room for 2.
  Bytes anchor = {0x01, 0x02, 0x99, 0x41, 0x42};
  PageBuilder builder(1, 100, 20);
  builder.CompressionInfo(0x06, 0, 12, anchor);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  ASSERT_NE(page.anchor, nullptr);
  EXPECT_FALSE(page.anchor->invalid);
  EXPECT_TRUE(page.anchor->fixedData.empty());
  ASSERT_EQ(page.anchorValues.size(), 2u);
  EXPECT_TRUE(page.anchorValues[0].empty());
  EXPECT_TRUE(page.anchorValues[1].empty());
}

}  // namespace
}  // namespace quillmark::testing
