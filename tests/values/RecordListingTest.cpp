// The record listing: the first page of a table's rows by the strategy its
// allocation data call for, and paging forward and back 1000 rows at a time,
// each operation run on a worker thread as the shell runs it.

#include "values/RecordListing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "platform/CodePage.h"
#include "platform/headless/HeadlessControls.h"
#include "builder/DatabaseBuilder.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

namespace headless = platform::headless;

constexpr std::size_t kPageBody = kPage - 96;
// A record of (int NOT NULL, varchar NOT NULL) holds 15 bytes besides the text,
// and takes a 2-byte slot.
constexpr std::size_t kRowOverhead = 17;

// `count` rows (Id, Name), Id counting from 1, whose records and slots fill
// every page exactly with `perPage` rows: the names differ in length by one
// character so that the page's 8096 bytes are used to the last byte.
std::vector<Row> RowsFillingPages(int count, int perPage) {
  const std::size_t base = kPageBody / static_cast<std::size_t>(perPage);
  const std::size_t longer = kPageBody - base * static_cast<std::size_t>(perPage);
  std::vector<Row> rows;
  for (int i = 0; i < count; ++i) {
    const bool isLonger = static_cast<std::size_t>(i % perPage) < longer;
    rows.push_back({i + 1, std::string(base + (isLonger ? 1 : 0) - kRowOverhead, 'n')});
  }
  return rows;
}

std::vector<ColumnSpec> IdAndName() { return {Int("Id").NotNull(), VarChar("Name", 300).NotNull()}; }

// The log as the shell keeps it: the log list through the dispatcher, the
// lines of the log file kept in order.
class RecordingLog : public ListingLog {
 public:
  RecordingLog(platform::UiDispatcher& ui, headless::Log& list) : ui_(ui), list_(list) {}

  void LogLine(const std::u16string& text) override {
    ui_.Invoke([&] { list_.InsertLine(list_.LineCount(), text); });
    fileLines.push_back(text);
  }
  void ReplaceLastLine(const std::u16string& text) override {
    ui_.Invoke([&] {
      if (list_.LineCount() == 0)
        list_.InsertLine(0, text);
      else
        list_.SetLine(list_.LineCount() - 1, text);
    });
  }
  void WriteToFile(const std::u16string& text) override { fileLines.push_back(text); }

  std::vector<std::u16string> fileLines;  // written by the worker, read once it ended

 private:
  platform::UiDispatcher& ui_;
  headless::Log& list_;
};

// A user who selects the first row of the records list as soon as it shows.
class SelectingList : public headless::List {
 public:
  int InsertRow(int index, const std::vector<std::u16string>& texts) override {
    const int at = headless::List::InsertRow(index, texts);
    if (RowCount() == 1) SetSelected(0, true);
    return at;
  }
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutPointer(Bytes& page, std::size_t offset, PageId target) {
  PutPagePointer(page, offset, target.pageNumber, target.fileId);
}

// Page header fields: the previous, next and own page pointers.
constexpr std::size_t kPreviousField = 8;
constexpr std::size_t kNextField = 16;
constexpr std::size_t kThisPageField = 32;

Bytes PageOf(const Bytes& file, std::int32_t page) {
  const auto start = file.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(page) * kPage);
  return Bytes(start, start + static_cast<std::ptrdiff_t>(kPage));
}

void SetPage(Bytes& file, std::int32_t page, const Bytes& bytes) {
  const std::size_t end = (static_cast<std::size_t>(page) + 1) * kPage;
  if (file.size() < end) file.resize(end, 0);
  std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(end - kPage));
}

class RecordListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override { ResetSettings(); }

  void OpenFile(const std::filesystem::path& path) {
    opened_ = OpenDatabase(path.string(), 0, nullptr);
    ASSERT_TRUE(opened_.opened()) << path;
  }

  WrittenDatabase Write(const DatabaseSpec& spec) {
    return spec.Write(dir_.path(), "listing" + std::to_string(++written_) + ".mdf");
  }

  void Open(const DatabaseSpec& spec) { OpenFile(Write(spec).primary); }

  DatabaseCatalog& Catalog() { return *opened_.catalog; }

  // What the selection worker does before the first page: the table resolved,
  // its layouts kept, the listing state of another table forgotten, a list
  // column for every stored column.
  void Select(const std::string& table, const char* type = "U ") {
    Catalog().selected.layouts = ResolveTableSchema(Catalog(), platform::Utf8ToUtf16(table), type, {});
    ASSERT_FALSE(Catalog().selected.layouts.empty()) << table;
    state_ = ListingState{};
    platform::RecordsList& list = *Controls().records;
    list.DeleteAllRows();
    while (list.ColumnCount() > 0) list.DeleteColumn(0);
    for (const ColumnLayout& layout : Catalog().selected.layouts)
      if (Settings().isSql2000 || layout.physicalColumnId != -99) list.InsertColumn(list.ColumnCount(), layout.name, 200);
  }

  // Runs `work` on a worker thread while this thread serves the controls.
  void OnWorker(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      work();
      done = true;
    });
    ui_.PumpUntil([&] { return done.load(); });
    worker.join();
  }

  // The first page, with the selection worker's finish: page 1, Previous
  // disabled, Next enabled only when there is a second page.
  bool First(std::uint8_t advanced = 0) {
    bool inserted = false;
    OnWorker([&] { inserted = ListFirstPage(Catalog(), state_, advanced, Window()); });
    state_.pageNumber += 1;
    window_.previous.SetEnabled(false);
    window_.next.SetEnabled(state_.pageStarts.size() > 1);
    return inserted;
  }

  // The paging workers, started as the frame starts them: busy set first.
  void Next() {
    Settings().busy = 1;
    OnWorker([&] { ListNextPage(Catalog(), state_, Window()); });
  }
  void Previous() {
    Settings().busy = 1;
    OnWorker([&] { ListPreviousPage(Catalog(), state_, Window()); });
  }

  ListingWindow Window() { return ListingWindow{&ui_, Controls(), &log_}; }
  virtual platform::FrameControls Controls() { return window_.Controls(); }

  // The item texts of the records list (the first stored value of each row).
  std::vector<std::string> Items() const {
    std::vector<std::string> items;
    for (int row = 0; row < window_.records.RowCount(); ++row)
      items.push_back(platform::Utf16ToUtf8(window_.records.Text(row, 0)));
    return items;
  }

  // The item and first sub-item of every row, "item/sub-item".
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (int row = 0; row < window_.records.RowCount(); ++row)
      keys.push_back(platform::Utf16ToUtf8(window_.records.Text(row, 0) + u"/" + window_.records.Text(row, 1)));
    return keys;
  }

  std::string Status() const { return platform::Utf16ToUtf8(window_.status.Text()); }
  std::string LastLogLine() const {
    const auto& lines = window_.log.Lines();
    return lines.empty() ? "" : platform::Utf16ToUtf8(lines.back());
  }

  // The rows of every listed page, as the listing decodes them.
  std::size_t RowsOnPage(std::size_t index) {
    ListingContext context(Catalog().selected.layouts);
    return FetchPageRows(Catalog(), state_.listedPages.at(index), context).size();
  }

  TempDir dir_;
  int written_ = 0;
  OpenedDatabaseFile opened_;
  platform::QueueDispatcher ui_;
  headless::Window window_;
  RecordingLog log_{ui_, window_.log};
  ListingState state_;
};

std::vector<std::string> Numbers(int from, int to) {
  std::vector<std::string> numbers;
  for (int n = from; n <= to; ++n) numbers.push_back(std::to_string(n));
  return numbers;
}

TEST_F(RecordListingTest, HeapOf2500RowsPagesForwardAndBack) {
  DatabaseSpec spec;
  spec.AddTable("Heap", IdAndName(), RowsFillingPages(2500, 300));
  Open(spec);
  Select("Heap");
  EXPECT_TRUE(First());
  for (std::size_t page = 0; page < 9; ++page) EXPECT_EQ(RowsOnPage(page), page < 8 ? 300u : 100u) << page;
  EXPECT_EQ(Items(), Numbers(1, 1000));
  EXPECT_EQ(state_.pageStarts, (std::vector<PageStart>{{0, 0}, {3, 100}}));
  EXPECT_EQ(LastLogLine(), "0 rows to 1000");
  EXPECT_TRUE(window_.next.Enabled());
  // The IAM walk keeps its row lines out of the log file; paging writes them.
  auto rowLines = [&] { return std::count(log_.fileLines.begin(), log_.fileLines.end(), u" row 1000 inserted"); };
  EXPECT_EQ(rowLines(), 0);

  Next();
  EXPECT_EQ(rowLines(), 1);
  EXPECT_EQ(Status(), "Page2 - [1000](1001-2000) Records");
  EXPECT_EQ(Items(), Numbers(1001, 2000));
  EXPECT_EQ(LastLogLine(), "1000 rows to 2000");
  EXPECT_TRUE(window_.next.Enabled());
  EXPECT_TRUE(window_.previous.Enabled());
  EXPECT_EQ(Settings().busy.load(), 0);

  Next();
  EXPECT_EQ(Status(), "Page3 - [500](2001-2500) Records");
  EXPECT_EQ(Items(), Numbers(2001, 2500));
  EXPECT_EQ(state_.pageStarts, (std::vector<PageStart>{{0, 0}, {3, 100}, {6, 200}}));
  EXPECT_FALSE(window_.next.Enabled());

  Previous();
  EXPECT_EQ(Status(), "Page2 - [1000](1001-2000) Records");
  EXPECT_EQ(Items(), Numbers(1001, 2000));
  EXPECT_TRUE(window_.previous.Enabled());
  EXPECT_TRUE(window_.next.Enabled());

  Previous();
  EXPECT_EQ(Status(), "Page1 - [1000](1-1000) Records");
  EXPECT_EQ(Items(), Numbers(1, 1000));
  EXPECT_FALSE(window_.previous.Enabled());
  EXPECT_EQ(state_.pageStarts, (std::vector<PageStart>{{0, 0}, {3, 100}}));
  EXPECT_EQ(Settings().busy.load(), 0);

  Next();  // forward again from the start of the page that was left
  EXPECT_EQ(Status(), "Page2 - [1000](1001-2000) Records");
  EXPECT_EQ(Items(), Numbers(1001, 2000));
}

// Order Details holds 2155 rows: three pages forward, two back, every row
// once, in the order the whole table lists in.
TEST_F(RecordListingTest, RealTableOfMoreThan2000RowsPagesForwardAndBack) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const char* file : {"sql2008r2_northwind.mdf", "sql2000_northwind.mdf"}) {
    SCOPED_TRACE(file);
    OpenFile(RealFixture(file));
    Select("Order Details");
    First();
    std::vector<std::vector<std::string>> pages{Keys()};
    EXPECT_EQ(pages[0].size(), 1000u);
    Next();
    EXPECT_EQ(Status(), "Page2 - [1000](1001-2000) Records");
    pages.push_back(Keys());
    Next();
    EXPECT_EQ(Status(), "Page3 - [155](2001-2155) Records");
    EXPECT_FALSE(window_.next.Enabled());
    pages.push_back(Keys());
    Previous();
    EXPECT_EQ(Status(), "Page2 - [1000](1001-2000) Records");
    EXPECT_EQ(Keys(), pages[1]);
    Previous();
    EXPECT_EQ(Status(), "Page1 - [1000](1-1000) Records");
    EXPECT_EQ(Keys(), pages[0]);
    EXPECT_FALSE(window_.previous.Enabled());

    // Order and product make a row's key.
    std::vector<std::string> whole;
    ListingContext context(Catalog().selected.layouts);
    for (const PageId& page : state_.listedPages)
      for (const DecodedRow& row : FetchPageRows(Catalog(), page, context))
        whole.push_back(platform::Utf16ToUtf8(row.at(0) + u"/" + row.at(1)));
    std::vector<std::string> paged;
    for (const auto& keys : pages) paged.insert(paged.end(), keys.begin(), keys.end());
    EXPECT_EQ(paged, whole);
    EXPECT_EQ(std::set<std::string>(paged.begin(), paged.end()).size(), 2155u);
  }
}

// Customers holds 91 rows. The SQL Server 2000 file also keeps an older copy
// of the table's pages, outside its page chain and its IAM pages: Standard
// mode lists each customer once, Advanced mode (every page indexed for the
// table) shows the old copy too.
TEST_F(RecordListingTest, NorthwindCustomersListOnOnePage) {
  QM_REQUIRE_REAL_FIXTURES();
  struct Case {
    const char* file;
    std::size_t advancedCopies;
  };
  for (const Case& c : {Case{"sql2008r2_northwind.mdf", 1}, Case{"sql2008_northwind_junktail.mdf", 1},
                        Case{"sql2000_northwind.mdf", 2}}) {
    for (const std::uint8_t advanced : {std::uint8_t{0}, std::uint8_t{1}}) {
      SCOPED_TRACE(std::string(c.file) + (advanced ? " advanced" : ""));
      OpenFile(RealFixture(c.file));
      Select("Customers");
      EXPECT_TRUE(First(advanced));
      const std::vector<std::string> items = Items();
      ASSERT_EQ(items.size(), 91u * (advanced ? c.advancedCopies : 1));
      EXPECT_EQ(std::set<std::string>(items.begin(), items.end()).size(), 91u);
      EXPECT_EQ(std::set<std::string>(items.begin(), items.begin() + 91).size(), 91u);
      EXPECT_NE(std::find(items.begin(), items.end(), "ALFKI"), items.end());
      EXPECT_EQ(state_.pageStarts.size(), 1u);
      EXPECT_FALSE(window_.next.Enabled());
      EXPECT_EQ(Settings().listingActive.load(), 0);
      EXPECT_EQ(Settings().listingContext, nullptr);
    }
  }
}

// The 1000th row is the last row of a page: a further listed page (the rest of
// an extent) becomes the second page, with no rows in it; without one there is
// no second page.
TEST_F(RecordListingTest, ThousandthRowEndsAPage) {
  struct Case {
    int rowsPerPage;
    std::size_t pageCount;
    const char* secondPage;
  };
  for (const Case& c : {Case{40, 2, "Page2 - [0](1001-1000) Records"}, Case{125, 1, ""}}) {
    SCOPED_TRACE(c.rowsPerPage);
    DatabaseSpec spec;
    spec.AddTable("Rows", IdAndName(), RowsFillingPages(1000, c.rowsPerPage));
    Open(spec);
    Select("Rows");
    First();
    const auto lastFullPage = static_cast<std::size_t>(1000 / c.rowsPerPage - 1);
    EXPECT_EQ(RowsOnPage(lastFullPage), static_cast<std::size_t>(c.rowsPerPage));
    EXPECT_EQ(Items(), Numbers(1, 1000));
    EXPECT_EQ(state_.pageStarts.size(), c.pageCount);
    if (c.pageCount > 1) {
      EXPECT_EQ(state_.pageStarts.back(), (PageStart{lastFullPage + 1, 0}));
    }
    EXPECT_EQ(window_.next.Enabled(), c.pageCount > 1);
    Next();
    EXPECT_EQ(Status(), c.secondPage);
    EXPECT_FALSE(window_.next.Enabled());
    EXPECT_EQ(Settings().busy.load(), 0);
  }
}

// A row whose every value is empty is inserted and taken out again; it counts
// toward the rows listed but not toward the items. A column without storage
// is never counted empty, so its table keeps such rows.
TEST_F(RecordListingTest, EmptyRowsAreTakenOut) {
  const std::vector<Row> rows = {{1, "a", "b"}, {nullptr, "", ""}, {3, "c", "d"}, {nullptr, "", ""}};
  for (bool unstored : {false, true}) {
    SCOPED_TRACE(unstored ? "with a column without storage" : "plain");
    std::vector<ColumnSpec> columns = {Int("Id"), VarChar("A", 10).NotNull(), VarChar("B", 10).NotNull()};
    if (unstored) columns.push_back(Int("Later").Added(ColumnHistory::kAddedUnplaced));
    DatabaseSpec spec;
    spec.AddTable("Sparse", columns, rows);
    Open(spec);
    Select("Sparse");
    First();
    if (unstored) {
      EXPECT_EQ(Items(), (std::vector<std::string>{"1", "NULL", "3", "NULL"}));
    } else {
      EXPECT_EQ(Items(), (std::vector<std::string>{"1", "3"}));
      EXPECT_EQ(window_.records.Text(1, 2), u"d");
    }
    EXPECT_EQ(LastLogLine(), "0 rows to 4");
    const auto& lines = window_.log.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(platform::Utf16ToUtf8(lines[lines.size() - 2]), unstored ? " row 4 inserted" : " row 2 inserted");
  }
}

class SelectingListingTest : public RecordListingTest {
 protected:
  platform::FrameControls Controls() override {
    platform::FrameControls controls = window_.Controls();
    controls.records = &list_;
    return controls;
  }
  SelectingList list_;
};

// Taking out an empty row leaves the rows the user selected meanwhile.
TEST_F(SelectingListingTest, EmptyRowLeavesTheUsersSelection) {
  DatabaseSpec spec;
  spec.AddTable("Sparse", {Int("Id"), VarChar("A", 10).NotNull()}, {{1, "a"}, {nullptr, ""}, {3, "c"}});
  Open(spec);
  Select("Sparse");
  First();
  ASSERT_EQ(list_.RowCount(), 2);
  EXPECT_EQ(list_.Text(0, 0), u"1");
  EXPECT_EQ(list_.Text(1, 0), u"3");
  EXPECT_EQ(list_.SelectedRows(), std::vector<int>{0});
}

// How the chooser lists a table of the current format: a clustered table's
// leaf chain from its first page, or, when that page has a page before it,
// its IAM pages; a table without an IAM page, every page of the table. The
// chain listing reports its item count and writes every row to the log file.
TEST_F(RecordListingTest, ChooserPicksTheListingFromTheAllocationData) {
  struct Case {
    const char* name;
    int rows;
    bool dropIamPage;
    const char* report;
    bool rowsInLogFile;
  };
  for (const Case& c : {Case{"one page: the chain", 40, false, "40", true},
                        Case{"first page has a previous page: the IAM pages", 120, false, "0 rows to 120", false},
                        Case{"no IAM page: every page", 120, true, "0 rows to 120", true}}) {
    SCOPED_TRACE(c.name);
    DatabaseSpec spec;
    spec.AddTable("Keyed", IdAndName(), RowsFillingPages(c.rows, 40)).primaryKey = {"PK_Keyed", {"Id"}};
    Open(spec);
    Select("Keyed");
    CatalogAllocUnit& unit = Catalog().selected.inRowAllocUnit;
    const auto header = opened_.file->ReadPageHeader(unit.firstPage);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->previousPage.pageNumber != 0, c.rows > 40);
    if (c.dropIamPage) unit.firstIamPage = PageId{0, 0};
    EXPECT_TRUE(First());
    EXPECT_EQ(Items().size(), static_cast<std::size_t>(c.rows));
    EXPECT_EQ(state_.listedPages.size(), static_cast<std::size_t>(c.rows / 40));
    EXPECT_EQ(LastLogLine(), c.report);
    const bool rowLines = std::count(log_.fileLines.begin(), log_.fileLines.end(), u" row 1 inserted") == 1;
    EXPECT_EQ(rowLines, c.rowsInLogFile);
    log_.fileLines.clear();
  }
}

// A leaf chain that moves to the same page number in another file goes on:
// 1:Q -> 3:Q -> 3:Q+1 lists three pages.
TEST_F(RecordListingTest, ChainGoesOnToTheSamePageNumberInAnotherFile) {
  DatabaseSpec spec;
  spec.secondaryFiles = {{.fileId = 3, .fileName = "spread_3.ndf"}};
  TableSpec& table = spec.AddTable("Spread", IdAndName(), RowsFillingPages(60, 40));
  table.primaryKey = {"PK_Spread", {"Id"}};
  table.fileId = 3;
  const WrittenDatabase written = Write(spec);
  ASSERT_EQ(written.secondaries.size(), 1u);

  // The table's two pages in file 3, first and second.
  OpenFile(written.primary);
  Select("Spread");
  std::vector<PageId> pages = Catalog().selected.dataPages;
  ASSERT_EQ(pages.size(), 2u);
  if (opened_.file->ReadPageHeader(pages[0])->previousPage.pageNumber != 0) std::swap(pages[0], pages[1]);
  opened_ = {};

  Bytes primary = ReadBytes(written.primary);
  Bytes secondary = ReadBytes(written.secondaries[0]);
  const Bytes first = PageOf(secondary, pages[0].pageNumber);
  const Bytes second = PageOf(secondary, pages[1].pageNumber);
  const auto q = static_cast<std::int32_t>(std::max(primary.size(), secondary.size()) / kPage);
  Bytes lead = first;
  PutPointer(lead, kThisPageField, {1, q});
  PutPointer(lead, kNextField, {3, q});
  SetPage(primary, q, lead);
  Bytes middle = first;
  PutPointer(middle, kThisPageField, {3, q});
  PutPointer(middle, kNextField, {3, q + 1});
  SetPage(secondary, q, middle);
  Bytes last = second;
  PutPointer(last, kThisPageField, {3, q + 1});
  PutPointer(last, kPreviousField, {3, q});
  SetPage(secondary, q + 1, last);
  WriteFile(written.primary, primary);
  WriteFile(written.secondaries[0], secondary);

  OpenFile(written.primary);
  Select("Spread");
  Catalog().selected.inRowAllocUnit.firstPage = PageId{1, q};
  EXPECT_TRUE(First());
  EXPECT_EQ(state_.listedPages, (std::vector<PageId>{{1, q}, {3, q}, {3, q + 1}}));
  std::vector<std::string> expected = Numbers(1, 40);
  const std::vector<std::string> rest = Numbers(1, 60);
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(Items(), expected);
  EXPECT_EQ(LastLogLine(), "100");
}

// A SQL Server 2000 chain that points back to an earlier page lists each page
// of it once, then the table's pages the chain did not reach.
TEST_F(RecordListingTest, Sql2000ChainLoopingBackListsEveryPageOnce) {
  DatabaseSpec spec;
  spec.layout = Layout::kSql2000;
  spec.AddTable("Looped", IdAndName(), RowsFillingPages(120, 40)).primaryKey = {"PK_Looped", {"Id"}};
  const WrittenDatabase written = Write(spec);
  OpenFile(written.primary);
  ASSERT_TRUE(Settings().isSql2000);
  Select("Looped");
  const auto entry = Catalog().legacyIndexes.find(Catalog().selected.object.id);
  ASSERT_NE(entry, Catalog().legacyIndexes.end());
  std::vector<std::int32_t> chain{entry->second.firstPage};
  for (int k = 0; k < 2; ++k) chain.push_back(opened_.file->ReadPageHeader({1, chain.back()})->nextPage.pageNumber);
  opened_ = {};

  Bytes primary = ReadBytes(written.primary);
  Bytes second = PageOf(primary, chain[1]);
  PutPointer(second, kNextField, {1, chain[0]});
  SetPage(primary, chain[1], second);
  WriteFile(written.primary, primary);

  OpenFile(written.primary);
  Select("Looped");
  EXPECT_TRUE(First());
  EXPECT_EQ(state_.listedPages, (std::vector<PageId>{{1, chain[0]}, {1, chain[1]}, {1, chain[2]}}));
  EXPECT_EQ(Items(), Numbers(1, 120));
  EXPECT_EQ(LastLogLine(), "0 rows to 120");
}

// A page that still carries a SQL Server 2000 table's id but that neither its
// chain nor its IAM pages reach (left behind by a rebuild) is not listed in
// Standard mode; Advanced mode lists every page indexed for the table.
TEST_F(RecordListingTest, Sql2000StalePageOutsideChainAndIamListsOnlyInAdvancedMode) {
  DatabaseSpec spec;
  spec.layout = Layout::kSql2000;
  spec.AddTable("Rebuilt", IdAndName(), RowsFillingPages(30, 40)).primaryKey = {"PK_Rebuilt", {"Id"}};
  const WrittenDatabase written = Write(spec);
  OpenFile(written.primary);
  Select("Rebuilt");
  const std::int32_t first = Catalog().legacyIndexes.at(Catalog().selected.object.id).firstPage;
  opened_ = {};

  Bytes primary = ReadBytes(written.primary);
  const auto stale = static_cast<std::int32_t>(primary.size() / kPage);
  Bytes copy = PageOf(primary, first);
  PutPointer(copy, kThisPageField, {1, stale});
  SetPage(primary, stale, copy);
  WriteFile(written.primary, primary);

  for (const std::uint8_t advanced : {std::uint8_t{0}, std::uint8_t{1}}) {
    SCOPED_TRACE(advanced ? "advanced" : "standard");
    OpenFile(written.primary);
    Select("Rebuilt");
    ASSERT_EQ(Catalog().selected.dataPages.size(), 2u);
    EXPECT_TRUE(First(advanced));
    std::vector<std::string> expected = Numbers(1, 30);
    if (advanced) {
      const std::vector<std::string> again = Numbers(1, 30);
      expected.insert(expected.end(), again.begin(), again.end());
    }
    EXPECT_EQ(Items(), expected);
  }
}

// A SQL Server 2000 chain cut after its first page still lists the rows of the
// table's other pages, since its IAM pages allocate them.
TEST_F(RecordListingTest, Sql2000BrokenChainListsTheOtherAllocatedPages) {
  DatabaseSpec spec;
  spec.layout = Layout::kSql2000;
  spec.AddTable("Broken", IdAndName(), RowsFillingPages(120, 40)).primaryKey = {"PK_Broken", {"Id"}};
  const WrittenDatabase written = Write(spec);
  OpenFile(written.primary);
  Select("Broken");
  const std::int32_t first = Catalog().legacyIndexes.at(Catalog().selected.object.id).firstPage;
  opened_ = {};

  Bytes primary = ReadBytes(written.primary);
  Bytes lead = PageOf(primary, first);
  PutPointer(lead, kNextField, {0, 0});
  SetPage(primary, first, lead);
  WriteFile(written.primary, primary);

  OpenFile(written.primary);
  Select("Broken");
  EXPECT_TRUE(First());
  EXPECT_EQ(state_.listedPages.size(), 3u);
  EXPECT_EQ(state_.listedPages.front(), (PageId{1, first}));
  std::vector<std::string> items = Items();
  std::sort(items.begin(), items.end());
  std::vector<std::string> expected = Numbers(1, 120);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(items, expected);
}

// Paging where there is nowhere to go leaves the controls ready and busy clear.
TEST_F(RecordListingTest, PagingPastAOnePageListing) {
  DatabaseSpec spec;
  spec.AddTable("Small", IdAndName(), RowsFillingPages(5, 40));
  Open(spec);
  Select("Small");
  First();
  ASSERT_EQ(state_.pageStarts.size(), 1u);
  window_.next.SetEnabled(true);
  Next();
  EXPECT_FALSE(window_.next.Enabled());
  EXPECT_EQ(Settings().busy.load(), 0);
  EXPECT_EQ(Items(), Numbers(1, 5));

  window_.previous.SetEnabled(true);
  Previous();
  EXPECT_FALSE(window_.previous.Enabled());
  EXPECT_FALSE(window_.progress.Visible());
  EXPECT_EQ(Settings().busy.load(), 0);
  EXPECT_EQ(Items(), Numbers(1, 5));

  // A page number the page starts do not reach is not paged back from.
  state_.pageStarts.push_back(PageStart{1, 0});
  state_.pageNumber = 5;
  window_.previous.SetEnabled(true);
  Previous();
  EXPECT_FALSE(window_.previous.Enabled());
  EXPECT_EQ(Settings().busy.load(), 0);
  EXPECT_EQ(state_.pageNumber, 5);
  EXPECT_EQ(Items(), Numbers(1, 5));
}

TEST_F(RecordListingTest, ContextStaysCurrentWhileItLives) {
  const std::vector<ColumnLayout> layouts(2);
  EXPECT_EQ(Settings().listingContext, nullptr);
  {
    ListingContext outer(layouts);
    CompressedRecordRebuilder* const current = Settings().listingContext;
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(outer.layouts.size(), 2u);
    {
      ListingContext inner(layouts);
      EXPECT_NE(Settings().listingContext, current);
    }
    EXPECT_EQ(Settings().listingContext, current);
  }
  EXPECT_EQ(Settings().listingContext, nullptr);
}

}  // namespace
}  // namespace quillmark::testing
