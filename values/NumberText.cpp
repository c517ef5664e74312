// Integer, money, float and real texts. Written with fmt, which ignores the C
// library's locale, so the decimal point is always ".".
#include <fmt/format.h>

#include <cmath>

#include "values/ValueTexts.h"

namespace quillmark::valuetext {
namespace {

// "1.5e+10" -> "1.5e+010": exponents carry at least three digits.
std::string WithThreeDigitExponent(std::string text) {
  std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::size_t digits = e + 2;  // past the sign
  while (text.size() - digits < 3) text.insert(digits, 1, '0');
  return text;
}

}  // namespace

std::uint64_t LittleEndian(ByteSpan bytes, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width && offset + i < bytes.size(); ++i)
    value |= std::uint64_t{bytes[offset + i]} << (8 * i);
  return value;
}

std::int64_t SignedLe(ByteSpan bytes, std::size_t offset, std::size_t width) {
  const unsigned shift = static_cast<unsigned>(64 - 8 * width);
  return static_cast<std::int64_t>(LittleEndian(bytes, offset, width) << shift) >> shift;  // sign-extend
}

std::u16string Widen(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<unsigned char>(c));
  return text;
}

// Written by hand: integers are the commonest values of a listing.
std::u16string IntegerText(std::int64_t value) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) magnitude = 0 - magnitude;
  char16_t digits[21];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  std::u16string text;
  text.reserve(static_cast<std::size_t>(count) + 1);
  if (value < 0) text.push_back(u'-');
  while (count > 0) text.push_back(digits[--count]);
  return text;
}

std::u16string MoneyText(std::int64_t tenThousandths) {
  // The magnitude in unsigned arithmetic: the smallest 64-bit value has no positive twin.
  std::uint64_t magnitude = static_cast<std::uint64_t>(tenThousandths);
  if (tenThousandths < 0) magnitude = 0 - magnitude;
  return Widen(fmt::format("{}{}.{:04}", tenThousandths < 0 ? "-" : "", magnitude / 10000, magnitude % 10000));
}

// Fifteen significant digits for finite non-zero values, fewer when the
// trailing ones are zeros; six decimals where fifteen digits would all lie
// left of the point.
std::u16string FloatText(double value, bool zeroForNonFinite) {
  if (value == 0 || (zeroForNonFinite && !std::isfinite(value))) return u"0";
  int decimals = 6;
  if (std::isfinite(value)) decimals = 15 - static_cast<int>(std::ceil(std::log10(std::fabs(value))));
  if (decimals < 0) decimals = 6;
  std::string text = fmt::format("{:.{}f}", value, decimals);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return Widen(text);
}

// The general form with six significant digits, as a default stream prints a double.
std::u16string RealText(float value, bool zeroForNonFinite) {
  if (zeroForNonFinite && !std::isfinite(value)) return u"0";
  return Widen(WithThreeDigitExponent(fmt::format("{:g}", static_cast<double>(value))));
}

}  // namespace quillmark::valuetext
