// What the fuzz targets share: the fuzzer's bytes as a database file held in
// memory (a memfd opened by its /proc path, so the program reads it as it reads
// any file), and column layouts read from the fuzzer's bytes.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"
#include "engine/PageId.h"

namespace quillmark::fuzz {

// Pages land at the position their header names when it lies below this, so
// that the links of real pages cut into a seed still meet their targets; the
// file stays small enough to be mapped on every run.
inline constexpr std::int32_t kMostPlacedPages = 512;
// The most pages one input is cut into.
inline constexpr std::size_t kMostInputPages = 48;

class MemoryFile {
 public:
  MemoryFile() : descriptor_(memfd_create("quillmark-fuzz", 0)) {}
  ~MemoryFile() { close(descriptor_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  std::string Path() const { return "/proc/self/fd/" + std::to_string(descriptor_); }

  // The bytes as they are, from offset 0.
  std::string Hold(const std::uint8_t* data, std::size_t size) {
    Clear(0);
    Write(data, size, 0);
    return Path();
  }

  // The bytes cut into 8 KB pages (the last one zero-filled), each written at
  // the position its header's page number names (offset 32) when that lies in
  // 1 ... kMostPlacedPages - 1 and is still free, else at the next free
  // position; at least two pages long. Returns the path.
  std::string HoldPages(const std::uint8_t* data, std::size_t size) {
    Clear(2 * kPageSize);
    std::set<std::int32_t> taken;
    std::int32_t next = 1;
    for (std::size_t at = 0, n = 0; at < size && n < kMostInputPages; at += kPageSize, ++n) {
      std::vector<std::uint8_t> page(kPageSize, 0);
      std::copy(data + at, data + std::min(size, at + kPageSize), page.begin());
      std::int32_t position = static_cast<std::int32_t>(page[32] | page[33] << 8 | page[34] << 16 |
                                                        static_cast<std::uint32_t>(page[35]) << 24);
      const bool fileHeader = position == 0 && !taken.count(0);  // page 0 calls itself 0
      if (!fileHeader && (position < 1 || position >= kMostPlacedPages || taken.count(position))) {
        while (taken.count(next)) ++next;
        position = next;
      }
      taken.insert(position);
      Write(page.data(), page.size(), static_cast<std::uint64_t>(position) * kPageSize);
    }
    return Path();
  }

 private:
  void Clear(std::uint64_t length) {
    if (ftruncate(descriptor_, 0) != 0 || ftruncate(descriptor_, static_cast<off_t>(length)) != 0) return;
  }
  void Write(const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    if (size > 0 && pwrite(descriptor_, data, size, static_cast<off_t>(offset)) < 0) return;
  }

  int descriptor_;
};

// Column layouts from the fuzzer's bytes, 12 bytes a column after a count
// byte: type code, length (2), leaf offset (2), legacy offset (2), null bit,
// physical column id, flags (nullable 1, variable 2, sparse 4, has layout 8),
// precision, then the scale in the low 4 bits and 16 for a column without
// storage (physical id -99). `used` is set to the bytes read.
inline constexpr std::size_t kLayoutBytes = 12;
inline constexpr std::size_t kMostLayouts = 24;

inline std::vector<ColumnLayout> ReadLayouts(const std::uint8_t* data, std::size_t size, std::size_t& used) {
  std::vector<ColumnLayout> layouts;
  used = 0;
  if (size == 0) return layouts;
  const std::size_t count = std::min<std::size_t>(data[0] % (kMostLayouts + 1), (size - 1) / kLayoutBytes);
  used = 1 + count * kLayoutBytes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* at = data + 1 + i * kLayoutBytes;
    auto i16 = [&](int k) { return static_cast<std::int16_t>(at[k] | at[k + 1] << 8); };
    ColumnLayout layout;
    layout.columnId = static_cast<std::int32_t>(i + 1);
    layout.name = u"c" + std::u16string(1, static_cast<char16_t>(u'a' + i));
    layout.typeCode = at[0] % 35;
    layout.length = i16(1);
    // The declared length the formatter reads from the type's text.
    const std::string declared = "t(" + std::to_string(layout.length) + ")";
    layout.typeText = std::u16string(declared.begin(), declared.end());
    layout.leafOffset = i16(3);
    layout.legacyOffset = i16(5);
    layout.nullBit = at[7];
    layout.physicalColumnId = at[11] & 16 ? -99 : at[8];
    layout.nullable = at[9] & 1;
    layout.variableFlag = (at[9] >> 1) & 1;
    layout.sparseFlag = (at[9] >> 2) & 1;
    layout.hasLayout = (at[9] >> 3) & 1;
    layout.precision = at[10] % 39;
    layout.scale = static_cast<std::uint8_t>((at[11] & 15) % (layout.precision + 1));
    layouts.push_back(std::move(layout));
  }
  return layouts;
}

// The inverse, for the seeds.
inline std::vector<std::uint8_t> WriteLayouts(const std::vector<ColumnLayout>& layouts) {
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(std::min(layouts.size(), kMostLayouts))};
  for (std::size_t i = 0; i < layouts.size() && i < kMostLayouts; ++i) {
    const ColumnLayout& l = layouts[i];
    auto put16 = [&](std::int32_t v) {
      bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    bytes.push_back(static_cast<std::uint8_t>(l.typeCode));
    put16(l.length);
    put16(l.leafOffset);
    put16(l.legacyOffset);
    bytes.push_back(static_cast<std::uint8_t>(l.nullBit));
    bytes.push_back(static_cast<std::uint8_t>(l.physicalColumnId));
    bytes.push_back(static_cast<std::uint8_t>(l.nullable | l.variableFlag << 1 | l.sparseFlag << 2 | l.hasLayout << 3));
    bytes.push_back(l.precision);
    bytes.push_back(static_cast<std::uint8_t>((l.scale & 15) | (l.physicalColumnId == -99 ? 16 : 0)));
  }
  return bytes;
}

}  // namespace quillmark::fuzz
