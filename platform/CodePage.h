// 8-bit text to UTF-16 by Windows code page number, and the conversions between
// UTF-16 and UTF-8 that the front ends need.
//
// Supported code pages: 874, 932, 936, 949, 950, 1250-1258, 437, 850 and 65001
// (UTF-8). Code page 0 stands for the system ANSI code page, as it does on
// Windows; any other unsupported number falls back to the ANSI code page too, so
// no text is ever dropped for want of a converter.
#pragma once

#include <string>
#include <string_view>

namespace quillmark::platform {

inline constexpr int kDefaultAnsiCodePage = 1252;

// The "system ANSI code page" used where no database collation applies.
int AnsiCodePage();
void SetAnsiCodePage(int codePage);

bool IsSupportedCodePage(int codePage);

// Converts every byte (NULs included). A byte sequence the code page does not
// define becomes U+FFFD, except in single-byte code pages, where the byte maps to
// the code point of the same value (0x81 in 1252 becomes U+0081, as on Windows).
std::u16string ToUtf16(std::string_view bytes, int codePage);
std::u16string AnsiToUtf16(std::string_view bytes);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// The same, appended to `out`.
void AppendUtf8(std::u16string_view text, std::string& out);
// Invalid UTF-8 becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// The code units of `text` as UTF-16LE bytes, the way text files hold them.
std::string Utf16LeBytes(std::u16string_view text);

}  // namespace quillmark::platform
