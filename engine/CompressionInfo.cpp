// The compression-information record of a page-compressed page: its anchor
// record, whose column values are the prefixes the page's records build on, and
// its dictionary of values the records refer to by symbol.

#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/RecordPage.h"

namespace quillmark {
namespace {

constexpr std::size_t kCompressionInfoStart = 96;
constexpr std::size_t kAnchorWithDictionary = 103;
constexpr std::size_t kAnchorAlone = 101;
constexpr std::int32_t kDictionaryLimit = 4096;

// The anchor's bytes: from `start`, at most `statedLimit` bytes and never past the page.
ByteSpan AnchorBytes(ByteSpan page, std::size_t start, std::size_t statedLimit) {
  return page.subspan(start, std::min(statedLimit, page.size() - start));
}

}  // namespace

void PrimaryRecordPage::ReadCompressionInfo() {
  if (!header || !(header->typeFlagBits & kCompressionInfoFlag)) return;
  ByteSpan page = Bytes();
  if (page.size() < kPageSize) return;
  std::copy_n(page.begin() + kCompressionInfoStart, compressionInfoStart.size(), compressionInfoStart.begin());
  std::uint8_t flags = page[kCompressionInfoStart];
  std::int32_t dictionaryOffset = ReadLeOr<std::uint16_t>(page, 99);
  std::int32_t ciSize = ReadLeOr<std::uint16_t>(page, 101);
  if (ciSize == 0) return;
  hasAnchor = (flags & 0x02) != 0;
  hasDictionary = (flags & 0x04) != 0;
  if (!hasAnchor) return;

  const bool sql2000 = Settings().isSql2000 != 0;
  if (hasDictionary) {
    anchor = std::make_unique<CPrimaryRecord>(AnchorBytes(page, kAnchorWithDictionary, static_cast<std::size_t>(ciSize)),
                                              Context(), CPrimaryRecord::Mode::kAnchor);
    if (!anchor->invalid && dictionaryOffset > 0 && dictionaryOffset < ciSize && ciSize < kDictionaryLimit &&
        static_cast<std::int32_t>(kCompressionInfoStart) + dictionaryOffset < kDictionaryLimit)
      ReadDictionary(dictionaryOffset, ciSize);
  } else if (!sql2000) {
    anchor = std::make_unique<CPrimaryRecord>(AnchorBytes(page, kAnchorAlone, static_cast<std::size_t>(ciSize)),
                                              Context(), CPrimaryRecord::Mode::kAnchor);
  }
  if (anchor && !anchor->invalid && !sql2000) ExtractAnchorValues();
}

void PrimaryRecordPage::ReadDictionary(std::int32_t dictionaryOffset, std::int32_t ciSize) {
  ByteSpan page = Bytes();
  const std::size_t start = kCompressionInfoStart + static_cast<std::size_t>(dictionaryOffset);
  const std::int32_t declared = ReadLeOr<std::uint16_t>(page, start);
  if (declared == 0) return;

  // End offsets are read while they lie on the page, up to the first one past
  // the dictionary limit.
  for (std::int32_t i = 0; i < declared; ++i) {
    auto end = ReadLe<std::uint16_t>(page, start + 2 + 2 * static_cast<std::size_t>(i));
    if (!end || *end > kDictionaryLimit) break;
    dictionaryEndOffsets.push_back(*end);
  }

  std::int32_t running = 2 * declared + 2;
  std::size_t readPosition = start + static_cast<std::size_t>(running);
  for (std::int32_t end : dictionaryEndOffsets) {
    std::int32_t length = end - running;
    if (length > 0 && length < ciSize && readPosition < static_cast<std::size_t>(kDictionaryLimit) &&
        Fits(page, readPosition, static_cast<std::size_t>(length))) {
      dictionaryEntries.push_back(CopyBytes(page, readPosition, static_cast<std::size_t>(length)));
      readPosition += static_cast<std::size_t>(length);
    }
    running += length;
  }
}

void PrimaryRecordPage::ExtractAnchorValues() {
  const CompressedRecordRebuilder* context = Settings().listingContext;
  const int columns = context ? context->ColumnCount() : 0;
  const ByteVector& shortData = anchor->fixedData;
  std::size_t shortPosition = 0;
  std::size_t longIndex = 0;
  // One entry per column, so that a record's column i finds its anchor at i.
  for (int column = 0; column < columns && !StopRequested(); ++column) {
    ByteVector value;
    std::uint32_t code = static_cast<std::size_t>(column) < anchor->descriptorCodes.size()
                             ? anchor->descriptorCodes[static_cast<std::size_t>(column)]
                             : 0;
    if (code >= 2 && code <= 9) {
      std::size_t length = code - 1;
      if (Fits(ByteSpan(shortData), shortPosition, length)) {
        value = CopyBytes(ByteSpan(shortData), shortPosition, length);
        shortPosition += length;
      }
    } else if (code == 10) {
      if (longIndex < anchor->varValues.size()) value = anchor->varValues[longIndex].bytes;
      ++longIndex;
    } else if (code == 12) {
      ++shortPosition;  // a symbol byte takes its place in the short data region
    }
    anchorValues.push_back(std::move(value));
  }
}

}  // namespace quillmark
