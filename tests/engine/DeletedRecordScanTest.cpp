#include <random>

#include "engine/RecordPage.h"
#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

// A record whose first bytes are the scan's signature: null bitmap, variable
// columns and a 128-byte fixed part.
Bytes SignatureRecord(std::uint8_t fill, int type = 0) {
  return RecordBuilder().Type(type).Fixed(Repeat(fill, 128)).Columns(3).Var({fill, fill}).Build();
}

class DeletedRecordScanTest : public EngineTest {
 protected:
  void ShowAllDeleted() {
    Settings().showDeletedRecords = 1;
    Settings().showAdvancedDeletedRecords = 1;
  }
};

TEST_F(DeletedRecordScanTest, RecordsWithoutGapsKeepTheSlotArray) {
  PageBuilder builder(1, 100, 20);
  std::vector<std::uint16_t> offsets;
  for (std::uint8_t fill : {std::uint8_t{1}, std::uint8_t{2}, std::uint8_t{3}}) offsets.push_back(builder.AddRecord(SignatureRecord(fill)));
  ShowAllDeleted();
  CDataPage page(BufferOf(builder.Build()), nullptr);
  EXPECT_EQ(page.recordStarts, (std::vector<std::int32_t>(offsets.begin(), offsets.end())));
  ASSERT_EQ(page.records.size(), 3u);
  EXPECT_EQ(page.records[2]->fixedData, Repeat(3, 128));
}

TEST_F(DeletedRecordScanTest, FindsARecordTheSlotArrayNoLongerLists) {
  PageBuilder builder(1, 100, 20);
  std::uint16_t first = builder.AddRecord(SignatureRecord(1));
  std::uint16_t deleted = static_cast<std::uint16_t>(first + SignatureRecord(1).size());
  builder.Place(deleted, SignatureRecord(2, kGhostDataRecord));
  std::uint16_t third = static_cast<std::uint16_t>(deleted + SignatureRecord(2).size());
  builder.Place(third, SignatureRecord(3)).AddSlot(third);
  Bytes bytes = builder.Build();

  CDataPage plain(BufferOf(bytes), nullptr);
  EXPECT_EQ(plain.records.size(), 2u);

  ShowAllDeleted();
  CDataPage scanned(BufferOf(bytes), nullptr);
  EXPECT_EQ(scanned.recordStarts, (std::vector<std::int32_t>{first, third, deleted}));
  EXPECT_EQ(scanned.header->slotCount, 3);
  ASSERT_EQ(scanned.records.size(), 3u);
  EXPECT_EQ(scanned.records[2]->recordType, kGhostDataRecord);
  EXPECT_FALSE(scanned.records[2]->invalid);
  EXPECT_EQ(scanned.records[2]->fixedData, Repeat(2, 128));
  EXPECT_FALSE(scanned.scannedRecords.empty());
}

TEST_F(DeletedRecordScanTest, RunsOnlyWithBothSwitches) {
  PageBuilder builder(1, 100, 20);
  builder.AddRecord(SignatureRecord(1));
  Settings().showDeletedRecords = 1;
  CDataPage page(BufferOf(builder.Build()), nullptr);
  EXPECT_TRUE(page.recordStarts.empty());
  EXPECT_TRUE(page.scannedRecords.empty());
}

TEST_F(DeletedRecordScanTest, StaysInsideRandomAndSignatureFilledPages) {
  ShowAllDeleted();
  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    Bytes page(kPage);
    for (auto& byte : page) byte = static_cast<std::uint8_t>(random());
    if (round % 2 == 1)  // signatures everywhere, the last one in the final four bytes
      for (std::size_t at = 96; at + 4 <= kPage; at += 4) PutBytes(page, at, {0x30, 0x00, 0x84, 0x00});
    page[1] = 1;
    PutU32(page, 32, 20);
    CDataPage parsed(BufferOf(page), nullptr);
    EXPECT_LE(parsed.records.size(), 8192u);
  }
}

}  // namespace
}  // namespace quillmark::testing
