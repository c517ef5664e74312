#include "builder/CraftedShapes.h"

#include <algorithm>
#include <functional>

namespace quillmark::testing {
namespace {

constexpr std::size_t kHeader = 96;
constexpr std::uint8_t kDataPage = 1;
constexpr std::uint8_t kTextPage = 3;
constexpr std::uint8_t kFragmentStatus = 0x08;
constexpr std::int32_t kObjectTable = 34;
constexpr std::int32_t kLegacyObjectTable = 1;
// The owner written into crafted text pages: no table of the file has it.
constexpr std::int32_t kCraftedOwner = 0x7A11;
constexpr std::uint16_t kLargeRootType = 5;
constexpr std::uint16_t kDataType = 3;

std::uint16_t U16(const Bytes& b, std::size_t at) {
  return at + 2 <= b.size() ? static_cast<std::uint16_t>(b[at] | b[at + 1] << 8) : 0;
}
std::int32_t I32(const Bytes& b, std::size_t at) {
  return at + 4 <= b.size() ? static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                                        static_cast<std::uint32_t>(b[at + 3]) << 24)
                            : 0;
}

std::size_t PageCount(const Bytes& file) { return file.size() / kPage; }
std::size_t At(std::size_t page) { return page * kPage; }
std::uint8_t TypeOf(const Bytes& file, std::size_t page) { return file[At(page) + 1]; }
std::int32_t OwnerOf(const Bytes& file, std::size_t page) { return I32(file, At(page) + 24); }
std::int16_t SlotCountOf(const Bytes& file, std::size_t page) {
  return static_cast<std::int16_t>(U16(file, At(page) + 22));
}
std::uint16_t SlotOffset(const Bytes& file, std::size_t page, std::size_t slot) {
  return U16(file, At(page) + kPage - 2 - 2 * slot);
}

// `count` pages to rewrite: free ones (an all-zero header) past the first
// sixteen, then pages appended to the file.
std::vector<std::int32_t> TakeFreePages(Bytes& file, std::size_t count) {
  std::vector<std::int32_t> pages;
  for (std::size_t p = 16; p < PageCount(file) && pages.size() < count; ++p) {
    const auto header = file.begin() + static_cast<std::ptrdiff_t>(At(p));
    if (std::all_of(header, header + kHeader, [](std::uint8_t b) { return b == 0; }))
      pages.push_back(static_cast<std::int32_t>(p));
  }
  while (pages.size() < count) {
    pages.push_back(static_cast<std::int32_t>(PageCount(file)));
    file.resize(file.size() + kPage, 0);
  }
  return pages;
}

void PutPage(Bytes& file, std::int32_t page, const Bytes& bytes) {
  std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(At(static_cast<std::size_t>(page))));
}

// The complex variable-length values of one ordinary record at `record` (a
// file offset): `visit` gets each value's file offset and length.
void ForEachComplexValue(const Bytes& file, std::size_t record, std::size_t pageEnd,
                         const std::function<void(std::size_t, std::size_t)>& visit) {
  const std::uint8_t status = file[record];
  if (((status >> 1) & 7) != 0 || !(status & 0x20) || (status & 0x10) == 0) return;
  const std::size_t fixedEnd = U16(file, record + 2);
  if (record + fixedEnd + 2 > pageEnd) return;
  const std::size_t columns = U16(file, record + fixedEnd);
  std::size_t at = record + fixedEnd + 2 + (columns + 7) / 8;
  if (at + 2 > pageEnd) return;
  const std::size_t count = U16(file, at);
  at += 2;
  std::size_t start = at - record + 2 * count;
  for (std::size_t i = 0; i < count && at + 2 * i + 2 <= pageEnd; ++i) {
    const std::uint16_t end = U16(file, at + 2 * i);
    const std::size_t stop = end & 0x7FFF;
    if (stop < start || record + stop > pageEnd) return;
    if (end & 0x8000) visit(record + start, stop - start);
    start = stop;
  }
}

// Every slot's record of every data page.
void ForEachDataRecord(const Bytes& file, const std::function<void(std::size_t page, std::size_t record)>& visit) {
  for (std::size_t p = 1; p < PageCount(file); ++p) {
    if (TypeOf(file, p) != kDataPage) continue;
    const std::int16_t slots = SlotCountOf(file, p);
    for (std::int16_t s = 0; s >= 0 && s < slots && s < static_cast<std::int16_t>(kMostSlots); ++s) {
      const std::uint16_t offset = SlotOffset(file, p, static_cast<std::size_t>(s));
      if (offset >= kHeader && offset < kPage - 16) visit(p, At(p) + offset);
    }
  }
}

void PutRowId(Bytes& file, std::size_t at, std::int32_t page, std::uint16_t slot) {
  PutU32(file, at, static_cast<std::uint32_t>(page));
  PutU16(file, at + 4, 1);
  PutU16(file, at + 6, slot);
}

// A text record: status, fixedEnd, blob id, fragment type, then `body`.
Bytes FragmentRecord(std::uint16_t type, const Bytes& body) {
  Bytes record(14, 0);
  record[0] = kFragmentStatus;
  PutU16(record, 2, static_cast<std::uint16_t>(14 + body.size()));
  PutU32(record, 4, 0x00010000);  // blob id
  PutU16(record, 12, type);
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

// A large root whose links name `targets` (page, slot), each claiming `size` bytes more.
Bytes LargeRoot(const std::vector<std::pair<std::int32_t, std::uint16_t>>& targets, std::uint32_t size) {
  Bytes body(10, 0);
  PutU16(body, 0, static_cast<std::uint16_t>(targets.size()));
  PutU16(body, 2, static_cast<std::uint16_t>(targets.size()));
  for (std::size_t i = 0; i < targets.size(); ++i) {
    Bytes link(12, 0);
    PutU32(link, 0, static_cast<std::uint32_t>(size * (i + 1)));
    PutU32(link, 4, static_cast<std::uint32_t>(targets[i].first));
    PutU16(link, 8, 1);
    PutU16(link, 10, targets[i].second);
    body.insert(body.end(), link.begin(), link.end());
  }
  return FragmentRecord(kLargeRootType, body);
}

// Every text pointer leads to (rootPage, 0); every in-row root's links to `linked(i)`.
std::size_t RedirectPointers(Bytes& file, std::int32_t rootPage,
                             const std::function<std::pair<std::int32_t, std::uint16_t>(std::size_t)>& linked) {
  std::size_t rewritten = 0;
  ForEachDataRecord(file, [&](std::size_t page, std::size_t record) {
    ForEachComplexValue(file, record, At(page) + kPage, [&](std::size_t value, std::size_t length) {
      if (length == 16 && file[value] == 0) {
        PutRowId(file, value + 8, rootPage, 0);
        ++rewritten;
      } else if (length >= 24 && (file[value] == 2 || file[value] == 4)) {
        for (std::size_t at = 12, i = 0; at + 12 <= length; at += 12, ++i) {
          const auto [target, slot] = linked(i);
          PutRowId(file, value + at + 4, target, slot);
          ++rewritten;
        }
      }
    });
  });
  return rewritten;
}

}  // namespace

ShapeChange ShapeSharedFragment(Bytes& file, std::uint16_t links, std::uint16_t slots) {
  ShapeChange change;
  change.pages = TakeFreePages(file, 2);
  const std::int32_t shared = change.pages[0];
  const std::int32_t root = change.pages[1];

  PageBuilder fragmentPage(kTextPage, kCraftedOwner, shared);
  // The data fragment runs from 96 to 8096, over the slot array.
  fragmentPage.Place(kHeader, FragmentRecord(kDataType, Repeat(0x51, 8000 - 14)));
  for (std::uint16_t s = 0; s < slots; ++s) fragmentPage.AddSlot(kHeader);
  fragmentPage.FreeCount(0);
  PutPage(file, shared, fragmentPage.Build());

  std::vector<std::pair<std::int32_t, std::uint16_t>> targets;
  for (std::uint16_t i = 0; i < links; ++i) targets.emplace_back(shared, static_cast<std::uint16_t>(i % slots));
  PageBuilder rootPage(kTextPage, kCraftedOwner, root);
  rootPage.AddRecord(LargeRoot(targets, 8000));
  PutPage(file, root, rootPage.Build());

  change.slotsClaimed = slots;
  change.pointersRewritten = RedirectPointers(file, root, [&](std::size_t i) {
    return std::pair{shared, static_cast<std::uint16_t>(i % slots)};
  });
  return change;
}

ShapeChange ShapeSharedRow(Bytes& file, std::int32_t objectId) {
  ShapeChange change;
  for (std::size_t p = 1; p < PageCount(file) && change.pages.empty(); ++p) {
    if (TypeOf(file, p) != kDataPage) continue;
    const std::int32_t owner = OwnerOf(file, p);
    if (objectId != 0 ? owner != objectId : U16(file, At(p) + 6) < 256 && owner < 100) continue;
    const std::int16_t slots = SlotCountOf(file, p);
    for (std::int16_t s = 0; s >= 0 && s < slots && change.pages.empty(); ++s) {
      const std::uint16_t offset = SlotOffset(file, p, static_cast<std::size_t>(s));
      if (offset < kHeader || offset >= kPage - 16) continue;
      std::size_t end = 0;
      bool large = false;
      ForEachComplexValue(file, At(p) + offset, At(p) + kPage, [&](std::size_t value, std::size_t length) {
        large = true;
        end = std::max(end, value + length - At(p));
      });
      if (!large) continue;
      const std::size_t fit = (kPage - std::max<std::size_t>(end, offset + 64)) / 2;
      const auto claimed = static_cast<std::uint16_t>(std::min<std::size_t>(fit, kMostSlots));
      PutU16(file, At(p) + 22, claimed);
      PutU16(file, At(p) + 28, 0);  // free count
      for (std::size_t j = 0; j < claimed; ++j) PutU16(file, At(p) + kPage - 2 - 2 * j, offset);
      change.pages.push_back(static_cast<std::int32_t>(p));
      change.slotsClaimed = claimed;
    }
  }
  return change;
}

ShapeChange ShapeSharedObjectRow(Bytes& file, std::size_t pages) {
  ShapeChange change;
  std::int32_t owner = kObjectTable;
  Bytes row;
  for (std::int32_t table : {kObjectTable, kLegacyObjectTable}) {
    for (std::size_t p = 1; p < PageCount(file) && row.empty(); ++p) {
      if (TypeOf(file, p) != kDataPage || OwnerOf(file, p) != table || SlotCountOf(file, p) < 1) continue;
      // The page's last object row: user objects come after the system ones.
      const std::uint16_t offset = SlotOffset(file, p, static_cast<std::size_t>(SlotCountOf(file, p) - 1));
      const std::size_t next = U16(file, At(p) + 30);  // free data offset: the rows end there
      if (offset < kHeader || next <= offset || next > kPage) continue;
      row.assign(file.begin() + static_cast<std::ptrdiff_t>(At(p) + offset),
                 file.begin() + static_cast<std::ptrdiff_t>(At(p) + std::min<std::size_t>(next, offset + 400u)));
      owner = table;
    }
    if (!row.empty()) break;
  }
  if (row.empty()) return change;
  change.pages = TakeFreePages(file, pages);
  for (std::int32_t page : change.pages) {
    PageBuilder builder(kDataPage, owner, page);
    builder.Place(kHeader, row);
    // As many slots as fit below the row, so that the row stays whole.
    const auto claimed = static_cast<std::uint16_t>(std::min<std::size_t>((kPage - kHeader - row.size()) / 2, kMostSlots));
    for (std::uint16_t s = 0; s < claimed; ++s) builder.AddSlot(kHeader);
    builder.FreeCount(0);
    PutPage(file, page, builder.Build());
    change.slotsClaimed += claimed;
  }
  return change;
}

ShapeChange ShapeOverlappingFragments(Bytes& file, std::uint16_t fragments) {
  ShapeChange change;
  change.pages = TakeFreePages(file, 2);
  const std::int32_t packed = change.pages[0];
  const std::int32_t roots = change.pages[1];
  // Every 8 bytes: status 08, status B, fixedEnd 4000, then bytes that read as
  // the blob id of this record and, 8 bytes on, as the fragment type 3 (data)
  // of the same record: a data fragment starts at every eighth byte.
  constexpr std::uint16_t kFixedEnd = 4000;
  PageBuilder packedPage(kTextPage, kCraftedOwner, packed);
  Bytes pattern;
  for (std::size_t at = kHeader; at + 8 <= kPage; at += 8)
    pattern.insert(pattern.end(), {kFragmentStatus, 0, kFixedEnd & 0xFF, kFixedEnd >> 8, 3, 0, 0x41, 0x42});
  packedPage.Place(kHeader, pattern);
  const std::size_t most = std::min<std::size_t>((kPage - kFixedEnd - kHeader) / 8, fragments);
  std::vector<std::pair<std::int32_t, std::uint16_t>> targets;
  for (std::size_t i = 0; i < most; ++i) {
    packedPage.AddSlot(static_cast<std::uint16_t>(kHeader + 8 * i));
    targets.emplace_back(packed, static_cast<std::uint16_t>(i));
  }
  packedPage.FreeCount(0);
  PutPage(file, packed, packedPage.Build());

  PageBuilder rootPage(kTextPage, kCraftedOwner, roots);
  rootPage.AddRecord(LargeRoot(targets, kFixedEnd - 14));
  PutPage(file, roots, rootPage.Build());

  change.slotsClaimed = most;
  change.pointersRewritten = RedirectPointers(file, roots, [&](std::size_t i) {
    return std::pair{packed, static_cast<std::uint16_t>(i % std::max<std::size_t>(most, 1))};
  });
  return change;
}

}  // namespace quillmark::testing
