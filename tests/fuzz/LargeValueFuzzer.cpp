// The large-value reader over a small set of pages: the fuzzer's bytes are
// pages placed where their headers say; every slot of every page is read as
// the root of a value in each of the reader's modes, and the complex values of
// the data pages' records through the entry points row decoding uses.
#include <cstddef>
#include <cstdint>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/LargeObjects.h"
#include "engine/RecordPage.h"
#include "engine/TextMixPage.h"
#include "tests/fuzz/FuzzFile.h"

using namespace quillmark;

namespace {

// Values read per input: enough for every slot of a few real text pages.
constexpr std::size_t kMostRoots = 96;
constexpr LobFlags kModes[] = {{}, {.binary = true}, {.unicode = true}, {.variant = true}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::MemoryFile memory;
  ResetSettings();
  auto file = DatabaseFile::Open(memory.HoldPages(data, size), 0, nullptr);
  std::size_t roots = 0;
  for (std::int32_t number = 1; number < fuzz::kMostPlacedPages && roots < kMostRoots; ++number) {
    const PageId page{1, number};
    auto header = file->ReadPageHeader(page);
    if (!header || header->slotCount <= 0) continue;
    if (header->pageType == 1) {
      auto dataPage = file->ReadDataPage(page);
      if (!dataPage) continue;
      const PageContext context = dataPage->Context();
      for (const auto& record : dataPage->records) {
        if (!record) continue;
        for (const VarValue& value : record->varValues) {
          if (!value.complex || value.bytes.empty() || roots++ >= kMostRoots) continue;
          const LobFlags flags = kModes[roots % 4];
          if (value.bytes.size() == 16) ReadTextPointer(value.bytes, context, flags);
          LobChunks chunks;
          ReadInRowRoot(value.bytes, context, flags, roots % 2 ? &chunks : nullptr);
        }
      }
      continue;
    }
    for (std::int32_t slot = 0; slot < header->slotCount && roots < kMostRoots; ++slot, ++roots) {
      LobChunks chunks;
      LargeValueReader reader(file.get(), kModes[roots % 4], roots % 3 == 0 ? &chunks : nullptr);
      reader.FollowLink(RowId{page, static_cast<std::uint16_t>(slot)});
      if (reader.Work().linksFollowed > kMaxValueLinks) __builtin_trap();
    }
  }
  ResetSettings();
  return 0;
}
