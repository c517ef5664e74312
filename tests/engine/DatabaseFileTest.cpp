#include "engine/DatabaseFile.h"

#include <random>

#include "engine/BootPage.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "engine/TextMixPage.h"
#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

using platform::RecordingTarget;
using platform::WM_APP_FATAL;
using platform::WM_APP_PANEL_TEXT;
using platform::WM_APP_PROGRESS_POS;
using platform::WM_APP_PROGRESS_RANGE;

class DatabaseFileTest : public EngineTest {
 protected:
  std::unique_ptr<DatabaseFile> Open(const std::filesystem::path& path) {
    return DatabaseFile::Open(path.string(), 0, &target_);
  }
  std::unique_ptr<DatabaseFile> Open(const FileBuilder& file, std::size_t prefix = 0, std::size_t suffix = 0) {
    return Open(file.Write(dir_ / "db.mdf", prefix, suffix));
  }
  std::vector<std::string> Fatal() const { return target_.Texts(WM_APP_FATAL); }

  TempDir dir_;
  RecordingTarget target_;
};

TEST_F(DatabaseFileTest, RefusesWhatIsNotADatabaseFile) {
  std::mt19937 random(7);
  Bytes noise(64 * kPage);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  WriteFile(dir_ / "short", Repeat(0, 5000));
  WriteFile(dir_ / "empty", {});
  WriteFile(dir_ / "noise", noise);
  std::filesystem::create_directory(dir_ / "folder");

  const std::vector<std::pair<std::string, const char*>> cases = {
      {"short", kNotValidMdf}, {"empty", kNotValidMdf}, {"noise", kNotValidMdf},
      {"folder", kFileCannotBeOpen}, {"missing", kFileCannotBeOpen}};
  for (const auto& [name, message] : cases) {
    target_.messages.clear();
    auto db = Open(dir_ / name);
    EXPECT_FALSE(db->opened) << name;
    EXPECT_EQ(Fatal(), std::vector<std::string>{message}) << name;
  }
}

TEST_F(DatabaseFileTest, OpensAndMapsPagesByTheOwnerInTheirHeader) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  file.SetPage(20, IamPageBytes({.pageNumber = 20, .objectId = 500}));
  PageBuilder data(1, 500, 21);
  data.AddRecord(RecordBuilder().Fixed({1}).Columns(1).Build());
  file.SetPage(21, data.Build());
  auto db = Open(file);

  ASSERT_TRUE(db->opened);
  EXPECT_EQ(db->pageCount, 24u);
  EXPECT_EQ(db->baseOffset, 0u);
  EXPECT_EQ(db->SystemPages(7), (PageList{{1, 10, 1}}));
  EXPECT_EQ(db->SystemPages(34), (PageList{{1, 11, 1}}));
  EXPECT_EQ(db->DataPages(500), (PageList{{1, 21, 1}}));
  EXPECT_EQ(db->IamPages(500), (PageList{{1, 20, 10}}));
  EXPECT_EQ(db->DataPages(7), (PageList{{1, 10, 1}}));  // a system data page is in both maps
  EXPECT_TRUE(db->DataPages(12345).empty());
  EXPECT_TRUE(Fatal().empty());

  // What a user sees: the checks, then the mapping pass, with progress.
  EXPECT_EQ(target_.Texts(WM_APP_PANEL_TEXT),
            (std::vector<std::string>{kCheckingCorruption, kCheckingCorruptionDone, kMappingObjects, kMappingDone}));
  EXPECT_EQ(target_.messages.front().id, WM_APP_PANEL_TEXT);
  EXPECT_EQ(target_.Count(WM_APP_PROGRESS_RANGE), 2u);
  EXPECT_EQ(target_.messages.back().text, kMappingDone);
}

TEST_F(DatabaseFileTest, UserAllocationUnitsDoNotPassForSystemTables) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  // A user table whose allocation unit counter is 34, like sysschobjs's id.
  for (std::int32_t position : {20, 21}) {
    PageBuilder page(1, 34, position);
    page.IndexId(256).AddRecord(RecordBuilder().Fixed({9, 9}).Columns(1).Build());
    file.SetPage(static_cast<std::size_t>(position), page.Build());
  }
  file.SetPage(22, IamPageBytes({.pageNumber = 22, .objectId = 34, .indexId = 256}));
  auto db = Open(file);
  ASSERT_TRUE(db->opened);
  EXPECT_EQ(db->SystemPages(34), (PageList{{1, 11, 1}}));
  EXPECT_EQ(db->DataPages(34), (PageList{{1, 11, 1}}));
  EXPECT_EQ(db->DataPages(-35), (PageList{{1, 20, 1}, {1, 21, 1}}));
  EXPECT_EQ(db->IamPages(-35), (PageList{{1, 22, 10}}));
  EXPECT_EQ(PageMapKey(34, 256), -35);
  EXPECT_EQ(PageMapKey(34, 255), 34);
  // Allocation unit id of index id 256 and object field 34, as the catalog stores it.
  EXPECT_EQ(AllocationUnitPageKey((256LL << 48) | (34LL << 16)), -35);
  EXPECT_EQ(AllocationUnitPageKey((1LL << 48) | (34LL << 16)), 34);
}

TEST_F(DatabaseFileTest, FindsPageZeroBehindAPrefixOrBeforeASuffix) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  auto plain = Open(file);
  for (auto [prefix, suffix, base] : {std::tuple<std::size_t, std::size_t, std::uint64_t>{3000, 0, 3000}, {0, 3000, 0}}) {
    auto db = DatabaseFile::Open(file.Write(dir_ / "shifted.mdf", prefix, suffix).string(), 0, nullptr);
    ASSERT_TRUE(db->opened);
    EXPECT_EQ(db->baseOffset, base);
    EXPECT_EQ(db->pageCount, 24u);
    EXPECT_EQ(db->systemPages, plain->systemPages);
    PageBuffer page = db->ReadPage(PageId{1, 11});
    ASSERT_TRUE(page);
    EXPECT_EQ(CPage_Header::Parse(std::span<std::uint8_t>(page.get(), kPageSize)).objectId, 34);
  }
}

TEST_F(DatabaseFileTest, ReadsOnlyPagesInsideTheirFile) {
  auto db = Open(FileBuilder::MinimalDatabase(24));
  EXPECT_FALSE(db->ReadPage(PageId{1, 0}));
  EXPECT_FALSE(db->ReadPage(PageId{1, 24}));
  EXPECT_FALSE(db->ReadPage(PageId{1, -1}));
  EXPECT_FALSE(db->ReadPage(PageId{0, 5}));
  EXPECT_FALSE(db->ReadPage(PageId{3, 5}));
  PageBuffer last = db->ReadPage(PageId{1, 23});
  ASSERT_TRUE(last);
  EXPECT_EQ(last[kPageSize], 0);  // the extra byte after the page
}

TEST_F(DatabaseFileTest, ReadsASecondaryFileForEachRead) {
  auto db = Open(FileBuilder::MinimalDatabase(24));
  FileBuilder secondary(8);
  secondary.SetPage(5, PageBuilder(1, 4242, 5, 3).Build());
  std::filesystem::path path = secondary.Write(dir_ / "db_2.ndf");
  db->secondaryFiles[3] = SecondaryFile{3, "second", path.string(), 8 * kPage, 8, 0};

  auto header = db->ReadPageHeader(PageId{3, 5});
  ASSERT_TRUE(header);
  EXPECT_EQ(header->objectId, 4242);
  EXPECT_FALSE(db->ReadPage(PageId{3, 8}));
  std::filesystem::remove(path);  // nothing keeps it open
  EXPECT_FALSE(db->ReadPage(PageId{3, 5}));
  db->secondaryFiles[3].path.clear();
  EXPECT_FALSE(db->ReadPage(PageId{3, 5}));
}

TEST_F(DatabaseFileTest, BootPageAllowsForShiftedPageNumbers) {
  Settings().collationMap = {{872468488, {"SQL_Latin1_General_CP1_CI_AS", 1252}}};
  // Object 7's first page at position 10 says it is page 13: every page sits
  // three places early, so the boot page is at position 6.
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  file.SetPage(6, BootPageBytes({.version = 782, .name = Utf16(u"shifted")}));
  Bytes seven = file.Page(10);
  PutU32(seven, 32, 13);
  file.SetPage(10, seven);
  auto db = Open(file);
  db->ReadBootPage();
  EXPECT_EQ(db->databaseName, u"shifted");
  EXPECT_EQ(Settings().versionText, " SQL Server 2014");
  EXPECT_EQ(Settings().collationName, "SQL_Latin1_General_CP1_CI_AS");
}

TEST_F(DatabaseFileTest, BootPageWithoutItsOwnersIsPageNine) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  file.SetPage(9, BootPageBytes({.name = Utf16(u"nine")}));
  file.SetPage(10, PageBuilder(0, 0, 10).Build());  // no page of object 7
  file.SetPage(12, PageBuilder(0, 0, 12).Build());  // nor of object 41
  auto db = Open(file);
  ASSERT_TRUE(db->opened);
  db->ReadBootPage();
  EXPECT_EQ(db->databaseName, u"nine");
}

TEST_F(DatabaseFileTest, BootPageShiftFromAGarbageHeaderIsRefused) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  Bytes seven = file.Page(10);
  PutU32(seven, 32, 0x80000000u);  // the shift would overflow a 32-bit subtraction
  file.SetPage(10, seven);
  auto db = Open(file);
  db->ReadBootPage();
  EXPECT_EQ(db->databaseName, u"");
  EXPECT_EQ(db->LocateBootPage(), nullptr);
  EXPECT_EQ(Settings().versionText, "");
}

TEST_F(DatabaseFileTest, StopDuringMappingFailsQuietly) {
  FileBuilder file = FileBuilder::MinimalDatabase(400);
  bool mapping = false;
  target_.onSend = [&mapping](const RecordingTarget::Message& message) {
    if (message.id == WM_APP_PANEL_TEXT && message.text == kMappingObjects) mapping = true;
    if (mapping && message.id == WM_APP_PROGRESS_POS && message.wParam >= 200) Settings().stopRequested = 1;
  };
  auto db = Open(file);
  EXPECT_FALSE(db->opened);
  EXPECT_TRUE(Fatal().empty());
  EXPECT_EQ(Settings().stopRequested, 0);
  EXPECT_FALSE(db->systemPages.empty());  // the pass had found system pages before the stop
}

TEST_F(DatabaseFileTest, PageObjectsOwnTheirBuffers) {
  auto db = Open(FileBuilder::MinimalDatabase(24));
  auto first = db->ReadDataPage(PageId{1, 10});
  auto second = db->ReadIamPage(PageId{1, 11});
  ASSERT_TRUE(first && second);
  first.reset();
  second.reset();
  db.reset();  // AddressSanitizer reports any buffer freed twice or kept
}

TEST_F(DatabaseFileTest, TextPageReadCorrectsShiftsWithoutOverflow) {
  FileBuilder file = FileBuilder::MinimalDatabase(24);
  Bytes garbage = PageBuilder(3, 0, std::numeric_limits<std::int32_t>::min()).Build();
  file.SetPage(5, garbage);
  // Page 15 calls itself 14: the page asked for as 15 is stored at 16.
  file.SetPage(15, PageBuilder(3, 0, 14).Build());
  PageBuilder text(3, 0, 15);
  text.AddRecord(Concat({Bytes{0x08, 0x00, 0x14, 0x00}, Repeat(0x11, 8), Bytes{0x03, 0x00}, Repeat('t', 6)}));
  file.SetPage(16, text.Build());
  auto db = Open(file);

  EXPECT_EQ(db->ReadTextPage(PageId{1, 5}), nullptr);
  auto page = db->ReadTextPage(PageId{1, 15});
  ASSERT_TRUE(page);
  ASSERT_EQ(page->records.size(), 1u);
  auto& record = dynamic_cast<const TextRecord&>(*page->records[0]);
  EXPECT_EQ(record.fragmentType, 3);
  EXPECT_EQ(record.bodyLength, 6);
  EXPECT_EQ(record.blobId, 0x1111111111111111ULL);
}

TEST_F(DatabaseFileTest, TextFragmentReachingPastThePageIsNotTaken) {
  PageBuilder text(3, 0, 15);
  Bytes fragment = Concat({Bytes{0x08, 0x00, 0x5E, 0x00}, Repeat(0x11, 8), Bytes{0x03, 0x00}, Repeat('t', 76)});
  text.Place(8100, fragment).AddSlot(8100);  // fixedEnd 94, only 92 bytes to the page end
  TextMixPage page(BufferOf(text.Build()), nullptr);
  ASSERT_EQ(page.records.size(), 1u);
  EXPECT_TRUE(page.records[0]->fixedData.empty());
  EXPECT_EQ(dynamic_cast<const TextRecord&>(*page.records[0]).bodyLength, 0);
}

TEST_F(DatabaseFileTest, SnapshotModeTakesTheMapsFromTheLoader) {
  Settings().snapshotMode = 1;
  Settings().snapshotPath = "saved.MDBKSM";
  auto refused = Open(FileBuilder::MinimalDatabase(24));  // no loader installed
  EXPECT_FALSE(refused->opened);

  DatabaseFile::SetSnapshotLoader([](const std::string& path, DatabaseFile& db) {
    EXPECT_EQ(path, "saved.MDBKSM");
    db.dataPages[500] = {{1, 21, 1}};
    return true;
  });
  auto onlyData = Open(FileBuilder::MinimalDatabase(24));
  EXPECT_FALSE(onlyData->opened);

  DatabaseFile::SetSnapshotLoader([](const std::string&, DatabaseFile& db) {
    db.systemPages[34] = {{1, 11, 1}};
    return true;
  });
  target_.messages.clear();
  auto loaded = Open(FileBuilder::MinimalDatabase(24));
  EXPECT_TRUE(loaded->opened);
  EXPECT_EQ(target_.Texts(WM_APP_PANEL_TEXT).back(), kSnapshotLoaded);
  EXPECT_EQ(loaded->SystemPages(7).size(), 0u);  // nothing was mapped from the file
}

}  // namespace
}  // namespace quillmark::testing
