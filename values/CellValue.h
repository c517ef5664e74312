// The whole value of one cell of the selected table, for everything through
// which a value leaves the program (the command line's rows and export, the
// window's value viewer): where a listing shows "<BINARY DATA>" or
// "<BIG BINARY DATA>", this reads the value itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "catalog/DatabaseCatalog.h"
#include "engine/PageId.h"

namespace quillmark {

// The text of the value that the record in `slot` of data page `page` holds for
// layout `column` of the catalog's selected table (an index into
// `catalog.selected.layouts`, the order of a DecodedRow), formatted as the
// records list formats it, with large values (text, ntext, image, the max types,
// overflowed values) read whole within the large-object reader's limits (64 MiB,
// 16 links deep, each link once). Nothing when the page is not a data page, the
// slot holds no row or the column does not exist. Runs while no listing or
// paging worker runs: it publishes its own listing context for the time it reads.
std::optional<std::u16string> ReadWholeCellValue(DatabaseCatalog& catalog, PageId page, std::uint16_t slot,
                                                 std::size_t column);

}  // namespace quillmark
