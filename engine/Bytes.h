// Little-endian reads at an offset within a span of bytes. Every read checks that
// the whole field lies inside the span; a field that does not yields nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace quillmark {

using ByteSpan = std::span<const std::uint8_t>;
using ByteVector = std::vector<std::uint8_t>;

inline bool Fits(ByteSpan bytes, std::size_t offset, std::size_t width) {
  return offset <= bytes.size() && width <= bytes.size() - offset;
}

template <typename T>
std::optional<T> ReadLe(ByteSpan bytes, std::size_t offset) {
  static_assert(std::is_integral_v<T>);
  if (!Fits(bytes, offset, sizeof(T))) return std::nullopt;
  std::make_unsigned_t<T> value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i)
    value = static_cast<std::make_unsigned_t<T>>(value | (std::make_unsigned_t<T>(bytes[offset + i]) << (8 * i)));
  return static_cast<T>(value);
}

// The field's value, or `fallback` when it does not lie inside the span.
template <typename T>
T ReadLeOr(ByteSpan bytes, std::size_t offset, T fallback = T{}) {
  return ReadLe<T>(bytes, offset).value_or(fallback);
}

// A copy of `length` bytes at `offset`; empty when they do not lie inside the span.
inline ByteVector CopyBytes(ByteSpan bytes, std::size_t offset, std::size_t length) {
  if (!Fits(bytes, offset, length)) return {};
  return ByteVector(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

}  // namespace quillmark
