#include "engine/Record.h"

#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/PageHeader.h"
#include "engine/RecordPage.h"

namespace quillmark {
namespace {

constexpr std::int32_t kMaxFixedLength = 8059;
constexpr std::int32_t kMaxRecordLength = 8060;
constexpr std::uint16_t kComplexBit = 0x8000;
constexpr std::uint8_t kSparseVectorId = 5;

std::int32_t Size(ByteSpan bytes) { return static_cast<std::int32_t>(bytes.size()); }

}  // namespace

bool CRecord::DecodeStatus(std::uint8_t statusA) {
  compressed = (statusA & 0x01) != 0;
  recordType = (statusA >> 1) & 0x07;
  hasNullBitmap = (statusA & 0x10) != 0;
  hasVarColumns = (statusA & 0x20) != 0;
  bool showDeleted = Settings().showDeletedRecords != 0;
  hiddenGhost = recordType >= 5 && !showDeleted;
  switch (recordType) {
    case kPrimaryRecord:
    case kForwardedRecord:
    case kForwardingStub: return true;
    case kGhostDataRecord: return showDeleted;
    default: return false;
  }
}

CPrimaryRecord::CPrimaryRecord(ByteSpan bytes, const PageContext& context, Mode mode) {
  page = context;
  lengthLimit = Size(bytes);
  if (!PassesPageChecks() || bytes.empty() || !DecodeStatus(bytes[0])) {
    invalid = true;
    return;
  }
  if (mode == Mode::kAnchor || compressed) {
    ParseCompressed(bytes);
    return;
  }
  if (recordType == kForwardingStub) {
    // A stub is followed one hop only: a stub that leads to another stub would
    // otherwise be followed round a cycle.
    if (mode == Mode::kStubTarget)
      fixedLength = kUnreadableStubTarget;
    else
      FollowStub(bytes);
    return;
  }
  ParseOrdinary(bytes);
}

CPrimaryRecord::CPrimaryRecord(ByteSpan bytes, const PageContext& context, ProbeTag) {
  page = context;
  lengthLimit = Size(bytes);
  if (!PassesPageChecks() || bytes.empty() || !DecodeStatus(bytes[0])) {
    invalid = true;
    return;
  }
  if (compressed || recordType == kForwardingStub) return;
  ParseOrdinary(bytes, true);
}

CPrimaryRecord::ProbeResult CPrimaryRecord::Probe(ByteSpan bytes, const PageContext& context) {
  ProbeResult result;
  bytes = bytes.first(std::min<std::size_t>(bytes.size(), kMaxRecordLength));
  result.record.reset(new CPrimaryRecord(bytes, context, ProbeTag{}));
  CPrimaryRecord& record = *result.record;
  bool parsed = !record.invalid && !record.compressed && record.recordType != kForwardingStub &&
                record.columnCount > 0 && record.columnCount < kMaxColumns;
  if (parsed) result.length = record.recordEnd;
  // The scan needs only the length.
  record.fixedData.clear();
  record.nullBitmap.clear();
  record.varValues.clear();
  record.recordCopy.clear();
  record.sparseVector.reset();
  return result;
}

bool CPrimaryRecord::PassesPageChecks() const {
  return page.header && page.header->thisPage.pageNumber >= 0 && page.header->pageType <= kHighestRecordPageType;
}

void CPrimaryRecord::FollowStub(ByteSpan bytes) {
  fixedLength = kUnreadableStubTarget;
  if (!Fits(bytes, 1, 8) || !page.file) return;
  RowId target = ReadRowPointer(bytes, 1);
  auto slot = static_cast<std::int16_t>(target.slot);
  if (slot < 0) return;
  PageBuffer buffer = page.file->ReadPage(target.page);
  if (!buffer) return;
  PrimaryRecordPage targetPage(std::move(buffer), page.file, slot);
  auto* found = targetPage.records.empty() ? nullptr : dynamic_cast<CPrimaryRecord*>(targetPage.records[0].get());
  if (!found || found->recordCopy.empty() || found->recordEnd < 1 || found->recordType == kForwardingStub) return;

  // Parse the target's bytes in place of the stub's, keeping the stub's type.
  ByteVector copy = std::move(found->recordCopy);
  DecodeStatus(copy[0]);
  recordType = kForwardingStub;
  followedStub = true;
  fixedLength = 0;
  lengthLimit = Size(copy);
  ParseOrdinary(ByteSpan(copy));
}

void CPrimaryRecord::ParseOrdinary(ByteSpan bytes, bool probing) {
  const std::int32_t limit = Size(bytes);
  std::optional<std::uint16_t> fixedEnd = ReadLe<std::uint16_t>(bytes, 2);
  fixedLength = fixedEnd ? *fixedEnd - 4 : 0;

  std::int32_t position = 4;
  bool fixedInRange = fixedLength >= 1 && fixedLength <= kMaxFixedLength;
  if (fixedInRange && probing) {
    position = 4 + fixedLength;  // the scan only measures: the bytes are not taken
  } else if (fixedInRange && 4 + fixedLength <= limit) {
    fixedData = CopyBytes(bytes, 4, static_cast<std::size_t>(fixedLength));
    position = 4 + fixedLength;
  }

  std::optional<std::int16_t> count = ReadLe<std::int16_t>(bytes, static_cast<std::size_t>(position));
  recordEnd = position;
  if (!count) return;  // the column count lies past what may be read
  columnCount = *count;
  if (columnCount <= 0 || columnCount >= kMaxColumns) return;
  position += 2;

  if (hasNullBitmap) {
    auto length = static_cast<std::size_t>((columnCount + 7) / 8);
    if (Fits(bytes, static_cast<std::size_t>(position), length)) {
      nullBitmap = CopyBytes(bytes, static_cast<std::size_t>(position), length);
      position += static_cast<std::int32_t>(length);
    }
  }
  if (hasVarColumns) ParseVariablePart(bytes, position);
  recordEnd = position;
  if (recordEnd > 0 && recordEnd <= limit) recordCopy = CopyBytes(bytes, 0, static_cast<std::size_t>(recordEnd));
}

void CPrimaryRecord::ParseVariablePart(ByteSpan bytes, std::int32_t& position) {
  const std::int32_t limit = Size(bytes);
  if (fixedData.empty() && nullBitmap.empty()) {
    varCount = columnCount;
  } else {
    varCount = ReadLe<std::int16_t>(bytes, static_cast<std::size_t>(position)).value_or(0);
    position += 2;
  }
  if (varCount > columnCount) {
    varCount = 0;
    position = 0;
    return;
  }
  if (varCount <= 0 || varCount >= kMaxColumns) return;

  std::vector<std::uint16_t> stored;
  for (std::int32_t i = 0; i < varCount; ++i) {
    auto end = ReadLe<std::uint16_t>(bytes, static_cast<std::size_t>(position + 2 * i));
    if (!end) break;
    stored.push_back(*end);
    varEndOffsets.push_back(static_cast<std::uint16_t>(*end & ~kComplexBit));
  }
  position += 2 * varCount;

  for (std::int32_t i = 0; i < varCount; ++i) {
    if (StopRequested()) break;
    VarValue value;
    if (static_cast<std::size_t>(i) < stored.size()) {
      value.complex = (stored[i] & kComplexBit) != 0;
      std::int32_t end = stored[i] & ~kComplexBit;
      // A value is taken only when it lies after the previous one and inside
      // the record; an entry that fails keeps no bytes and the position holds.
      if (end <= limit && end < static_cast<std::int32_t>(kPageSize) && position < end && position >= 1 &&
          position <= 8191) {
        value.bytes = CopyBytes(bytes, static_cast<std::size_t>(position), static_cast<std::size_t>(end - position));
        position = end;
        // A text pointer, the one other complex value of 16 bytes, starts with 0.
        if (value.complex && value.bytes[0] == kSparseVectorId)
          sparseVector = ParseSparseVector(value.bytes);
      }
    }
    varValues.push_back(std::move(value));
  }
}

void CPrimaryRecord::ParseCompressed(ByteSpan bytes) {
  const std::int32_t limit = Size(bytes);
  compressed = true;
  if (!Fits(bytes, 1, 1)) {
    invalid = true;
    return;
  }
  std::int32_t count = bytes[1];
  std::int32_t position = 2;
  if (count & 0x80) {
    // More than 127 columns: two bytes, high byte first, flag bit removed.
    if (!Fits(bytes, 2, 1)) {
      invalid = true;
      return;
    }
    count = ((count & 0x7F) << 8) | bytes[2];
    position = 3;
  }
  if (count < 1 || count > kMaxColumns) {
    invalid = true;
    return;
  }
  columnCount = static_cast<std::int16_t>(count);

  std::int32_t shortSize = 0;
  varCount = 0;
  for (std::int32_t column = 0; column < count; ++column) {
    std::int32_t at = position + column / 2;
    if (at >= limit) break;
    std::uint32_t code = (column % 2 == 0) ? (bytes[at] & 0x0F) : (bytes[at] >> 4);
    descriptorCodes.push_back(code);
    if (code >= 2 && code <= 9) shortSize += static_cast<std::int32_t>(code) - 1;
    if (code == 12) shortSize += 1;
    if (code == 10) ++varCount;
  }
  position += (count + 1) / 2 + (count - 1) / 30;

  if (shortSize > 0 && shortSize < kMaxRecordLength && shortSize <= limit && position + shortSize <= kMaxFixedLength &&
      position + shortSize <= limit) {
    fixedData = CopyBytes(bytes, static_cast<std::size_t>(position), static_cast<std::size_t>(shortSize));
    fixedLength = shortSize;
    position += shortSize;
  }

  if (hasNullBitmap) {
    auto length = static_cast<std::size_t>((count + 7) / 8);
    if (Fits(bytes, static_cast<std::size_t>(position), length)) {
      nullBitmap = CopyBytes(bytes, static_cast<std::size_t>(position), length);
      position += static_cast<std::int32_t>(length);
    }
  }
  if (hasVarColumns) ParseLongDataRegion(bytes, position);
  recordEnd = position;
}

void CPrimaryRecord::ParseLongDataRegion(ByteSpan bytes, std::int32_t& position) {
  const std::int32_t limit = Size(bytes);
  if (position >= limit) return;
  std::uint8_t header = bytes[position];
  position += 1;

  std::int32_t declared = 0;
  if (header & 0x01) {
    if (auto count = ReadLe<std::uint16_t>(bytes, static_cast<std::size_t>(position))) {
      position += 2;
      declared = *count;
      if (declared > 0 && declared <= columnCount) {
        for (std::int32_t i = 0; i < declared; ++i) {
          auto end = ReadLe<std::uint16_t>(bytes, static_cast<std::size_t>(position));
          if (!end) break;
          longOffsets.push_back(LongOffset{*end & ~kComplexBit, (*end & kComplexBit) != 0});
          position += 2;
        }
      }
    }
  }
  position += (columnCount - 1) / 30;

  // Without every end offset the values cannot be told apart: take none.
  if (declared <= 0 || declared >= kMaxColumns || longOffsets.size() != static_cast<std::size_t>(declared)) return;
  std::int32_t previousEnd = 0;
  for (const LongOffset& offset : longOffsets) {
    if (StopRequested()) break;
    VarValue value;
    value.complex = offset.complex;
    std::int32_t length = offset.end - previousEnd;
    if (length > 0 && length < limit && length <= 8191 && previousEnd <= 8191 &&
        position + length < static_cast<std::int32_t>(kPageSize) && position + length <= limit) {
      value.bytes = CopyBytes(bytes, static_cast<std::size_t>(position), static_cast<std::size_t>(length));
      previousEnd = offset.end;
      position += length;
    }
    varValues.push_back(std::move(value));
  }
}

std::unique_ptr<SparseVector> ParseSparseVector(ByteSpan value) {
  auto count = ReadLe<std::uint16_t>(value, 2);
  if (!count) return nullptr;
  const std::int32_t a = *count;
  const std::int32_t length = Size(value);
  // The ids and end offsets must lie inside the value.
  if (2 * a + 4 >= 8192 || 4 * a + 4 >= 8192 || length <= 4 || length <= 2 * a + 4 || length < 4 + 4 * a)
    return nullptr;
  auto vector = std::make_unique<SparseVector>();
  vector->count = a;
  std::int32_t previousEnd = 4 + 4 * a;
  for (std::int32_t k = 0; k < a; ++k) {
    SparseEntry entry;
    entry.columnId = ReadLeOr<std::uint16_t>(value, static_cast<std::size_t>(4 + 2 * k));
    std::int32_t end = ReadLeOr<std::uint16_t>(value, static_cast<std::size_t>(4 + 2 * a + 2 * k));
    std::int32_t start = previousEnd;
    if (start < end && end - start <= kMaxRecordLength && start <= kMaxFixedLength && end <= length)
      entry.bytes = CopyBytes(value, static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    previousEnd = end;
    vector->entries.push_back(std::move(entry));
  }
  return vector;
}

}  // namespace quillmark
