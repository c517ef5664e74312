// Row- and page-compressed records: the column-descriptor (CD) format.
//
// A CD record keeps one 4-bit code per column, in physical order: 0 NULL, 1 the
// type's zero or empty value (on a page-compressed page, for a column with an
// anchor: the anchor value itself), 2-9 a short value of code - 1 bytes in the
// short data region, 10 a long value in the long data region, 11 a bit column
// holding 1, 12 a symbol of the page's dictionary (one byte in the short data
// region).
//
// Each type keeps a shortened stored form: integers (money, smallmoney and
// datetime as integers of their stored bytes) big-endian in the fewest bytes
// with a bias of 2^(8n-1); decimals as vardecimal; float, real and
// smalldatetime without their low-order zero bytes; char without trailing
// blanks, binary without trailing zeros, timestamp without leading zeros;
// nchar and nvarchar values as SCSU when that is shorter, padded to an odd
// length (an even length is plain UTF-16LE). The other types keep their bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "builder/RecordLayout.h"

namespace quillmark::testing {

struct CompressedValue {
  std::uint8_t code = 0;
  Bytes bytes;           // the short or long value; for code 12 the symbol
  bool complex = false;  // a long value that points elsewhere (a text pointer, an in-row root)
};

// The row-compressed form of one value of a column of `type`.
CompressedValue CompressValue(const ColumnType& type, const Cell& cell);

// The record of one row's values, in physical order; type 0, or 6 for a ghost.
Bytes CompressedRowRecord(const std::vector<CompressedValue>& values, int recordType);

// The rows of one page-compressed page after column-prefix and dictionary
// compression, and the compression information that starts the page: flags,
// a 16-bit modification count, the end of the anchor record (with a
// dictionary also the end of the dictionary, the total size), the anchor
// record, then the dictionary: entry count, end offsets from its start, the
// entries. No compression information: nothing on the page is shared.
struct CompressedPage {
  Bytes compressionInfo;
  std::vector<std::vector<CompressedValue>> rows;
};
CompressedPage CompressPage(const std::vector<std::vector<CompressedValue>>& rows, const std::vector<ColumnType>& types);

// UTF-16LE text in SQL Server's Unicode compression: SCSU bytes of odd length
// when they are shorter, the text itself otherwise.
Bytes UnicodeCompressed(const Bytes& utf16);

}  // namespace quillmark::testing
