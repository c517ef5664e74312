// Pages of the real files, damaged on purpose: every parser must stay inside
// the page, never hang and never size an allocation by a count it read.
// QUILLMARK_CORRUPTION_SEEDS sets how many damaged pages each file gets.

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <set>

#include "engine/BootPage.h"
#include "engine/IamPage.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "engine/TextMixPage.h"
#include "tests/engine/EngineTest.h"
#include "tests/support/RealFixtures.h"

namespace {

// The largest single allocation made while a damaged page is parsed.
std::atomic<bool> tracking{false};
std::atomic<std::size_t> largest{0};

void* Allocate(std::size_t size) {
  if (tracking.load(std::memory_order_relaxed)) {
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
  }
  return std::malloc(size ? size : 1);
}

}  // namespace

// The replacements pair with each other: every delete frees what Allocate took.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (void* memory = Allocate(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace quillmark::testing {
namespace {

// An IAM page object holds its 63904 extent flags; nothing else comes close.
constexpr std::size_t kLargestAllowedAllocation = 128 * 1024;

int SeedsPerFile() {
  const char* named = std::getenv("QUILLMARK_CORRUPTION_SEEDS");
  int seeds = named ? std::atoi(named) : 0;
  return seeds > 0 ? seeds : 150;
}

class ListingStandIn : public CompressedRecordRebuilder {
 public:
  int ColumnCount() const override { return columns; }
  void Rebuild(CPrimaryRecord&, const PrimaryRecordPage&) override {}
  int columns = 0;
};

void Damage(Bytes& page, std::mt19937& random, int kind) {
  auto any = [&random](std::size_t below) { return static_cast<std::size_t>(random() % below); };
  switch (kind) {
    case 0:  // random bytes anywhere
      for (std::size_t n = 1 + any(64); n > 0; --n) page[any(kPage)] = static_cast<std::uint8_t>(random());
      break;
    case 1:  // random 16-bit header fields and slot entries
      for (std::size_t n = 1 + any(6); n > 0; --n) PutU16(page, 2 * any(48), static_cast<std::uint16_t>(random()));
      for (std::size_t n = 1 + any(6); n > 0; --n)
        PutU16(page, kPage - 2 - 2 * any(64), static_cast<std::uint16_t>(random()));
      break;
    case 2: {  // a record cut short, or its lengths and counts replaced
      std::size_t at = 96 + any(kPage - 200);
      if (random() % 2)
        std::fill(page.begin() + static_cast<std::ptrdiff_t>(at + 4 + any(40)), page.end() - 2, random() % 256);
      PutU16(page, at + 2, static_cast<std::uint16_t>(random() % 9000));
      PutU16(page, at + 4 + any(60), static_cast<std::uint16_t>(random()));
      PutU16(page, kPage - 2, static_cast<std::uint16_t>(at));
      break;
    }
    default: {  // compression information with random sizes
      page[2] = static_cast<std::uint8_t>(page[2] | 0x80);
      page[96] = static_cast<std::uint8_t>(random() % 8);
      PutU16(page, 99, static_cast<std::uint16_t>(random() % 5000));
      PutU16(page, 101, static_cast<std::uint16_t>(random()));
      break;
    }
  }
}

// Parses the page every way the engine reads pages.
void ParseEveryWay(DatabaseFile& db, const Bytes& page) {
  Bytes copy = page;
  CPage_Header::Parse(copy);
  CDataPage data(BufferOf(page), &db);
  IamPage iam(BufferOf(page), &db);
  iam.AllocatedPages();
  TextMixPage text(BufferOf(page), &db);
  CBootPage boot(page);
  for (int slot : {0, 1, 7}) PrimaryRecordPage one(BufferOf(page), &db, slot);
}

class CorruptionTest : public EngineTest {
 protected:
  void TearDown() override {
    tracking = false;
    EngineTest::TearDown();
  }
};

TEST_F(CorruptionTest, DamagedPagesOfRealFilesParseSafely) {
  QM_REQUIRE_REAL_FIXTURES();
  ListingStandIn listing;
  Settings().listingContext = &listing;
  const int seeds = SeedsPerFile();
  std::uint32_t fileSeed = 1;
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    auto db = DatabaseFile::Open(path.string(), 0, nullptr);
    ASSERT_TRUE(db->opened);
    std::mt19937 random(fileSeed++);
    for (int seed = 0; seed < seeds; ++seed) {
      auto number = static_cast<std::int32_t>(1 + random() % (db->pageCount - 1));
      PageBuffer original = db->ReadPage(PageId{1, number});
      Bytes page(original.get(), original.get() + kPageSize);
      Damage(page, random, seed % 4);
      bool deleted = seed % 3 == 0;
      Settings().showDeletedRecords = deleted;
      Settings().showAdvancedDeletedRecords = deleted;
      listing.columns = static_cast<int>(random() % 1500);

      largest = 0;
      tracking = true;
      ParseEveryWay(*db, page);
      tracking = false;
      ASSERT_LE(largest.load(), kLargestAllowedAllocation) << "page " << number << " seed " << seed;
    }
  }
}

TEST_F(CorruptionTest, RecordsPointingAtThemselvesEndAfterOneHop) {
  QM_REQUIRE_REAL_FIXTURES();
  TempDir dir;
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    Bytes file(std::istreambuf_iterator<char>(in), {});
    auto db = DatabaseFile::Open(path.string(), 0, nullptr);
    // Slot 0 of every data page becomes a stub to itself; slot 1 a stub to
    // slot 1 of the next data page, which points on in turn. Torn pages are
    // left out: their slot arrays need restoring before they can be changed.
    std::vector<std::int32_t> pages;
    for (const auto& [key, entries] : db->dataPages) {
      for (const PageEntry& entry : entries) {
        std::int32_t number = entry.pageNumber;
        Bytes header(file.begin() + static_cast<std::ptrdiff_t>(number) * kPage,
                     file.begin() + static_cast<std::ptrdiff_t>(number) * kPage + 96);
        if (entry.fileId == 1 && number > 0 && !(header[5] & 0x01)) pages.push_back(number);
      }
    }
    std::set<std::pair<std::int32_t, int>> stubs;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      std::size_t base = static_cast<std::size_t>(pages[i]) * kPage;
      Bytes page(file.begin() + static_cast<std::ptrdiff_t>(base), file.begin() + static_cast<std::ptrdiff_t>(base + kPage));
      std::vector<std::uint16_t> slots = ReadSlotOffsets(page, static_cast<std::int16_t>(page[22] | (page[23] << 8)));
      auto fits = [&slots](std::size_t slot) {
        return slot < slots.size() && slots[slot] >= 96 && slots[slot] + 9u <= kPage - 2;
      };
      if (fits(0)) {
        PutBytes(file, base + slots[0], ForwardingStub(pages[i], 0));
        stubs.insert({pages[i], 0});
      }
      if (fits(1)) {
        PutBytes(file, base + slots[1], ForwardingStub(pages[(i + 1) % pages.size()], 1));
        stubs.insert({pages[i], 1});
      }
    }
    WriteFile(dir / "stubs.mdf", file);
    auto damaged = DatabaseFile::Open((dir / "stubs.mdf").string(), 0, nullptr);
    ASSERT_TRUE(damaged->opened);
    for (std::size_t i = 0; i < pages.size(); ++i) {
      auto page = damaged->ReadDataPage(PageId{1, pages[i]});
      ASSERT_TRUE(page);
      bool partnerIsStub = stubs.count({pages[(i + 1) % pages.size()], 1}) > 0;
      // A page may hide its records (all ghosts): then there is nothing to follow.
      auto fixedLength = [&page](std::size_t slot) {
        const CRecord* record = slot < page->records.size() ? page->records[slot].get() : nullptr;
        return record ? record->fixedLength : kUnreadableStubTarget;
      };
      if (stubs.count({pages[i], 0})) {
        EXPECT_EQ(fixedLength(0), kUnreadableStubTarget) << pages[i];
      }
      if (stubs.count({pages[i], 1}) && partnerIsStub) {
        EXPECT_EQ(fixedLength(1), kUnreadableStubTarget) << pages[i];
      }
    }
  }
}

}  // namespace
}  // namespace quillmark::testing
