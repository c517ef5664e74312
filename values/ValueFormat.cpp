#include "values/ValueFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "values/ValueTexts.h"
#include "values/XmlDecoder.h"

namespace quillmark {
namespace {

using namespace valuetext;

constexpr std::int32_t kLayoutLength = -1;  // the column layout's length field
constexpr std::int16_t kVariantHeader = 8;  // type, version and the string types' collation and length

enum class Variable : std::uint8_t { kNo, kYes, kByLayout };

struct SlotShape {
  std::int32_t fixedLength;
  std::int32_t valueLength;
  Variable variable;
};

constexpr SlotShape Fixed(std::int32_t length) { return {length, length, Variable::kNo}; }
constexpr SlotShape kAsLayout{kLayoutLength, kLayoutLength, Variable::kByLayout};
constexpr SlotShape kNone{0, 0, Variable::kNo};
constexpr SlotShape kVariable{0, kLayoutLength, Variable::kYes};

// Indexed by type code; bit columns follow the bit rule instead.
constexpr std::array<SlotShape, kXml + 1> kSlotShapes{{
    Fixed(8),                                 // bigint
    Fixed(kLayoutLength),                     // binary
    kNone,                                    // bit
    Fixed(kLayoutLength),                     // char
    Fixed(8),                                 // datetime
    Fixed(3),                                 // date
    Fixed(5),                                 // time
    Fixed(8),                                 // datetime2
    Fixed(10),                                // datetimeoffset
    Fixed(4),                                 // int
    kAsLayout,                                // nchar
    kAsLayout,                                // nvarchar
    kNone,                                    // unused
    Fixed(2),                                 // smallint
    Fixed(1),                                 // tinyint
    Fixed(16),                                // uniqueidentifier
    kVariable,                                // varbinary
    {0, kLayoutLength, Variable::kByLayout},  // varchar
    kNone,                                    // system type 232
    kAsLayout,                                // ntext
    kAsLayout,                                // sql_variant
    Fixed(8),                                 // money
    Fixed(8),                                 // float
    Fixed(19),                                // numeric
    Fixed(kLayoutLength),                     // decimal
    kVariable,                                // image
    kAsLayout,                                // text
    Fixed(4),                                 // smalldatetime
    Fixed(4),                                 // real
    Fixed(4),                                 // smallmoney
    Fixed(8),                                 // timestamp
    kAsLayout,                                // hierarchyid
    kAsLayout,                                // geometry
    kAsLayout,                                // other CLR types
    kVariable,                                // xml
}};

bool HasRule(TypeCode code) {
  return code >= kBigInt && code <= kXml && code != kUnusedTypeCode && code != kSystemType232 && code != kImage;
}

// The bytes a rule formats, and whether they must all lie in the record
// (otherwise the missing ones read as zero).
struct Formatted {
  std::int64_t count;
  bool mustFit;
};

Formatted BytesFormatted(const ValueSlot& slot) {
  switch (slot.typeCode) {
    case kBit: return {1, false};
    case kDateTime: return {8, true};
    case kDate: return {3, true};
    case kSmallDateTime: return {4, true};
    case kTime:
    case kDateTime2:
    case kDateTimeOffset:
    case kMoney:
    case kNumeric:
    case kDecimal:
    case kSmallMoney: return {slot.declaredLength, true};
    case kNVarChar:
    case kVarBinary:
    case kVarChar:
    case kNText:
    case kSqlVariant:
    case kText:
    case kHierarchyId:
    case kGeometry:
    case kXml: return {slot.valueLength, false};
    default: return {slot.valueLength, true};
  }
}

// Types whose valueLength becomes their declaredLength once formatted.
bool TakesDeclaredLength(TypeCode code) {
  switch (code) {
    case kDateTime:
    case kDate:
    case kTime:
    case kDateTime2:
    case kDateTimeOffset:
    case kUniqueIdentifier:
    case kMoney:
    case kNumeric:
    case kDecimal:
    case kSmallDateTime:
    case kSmallMoney:
    case kTimestamp: return true;
    default: return false;
  }
}

// The number between the first "(" and the ")" after it: "varchar(50)" gives
// 50, "varbinary(-1)" -1, a text without one 0.
std::int32_t DeclaredLengthOf(const std::u16string& typeText) {
  const std::size_t open = typeText.find(u'(');
  if (open == std::u16string::npos) return 0;
  const std::size_t close = typeText.find(u')', open);
  std::u16string_view digits(typeText);
  digits = digits.substr(open + 1, close == std::u16string::npos ? std::u16string::npos : close - open - 1);
  const bool negative = !digits.empty() && digits.front() == u'-';
  if (negative || (!digits.empty() && digits.front() == u'+')) digits.remove_prefix(1);
  std::int64_t value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') break;
    value = std::min<std::int64_t>(value * 10 + (c - u'0'), INT32_MAX);
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

// The rule's bytes in a zero-filled buffer of at least the handed-over length
// and the formatted count, plus two zero bytes: only as many as the record
// holds are copied, so nothing is read past it.
class WorkingBytes {
 public:
  WorkingBytes(const std::uint8_t* value, std::int64_t count, std::int64_t available, std::int16_t valueLength)
      : count_(static_cast<std::size_t>(std::max<std::int64_t>(count, 0))),
        bytes_(std::max<std::size_t>(count_, static_cast<std::size_t>(valueLength)) + 2, 0) {
    const auto copied =
        static_cast<std::size_t>(std::clamp<std::int64_t>(available, 0, static_cast<std::int64_t>(count_)));
    if (copied > 0) std::memcpy(bytes_.data(), value, copied);
  }
  ByteSpan Run() const { return ByteSpan(bytes_).first(count_); }

 private:
  std::size_t count_;
  ByteVector bytes_;
};

// The first bit column of a group of eight takes a byte from the record, the
// next seven read further bits of it; declaredLength tells row decoding
// whether to step past a byte.
std::u16string BitText(ValueSlot& slot, ByteSpan run) {
  slot.declaredLength = 0;
  BitCursor* cursor = slot.bitCursor;
  if (slot.valueLength != 1 || cursor == nullptr) return {};
  if (cursor->bitIndex == 8) cursor->loaded = 0;
  const bool takesByte = cursor->loaded == 0;
  if (takesByte) {
    cursor->currentByte = run[0];
    cursor->bitIndex = 0;
    cursor->loaded = 1;
  }
  cursor->byteTaken = takesByte ? 1 : 0;
  slot.fixedLength = takesByte ? 1 : 0;
  slot.declaredLength = takesByte ? 1 : 0;
  const bool bit = (cursor->currentByte >> cursor->bitIndex) & 1;
  ++cursor->bitIndex;
  return bit ? u"True" : u"False";
}

std::u16string TimeFamilyOrBlank(TimeFamily family, ByteSpan run, int scale) {
  return TimeFamilyText(family, run, scale).value_or(kOutOfRange);
}

std::u16string TextOf(ValueSlot& slot, const ColumnLayout& layout, ByteSpan run) {
  switch (slot.typeCode) {
    case kBigInt: return IntegerText(SignedLe(run, 0, 8));
    case kInt: return IntegerText(SignedLe(run, 0, 4));
    case kSmallInt: return IntegerText(SignedLe(run, 0, 2));
    case kTinyInt: return IntegerText(static_cast<std::int64_t>(LittleEndian(run, 0, 1)));
    case kBit: return BitText(slot, run);
    case kBinary:
    case kTimestamp:
    case kHierarchyId: return HexText(run, true);
    case kVarBinary:
    case kGeometry:
    case kClrType: return HexText(run, false);  // row decoding adds "0x" where it belongs
    case kChar:
    case kVarChar:
    case kText: return EightBitText(run, CollationCodePage(layout.collationId));
    case kNChar:
    case kNVarChar:
    case kNText: return Utf16Text(run);
    case kSqlVariant: return ZeroByteTestText(run);
    case kUniqueIdentifier: return GuidText(run);
    case kDateTime:
      return DateTimeText(static_cast<std::int32_t>(SignedLe(run, 0, 4)),
                          static_cast<std::int32_t>(SignedLe(run, 4, 4)));
    case kSmallDateTime:
      return SmallDateTimeText(static_cast<std::int16_t>(SignedLe(run, 0, 2)),
                               static_cast<std::uint16_t>(LittleEndian(run, 2, 2)));
    case kDate: return DateText(static_cast<std::uint32_t>(LittleEndian(run, 0, 3)));
    case kTime: return TimeFamilyOrBlank(TimeFamily::kTime, run, layout.scale);
    case kDateTime2: return TimeFamilyOrBlank(TimeFamily::kDateTime2, run, layout.scale);
    case kDateTimeOffset: return TimeFamilyOrBlank(TimeFamily::kDateTimeOffset, run, layout.scale);
    case kMoney: return MoneyText(SignedLe(run, 0, 8));
    case kSmallMoney: return MoneyText(SignedLe(run, 0, 4));
    case kNumeric:
    case kDecimal: return DecimalText(run, layout.precision, layout.scale);
    case kFloat: return FloatText(std::bit_cast<double>(LittleEndian(run, 0, 8)), true);
    case kReal: return RealText(std::bit_cast<float>(static_cast<std::uint32_t>(LittleEndian(run, 0, 4))), true);
    case kXml: {
      std::u16string text = DecodeXmlValue(run);
      return text.empty() ? kOutOfRange : text;
    }
    default: return {};
  }
}

}  // namespace

ValueSlot InitValueSlot(const ColumnLayout& layout, TypeCode typeCode, BitCursor* bitCursor) {
  ValueSlot slot;
  slot.typeCode = typeCode;
  slot.bitCursor = bitCursor;
  if (typeCode == kBit) {
    // Only a bit column that starts a group of eight takes a byte of the fixed part.
    const bool takesByte = bitCursor != nullptr && bitCursor->bitIndex == 8;
    if (bitCursor != nullptr) bitCursor->byteTaken = takesByte ? 1 : 0;
    slot.fixedLength = takesByte ? 1 : 0;
    slot.valueLength = 1;
    return slot;
  }
  if (typeCode < kBigInt || typeCode > kXml) return slot;
  const SlotShape& shape = kSlotShapes[static_cast<std::size_t>(typeCode)];
  auto resolve = [&](std::int32_t length) { return length == kLayoutLength ? layout.length : length; };
  slot.fixedLength = static_cast<std::uint16_t>(resolve(shape.fixedLength));
  slot.valueLength = static_cast<std::int16_t>(resolve(shape.valueLength));
  slot.isVariable =
      shape.variable == Variable::kYes || (shape.variable == Variable::kByLayout && layout.variableFlag) ? 1 : 0;
  return slot;
}

std::u16string FormatValue(ValueSlot& slot, const ColumnLayout& layout, const std::uint8_t* value) {
  if (value == nullptr) return {};
  if (slot.isVariable) slot.availableLength = static_cast<std::uint64_t>(std::int64_t{slot.valueLength});
  if (slot.declaredLength == 0) slot.declaredLength = DeclaredLengthOf(layout.typeText);

  // A sql_variant handed here is a string type: its text follows the 8-byte header.
  std::int64_t skipped = 0;
  if (slot.typeCode == kSqlVariant) {
    slot.valueLength = static_cast<std::int16_t>(slot.valueLength - kVariantHeader);
    if (slot.valueLength <= 0) return {};
    skipped = kVariantHeader;
  }
  if (!HasRule(slot.typeCode)) return {};

  std::u16string text;
  if (slot.valueLength <= 0) {
    if (slot.typeCode == kBit) return u"False";
  } else {
    const Formatted formatted = BytesFormatted(slot);
    const std::int64_t available = static_cast<std::int64_t>(slot.availableLength) - skipped;
    if (!formatted.mustFit || formatted.count <= available) {
      const WorkingBytes bytes(value + skipped, formatted.count, available, slot.valueLength);
      text = TextOf(slot, layout, bytes.Run());
    }
  }
  if (TakesDeclaredLength(slot.typeCode)) slot.valueLength = static_cast<std::int16_t>(slot.declaredLength);
  return text;
}

}  // namespace quillmark
