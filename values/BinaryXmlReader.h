// A cursor over one stored xml value (SQL Server's binary XML). Every read
// checks that its bytes are there and throws Malformed when they are not, so
// the decoder can give up on the whole value at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "engine/Bytes.h"

namespace quillmark::binxml {

class Malformed : public std::exception {
 public:
  const char* what() const noexcept override { return "malformed binary XML"; }
};

[[noreturn]] inline void Fail() { throw Malformed(); }

class Reader {
 public:
  explicit Reader(ByteSpan bytes) : bytes_(bytes) {}

  bool AtEnd() const { return offset_ == bytes_.size(); }
  std::uint8_t Peek() const;
  std::uint8_t Byte();
  // An unsigned little-endian field of 1 to 8 bytes.
  std::uint64_t Unsigned(std::size_t width);
  template <typename T>
  T Fixed() {
    return static_cast<T>(Unsigned(sizeof(T)));
  }

  // The base-128 lengths and indexes: 7 bits a byte, low group first, bit 7
  // set while more follow. mb64 must fit a signed 64-bit integer, mb32 a
  // signed 32-bit one.
  std::uint64_t Mb64();
  std::uint32_t Mb32();

  ByteSpan Take(std::uint64_t count);
  std::u16string Utf16(std::uint64_t units);
  std::u16string TextData() { return Utf16(Mb32()); }
  std::u16string TextData64() { return Utf16(Mb64()); }
  ByteSpan Blob() { return Take(Mb32()); }
  ByteSpan Blob64() { return Take(Mb64()); }
  // The length counts the 4-byte code page that leads the text.
  std::u16string CodePageText(std::uint64_t length);

  // DF FF, the format version, then code page 1200 (UTF-16LE): the start of a
  // value and of every document nested in it.
  void Header();

 private:
  ByteSpan bytes_;
  std::size_t offset_ = 0;
};

}  // namespace quillmark::binxml
