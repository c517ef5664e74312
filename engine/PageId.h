// Page and row addresses, and the entries of the page maps.
//
// On disk a page pointer is 6 bytes, page number first:
//   0  4  page number (signed)
//   4  2  file id
// and a row pointer adds the slot:
//   6  2  slot
#pragma once

#include <compare>
#include <cstdint>

#include "engine/Bytes.h"

namespace quillmark {

inline constexpr std::size_t kPageSize = 8192;
inline constexpr std::size_t kPageHeaderSize = 96;
inline constexpr std::uint16_t kPrimaryFileId = 1;

// A page address in memory: file id (1 = the primary file), then page number.
// Naturally aligned, so that its fields can be bound to references.
struct PageId {
  std::uint16_t fileId = kPrimaryFileId;
  std::int32_t pageNumber = 0;

  friend bool operator==(const PageId&, const PageId&) = default;
};

#pragma pack(push, 1)
// One entry of the page maps, 10 bytes packed, since a map holds one per page
// of the file (copy a field before binding it to a reference). fileId is the file id in the page's own
// header; pageNumber is the page's position in the file counted from the base
// offset (not the number stored in its header); pageType is the header's type byte.
struct PageEntry {
  std::uint16_t fileId = 0;
  std::int32_t pageNumber = 0;
  std::uint32_t pageType = 0;

  PageId Page() const { return PageId{fileId, pageNumber}; }
  friend bool operator==(const PageEntry&, const PageEntry&) = default;
};
#pragma pack(pop)

static_assert(sizeof(PageEntry) == 10);

struct RowId {
  PageId page;
  std::uint16_t slot = 0;
};

// A page pointer in its on-disk form at `offset`; file 1, page 0 when it does not fit.
inline PageId ReadPagePointer(ByteSpan bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 6)) return PageId{};
  return PageId{ReadLeOr<std::uint16_t>(bytes, offset + 4), ReadLeOr<std::int32_t>(bytes, offset)};
}

inline RowId ReadRowPointer(ByteSpan bytes, std::size_t offset) {
  if (!Fits(bytes, offset, 8)) return RowId{};
  return RowId{ReadPagePointer(bytes, offset), ReadLeOr<std::uint16_t>(bytes, offset + 6)};
}

}  // namespace quillmark
