#include "engine/PagePass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "engine/AppSettings.h"
#include "engine/Bytes.h"
#include "engine/DatabaseFile.h"
#include "engine/PageId.h"

namespace quillmark {
namespace {

constexpr std::size_t kPagesPerRead = 128;  // 1 MiB per read

std::int32_t StoredPageNumber(const std::uint8_t* page) {
  return ReadLeOr<std::int32_t>(ByteSpan(page, kPageHeaderSize), 32);
}

// Reads pages from `from` to the end of the file and reports whether one of
// them carries its own position as its page number.
bool FindSelfNumberedPage(const platform::ReadOnlyFile& file, std::uint64_t pageCount, std::uint64_t base,
                          std::uint64_t from, bool pollStop, platform::MessageTarget* target) {
  const std::uint64_t step = ProgressStep(pageCount);
  bool found = false;
  ScanPages(file, base, from, pageCount, [&](std::uint64_t position, const std::uint8_t* page) {
    if (pollStop && StopRequested()) return false;
    if (static_cast<std::int64_t>(StoredPageNumber(page)) == static_cast<std::int64_t>(position)) {
      found = true;
      return false;
    }
    if (position % step == 0) platform::Send(target, platform::WM_APP_PROGRESS_POS, position, 0);
    return true;
  });
  return found;
}

}  // namespace

bool ScanPages(const platform::ReadOnlyFile& file, std::uint64_t base, std::uint64_t from, std::uint64_t to,
               const std::function<bool(std::uint64_t position, const std::uint8_t* page)>& visit) {
  // The kernel copies into a page-aligned buffer at full speed; a large buffer
  // from the heap starts 16 bytes past a page boundary and halves the pass.
  struct AlignedChunk {
    alignas(4096) std::uint8_t bytes[kPagesPerRead * kPageSize];
  };
  std::unique_ptr<AlignedChunk> owner(new (std::nothrow) AlignedChunk);
  if (!owner) return false;
  std::uint8_t* chunk = owner->bytes;
  for (std::uint64_t first = from; first <= to; first += kPagesPerRead) {
    std::uint64_t pages = std::min<std::uint64_t>(kPagesPerRead, to - first + 1);
    std::size_t wanted = static_cast<std::size_t>(pages) * kPageSize;
    std::size_t got = file.ReadAt(base + first * kPageSize, chunk, wanted);
    std::memset(chunk + got, 0, wanted - got);
    for (std::uint64_t i = 0; i < pages; ++i)
      if (!visit(first + i, chunk + i * kPageSize)) return true;
  }
  return true;
}

std::uint64_t ProgressStep(std::uint64_t pageCount) {
  return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(static_cast<double>(pageCount) / 100.0)));
}

bool CheckFileAlignment(const platform::ReadOnlyFile& file, std::uint64_t pageCount, std::uint64_t remainder,
                        platform::MessageTarget* target) {
  using platform::Send;
  const std::uint64_t start = pageCount > 8 ? 8 : pageCount / 4;
  platform::SendText(target, platform::WM_APP_PANEL_TEXT, kCheckingCorruption);
  Send(target, platform::WM_APP_PROGRESS_RANGE, 0, static_cast<platform::LParam>(pageCount & 0xFFFFFFFFu));
  Send(target, platform::WM_APP_PROGRESS_POS, 0, 0);

  bool keepRemainder = true;
  // Pages that number themselves from offset 0 put the extra bytes at the end;
  // that second probe reads to the end without a stop check.
  if (!FindSelfNumberedPage(file, pageCount, remainder, start, true, target) && remainder != 0 && pageCount > 8 &&
      FindSelfNumberedPage(file, pageCount, 0, 8, false, target))
    keepRemainder = false;
  Send(target, platform::WM_APP_PROGRESS_POS, static_cast<platform::WParam>(pageCount), 0);
  platform::SendText(target, platform::WM_APP_PANEL_TEXT, kCheckingCorruptionDone);
  return keepRemainder;
}

}  // namespace quillmark
