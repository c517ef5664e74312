#include "builder/LargeValues.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::testing {
namespace {

enum FragmentType : std::uint16_t { kSmallRoot = 0, kInternal = 2, kData = 3, kLargeRoot = 5 };
enum InRowRootType : std::uint8_t { kRowOverflowRoot = 2, kLargeValueRoot = 4 };

constexpr std::size_t kRootRecordLength = 84;  // small and large roots take at least this much
constexpr std::size_t kMostDataBytes = 8040;
constexpr std::size_t kMostSmallRootBytes = 8000;
constexpr std::uint16_t kInternalFanOut = 2;

// Links as a large root or an in-row root keeps them: a 4-byte end offset, the row id.
Bytes ShortLinks(const std::vector<std::uint64_t>& ends, const std::vector<RowId>& rows) {
  Bytes bytes;
  for (std::size_t i = 0; i < ends.size(); ++i)
    bytes = Concat({bytes, LittleEndian(ends[i], 4), RowPointer(rows[i])});
  return bytes;
}

}  // namespace

Bytes RowPointer(RowId row) {
  Bytes bytes(8, 0);
  PutPagePointer(bytes, 0, row.page.pageNumber, row.page.fileId);
  PutU16(bytes, 6, row.slot);
  return bytes;
}

bool StoredOffRow(const ColumnSpec& column) {
  return IsLargeObject(column.type) || column.storage != Storage::kDefault;
}

LargeValueWriter::Link LargeValueWriter::Add(std::uint16_t fragmentType, const Bytes& body, std::uint64_t end) {
  const std::size_t index = text_.records.size();
  Bytes record = Concat({Bytes{StatusA(4, false, false), 0, 0, 0}, LittleEndian(blobId_, 8),
                         LittleEndian(fragmentType, 2), body});
  if (fragmentType == kSmallRoot || fragmentType == kLargeRoot) record.resize(std::max(record.size(), kRootRecordLength), 0);
  PutU16(record, 2, static_cast<std::uint16_t>(record.size()));
  text_.records.push_back(UnitRecord{record});
  return Link{end, RowIdOf(index)};
}

std::vector<LargeValueWriter::Link> LargeValueWriter::DataFragments(const Bytes& data, std::int32_t fragmentLength) {
  if (fragmentLength <= 0 || static_cast<std::size_t>(fragmentLength) > kMostDataBytes)
    throw std::invalid_argument("a data fragment holds 1 to 8040 bytes");
  const auto step = static_cast<std::size_t>(fragmentLength);
  std::vector<Link> links;
  for (std::size_t start = 0; start < data.size(); start += step) {
    const std::size_t end = std::min(data.size(), start + step);
    links.push_back(Add(kData, Bytes(data.begin() + static_cast<std::ptrdiff_t>(start),
                                     data.begin() + static_cast<std::ptrdiff_t>(end)),
                        end));
  }
  return links;
}

std::vector<LargeValueWriter::Link> LargeValueWriter::InternalNodes(const std::vector<Link>& children,
                                                                    LinkDamage damage) {
  // Node k lands at record firstNode + k: the damaged links name those places.
  const std::size_t firstNode = text_.records.size();
  std::vector<Link> nodes;
  for (std::size_t first = 0; first < children.size(); first += kInternalFanOut) {
    const std::size_t count = std::min<std::size_t>(kInternalFanOut, children.size() - first);
    std::vector<Link> links(children.begin() + static_cast<std::ptrdiff_t>(first),
                            children.begin() + static_cast<std::ptrdiff_t>(first + count));
    if (nodes.empty() && damage == LinkDamage::kSelfLink) links.back().row = RowIdOf(firstNode);
    if (nodes.size() < 2 && damage == LinkDamage::kTwoNodeCycle)
      links.back().row = RowIdOf(firstNode + (nodes.empty() ? 1 : 0));
    Bytes body = Concat({LittleEndian(kInternalFanOut, 2), LittleEndian(count, 2), LittleEndian(0, 2)});
    for (const Link& link : links) body = Concat({body, LittleEndian(link.end, 8), RowPointer(link.row)});
    nodes.push_back(Add(kInternal, body, links.back().end));
  }
  return nodes;
}

std::vector<LargeValueWriter::Link> LargeValueWriter::Children(const ColumnSpec& column, const Bytes& data) {
  switch (column.storage) {
    case Storage::kDefault:
    case Storage::kSmallRoot: {
      if (data.size() > kMostSmallRootBytes) throw std::invalid_argument("a small root holds at most 8000 bytes");
      const Bytes body = Concat({LittleEndian(data.size(), 2), Bytes(4, 0), data});
      return {Add(kSmallRoot, body, data.size())};
    }
    case Storage::kDataFragments:
      return DataFragments(data, column.fragmentLength);
    case Storage::kInternalNodes:
      return InternalNodes(DataFragments(data, column.fragmentLength), column.damage);
    case Storage::kRowOverflow:
      if (data.size() > kMostDataBytes) throw std::invalid_argument("a row-overflow value holds at most 8040 bytes");
      return DataFragments(data, static_cast<std::int32_t>(kMostDataBytes));
  }
  return {};
}

Bytes LargeValueWriter::Store(const ColumnSpec& column, const ColumnType& type, const Bytes& data) {
  blobId_ = nextValue_++ << 16;
  const std::vector<Link> children = Children(column, data);
  std::vector<std::uint64_t> ends;
  std::vector<RowId> rows;
  for (const Link& child : children) {
    ends.push_back(child.end);
    rows.push_back(child.row);
  }
  const std::uint16_t level = column.storage == Storage::kInternalNodes ? 1 : 0;
  if (IsLargeObject(type.id)) {
    // A text pointer leads to one root: the small root itself, or a large root over the children.
    const bool smallRoot = column.storage == Storage::kDefault || column.storage == Storage::kSmallRoot;
    Link root = children.front();
    if (!smallRoot) {
      const auto count = static_cast<std::uint16_t>(children.size());
      root = Add(kLargeRoot, Concat({LittleEndian(count, 2), LittleEndian(count, 2), LittleEndian(level, 2), Bytes(4, 0),
                                     ShortLinks(ends, rows)}),
                 data.size());
    }
    return Concat({LittleEndian(blobId_, 8), RowPointer(root.row)});
  }
  const std::uint8_t rootType = column.storage == Storage::kRowOverflow ? kRowOverflowRoot : kLargeValueRoot;
  return Concat({Bytes{rootType, static_cast<std::uint8_t>(level), 0, 0}, LittleEndian(1, 4),
                 LittleEndian(blobId_ >> 16, 4), ShortLinks(ends, rows)});
}

}  // namespace quillmark::testing
