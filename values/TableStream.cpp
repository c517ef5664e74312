#include "values/TableStream.h"

#include <set>

#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"
#include "platform/CodePage.h"
#include "values/RecordListing.h"
#include "values/RowDecoder.h"
#include "values/TablePages.h"
#include "values/ValueTexts.h"

namespace quillmark {

LargeValuesScope::LargeValuesScope(LargeValueTexts texts) : saved_(Settings().wholeLargeValues.load()) {
  Settings().wholeLargeValues = texts == LargeValueTexts::kWhole ? 1 : 0;
}
LargeValuesScope::~LargeValuesScope() { Settings().wholeLargeValues = saved_; }

namespace {

// A stream decodes as the listing does (8-bit text in its column's code
// page), with large values as asked.
class LargeValueScope {
 public:
  LargeValueScope(LargeValueTexts texts, const std::vector<ColumnLayout>& /*layouts*/)
      : saved_(Settings().listingActive.load()), values_(texts) {
    Settings().listingActive = 1;
  }
  ~LargeValueScope() { Settings().listingActive = saved_; }
  LargeValueScope(const LargeValueScope&) = delete;
  LargeValueScope& operator=(const LargeValueScope&) = delete;

 private:
  std::uint8_t saved_;
  LargeValuesScope values_;
};

// A page of the table's list that cannot be read, or whose header is not a
// page header at all (a page never written reads as zeros and is no loss):
// its rows are lost.
bool Damaged(const CDataPage* data, PageId page) {
  if (!data || !data->header) return true;
  const CPage_Header& header = *data->header;
  if (header.pageType == 0 && header.headerVersion == 0) return false;
  constexpr std::uint32_t kLastPageType = 20;
  const bool elsewhere = header.thisPage.pageNumber != 0 && header.thisPage.pageNumber != page.pageNumber;
  return header.headerVersion != 1 || header.pageType > kLastPageType || elsewhere;
}

class Streamer {
 public:
  Streamer(DatabaseCatalog& catalog, RowSink& sink) : catalog_(catalog), sink_(sink) {}

  // One collected page list; true when it gave a row (as the listing's choosers count rows).
  bool Stream(const std::vector<PageId>& pages, ListingContext& context) {
    result_.pages = pages.size();
    result_.unreadablePages = 0;
    bool took = false;
    for (std::uint64_t i = 0; i < pages.size(); ++i) {
      if (StopRequested()) {
        result_.stopped = true;
        break;
      }
      const auto data = catalog_.file->ReadDataPage(pages[i]);
      if (Damaged(data.get(), pages[i])) {
        ++result_.unreadablePages;
        continue;
      }
      if (data->header->pageType != kDataPageType) continue;
      const bool current = !Settings().isSql2000 && !catalog_.selected.rowsetColumns.empty();
      const std::vector<DecodedRow> rows = current
                                               ? DecodeCurrentFormat(*data, context.layouts, DecodeVariant::kListing)
                                               : DecodeLegacyFormat(*data, context.layouts, DecodeVariant::kListing);
      for (const DecodedRow& row : rows) {
        if (row.empty()) continue;
        took = true;
        if (!ListedValues(row, context.layouts, catalog_.selected.firstPhysicalColumn, indexes_)) continue;
        values_.clear();
        for (const std::size_t index : indexes_) values_.push_back(index == kNoListedValue ? &empty_ : &row[index]);
        ++result_.rows;
        if (!sink_.Row(values_)) {
          result_.stopped = true;
          return true;
        }
      }
      sink_.PageDone(i, pages.size(), result_.rows);
    }
    return took;
  }

  StreamResult result_;

 private:
  DatabaseCatalog& catalog_;
  RowSink& sink_;
  std::vector<std::size_t> indexes_;
  std::vector<const std::u16string*> values_;
  const std::u16string empty_;
};

}  // namespace

std::vector<std::size_t> StreamedColumns(const DatabaseCatalog& catalog) {
  return ListedColumns(catalog.selected.layouts);
}

StreamResult StreamTableRows(DatabaseCatalog& catalog, const StreamOptions& options, RowSink& sink) {
  if (!catalog.file || catalog.selected.layouts.empty()) return {};
  const LargeValueScope texts(options.largeValues, catalog.selected.layouts);
  Streamer streamer(catalog, sink);
  ListingContext context(catalog.selected.layouts);
  ChooseTablePages(catalog, options.advanced, [&](PageStrategy, const std::vector<PageId>& pages) {
    return streamer.Stream(pages, context) || streamer.result_.stopped;
  });
  return streamer.result_;
}

}  // namespace quillmark
