// Text pages hold the fragments of large values (text, ntext, image and the max
// types). A fragment record:
//   0   1  status byte A
//   1   1  status byte B
//   2   2  fixedEnd; fragment length = fixedEnd - 4
//   4   8  blob id
//   12  2  fragment type: 0 small root, 2 internal, 3 data, 4/5/6 large root
//   14  .. fragment body
#pragma once

#include <cstdint>

#include "engine/RecordPage.h"

namespace quillmark {

class TextRecord : public CRecord {
 public:
  TextRecord(ByteSpan bytes, const PageContext& page);

  std::uint64_t blobId = 0;
  std::uint16_t fragmentType = 8;  // 8 when the fragment is shorter than 10 bytes
  std::int32_t bodyLength = 0;
  std::int32_t fragmentEnd = 0;  // record offset of the byte after the fragment
};

// The record offset of one slot as ReadSlotOffsets reads it, without reading
// the rest of the slot array; -1 when the page has no such slot.
std::int32_t ReadSlotOffset(ByteSpan page, std::int32_t slotCount, std::uint16_t slot);

class TextMixPage : public RecordPage {
 public:
  // Every slot's record.
  TextMixPage(PageBuffer data, DatabaseFile* file);
  // Only the record of `slotIndex`, the one slot offset read: records holds
  // exactly one entry (null when the slot is missing or its offset unusable)
  // and recordOffset its offset.
  TextMixPage(PageBuffer data, DatabaseFile* file, std::uint16_t slotIndex);

  std::int32_t recordOffset = -1;  // of the one record built by the one-slot form
};

}  // namespace quillmark
