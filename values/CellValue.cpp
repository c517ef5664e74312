#include "values/CellValue.h"

#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "values/RecordListing.h"
#include "values/RowDecoder.h"

namespace quillmark {

std::optional<std::u16string> ReadWholeCellValue(DatabaseCatalog& catalog, PageId page, std::uint16_t slot,
                                                 std::size_t column) {
  if (!catalog.file || column >= catalog.selected.layouts.size()) return std::nullopt;
  const ActiveListing active;
  ListingContext context(catalog.selected.layouts);
  const auto data = catalog.file->ReadDataPage(page);
  if (!data || !data->header || data->header->pageType != kDataPageType) return std::nullopt;
  std::optional<DecodedRow> row =
      DecodeSlot(*data, slot, context.layouts, DecodesCurrentFormat(catalog), DecodeVariant::kWholeValues);
  if (!row || column >= row->size()) return std::nullopt;
  return std::move((*row)[column]);
}

}  // namespace quillmark
