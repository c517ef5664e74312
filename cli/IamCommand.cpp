// `iam`: an IAM page's header record, its eight single-page slots and the
// extents its bitmap allocates, in the layout of a page dump.
#include <fmt/format.h>

#include "cli/Commands.h"
#include "cli/FieldRows.h"
#include "cli/PageAddress.h"
#include "engine/IamPage.h"

namespace quillmark::cli {
namespace {

// Adjacent extents joined into one run of pages.
struct PageRun {
  PageId first;
  std::int32_t last = 0;
};

std::vector<PageRun> JoinExtents(const std::vector<ExtentRange>& extents) {
  std::vector<PageRun> runs;
  for (const ExtentRange& extent : extents) {
    if (!runs.empty() && runs.back().first.fileId == extent.first.fileId &&
        static_cast<std::int64_t>(runs.back().last) + 1 == extent.first.pageNumber)
      runs.back().last = extent.last;
    else
      runs.push_back(PageRun{extent.first, extent.last});
  }
  return runs;
}

void PrintIamHeader(const IamPage& iam, std::ostream& out) {
  out << "\nIAM: Header\n\n";
  PrintInRows({{"sequenceNumber", std::to_string(iam.sequenceNumber)},
               {"keptField14", std::to_string(iam.keptField14)},
               {"keptField28", std::to_string(iam.keptField28)},
               {"keptField32", std::to_string(iam.keptField32)},
               {"keptField34", std::to_string(iam.keptField34)},
               {"start_pg", PageAddressText(iam.startPage)}},
              3, out);
}

void PrintSinglePages(const IamPage& iam, std::ostream& out) {
  out << "\nIAM: Single Page Allocations\n\n";
  std::vector<Field> slots;
  for (std::size_t k = 0; k < iam.singlePages.size(); ++k)
    slots.emplace_back(fmt::format("Slot {}", k), PageAddressText(iam.singlePages[k]));
  PrintInRows(slots, 3, out);
}

void PrintExtents(const std::vector<ExtentRange>& extents, std::ostream& out) {
  out << "\nIAM: Extent Alloc Status\n\n";
  for (const PageRun& run : JoinExtents(extents))
    out << fmt::format("{}-{} = ALLOCATED\n", PageAddressText(run.first),
                       PageAddressText(PageId{run.first.fileId, run.last}));
  if (extents.empty()) out << "(no extents allocated)\n";
}

}  // namespace

void IamCommand(DatabaseFile& db, PageId id, std::ostream& out) {
  auto iam = db.ReadIamPage(id);
  if (!iam || !iam->header) throw CliError(UnreadablePageMessage(db, id));
  const CPage_Header& h = *iam->header;
  if (h.pageType != kIamPageType)
    throw CliError(fmt::format("page {} is not an IAM page (m_type = {})", PageAddressText(id), h.pageType));

  out << fmt::format("IAM PAGE: {}\n\n", PageAddressText(id));
  PrintRow({{"m_objId", std::to_string(h.objectId)},
            {"m_indexId", std::to_string(h.indexId)},
            {"m_pageId", PageAddressText(h.thisPage)}},
           out);
  PrintIamHeader(*iam, out);
  PrintSinglePages(*iam, out);
  const std::vector<ExtentRange> extents = iam->ExtentList();
  PrintExtents(extents, out);
  out << fmt::format("\nExtents = {}  Allocated Pages = {}\n", extents.size(), iam->AllocatedPages().size());
}

}  // namespace quillmark::cli
