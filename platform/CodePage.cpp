#include "platform/CodePage.h"

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <unordered_map>

namespace quillmark::platform {
namespace {

std::atomic<int> ansiCodePage{kDefaultAnsiCodePage};

constexpr char16_t kReplacement = 0xFFFD;

const char* IconvName(int codePage) {
  switch (codePage) {
    case 437: return "CP437";
    case 850: return "CP850";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 65001: return "UTF-8";
    default: return nullptr;
  }
}

bool IsSingleByte(int codePage) {
  return codePage != 932 && codePage != 936 && codePage != 949 && codePage != 950 && codePage != 65001;
}

// One converter per code page and thread, opened on first use; for the
// single-byte code pages also a table of all 256 bytes, so that converting the
// text of every row of a listing costs a lookup per byte, not an iconv call.
class ConverterCache {
 public:
  ~ConverterCache() {
    for (auto& [codePage, converter] : converters_) iconv_close(converter);
  }
  using ByteTable = std::array<char16_t, 256>;
  const ByteTable* Table(int codePage) {
    auto found = tables_.find(codePage);
    if (found != tables_.end()) return &found->second;
    iconv_t converter = Get(codePage);
    if (converter == reinterpret_cast<iconv_t>(-1)) return nullptr;
    ByteTable table{};
    for (int byte = 0; byte < 256; ++byte) {
      char in[1] = {static_cast<char>(byte)};
      char out[8];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = 1;
      std::size_t outLeft = sizeof out;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
      std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
      const bool one = result != static_cast<std::size_t>(-1) && sizeof out - outLeft == 2;
      table[static_cast<std::size_t>(byte)] =
          one ? static_cast<char16_t>(static_cast<unsigned char>(out[0]) | (static_cast<unsigned char>(out[1]) << 8))
              : static_cast<char16_t>(byte);
    }
    return &tables_.emplace(codePage, table).first->second;
  }
  iconv_t Get(int codePage) {
    auto found = converters_.find(codePage);
    if (found != converters_.end()) return found->second;
    const char* name = IconvName(codePage);
    iconv_t converter = name ? iconv_open("UTF-16LE", name) : reinterpret_cast<iconv_t>(-1);
    if (converter == reinterpret_cast<iconv_t>(-1)) return converter;
    converters_.emplace(codePage, converter);
    return converter;
  }

 private:
  std::unordered_map<int, iconv_t> converters_;
  std::unordered_map<int, ByteTable> tables_;
};

int Resolve(int codePage) {
  if (IconvName(codePage)) return codePage;
  int ansi = AnsiCodePage();
  return IconvName(ansi) ? ansi : kDefaultAnsiCodePage;
}

void AppendUtf16Le(std::u16string& out, const char* bytes, std::size_t count) {
  for (std::size_t i = 0; i + 1 < count; i += 2)
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
}

}  // namespace

int AnsiCodePage() { return ansiCodePage.load(); }
void SetAnsiCodePage(int codePage) { ansiCodePage.store(codePage); }
bool IsSupportedCodePage(int codePage) { return IconvName(codePage) != nullptr; }

std::u16string ToUtf16(std::string_view bytes, int codePage) {
  thread_local ConverterCache cache;
  std::u16string out;
  if (bytes.empty()) return out;
  codePage = Resolve(codePage);
  if (IsSingleByte(codePage)) {
    if (const ConverterCache::ByteTable* table = cache.Table(codePage)) {
      out.resize(bytes.size());
      for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = (*table)[static_cast<unsigned char>(bytes[i])];
      return out;
    }
  }
  iconv_t converter = cache.Get(codePage);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    for (char c : bytes) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  out.reserve(bytes.size());

  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char chunk[1024];
  while (inLeft > 0) {
    char* outPtr = chunk;
    std::size_t outLeft = sizeof chunk;
    std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    AppendUtf16Le(out, chunk, sizeof chunk - outLeft);
    if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // An undefined or cut-off sequence: stand in for its first byte and go on.
    unsigned char bad = static_cast<unsigned char>(*in);
    out.push_back(IsSingleByte(codePage) ? static_cast<char16_t>(bad) : kReplacement);
    ++in;
    --inLeft;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::u16string AnsiToUtf16(std::string_view bytes) { return ToUtf16(bytes, AnsiCodePage()); }

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8(text, out);
  return out;
}

void AppendUtf8(std::u16string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

std::u16string Utf8ToUtf16(std::string_view text) { return ToUtf16(text, 65001); }

std::string Utf16LeBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace quillmark::platform
