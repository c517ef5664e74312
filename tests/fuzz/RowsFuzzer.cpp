// The compressed-record rebuild and the row decoder over one page with given
// column layouts: the fuzzer's bytes are a switch byte, the layouts (see
// ReadLayouts) and then page 1 of a file, its records rebuilt with the layouts
// as a listing rebuilds them and decoded by both decoders.
#include <cstddef>
#include <cstdint>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/RecordPage.h"
#include "tests/fuzz/FuzzFile.h"
#include "values/CompressedValues.h"
#include "values/RowDecoder.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile memory;
  if (size < 2) return 0;
  const std::uint8_t switches = data[0];
  std::size_t used = 0;
  std::vector<ColumnLayout> layouts = fuzz::ReadLayouts(data + 1, size - 1, used);
  const std::uint8_t* pageBytes = data + 1 + used;
  const std::size_t pageSize = size - 1 - used;
  std::vector<std::uint8_t> bytes(3 * kPageSize, 0);
  std::copy(pageBytes, pageBytes + std::min(pageSize, 2 * kPageSize), bytes.begin() + kPageSize);

  ResetSettings();
  Settings().isSql2000 = switches & 1;
  Settings().showDeletedRecords = (switches >> 1) & 1;
  Settings().listingActive = (switches >> 2) & 1;
  const DecodeVariant variant = switches & 8 ? DecodeVariant::kCatalog : DecodeVariant::kListing;
  auto file = DatabaseFile::Open(memory.Hold(bytes.data(), bytes.size()), 0, nullptr);
  CompressedValueRebuilder rebuilder(layouts);
  Settings().listingContext = &rebuilder;
  if (auto page = file->ReadDataPage(PageId{1, 1})) {
    std::vector<ColumnLayout> current = layouts;
    std::vector<ColumnLayout> legacy = layouts;
    bool cut = false;
    for (const DecodedRow& row : DecodeCurrentFormat(*page, current, variant, &cut))
      if (row.size() != layouts.size()) __builtin_trap();
    for (const DecodedRow& row : DecodeLegacyFormat(*page, legacy, variant, &cut))
      if (row.size() != layouts.size()) __builtin_trap();
  }
  ResetSettings();
  return 0;
}
