// One row of the module-text table (sysobjvalues, or syscomments in SQL Server
// 2000 files): the object it belongs to, its sub-id and its value, all three as
// the texts the value formatter gave them (the value as "0x" and hexadecimal).
#pragma once

#include <string>
#include <vector>

#include "engine/Bytes.h"

namespace quillmark {

struct ModuleTextEntry {
  std::u16string objectId;
  std::u16string subId;
  std::u16string value;
};

// The bytes of a value text: the first two characters ("0x") skipped, then a
// byte per pair of characters, high half first. Only digits and upper-case
// letters decode to what they mean; any other character counts as its low four
// bits.
ByteVector DecodeModuleValue(const std::u16string& value);

// The text those bytes hold: UTF-16LE up to its first NUL when any byte after
// the first is zero, else 8-bit text in the ANSI code page.
struct ModuleValueText {
  std::u16string text;
  bool wide = false;
};
ModuleValueText ModuleValueToText(const ByteVector& bytes);

}  // namespace quillmark
