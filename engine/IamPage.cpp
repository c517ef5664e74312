#include "engine/IamPage.h"

#include <algorithm>
#include <limits>
#include <set>
#include <utility>

#include "engine/AppSettings.h"

#include "engine/DatabaseFile.h"

namespace quillmark {
namespace {

constexpr std::size_t kMaxBitmapBytes = kExtentFlagCapacity / 8;  // 7988

const CRecord* Record(const RecordPage& page, std::size_t slot) {
  return slot < page.records.size() ? page.records[slot].get() : nullptr;
}

}  // namespace

std::vector<PageId> ExtentRange::PageList() {
  std::vector<PageId> pages;
  if (last < first.pageNumber) {
    count = 0;
    return pages;
  }
  for (std::int64_t page = first.pageNumber; page <= last; ++page)
    pages.push_back(PageId{first.fileId, static_cast<std::int32_t>(page)});
  count = static_cast<std::int32_t>(pages.size());
  return pages;
}

ExtentAllocationMap::ExtentAllocationMap(PageBuffer buffer, DatabaseFile* owner)
    : PrimaryRecordPage(std::move(buffer), owner, AllSlots{false}) {
  const CRecord* bitmap = Record(*this, 1);
  if (records.size() < 2 || !bitmap || bitmap->fixedData.empty()) return;
  std::size_t bytes = std::min(bitmap->fixedData.size(), kMaxBitmapBytes);
  for (std::size_t i = 0; i < bytes; ++i)
    for (int bit = 0; bit < 8; ++bit) extentFlags[extentFlagCount++] = (bitmap->fixedData[i] >> bit) & 1;
}

IamPage::IamPage(PageBuffer buffer, DatabaseFile* owner) : ExtentAllocationMap(std::move(buffer), owner) {
  const CRecord* headerRecord = Record(*this, 0);
  if (!headerRecord || headerRecord->fixedData.empty()) return;
  // Each field is read only when it lies inside the record's fixed data.
  ByteSpan fields(headerRecord->fixedData);
  sequenceNumber = ReadLeOr<std::uint32_t>(fields, 0);
  keptField14 = ReadLeOr<std::uint16_t>(fields, 14);
  keptField28 = ReadLeOr<std::uint32_t>(fields, 28);
  keptField32 = ReadLeOr<std::uint16_t>(fields, 32);
  keptField34 = ReadLeOr<std::uint8_t>(fields, 34);
  startPage = ReadPagePointer(fields, 36);
  for (std::size_t k = 0; k < singlePages.size(); ++k) singlePages[k] = ReadPagePointer(fields, 42 + 6 * k);
}

std::vector<ExtentRange> IamPage::ExtentList() {
  std::vector<ExtentRange> ranges;
  extentList = 0;
  if (!header || !file) return ranges;
  const std::int64_t thisPage = header->thisPage.pageNumber;
  const std::int64_t base = thisPage - (((thisPage % kPagesPerGamInterval) + kPagesPerGamInterval) % kPagesPerGamInterval);
  const std::uint16_t fileId = header->thisPage.fileId;
  const std::size_t flags = std::min<std::uint64_t>(extentFlagCount, file->pageCount / kPagesPerExtent);
  const std::uint64_t filePages = file->PageCountOf(fileId);
  for (std::size_t i = 0; i < flags; ++i) {
    if (!extentFlags[i]) continue;
    // Page arithmetic in 64 bits: a garbage page number must not overflow.
    std::int64_t first = base + kPagesPerExtent * static_cast<std::int64_t>(i);
    std::int64_t last = first + kPagesPerExtent - 1;
    if (first < 0 || last > std::numeric_limits<std::int32_t>::max() || static_cast<std::uint64_t>(first) >= filePages)
      continue;
    ranges.push_back(ExtentRange{0, PageId{fileId, static_cast<std::int32_t>(first)}, static_cast<std::int32_t>(last), 0});
  }
  extentList = ranges.size();
  return ranges;
}

std::vector<PageId> IamPage::AllocatedPages() {
  std::vector<PageId> pages;
  const std::uint64_t primaryPages = file ? file->pageCount : 0;
  for (const PageId& single : singlePages)
    if (single.pageNumber > 0 && static_cast<std::uint64_t>(single.pageNumber) <= primaryPages && single.fileId != 0)
      pages.push_back(single);
  for (ExtentRange& range : ExtentList())
    for (const PageId& page : range.PageList())
      if (page.fileId != 0 && page.pageNumber != 0) pages.push_back(page);
  return pages;
}

std::vector<PageId> WalkIamChain(DatabaseFile& file, PageId first) {
  std::vector<PageId> pages;
  std::set<std::pair<std::uint16_t, std::int32_t>> visited;
  PageId at = first;
  while (at.pageNumber != 0 && !StopRequested() && visited.insert({at.fileId, at.pageNumber}).second) {
    auto iam = file.ReadIamPage(at);
    if (!iam || !iam->header) break;
    for (const PageId& page : iam->AllocatedPages()) pages.push_back(page);
    at = iam->header->nextPage;
  }
  return pages;
}

}  // namespace quillmark
