// A table's data pages in the order its rows are listed: the choosers the
// record listing uses (IAM walk, page chain of either format, or every indexed
// page in Advanced Mode and where nothing better is known), each collecting an
// ordered page list. The record listing and the streaming export both take
// their pages from here, so both see the same rows in the same order.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "catalog/DatabaseCatalog.h"
#include "engine/PageId.h"

namespace quillmark {

// How a listing collects its pages.
enum class PageStrategy { kIamWalk, kPageChain, kLegacyPageChain, kAllPages };

// Lists the rows of one collected page list; true when it took a row. A
// chooser that gets false tries the next way of collecting the pages, if any.
using PageListing = std::function<bool(PageStrategy strategy, const std::vector<PageId>& pages)>;

// Runs the chooser the open mode (`advanced`) and the selected table's
// allocation data call for, handing each page list it collects to `listing`
// until one takes a row. True when one did.
bool ChooseTablePages(const DatabaseCatalog& catalog, std::uint8_t advanced, const PageListing& listing);

}  // namespace quillmark
