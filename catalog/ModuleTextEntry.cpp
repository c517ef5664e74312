#include "catalog/ModuleTextEntry.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace quillmark {
namespace {

std::uint8_t HalfByte(char16_t digit) {
  if (digit >= u'A' && digit <= u'F') return static_cast<std::uint8_t>(digit - u'A' + 10);
  return static_cast<std::uint8_t>(digit & 0x0F);
}

}  // namespace

ByteVector DecodeModuleValue(const std::u16string& value) {
  ByteVector bytes;
  if (value.size() < 2) return bytes;
  for (std::size_t at = 2; at + 1 < value.size(); at += 2)
    bytes.push_back(static_cast<std::uint8_t>((HalfByte(value[at]) << 4) | HalfByte(value[at + 1])));
  return bytes;
}

ModuleValueText ModuleValueToText(const ByteVector& bytes) {
  ModuleValueText result;
  result.wide = bytes.size() > 1 && std::find(bytes.begin() + 1, bytes.end(), 0) != bytes.end();
  if (result.wide) {
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
      auto unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
      if (unit == 0) break;
      result.text.push_back(unit);
    }
  } else {
    auto end = std::find(bytes.begin(), bytes.end(), 0);
    result.text = platform::AnsiToUtf16(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(end - bytes.begin())));
  }
  return result;
}

}  // namespace quillmark
