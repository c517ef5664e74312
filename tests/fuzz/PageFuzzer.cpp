// A page and every record on it: the fuzzer's bytes are page 1 of a file (a
// second page may follow, for forwarding stubs to reach), read as a data page
// (with and without the deleted-record scan), a text page and an IAM page.
#include <cstddef>
#include <cstdint>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/IamPage.h"
#include "engine/RecordPage.h"
#include "engine/TextMixPage.h"
#include "tests/fuzz/FuzzFile.h"

using namespace quillmark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile memory;
  if (size < 1) return 0;
  // The first byte chooses the switches; the rest is page 1, then page 2.
  const std::uint8_t switches = data[0];
  std::vector<std::uint8_t> bytes(3 * kPageSize, 0);
  std::copy(data + 1, data + std::min(size, 1 + 2 * kPageSize), bytes.begin() + kPageSize);
  ResetSettings();
  Settings().showDeletedRecords = switches & 1;
  Settings().showAdvancedDeletedRecords = (switches >> 1) & 1;
  Settings().isSql2000 = (switches >> 2) & 1;
  auto file = DatabaseFile::Open(memory.Hold(bytes.data(), bytes.size()), 0, nullptr);
  const PageId page{1, 1};
  if (auto dataPage = file->ReadDataPage(page)) {
    std::size_t fields = 0;
    for (const auto& record : dataPage->records)
      if (record) fields += record->varValues.size() + record->fixedData.size();
    for (const auto& record : dataPage->scannedRecords)
      if (record) fields += record->varValues.size();
    if (fields == 1u << 31) return 1;
  }
  if (auto textPage = file->ReadTextPage(page)) {
    // The one-slot form a link reads.
    for (std::uint16_t slot = 0; slot < 8 && slot < textPage->records.size(); ++slot)
      TextMixPage(file->ReadTextPageBytes(page), file.get(), slot);
  }
  if (auto iam = file->ReadIamPage(page)) iam->AllocatedPages();
  ResetSettings();
  return 0;
}
