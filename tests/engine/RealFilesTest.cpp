// The page layer on real files written by SQL Server 2000 to 2019.

#include <fstream>
#include <iterator>

#include "engine/BootPage.h"
#include "engine/CollationList.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "engine/TextMixPage.h"
#include "tests/engine/EngineTest.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Page types whose records are ordinary records the engine reads: data, IAM,
// allocation bitmaps, boot page and file header.
bool HoldsOrdinaryRecords(std::uint32_t type) {
  return type == 1 || type == 8 || type == 9 || type == 10 || type == 11 || type == 13 || type == 15 || type == 16 ||
         type == 17;
}

class RealFilesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    LoadCollationList();
  }
  std::unique_ptr<DatabaseFile> Open(const std::filesystem::path& path) {
    auto db = DatabaseFile::Open(path.string(), 0, nullptr);
    EXPECT_TRUE(db->opened) << path;
    return db;
  }
};

TEST_F(RealFilesTest, EveryFileOpensWithWhatItsReadmeStates) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const RealFixtureFacts& facts : KnownRealFixtures()) {
    SCOPED_TRACE(facts.file);
    std::filesystem::path path = RealFixture(facts.file);
    ASSERT_TRUE(std::filesystem::exists(path));
    auto db = Open(path);
    EXPECT_EQ(db->fileLength, std::filesystem::file_size(path));
    EXPECT_EQ(db->pageCount, static_cast<std::uint64_t>(facts.pageCount));
    EXPECT_EQ(db->pageCount, db->fileLength / kPageSize);
    EXPECT_EQ(db->baseOffset, 0u);
    const std::vector<std::int32_t> owners =
        facts.version == 539 ? std::vector<std::int32_t>{1, 3} : std::vector<std::int32_t>{7, 34, 41};
    for (std::int32_t owner : owners) EXPECT_FALSE(db->SystemPages(owner).empty()) << "object " << owner;

    auto boot = db->LocateBootPage();
    ASSERT_TRUE(boot);
    EXPECT_EQ(boot->version, facts.version);
    EXPECT_EQ(boot->createVersion, facts.createVersion);
    EXPECT_EQ(boot->collation, facts.collationId);
    db->ReadBootPage();
    EXPECT_EQ(db->databaseName, facts.databaseName);
    EXPECT_EQ(Settings().versionText, VersionText(static_cast<std::uint16_t>(facts.version)));
    EXPECT_EQ(Settings().collationKnown, 1);
    EXPECT_EQ(Settings().collationId, facts.collationId);
  }
}

TEST_F(RealFilesTest, EveryMappedPageReadsAndParses) {
  QM_REQUIRE_REAL_FIXTURES();
  for (bool deleted : {false, true}) {
    Settings().showDeletedRecords = deleted;
    Settings().showAdvancedDeletedRecords = deleted;
    for (const std::filesystem::path& path : RealFixtureFiles()) {
      SCOPED_TRACE(path.filename().string());
      auto db = Open(path);
      std::size_t pages = 0;
      for (const PageMap* map : {&db->systemPages, &db->dataPages, &db->iamPages}) {
        for (const auto& [key, entries] : *map) {
          for (const PageEntry& entry : entries) {
            PageId id = entry.Page();
            if (id.fileId != kPrimaryFileId || id.pageNumber == 0) continue;  // junk ids, page 0
            ASSERT_TRUE(db->ReadDataPage(id)) << id.pageNumber;
            if (entry.pageType == kIamPageType) db->ReadIamPage(id)->AllocatedPages();
            if (entry.pageType == 3 || entry.pageType == 4) db->ReadTextPage(id);
            ++pages;
          }
        }
      }
      EXPECT_GT(pages, 0u);
    }
  }
}

TEST_F(RealFilesTest, EveryRecordOfTheSystemTablesIsValid) {
  QM_REQUIRE_REAL_FIXTURES();
  Settings().showDeletedRecords = 1;  // ghosts of deleted catalog rows are records too
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    auto db = Open(path);
    std::size_t records = 0;
    for (const auto& [objectId, entries] : db->systemPages) {
      for (const PageEntry& entry : entries) {
        if (!HoldsOrdinaryRecords(entry.pageType) || entry.fileId != kPrimaryFileId || entry.pageNumber == 0) continue;
        auto page = db->ReadDataPage(entry.Page());
        ASSERT_TRUE(page);
        ASSERT_EQ(page->records.size(), static_cast<std::size_t>(page->header->slotCount)) << entry.pageNumber;
        for (std::size_t slot = 0; slot < page->records.size(); ++slot) {
          const auto& record = page->records[slot];
          ASSERT_TRUE(record) << "page " << entry.pageNumber << " slot " << slot;
          EXPECT_FALSE(record->invalid) << "page " << entry.pageNumber << " slot " << slot;
          ++records;
        }
      }
    }
    EXPECT_GT(records, 100u);
  }
}

TEST_F(RealFilesTest, UserPagesOfLaterFilesStayOutOfTheSystemMap) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const RealFixtureFacts& facts : KnownRealFixtures()) {
    if (facts.version < 611) continue;
    SCOPED_TRACE(facts.file);
    auto db = Open(RealFixture(facts.file));
    for (const auto& [objectId, entries] : db->systemPages) {
      for (const PageEntry& entry : entries) {
        if (auto header = db->ReadPageHeader(entry.Page())) {
          EXPECT_LT(header->indexId, 256) << entry.pageNumber;
        }
      }
    }
    std::size_t userPages = 0;
    for (const auto& [key, entries] : db->dataPages) userPages += key < 0 ? entries.size() : 0;
    if (facts.version >= 706) {
      EXPECT_GT(userPages, 0u);
    }
  }
}

TEST_F(RealFilesTest, TornPagesReadAsWritten) {
  QM_REQUIRE_REAL_FIXTURES();
  auto db = Open(RealFixture("sql2000_northwind.mdf"));
  Bytes file = ReadAll(RealFixture("sql2000_northwind.mdf"));
  std::size_t torn = 0;
  for (std::size_t at = 0; at < file.size(); at += kPageSize) torn += (file[at + 5] & 0x01) ? 1 : 0;
  EXPECT_EQ(torn, 333u);  // as the file's README counts them
  std::size_t restored = 0;
  for (std::int32_t number = 1; number < static_cast<std::int32_t>(db->pageCount); ++number) {
    auto page = db->ReadDataPage(PageId{1, number});
    if (!(page->header->flagBits & kTornBitsFlag)) continue;
    // Restoring the bits must touch only the last byte of sectors 1 to 15.
    for (std::size_t at = 0; at < kPageSize; ++at) {
      if (at % 512 != 511 || at == 511) {
        ASSERT_EQ(page->data[at], file[static_cast<std::size_t>(number) * kPageSize + at]) << number;
      }
    }
    restored += !std::equal(page->data.get(), page->data.get() + kPageSize,
                            file.begin() + static_cast<std::ptrdiff_t>(number) * kPageSize);
  }
  EXPECT_GT(restored, 100u);
}

TEST_F(RealFilesTest, PrefixedAndSuffixedCopiesReadTheSamePages) {
  QM_REQUIRE_REAL_FIXTURES();
  TempDir dir;
  for (const std::string name : {"sql2000_northwind.mdf", "sql2014_pubs.mdf", "sql2019_articles.mdf"}) {
    SCOPED_TRACE(name);
    Bytes original = ReadAll(RealFixture(name));
    auto plain = Open(RealFixture(name));
    plain->ReadBootPage();
    for (auto [prefix, suffix] : {std::pair<std::size_t, std::size_t>{3000, 0}, {0, 3000}}) {
      WriteFile(dir / "copy.mdf", Concat({Repeat(0xAB, prefix), original, Repeat(0xCD, suffix)}));
      auto copy = Open(dir / "copy.mdf");
      EXPECT_EQ(copy->baseOffset, prefix);
      EXPECT_EQ(copy->pageCount, plain->pageCount);
      EXPECT_EQ(copy->systemPages, plain->systemPages);
      EXPECT_EQ(copy->dataPages, plain->dataPages);
      EXPECT_EQ(copy->iamPages, plain->iamPages);
      copy->ReadBootPage();
      EXPECT_EQ(copy->databaseName, plain->databaseName);
      PageBuffer page = copy->ReadPage(PageId{1, 9});
      ASSERT_TRUE(page);
      EXPECT_TRUE(std::equal(page.get(), page.get() + kPageSize, original.begin() + 9 * kPageSize));
    }
  }
}

}  // namespace
}  // namespace quillmark::testing
