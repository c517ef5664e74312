#include "values/Scsu.h"

#include <array>
#include <optional>

namespace quillmark {
namespace {

constexpr std::array<char32_t, 8> kStaticWindows = {0x0000, 0x0080, 0x0100, 0x0300, 0x2000, 0x2080, 0x2100, 0x3000};
constexpr std::array<char32_t, 8> kInitialWindows = {0x0080, 0x00C0, 0x0400, 0x0600, 0x0900, 0x3040, 0x30A0, 0xFF00};

// The offset a window-definition byte stands for; nothing for reserved bytes.
std::optional<char32_t> WindowOffset(std::uint8_t x) {
  if (x >= 0x01 && x <= 0x67) return char32_t{x} * 0x80;
  if (x >= 0x68 && x <= 0xA7) return char32_t{x} * 0x80 + 0xAC00;
  switch (x) {
    case 0xF9: return 0x00C0;
    case 0xFA: return 0x0250;
    case 0xFB: return 0x0370;
    case 0xFC: return 0x0530;
    case 0xFD: return 0x3040;
    case 0xFE: return 0x30A0;
    case 0xFF: return 0xFF60;
    default: return std::nullopt;
  }
}

class Decoder {
 public:
  explicit Decoder(ByteSpan bytes) : bytes_(bytes) {}

  std::u16string Run() {
    while (at_ < bytes_.size()) {
      bool ok = unicodeMode_ ? UnicodeByte() : SingleByte();
      if (!ok) break;
    }
    return std::move(text_);
  }

 private:
  bool Next(std::uint8_t& byte) {
    if (at_ >= bytes_.size()) return false;
    byte = bytes_[at_++];
    return true;
  }

  void Put(char32_t c) {
    if (c <= 0xFFFF) {
      text_.push_back(static_cast<char16_t>(c));
    } else {
      text_.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      text_.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }

  bool QuoteUnit() {
    std::uint8_t high = 0, low = 0;
    if (!Next(high) || !Next(low)) return false;
    Put(static_cast<char32_t>((high << 8) | low));
    return true;
  }

  bool DefineWindow(std::size_t window) {
    std::uint8_t x = 0;
    if (!Next(x)) return false;
    std::optional<char32_t> offset = WindowOffset(x);
    if (!offset) return false;
    windows_[window] = *offset;
    active_ = window;
    return true;
  }

  bool DefineExtendedWindow() {
    std::uint8_t high = 0, low = 0;
    if (!Next(high) || !Next(low)) return false;
    active_ = high >> 5;
    windows_[active_] = 0x10000 + ((static_cast<char32_t>(high & 0x1F) << 8) | low) * 0x80;
    return true;
  }

  bool SingleByte() {
    const std::uint8_t b = bytes_[at_++];
    if (b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D || (b >= 0x20 && b <= 0x7F)) {
      Put(b);
    } else if (b >= 0x80) {
      Put(windows_[active_] + (b - 0x80));
    } else if (b >= 0x01 && b <= 0x08) {
      std::uint8_t y = 0;
      if (!Next(y)) return false;
      Put(y < 0x80 ? kStaticWindows[b - 1] + y : windows_[b - 1] + (y - 0x80));
    } else if (b == 0x0B) {
      return DefineExtendedWindow();
    } else if (b == 0x0E) {
      return QuoteUnit();
    } else if (b == 0x0F) {
      unicodeMode_ = true;
    } else if (b >= 0x10 && b <= 0x17) {
      active_ = b - 0x10u;
    } else if (b >= 0x18 && b <= 0x1F) {
      return DefineWindow(b - 0x18u);
    } else {
      return false;  // 0x0C is reserved
    }
    return true;
  }

  bool UnicodeByte() {
    const std::uint8_t b = bytes_[at_++];
    if (b >= 0xE0 && b <= 0xE7) {
      active_ = b - 0xE0u;
      unicodeMode_ = false;
    } else if (b >= 0xE8 && b <= 0xEF) {
      unicodeMode_ = false;
      return DefineWindow(b - 0xE8u);
    } else if (b == 0xF0) {
      return QuoteUnit();
    } else if (b == 0xF1) {
      unicodeMode_ = false;
      return DefineExtendedWindow();
    } else if (b == 0xF2) {
      return false;
    } else {
      std::uint8_t low = 0;
      if (!Next(low)) return false;  // a single trailing byte is padding
      Put(static_cast<char32_t>((b << 8) | low));
    }
    return true;
  }

  ByteSpan bytes_;
  std::size_t at_ = 0;
  bool unicodeMode_ = false;
  std::size_t active_ = 0;
  std::array<char32_t, 8> windows_ = kInitialWindows;
  std::u16string text_;
};

}  // namespace

std::u16string DecodeScsu(ByteSpan bytes) { return Decoder(bytes).Run(); }

}  // namespace quillmark
