// Row decoding: the records of one data page become rows of text, column by
// column, against the selected table's column layouts.
//
// Two decoders: the current one (SQL Server 2005 and later files, tables whose
// layouts come from rowset-column rows) and the legacy one (SQL Server 2000);
// each in a listing variant (the records list) and a catalog variant (system
// table rows read for the object tree and module text).
#pragma once

#include <optional>
#include <cstddef>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "engine/RecordPage.h"

namespace quillmark {

// kListing: the records list's rows; large values show as the listing's
// placeholders while a listing runs, unless the settings ask for whole values.
// kWholeValues: as kListing, with every large value read whole (within the
// large-object reader's limits). kCatalog: system table rows.
enum class DecodeVariant { kListing, kWholeValues, kCatalog };

// The texts of one decoded row, one per layout, in layout order.
using DecodedRow = std::vector<std::u16string>;

inline constexpr const char16_t* kNullText = u"NULL";
inline constexpr const char16_t* kBigBinaryData = u"<BIG BINARY DATA>";
inline constexpr const char16_t* kBinaryData = u"<BINARY DATA>";

// The most text (in bytes, two a code unit) the rows of one page may hold. A
// page's rows are all decoded before the first is taken, and a page can claim
// thousands of rows with large values each; once its rows hold this much, no
// further large value is read and no further row is decoded: the page is cut.
// As much as one whole value, so a page of real rows is cut only when its
// values together outgrow what one value may be.
inline constexpr std::size_t kMaxPageTextBytes = std::size_t{64} << 20;

// `layouts` is the working row: each column's valueText is written as the row
// is decoded (and physicalColumnId may be corrected), as the records list
// expects; a column added after a row was written keeps its default text.
// `cut`, when given, says whether the page was cut at kMaxPageTextBytes.
std::vector<DecodedRow> DecodeCurrentFormat(const CDataPage& page, std::vector<ColumnLayout>& layouts,
                                            DecodeVariant variant, bool* cut = nullptr);
std::vector<DecodedRow> DecodeLegacyFormat(const CDataPage& page, std::vector<ColumnLayout>& layouts,
                                           DecodeVariant variant, bool* cut = nullptr);

// The row of the record in `slot` of `page` (either decoder, `current` chooses),
// or nothing when the slot holds no record that becomes a row.
std::optional<DecodedRow> DecodeSlot(const CDataPage& page, std::size_t slot, std::vector<ColumnLayout>& layouts,
                                     bool current, DecodeVariant variant);

}  // namespace quillmark
