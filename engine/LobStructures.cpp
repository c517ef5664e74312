#include "engine/LobStructures.h"

#include <algorithm>
#include <string_view>

#include "engine/AppSettings.h"
#include "engine/LargeObjects.h"
#include "platform/CodePage.h"

namespace quillmark {
namespace {

constexpr std::size_t kTypeOffset = 8;
constexpr std::size_t kBodyOffset = 10;
constexpr std::int32_t kMinBodyLength = 10;
constexpr std::size_t kLinkCountOffset = 12;
constexpr std::size_t kSmallRootDataOffset = 16;
constexpr std::size_t kMaxSmallRootLength = 8192;
constexpr std::size_t kInternalLinksOffset = 16;
constexpr std::size_t kInternalLinkLength = 16;
constexpr std::size_t kLargeRootLinksOffset = 20;
constexpr std::size_t kLargeRootLinkLength = 12;
constexpr std::size_t kVariantHeaderLength = 8;
// The sql_variant base types whose values show as hex.
constexpr std::uint8_t kVariantVarbinary = 165;
constexpr std::uint8_t kVariantBinary = 173;

enum FragmentType : std::uint16_t {
  kSmallRootType = 0,
  kInternalType = 2,
  kDataType = 3,
  kLargeRootFirstType = 4,
  kLargeRootLastType = 6,
  kUnreadType = 8,
};

std::u16string HexText(ByteSpan bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  text.reserve(2 * bytes.size());
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

// UTF-16LE up to the first NUL code unit; an odd last byte is dropped.
std::u16string Utf16Text(ByteSpan bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

// 8-bit text in the ANSI code page, up to the first zero byte.
std::u16string AnsiText(ByteSpan bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return platform::AnsiToUtf16(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(end - bytes.begin())));
}

// 8-bit text stored as UTF-16LE has exactly half its bytes zero: the low bytes
// are the text.
ByteVector NarrowedIfHalfZero(const ByteVector& bytes) {
  auto zeros = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), std::uint8_t{0}));
  if (bytes.size() < 2 || zeros != bytes.size() / 2) return bytes;
  ByteVector low;
  for (std::size_t i = 0; i < bytes.size(); i += 2) low.push_back(bytes[i]);
  return low;
}

// The first `count` links of `width` bytes from `first` that lie wholly inside
// the fragment; `read` parses the link at an offset.
template <typename ReadLink>
std::vector<LobLink> ReadLinks(ByteSpan fragment, std::size_t first, std::size_t width, ReadLink read) {
  const std::size_t count = ReadLeOr<std::uint16_t>(fragment, kLinkCountOffset);
  std::vector<LobLink> links;
  for (std::size_t offset = first; links.size() < count && Fits(fragment, offset, width); offset += width)
    links.push_back(read(offset));
  return links;
}

void FollowLinks(const std::vector<LobLink>& links, LargeValueReader& reader) {
  for (const LobLink& link : links) {
    if (StopRequested() || reader.Full()) break;
    reader.FollowLink(link.row);
  }
}

template <typename DataFragment>
void AppendData(const DataFragment& fragment, ByteSpan data, LargeValueReader& reader) {
  if (reader.Collecting())
    reader.AppendBytes(data);
  else
    reader.AppendText(fragment.Text(reader.Flags()));
}

}  // namespace

LobStructureBase::LobStructureBase(ByteSpan fragment) : blobId(ReadLeOr<std::uint64_t>(fragment, 0)) {}

SmallRoot::SmallRoot(ByteSpan fragment) : LobStructureBase(fragment) {
  const std::size_t length = ReadLeOr<std::uint16_t>(fragment, kBodyOffset);
  if (length == 0 || length > kMaxSmallRootLength || fragment.size() <= kSmallRootDataOffset) return;
  data = CopyBytes(fragment, kSmallRootDataOffset, std::min(length, fragment.size() - kSmallRootDataOffset));
}

void SmallRoot::AppendTo(LargeValueReader& reader) const { AppendData(*this, data, reader); }

std::u16string SmallRoot::Text(LobFlags flags) const {
  if (flags.binary) return HexText(data);
  if (flags.unicode) return Utf16Text(data);
  const ByteVector bytes = NarrowedIfHalfZero(data);
  if (!flags.variant) return AnsiText(bytes);
  if (bytes.size() < kVariantHeaderLength) return {};
  const std::uint8_t baseType = bytes[0];
  const ByteSpan value = ByteSpan(bytes).subspan(kVariantHeaderLength);
  return baseType == kVariantVarbinary || baseType == kVariantBinary ? HexText(value) : AnsiText(value);
}

LobSData::LobSData(ByteSpan fragment)
    : LobStructureBase(fragment), data(fragment.subspan(std::min(fragment.size(), kBodyOffset))) {}

void LobSData::AppendTo(LargeValueReader& reader) const { AppendData(*this, data, reader); }

std::u16string LobSData::Text(LobFlags flags) const {
  if (flags.binary) return HexText(data);
  if (flags.unicode) return Utf16Text(data);
  if (flags.variant) return AnsiText(data.subspan(std::min(data.size(), kVariantHeaderLength)));
  return AnsiText(data);
}

Internal::Internal(ByteSpan fragment)
    : LobStructureBase(fragment),
      links(ReadLinks(fragment, kInternalLinksOffset, kInternalLinkLength, [fragment](std::size_t offset) {
        return LobLink{ReadRowPointer(fragment, offset + 8), ReadLeOr<std::int64_t>(fragment, offset)};
      })) {}

void Internal::AppendTo(LargeValueReader& reader) const { FollowLinks(links, reader); }

LargeRootYukon::LargeRootYukon(ByteSpan fragment)
    : LobStructureBase(fragment),
      links(ReadLinks(fragment, kLargeRootLinksOffset, kLargeRootLinkLength, [fragment](std::size_t offset) {
        return LobLink{ReadRowPointer(fragment, offset + 4), ReadLeOr<std::int32_t>(fragment, offset)};
      })) {}

void LargeRootYukon::AppendTo(LargeValueReader& reader) const { FollowLinks(links, reader); }

std::unique_ptr<LobStructureBase> ParseFragment(ByteSpan fragment, std::int32_t bodyLength) {
  if (bodyLength < 0) return nullptr;
  // The fragment ends where its body does, whatever bytes follow it.
  fragment = fragment.first(std::min(fragment.size(), kBodyOffset + static_cast<std::size_t>(bodyLength)));
  const std::uint16_t type = ReadLeOr<std::uint16_t>(fragment, kTypeOffset, kUnreadType);
  // A data fragment's body is its data, however short (the tail of a value).
  if (type == kDataType) return std::make_unique<LobSData>(fragment);
  if (bodyLength < kMinBodyLength) return nullptr;
  if (type == kSmallRootType) return std::make_unique<SmallRoot>(fragment);
  if (type == kInternalType) return std::make_unique<Internal>(fragment);
  if (type >= kLargeRootFirstType && type <= kLargeRootLastType) return std::make_unique<LargeRootYukon>(fragment);
  return nullptr;
}

}  // namespace quillmark
