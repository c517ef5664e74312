// decimal and numeric: a sign byte (0 negative), then the magnitude as a
// little-endian unsigned integer of up to 16 bytes, scaled by 10^-scale.
#include <algorithm>
#include <array>

#include "values/ValueTexts.h"

namespace quillmark::valuetext {
namespace {

constexpr int kMostDigits = 39;  // 2^128 has 39 digits

// The 128-bit magnitude as eight 16-bit limbs, most significant first.
using Limbs = std::array<std::uint32_t, 8>;

std::size_t MagnitudeBytes(int precision) {
  if (precision <= 9) return 4;
  if (precision <= 19) return 8;
  if (precision <= 28) return 12;
  return 16;
}

Limbs MagnitudeOf(ByteSpan bytes, int precision) {
  Limbs limbs{};
  const std::size_t width = MagnitudeBytes(precision);
  for (std::size_t i = 0; i < width; i += 2)
    limbs[7 - i / 2] = static_cast<std::uint32_t>(LittleEndian(bytes, 1 + i, 2));
  return limbs;
}

// Divides in place and returns the remainder.
std::uint32_t DivideBy10(Limbs& limbs) {
  std::uint32_t remainder = 0;
  for (std::uint32_t& limb : limbs) {
    std::uint32_t current = (remainder << 16) | limb;
    limb = current / 10;
    remainder = current % 10;
  }
  return remainder;
}

bool IsZero(const Limbs& limbs) {
  return std::all_of(limbs.begin(), limbs.end(), [](std::uint32_t limb) { return limb == 0; });
}

// The next digit from the right: 64-bit division while the number fits, as
// nearly every stored decimal does, limb by limb otherwise.
std::uint32_t NextDigit(Limbs& limbs, std::uint64_t& small, bool& fits) {
  if (!fits && limbs[0] == 0 && limbs[1] == 0 && limbs[2] == 0 && limbs[3] == 0) {
    small = (std::uint64_t{limbs[4]} << 48) | (std::uint64_t{limbs[5]} << 32) | (std::uint64_t{limbs[6]} << 16) | limbs[7];
    fits = true;
  }
  if (!fits) return DivideBy10(limbs);
  auto digit = static_cast<std::uint32_t>(small % 10);
  small /= 10;
  return digit;
}

}  // namespace

std::u16string DecimalText(ByteSpan bytes, int precision, int scale) {
  Limbs magnitude = MagnitudeOf(bytes, precision);
  std::uint64_t small = 0;
  bool fits = false;
  std::string reversed;  // digits from the right, with the point once `scale` digits stand right of it
  int emitted = 0;
  do {
    reversed.push_back(static_cast<char>('0' + NextDigit(magnitude, small, fits)));
    if (++emitted == scale) reversed.push_back('.');
  } while ((fits ? small != 0 : !IsZero(magnitude)) && emitted < kMostDigits);
  if (emitted < scale) {
    // 5 at scale 3 is 0.005; the "0" in front does not count as a digit below.
    reversed.append(static_cast<std::size_t>(scale - emitted), '0');
    reversed += ".0";
  }
  std::string text(reversed.rbegin(), reversed.rend());

  // Stored digits beyond the precision: give up fraction digits first.
  int digits = std::max(emitted, scale);
  for (int dropped = 0; digits > precision && dropped < scale; ++dropped, --digits) text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (digits > precision) return {};

  if (LittleEndian(bytes, 0, 1) == 0) text.insert(text.begin(), '-');
  return Widen(text);
}

}  // namespace quillmark::valuetext
