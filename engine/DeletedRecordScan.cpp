// The deleted-record scan: walks a data page from the end of its header, record
// by record, to find records that the slot array no longer lists. Where a record
// cannot be measured it searches forward for the first bytes of an ordinary or a
// ghost record with a null bitmap, variable-length columns and a 128-byte fixed
// part (30 00 84 00 or 3C 00 84 00).

#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/RecordPage.h"

namespace quillmark {
namespace {

constexpr std::int32_t kScanStart = 96;
constexpr std::int32_t kScanEnd = 8190;
constexpr std::int32_t kProbeLimit = 8060;

bool IsRecordSignature(ByteSpan page, std::int32_t position) {
  if (position < 0 || !Fits(page, static_cast<std::size_t>(position), 4)) return false;
  const std::uint8_t* at = page.data() + position;
  return (at[0] == 0x30 || at[0] == 0x3C) && at[1] == 0x00 && at[2] == 0x84 && at[3] == 0x00;
}

}  // namespace

void PrimaryRecordPage::ScanDeletedRecords() {
  if (!header) return;
  recordStarts.assign(slotOffsets.begin(), slotOffsets.end());
  const auto listed = static_cast<std::ptrdiff_t>(recordStarts.size());
  slotOffsets.clear();

  ByteSpan page = Bytes();
  std::int32_t position = kScanStart;
  std::int32_t lastFound = 0;
  while (position < kScanEnd && !StopRequested()) {
    auto limit = static_cast<std::size_t>(std::min(kProbeLimit, static_cast<std::int32_t>(kPageSize) - position));
    CPrimaryRecord::ProbeResult probe =
        CPrimaryRecord::Probe(page.subspan(static_cast<std::size_t>(position), limit), Context());
    scannedRecords.push_back(std::move(probe.record));

    if (probe.length > 0) {
      std::int32_t next = position + probe.length;
      if (std::find(recordStarts.begin(), recordStarts.begin() + listed, position) == recordStarts.begin() + listed)
        recordStarts.push_back(position);
      position = next;
      if (next >= static_cast<std::int32_t>(kPageSize) || IsRecordSignature(page, next)) continue;
    }

    // Search forward for the next record signature.
    if (position == lastFound) ++position;
    while (position < kScanEnd && !IsRecordSignature(page, position)) ++position;
    if (position >= kScanEnd) break;
    lastFound = position;
  }

  if (header->slotCount <= static_cast<std::int32_t>(recordStarts.size())) {
    header->slotCount = static_cast<std::int16_t>(recordStarts.size());
    slotOffsets.clear();
    for (std::int32_t start : recordStarts) slotOffsets.push_back(static_cast<std::uint16_t>(start));
  }
}

}  // namespace quillmark
