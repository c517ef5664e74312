#include "engine/TextMixPage.h"

#include "engine/AppSettings.h"

namespace quillmark {
namespace {

constexpr std::int32_t kFragmentHeaderLength = 10;  // blob id and fragment type

}  // namespace

TextRecord::TextRecord(ByteSpan bytes, const PageContext& context) {
  page = context;
  lengthLimit = static_cast<std::int32_t>(bytes.size());
  if (bytes.empty()) {
    invalid = true;
    return;
  }
  DecodeStatus(bytes[0]);
  std::int32_t fixedEnd = ReadLeOr<std::uint16_t>(bytes, 2);
  std::int32_t fragmentLength = fixedEnd - 4;
  fixedLength = fragmentLength;
  // The fragment must end inside what may be read.
  if (fixedEnd == 4 || fragmentLength < 0 || fixedEnd > lengthLimit) return;
  fixedData = CopyBytes(bytes, 4, static_cast<std::size_t>(fragmentLength));
  fragmentEnd = fixedEnd;
  blobId = ReadLeOr<std::uint64_t>(ByteSpan(fixedData), 0);
  if (fragmentLength >= kFragmentHeaderLength) {
    fragmentType = ReadLeOr<std::uint16_t>(ByteSpan(fixedData), 8);
    bodyLength = fragmentLength - kFragmentHeaderLength;
  }
}

TextMixPage::TextMixPage(PageBuffer buffer, DatabaseFile* owner) : RecordPage(std::move(buffer), owner) {
  for (std::uint16_t offset : slotOffsets) {
    if (StopRequested()) break;
    if (offset > kPageSize) {
      records.push_back(nullptr);
      continue;
    }
    records.push_back(std::make_unique<TextRecord>(Bytes().subspan(offset), Context()));
  }
  slotOffsets.clear();
}

TextMixPage::TextMixPage(PageBuffer buffer, DatabaseFile* owner, std::uint16_t slotIndex) {
  file = owner;
  data = std::move(buffer);
  std::unique_ptr<TextRecord> record;
  if (data) {
    header = std::make_unique<CPage_Header>(CPage_Header::Parse(std::span<std::uint8_t>(data.get(), kPageSize)));
    const std::int32_t offset = StopRequested() ? -1 : ReadSlotOffset(Bytes(), header->slotCount, slotIndex);
    if (offset >= 0 && offset <= static_cast<std::int32_t>(kPageSize)) {
      recordOffset = offset;
      record = std::make_unique<TextRecord>(Bytes().subspan(static_cast<std::size_t>(offset)), Context());
    }
  }
  records.push_back(std::move(record));
}

}  // namespace quillmark
