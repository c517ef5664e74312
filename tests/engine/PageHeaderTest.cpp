#include "engine/PageHeader.h"

#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

TEST(PageHeader, ReadsEveryField) {
  PageBuilder builder(1, 0x12345678, 77, 3);
  builder.IndexId(256).Level(2).TypeFlagBits(0x80).Next(78, 3).Previous(76, 3).GhostCount(1);
  builder.AddRecord(RecordBuilder().Fixed({1}).Columns(1).Build());
  Bytes page = builder.Build();
  PutU32(page, 40, static_cast<std::uint32_t>(-5));
  PutU32(page, 44, 200);
  PutU16(page, 48, 0xFFFF);
  PutU32(page, 52, 1234);
  PutU16(page, 56, 0x8000);

  CPage_Header header = CPage_Header::Parse(page);
  EXPECT_EQ(header.pageType, 1u);
  EXPECT_EQ(header.objectId, 0x12345678);
  EXPECT_EQ(header.indexId, 256);
  EXPECT_EQ(header.level, 2);
  EXPECT_EQ(header.typeFlagBits, 0x80);
  EXPECT_EQ(header.slotCount, 1);
  EXPECT_EQ(header.ghostRecordCount, 1);
  EXPECT_EQ(header.thisPage, (PageId{3, 77}));
  EXPECT_EQ(header.nextPage, (PageId{3, 78}));
  EXPECT_EQ(header.previousPage, (PageId{3, 76}));
  EXPECT_EQ(header.lsn, "( -5 : 200 : -1 )");
  EXPECT_EQ(header.transactionId, "( -32768 : 1234 )");
}

TEST(PageHeader, RestoresTornBitsOfSectorsOneToFifteen) {
  PageBuilder builder(1, 5, 9);
  builder.FlagBits(0x100).TornBits(0xFFFFFFFC);
  Bytes page = builder.Build();
  page[511] = 0xA4;  // sector 0 keeps its bits
  for (std::size_t sector = 1; sector < 16; ++sector) page[512 * sector + 511] = 0xA4;
  CPage_Header::Parse(page);
  EXPECT_EQ(page[511], 0xA4);
  for (std::size_t sector = 1; sector < 16; ++sector) EXPECT_EQ(page[512 * sector + 511], 0xA7) << sector;
}

TEST(PageHeader, LeavesPagesWithoutTheTornFlagAlone) {
  PageBuilder builder(1, 5, 9);
  builder.TornBits(0xFFFFFFFC);
  Bytes page = builder.Build();
  Bytes before = page;
  CPage_Header::Parse(page);
  EXPECT_EQ(page, before);
}

}  // namespace
}  // namespace quillmark::testing
