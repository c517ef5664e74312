// Record listing and paging: the rows of the selected table go into the records
// list one page of at most 1000 rows at a time.
//
// A listing first collects the table's data pages into an ordered page list
// (IAM walk, page chain of either format, or every indexed page), then walks
// it: each page is read and decoded, each row inserted, until 1000 rows were
// taken. Where the next page of rows begins is kept as a page start, so Next
// continues there and Previous goes back to the start of the page before.
//
// The listing runs on a worker thread; every change to a control goes through
// the window's dispatcher and completes before the listing goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "catalog/DatabaseCatalog.h"
#include "engine/PageId.h"
#include "platform/Controls.h"
#include "platform/UiDispatcher.h"
#include "values/CompressedValues.h"
#include "values/RowDecoder.h"

namespace quillmark {

inline constexpr std::int64_t kRowsPerPage = 1000;

struct PageStart {
  std::uint64_t pageIndex = 0;  // into listedPages
  std::int64_t rowIndex = 0;    // into that page's decoded rows
  bool operator==(const PageStart&) const = default;
};

struct NextKey {
  std::int32_t pageCount = 0;
  std::int32_t rowIndex = 0;
  bool operator==(const NextKey&) const = default;
};

// Kept by the main frame between operations.
struct ListingState {
  std::vector<PageId> listedPages;
  std::vector<PageStart> pageStarts;  // its length is the page count
  PageStart resumePosition;
  std::int32_t pageNumber = 0;
  NextKey lastNextKey;
  std::int64_t firstRow = 0;
  std::int64_t lastRow = 0;
  std::int32_t itemIndex = 0;
};

// One listing or paging operation's copy of the selected table's layouts: row
// decoding writes each value's text into it, and the compressed-record rebuild
// takes its layouts from it. While it lives it is the application's current
// listing context; the context it replaced comes back when it ends, so a
// listing that hands over to another (the all-pages listing) leaves the outer
// one in place.
class ListingContext {
 public:
  explicit ListingContext(const std::vector<ColumnLayout>& layouts);
  ~ListingContext();
  ListingContext(const ListingContext&) = delete;
  ListingContext& operator=(const ListingContext&) = delete;

  std::vector<ColumnLayout> layouts;

 private:
  CompressedValueRebuilder rebuilder_;
  CompressedRecordRebuilder* replaced_ = nullptr;
};

// Marks a listing or paging operation (or a read of one cell) as active while
// it lives: large values show as a listing shows them and 8-bit text takes the
// column's code page. The value it found comes back when it ends.
class ActiveListing {
 public:
  ActiveListing();
  ~ActiveListing();
  ActiveListing(const ActiveListing&) = delete;
  ActiveListing& operator=(const ActiveListing&) = delete;

 private:
  std::uint8_t replaced_ = 0;
};

// Where the listing writes its log lines (the shell's log).
class ListingLog {
 public:
  virtual ~ListingLog() = default;
  // A new line in the log list and the log file.
  virtual void LogLine(const std::u16string& text) = 0;
  // Replaces the last line of the log list (appends when there is none).
  virtual void ReplaceLastLine(const std::u16string& text) = 0;
  // The text and CR LF to the log file only.
  virtual void WriteToFile(const std::u16string& text) = 0;
};

struct ListingWindow {
  platform::UiDispatcher* ui = nullptr;
  platform::FrameControls controls;
  ListingLog* log = nullptr;
};

// The first page of the selected table (the catalog's selection), listed by the
// chooser the open mode and the table's allocation data call for. Runs on the
// selection worker's thread. True when a row was inserted.
bool ListFirstPage(DatabaseCatalog& catalog, ListingState& state, std::uint8_t advanced, const ListingWindow& window);

// The paging workers' bodies: the next and the previous page of rows. Each
// clears `busy` on every way out.
void ListNextPage(DatabaseCatalog& catalog, ListingState& state, const ListingWindow& window);
void ListPreviousPage(DatabaseCatalog& catalog, ListingState& state, const ListingWindow& window);

// Whether the selected table's records are read by the current-format decoder
// (otherwise by the legacy one).
bool DecodesCurrentFormat(const DatabaseCatalog& catalog);
// Where a listed row's texts come from: the indexes into the decoded row of the
// values it shows, in the records list's column order (kNoListedValue for an
// empty first value). The first is the table's first stored value, then each
// further value of a column with storage. False when every value of the row is
// empty: the listing takes such a row out again (it still counts toward its
// page's rows).
inline constexpr std::size_t kNoListedValue = static_cast<std::size_t>(-1);
bool ListedValues(const DecodedRow& row, const std::vector<ColumnLayout>& layouts, std::size_t firstPhysicalColumn,
                  std::vector<std::size_t>& indexes);

// The layouts the records list has a column for: those with storage (every one
// in files of SQL Server 2000).
std::vector<std::size_t> ListedColumns(const std::vector<ColumnLayout>& layouts);

// The decoded rows of one data page (none when the page is missing or not a
// data page); `cut`, when given, says whether the page's rows were cut at
// kMaxPageTextBytes.
std::vector<DecodedRow> FetchPageRows(DatabaseCatalog& catalog, PageId page, ListingContext& context,
                                      bool* cut = nullptr);
// The log line of a page whose rows were cut: "Page 1:240 cut: its rows hold more than 64 MiB of text".
std::u16string PageCutText(PageId page);

}  // namespace quillmark
