#include "values/CompressedValues.h"

#include <algorithm>

#include "catalog/TypeCode.h"
#include "engine/AppSettings.h"
#include "values/Scsu.h"

namespace quillmark {
namespace {

enum DescriptorCode : std::uint32_t {
  kNullCode = 0,
  kEmptyCode = 1,
  kLongCode = 10,
  kTrueBitCode = 11,
  kSymbolCode = 12,
};

// The number between the parentheses of the type text: the column's width in
// bytes (-1 for the max types); 0 when there is none.
std::int32_t WidthOf(const ColumnLayout& layout) {
  const std::u16string& text = layout.typeText;
  std::size_t open = text.find(u'(');
  if (open == std::u16string::npos) return 0;
  std::int32_t value = 0;
  bool negative = false;
  std::size_t at = open + 1;
  if (at < text.size() && text[at] == u'-') {
    negative = true;
    ++at;
  }
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) value = std::min(value * 10 + (text[at] - u'0'), 65535);
  return negative ? -value : value;
}

__extension__ using Unsigned128 = unsigned __int128;

bool IsIntegerLike(std::uint32_t typeCode) {
  return typeCode == kBigInt || typeCode == kInt || typeCode == kSmallInt || typeCode == kMoney ||
         typeCode == kSmallMoney || typeCode == kDateTime;
}

std::size_t IntegerWidth(std::uint32_t typeCode) {
  switch (typeCode) {
    case kInt: case kSmallMoney: return 4;
    case kSmallInt: return 2;
    default: return 8;
  }
}

// Integers are stored big-endian in the fewest bytes with a bias of 2^(8n-1):
// flipping the top bit gives the two's complement value.
ByteVector IntegerForm(const ByteVector& stored, std::size_t width) {
  ByteVector out(width, 0);
  if (stored.empty() || stored.size() > 8) return out;
  std::uint64_t value = stored[0] ^ 0x80u;
  const bool negative = (value & 0x80) != 0;
  for (std::size_t i = 1; i < stored.size(); ++i) value = (value << 8) | stored[i];
  if (negative && stored.size() < 8) value |= ~std::uint64_t{0} << (8 * stored.size());
  for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return out;
}

// Stored bytes that lost their low-order (leading, in little-endian order) zeros.
ByteVector LeftPadded(const ByteVector& stored, std::size_t width) {
  ByteVector out(width, 0);
  std::size_t count = std::min(stored.size(), width);
  std::copy(stored.end() - static_cast<std::ptrdiff_t>(count), stored.end(), out.end() - static_cast<std::ptrdiff_t>(count));
  return out;
}

// Stored bytes that lost their trailing padding.
ByteVector RightPadded(const ByteVector& stored, std::size_t width, std::uint8_t pad) {
  ByteVector out(width, pad);
  std::copy_n(stored.begin(), std::min(stored.size(), width), out.begin());
  return out;
}

std::size_t DecimalMagnitudeBytes(std::uint8_t precision) {
  if (precision <= 9) return 4;
  if (precision <= 19) return 8;
  if (precision <= 28) return 12;
  return 16;
}

// The vardecimal form: a byte of sign (bit 7 set: positive) and exponent + 64,
// then the digits in 10-bit groups of three, most significant bit first. The
// value is rescaled to the column's scale and written as a sign byte and a
// little-endian magnitude.
ByteVector DecimalForm(const ByteVector& stored, const ColumnLayout& layout) {
  const std::size_t magnitudeBytes = DecimalMagnitudeBytes(layout.precision);
  ByteVector out(1 + magnitudeBytes, 0);
  out[0] = 1;
  if (stored.empty()) return out;
  out[0] = (stored[0] & 0x80) ? 1 : 0;
  const int exponent = (stored[0] & 0x7F) - 64;
  std::string digits;
  const std::size_t bits = 8 * (stored.size() - 1);
  for (std::size_t group = 0; group * 10 < bits; ++group) {
    unsigned value = 0;
    for (std::size_t bit = group * 10; bit < group * 10 + 10; ++bit) {
      std::size_t byte = 1 + bit / 8;
      unsigned set = byte < stored.size() ? (stored[byte] >> (7 - bit % 8)) & 1u : 0u;
      value = (value << 1) | set;
    }
    if (value > 999) return ByteVector{};
    digits += static_cast<char>('0' + value / 100);
    digits += static_cast<char>('0' + value / 10 % 10);
    digits += static_cast<char>('0' + value % 10);
  }
  // The digits d1 d2 ... mean d1.d2... x 10^exponent; keep those left of the
  // column's scale.
  const long keep = static_cast<long>(exponent) + 1 + layout.scale;
  Unsigned128 magnitude = 0;
  for (long i = 0; i < keep; ++i) {
    unsigned digit = i < static_cast<long>(digits.size()) ? static_cast<unsigned>(digits[static_cast<std::size_t>(i)] - '0') : 0u;
    if (magnitude > (~static_cast<Unsigned128>(0) - digit) / 10) return ByteVector{};
    magnitude = magnitude * 10 + digit;
  }
  for (std::size_t i = 0; i < magnitudeBytes; ++i) out[1 + i] = static_cast<std::uint8_t>(magnitude >> (8 * i));
  return out;
}

// nchar and nvarchar values of odd length are SCSU; even ones plain UTF-16LE.
ByteVector UnicodeForm(const ByteVector& stored, const ColumnLayout& layout) {
  ByteVector out = stored;
  if (stored.size() % 2 == 1) {
    std::u16string text = DecodeScsu(stored);
    out.clear();
    for (char16_t unit : text) {
      out.push_back(static_cast<std::uint8_t>(unit));
      out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }
  const std::int32_t width = WidthOf(layout);
  if (layout.typeCode == kNChar && width > 0)
    while (out.size() + 2 <= static_cast<std::size_t>(width)) out.insert(out.end(), {0x20, 0x00});
  return out;
}

// A value that shares its first bytes with the column's anchor value: one byte
// counts them, the rest follows.
ByteVector WithAnchorPrefix(const ByteVector& anchor, const ByteVector& stored, bool integerLike) {
  if (anchor.empty() || stored.empty()) return stored;
  std::size_t shared = integerLike ? (stored[0] & 0x7Fu) : stored[0];
  if (anchor.size() < shared) return stored;
  ByteVector full(anchor.begin(), anchor.begin() + static_cast<std::ptrdiff_t>(shared));
  full.insert(full.end(), stored.begin() + 1, stored.end());
  return full;
}

}  // namespace

const ColumnLayout* LayoutOfRecordColumn(const std::vector<ColumnLayout>& layouts, std::size_t column) {
  bool positioned = false;
  for (const ColumnLayout& layout : layouts) {
    if (layout.physicalColumnId == static_cast<std::int32_t>(column) + 1) return &layout;
    positioned = positioned || layout.physicalColumnId >= 1;
  }
  return !positioned && column < layouts.size() ? &layouts[column] : nullptr;
}

std::size_t RecordColumnOfLayout(const std::vector<ColumnLayout>& layouts, std::size_t layout) {
  const std::int32_t physical = layouts[layout].physicalColumnId;
  return physical >= 1 ? static_cast<std::size_t>(physical - 1) : layout;
}

ByteVector UncompressedForm(const ColumnLayout& layout, const ByteVector& compressed) {
  const std::uint32_t typeCode = layout.typeCode;
  const std::int32_t width = WidthOf(layout);
  if (IsIntegerLike(typeCode)) return IntegerForm(compressed, IntegerWidth(typeCode));
  switch (typeCode) {
    case kTinyInt:
    case kBit:
      return ByteVector{compressed.empty() ? std::uint8_t{0} : compressed[0]};
    case kDecimal:
    case kNumeric:
      return DecimalForm(compressed, layout);
    case kFloat:
      return LeftPadded(compressed, 8);
    case kReal:
    case kSmallDateTime:
      return LeftPadded(compressed, 4);
    case kTimestamp:
      return LeftPadded(compressed, 8);
    case kDate:
      return RightPadded(compressed, 3, 0);
    case kTime:
    case kDateTime2:
    case kDateTimeOffset:
    case kUniqueIdentifier:
    case kBinary:
      return width > 0 ? RightPadded(compressed, static_cast<std::size_t>(width), 0) : compressed;
    case kChar:
      return width > 0 ? RightPadded(compressed, static_cast<std::size_t>(width), 0x20) : compressed;
    case kNChar:
    case kNVarChar:
      return width > 0 ? UnicodeForm(compressed, layout) : compressed;  // never the max types
    default:
      return compressed;
  }
}

int CompressedValueRebuilder::ColumnCount() const {
  std::int32_t count = static_cast<std::int32_t>(layouts_->size());
  for (const ColumnLayout& layout : *layouts_) count = std::max(count, layout.physicalColumnId);
  return count;
}

void CompressedValueRebuilder::Rebuild(CPrimaryRecord& record, const PrimaryRecordPage& page) {
  const std::vector<ColumnLayout>& layouts = *layouts_;
  const ByteVector shortData = std::move(record.fixedData);
  ByteVector buffer(kRebuildBufferSize, 0);
  std::size_t read = 0;
  std::size_t write = 0;
  std::size_t longIndex = 0;
  record.columnValues.clear();

  auto takeShort = [&](std::size_t count) -> std::optional<ByteVector> {
    if (!Fits(ByteSpan(shortData), read, count)) {
      read = shortData.size();
      return std::nullopt;
    }
    ByteVector bytes = CopyBytes(ByteSpan(shortData), read, count);
    read += count;
    return bytes;
  };

  const std::size_t columns = std::min<std::size_t>(static_cast<std::size_t>(std::max<int>(record.columnCount, 0)),
                                                    record.descriptorCodes.size());
  for (std::size_t column = 0; column < columns && !StopRequested(); ++column) {
    // No layout: a dropped column, whose bytes are passed over.
    const ColumnLayout* layout = LayoutOfRecordColumn(layouts, column);
    ColumnValue entry;
    entry.offset = static_cast<std::int32_t>(write);
    const std::uint32_t code = record.descriptorCodes[column];
    const ByteVector* anchor = column < page.anchorValues.size() && !page.anchorValues[column].empty()
                                   ? &page.anchorValues[column]
                                   : nullptr;
    const bool integerLike = layout && IsIntegerLike(layout->typeCode);
    std::optional<ByteVector> stored;
    if (code == kNullCode) {
      entry.isNull = 1;
    } else if (code == kEmptyCode) {
      // The anchor's value on a page-compressed page; otherwise the type's zero.
      stored = anchor ? *anchor : ByteVector{};
    } else if (code >= 2 && code <= 9) {
      stored = takeShort(code - 1);
      if (stored && anchor) stored = WithAnchorPrefix(*anchor, *stored, integerLike);
    } else if (code == kSymbolCode) {
      std::optional<ByteVector> symbol = takeShort(1);
      if (symbol && (*symbol)[0] < page.dictionaryEntries.size()) {
        stored = page.dictionaryEntries[(*symbol)[0]];
        if (anchor) stored = WithAnchorPrefix(*anchor, *stored, integerLike);
      }
    } else if (code == kTrueBitCode) {
      stored = ByteVector{1};
    } else if (code == kLongCode && longIndex < record.varValues.size()) {
      VarValue& value = record.varValues[longIndex++];
      if (layout && !value.complex && !value.bytes.empty()) {
        if (anchor) value.bytes = WithAnchorPrefix(*anchor, value.bytes, integerLike);
        value.bytes = UncompressedForm(*layout, value.bytes);
      }
    }
    if (stored && layout) {
      ByteVector form = UncompressedForm(*layout, *stored);
      // A value that does not fit the buffer gets no bytes.
      if (form.size() <= kRebuildBufferSize - write) {
        std::copy(form.begin(), form.end(), buffer.begin() + static_cast<std::ptrdiff_t>(write));
        entry.length = static_cast<std::int32_t>(form.size());
        write += form.size();
      }
    }
    record.columnValues.push_back(entry);
  }
  buffer.resize(write);
  record.fixedData = std::move(buffer);
  record.fixedLength = static_cast<std::int32_t>(write);
}

}  // namespace quillmark
