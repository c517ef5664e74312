#include <array>

#include "engine/DatabaseFile.h"
#include "engine/RecordPage.h"
#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

const std::array<std::string, 8> kTypeNames = {"PRIMARY_RECORD", "FORWARDED_RECORD",   "FORWARDING_STUB",
                                               "INDEX_RECORD",   "BLOB_FRAGMENT",      "GHOST_INDEX_RECORD",
                                               "GHOST_DATA_RECORD", "GHOST_VERSION_RECORD"};

std::vector<std::string> PrintedSlots(const CliRun& run) {
  EXPECT_EQ(run.code, 0) << run.err;
  std::string data = run.out.substr(0, run.out.find("\nOFFSET TABLE:"));
  return BlocksStartingWith(data, "Slot ");
}

// The data page of `db` with the most slots, among those that carry their own
// page number (junk pages left on disk do not).
PageId BusiestDataPage(DatabaseFile& db) {
  return HighestScoringPage(db.dataPages, [&db](PageId id) -> std::int64_t {
    auto header = db.ReadPageHeader(id);
    return header && header->thisPage == id ? header->slotCount : -1;
  });
}

// On every real file, the page the engine maps as a data page prints the header's
// slot count and, slot by slot, the type and column count of the engine's record.
TEST(CliPage, RealDataPagesShowTheEnginesRecords) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const RealFixtureFacts& facts : KnownRealFixtures()) {
    SCOPED_TRACE(facts.file);
    auto db = DatabaseFile::Open(RealFixture(facts.file).string(), 0, nullptr);
    ASSERT_TRUE(db->opened);
    const PageId id = BusiestDataPage(*db);
    auto page = db->ReadDataPage(id);
    ASSERT_TRUE(page && page->header);

    CliRun run = RunCommand({"page", RealFixture(facts.file).string(), std::to_string(id.pageNumber)});
    EXPECT_EQ(FieldValue(run.out, "m_slotCnt"), std::to_string(page->header->slotCount));
    EXPECT_EQ(FieldValue(run.out, "m_type"), "1");
    std::vector<std::string> slots = PrintedSlots(run);
    ASSERT_EQ(slots.size(), page->records.size());
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
      SCOPED_TRACE(slots[slot]);
      const CRecord* record = page->records[slot].get();
      if (!record || record->invalid) {
        EXPECT_NE(slots[slot].find("(record not read: "), std::string::npos);
        continue;
      }
      EXPECT_EQ(FieldValue(slots[slot], "Record Type"), kTypeNames.at(static_cast<std::size_t>(record->recordType)));
      EXPECT_EQ(FieldValue(slots[slot], "Column Count"), std::to_string(record->columnCount));
    }
  }
}

// A page whose records are known byte by byte: fixed data, null bitmap, variable
// columns (one complex) and a forwarding stub to a record on the next page.
FileBuilder DatabaseWithRecords() {
  FileBuilder file = FileBuilder::MinimalDatabase();
  PageBuilder page(1, 200, 14);
  page.IndexId(256);
  page.AddRecord(RecordBuilder().Fixed({1, 2, 3, 4}).Nulls({false, false, true}).Build());
  page.AddRecord(RecordBuilder().Fixed(Repeat(7, 8)).Columns(4).Var({'a', 'b', 'c'}).Var({'d', 'e'}).Build());
  page.AddRecord(RecordBuilder().Fixed({1, 2, 3, 4}).Columns(3).Var(Repeat(9, 16), true).Build());
  page.AddRecord(ForwardingStub(15, 0));
  PageBuilder target(1, 200, 15);
  target.IndexId(256).AddRecord(RecordBuilder().Type(1).Fixed(Repeat(5, 6)).Columns(2).Build());
  file.SetPage(14, page.Build()).SetPage(15, target.Build());
  return file;
}

TEST(CliPage, BuiltRecordsShowTheirParts) {
  BuiltDatabase db(DatabaseWithRecords());
  CliRun run = RunCommand({"page", db.path(), "1:14"});
  EXPECT_EQ(FieldValue(run.out, "m_pageId"), "(1:14)");
  EXPECT_EQ(FieldValue(run.out, "m_objId"), "200");
  EXPECT_EQ(FieldValue(run.out, "m_indexId"), "256");
  EXPECT_EQ(FieldValue(run.out, "m_slotCnt"), "4");

  struct Expected {
    std::string firstLine;
    std::string type;
    std::string attributes;
    std::string status;
    std::vector<std::pair<std::string, std::string>> fields;
  };
  const std::vector<Expected> expected = {
      {"Slot 0 Offset 0x60 Length 11", "PRIMARY_RECORD", "NULL_BITMAP", "0x10",
       {{"Fixed Data Length", "4"}, {"Column Count", "3"}, {"Null Bitmap", "04"}}},
      {"Slot 1 Offset 0x6b Length 26", "PRIMARY_RECORD", "NULL_BITMAP VARIABLE_COLUMNS", "0x30",
       {{"Fixed Data Length", "8"}, {"Column Count", "4"}, {"Variable Columns", "2"}, {"End Offsets", "24, 26"}}},
      {"Slot 2 Offset 0x85 Length 31", "PRIMARY_RECORD", "NULL_BITMAP VARIABLE_COLUMNS", "0x30",
       {{"Column Count", "3"}, {"Null Bitmap", "00"}, {"End Offsets", "31 (complex)"}}},
      {"Slot 3 Offset 0xa4 Length 9", "FORWARDING_STUB", "", "0x04",
       {{"Forwarding To", "(1:15) Slot 0"}, {"Fixed Data Length", "6"}, {"Column Count", "2"}}},
  };
  std::vector<std::string> slots = PrintedSlots(run);
  ASSERT_EQ(slots.size(), expected.size()) << run.out;
  for (std::size_t slot = 0; slot < slots.size(); ++slot) {
    SCOPED_TRACE(slots[slot]);
    EXPECT_EQ(slots[slot].substr(0, slots[slot].find('\n')), expected[slot].firstLine);
    EXPECT_EQ(FieldValue(slots[slot], "Record Type"), expected[slot].type);
    EXPECT_EQ(FieldValue(slots[slot], "Record Attributes"), expected[slot].attributes);
    EXPECT_EQ(FieldValue(slots[slot], "Status Bits"), expected[slot].status);
    for (const auto& [name, value] : expected[slot].fields) EXPECT_EQ(FieldValue(slots[slot], name), value) << name;
  }
  EXPECT_NE(run.out.find("Row - Offset\n3 (0x3) - 164 (0xa4)\n2 (0x2) - 133 (0x85)\n"), std::string::npos);
}

// Slots the engine builds no record for, or refuses, say why.
TEST(CliPage, UnreadRecordsGiveTheirReason) {
  const Bytes record = RecordBuilder().Fixed({1, 2, 3, 4}).Build();
  const Bytes ghost = RecordBuilder().Type(6).Fixed({1, 2, 3, 4}).Build();
  struct Case {
    std::string name;
    Bytes page;
    std::string reason;
  };
  std::vector<Case> cases;
  {
    PageBuilder page(2, 200, 14);
    page.Level(1).AddRecord(RecordBuilder().Type(3).Fixed({1, 2, 3, 4, 5, 6}).Build());
    cases.push_back({"non-leaf index page", page.Build(), "non-leaf index page"});
  }
  {
    PageBuilder page(1, 200, 14);
    page.AddRecord(record);
    page.AddRecord(ghost);
    cases.push_back({"ghost among live records", page.GhostCount(1).Build(), "deleted (ghost) record"});
  }
  {
    PageBuilder page(1, 200, 14);
    page.AddRecord(ghost);
    cases.push_back({"only ghosts", page.GhostCount(1).Build(), "every record on the page is a ghost"});
  }
  {
    PageBuilder page(1, 200, 14);
    page.AddSlot(40);
    cases.push_back({"slot inside the header", page.Build(), "slot offset outside 96..8191"});
  }
  {
    PageBuilder page(1, 200, 14);
    page.AddRecord(record);
    cases.push_back({"negative free count", page.FreeCount(-1).Build(),
                     "the page header holds a negative count or page number"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FileBuilder file = FileBuilder::MinimalDatabase();
    file.SetPage(14, c.page);
    BuiltDatabase db(file);
    std::vector<std::string> slots = PrintedSlots(RunCommand({"page", db.path(), "14"}));
    ASSERT_FALSE(slots.empty());
    EXPECT_NE(slots.back().find("(record not read: " + c.reason + ")"), std::string::npos) << slots.back();
  }
}

TEST(CliPage, HexDumpShowsEveryByteOfThePage) {
  BuiltDatabase db(DatabaseWithRecords());
  CliRun run = RunCommand({"page", db.path(), "14", "--hex"});
  ASSERT_EQ(run.code, 0) << run.err;
  std::size_t dump = run.out.find("MEMORY DUMP:\n\n");
  ASSERT_NE(dump, std::string::npos);
  std::string rows = run.out.substr(dump, run.out.find("\nOFFSET TABLE:") - dump);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2 + 512);
  // Slot 1 starts at 0x6b: status 0x30, fixed end 12, then the eight 07 bytes.
  EXPECT_NE(rows.find("\n0060  10 00 08 00 01 02 03 04  03 00 04 30 00 0c 00 07  |...........0....|\n"),
            std::string::npos)
      << rows;
  EXPECT_EQ(RunCommand({"page", db.path(), "14"}).out.find("MEMORY DUMP"), std::string::npos);
}

TEST(CliPage, PagesOutsideTheFileAreRefused) {
  BuiltDatabase db(FileBuilder::MinimalDatabase(16));
  for (const char* page : {"0", "16", "1:2000000000"})
    ExpectOneLineError(RunCommand({"page", db.path(), page}), "cannot be read: outside the file (pages 1 to 15");
  ExpectOneLineError(RunCommand({"page", db.path(), "3:5"}), "page (3:5) cannot be read: the database has no file");
}

}  // namespace
}  // namespace quillmark::testing
