// Rewrites of a whole database file (built or real, its pages from byte 0) into
// the shapes a hostile file or a badly broken disk can take, each one a page
// whose slot array claims many slots that all point at one record. Each rewrite
// takes free pages (all-zero headers) or appends pages when there are too few,
// and says what it changed; nothing is rewritten when the file lacks what the
// shape needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "builder/FixtureBuilder.h"

namespace quillmark::testing {

// The most slots a page can claim and still be believed.
inline constexpr std::uint16_t kMostSlots = 3999;

struct ShapeChange {
  std::vector<std::int32_t> pages;  // the pages written (free or appended)
  std::size_t pointersRewritten = 0;  // text pointers or in-row links led elsewhere
  std::size_t slotsClaimed = 0;       // slots of the crafted pages
};

// A text page whose `slots` slots all point at one data fragment of about 8 KB,
// a text page holding a large root of `links` links to slots of that page, and
// every text pointer of the data pages leading to that root (the links of
// every in-row root lead to slots of the shared page).
ShapeChange ShapeSharedFragment(Bytes& file, std::uint16_t links = 660, std::uint16_t slots = kMostSlots);

// The first data page (of a user table when `objectId` is 0, else of that
// object) holding a row with a large value: its slot array now claims as many
// slots as fit below that row, all pointing at it.
ShapeChange ShapeSharedRow(Bytes& file, std::int32_t objectId = 0);

// `pages` free pages rewritten as pages of the object table (34; 1 in a file
// without rows of 34), each with up to 3999 slots at one copy of an object row.
ShapeChange ShapeSharedObjectRow(Bytes& file, std::size_t pages = 10);

// A text page packed with overlapping data fragments of about 7 KB each, one
// starting every 8 bytes (`fragments` of them), a text page of large roots
// that link to all of them, and every text pointer of the data pages leading
// to one root: each value is several MB, and a page of rows many times that.
ShapeChange ShapeOverlappingFragments(Bytes& file, std::uint16_t fragments = 600);

}  // namespace quillmark::testing
