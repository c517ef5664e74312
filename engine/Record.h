// A record: the bytes a slot points at, split into its parts.
//
// Status byte A (byte 0):
//   bit 0     compressed (column-descriptor) record
//   bits 1-3  record type: 0 primary, 1 forwarded, 2 forwarding stub, 3 index,
//             6 ghost data (deleted)
//   bit 4     a null bitmap is present
//   bit 5     variable-length columns are present
//
// Ordinary record:
//   0  1   status byte A
//   1  1   status byte B (not used)
//   2  2   fixedEnd: end of the fixed-length data
//   4  ..  fixed-length column data, up to fixedEnd
//   fixedEnd        2   column count (signed)
//   fixedEnd+2      (count+7)/8  null bitmap, LSB first, when bit 4 is set
//   next            2   variable-length column count
//   next            2 each  end offsets from the record start; bit 15 = complex column
//   next            ..  the variable-length values
//
// Forwarding stub (type 2): status byte A, then a row pointer
//   1  4  page number    5  2  file id    7  2  slot
//
// Compressed record:
//   0      1   status byte A (bit 0 set)
//   1      1|2 column count; with bit 7 of byte 1 set: ((byte1 & 0x7F) << 8) | byte2
//   next   (count+1)/2  one 4-bit descriptor code per column, low nibble first
//   next   (count-1)/30 cluster bytes, skipped
//   next   ..  short data region: codes 2-9 take code-1 bytes, code 12 one byte
//   next   (count+7)/8  null bitmap, when bit 4 is set
//   long data region, when bit 5 is set: a header byte; when its bit 0 is set a
//   16-bit count n and n 16-bit end offsets (bit 15 = complex) counted from the
//   first long value; (count-1)/30 cluster bytes; the long values.
//
// Sparse column vector (a complex value whose first byte is 5):
//   0  2  id 5      2  2  entry count a
//   4  2a column ids      4+2a  2a  end offsets      4+4a  the values
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Bytes.h"

namespace quillmark {

class CPage_Header;
class DatabaseFile;

// The page a record was read from.
struct PageContext {
  const CPage_Header* header = nullptr;
  DatabaseFile* file = nullptr;
  const std::uint8_t* pageBytes = nullptr;
};

enum RecordType : int {
  kPrimaryRecord = 0,
  kForwardedRecord = 1,
  kForwardingStub = 2,
  kIndexRecord = 3,
  kBlobFragment = 4,
  kGhostDataRecord = 6,
};

inline constexpr std::int32_t kUnreadableStubTarget = -5;
inline constexpr int kMaxColumns = 1024;

struct VarValue {
  ByteVector bytes;  // empty when the value's bytes could not be taken
  bool complex = false;
  std::int32_t Length() const { return static_cast<std::int32_t>(bytes.size()); }
};

struct SparseEntry {
  std::uint16_t columnId = 0;
  ByteVector bytes;
};

struct SparseVector {
  std::int32_t count = 0;
  std::vector<SparseEntry> entries;
};

struct LongOffset {
  std::int32_t end = 0;
  bool complex = false;
};

// A column of a compressed record after its values were rebuilt: where its
// bytes lie in the rebuilt fixed data, or that it is NULL or a long value.
struct ColumnValue {
  std::uint8_t isNull = 0;
  std::int32_t length = 0;
  std::int32_t offset = 0;
};

class CRecord {
 public:
  virtual ~CRecord() = default;

  std::vector<std::uint16_t> varEndOffsets;  // complex bit removed; only those read
  int recordType = 0;
  bool hasNullBitmap = false;
  bool compressed = false;
  bool invalid = false;
  bool hasVarColumns = false;
  bool hiddenGhost = false;
  ByteVector fixedData;  // empty: none
  std::int16_t columnCount = 0;
  ByteVector nullBitmap;  // empty: none
  std::int16_t varCount = 0;
  std::vector<VarValue> varValues;
  ByteVector recordCopy;  // the record up to recordEnd; empty: none
  std::unique_ptr<SparseVector> sparseVector;
  PageContext page;
  std::int32_t recordEnd = 0;
  std::int32_t lengthLimit = 0;
  std::vector<LongOffset> longOffsets;
  std::vector<ColumnValue> columnValues;
  std::int32_t fixedLength = 0;
  std::vector<std::uint32_t> descriptorCodes;
  // Where the record starts on its page; -1 when its bytes came from elsewhere
  // (the target of a forwarding stub) or the page position is not known.
  std::int32_t pageOffset = -1;

 protected:
  // Reads status byte A into the flags; false when the record type is not one
  // the engine reads.
  bool DecodeStatus(std::uint8_t statusA);
};

class CPrimaryRecord : public CRecord {
 public:
  enum class Mode {
    kFollowStubs,  // a record of a page's slot array
    kStubTarget,   // the target of a forwarding stub: another stub is not followed
    kAnchor,       // the anchor record of a compressed page: always the compressed format
  };

  // `bytes` runs from the record's first byte to the end of what may be read (the
  // length limit): for a slot of a page, the rest of the page.
  CPrimaryRecord(ByteSpan bytes, const PageContext& page, Mode mode = Mode::kFollowStubs);

  struct ProbeResult {
    std::int32_t length = -1;
    std::unique_ptr<CPrimaryRecord> record;  // parsed, its copied values released
  };
  // The total length of an ordinary record at the start of `bytes`, or -1 when
  // there is none (compressed records and forwarding stubs included). At most
  // 8060 bytes of `bytes` are read. Used by the deleted-record scan.
  static ProbeResult Probe(ByteSpan bytes, const PageContext& page);

  bool followedStub = false;  // the record was read through a forwarding stub

 private:
  struct ProbeTag {};
  CPrimaryRecord(ByteSpan bytes, const PageContext& page, ProbeTag);

  bool PassesPageChecks() const;
  void ParseOrdinary(ByteSpan bytes, bool probing = false);
  void ParseVariablePart(ByteSpan bytes, std::int32_t& position);
  void ParseCompressed(ByteSpan bytes);
  void ParseLongDataRegion(ByteSpan bytes, std::int32_t& position);
  void FollowStub(ByteSpan bytes);
};

// Parses a sparse column vector; null when the value is not one.
std::unique_ptr<SparseVector> ParseSparseVector(ByteSpan value);

}  // namespace quillmark
