#include <algorithm>
#include <cstdio>
#include <set>

#include "engine/DatabaseFile.h"
#include "engine/IamPage.h"
#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

using PageSet = std::set<std::pair<int, int>>;

// Every page the report names as allocated: the used single-page slots and
// each page of the "(F:A)-(F:B) = ALLOCATED" runs (page 0 is never a page of a table).
PageSet PrintedPages(const std::string& out) {
  PageSet pages;
  int file = 0;
  int first = 0;
  int lastFile = 0;
  int last = 0;
  for (int slot = 0; slot < 8; ++slot)
    if (std::sscanf(FieldValue(out, "Slot " + std::to_string(slot)).c_str(), "(%d:%d)", &file, &first) == 2 &&
        first > 0)
      pages.emplace(file, first);
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (std::sscanf(line.c_str(), "(%d:%d)-(%d:%d) = ALLOCATED", &file, &first, &lastFile, &last) == 4)
      for (int page = std::max(first, 1); page <= last; ++page) pages.emplace(file, page);
  return pages;
}

PageSet AsSet(const std::vector<PageId>& ids) {
  PageSet pages;
  for (PageId id : ids) pages.emplace(id.fileId, id.pageNumber);
  return pages;
}

// The IAM page of `db` that allocates the most pages.
PageId LargestIamPage(DatabaseFile& db) {
  return HighestScoringPage(db.iamPages, [&db](PageId id) -> std::int64_t {
    auto iam = db.ReadIamPage(id);
    return iam ? static_cast<std::int64_t>(iam->AllocatedPages().size()) : -1;
  });
}

TEST(CliIam, RealIamPagesListThePagesTheyAllocate) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* name : {"sql2000_distmdl.mdf", "sql2008_reportserver.mdf", "sql2014_pubs.mdf"}) {
    SCOPED_TRACE(name);
    auto db = DatabaseFile::Open(RealFixture(name).string(), 0, nullptr);
    ASSERT_TRUE(db->opened);
    const PageId id = LargestIamPage(*db);
    auto iam = db->ReadIamPage(id);
    const std::vector<PageId> allocated = iam->AllocatedPages();
    ASSERT_FALSE(iam->ExtentList().empty());

    CliRun run = RunCommand({"iam", RealFixture(name).string(), std::to_string(id.pageNumber)});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(FieldValue(run.out, "Allocated Pages"), std::to_string(allocated.size()));
    EXPECT_EQ(PrintedPages(run.out), AsSet(allocated)) << run.out;
  }
}

// Extents 2, 3 and 5 of a 64-page file: the first two print as one run.
TEST(CliIam, BuiltIamPageJoinsAdjacentExtents) {
  FileBuilder file = FileBuilder::MinimalDatabase(64);
  Bytes bitmap(7988, 0);
  bitmap[0] = 0b00101100;
  file.SetPage(14, IamPageBytes(IamSpec{.pageNumber = 14, .objectId = 200, .indexId = 256, .sequenceNumber = 3,
                                        .singlePages = {20, 21}, .bitmap = bitmap}));
  BuiltDatabase db(file);
  CliRun run = RunCommand({"iam", db.path(), "14"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(FieldValue(run.out, "sequenceNumber"), "3");
  EXPECT_EQ(FieldValue(run.out, "m_objId"), "200");
  EXPECT_EQ(FieldValue(run.out, "Slot 1"), "(1:21)");
  EXPECT_EQ(FieldValue(run.out, "Slot 2"), "(0:0)");
  EXPECT_NE(run.out.find("\n(1:16)-(1:31) = ALLOCATED\n(1:40)-(1:47) = ALLOCATED\n"), std::string::npos) << run.out;
  EXPECT_EQ(FieldValue(run.out, "Extents"), "3");
  EXPECT_EQ(FieldValue(run.out, "Allocated Pages"), "26");
}

TEST(CliIam, OtherPagesAreRefused) {
  BuiltDatabase db(FileBuilder::MinimalDatabase());
  ExpectOneLineError(RunCommand({"iam", db.path(), "9"}), "page (1:9) is not an IAM page (m_type = 13)");
  ExpectOneLineError(RunCommand({"iam", db.path(), "40"}), "page (1:40) cannot be read: outside the file");
}

}  // namespace
}  // namespace quillmark::testing
