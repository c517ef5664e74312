// Large values (text, ntext, image, the max types and variable-length values
// that overflowed their row) live outside their data record, as a tree of
// fragments in the records of text pages (engine/TextMixPage.h). The data record
// keeps a pointer in a complex variable-length column, one of:
//
// text pointer (text, ntext, image): exactly 16 bytes, first byte 0
//   0  8  (not read)
//   8  4  page number     12  2  file id     14  2  slot
// in-row root: first byte 2 (row overflow) or 4 (max types)
//   0   12  header
//   12  ..  links of 12 bytes up to the end of the value:
//           0 4 size (signed)   4 4 page number   8 2 file id   10 2 slot
//
// One value is read by one LargeValueReader: it follows the links, keeps the
// text (or, in collect mode, the data bytes) and guards against what a damaged
// file can claim: a link is followed at most once per value and at most 16 links
// deep, and a value stops growing at 64 MiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/Bytes.h"
#include "engine/PageId.h"
#include "engine/Record.h"

namespace quillmark {

class DatabaseFile;

// How a value's bytes become text, from its column's type.
struct LobFlags {
  bool binary = false;   // image, varbinary: two upper-case hex digits a byte
  bool variant = false;  // sql_variant: an 8-byte header precedes the value
  bool unicode = false;  // ntext, nvarchar: UTF-16LE
};

// The data bytes of a value in collect mode, one chunk per data fragment, in order.
using LobChunks = std::vector<ByteVector>;

inline constexpr int kMaxLinkDepth = 16;
inline constexpr std::size_t kMaxValueBytes = std::size_t{64} << 20;

class LargeValueReader {
 public:
  // `chunks` switches on collect mode: data bytes go there and the text stays empty.
  LargeValueReader(DatabaseFile* file, LobFlags flags, LobChunks* chunks = nullptr);

  // Reads the fragment of the linked record and adds its share of the value. A
  // link already followed for this value, one deeper than kMaxLinkDepth, a
  // missing page, slot or fragment contribute nothing.
  void FollowLink(RowId row);
  // Adds the share of one fragment (the fixed data of a TextRecord, from the blob
  // id on) whose body is `bodyLength` bytes.
  void ReadFragment(ByteSpan fragment, std::int32_t bodyLength);

  void AppendText(std::u16string_view text);
  void AppendBytes(ByteSpan bytes);
  bool Collecting() const { return chunks_ != nullptr; }
  bool Full() const { return size_ >= kMaxValueBytes; }
  LobFlags Flags() const { return flags_; }
  std::u16string TakeText() { return std::move(text_); }

 private:
  DatabaseFile* file_;
  LobFlags flags_;
  LobChunks* chunks_;
  std::set<std::tuple<std::uint16_t, std::int32_t, std::uint16_t>> visited_;  // file, page, slot
  int depth_ = 0;
  std::size_t size_ = 0;  // bytes of text (two a code unit) or of chunks
  std::u16string text_;
};

// The entry points of row decoding. `page` is the page the pointer was read
// from; its file is where the links lead.
//
// The text of the value a text pointer leads to; " " when it comes out empty.
std::u16string ReadTextPointer(ByteSpan pointer, const PageContext& page, LobFlags flags);
// The text of the value an in-row root links to; in collect mode (`chunks` given)
// its data bytes are appended to `chunks` and the text is empty. A link of size 0
// or less is skipped; a file id above 1000 stands for the primary file.
std::u16string ReadInRowRoot(ByteSpan root, const PageContext& page, LobFlags flags, LobChunks* chunks = nullptr);
// The text of one fragment and of the fragments it links to.
std::u16string ReadFragment(ByteSpan fragment, std::int32_t bodyLength, DatabaseFile* file, LobFlags flags,
                            LobChunks* chunks = nullptr);

}  // namespace quillmark
