#include "values/RecordListing.h"

#include <functional>
#include <string>
#include <utility>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "catalog/SchemaResolution.h"
#include "values/TablePages.h"

namespace quillmark {

ListingContext::ListingContext(const std::vector<ColumnLayout>& tableLayouts)
    : layouts(tableLayouts), rebuilder_(layouts), replaced_(Settings().listingContext) {
  Settings().listingContext = &rebuilder_;
}

ListingContext::~ListingContext() { Settings().listingContext = replaced_; }

// Every page of rows decodes as the first one did.
ActiveListing::ActiveListing() : replaced_(Settings().listingActive.load()) { Settings().listingActive = 1; }
ActiveListing::~ActiveListing() { Settings().listingActive = replaced_; }

bool DecodesCurrentFormat(const DatabaseCatalog& catalog) {
  return !Settings().isSql2000 && !catalog.selected.rowsetColumns.empty();
}

bool ListedValues(const DecodedRow& row, const std::vector<ColumnLayout>& layouts, std::size_t first,
                  std::vector<std::size_t>& indexes) {
  indexes.clear();
  const std::size_t count = row.size();
  if (count == 0) return false;
  indexes.push_back(first < count ? first : kNoListedValue);
  std::size_t emptyCount = row[0].empty() || row[0] == kNullText ? 1 : 0;
  for (std::size_t j = first + 1; j < count; ++j) {
    if (j < layouts.size() && layouts[j].physicalColumnId == kNoStorage) continue;
    indexes.push_back(j);
    if (row[j].empty()) ++emptyCount;
  }
  return emptyCount != count;
}

std::vector<std::size_t> ListedColumns(const std::vector<ColumnLayout>& layouts) {
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < layouts.size(); ++i)
    if (Settings().isSql2000 || layouts[i].physicalColumnId != kNoStorage) shown.push_back(i);
  return shown;
}

std::vector<DecodedRow> FetchPageRows(DatabaseCatalog& catalog, PageId page, ListingContext& context, bool* cut) {
  if (cut) *cut = false;
  if (!catalog.file) return {};
  const auto data = catalog.file->ReadDataPage(page);
  if (!data || !data->header || data->header->pageType != kDataPageType) return {};
  return DecodesCurrentFormat(catalog) ? DecodeCurrentFormat(*data, context.layouts, DecodeVariant::kListing, cut)
                                       : DecodeLegacyFormat(*data, context.layouts, DecodeVariant::kListing, cut);
}

std::u16string PageCutText(PageId page) {
  const std::string text = std::to_string(page.fileId) + ":" + std::to_string(page.pageNumber) +
                           " cut: its rows hold more than " + std::to_string(kMaxPageTextBytes >> 20) +
                           " MiB of text";
  return u"Page " + std::u16string(text.begin(), text.end());
}

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string InsertedText(std::int32_t items) { return Ascii(" row " + std::to_string(items) + " inserted"); }

std::u16string RangeText(std::int64_t first, std::int64_t last) {
  return Ascii(std::to_string(first) + " rows to " + std::to_string(last));
}

// "Page2 - [1000](1001-2000) Records"
std::u16string PageStatusText(std::int32_t pageNumber, std::int64_t first, std::int64_t last) {
  return Ascii("Page" + std::to_string(pageNumber) + " - [" + std::to_string(last - first) + "](" +
               std::to_string(first + 1) + "-" + std::to_string(last) + ") Records");
}

std::int32_t Low32(std::int64_t value) { return static_cast<std::int32_t>(value); }

// The page-chain listing of current-format files and the all-pages listing
// also write every row's status to the log file.
bool WritesRowsToFile(PageStrategy strategy) {
  return strategy == PageStrategy::kPageChain || strategy == PageStrategy::kAllPages;
}

// One listing or paging operation over the catalog's selected table.
class Lister {
 public:
  Lister(DatabaseCatalog& catalog, ListingState& state, const ListingWindow& window)
      : catalog_(catalog), state_(state), window_(window), controls_(window.controls) {}

  bool FirstPage(std::uint8_t advanced);

  void NextPage();
  void PreviousPage();

 private:
  const SelectedTable& Selected() const { return catalog_.selected; }
  void Ui(const std::function<void()>& work) const { window_.ui->Invoke(work); }

  bool Listing(PageStrategy strategy, const std::vector<PageId>& pages, ListingContext& context);

  std::int64_t ListPages(PageStrategy strategy, ListingContext& context);
  // The rows of listed page `index`; a page cut at its text limit says so in the log.
  std::vector<DecodedRow> FetchPage(std::uint64_t index, ListingContext& context);
  void EndReport(PageStrategy strategy, std::int64_t rowsTaken);
  std::int64_t ListFrom(PageStart start, ListingContext& context, bool recordPageStart);
  void InsertRow(const DecodedRow& row, const std::vector<ColumnLayout>& layouts, bool toLogFile,
                 std::int64_t progressPosition = -1);
  void ShowPageRange();
  void BeginPaging();
  void EndPaging();

  DatabaseCatalog& catalog_;
  ListingState& state_;
  const ListingWindow& window_;
  const platform::FrameControls& controls_;
};

bool Lister::FirstPage(std::uint8_t advanced) {
  if (!advanced && !Settings().isSql2000) Ui([&] { controls_.text->SetText(u""); });
  ListingContext context(Selected().layouts);
  return ChooseTablePages(catalog_, advanced, [&](PageStrategy strategy, const std::vector<PageId>& pages) {
    return Listing(strategy, pages, context);
  });
}

bool Lister::Listing(PageStrategy strategy, const std::vector<PageId>& pages, ListingContext& context) {
  state_.pageStarts.clear();
  const auto pageTotal = Low32(static_cast<std::int64_t>(Selected().dataPages.size()));
  Ui([&] {
    controls_.progress->SetPos(0);
    controls_.progress->SetRange(0, pageTotal);
  });
  state_.itemIndex = 0;
  state_.listedPages = pages;
  const std::int64_t rowsTaken = ListPages(strategy, context);
  EndReport(strategy, rowsTaken);
  Ui([&] { controls_.progress->SetPos(pageTotal); });
  return rowsTaken > 0;
}

std::vector<DecodedRow> Lister::FetchPage(std::uint64_t index, ListingContext& context) {
  bool cut = false;
  std::vector<DecodedRow> rows = FetchPageRows(catalog_, state_.listedPages[index], context, &cut);
  if (cut) window_.log->LogLine(PageCutText(state_.listedPages[index]));
  return rows;
}

// Lists the collected pages from the start until 1000 rows were taken; where
// the rows stopped becomes the start of the next page of rows.
std::int64_t Lister::ListPages(PageStrategy strategy, ListingContext& context) {
  std::int64_t rowsTaken = 0;
  state_.pageStarts.push_back(PageStart{0, 0});
  auto stopAt = [&](std::uint64_t page, std::int64_t row) {
    state_.pageStarts.push_back(PageStart{page, row});
    state_.resumePosition = PageStart{page, row};
  };
  for (std::uint64_t i = 0; i < state_.listedPages.size() && !StopRequested(); ++i) {
    if (rowsTaken >= kRowsPerPage) {
      stopAt(i, 0);
      break;
    }
    const std::vector<DecodedRow> rows = FetchPage(i, context);
    for (std::size_t r = 0; r < rows.size() && !StopRequested(); ++r) {
      if (rowsTaken >= kRowsPerPage) {
        stopAt(i, static_cast<std::int64_t>(r));
        return rowsTaken;
      }
      if (rows[r].empty()) continue;
      ++rowsTaken;
      InsertRow(rows[r], context.layouts, WritesRowsToFile(strategy));
    }
    Ui([&] { controls_.progress->SetPos(Low32(static_cast<std::int64_t>(i + 1))); });
  }
  return rowsTaken;
}

void Lister::EndReport(PageStrategy strategy, std::int64_t rowsTaken) {
  std::u16string report;
  if (strategy == PageStrategy::kPageChain) {
    int items = 0;
    Ui([&] { items = controls_.records->RowCount(); });
    report = Ascii(std::to_string(items));
    state_.lastRow = items;
  } else {
    report = RangeText(0, Low32(rowsTaken));
    state_.lastRow = rowsTaken;
  }
  state_.firstRow = 0;
  if (strategy != PageStrategy::kPageChain && rowsTaken == 0) return;
  Ui([&] { controls_.caption->SetText(report); });
  window_.log->LogLine(report);
}

// A row's first stored value becomes the item, the further stored values its
// sub-items. A row whose every value is empty (its first one may read NULL)
// is taken out again; it still counts toward the page's rows.
void Lister::InsertRow(const DecodedRow& row, const std::vector<ColumnLayout>& layouts, bool toLogFile,
                       std::int64_t progressPosition) {
  std::vector<std::size_t> indexes;
  const bool empty = !ListedValues(row, layouts, Selected().firstPhysicalColumn, indexes);
  std::vector<std::u16string> texts;
  texts.reserve(indexes.size());
  for (const std::size_t index : indexes) texts.push_back(index == kNoListedValue ? std::u16string() : row[index]);
  const std::int32_t at = state_.itemIndex;
  if (!empty) ++state_.itemIndex;
  const std::u16string status = InsertedText(state_.itemIndex);
  Ui([&] {
    if (progressPosition >= 0) controls_.progress->SetPos(Low32(progressPosition));
    // Only the row just inserted goes: rows the user selected meanwhile stay.
    const int index = controls_.records->InsertRow(at, texts);
    if (empty) controls_.records->DeleteRow(index);
    controls_.caption->SetText(status);
    // One trip to the user-interface thread per row: the log list too.
    window_.log->ReplaceLastLine(status);
  });
  if (toLogFile) window_.log->WriteToFile(status);
}

// Lists up to 1000 rows from `start`; reaching the limit records where the
// next page of rows begins (as a new page start too, when going forward).
std::int64_t Lister::ListFrom(PageStart start, ListingContext& context, bool recordPageStart) {
  std::int64_t rowsTaken = 0;
  auto stopped = [&] { return StopRequested() || (recordPageStart && Settings().busy.load() == 0); };
  for (std::uint64_t p = start.pageIndex; p < state_.listedPages.size(); ++p) {
    const std::vector<DecodedRow> rows = FetchPage(p, context);
    const std::int64_t firstRow = p == start.pageIndex ? start.rowIndex : 0;
    for (std::int64_t r = firstRow < 0 ? 0 : firstRow; r < static_cast<std::int64_t>(rows.size()); ++r) {
      if (stopped()) return rowsTaken;
      if (rowsTaken >= kRowsPerPage) {
        if (recordPageStart) state_.pageStarts.push_back(PageStart{p, r});
        state_.resumePosition = PageStart{p, r};
        return rowsTaken;
      }
      const DecodedRow& row = rows[static_cast<std::size_t>(r)];
      if (row.empty()) continue;
      ++rowsTaken;
      InsertRow(row, context.layouts, true, rowsTaken - 1);
    }
  }
  return rowsTaken;
}

void Lister::ShowPageRange() {
  const std::u16string range = RangeText(state_.firstRow, state_.lastRow);
  const std::u16string status = PageStatusText(state_.pageNumber, state_.firstRow, state_.lastRow);
  Ui([&] { controls_.caption->SetText(range); });
  window_.log->LogLine(range);
  Ui([&] { controls_.status->SetText(status); });
}

// Busy for the whole run; the progress bar counts the rows of the page shown.
void Lister::BeginPaging() {
  Settings().busy = 1;
  Ui([&] {
    controls_.progress->SetVisible(true);
    controls_.progress->SetPos(0);
    controls_.progress->SetRange(Low32(state_.firstRow), Low32(state_.lastRow));
  });
}

void Lister::EndPaging() {
  Ui([&] {
    controls_.records->Redraw();
    controls_.progress->SetVisible(false);
  });
  Settings().busy = 0;
}

void Lister::NextPage() {
  const auto pageCount = static_cast<std::int32_t>(state_.pageStarts.size());
  Ui([&] { controls_.status->SetText(u""); });
  if (pageCount < 2) {
    Ui([&] { controls_.next->SetEnabled(false); });
    Settings().busy = 0;
    return;
  }
  BeginPaging();
  state_.itemIndex = 0;
  const NextKey key{pageCount, Low32(state_.resumePosition.rowIndex)};
  if (key == state_.lastNextKey) {
    // The last page was shown already.
    Ui([&] {
      controls_.next->SetEnabled(false);
      controls_.progress->SetVisible(false);
    });
    Settings().busy = 0;
    return;
  }
  Ui([&] {
    controls_.next->SetEnabled(true);
    controls_.previous->SetEnabled(true);
    controls_.records->DeleteAllRows();
  });
  state_.lastNextKey = key;
  std::int64_t rowsTaken = 0;
  {
    ListingContext context(Selected().layouts);
    rowsTaken = ListFrom(state_.resumePosition, context, true);
  }
  state_.firstRow = state_.lastRow;
  state_.lastRow = state_.firstRow + rowsTaken;
  state_.pageNumber += 1;
  ShowPageRange();
  // No new page start: this was the last page.
  if (static_cast<std::int32_t>(state_.pageStarts.size()) == pageCount &&
      Low32(state_.resumePosition.rowIndex) == state_.lastNextKey.rowIndex)
    Ui([&] { controls_.next->SetEnabled(false); });
  EndPaging();
}

// Page n begins at pageStarts[n - 1]; every page but the last holds 1000 rows.
void Lister::PreviousPage() {
  const auto pageCount = static_cast<std::int64_t>(state_.pageStarts.size());
  Ui([&] { controls_.status->SetText(u""); });
  if (pageCount <= 1 || state_.pageNumber <= 1 || state_.pageNumber > pageCount) {
    Ui([&] {
      controls_.previous->SetEnabled(false);
      controls_.next->SetEnabled(true);
    });
    EndPaging();
    return;
  }
  BeginPaging();
  Ui([&] { controls_.next->SetEnabled(true); });
  const auto shown = static_cast<std::size_t>(state_.pageNumber - 1);
  const PageStart start = state_.pageStarts[shown - 1];
  // The page being left is where Next resumes.
  state_.pageStarts.resize(shown + 1);
  state_.resumePosition = state_.pageStarts[shown];
  state_.lastNextKey = NextKey{};
  if (shown - 1 == 0) Ui([&] { controls_.previous->SetEnabled(false); });
  Ui([&] { controls_.records->DeleteAllRows(); });
  state_.itemIndex = 0;
  std::int64_t rowsTaken = 0;
  {
    ListingContext context(Selected().layouts);
    rowsTaken = ListFrom(start, context, false);
  }
  state_.pageNumber -= 1;
  state_.firstRow = state_.pageNumber == 1 ? 0 : state_.firstRow - kRowsPerPage;
  state_.lastRow = state_.firstRow + rowsTaken;
  ShowPageRange();
  EndPaging();
}

}  // namespace

bool ListFirstPage(DatabaseCatalog& catalog, ListingState& state, std::uint8_t advanced, const ListingWindow& window) {
  if (!catalog.file) return false;
  const ActiveListing active;
  const bool inserted = Lister(catalog, state, window).FirstPage(advanced);
  if (StopRequested()) Settings().stopRequested = 0;
  return inserted;
}

void ListNextPage(DatabaseCatalog& catalog, ListingState& state, const ListingWindow& window) {
  if (!catalog.file) {
    Settings().busy = 0;
    return;
  }
  const ActiveListing active;
  Lister(catalog, state, window).NextPage();
}

void ListPreviousPage(DatabaseCatalog& catalog, ListingState& state, const ListingWindow& window) {
  if (!catalog.file) {
    Settings().busy = 0;
    return;
  }
  const ActiveListing active;
  Lister(catalog, state, window).PreviousPage();
}

}  // namespace quillmark
