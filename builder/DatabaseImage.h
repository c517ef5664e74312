// The pages of a database's files: allocation units filled with records, their
// places in the files, and the pages every file starts with (file header, PFS,
// GAM, SGAM, DCM, BCM and, in the primary file, the boot page at 9).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/PageId.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::testing {

struct UnitRecord {
  Bytes bytes;
  bool ghost = false;
  bool unlisted = false;  // on the page without a slot: a deleted row whose slot is gone
  // A page-compressed page's compression information: the record starts a new
  // page that begins with it.
  Bytes compressionInfo{};
};

// The pages of one allocation unit (a system table, the rows or the text values
// of a user table). Its records fill data pages in order.
struct UnitImage {
  std::int64_t key = 0;  // names the unit among the placements
  std::int32_t headerObjectId = 0;
  std::uint16_t headerIndexId = 0;
  std::uint16_t iamIndexId = 0;
  std::uint16_t fileId = 1;
  std::uint8_t pageType = 1;  // 1: data pages; 3: text pages
  bool linked = false;        // the pages are chained by their previous/next pointers
  bool hasIam = true;         // false: a dropped unit whose pages are no longer allocated
  std::vector<UnitRecord> records;
};

struct UnitPlacement {
  PageId iam{0, 0};
  std::vector<PageId> pages;
  std::vector<RowId> records;  // where each record lands

  PageId FirstPage() const { return pages.empty() ? PageId{0, 0} : pages.front(); }
  // The data pages and the IAM page.
  std::int32_t UsedPages() const { return static_cast<std::int32_t>(pages.size()) + (iam.pageNumber != 0 ? 1 : 0); }
};
using Placements = std::map<std::int64_t, UnitPlacement>;

// Places every unit: its IAM page and first eight pages one by one in mixed
// extents, in unit order, and the rest of its pages in uniform extents after
// the mixed ones. Pages 0 to 7 of every file and the boot page are kept free.
Placements PlaceUnits(const std::vector<UnitImage>& units);

struct ImageOptions {
  std::uint16_t version = 782;
  std::uint16_t createVersion = 782;
  std::string databaseName;
  std::int32_t collation = 0;
  bool sql2000 = false;
  bool tornPageBits = false;
  std::vector<std::uint16_t> fileIds{1};  // the primary file and the secondary files
};

// The pages of every file, by file id.
std::map<std::uint16_t, std::vector<Bytes>> BuildFiles(const std::vector<UnitImage>& units,
                                                       const Placements& placements, const ImageOptions& options);

}  // namespace quillmark::testing
