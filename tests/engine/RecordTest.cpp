#include "engine/Record.h"

#include "engine/RecordPage.h"
#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

class RecordTest : public EngineTest {
 protected:
  // Builds a data page holding `records` and returns it parsed.
  std::unique_ptr<CDataPage> PageWith(const std::vector<Bytes>& records, DatabaseFile* file = nullptr) {
    PageBuilder builder(1, 100, 20);
    for (const Bytes& record : records) builder.AddRecord(record);
    return std::make_unique<CDataPage>(BufferOf(builder.Build()), file);
  }
  static const CRecord& At(const CDataPage& page, std::size_t slot) {
    EXPECT_LT(slot, page.records.size());
    EXPECT_NE(page.records[slot], nullptr);
    return *page.records[slot];
  }
};

TEST_F(RecordTest, SplitsAnOrdinaryRecordIntoItsParts) {
  Bytes record = RecordBuilder()
                     .Fixed({1, 2, 3, 4, 5, 6, 7, 8})
                     .Columns(9)
                     .Nulls({false, true, false, false, false, false, false, false, true})
                     .Var({'a', 'b', 'c'})
                     .Var({'d', 'e'})
                     .Build();
  auto page = PageWith({record});
  const CRecord& r = At(*page, 0);
  EXPECT_FALSE(r.invalid);
  EXPECT_EQ(r.recordType, kPrimaryRecord);
  EXPECT_EQ(r.fixedLength, 8);
  EXPECT_EQ(r.fixedData, (ByteVector{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(r.columnCount, 9);
  EXPECT_EQ(r.nullBitmap, (ByteVector{0x02, 0x01}));  // 9 columns need two bytes
  ASSERT_EQ(r.varCount, 2);
  EXPECT_EQ(r.varValues[0].bytes, (ByteVector{'a', 'b', 'c'}));
  EXPECT_EQ(r.varValues[1].bytes, (ByteVector{'d', 'e'}));
  EXPECT_EQ(r.recordEnd, static_cast<std::int32_t>(record.size()));
  EXPECT_EQ(r.recordCopy, record);
}

TEST_F(RecordTest, FixedEndFourMeansNoFixedDataAndTheCountAtOffsetFour) {
  auto page = PageWith({RecordBuilder().Columns(2).Nulls({false, false}).Var({'x'}).Var({'y'}).Build()});
  const CRecord& r = At(*page, 0);
  EXPECT_TRUE(r.fixedData.empty());
  EXPECT_EQ(r.columnCount, 2);
  EXPECT_EQ(r.varValues.size(), 2u);
}

TEST_F(RecordTest, GhostRecordsAreReadOnlyWhenDeletedRecordsAreShown) {
  Bytes ghost = RecordBuilder().Type(kGhostDataRecord).Fixed({1, 2}).Columns(1).Build();
  auto hidden = PageWith({ghost});
  EXPECT_TRUE(At(*hidden, 0).invalid);
  EXPECT_TRUE(At(*hidden, 0).hiddenGhost);

  Settings().showDeletedRecords = 1;
  auto shown = PageWith({ghost});
  EXPECT_FALSE(At(*shown, 0).invalid);
  EXPECT_FALSE(At(*shown, 0).hiddenGhost);
  EXPECT_EQ(At(*shown, 0).fixedData, (ByteVector{1, 2}));
}

TEST_F(RecordTest, RefusesRecordTypesTheEngineDoesNotRead) {
  for (int type : {3, 4, 5, 7}) {
    auto page = PageWith({RecordBuilder().Type(type).Fixed({1}).Columns(1).Build()});
    EXPECT_TRUE(At(*page, 0).invalid) << "type " << type;
  }
}

TEST_F(RecordTest, MarksComplexValuesAndParsesTheSparseVector) {
  Bytes textPointer = Concat({Bytes{0}, Repeat(0, 7), Bytes{0x10, 0, 0, 0, 1, 0, 2, 0}});
  Bytes largePointer = Concat({Bytes{2}, Repeat(0x11, 23)});
  // Sparse vector: id 5, two entries for columns 7 and 9 holding "ab" and "xyz".
  Bytes sparse = {5, 0, 2, 0, 7, 0, 9, 0, 14, 0, 17, 0, 'a', 'b', 'x', 'y', 'z'};
  auto page = PageWith({RecordBuilder()
                            .Fixed({1})
                            .Columns(4)
                            .Var(textPointer, true)
                            .Var(largePointer, true)
                            .Var(sparse, true)
                            .Build()});
  const CRecord& r = At(*page, 0);
  ASSERT_EQ(r.varValues.size(), 3u);
  EXPECT_TRUE(r.varValues[0].complex);
  EXPECT_EQ(r.varValues[0].Length(), 16);
  EXPECT_EQ(r.varValues[1].Length(), 24);
  ASSERT_NE(r.sparseVector, nullptr);
  ASSERT_EQ(r.sparseVector->count, 2);
  EXPECT_EQ(r.sparseVector->entries[0].columnId, 7);
  EXPECT_EQ(r.sparseVector->entries[0].bytes, (ByteVector{'a', 'b'}));
  EXPECT_EQ(r.sparseVector->entries[1].columnId, 9);
  EXPECT_EQ(r.sparseVector->entries[1].bytes, (ByteVector{'x', 'y', 'z'}));
}

TEST_F(RecordTest, SparseVectorMustHoldItsOwnOffsets) {
  // Ten entries need 4 + 40 bytes of ids and offsets; a 30-byte value has not got them.
  Bytes sparse = Concat({Bytes{5, 0, 10, 0}, Repeat(0xFF, 26)});
  EXPECT_EQ(ParseSparseVector(sparse), nullptr);
  auto page = PageWith({RecordBuilder().Fixed({1}).Columns(2).Var(sparse, true).Build()});
  EXPECT_EQ(At(*page, 0).sparseVector, nullptr);
  EXPECT_EQ(At(*page, 0).varValues[0].Length(), 30);
}

TEST_F(RecordTest, FixedDataReachingPastTheLengthLimitIsNotTaken) {
  // At slot offset 8100 only 92 bytes may be read; fixedEnd 94 lies past them.
  Bytes record = RecordBuilder().Fixed(Repeat(7, 90)).Columns(1).NoNullBitmap().Build();
  PageBuilder builder(1, 100, 20);
  builder.Place(8100, Bytes(record.begin(), record.begin() + 88)).AddSlot(8100);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  const CRecord& r = At(page, 0);
  EXPECT_EQ(r.fixedLength, 90);
  EXPECT_TRUE(r.fixedData.empty());
}

TEST_F(RecordTest, ColumnCountIsNotReadPastTheLimit) {
  // At offset 8100 the fixed data ends at 91, so the count would need bytes 91 and 92
  // of a record that may only be 92 bytes long: no columns and no copy.
  PageBuilder builder(1, 100, 20);
  Bytes record = RecordBuilder().Fixed(Repeat(7, 87)).Columns(3).NoNullBitmap().Build();
  builder.Place(8100, Bytes(record.begin(), record.begin() + 90)).AddSlot(8100);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  const CRecord& r = At(page, 0);
  EXPECT_EQ(r.fixedData.size(), 87u);
  EXPECT_EQ(r.columnCount, 0);
  EXPECT_TRUE(r.recordCopy.empty());
}

TEST_F(RecordTest, EndOffsetsGoingBackwardsGiveEntriesWithoutBytes) {
  Bytes record = RecordBuilder().Fixed({1, 2}).Columns(2).Var(Repeat('a', 20)).Var({'b'}).Build();
  // Count the stored layout: 4 + 2 fixed + 2 count + 1 bitmap + 2 varCount + 4 offsets = 15.
  PutU16(record, 11, 35);
  PutU16(record, 13, 30);
  auto page = PageWith({record});
  const CRecord& r = At(*page, 0);
  ASSERT_EQ(r.varValues.size(), 2u);
  EXPECT_EQ(r.varValues[0].Length(), 20);
  EXPECT_EQ(r.varValues[1].Length(), 0);
  EXPECT_EQ(r.recordEnd, 35);
}

TEST_F(RecordTest, EndOffsetsThatCannotBeReadGiveNoBytes) {
  // Three values declared by the column count, but at offset 8184 the record is
  // cut after its first end offset.
  Bytes record = RecordBuilder().Columns(3).NoNullBitmap().Var({'a'}).Var({'b'}).Var({'c'}).Build();
  PageBuilder builder(1, 100, 20);
  builder.Place(8184, Bytes(record.begin(), record.begin() + 6)).AddSlot(8184);
  CDataPage page(BufferOf(builder.Build()), nullptr);
  const CRecord& r = At(page, 0);
  EXPECT_EQ(r.varCount, 3);
  EXPECT_EQ(r.varEndOffsets.size(), 1u);
  ASSERT_EQ(r.varValues.size(), 3u);
  for (const VarValue& value : r.varValues) EXPECT_EQ(value.Length(), 0);
}

TEST_F(RecordTest, MoreVariableValuesThanColumnsDropsThePart) {
  Bytes record = RecordBuilder().Fixed({1}).Columns(1).Var({'a'}).Var({'b'}).Build();
  auto page = PageWith({record});
  const CRecord& r = At(*page, 0);
  EXPECT_EQ(r.varCount, 0);
  EXPECT_EQ(r.recordEnd, 0);
  EXPECT_TRUE(r.recordCopy.empty());
}

// ---- compressed records -----------------------------------------------------

TEST_F(RecordTest, CompressedRecordWithShortNullAndLongColumns) {
  Bytes record = CompressedRecord({.codes = {2, 0, 10}, .shortData = {0x81}, .longValues = {{'l', 'o', 'n', 'g', 'v', 'a', 'l', 'u', 'e'}}});
  auto page = PageWith({record});
  const CRecord& r = At(*page, 0);
  EXPECT_FALSE(r.invalid);
  EXPECT_TRUE(r.compressed);
  EXPECT_EQ(r.columnCount, 3);
  EXPECT_EQ(r.descriptorCodes, (std::vector<std::uint32_t>{2, 0, 10}));
  EXPECT_EQ(r.fixedData, (ByteVector{0x81}));
  EXPECT_EQ(r.varCount, 1);
  ASSERT_EQ(r.varValues.size(), 1u);
  EXPECT_EQ(r.varValues[0].bytes, (ByteVector{'l', 'o', 'n', 'g', 'v', 'a', 'l', 'u', 'e'}));
  EXPECT_EQ(r.recordEnd, static_cast<std::int32_t>(record.size()));
}

TEST_F(RecordTest, CompressedColumnCountAbove127MasksTheFlagBit) {
  CompressedRecordSpec spec;
  spec.codes.assign(203, 1);
  Bytes record = CompressedRecord(spec);
  ASSERT_EQ(record[1], 0x80);
  ASSERT_EQ(record[2], 0xCB);
  auto page = PageWith({record});
  EXPECT_EQ(At(*page, 0).columnCount, 203);
  EXPECT_EQ(At(*page, 0).descriptorCodes.size(), 203u);
}

TEST_F(RecordTest, CompressedColumnCountOutOfRangeIsInvalid) {
  for (Bytes record : {Bytes{0x01, 0x00}, Bytes{0x01, 0x84, 0x01}}) {  // 0 and 1025 columns
    auto page = PageWith({record});
    EXPECT_TRUE(At(*page, 0).invalid);
  }
}

TEST_F(RecordTest, LongDataOffsetsCutByThePageEndTakeNoValue) {
  // A long region declaring 1000 values starts 10 bytes before the page end.
  CompressedRecordSpec spec;
  spec.codes.assign(1000, 10);
  Bytes head = CompressedRecord(spec);
  head[0] = StatusA(0, false, true, true);
  Bytes record = Concat({head, Bytes{0x01, 0xE8, 0x03}, Repeat(0x02, 7)});
  std::size_t at = kPage - 2 - (record.size() - head.size()) - head.size();
  PageBuilder builder(1, 100, 20);
  builder.Place(static_cast<std::uint16_t>(at), record).AddSlot(static_cast<std::uint16_t>(at));
  CDataPage page(BufferOf(builder.Build()), nullptr);
  const CRecord& r = At(page, 0);
  EXPECT_FALSE(r.invalid);
  EXPECT_LT(r.longOffsets.size(), 1000u);
  EXPECT_TRUE(r.varValues.empty());
}

// ---- forwarding stubs -------------------------------------------------------

class ForwardingStubTest : public RecordTest {
 protected:
  std::unique_ptr<DatabaseFile> OpenFile(FileBuilder& file) {
    path_ = file.Write(dir_ / "stubs.mdf");
    auto db = DatabaseFile::Open(path_.string(), 0, nullptr);
    EXPECT_TRUE(db->opened);
    return db;
  }
  TempDir dir_;
  std::filesystem::path path_;
};

TEST_F(ForwardingStubTest, FollowsAStubToItsForwardedRecord) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  PageBuilder target(1, 100, 20);
  target.AddRecord(RecordBuilder().Fixed({9}).Columns(1).Build());
  target.AddRecord(RecordBuilder().Type(kForwardedRecord).Fixed({5, 6}).Columns(2).Var({'z'}).Build());
  file.SetPage(20, target.Build());
  PageBuilder stubs(1, 100, 21);
  stubs.AddRecord(ForwardingStub(20, 1));
  stubs.AddRecord(ForwardingStub(5000, 0));  // past the end of the file
  file.SetPage(21, stubs.Build());
  auto db = OpenFile(file);

  auto page = db->ReadDataPage(PageId{1, 21});
  ASSERT_TRUE(page);
  auto& followed = dynamic_cast<const CPrimaryRecord&>(At(*page, 0));
  EXPECT_TRUE(followed.followedStub);
  EXPECT_EQ(followed.recordType, kForwardingStub);
  EXPECT_EQ(followed.fixedData, (ByteVector{5, 6}));
  EXPECT_EQ(followed.columnCount, 2);
  ASSERT_EQ(followed.varValues.size(), 1u);
  EXPECT_EQ(followed.varValues[0].bytes, (ByteVector{'z'}));

  const CRecord& lost = At(*page, 1);
  EXPECT_FALSE(lost.invalid);
  EXPECT_EQ(lost.fixedLength, kUnreadableStubTarget);
  EXPECT_TRUE(lost.fixedData.empty());
}

TEST_F(ForwardingStubTest, StubsLeadingToStubsAreFollowedOneHopOnly) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  PageBuilder a(1, 100, 20);
  a.AddRecord(ForwardingStub(21, 0));
  a.AddRecord(ForwardingStub(20, 1));  // points at itself
  file.SetPage(20, a.Build());
  PageBuilder b(1, 100, 21);
  b.AddRecord(ForwardingStub(20, 0));
  file.SetPage(21, b.Build());
  auto db = OpenFile(file);

  for (std::int32_t number : {20, 21}) {
    auto page = db->ReadDataPage(PageId{1, number});
    ASSERT_TRUE(page);
    for (const auto& record : page->records) {
      ASSERT_TRUE(record);
      EXPECT_EQ(record->fixedLength, kUnreadableStubTarget) << "page " << number;
      EXPECT_TRUE(record->fixedData.empty());
    }
  }
}

TEST_F(ForwardingStubTest, AStubToASlotOfAPageWithoutSlotArrayIsUnreadable) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  PageBuilder target(1, 100, 20);
  for (int i = 0; i < 11; ++i) target.AddRecord(RecordBuilder().Fixed({1}).Columns(1).Build());
  target.SlotCount(5000);  // no slot array can be that long
  file.SetPage(20, target.Build());
  PageBuilder stubs(1, 100, 21);
  stubs.AddRecord(ForwardingStub(20, 10));
  file.SetPage(21, stubs.Build());
  auto db = OpenFile(file);

  auto page = db->ReadDataPage(PageId{1, 21});
  ASSERT_TRUE(page);
  EXPECT_EQ(At(*page, 0).fixedLength, kUnreadableStubTarget);
}

}  // namespace
}  // namespace quillmark::testing
