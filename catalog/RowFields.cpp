#include "catalog/RowFields.h"

#include "engine/PageId.h"

namespace quillmark {

RowFields::RowFields(const CRecord& record)
    : hasFixedData_(!record.fixedData.empty()), fixedLength_(record.fixedLength) {
  if (!hasFixedData_) return;
  if (record.pageOffset >= 0 && record.page.pageBytes) {
    std::size_t start = static_cast<std::size_t>(record.pageOffset) + 4;
    if (start < kPageSize) bytes_ = ByteSpan(record.page.pageBytes + start, kPageSize - start);
  } else {
    bytes_ = ByteSpan(record.fixedData);
  }
}

std::u16string RowFields::Utf16(std::size_t offset, std::size_t maxBytes) const {
  if (offset >= bytes_.size()) return {};
  return DecodeUtf16(bytes_.subspan(offset, std::min(maxBytes, bytes_.size() - offset)));
}

std::string RowFields::TwoChars(std::size_t offset) const {
  std::string text;
  for (std::size_t at = offset; at < offset + 2; ++at)
    text.push_back(static_cast<char>(ReadLeOr<std::uint8_t>(bytes_, at, 0)));
  return text;
}

PageId RowFields::PagePointer(std::size_t offset) const {
  if (!Fits(bytes_, offset, 6)) return PageId{0, 0};
  return ReadPagePointer(bytes_, offset);
}

std::u16string DecodeUtf16(ByteSpan bytes) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    auto unit = static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::optional<std::u16string> FirstVariableText(const CRecord& record) {
  if (record.varValues.empty()) return std::nullopt;
  return DecodeUtf16(record.varValues.front().bytes);
}

}  // namespace quillmark
