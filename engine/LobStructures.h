// The fragment structures of a large value. Offsets count from the blob id, the
// first byte of a TextRecord's fixed data:
//   0   8  blob id
//   8   2  fragment type
//   10  .. body; a body shorter than 10 bytes holds nothing that is read,
//          except in a data fragment, whose body is its data
//
// type 0     SmallRoot       10 2 data length n (1 ... 8192)   16 n data
// type 2     Internal        10 2 (kept)   12 2 link count   14 2 (kept)
//                            16 .. links of 16 bytes: 0 8 offset, 8 4 page number,
//                                  12 2 file id, 14 2 slot
// type 3     LobSData        10 .. data, the whole body
// type 4-6   LargeRootYukon  10 2 (kept)   12 2 link count   14 2 (kept)   16 4 (kept)
//                            20 .. links of 12 bytes: 0 4 size, 4 4 page number,
//                                  8 2 file id, 10 2 slot
//
// Only what lies wholly inside the fragment is taken, whatever a length or count
// claims.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Bytes.h"
#include "engine/PageId.h"

namespace quillmark {

class LargeValueReader;
struct LobFlags;

struct LobLink {
  RowId row;
  std::int64_t size = 0;  // the offset (Internal) or size (LargeRootYukon) stored with the link
};

class LobStructureBase {
 public:
  explicit LobStructureBase(ByteSpan fragment);
  virtual ~LobStructureBase() = default;
  // Adds this fragment's share of the value: its data, or the values of the
  // fragments it links to, in order.
  virtual void AppendTo(LargeValueReader& reader) const = 0;

  std::uint64_t blobId = 0;
};

class SmallRoot final : public LobStructureBase {
 public:
  explicit SmallRoot(ByteSpan fragment);
  void AppendTo(LargeValueReader& reader) const override;
  std::u16string Text(LobFlags flags) const;

  ByteVector data;  // at most n bytes, and no more than the fragment holds
};

class LobSData final : public LobStructureBase {
 public:
  explicit LobSData(ByteSpan fragment);
  void AppendTo(LargeValueReader& reader) const override;
  std::u16string Text(LobFlags flags) const;

  ByteSpan data;  // inside the fragment passed to the constructor
};

class Internal final : public LobStructureBase {
 public:
  explicit Internal(ByteSpan fragment);
  void AppendTo(LargeValueReader& reader) const override;

  std::vector<LobLink> links;
};

class LargeRootYukon final : public LobStructureBase {
 public:
  explicit LargeRootYukon(ByteSpan fragment);
  void AppendTo(LargeValueReader& reader) const override;

  std::vector<LobLink> links;
};

// The structure of a fragment whose body is `bodyLength` bytes; null when the
// type is not one that is read (1, 7 and above) or, for any type but data, the
// body is shorter than 10 bytes.
std::unique_ptr<LobStructureBase> ParseFragment(ByteSpan fragment, std::int32_t bodyLength);

}  // namespace quillmark
