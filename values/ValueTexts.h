// The texts of the value formatter's rules, shared by FormatValue and
// FormatVariant. Every reader takes the bytes as a span and counts the bytes
// beyond its end as zero, so a short run reads as a zero-extended one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Bytes.h"

namespace quillmark::valuetext {

inline constexpr char16_t kOutOfRange[] = u" ";

// Little-endian unsigned of `width` bytes at `offset`.
std::uint64_t LittleEndian(ByteSpan bytes, std::size_t offset, std::size_t width);
// Two's complement of `width` bytes (1 to 8) at `offset`.
std::int64_t SignedLe(ByteSpan bytes, std::size_t offset, std::size_t width);

// Every byte to the UTF-16 unit of the same value.
std::u16string Widen(std::string_view bytes);

std::u16string IntegerText(std::int64_t value);
std::u16string MoneyText(std::int64_t tenThousandths);
std::u16string FloatText(double value, bool zeroForNonFinite);
std::u16string RealText(float value, bool zeroForNonFinite);
// Sign byte, then the magnitude; its width follows from the precision.
std::u16string DecimalText(ByteSpan bytes, int precision, int scale);

std::u16string HexText(ByteSpan bytes, bool withPrefix);
std::u16string GuidText(ByteSpan bytes);
// UTF-16LE up to the first zero unit.
std::u16string Utf16Text(ByteSpan bytes);
// The bytes up to the first zero byte in `codePage`; a code page the converter
// lacks widens every byte instead, as WidenedText does.
std::u16string EightBitText(ByteSpan bytes, int codePage);
std::u16string WidenedText(ByteSpan bytes);
// UTF-16 when exactly half the bytes are zero, 8-bit text in the ANSI code page otherwise.
std::u16string ZeroByteTestText(ByteSpan bytes);
// The code page of a text column's collation: the collation's own only while a
// records listing runs, the ANSI code page otherwise.
int CollationCodePage(std::int32_t collationId);

std::u16string DateTimeText(std::int32_t ticks, std::int32_t days);
std::u16string SmallDateTimeText(std::int16_t minutes, std::uint16_t days);
std::u16string DateText(std::uint32_t dayNumber);

enum class TimeFamily { kTime, kDateTime2, kDateTimeOffset };
// Nothing when the scale is above 7 or the byte count is not one the family
// stores (time 3-5, datetime2 6-8, datetimeoffset 8-10).
std::optional<std::u16string> TimeFamilyText(TimeFamily family, ByteSpan bytes, int scale);

}  // namespace quillmark::valuetext
