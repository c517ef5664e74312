#include "values/BinaryXmlReader.h"

#include <string_view>

#include "platform/CodePage.h"

namespace quillmark::binxml {

namespace {

constexpr std::uint32_t kUtf16CodePage = 1200;

}  // namespace

std::uint8_t Reader::Peek() const {
  if (AtEnd()) Fail();
  return bytes_[offset_];
}

std::uint8_t Reader::Byte() {
  std::uint8_t byte = Peek();
  ++offset_;
  return byte;
}

std::uint64_t Reader::Unsigned(std::size_t width) {
  ByteSpan field = Take(width);
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint64_t{field[i]} << (8 * i);
  return value;
}

std::uint64_t Reader::Mb64() {
  std::uint64_t value = 0;
  for (unsigned shift = 0; shift <= 63; shift += 7) {
    std::uint8_t byte = Byte();
    std::uint64_t bits = byte & 0x7Fu;
    // The tenth byte lands on bit 63, the sign bit of a signed 64-bit value.
    if (shift == 63 && bits != 0) Fail();
    value |= bits << shift;
    if ((byte & 0x80) == 0) return value;
  }
  Fail();  // an eleventh byte
}

std::uint32_t Reader::Mb32() {
  std::uint64_t value = Mb64();
  if (value > 0x7FFFFFFF) Fail();
  return static_cast<std::uint32_t>(value);
}

ByteSpan Reader::Take(std::uint64_t count) {
  if (count > bytes_.size() - offset_) Fail();
  ByteSpan taken = bytes_.subspan(offset_, static_cast<std::size_t>(count));
  offset_ += taken.size();
  return taken;
}

std::u16string Reader::Utf16(std::uint64_t units) {
  // Compared before doubling, so a huge count cannot wrap.
  if (units > (bytes_.size() - offset_) / 2) Fail();
  ByteSpan raw = Take(units * 2);
  std::u16string text(raw.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  return text;
}

std::u16string Reader::CodePageText(std::uint64_t length) {
  if (length < 4) Fail();
  auto codePage = Fixed<std::uint32_t>();
  if (codePage == kUtf16CodePage) {
    if (length % 2 != 0) Fail();
    return Utf16((length - 4) / 2);
  }
  ByteSpan text = Take(length - 4);
  std::string_view chars(reinterpret_cast<const char*>(text.data()), text.size());
  // Code page numbers past INT_MAX turn negative, which the converter treats as
  // unknown and reads in the ANSI code page.
  return platform::ToUtf16(chars, static_cast<int>(codePage));
}

void Reader::Header() {
  if (Byte() != 0xDF || Byte() != 0xFF) Fail();
  // Version 0 reads as version 1; version 2 adds the date/time tokens 7A-7F,
  // which are accepted in any version.
  if (Byte() > 2) Fail();
  if (Fixed<std::uint16_t>() != kUtf16CodePage) Fail();
}

}  // namespace quillmark::binxml
