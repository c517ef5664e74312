#include "builder/DatabaseImage.h"

#include "builder/StoredValues.h"

#include <algorithm>
#include <set>

namespace quillmark::testing {
namespace {

constexpr std::size_t kPageBody = kPage - 96;  // room for records and slots
constexpr std::size_t kSinglePages = 8;        // pages of a unit taken from mixed extents
constexpr std::int32_t kAllocationPagesId = 99;  // owner of pages 0 to 9
constexpr std::size_t kBitmapBytes = 7988;      // one GAM interval: 63904 extents

std::int32_t RoundUpToExtent(std::int32_t page) { return (page + 7) / 8 * 8; }

// Pages 0 to 7 hold the file header and the allocation pages (4 and 5 stay
// empty); page 9 of the primary file is the boot page.
bool IsFixedPage(std::uint16_t fileId, std::int32_t page) { return page < 8 || (fileId == 1 && page == 9); }
bool IsFormattedFixedPage(std::uint16_t fileId, std::int32_t page) {
  return IsFixedPage(fileId, page) && page != 4 && page != 5;
}

// The record indices on each page: records fill a page while they and their
// slots fit; a record with compression information starts a page.
std::vector<std::vector<std::size_t>> PackRecords(const std::vector<UnitRecord>& records) {
  std::vector<std::vector<std::size_t>> pages;
  std::size_t used = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t need = records[i].bytes.size() + (records[i].unlisted ? 0 : 2);
    if (pages.empty() || used + need > kPageBody || !records[i].compressionInfo.empty()) {
      pages.emplace_back();
      used = records[i].compressionInfo.size();
    }
    pages.back().push_back(i);
    used += need;
  }
  return pages;
}

std::int32_t NextMixedPage(std::map<std::uint16_t, std::int32_t>& next, std::uint16_t fileId) {
  std::int32_t& page = next.try_emplace(fileId, 8).first->second;
  while (IsFixedPage(fileId, page)) ++page;
  return page++;
}

// The LSN fields (40 to 49) and the smallest record length (14) of a page.
void FinishHeader(Bytes& page, std::uint16_t minRecordLength) {
  PutU32(page, 40, 32);
  PutU32(page, 44, 16);
  PutU16(page, 48, 1);
  PutU16(page, 14, minRecordLength);
}

Bytes RecordPage(const UnitImage& unit, const UnitPlacement& place, const std::vector<std::size_t>& recordIndices,
                 std::size_t pageIndex) {
  const PageId self = place.pages[pageIndex];
  PageBuilder page(unit.pageType, unit.headerObjectId, self.pageNumber, self.fileId);
  page.IndexId(unit.headerIndexId);
  if (unit.linked && pageIndex > 0) page.Previous(place.pages[pageIndex - 1].pageNumber, unit.fileId);
  if (unit.linked && pageIndex + 1 < place.pages.size()) page.Next(place.pages[pageIndex + 1].pageNumber, unit.fileId);
  const Bytes& info = unit.records[recordIndices.front()].compressionInfo;
  if (!info.empty()) page.CompressionInfoBytes(info);
  std::int16_t ghosts = 0;
  for (std::size_t index : recordIndices) {
    const UnitRecord& record = unit.records[index];
    if (record.unlisted) {
      page.AddUnlistedRecord(record.bytes);
      continue;
    }
    page.AddRecord(record.bytes);
    if (record.ghost) ++ghosts;
  }
  page.GhostCount(ghosts);
  Bytes bytes = page.Build();
  const Bytes& first = unit.records[recordIndices.front()].bytes;
  FinishHeader(bytes, unit.pageType == 1 ? static_cast<std::uint16_t>(first[2] | first[3] << 8) : 0);
  return bytes;
}

Bytes UnitIamPage(const UnitImage& unit, const UnitPlacement& place) {
  IamSpec iam;
  iam.pageNumber = place.iam.pageNumber;
  iam.objectId = unit.headerObjectId;
  iam.indexId = unit.iamIndexId;
  iam.fileId = unit.fileId;
  iam.bitmap = Bytes(kBitmapBytes, 0);
  for (std::size_t k = 0; k < place.pages.size(); ++k) {
    const std::int32_t number = place.pages[k].pageNumber;
    if (k < kSinglePages) {
      iam.singlePages[k] = number;
    } else {
      const auto extent = static_cast<std::size_t>(number / 8);
      iam.bitmap[extent / 8] = static_cast<std::uint8_t>(iam.bitmap[extent / 8] | 1u << (extent % 8));
    }
  }
  Bytes bytes = IamPageBytes(iam);
  FinishHeader(bytes, 94);
  return bytes;
}

// One record of fixed data and no columns, as allocation pages hold them.
Bytes BareRecord(const Bytes& fixed) { return RecordBuilder().Fixed(fixed).Columns(0).NoNullBitmap().Build(); }

Bytes AllocationPage(std::uint8_t type, std::int32_t number, std::uint16_t fileId, const std::vector<Bytes>& records) {
  PageBuilder page(type, kAllocationPagesId, number, fileId);
  for (const Bytes& fixed : records) page.AddRecord(BareRecord(fixed));
  Bytes bytes = page.Build();
  FinishHeader(bytes, type == 11 ? 0 : 94);
  return bytes;
}

// The file header (page 0): a record of variable-length fields, of which this
// program fills the file id, the filegroup, the size in pages, the maximum size
// and the growth; the field lengths are those of the real files.
Bytes FileHeaderPage(std::uint16_t fileId, std::int32_t pageCount, bool sql2000) {
  static const std::vector<std::size_t> modern = {16, 0,  2,  2,  4, 4,  4,  4,  10, 10, 10, 0,  4,  4,  4, 4,
                                                  10, 28, 10, 10, 10, 16, 10, 16, 4,  10, 0,  8,  16, 0,  0, 0,
                                                  0,  0,  0,  16, 0,  0,  10, 10, 28, 10, 16, 28, 8,  600};
  static const std::vector<std::size_t> legacy = {16, 0, 2, 2, 4, 4, 4, 4, 0, 10, 0, 0, 4, 4, 4, 4, 0, 0, 0, 10, 10, 16};
  const std::vector<std::size_t>& lengths = sql2000 ? legacy : modern;
  const auto columns = static_cast<std::int16_t>(lengths.size() + (sql2000 ? 1 : 3));
  RecordBuilder record;
  record.Fixed(Bytes(4, 0)).Columns(columns).Nulls(std::vector<bool>(static_cast<std::size_t>(columns), false));
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    Bytes value(lengths[i], 0);
    if (i == 0) value = Concat({Utf16(u"QMFILE"), Bytes{static_cast<std::uint8_t>(fileId), 0, 0, 0}});
    if (i == 2) PutU16(value, 0, fileId);
    if (i == 3) PutU16(value, 0, 1);
    if (i == 4) PutU32(value, 0, static_cast<std::uint32_t>(pageCount));
    if (i == 5) PutU32(value, 0, 0xFFFFFFFF);
    if (i == 6) PutU32(value, 0, sql2000 ? 10 : 128);
    record.Var(value);
  }
  PageBuilder page(15, kAllocationPagesId, 0, fileId);
  page.AddRecord(record.Build());
  Bytes bytes = page.Build();
  FinishHeader(bytes, 0);
  return bytes;
}

// The length of the boot record's fixed data in the real files of each version.
std::size_t BootRecordLength(std::uint16_t version) {
  if (version >= 782) return 1550;
  if (version >= 706) return 1500;
  if (version >= 655) return 1440;
  if (version >= 611) return 728;
  return 548;
}

// The boot page's one record; its fields by page offset: version at 100,
// create version at 102, the name (UTF-16, padded with 0x20 bytes) at 148 and
// the collation id at 488.
Bytes BootPage(const ImageOptions& options) {
  const std::size_t length = BootRecordLength(options.version);
  Bytes fixed(length, 0);
  PutU16(fixed, 0, options.version);
  PutU16(fixed, 2, options.createVersion);
  Bytes name = Utf16Text(options.databaseName);
  name.resize(256, 0x20);
  PutBytes(fixed, 48, name);
  PutU32(fixed, 388, static_cast<std::uint32_t>(options.collation));
  PageBuilder page(13, kAllocationPagesId, 9);
  page.AddRecord(BareRecord(fixed));
  Bytes bytes = page.Build();
  FinishHeader(bytes, 0);
  return bytes;
}

// Allocation state of one file's pages.
struct FileUse {
  std::set<std::int32_t> allocated;
  std::set<std::int32_t> mixed;
  std::set<std::int32_t> iam;
};

std::map<std::uint16_t, FileUse> UseOfPages(const std::vector<UnitImage>& units, const Placements& placements) {
  std::map<std::uint16_t, FileUse> use;
  for (const UnitImage& unit : units) {
    const UnitPlacement& place = placements.at(unit.key);
    if (!unit.hasIam || place.pages.empty()) continue;
    FileUse& file = use[unit.fileId];
    file.allocated.insert(place.iam.pageNumber);
    file.mixed.insert(place.iam.pageNumber);
    file.iam.insert(place.iam.pageNumber);
    for (std::size_t k = 0; k < place.pages.size(); ++k) {
      file.allocated.insert(place.pages[k].pageNumber);
      if (k < kSinglePages) file.mixed.insert(place.pages[k].pageNumber);
    }
  }
  return use;
}

// PFS: one byte per page: 0x40 allocated, 0x20 in a mixed extent, 0x10 an IAM
// page, 0x04 full (the file's own fixed pages).
Bytes PfsBytes(std::uint16_t fileId, const FileUse& use, std::size_t pageCount) {
  Bytes bytes(8088, 0);
  for (std::size_t page = 0; page < std::min(pageCount, bytes.size()); ++page) {
    const auto number = static_cast<std::int32_t>(page);
    if (IsFormattedFixedPage(fileId, number)) {
      bytes[page] = 0x44;
      continue;
    }
    if (!use.allocated.count(number)) continue;
    bytes[page] = static_cast<std::uint8_t>(0x40 | (use.mixed.count(number) ? 0x20 : 0) |
                                            (use.iam.count(number) ? 0x10 : 0));
  }
  return bytes;
}

// GAM: a set bit marks a free extent; SGAM: a mixed extent with a free page.
std::pair<Bytes, Bytes> ExtentMaps(std::uint16_t fileId, const FileUse& use, std::size_t pageCount) {
  Bytes gam(kBitmapBytes, 0xFF);
  Bytes sgam(kBitmapBytes, 0);
  for (std::size_t extent = 0; extent < pageCount / 8; ++extent) {
    int used = 0;
    bool mixed = extent < 2;
    for (std::size_t page = extent * 8; page < extent * 8 + 8; ++page) {
      const auto number = static_cast<std::int32_t>(page);
      if (use.allocated.count(number) || IsFormattedFixedPage(fileId, number)) ++used;
      if (use.mixed.count(number)) mixed = true;
    }
    const auto bit = static_cast<std::uint8_t>(1u << (extent % 8));
    if (used > 0) gam[extent / 8] = static_cast<std::uint8_t>(gam[extent / 8] & ~bit);
    if (mixed && used > 0 && used < 8) sgam[extent / 8] = static_cast<std::uint8_t>(sgam[extent / 8] | bit);
  }
  return {gam, sgam};
}

// Torn-page detection: the low two bits of the last byte of sectors 1 to 15
// are replaced by a pattern (01); the original bits go to the header field at
// 60, two bits per sector, the pattern in bits 0 and 1.
void TearPage(Bytes& page) {
  std::uint32_t bits = 1;
  for (std::size_t sector = 1; sector < 16; ++sector) {
    std::uint8_t& last = page[512 * sector + 511];
    bits |= std::uint32_t{static_cast<std::uint8_t>(last & 3)} << (2 * sector);
    last = static_cast<std::uint8_t>((last & ~3) | 1);
  }
  PutU16(page, 4, static_cast<std::uint16_t>(page[4] | page[5] << 8 | 0x100));
  PutU32(page, 60, bits);
}

std::size_t PageCountOf(std::uint16_t fileId, const std::vector<UnitImage>& units, const Placements& placements) {
  std::int32_t last = 9;
  for (const UnitImage& unit : units) {
    if (unit.fileId != fileId) continue;
    const UnitPlacement& place = placements.at(unit.key);
    last = std::max(last, place.iam.pageNumber);
    for (const PageId& page : place.pages) last = std::max(last, page.pageNumber);
  }
  return static_cast<std::size_t>(std::max(16, RoundUpToExtent(last + 1)));
}

void WriteFixedPages(std::uint16_t fileId, std::vector<Bytes>& pages, const FileUse& use,
                     const ImageOptions& options) {
  const std::size_t count = pages.size();
  pages[0] = FileHeaderPage(fileId, static_cast<std::int32_t>(count), options.sql2000);
  pages[1] = AllocationPage(11, 1, fileId, {PfsBytes(fileId, use, count)});
  const auto [gam, sgam] = ExtentMaps(fileId, use, count);
  const Bytes header(90, 0);
  pages[2] = AllocationPage(8, 2, fileId, {header, gam});
  pages[3] = AllocationPage(9, 3, fileId, {header, sgam});
  pages[6] = AllocationPage(16, 6, fileId, {header, Bytes(kBitmapBytes, 0)});
  pages[7] = AllocationPage(17, 7, fileId, {header, Bytes(kBitmapBytes, 0)});
  if (fileId == 1) pages[9] = BootPage(options);
}

}  // namespace

Placements PlaceUnits(const std::vector<UnitImage>& units) {
  Placements placements;
  std::map<std::uint16_t, std::int32_t> next;
  std::vector<std::size_t> pageCounts;
  for (const UnitImage& unit : units) {
    pageCounts.push_back(PackRecords(unit.records).size());
    UnitPlacement& place = placements[unit.key];
    if (pageCounts.back() == 0) continue;
    if (unit.hasIam) place.iam = PageId{unit.fileId, NextMixedPage(next, unit.fileId)};
    for (std::size_t k = 0; k < std::min(kSinglePages, pageCounts.back()); ++k)
      place.pages.push_back(PageId{unit.fileId, NextMixedPage(next, unit.fileId)});
  }
  std::map<std::uint16_t, std::int32_t> uniform;
  for (const auto& [fileId, page] : next) uniform[fileId] = RoundUpToExtent(page);
  for (std::size_t u = 0; u < units.size(); ++u) {
    std::int32_t& page = uniform[units[u].fileId];
    UnitPlacement& place = placements[units[u].key];
    for (std::size_t k = kSinglePages; k < pageCounts[u]; ++k) place.pages.push_back(PageId{units[u].fileId, page++});
    page = RoundUpToExtent(page);
  }
  for (const UnitImage& unit : units) {
    UnitPlacement& place = placements[unit.key];
    const auto packed = PackRecords(unit.records);
    for (std::size_t j = 0; j < packed.size(); ++j) {
      std::uint16_t slot = 0;
      // An unlisted record has no slot: it is named by the slot the next record takes.
      for (std::size_t index : packed[j])
        place.records.push_back(RowId{place.pages[j], unit.records[index].unlisted ? slot : slot++});
    }
  }
  return placements;
}

std::map<std::uint16_t, std::vector<Bytes>> BuildFiles(const std::vector<UnitImage>& units,
                                                       const Placements& placements, const ImageOptions& options) {
  std::map<std::uint16_t, std::vector<Bytes>> files;
  for (std::uint16_t fileId : options.fileIds)
    files[fileId] = std::vector<Bytes>(PageCountOf(fileId, units, placements), Bytes(kPage, 0));
  for (const UnitImage& unit : units) {
    const UnitPlacement& place = placements.at(unit.key);
    std::vector<Bytes>& pages = files.at(unit.fileId);
    const auto packed = PackRecords(unit.records);
    for (std::size_t j = 0; j < packed.size(); ++j)
      pages[static_cast<std::size_t>(place.pages[j].pageNumber)] = RecordPage(unit, place, packed[j], j);
    if (unit.hasIam && !packed.empty())
      pages[static_cast<std::size_t>(place.iam.pageNumber)] = UnitIamPage(unit, place);
  }
  const std::map<std::uint16_t, FileUse> use = UseOfPages(units, placements);
  for (auto& [fileId, pages] : files) {
    const auto found = use.find(fileId);
    WriteFixedPages(fileId, pages, found == use.end() ? FileUse{} : found->second, options);
    if (!options.tornPageBits) continue;
    for (Bytes& page : pages)
      if (std::any_of(page.begin(), page.end(), [](std::uint8_t byte) { return byte != 0; })) TearPage(page);
  }
  return files;
}

}  // namespace quillmark::testing
