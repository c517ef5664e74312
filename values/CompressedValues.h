// Rebuilding the values of row- and page-compressed records into the stored
// form of their types, so that row decoding can read them like ordinary values.
//
// A compressed record keeps each column as a 4-bit descriptor code and, for
// short values, bytes in the short data region; long values sit in the long
// data region. On a page-compressed page a value may start with the number of
// bytes it shares with the column's anchor value, or be a symbol of the page's
// dictionary. The rebuild writes the non-long values one after another into a
// new fixed-data buffer and records, for every column, where its bytes lie, or
// that it is NULL; long values are rewritten in place.
#pragma once

#include <vector>

#include "catalog/CatalogModel.h"
#include "engine/RecordPage.h"

namespace quillmark {

inline constexpr std::size_t kRebuildBufferSize = 4096;

// The listing context of a table with compressed records: installed while its
// rows are read (see Settings().listingContext).
class CompressedValueRebuilder : public CompressedRecordRebuilder {
 public:
  explicit CompressedValueRebuilder(const std::vector<ColumnLayout>& layouts) : layouts_(&layouts) {}

  // Dropped columns keep their places in the records: the count reaches the
  // largest physical column id when that is above the number of layouts.
  int ColumnCount() const override;
  void Rebuild(CPrimaryRecord& record, const PrimaryRecordPage& page) override;

 private:
  const std::vector<ColumnLayout>* layouts_;
};

// The layout of column `column` (0-based) of a compressed record: records keep
// their columns in physical order (clustered key first), so when the layouts
// carry physical positions the one at position column + 1 is taken, and none
// when no layout has that position (a dropped column).
const ColumnLayout* LayoutOfRecordColumn(const std::vector<ColumnLayout>& layouts, std::size_t column);
// The other way round: the record column a layout's value is in.
std::size_t RecordColumnOfLayout(const std::vector<ColumnLayout>& layouts, std::size_t layout);

// The stored form of one compressed value of `layout`'s type (`compressed`
// after any anchor prefix is applied), as an uncompressed record would hold it.
ByteVector UncompressedForm(const ColumnLayout& layout, const ByteVector& compressed);

}  // namespace quillmark
