#include "engine/IamPage.h"

#include <limits>

#include "tests/engine/EngineTest.h"

namespace quillmark::testing {
namespace {

class IamPageTest : public EngineTest {
 protected:
  // A database of `pages` pages that is never read from disk: extent lists
  // only need its page count.
  IamPage Iam(const IamSpec& spec, std::uint64_t pages) {
    file_.pageCount = pages;
    return IamPage(BufferOf(IamPageBytes(spec)), &file_);
  }
  DatabaseFile file_;
};

std::vector<std::int32_t> Numbers(const std::vector<PageId>& pages) {
  std::vector<std::int32_t> numbers;
  for (PageId page : pages) numbers.push_back(std::int32_t{page.pageNumber});
  return numbers;
}

TEST_F(IamPageTest, ReadsTheHeaderRecord) {
  IamSpec spec{.pageNumber = 20, .objectId = 99, .sequenceNumber = 3, .startPage = 0, .singlePages = {14, 15}};
  IamPage iam = Iam(spec, 400);
  EXPECT_EQ(iam.sequenceNumber, 3u);
  EXPECT_EQ(iam.startPage, (PageId{1, 0}));
  EXPECT_EQ(iam.singlePages[0], (PageId{1, 14}));
  EXPECT_EQ(iam.singlePages[1], (PageId{1, 15}));
  EXPECT_EQ(iam.singlePages[2], (PageId{0, 0}));
  EXPECT_EQ(iam.extentFlagCount, 7988u * 8);
}

TEST_F(IamPageTest, ShortHeaderRecordKeepsDefaults) {
  IamSpec spec{.pageNumber = 20, .sequenceNumber = 9, .singlePages = {14, 15}, .headerLength = 40};
  IamPage iam = Iam(spec, 400);
  EXPECT_EQ(iam.sequenceNumber, 9u);
  EXPECT_EQ(iam.startPage, (PageId{1, 0}));
  for (const PageId& single : iam.singlePages) EXPECT_EQ(single, (PageId{1, 0}));
}

TEST_F(IamPageTest, BitmapLongerThanOneIntervalFillsOnlyTheFlagBlock) {
  IamSpec spec{.pageNumber = 20, .bitmap = Repeat(0xFF, 8000), .headerLength = 40};
  IamPage iam = Iam(spec, 400);
  EXPECT_EQ(iam.extentFlagCount, kExtentFlagCapacity);
}

TEST_F(IamPageTest, ExtentListAndPageList) {
  IamSpec spec{.pageNumber = 20, .singlePages = {0, 5, 401, 400}, .bitmap = {0x05}};
  IamPage iam = Iam(spec, 400);
  std::vector<ExtentRange> extents = iam.ExtentList();
  ASSERT_EQ(extents.size(), 2u);
  EXPECT_EQ(iam.extentList, 2u);
  EXPECT_EQ(extents[0].first, (PageId{1, 0}));
  EXPECT_EQ(extents[0].last, 7);
  EXPECT_EQ(extents[1].first, (PageId{1, 16}));
  EXPECT_EQ(extents[1].last, 23);

  std::vector<std::int32_t> expected = {5, 400, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23};
  EXPECT_EQ(Numbers(iam.AllocatedPages()), expected);

  ExtentRange range{0, PageId{1, 160}, 167, 0};
  EXPECT_EQ(Numbers(range.PageList()), (std::vector<std::int32_t>{160, 161, 162, 163, 164, 165, 166, 167}));
  EXPECT_EQ(range.count, 8);
}

TEST_F(IamPageTest, ExtentsStartAtTheIntervalOfTheIamPage) {
  IamSpec spec{.pageNumber = 600000, .bitmap = {0x01}};
  IamPage iam = Iam(spec, 700000);
  std::vector<ExtentRange> extents = iam.ExtentList();
  ASSERT_EQ(extents.size(), 1u);
  EXPECT_EQ(extents[0].first.pageNumber, 511232);
}

TEST_F(IamPageTest, ExtentsBeyondTheFileOrThe32BitRangeAreDropped) {
  for (std::int32_t pageNumber : {std::numeric_limits<std::int32_t>::max() - 3, std::numeric_limits<std::int32_t>::min()}) {
    IamSpec spec{.pageNumber = pageNumber, .bitmap = Repeat(0xFF, 7988)};
    IamPage iam = Iam(spec, 3000000000ULL);
    for (const ExtentRange& extent : iam.ExtentList()) {
      EXPECT_GE(extent.first.pageNumber, 0);
      EXPECT_GE(extent.last, extent.first.pageNumber);
    }
  }
  IamSpec spec{.pageNumber = 20, .bitmap = Repeat(0xFF, 100)};
  EXPECT_EQ(Iam(spec, 400).ExtentList().size(), 50u);  // 400 pages hold 50 extents
}

TEST_F(IamPageTest, AChainOfIamPagesEndsWhereItLoops) {
  TempDir dir;
  FileBuilder file = FileBuilder::MinimalDatabase(40);
  Bytes first = IamPageBytes({.pageNumber = 20, .objectId = 500, .singlePages = {30}});
  PutPagePointer(first, 16, 21);  // next: page 21
  Bytes second = IamPageBytes({.pageNumber = 21, .objectId = 500, .singlePages = {31}});
  PutPagePointer(second, 16, 21);  // next: itself
  file.SetPage(20, first).SetPage(21, second);
  auto db = DatabaseFile::Open(file.Write(dir / "chain.mdf").string(), 0, nullptr);
  ASSERT_TRUE(db->opened);
  EXPECT_EQ(Numbers(WalkIamChain(*db, PageId{1, 20})), (std::vector<std::int32_t>{30, 31}));
  EXPECT_TRUE(WalkIamChain(*db, PageId{1, 0}).empty());
}

}  // namespace
}  // namespace quillmark::testing
