#include "cli/TypedValues.h"

#include "catalog/TypeCode.h"

namespace quillmark::cli {
namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

ValueKind KindOf(std::uint32_t typeCode) {
  switch (typeCode) {
    case kBigInt:
    case kInt:
    case kSmallInt:
    case kTinyInt:
    case kBit:
      return ValueKind::kInteger;
    case kFloat:
    case kReal:
      return ValueKind::kReal;
    case kDecimal:
    case kNumeric:
    case kMoney:
    case kSmallMoney:
      return ValueKind::kExact;
    case kBinary:
    case kVarBinary:
    case kImage:
    case kTimestamp:
      return ValueKind::kBytes;
    case kDate:
    case kTime:
    case kDateTime:
    case kSmallDateTime:
    case kDateTime2:
    case kDateTimeOffset:
      return ValueKind::kDate;
    default:
      return ValueKind::kText;
  }
}

bool IsNull(const std::u16string& text, bool nullable) { return nullable && text == u"NULL"; }

std::optional<std::int64_t> IntegerOf(const std::u16string& text) {
  if (text == u"True") return 1;
  if (text == u"False") return 0;
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::size_t at = text[0] == u'-' ? 1 : 0;
  if (at == text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < u'0' || text[at] > u'9') return std::nullopt;
    const std::uint64_t next = value * 10 + static_cast<std::uint64_t>(text[at] - u'0');
    if (next / 10 != value) return std::nullopt;
    value = next;
  }
  const bool negative = text[0] == u'-';
  if (value > (negative ? 9223372036854775808ULL : 9223372036854775807ULL)) return std::nullopt;
  return negative ? static_cast<std::int64_t>(0 - value) : static_cast<std::int64_t>(value);
}

std::optional<std::string> NumberOf(const std::u16string& text) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t start = at;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') ++at;
    return at - start;
  };
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) ++at;
  std::size_t count = digits();
  if (at < text.size() && text[at] == u'.') {
    ++at;
    count += digits();
  }
  if (count == 0) return std::nullopt;
  if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
    ++at;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) ++at;
    if (digits() == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  std::string number;
  number.reserve(text.size());
  for (const char16_t c : text) number.push_back(static_cast<char>(c));
  return number;
}

std::optional<std::string> BytesOf(const std::u16string& text) {
  std::size_t at = text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X') ? 2 : 0;
  if ((text.size() - at) % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve((text.size() - at) / 2);
  for (; at < text.size(); at += 2) {
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

}  // namespace quillmark::cli
