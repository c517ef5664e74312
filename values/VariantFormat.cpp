// sql_variant values: byte 0 is the base type's system type id, byte 1 a
// version byte; the base type's own header (scale, precision, collation and
// length) and data follow. A length the base type cannot have gives empty text.
#include <bit>

#include "platform/CodePage.h"
#include "values/ValueFormat.h"
#include "values/ValueTexts.h"

namespace quillmark {
namespace {

using namespace valuetext;

std::u16string TimeFamilyOrEmpty(TimeFamily family, ByteSpan value) {
  // Byte 2 is the scale, the stored time follows.
  return TimeFamilyText(family, value.subspan(3), value[2]).value_or(u"");
}

// The lengths a value of each base type can have.
bool LengthFits(std::uint8_t baseType, std::size_t n) {
  switch (baseType) {
    case 48:
    case 104: return n == 3;
    case 52: return n == 4;
    case 40: return n == 5;
    case 56:
    case 58:
    case 59:
    case 122: return n == 6;
    case 60:
    case 61:
    case 62:
    case 127: return n == 10;
    case 36: return n == 18;
    case 240: return n >= 2;
    case 41:
    case 42:
    case 43: return n >= 3;
    case 165:
    case 173: return n >= 4;
    case 106:
    case 108: return n > 4;
    case 167:
    case 175:
    case 231:
    case 239: return n >= 8;
    default: return false;
  }
}

std::u16string BaseTypeText(ByteSpan value) {
  switch (value[0]) {
    case 127: return IntegerText(SignedLe(value, 2, 8));
    case 56: return IntegerText(SignedLe(value, 2, 4));
    case 52: return IntegerText(SignedLe(value, 2, 2));
    case 48: return IntegerText(value[2]);
    case 104: return value[2] != 0 ? u"True" : u"False";
    case 62: return FloatText(std::bit_cast<double>(LittleEndian(value, 2, 8)), false);
    case 59: return RealText(std::bit_cast<float>(static_cast<std::uint32_t>(LittleEndian(value, 2, 4))), false);
    case 60: return MoneyText(SignedLe(value, 2, 8));
    case 122: return MoneyText(SignedLe(value, 2, 4));
    case 61:
      return DateTimeText(static_cast<std::int32_t>(SignedLe(value, 2, 4)),
                          static_cast<std::int32_t>(SignedLe(value, 6, 4)));
    case 58:
      return SmallDateTimeText(static_cast<std::int16_t>(SignedLe(value, 2, 2)),
                               static_cast<std::uint16_t>(LittleEndian(value, 4, 2)));
    case 40: return DateText(static_cast<std::uint32_t>(LittleEndian(value, 2, 3)));
    case 41: return TimeFamilyOrEmpty(TimeFamily::kTime, value);
    case 42: return TimeFamilyOrEmpty(TimeFamily::kDateTime2, value);
    case 43: return TimeFamilyOrEmpty(TimeFamily::kDateTimeOffset, value);
    case 106:
    case 108: return DecimalText(value.subspan(4), value[2], value[3]);  // precision, scale, then sign and magnitude
    case 36: return GuidText(value.subspan(2));
    case 165:
    case 173: return HexText(value.subspan(4), true);  // after a 2-byte maximum length
    case 240: return HexText(value.subspan(2), true);
    // The string types carry a 4-byte collation and a 2-byte maximum length.
    case 175: return EightBitText(value.subspan(8), platform::AnsiCodePage());
    case 167: return WidenedText(value.subspan(8));
    case 231:
    case 239: return Utf16Text(value.subspan(8));
    default: return {};
  }
}

}  // namespace

std::u16string FormatVariant(std::int32_t length, ValueSlot& slot, const ColumnLayout&, const std::uint8_t* value) {
  if (value == nullptr) return {};
  slot.declaredLength = 0;
  if (length < 1) return {};
  const ByteSpan bytes(value, static_cast<std::size_t>(length));
  if (bytes[0] == 108) slot.declaredLength = length - 4;
  return LengthFits(bytes[0], bytes.size()) ? BaseTypeText(bytes) : u"";
}

}  // namespace quillmark
