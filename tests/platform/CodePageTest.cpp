#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace quillmark::platform {
namespace {

struct Conversion {
  int codePage;
  std::string bytes;
  std::u16string text;
};

class CodePageConversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(CodePageConversion, DecodesToUtf16) {
  const Conversion& c = GetParam();
  EXPECT_EQ(ToUtf16(c.bytes, c.codePage), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    KnownCodePages, CodePageConversion,
    ::testing::Values(Conversion{1252, "M\xFCnchen", u"M\u00FCnchen"},               // pubs publisher 9901
                      Conversion{1252, "\x80\x81", u"\u20AC\u0081"},                 // undefined byte keeps its value
                      Conversion{936, "M\xA8\xB9nchen", u"M\u00FCnchen"},            // the same name in GBK
                      Conversion{936, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
                      Conversion{932, "\x93\xFA\x96\x7B", u"\u65E5\u672C"},
                      Conversion{949, "\xC7\xD1", u"\uD55C"},
                      Conversion{950, "\xA4\xA4", u"\u4E2D"},
                      Conversion{1251, "\xDF\xCD", u"\u042F\u041D"},
                      Conversion{874, "\xA1", u"\u0E01"},
                      Conversion{437, "\x81", u"\u00FC"},
                      Conversion{850, "\x81", u"\u00FC"},
                      Conversion{65001, "\xD0\xAF\xF0\x9F\x98\x80", u"\u042F\U0001F600"},
                      Conversion{65001, "a\xFF" "b", u"a\uFFFDb"},                  // invalid UTF-8
                      Conversion{936, "a\xD6", u"a\uFFFD"},                          // cut-off double byte
                      Conversion{1252, std::string("a\0b", 3), std::u16string(u"a\0b", 3)}));

TEST(CodePage, UnsupportedNumbersUseTheAnsiCodePage) {
  SetAnsiCodePage(1251);
  EXPECT_EQ(ToUtf16("\xDF", 0), u"\u042F");
  EXPECT_EQ(ToUtf16("\xDF", 12345), u"\u042F");
  EXPECT_EQ(AnsiToUtf16("\xDF"), u"\u042F");
  SetAnsiCodePage(kDefaultAnsiCodePage);
  EXPECT_EQ(AnsiToUtf16("\xDF"), u"\u00DF");
}

TEST(CodePage, Utf16RoundTripsThroughUtf8) {
  std::u16string text = u"C:\\USERS\\\u042F\u041D\\\U0001F600";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");  // unpaired surrogate
}

}  // namespace
}  // namespace quillmark::platform
