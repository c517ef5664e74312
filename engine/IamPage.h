// Allocation pages. An IAM page holds two records:
//   slot 0  the IAM header; offsets into its fixed data:
//             0   4  sequenceNumber
//            14   2  (kept)       28  4  (kept)      32  2  (kept)   34  1  (kept)
//            36   6  startPage    first page of the GAM interval the map covers
//            42  48  singlePages  eight page pointers of single-page allocations
//   slot 1  the extent bitmap: one bit per extent, least significant bit first,
//           at most 7988 bytes (63904 extents, one GAM interval of 511232 pages).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/RecordPage.h"

namespace quillmark {

inline constexpr std::size_t kExtentFlagCapacity = 63904;
inline constexpr std::int32_t kPagesPerGamInterval = 511232;
inline constexpr std::int32_t kPagesPerExtent = 8;

// A run of eight pages allocated together.
struct ExtentRange {
  std::int32_t reserved = 0;
  PageId first;
  std::int32_t last = 0;  // first page number + 7
  std::int32_t count = 0;

  // The page addresses first ... last.
  std::vector<PageId> PageList();
};

class ExtentAllocationMap : public PrimaryRecordPage {
 public:
  ExtentAllocationMap(PageBuffer data, DatabaseFile* file);

  std::array<std::uint8_t, kExtentFlagCapacity> extentFlags{};
  std::size_t extentFlagCount = 0;
  std::size_t extentList = 0;  // ranges in the last extent list built
};

class IamPage : public ExtentAllocationMap {
 public:
  IamPage(PageBuffer data, DatabaseFile* file);

  // One range per allocated extent, in extent order. Extents past the end of the
  // file the map belongs to are dropped.
  std::vector<ExtentRange> ExtentList();

  // The pages this IAM page allocates: the used single-page slots, then every
  // page of every allocated extent (page 0 and file id 0 left out).
  std::vector<PageId> AllocatedPages();

  std::uint32_t sequenceNumber = 0;
  std::uint16_t keptField14 = 0;
  std::uint32_t keptField28 = 0;
  std::uint16_t keptField32 = 0;
  std::uint8_t keptField34 = 0;
  PageId startPage;
  std::array<PageId, 8> singlePages{};
};

// The pages a chain of IAM pages allocates, from `first` along each IAM page's
// next-page pointer until a page number of 0. An IAM page met again (a damaged
// chain that loops) ends the walk, as does a stop request.
std::vector<PageId> WalkIamChain(DatabaseFile& file, PageId first);

}  // namespace quillmark
