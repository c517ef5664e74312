#include "values/RowDecoder.h"

#include <algorithm>

#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "engine/LargeObjects.h"
#include "values/CompressedValues.h"
#include "values/ValueFormat.h"
#include "values/XmlDecoder.h"

namespace quillmark {
namespace {

constexpr std::size_t kTextPointerLength = 16;
constexpr std::uint8_t kRowOverflowRoot = 2;
constexpr std::uint8_t kLargeValueRoot = 4;
constexpr std::uint32_t kLongCode = 10;  // a compressed record's code of a value in its long data region

// Image values are read as varbinary.
TypeCode EffectiveTypeCode(const ColumnLayout& layout) {
  return layout.typeCode == kImage ? kVarBinary : static_cast<TypeCode>(layout.typeCode);
}

LobFlags FlagsOf(TypeCode typeCode) {
  LobFlags flags;
  flags.binary = typeCode == kVarBinary || typeCode == kClrType;
  flags.unicode = typeCode == kNVarChar || typeCode == kNText;
  flags.variant = typeCode == kSqlVariant;
  return flags;
}

// Whether a large value shows as the listing's placeholder instead of its text.
bool ShowsPlaceholders(DecodeVariant variant) {
  return variant == DecodeVariant::kListing && Settings().listingActive && !Settings().wholeLargeValues;
}

// Bit b of the record's null bitmap; a bit the copied bitmap does not hold is clear.
bool NullBitSet(const CRecord& record, std::int64_t bit) {
  if (bit < 0 || static_cast<std::size_t>(bit) >= 8 * record.nullBitmap.size()) return false;
  return (record.nullBitmap[static_cast<std::size_t>(bit / 8)] >> (bit % 8)) & 1;
}

std::u16string ReadXml(const VarValue& value, const CRecord& record, LobFlags flags) {
  LobChunks chunks;
  if (value.bytes.size() == kTextPointerLength && value.bytes[0] == 0) {
    LargeValueReader reader(record.page.file, flags, &chunks);
    reader.FollowLink(ReadRowPointer(value.bytes, 8));
  } else {
    ReadInRowRoot(value.bytes, record.page, flags, &chunks);
  }
  return DecodeXmlChunks(chunks);
}

// The text of a complex value: a pointer to a large value stored elsewhere.
std::u16string ComplexValueText(const VarValue& value, const CRecord& record, TypeCode typeCode, bool bigMarker) {
  const LobFlags flags = FlagsOf(typeCode);
  const ByteVector& bytes = value.bytes;
  const bool textPointer = bytes.size() == kTextPointerLength && bytes[0] == 0;
  if (!textPointer && bytes[0] != kRowOverflowRoot && bytes[0] != kLargeValueRoot) return u"";
  if (typeCode == kXml) return ReadXml(value, record, flags);
  if (textPointer) return ReadTextPointer(bytes, record.page, flags);
  if (bytes[0] == kLargeValueRoot && bigMarker) return kBigBinaryData;
  return ReadInRowRoot(bytes, record.page, flags);
}

// A value whose bytes are all at hand; sql_variant values are read by their base type.
std::u16string WholeValueText(ByteSpan value, ValueSlot& slot, const ColumnLayout& layout, TypeCode typeCode) {
  const std::uint8_t* bytes = value.empty() ? nullptr : value.data();
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(value.size(), INT16_MAX));
  if (typeCode == kSqlVariant) return FormatVariant(length, slot, layout, bytes);
  slot.valueLength = static_cast<std::int16_t>(length);
  return FormatValue(slot, layout, bytes);
}

bool NeedsHexPrefix(TypeCode typeCode) { return typeCode == kVarBinary || typeCode == kClrType; }

// NULL and the markers a listing shows in place of large values are not hexadecimal.
bool NotHexadecimal(const std::u16string& text) {
  return text == kBigBinaryData || text == kBinaryData || text == kNullText;
}

// Which records of a page become rows. A forwarded record is the row of the
// forwarding stub that points at it, and is read there.
bool Accepted(const CRecord* record) {
  return record && !record->invalid && record->recordType != kIndexRecord &&
         record->recordType != kForwardedRecord && (Settings().showDeletedRecords || !record->hiddenGhost);
}

// The long values of a compressed record lie in the record's column order (the
// clustered key first): the one of `column` follows those of the long columns before it.
std::int32_t LongValueIndex(const CRecord& record, std::size_t column) {
  const auto first = record.descriptorCodes.begin();
  return static_cast<std::int32_t>(std::count(first, first + static_cast<std::ptrdiff_t>(column), kLongCode));
}

// The text the rows of one page hold so far.
struct PageBudget {
  std::size_t used = 0;
  bool cut = false;
  bool Spent() const { return used >= kMaxPageTextBytes; }
  void Add(const std::u16string& text) { used += text.size() * sizeof(char16_t); }
  // Whether a large value may still be read; a value left unread cuts the page.
  bool AllowsLargeValue() {
    if (Spent()) cut = true;
    return !Spent();
  }
};

// The per-row state shared by the columns of one record.
struct RowState {
  BitCursor bits;
  std::int32_t varCounter = 0;
  std::int32_t fixedCursor = 0;
  std::int32_t columnCounter = 0;
  std::int32_t sparseCount = 0;
  std::vector<bool> sparseTaken;
};

std::u16string SparseValueText(const CRecord& record, RowState& row, ValueSlot& slot, const ColumnLayout& layout,
                               bool inVectorOrder) {
  if (!record.sparseVector) return kNullText;
  const std::vector<SparseEntry>& entries = record.sparseVector->entries;
  row.sparseTaken.resize(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (row.sparseTaken[i] || entries[i].bytes.empty()) continue;
    if (!inVectorOrder && entries[i].columnId != layout.columnId) continue;
    row.sparseTaken[i] = true;
    slot.valueLength = static_cast<std::int16_t>(entries[i].bytes.size());
    slot.availableLength = entries[i].bytes.size();
    return FormatValue(slot, layout, entries[i].bytes.data());
  }
  return kNullText;  // the vector holds no value for the column
}

// A fixed-length value, at the column's leaf offset or where the previous one ended.
std::u16string FixedValueText(const CRecord& record, RowState& row, ValueSlot& slot, const ColumnLayout& layout) {
  const std::int32_t length = static_cast<std::int32_t>(record.fixedData.size());
  const std::int32_t leaf = layout.leafOffset - 4;
  std::u16string text;
  if (leaf >= 0 && leaf <= length) {
    slot.availableLength = static_cast<std::uint64_t>(length - leaf);
    text = FormatValue(slot, layout, record.fixedData.data() + leaf);
  } else if (row.fixedCursor >= 0 && row.fixedCursor < length) {
    slot.availableLength = static_cast<std::uint64_t>(length - row.fixedCursor);
    text = FormatValue(slot, layout, record.fixedData.data() + row.fixedCursor);
  }
  row.fixedCursor += std::max(slot.declaredLength, 0);
  return text;
}

// A short value of a compressed record, where the rebuild put it.
std::u16string RebuiltValueText(const CRecord& record, const ColumnValue& entry, ValueSlot& slot,
                                const ColumnLayout& layout, TypeCode typeCode) {
  if (entry.length <= 0 || !Fits(ByteSpan(record.fixedData), static_cast<std::size_t>(entry.offset),
                                 static_cast<std::size_t>(entry.length)))
    return typeCode == kBit ? u"False" : u"";
  const ByteSpan bytes = ByteSpan(record.fixedData).subspan(static_cast<std::size_t>(entry.offset),
                                                            static_cast<std::size_t>(entry.length));
  if (typeCode == kBit) return bytes[0] ? u"True" : u"False";
  slot.isVariable = 0;
  slot.availableLength = bytes.size();
  return WholeValueText(bytes, slot, layout, typeCode);
}

// A bit column of an ordinary record owns a bit of a byte it shares with other
// bit columns, NULL or not: a NULL one is read all the same, so that the row's
// bit cursor moves past its bit.
bool OwnsASharedBit(const CRecord& record, const ValueSlot& slot) {
  return slot.typeCode == kBit && !record.compressed && !record.fixedData.empty();
}

DecodedRow Texts(const std::vector<ColumnLayout>& layouts) {
  DecodedRow row;
  row.reserve(layouts.size());
  for (const ColumnLayout& layout : layouts) row.push_back(layout.valueText);
  return row;
}

// Columns a record does not store (added after it was written) read NULL,
// except those without any storage, which keep their default.
void NullBeyond(std::vector<ColumnLayout>& layouts, std::size_t stored) {
  for (std::size_t v = stored; v < layouts.size(); ++v)
    if (layouts[v].physicalColumnId != kNoStorage) layouts[v].valueText = kNullText;
}

void DecodeCurrentRecord(const CRecord& record, std::vector<ColumnLayout>& layouts, DecodeVariant variant,
                         PageBudget& budget) {
  const bool listing = variant != DecodeVariant::kCatalog;
  const std::int32_t columnCount = std::max<std::int32_t>(record.columnCount, 0);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(columnCount), layouts.size());
  RowState row;
  row.sparseCount = record.sparseVector ? record.sparseVector->count : 0;
  const bool bigMarker = ShowsPlaceholders(variant);

  for (std::size_t v = 0; v < n && !StopRequested(); ++v) {
    ColumnLayout& layout = layouts[v];
    if (layout.physicalColumnId == kNoStorage) continue;
    const TypeCode typeCode = EffectiveTypeCode(layout);
    ValueSlot slot = InitValueSlot(layout, typeCode, &row.bits);
    std::int32_t index = slot.isVariable && layout.leafOffset < 0 ? -1 - layout.leafOffset : row.varCounter;

    // A compressed record says per column whether the value is short or long.
    const ColumnValue* entry = nullptr;
    bool compressedShort = false;
    if (record.compressed) {
      std::size_t column = RecordColumnOfLayout(layouts, v);
      if (column < record.descriptorCodes.size()) {
        const bool longValue = record.descriptorCodes[column] == kLongCode;
        slot.isVariable = longValue ? 1 : 0;
        if (longValue) index = LongValueIndex(record, column);
        compressedShort = !longValue;
      }
      if (column < record.columnValues.size()) entry = &record.columnValues[column];
    }
    if (layout.physicalColumnId > columnCount) layout.physicalColumnId = layout.columnId;

    std::int64_t bit = row.sparseCount;
    if (layout.nullBit > 0 && layout.nullBit <= columnCount) {
      bit = layout.nullBit - 1;
    } else if (layout.physicalColumnId - row.sparseCount - 1 > 0 && layout.physicalColumnId - row.sparseCount - 1 <= columnCount) {
      bit = layout.physicalColumnId - row.sparseCount - 1;
    }
    const bool isNull = NullBitSet(record, bit);
    if (listing && layout.sparseFlag == 0 && (layout.hasLayout == 0 || isNull)) {
      if (isNull && OwnsASharedBit(record, slot)) FixedValueText(record, row, slot, layout);
      layout.valueText = kNullText;
      ++row.columnCounter;
      continue;
    }
    if (entry && entry->isNull) {
      layout.valueText = kNullText;
      ++row.columnCounter;
      continue;
    }

    std::u16string text;
    if (layout.sparseFlag) {
      text = SparseValueText(record, row, slot, layout, false);
    } else if (row.columnCounter > columnCount) {
      // nothing left in the record for this column
    } else if (slot.isVariable) {
      if (index >= 0 && static_cast<std::size_t>(index) < record.varValues.size()) {
        const VarValue& value = record.varValues[static_cast<std::size_t>(index)];
        if (value.complex && value.bytes.empty()) {
          layout.valueText.clear();  // not the previous row's value
          ++row.varCounter;
          continue;
        }
        if (!value.complex)
          text = WholeValueText(value.bytes, slot, layout, typeCode);
        else if (budget.AllowsLargeValue())
          text = ComplexValueText(value, record, typeCode, bigMarker);
        ++row.varCounter;
        ++row.columnCounter;
      }
    } else if (compressedShort) {
      if (entry) text = RebuiltValueText(record, *entry, slot, layout, typeCode);
      ++row.columnCounter;
    } else if (!record.fixedData.empty()) {
      text = FixedValueText(record, row, slot, layout);
      ++row.columnCounter;
    } else {
      row.fixedCursor += slot.fixedLength;
      ++row.columnCounter;
    }

    const bool prefix = listing ? text != u" " : !text.empty() && text != u" ";
    if (NeedsHexPrefix(typeCode) && prefix && !NotHexadecimal(text)) text = u"0x" + text;
    budget.Add(text);
    layout.valueText = std::move(text);
  }
  NullBeyond(layouts, n);
}

// Legacy layouts (SQL Server 2000) place fixed values by their two stored offsets.
std::u16string LegacyFixedValueText(const CRecord& record, RowState& row, ValueSlot& slot, const ColumnLayout& layout) {
  const std::int32_t length = static_cast<std::int32_t>(record.fixedData.size());
  const std::int32_t leafOffset = layout.leafOffset < 0 ? 3 - layout.leafOffset : layout.leafOffset;
  const std::int32_t legacy = layout.legacyOffset - 4;
  std::int32_t at = -1;
  if (!Settings().isSql2000) {
    const std::int32_t leaf = leafOffset - 4;
    if (leaf >= 0 && leaf <= length)
      at = leaf;
    else if (row.fixedCursor >= 0 && row.fixedCursor < length)
      at = row.fixedCursor;
  } else if (layout.leafOffset < 0 && layout.legacyOffset > 0 && legacy >= 0 && legacy < length) {
    at = legacy;
  } else if (legacy >= 0 && legacy != row.fixedCursor && legacy < length) {
    at = legacy;
  } else if (row.fixedCursor >= 0 && row.fixedCursor < length) {
    at = row.fixedCursor;
  }
  std::u16string text;
  if (at >= 0) {
    slot.availableLength = static_cast<std::uint64_t>(length - at);
    text = FormatValue(slot, layout, record.fixedData.data() + at);
  }
  row.fixedCursor += slot.declaredLength > 0 ? slot.declaredLength : slot.fixedLength;
  return text;
}

// The variable value a legacy column takes; in SQL Server 2000 files an empty
// one gives way to the value its offset names.
const VarValue* LegacyVariableValue(const CRecord& record, RowState& row, const ColumnLayout& layout, std::int32_t index) {
  auto usable = [&](std::int32_t i) {
    return i >= 0 && static_cast<std::size_t>(i) < record.varValues.size() && !record.varValues[static_cast<std::size_t>(i)].bytes.empty();
  };
  if (Settings().isSql2000 && !usable(index)) {
    std::int32_t j = layout.legacyOffset < 0 ? -1 - layout.legacyOffset : 0;
    if (usable(j)) {
      row.varCounter = j;
      return &record.varValues[static_cast<std::size_t>(j)];
    }
  }
  if (index < 0 || static_cast<std::size_t>(index) >= record.varValues.size()) return nullptr;
  return &record.varValues[static_cast<std::size_t>(index)];
}

// A text pointer is followed as the current-format decoder follows it.
std::u16string LegacyComplexText(const VarValue& value, const CRecord& record, TypeCode typeCode,
                                 DecodeVariant variant) {
  const bool catalog = variant == DecodeVariant::kCatalog;
  const bool textPointer = value.bytes.size() == kTextPointerLength && (value.bytes[0] == 0 || catalog);
  if (catalog) {
    return textPointer ? ReadTextPointer(value.bytes, record.page, FlagsOf(typeCode))
                       : ComplexValueText(value, record, typeCode == kXml ? kVarBinary : typeCode, false);
  }
  if (ShowsPlaceholders(variant)) {
    if (textPointer && typeCode != kXml) return kBinaryData;
    if (value.bytes[0] == kLargeValueRoot) return kBigBinaryData;
  }
  return ComplexValueText(value, record, typeCode, false);
}

bool DecodeLegacyRecord(const CRecord& record, std::vector<ColumnLayout>& layouts, DecodeVariant variant,
                        PageBudget& budget) {
  const bool catalog = variant == DecodeVariant::kCatalog;
  const bool listing = !catalog;
  std::int32_t columnCount = std::max<std::int32_t>(record.columnCount, 0);
  if (catalog && Settings().isSql2000) columnCount = 10;
  const std::size_t n = catalog ? layouts.size() : std::min<std::size_t>(static_cast<std::size_t>(columnCount), layouts.size());
  RowState row;
  row.sparseCount = record.sparseVector ? record.sparseVector->count : 0;

  for (std::size_t v = 0; v < n && !StopRequested(); ++v) {
    ColumnLayout& layout = layouts[v];
    if (layout.physicalColumnId == kNoStorage) continue;
    const TypeCode typeCode = EffectiveTypeCode(layout);
    ValueSlot slot = InitValueSlot(layout, typeCode, &row.bits);
    // SQL Server 2000 layouts count variable values in order (the catalog variant too).
    std::int32_t index = !catalog && !Settings().isSql2000 && slot.isVariable && layout.leafOffset < 0
                             ? -1 - layout.leafOffset
                             : row.varCounter;
    if (layout.physicalColumnId > columnCount) layout.physicalColumnId = layout.columnId;

    const std::int64_t bit = layout.nullBit > 0 && layout.nullBit <= columnCount ? layout.nullBit - 1 : row.columnCounter;
    const bool isNull = NullBitSet(record, bit);
    if (listing && layout.sparseFlag == 0 && (layout.hasLayout == 0 || isNull)) {
      if (isNull && OwnsASharedBit(record, slot)) LegacyFixedValueText(record, row, slot, layout);
      layout.valueText = kNullText;
      ++row.columnCounter;
      continue;
    }

    std::u16string text;
    if (layout.sparseFlag) {
      text = SparseValueText(record, row, slot, layout, catalog);
    } else if (row.columnCounter > columnCount) {
      // nothing left in the record for this column
    } else if (slot.isVariable) {
      if (catalog && isNull && !record.nullBitmap.empty()) {
        // the catalog variant takes a value only when its null bit is clear
      } else if (const VarValue* value = LegacyVariableValue(record, row, layout, index)) {
        if (value->complex && value->bytes.empty()) {
          layout.valueText.clear();
          ++row.varCounter;
          continue;
        }
        if (value->complex) {
          if (budget.AllowsLargeValue()) text = LegacyComplexText(*value, record, typeCode, variant);
        } else if (catalog) {
          slot.valueLength = static_cast<std::int16_t>(std::min<std::int32_t>(value->Length(), INT16_MAX));
          text = FormatValue(slot, layout, value->bytes.empty() ? nullptr : value->bytes.data());
        } else {
          text = WholeValueText(value->bytes, slot, layout, typeCode);
        }
        ++row.varCounter;
        ++row.columnCounter;
      }
    } else if (!record.fixedData.empty()) {
      text = LegacyFixedValueText(record, row, slot, layout);
      ++row.columnCounter;
    } else {
      row.fixedCursor += slot.fixedLength;
      ++row.columnCounter;
    }

    const bool prefix = listing ? text != u" " : !text.empty() && text != u" ";
    if (NeedsHexPrefix(typeCode) && prefix && !NotHexadecimal(text)) text = u"0x" + text;
    if (text.empty() && layout.nullable) text = kNullText;
    budget.Add(text);
    layout.valueText = std::move(text);
  }
  if (listing) NullBeyond(layouts, n);
  return !layouts.empty() && !layouts.front().valueText.empty();
}

// The rows of the page's records that `take` accepts, each decoded by
// `decode` (which says whether it makes a row), until the page's text budget is
// spent.
template <typename Take, typename Decode>
std::vector<DecodedRow> DecodeRecords(const CDataPage& page, std::vector<ColumnLayout>& layouts, bool* cut,
                                      Take take, Decode decode) {
  std::vector<DecodedRow> rows;
  PageBudget budget;
  if (page.header) {
    const std::size_t slots = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<std::int16_t>(page.header->slotCount, 0)), page.records.size());
    for (std::size_t i = 0; i < slots && !StopRequested(); ++i) {
      const CRecord* record = page.records[i].get();
      if (!take(record)) continue;
      if (budget.Spent()) {
        budget.cut = true;
        break;
      }
      if (decode(*record, budget)) rows.push_back(Texts(layouts));
    }
  }
  if (cut) *cut = budget.cut;
  return rows;
}

}  // namespace

std::vector<DecodedRow> DecodeCurrentFormat(const CDataPage& page, std::vector<ColumnLayout>& layouts,
                                            DecodeVariant variant, bool* cut) {
  return DecodeRecords(page, layouts, cut, Accepted, [&](const CRecord& record, PageBudget& budget) {
    DecodeCurrentRecord(record, layouts, variant, budget);
    return true;
  });
}

std::vector<DecodedRow> DecodeLegacyFormat(const CDataPage& page, std::vector<ColumnLayout>& layouts,
                                           DecodeVariant variant, bool* cut) {
  auto take = [variant](const CRecord* record) {
    return variant == DecodeVariant::kCatalog ? record && record->recordType != kBlobFragment : Accepted(record);
  };
  return DecodeRecords(page, layouts, cut, take, [&](const CRecord& record, PageBudget& budget) {
    return DecodeLegacyRecord(record, layouts, variant, budget);
  });
}

std::optional<DecodedRow> DecodeSlot(const CDataPage& page, std::size_t slot, std::vector<ColumnLayout>& layouts,
                                     bool current, DecodeVariant variant) {
  if (!page.header || slot >= page.records.size() ||
      slot >= static_cast<std::size_t>(std::max<std::int16_t>(page.header->slotCount, 0)))
    return std::nullopt;
  const CRecord* record = page.records[slot].get();
  if (!Accepted(record)) return std::nullopt;
  PageBudget budget;
  if (current) {
    DecodeCurrentRecord(*record, layouts, variant, budget);
  } else if (!DecodeLegacyRecord(*record, layouts, variant, budget)) {
    return std::nullopt;
  }
  return Texts(layouts);
}

}  // namespace quillmark
