// Texts made of the bytes themselves: hex, GUIDs and character data.
#include <algorithm>
#include <array>

#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "values/ValueTexts.h"

namespace quillmark::valuetext {

std::u16string HexText(ByteSpan bytes, bool withPrefix) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text = withPrefix ? u"0x" : u"";
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0xF]);
  }
  return text;
}

// The first three groups are little-endian integers, the last two plain bytes:
// 00 01 .. 0F reads 03020100-0504-0706-0809-0A0B0C0D0E0F.
std::u16string GuidText(ByteSpan bytes) {
  constexpr std::array<std::size_t, 16> kOrder{3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::u16string text;
  for (std::size_t i = 0; i < kOrder.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(LittleEndian(bytes, kOrder[i], 1));
    text += HexText(ByteSpan(&byte, 1), false);
    if (i == 3 || i == 5 || i == 7 || i == 9) text.push_back(u'-');
  }
  return text;
}

std::u16string Utf16Text(ByteSpan bytes) {
  std::u16string text;
  for (std::size_t at = 0; at < bytes.size(); at += 2) {
    const auto unit = static_cast<char16_t>(LittleEndian(bytes, at, 2));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

namespace {

std::string_view UpToZero(ByteSpan bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return {reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(end - bytes.begin())};
}

}  // namespace

std::u16string EightBitText(ByteSpan bytes, int codePage) {
  // Code page 0 is the ANSI code page, as the system converter reads it.
  if (codePage != 0 && !platform::IsSupportedCodePage(codePage)) return WidenedText(bytes);
  return platform::ToUtf16(UpToZero(bytes), codePage);
}

std::u16string WidenedText(ByteSpan bytes) { return Widen(UpToZero(bytes)); }

std::u16string ZeroByteTestText(ByteSpan bytes) {
  const auto zeros = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), std::uint8_t{0}));
  if (zeros == bytes.size() / 2) return Utf16Text(bytes);
  return EightBitText(bytes, platform::AnsiCodePage());
}

int CollationCodePage(std::int32_t collationId) {
  const AppSettings& settings = Settings();
  const std::int64_t id = collationId;
  if (id == -1 || id == 0 || !settings.listingActive.load()) return platform::AnsiCodePage();
  if (settings.collationKnown && id == settings.collationId) return settings.collationCodePage;
  const auto found = settings.collationMap.find(id);
  return found != settings.collationMap.end() ? found->second.codePage : platform::AnsiCodePage();
}

}  // namespace quillmark::valuetext
