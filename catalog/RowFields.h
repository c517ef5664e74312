// The fixed part of a system-table row, read field by field.
//
// Some readers take fields past the fixed length they check (the file table
// checks 520 bytes and reads its physical name up to byte 781). Those bytes are
// read where the row lies on its page, from the record start + 4, so a field
// never reaches past the page end: one that would keeps its default, and a text
// stops there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/Bytes.h"
#include "engine/PageId.h"
#include "engine/Record.h"

namespace quillmark {

class RowFields {
 public:
  explicit RowFields(const CRecord& record);

  bool HasFixedData() const { return hasFixedData_; }
  std::int32_t FixedLength() const { return fixedLength_; }

  template <typename T>
  T Read(std::size_t offset, T fallback) const {
    return ReadLeOr<T>(bytes_, offset, fallback);
  }
  // UTF-16LE text of at most `maxBytes` bytes at `offset`, up to its first NUL.
  std::u16string Utf16(std::size_t offset, std::size_t maxBytes) const;
  // Two single-byte characters, as object types are stored ("U ", "FN").
  std::string TwoChars(std::size_t offset) const;
  // A 6-byte page pointer: page number, then file id; file 0, page 0 when it does not fit.
  PageId PagePointer(std::size_t offset) const;

 private:
  ByteSpan bytes_;
  bool hasFixedData_ = false;
  std::int32_t fixedLength_ = 0;
};

// The first variable-length column as UTF-16 text up to its end or its first
// NUL; nothing when the row has no variable-length column.
std::optional<std::u16string> FirstVariableText(const CRecord& record);

// UTF-16LE bytes up to the first NUL (an odd last byte is dropped).
std::u16string DecodeUtf16(ByteSpan bytes);

}  // namespace quillmark
