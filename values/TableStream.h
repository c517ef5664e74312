// The streaming path: every row of the selected table, straight from its pages
// to a sink, with no records list and no user-interface thread. The pages are
// collected as the record listing collects them (same choosers, same order,
// Advanced Mode included), each page is decoded by the same row decoder, and
// each row handed on with the listing's texts before the next page is read, so
// memory stays flat whatever the table's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/DatabaseCatalog.h"
#include "engine/PageId.h"

namespace quillmark {

// How large values come out: as the records list shows them ("<BINARY DATA>",
// "<BIG BINARY DATA>") or whole, by the decoder's whole-value mode.
enum class LargeValueTexts { kPlaceholders, kWhole };

// The decoder gives large values as `texts` says while this lives (the
// listing's decoding otherwise unchanged: 8-bit text keeps its column's code page).
class LargeValuesScope {
 public:
  explicit LargeValuesScope(LargeValueTexts texts);
  ~LargeValuesScope();
  LargeValuesScope(const LargeValuesScope&) = delete;
  LargeValuesScope& operator=(const LargeValuesScope&) = delete;

 private:
  std::uint8_t saved_;
};

struct StreamOptions {
  std::uint8_t advanced = 0;  // Advanced Mode: every page indexed for the table
  LargeValueTexts largeValues = LargeValueTexts::kWhole;
};

class RowSink {
 public:
  virtual ~RowSink() = default;
  // One row: the texts of the listed columns, in order (the listing's empty
  // first value is an empty text). False stops the stream.
  virtual bool Row(const std::vector<const std::u16string*>& values) = 0;
  // After each page: its index into the collected pages and their count.
  virtual void PageDone(std::uint64_t /*page*/, std::uint64_t /*pages*/, std::uint64_t /*rows*/) {}
};

struct StreamResult {
  std::uint64_t rows = 0;
  std::uint64_t pages = 0;            // pages collected
  std::uint64_t unreadablePages = 0;  // collected pages that could not be read
  bool stopped = false;               // the sink or a stop request ended it early
};

// The layouts the stream's values come from, one per listed column.
std::vector<std::size_t> StreamedColumns(const DatabaseCatalog& catalog);

// Streams the rows of the catalog's selected table (resolved already) to `sink`.
StreamResult StreamTableRows(DatabaseCatalog& catalog, const StreamOptions& options, RowSink& sink);

}  // namespace quillmark
