#include "builder/CompressedRecords.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>

namespace quillmark::testing {
namespace {

constexpr std::uint8_t kEmptyCode = 1;
constexpr std::uint8_t kLongCode = 10;
constexpr std::uint8_t kTrueBitCode = 11;
constexpr std::uint8_t kSymbolCode = 12;
constexpr std::size_t kMostShortBytes = 8;
constexpr std::size_t kMostSymbols = 255;

std::int64_t SignedLe(const Bytes& bytes) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  const unsigned unused = static_cast<unsigned>(64 - 8 * bytes.size());
  return static_cast<std::int64_t>(value << unused) >> unused;
}

// The fewest bytes n holding the value, big-endian, the top bit inverted (a
// bias of 2^(8n-1)); zero has none.
Bytes BiasedInteger(std::int64_t value) {
  if (value == 0) return {};
  std::size_t n = 1;
  while (n < 8 && (value < -(std::int64_t{1} << (8 * n - 1)) || value >= (std::int64_t{1} << (8 * n - 1)))) ++n;
  const std::uint64_t biased = static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << (8 * n - 1));
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(biased >> (8 * (n - 1 - i)));
  return bytes;
}

Bytes WithoutLeading(Bytes bytes, std::uint8_t dropped) {
  bytes.erase(bytes.begin(), std::find_if(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return b != dropped; }));
  return bytes;
}

Bytes WithoutTrailing(Bytes bytes, std::uint8_t dropped) {
  while (!bytes.empty() && bytes.back() == dropped) bytes.pop_back();
  return bytes;
}

// The decimal digits of a little-endian magnitude, most significant first.
std::string Digits(Bytes magnitude) {
  std::string digits;
  while (std::any_of(magnitude.begin(), magnitude.end(), [](std::uint8_t b) { return b != 0; })) {
    unsigned remainder = 0;
    for (auto byte = magnitude.rbegin(); byte != magnitude.rend(); ++byte) {
      const unsigned current = (remainder << 8) | *byte;
      *byte = static_cast<std::uint8_t>(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  }
  return digits;
}

// vardecimal: a byte of sign (bit 7 set: positive) and exponent + 64, then the
// digits d1 d2 ... (value d1.d2... x 10^exponent) in 10-bit groups of three,
// most significant bit first, without trailing zero bytes. Zero has no bytes.
Bytes VarDecimal(const ColumnType& type, const Bytes& stored) {
  std::string digits = Digits(Bytes(stored.begin() + 1, stored.end()));
  if (digits.empty()) return {};
  const int exponent = static_cast<int>(digits.size()) - 1 - type.scale;
  Bytes bytes{static_cast<std::uint8_t>((stored[0] != 0 ? 0x80 : 0) | (exponent + 64))};
  digits.append((3 - digits.size() % 3) % 3, '0');
  std::size_t bit = 0;
  for (std::size_t group = 0; group < digits.size(); group += 3) {
    const unsigned value = static_cast<unsigned>(std::stoi(digits.substr(group, 3)));
    for (int b = 9; b >= 0; --b, ++bit) {
      if (bit % 8 == 0) bytes.push_back(0);
      if ((value >> b) & 1u) bytes.back() = static_cast<std::uint8_t>(bytes.back() | (0x80u >> (bit % 8)));
    }
  }
  return WithoutTrailing(bytes, 0);
}

// SCSU in single-byte mode, for text of printable ASCII, Latin-1 (dynamic
// window 0, U+0080) and Cyrillic (window 2, U+0400); nothing for other text.
std::optional<Bytes> Scsu(const std::u16string& text) {
  Bytes bytes;
  int window = 0;
  const auto use = [&](int wanted) {
    if (window != wanted) bytes.push_back(static_cast<std::uint8_t>(0x10 + wanted));  // SCn selects window n
    window = wanted;
  };
  for (char16_t c : text) {
    if ((c >= 0x20 && c < 0x80) || c == u'\t' || c == u'\n' || c == u'\r') {
      bytes.push_back(static_cast<std::uint8_t>(c));
    } else if (c >= 0x80 && c < 0x100) {
      use(0);
      bytes.push_back(static_cast<std::uint8_t>(c));
    } else if (c >= 0x400 && c < 0x480) {
      use(2);
      bytes.push_back(static_cast<std::uint8_t>(0x80 + (c - 0x400)));
    } else {
      return std::nullopt;
    }
  }
  if (bytes.size() % 2 == 0) bytes.push_back(0x10);  // SC0: only selects window 0
  return bytes;
}

bool IntegerLike(std::uint8_t typeId) {
  switch (typeId) {
    case sqltype::kSmallInt:
    case sqltype::kInt:
    case sqltype::kBigInt:
    case sqltype::kMoney:
    case sqltype::kSmallMoney:
    case sqltype::kDateTime:
      return true;
    default:
      return false;
  }
}

std::optional<Bytes> RowCompressedBytes(const ColumnType& type, const Bytes& stored) {
  if (IntegerLike(type.id)) return BiasedInteger(SignedLe(stored));
  switch (type.id) {
    case sqltype::kTinyInt:
      return stored[0] == 0 ? Bytes{} : stored;
    case sqltype::kDecimal:
    case sqltype::kNumeric:
      return VarDecimal(type, stored);
    case sqltype::kFloat:
    case sqltype::kReal:
    case sqltype::kSmallDateTime:
    case sqltype::kTimestamp:  // most significant byte first: its leading zeros are the high ones
      return WithoutLeading(stored, 0);
    case sqltype::kChar:
      return WithoutTrailing(stored, 0x20);
    case sqltype::kBinary:
      return WithoutTrailing(stored, 0);
    case sqltype::kNChar: {
      Bytes text = stored;
      while (text.size() >= 2 && text[text.size() - 2] == 0x20 && text.back() == 0) text.erase(text.end() - 2, text.end());
      return UnicodeCompressed(text);
    }
    case sqltype::kNVarChar:
      return type.maxLength < 0 ? stored : UnicodeCompressed(stored);
    default:
      return std::nullopt;  // kept as it is
  }
}

std::uint8_t CodeOfLength(std::size_t length) {
  if (length == 0) return kEmptyCode;
  return length <= kMostShortBytes ? static_cast<std::uint8_t>(length + 1) : kLongCode;
}

CompressedValue Plain(Bytes bytes) {
  const std::uint8_t code = CodeOfLength(bytes.size());
  return CompressedValue{code, std::move(bytes), false};
}

// A value that can be shared through the page: it has bytes of its own.
bool Shareable(const CompressedValue& value) { return value.code >= 2 && value.code <= kLongCode && !value.complex; }

std::size_t SharedPrefix(const Bytes& a, const Bytes& b, std::size_t most) {
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && n < most && a[n] == b[n]) ++n;
  return n;
}

// The column's anchor: its first value on the page, when another value of the
// page begins with the same byte.
std::optional<Bytes> AnchorOf(const std::vector<std::vector<CompressedValue>>& rows, std::size_t column) {
  const CompressedValue* first = nullptr;
  for (const auto& row : rows) {
    const CompressedValue& value = row[column];
    if (!Shareable(value)) continue;
    if (!first) {
      first = &value;
    } else if (value.bytes.front() == first->bytes.front()) {
      return first->bytes;
    }
  }
  return std::nullopt;
}

// A value of an anchored column: code 1 when it is the anchor, otherwise the
// number of leading bytes it shares with the anchor, then the rest (the type's
// zero or empty value shares none and has no rest).
CompressedValue Prefixed(const CompressedValue& value, const Bytes& anchor, bool integerLike) {
  if (value.code == 0 || value.code == kTrueBitCode || value.complex) return value;
  if (value.bytes == anchor) return CompressedValue{kEmptyCode, {}, false};
  const std::size_t shared = SharedPrefix(value.bytes, anchor, integerLike ? 0x7F : 0xFF);
  Bytes bytes{static_cast<std::uint8_t>(shared)};
  bytes.insert(bytes.end(), value.bytes.begin() + static_cast<std::ptrdiff_t>(shared), value.bytes.end());
  return Plain(std::move(bytes));
}

// Values of two or more bytes met twice or more on the page become dictionary
// entries, in the order they are first met.
std::vector<Bytes> DictionaryOf(const std::vector<std::vector<CompressedValue>>& rows) {
  // Counted by the bytes as a string: g++ 12 at -O3 warns falsely on ordering vectors.
  std::map<std::string, int> counts;
  std::vector<Bytes> order;
  for (const auto& row : rows)
    for (const CompressedValue& value : row)
      if (Shareable(value) && value.bytes.size() >= 2 &&
          counts[std::string(value.bytes.begin(), value.bytes.end())]++ == 1)
        order.push_back(value.bytes);
  if (order.size() > kMostSymbols) order.resize(kMostSymbols);
  return order;
}

Bytes Dictionary(const std::vector<Bytes>& entries) {
  Bytes bytes(2 + 2 * entries.size(), 0);
  PutU16(bytes, 0, static_cast<std::uint16_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    bytes.insert(bytes.end(), entries[i].begin(), entries[i].end());
    PutU16(bytes, 2 + 2 * i, static_cast<std::uint16_t>(bytes.size()));
  }
  return bytes;
}

Bytes CompressionInfo(const Bytes& anchor, const std::vector<Bytes>& entries) {
  if (entries.empty()) {
    // Anchor only: flags 0x02, then one end offset, the anchor's.
    Bytes info(5, 0);
    info[0] = 0x02;
    PutU16(info, 3, static_cast<std::uint16_t>(5 + anchor.size()));
    info.insert(info.end(), anchor.begin(), anchor.end());
    return info;
  }
  const Bytes dictionary = Dictionary(entries);
  Bytes info(7, 0);
  info[0] = 0x06;  // anchor and dictionary
  PutU16(info, 3, static_cast<std::uint16_t>(7 + anchor.size()));
  PutU16(info, 5, static_cast<std::uint16_t>(7 + anchor.size() + dictionary.size()));
  info.insert(info.end(), anchor.begin(), anchor.end());
  info.insert(info.end(), dictionary.begin(), dictionary.end());
  return info;
}

}  // namespace

Bytes UnicodeCompressed(const Bytes& utf16) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) text.push_back(static_cast<char16_t>(utf16[i] | utf16[i + 1] << 8));
  const std::optional<Bytes> scsu = Scsu(text);
  return scsu && scsu->size() < utf16.size() ? *scsu : utf16;
}

CompressedValue CompressValue(const ColumnType& type, const Cell& cell) {
  if (!cell.bytes) return CompressedValue{};
  if (cell.complex) return CompressedValue{kLongCode, *cell.bytes, true};
  if (type.id == sqltype::kBit) return CompressedValue{cell.bytes->at(0) != 0 ? kTrueBitCode : kEmptyCode, {}, false};
  return Plain(RowCompressedBytes(type, *cell.bytes).value_or(*cell.bytes));
}

Bytes CompressedRowRecord(const std::vector<CompressedValue>& values, int recordType) {
  CompressedRecordSpec spec;
  spec.recordType = recordType;
  for (const CompressedValue& value : values) {
    spec.codes.push_back(value.code);
    if (value.code == kLongCode) {
      spec.longValues.push_back(value.bytes);
      spec.complexLong.push_back(value.complex);
    } else {
      spec.shortData.insert(spec.shortData.end(), value.bytes.begin(), value.bytes.end());
    }
  }
  return CompressedRecord(spec);
}

CompressedPage CompressPage(const std::vector<std::vector<CompressedValue>>& rows, const std::vector<ColumnType>& types) {
  CompressedPage page;
  page.rows = rows;
  std::vector<CompressedValue> anchor(types.size());
  bool anchored = false;
  for (std::size_t column = 0; column < types.size(); ++column) {
    const std::optional<Bytes> value = AnchorOf(rows, column);
    if (!value) continue;
    anchored = true;
    anchor[column] = Plain(*value);
    for (auto& row : page.rows) row[column] = Prefixed(row[column], *value, IntegerLike(types[column].id));
  }
  const std::vector<Bytes> entries = DictionaryOf(page.rows);
  for (auto& row : page.rows)
    for (CompressedValue& value : row) {
      const auto entry = std::find(entries.begin(), entries.end(), value.bytes);
      if (Shareable(value) && entry != entries.end())
        value = CompressedValue{kSymbolCode, {static_cast<std::uint8_t>(entry - entries.begin())}, false};
    }
  if (anchored || !entries.empty()) page.compressionInfo = CompressionInfo(CompressedRowRecord(anchor, 0), entries);
  return page;
}

}  // namespace quillmark::testing
