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
// file can claim: a record is read at most once per value whichever slot leads
// to it, links go at most 16 deep, a value follows a bounded number of links
// and stops growing at 64 MiB. Following a link builds the linked record alone
// (links to the page read last take it from the reader's copy), so one value
// reads at most kMaxValueLinks pages and copies at most that many records of
// at most 8 KB: about twice the value cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/Bytes.h"
#include "engine/PageBuffer.h"
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

// How deep links may lead below a value's root: real trees are a few levels
// deep, and a damaged one must not recurse without end.
inline constexpr int kMaxLinkDepth = 16;
// The most bytes one value keeps (text, two a code unit, or data bytes): a
// value claiming more is cut, so one cell never takes more memory than this.
inline constexpr std::size_t kMaxValueBytes = std::size_t{64} << 20;
// The most links one value follows (and records it remembers as read): enough
// for a value of kMaxValueBytes in fragments of 4 KB, so real values are
// whole, while links that bring nothing (to empty, repeated or
// internal-only records) cannot make one value read the file over and over.
inline constexpr std::size_t kMaxValueLinks = kMaxValueBytes / 4096;

// The work one value took.
struct LobWork {
  std::size_t linksFollowed = 0;  // records looked up
  std::size_t pagesRead = 0;      // pages read from the file for them
  std::size_t bytesCopied = 0;    // fragment bytes copied out of those pages
};

class LargeValueReader {
 public:
  // `chunks` switches on collect mode: data bytes go there and the text stays empty.
  LargeValueReader(DatabaseFile* file, LobFlags flags, LobChunks* chunks = nullptr);

  // Reads the fragment of the linked record and adds its share of the value. A
  // record already read for this value (through any slot pointing at it), a
  // link deeper than kMaxLinkDepth or beyond kMaxValueLinks, a missing page,
  // slot or fragment contribute nothing.
  void FollowLink(RowId row);
  // Adds the share of one fragment (the fixed data of a TextRecord, from the blob
  // id on) whose body is `bodyLength` bytes.
  void ReadFragment(ByteSpan fragment, std::int32_t bodyLength);

  void AppendText(std::u16string_view text);
  void AppendBytes(ByteSpan bytes);
  bool Collecting() const { return chunks_ != nullptr; }
  bool Full() const { return size_ >= kMaxValueBytes; }
  LobFlags Flags() const { return flags_; }
  const LobWork& Work() const { return work_; }
  std::u16string TakeText() { return std::move(text_); }

 private:
  DatabaseFile* file_;
  LobFlags flags_;
  LobChunks* chunks_;
  // The bytes of the linked page: from the reader's copy of the page read last.
  PageBuffer LinkedPage(PageId page);

  std::set<std::tuple<std::uint16_t, std::int32_t, std::int32_t>> visited_;  // file, page, record offset
  LobWork work_;
  PageId lastPage_;
  PageBuffer lastBytes_;
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
