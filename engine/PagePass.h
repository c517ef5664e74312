// One sequential pass over the pages of a data file, and the alignment check
// that finds where page 0 starts. Used for the primary file and for secondary
// files alike.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Messages.h"
#include "platform/ReadOnlyFile.h"

namespace quillmark {

// Visits the pages at positions from ... to (inclusive), counted from `base`,
// reading large chunks front to back; bytes past the end of the file read as
// zero. `visit(position, pageBytes)` returns false to end the pass. False when
// the read buffer cannot be had.
bool ScanPages(const platform::ReadOnlyFile& file, std::uint64_t base, std::uint64_t from, std::uint64_t to,
               const std::function<bool(std::uint64_t position, const std::uint8_t* page)>& visit);

// Progress is reported about every hundredth of a file.
std::uint64_t ProgressStep(std::uint64_t pageCount);

// Decides whether page 0 of a file starts at `remainder` (the bytes of its length
// beyond whole pages) or at 0, by looking for pages that carry their own page
// number. True keeps the remainder; false means page 0 is at offset 0. Reports
// its progress and texts to `target`.
bool CheckFileAlignment(const platform::ReadOnlyFile& file, std::uint64_t pageCount, std::uint64_t remainder,
                        platform::MessageTarget* target);

}  // namespace quillmark
