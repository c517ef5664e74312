// Large values for the tests of row decoding and of whole cells: texts and
// bytes whose every hundred characters (or bytes) differ from the hundred
// before, so that a fragment read twice or out of its place shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "builder/DatabaseBuilder.h"

namespace quillmark::testing {

inline std::string Letters(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>('A' + i / 100 % 26));
  return text;
}

inline Bytes ByteRun(std::size_t length) {
  Bytes bytes;
  for (std::size_t i = 0; i < length; ++i) bytes.push_back(static_cast<std::uint8_t>(i / 100 + i % 7));
  return bytes;
}

// The listing's text of binary bytes: "0x" and two upper-case digits a byte.
inline std::string HexOf(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 15]);
  }
  return text;
}

}  // namespace quillmark::testing
