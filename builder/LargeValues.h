// Large values on text pages: the fragment records of a value and the pointer
// its data record keeps.
//
// A text page record is status 0x08 (a large-value fragment), status B, the
// 16-bit fixedEnd, then the fragment: an 8-byte blob id, a 16-bit type and the
// body. Every fragment of one value carries the value's blob id, a number
// shifted left by 16 bits, as in the real files. Fragment types and bodies
// (offsets from the blob id):
//   0 small root   10 2 data length    12 4 (zero)    16 .. the data
//   2 internal     10 2 most links     12 2 links     14 2 level
//                  16 .. links of 16 bytes: 8 offset of the child's end, 8 row id
//   3 data         10 .. the data
//   5 large root   10 2 most links     12 2 links     14 2 level    16 4 (zero)
//                  20 .. room for five links of 12 bytes or more: 4 offset of
//                        the child's end, 8 row id
//
// The pointers a record keeps in a complex variable-length column:
//   text pointer (text, ntext, image)   8 blob id, 8 row id of the root
//   in-row root (first byte 4; row overflow: first byte 2, one data fragment)
//     0 1 type   1 1 level   2 2 (zero)   4 4 update sequence (1)   8 4 timestamp
//     12 .. links of 12 bytes: 4 offset of the child's end, 8 row id
#pragma once

#include <cstdint>

#include "builder/DatabaseImage.h"
#include "builder/StoredValues.h"

namespace quillmark::testing {

class LargeValueWriter {
 public:
  // Fragments go to `text`, whose records land where `placement` says (nowhere
  // yet on the first pass); the values' blob ids count up from `firstBlobId`.
  LargeValueWriter(UnitImage& text, const UnitPlacement& placement, std::uint64_t firstBlobId)
      : text_(text), placement_(placement), nextValue_(firstBlobId) {}

  // Writes the fragments of `data`, a value of `column`, and returns the pointer.
  Bytes Store(const ColumnSpec& column, const ColumnType& type, const Bytes& data);

 private:
  struct Link {
    std::uint64_t end = 0;  // of the data up to and including this child
    RowId row;
  };

  Link Add(std::uint16_t fragmentType, const Bytes& body, std::uint64_t end);
  std::vector<Link> DataFragments(const Bytes& data, std::int32_t fragmentLength);
  std::vector<Link> InternalNodes(const std::vector<Link>& children, LinkDamage damage);
  std::vector<Link> Children(const ColumnSpec& column, const Bytes& data);
  RowId RowIdOf(std::size_t record) const {
    return record < placement_.records.size() ? placement_.records[record] : RowId{};
  }

  UnitImage& text_;
  const UnitPlacement& placement_;
  std::uint64_t nextValue_;
  std::uint64_t blobId_ = 0;  // of the value being written
};

// A row id as links, stubs and back pointers keep it: page number, file id, slot.
Bytes RowPointer(RowId row);

// Whether the values of a column live on text pages.
bool StoredOffRow(const ColumnSpec& column);

}  // namespace quillmark::testing
