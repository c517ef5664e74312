// The catalog's row lookups: "the rows of list L whose field F is K", answered
// with the rows' positions in L, in list order, so that "the first row whose ...
// in list order" is the first position and "the last one wins" the last.
//
// `CatalogLookups` is the interface schema resolution asks; `IndexedLookups`
// answers from indexes built once per catalog (a lookup costs the logarithm of
// the list's length plus the rows found, instead of a walk of the whole list).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark {

class DatabaseCatalog;

// Positions of rows in one catalog list, in list order.
using RowPositions = std::span<const std::uint32_t>;

// Column rows belong to the table whose id equals theirs with bits 24 and 25
// cleared.
inline constexpr std::int32_t kColumnIdBits = ~((1 << 24) | (1 << 25));

// The 64-bit rowset id the first 8 bytes of an object-13 or object-4 row hold.
inline std::int64_t RowsetIdOf(std::int32_t low, std::int32_t high) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
                                   static_cast<std::uint32_t>(low));
}

// Two 32-bit keys as one.
inline std::int64_t PairKey(std::int32_t first, std::int32_t second) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(first)) << 32) |
                                   static_cast<std::uint32_t>(second));
}

inline std::uint64_t NameKey(std::u16string_view name) { return std::hash<std::u16string_view>{}(name); }

class CatalogLookups {
 public:
  virtual ~CatalogLookups() = default;
  // objects: candidates for `name` (every object of that name, and possibly
  // others: the caller compares the names), by id, by parent id.
  virtual RowPositions ObjectsNamed(const std::u16string& name) const = 0;
  virtual RowPositions ObjectsWithId(std::int32_t id) const = 0;
  virtual RowPositions ObjectsWithParent(std::int32_t parentId) const = 0;
  virtual RowPositions RowsetsOfObject(std::int32_t objectId) const = 0;
  virtual RowPositions IndexesOfObject(std::int32_t objectId) const = 0;
  virtual RowPositions AllocUnitsOwnedBy(std::int64_t ownerId) const = 0;
  virtual RowPositions AllocUnitsWithId(std::int64_t id) const = 0;
  // columns and legacy columns by object id with bits 24 and 25 cleared
  virtual RowPositions ColumnsOfTable(std::int32_t maskedObjectId) const = 0;
  virtual RowPositions LegacyColumnsOfTable(std::int32_t maskedObjectId) const = 0;
  virtual RowPositions RowsetColumnsOf(std::int64_t rowsetId) const = 0;
  virtual RowPositions Object13RowsOf(std::int64_t rowsetId) const = 0;
  virtual RowPositions Object4RowsOf(std::int64_t rowsetId) const = 0;
  virtual RowPositions IndexColumnsOf(std::int32_t objectId, std::int32_t indexId) const = 0;
  virtual RowPositions TypesWithId(std::int32_t id) const = 0;
  virtual RowPositions ForeignKeysOfTable(std::int32_t parentTableId) const = 0;
};

// The positions of a list's rows sorted by a key: the rows of one key stay in
// list order. Rebuilt by Update only when the list changed its storage or its
// length since the last build.
template <class Key>
class PositionIndex {
 public:
  template <class Row, class KeyOf>
  void Update(const std::vector<Row>& rows, KeyOf keyOf) {
    if (source_ == static_cast<const void*>(rows.data()) && length_ == rows.size()) return;
    std::vector<std::pair<Key, std::uint32_t>> entries;
    entries.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) entries.emplace_back(keyOf(rows[i]), static_cast<std::uint32_t>(i));
    // Pairs order by key, then by position: list order within a key.
    std::sort(entries.begin(), entries.end());
    keys_.resize(entries.size());
    positions_.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      keys_[i] = entries[i].first;
      positions_[i] = entries[i].second;
    }
    keys_.shrink_to_fit();
    positions_.shrink_to_fit();
    source_ = rows.data();
    length_ = rows.size();
  }

  RowPositions Find(Key key) const {
    const auto [first, last] = std::equal_range(keys_.begin(), keys_.end(), key);
    return RowPositions(positions_.data() + (first - keys_.begin()), static_cast<std::size_t>(last - first));
  }

  std::size_t Bytes() const { return keys_.capacity() * sizeof(Key) + positions_.capacity() * sizeof(std::uint32_t); }

 private:
  std::vector<Key> keys_;
  std::vector<std::uint32_t> positions_;
  const void* source_ = nullptr;
  std::size_t length_ = 0;
};

class IndexedLookups final : public CatalogLookups {
 public:
  // Brings every index up to date with its list (cheap when none changed).
  void Update(const DatabaseCatalog& catalog);
  std::size_t Bytes() const;

  RowPositions ObjectsNamed(const std::u16string& name) const override { return objectsByName_.Find(NameKey(name)); }
  RowPositions ObjectsWithId(std::int32_t id) const override { return objectsById_.Find(id); }
  RowPositions ObjectsWithParent(std::int32_t parentId) const override { return objectsByParent_.Find(parentId); }
  RowPositions RowsetsOfObject(std::int32_t objectId) const override { return rowsetsByObject_.Find(objectId); }
  RowPositions IndexesOfObject(std::int32_t objectId) const override { return indexesByObject_.Find(objectId); }
  RowPositions AllocUnitsOwnedBy(std::int64_t ownerId) const override { return unitsByOwner_.Find(ownerId); }
  RowPositions AllocUnitsWithId(std::int64_t id) const override { return unitsById_.Find(id); }
  RowPositions ColumnsOfTable(std::int32_t maskedObjectId) const override { return columnsByTable_.Find(maskedObjectId); }
  RowPositions LegacyColumnsOfTable(std::int32_t maskedObjectId) const override {
    return legacyColumnsByTable_.Find(maskedObjectId);
  }
  RowPositions RowsetColumnsOf(std::int64_t rowsetId) const override { return rowsetColumnsByRowset_.Find(rowsetId); }
  RowPositions Object13RowsOf(std::int64_t rowsetId) const override { return object13ByRowset_.Find(rowsetId); }
  RowPositions Object4RowsOf(std::int64_t rowsetId) const override { return object4ByRowset_.Find(rowsetId); }
  RowPositions IndexColumnsOf(std::int32_t objectId, std::int32_t indexId) const override {
    return indexColumnsByIndex_.Find(PairKey(objectId, indexId));
  }
  RowPositions TypesWithId(std::int32_t id) const override { return typesById_.Find(id); }
  RowPositions ForeignKeysOfTable(std::int32_t parentTableId) const override {
    return foreignKeysByTable_.Find(parentTableId);
  }

 private:
  PositionIndex<std::uint64_t> objectsByName_;
  PositionIndex<std::int32_t> objectsById_;
  PositionIndex<std::int32_t> objectsByParent_;
  PositionIndex<std::int32_t> rowsetsByObject_;
  PositionIndex<std::int32_t> indexesByObject_;
  PositionIndex<std::int64_t> unitsByOwner_;
  PositionIndex<std::int64_t> unitsById_;
  PositionIndex<std::int32_t> columnsByTable_;
  PositionIndex<std::int32_t> legacyColumnsByTable_;
  PositionIndex<std::int64_t> rowsetColumnsByRowset_;
  PositionIndex<std::int64_t> object13ByRowset_;
  PositionIndex<std::int64_t> object4ByRowset_;
  PositionIndex<std::int64_t> indexColumnsByIndex_;
  PositionIndex<std::int32_t> typesById_;
  PositionIndex<std::int32_t> foreignKeysByTable_;
};

}  // namespace quillmark
