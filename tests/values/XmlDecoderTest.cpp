#include "values/XmlDecoder.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <string_view>

#include "values/XmlDecoderLimits.h"

namespace quillmark::testing {
namespace {

// "DF FF 01 ..." as bytes.
ByteVector Hex(std::string_view text) {
  ByteVector bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ' || text[i] == '\n') continue;
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i++, 2)), nullptr, 16)));
  }
  return bytes;
}

template <typename T>
ByteVector Le(T value, std::size_t width = sizeof(T)) {
  auto bits = static_cast<std::uint64_t>(value);
  ByteVector bytes;
  for (std::size_t i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
  return bytes;
}

ByteVector operator+(ByteVector left, const ByteVector& right) {
  left.insert(left.end(), right.begin(), right.end());
  return left;
}

// A small writer of the format: a header, then whatever the test appends.
// Names and qnames are defined where first used and referred to after.
class Stream {
 public:
  explicit Stream(std::uint8_t version = 1) : bytes_{0xDF, 0xFF, version, 0xB0, 0x04} {}

  Stream& Put(const ByteVector& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Stream& Mb(std::uint64_t value) {
    for (; value > 0x7F; value >>= 7) bytes_.push_back(static_cast<std::uint8_t>(value | 0x80));
    bytes_.push_back(static_cast<std::uint8_t>(value));
    return *this;
  }
  Stream& Text(std::u16string_view text) {
    Mb(text.size());
    for (char16_t unit : text) {
      bytes_.push_back(static_cast<std::uint8_t>(unit));
      bytes_.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return *this;
  }
  std::uint64_t Name(std::u16string_view text) {
    if (text.empty()) return 0;
    auto [entry, added] = names_.try_emplace(std::u16string(text), names_.size() + 1);
    if (added) Put({0xF0}).Text(text);
    return entry->second;
  }
  std::uint64_t QName(std::u16string_view local, std::u16string_view prefix, std::u16string_view ns) {
    std::array<std::uint64_t, 3> parts{Name(ns), Name(prefix), Name(local)};
    auto [entry, added] = qnames_.try_emplace(parts, qnames_.size() + 1);
    if (added) Put({0xEF}).Mb(parts[0]).Mb(parts[1]).Mb(parts[2]);
    return entry->second;
  }
  Stream& Element(std::u16string_view local, std::u16string_view prefix = u"", std::u16string_view ns = u"") {
    std::uint64_t name = QName(local, prefix, ns);
    return Put({0xF8}).Mb(name);
  }
  Stream& Attribute(std::u16string_view local, std::u16string_view prefix = u"", std::u16string_view ns = u"") {
    std::uint64_t name = QName(local, prefix, ns);
    return Put({0xF6}).Mb(name);
  }
  // A namespace declaration: "xmlns" or "xmlns:p" as the prefix of an
  // otherwise empty qname.
  Stream& Declaration(std::u16string_view attribute) { return Attribute(u"", attribute, u""); }
  Stream& Nvarchar(std::u16string_view text) { return Put({0x11}).Text(text); }
  Stream& EndAttributes() { return Put({0xF5}); }
  Stream& End() { return Put({0xF7}); }
  Stream& Flush() {
    names_.clear();
    qnames_.clear();
    return Put({0xE9});
  }
  const ByteVector& Bytes() const { return bytes_; }
  std::u16string Decoded() const { return DecodeXmlValue(bytes_); }

 private:
  ByteVector bytes_;
  std::map<std::u16string, std::uint64_t> names_;
  std::map<std::array<std::uint64_t, 3>, std::uint64_t> qnames_;
};

// The four worked examples of the format notes, byte for byte.
const ByteVector kElementAttributeText =
    Hex("DF FF 01 B0 04  F0 04 72 00 6F 00 6F 00 74 00  EF 00 00 01  F0 01 61 00  EF 00 00 02"
        " F8 01  F6 02  11 01 31 00  F5  11 02 68 00 69 00  F7");
const ByteVector kPrefixedNames =
    Hex("DF FF 01 B0 04  F0 05 75 00 72 00 6E 00 3A 00 78 00  F0 01 70 00  F0 03 64 00 6F 00 63 00"
        " EF 01 02 03  F8 01  F0 07 78 00 6D 00 6C 00 6E 00 73 00 3A 00 70 00  EF 00 04 00"
        " F6 02 11 05 75 00 72 00 6E 00 3A 00 78 00  F5  F0 04 69 00 74 00 65 00 6D 00  EF 01 02 05"
        " F8 03 F7  F7");
const ByteVector kEscapesCommentPiCData =
    Hex("DF FF 01 B0 04  F0 01 61 00  EF 00 00 01  F8 01  11 05 78 00 20 00 3C 00 20 00 79 00"
        " F3 01 63 00  F0 01 74 00  F4 02 01 64 00  F2 03 3C 00 26 00 3E 00 F1  F7");
const ByteVector kTypedValues =
    Hex("DF FF 02 B0 04  F0 01 76 00 EF 00 00 01  F0 01 69 00 EF 00 00 02  F0 01 64 00 EF 00 00 03"
        " F0 01 6E 00 EF 00 00 04  F8 01  F6 02 02 FE FF FF FF  F6 03 7F 80 46 0B"
        " F6 04 87 0B 26 0A 00 00 A2 94 1A 1D 00 00 00  F5  7B 07 00 74 05 3F 47 80 46 0B 78 00  F7");

struct ItemsCase {
  ByteVector items;  // tokens and their payloads
  std::u16string text;
};

// Each case's items after a version 2 header.
void ExpectDecoded(const std::vector<ItemsCase>& cases) {
  for (const ItemsCase& c : cases)
    EXPECT_EQ(DecodeXmlValue(Hex("DF FF 02 B0 04") + c.items), c.text) << ::testing::PrintToString(c.items);
}

TEST(XmlDecoderTest, WorkedExamples) {
  const std::vector<std::pair<ByteVector, std::u16string>> examples = {
      {kElementAttributeText, u"<root a=\"1\">hi</root>"},
      {kPrefixedNames, u"<p:doc xmlns:p=\"urn:x\"><p:item/></p:doc>"},
      {kEscapesCommentPiCData, u"<a>x &lt; y<!--c--><?t d?><![CDATA[<&>]]></a>"},
      {kTypedValues, u"<v i=\"-2\" d=\"2024-02-29\" n=\"-12.5\">2024-02-29T10:30:00+02:00</v>"},
  };
  ASSERT_EQ(kElementAttributeText.size(), 43u);
  for (const auto& [bytes, text] : examples) EXPECT_EQ(DecodeXmlValue(bytes), text);
}

TEST(XmlDecoderTest, HeaderVersionsAndEmptyDocument) {
  EXPECT_EQ(DecodeXmlValue(Hex("DF FF 01 B0 04")), u"");
  for (std::uint8_t version : std::initializer_list<std::uint8_t>{0, 1, 2}) {
    Stream stream(version);
    stream.Element(u"a").End();
    EXPECT_EQ(stream.Decoded(), u"<a/>") << int{version};
  }
  for (const char* header : {"DF FF 03 B0 04", "DF FE 01 B0 04", "DF FF 01 E4 04", "DF FF 01 B0", ""}) {
    EXPECT_EQ(DecodeXmlValue(Hex(header) + Hex("F0 01 61 00 EF 00 00 01 F8 01 F7")), u"") << header;
  }
}

TEST(XmlDecoderTest, ElementsNestedEmptyAndWithEmptyText) {
  Stream stream;
  stream.Element(u"a").Element(u"b").End();
  stream.Element(u"c").Nvarchar(u"").End();  // an empty text node keeps the end tag
  stream.Element(u"d").Element(u"e").Nvarchar(u"t").End().End().End();
  EXPECT_EQ(stream.Decoded(), u"<a><b/><c></c><d><e>t</e></d></a>");
}

TEST(XmlDecoderTest, AttributesAndValueRuns) {
  Stream stream;
  stream.Element(u"r");
  stream.Attribute(u"none");
  stream.Attribute(u"one").Nvarchar(u"1");
  stream.Attribute(u"strings").Nvarchar(u"a").Nvarchar(u"b");
  stream.Attribute(u"numbers").Put({0x02}).Put(Le<std::int32_t>(1)).Put({0x02}).Put(Le<std::int32_t>(2));
  stream.Attribute(u"mixed").Nvarchar(u"a").Put({0x86, 0x01}).Put({0x0E}).Text(u"b");
  stream.EndAttributes();
  stream.Nvarchar(u"x").Nvarchar(u"y").Put({0x07, 0x05}).Put({0x07, 0x06}).End();
  EXPECT_EQ(stream.Decoded(), u"<r none=\"\" one=\"1\" strings=\"ab\" numbers=\"1 2\" mixed=\"a true b\">xy 5 6</r>");
}

// Names carry their namespace; declarations the stream leaves out are written
// where text XML needs them.
TEST(XmlDecoderTest, Namespaces) {
  struct Case {
    const char* what;
    Stream stream;
    std::u16string text;
  };
  std::vector<Case> cases(8);
  cases[0].what = "explicit default namespace, inherited";
  cases[0].stream.Element(u"r", u"", u"urn:a").Declaration(u"xmlns").Nvarchar(u"urn:a").EndAttributes();
  cases[0].stream.Element(u"c", u"", u"urn:a").End().End();
  cases[0].text = u"<r xmlns=\"urn:a\"><c/></r>";

  cases[1].what = "implied default namespace, then undeclared";
  cases[1].stream.Element(u"r", u"", u"urn:a").Element(u"c").End().End();
  cases[1].text = u"<r xmlns=\"urn:a\"><c xmlns=\"\"/></r>";

  cases[2].what = "explicit xmlns=\"\" without a value";
  cases[2].stream.Element(u"r").Declaration(u"xmlns").EndAttributes().End();
  cases[2].text = u"<r xmlns=\"\"/>";

  cases[3].what = "the prefixed example without its declaration";
  cases[3].stream.Element(u"doc", u"p", u"urn:x").Element(u"item", u"p", u"urn:x").End().End();
  cases[3].text = u"<p:doc xmlns:p=\"urn:x\"><p:item/></p:doc>";

  cases[4].what = "prefixed attribute; xml: needs no declaration";
  cases[4].stream.Element(u"r").Attribute(u"a", u"q", u"urn:q").Nvarchar(u"1");
  cases[4].stream.Attribute(u"lang", u"xml", u"http://www.w3.org/XML/1998/namespace").Nvarchar(u"en");
  cases[4].stream.EndAttributes().End();
  cases[4].text = u"<r q:a=\"1\" xml:lang=\"en\" xmlns:q=\"urn:q\"/>";

  cases[5].what = "a prefix bound again to another namespace below";
  cases[5].stream.Element(u"r", u"p", u"urn:1").Element(u"c", u"p", u"urn:2").End();
  cases[5].stream.Element(u"d", u"p", u"urn:1").End().End();
  cases[5].text = u"<p:r xmlns:p=\"urn:1\"><p:c xmlns:p=\"urn:2\"/><p:d/></p:r>";

  cases[6].what = "qname values: in a start tag the prefix is declared, in content it is in scope";
  std::uint64_t value = cases[6].stream.QName(u"v", u"p", u"urn:p");
  cases[6].stream.Element(u"r").Attribute(u"t").Put({0x8C}).Mb(value).EndAttributes();
  cases[6].stream.Element(u"c", u"p", u"urn:p").Put({0x8C}).Mb(value).End().End();
  cases[6].text = u"<r t=\"p:v\" xmlns:p=\"urn:p\"><p:c>p:v</p:c></r>";

  cases[7].what = "a scope ends with its element";
  cases[7].stream.Element(u"r").Element(u"a", u"p", u"urn:p").End().Element(u"b", u"p", u"urn:p").End().End();
  cases[7].text = u"<r><p:a xmlns:p=\"urn:p\"/><p:b xmlns:p=\"urn:p\"/></r>";

  for (const Case& c : cases) EXPECT_EQ(c.stream.Decoded(), c.text) << c.what;
}

TEST(XmlDecoderTest, NamespaceDeclarationsThatCannotBeWritten) {
  std::vector<Stream> streams(5);
  streams[0].Element(u"r").Declaration(u"xmlns:p").EndAttributes().End();  // a prefix bound to nothing
  streams[1].Element(u"r").Declaration(u"xmlnsx").Nvarchar(u"urn:a").EndAttributes().End();
  streams[2].Element(u"r").Declaration(u"xmlns").Put({0x02}).Put(Le<std::int32_t>(1)).EndAttributes().End();
  streams[3].Element(u"r", u"p", u"urn:1").Declaration(u"xmlns:p").Nvarchar(u"urn:2").EndAttributes().End();
  streams[4].Element(u"r").Attribute(u"a", u"", u"urn:a").Nvarchar(u"1").EndAttributes().End();
  for (const Stream& stream : streams) EXPECT_EQ(stream.Decoded(), u"");
}

// Each raw string written as text and as an attribute value.
TEST(XmlDecoderTest, EscapesInTextAndAttributes) {
  struct Case {
    std::u16string raw, text, attribute;
  };
  const std::vector<Case> cases = {
      {u"a&b<c>d\"e'f", u"a&amp;b&lt;c&gt;d\"e'f", u"a&amp;b&lt;c&gt;d&quot;e'f"},
      {u"1\t2\n3\r4", u"1\t2\n3&#xD;4", u"1&#x9;2&#xA;3&#xD;4"},
      {std::u16string(u"\x01\x1F-") + u'\0', u"&#x1;&#x1F;-&#x0;", u"&#x1;&#x1F;-&#x0;"},
      {u"\xD800\xDF00|\xD800|\xDF00|\xFFFE\xFFFF", u"\xD800\xDF00|&#xD800;|&#xDF00;|&#xFFFE;&#xFFFF;",
       u"\xD800\xDF00|&#xD800;|&#xDF00;|&#xFFFE;&#xFFFF;"},
      {u" \n ", u" \n&#x20;", u" &#xA; "},  // a text node of whitespace only keeps its last as a reference
      {u"\t", u"&#x9;", u"&#x9;"},
      {u" x ", u" x ", u" x "},
  };
  for (const Case& c : cases) {
    Stream stream;
    stream.Element(u"a").Attribute(u"v").Nvarchar(c.raw).EndAttributes().Nvarchar(c.raw).End();
    EXPECT_EQ(stream.Decoded(), u"<a v=\"" + c.attribute + u"\">" + c.text + u"</a>");
  }
}

TEST(XmlDecoderTest, CommentsPisAndCData) {
  Stream stream;
  std::uint64_t target = stream.Name(u"go");
  stream.Element(u"a");
  stream.Put({0xF3}).Text(u" note ");
  stream.Put({0xF4}).Mb(target).Text(u"");
  stream.Put({0xF4}).Mb(target).Text(u"x=\"1\"");
  stream.Put({0xF2}).Text(u"a]]").Put({0xE9}).Put({0xF2}).Text(u">b<").Put({0xF1});  // two chunks, one section
  stream.Put({0xF2}).Text(u"").Put({0xF1});
  stream.End();
  EXPECT_EQ(stream.Decoded(), u"<a><!-- note --><?go?><?go x=\"1\"?><![CDATA[a]]]]><![CDATA[>b<]]><![CDATA[]]></a>");
}

TEST(XmlDecoderTest, DeclarationDoctypeAndRawMarkup) {
  ExpectDecoded({
      {Hex("FE 03 31 00 2E 00 30 00 FD 02 38 00 42 00 01"),
       u"<?xml version=\"1.0\" encoding=\"8B\" standalone=\"yes\"?>"},
      {Hex("FE 03 31 00 2E 00 30 00 02"), u"<?xml version=\"1.0\" standalone=\"no\"?>"},
      {Hex("FE 03 31 00 2E 00 30 00 00 F3 01 63 00 FC 01 72 00"), u"<?xml version=\"1.0\"?><!--c--><!DOCTYPE r>"},
      {Hex("FC 01 72 00 FB 01 73 00"), u"<!DOCTYPE r SYSTEM \"s\">"},
      {Hex("FC 01 72 00 FB 01 73 00 FA 01 70 00 F9 01 78 00"), u"<!DOCTYPE r PUBLIC \"p\" \"s\" [x]>"},
      {Hex("FC 01 72 00 FA 01 70 00"), u"<!DOCTYPE r PUBLIC \"p\">"},
      {Hex("ED 04 3C 00 62 00 2F 00 3E 00"), u"<b/>"},
  });
}

ByteVector Float(float value) { return ByteVector{0x03} + Le(std::bit_cast<std::uint32_t>(value)); }
ByteVector Double(double value) { return ByteVector{0x04} + Le(std::bit_cast<std::uint64_t>(value)); }

// The time (10^-scale seconds in 3, 4 or 5 bytes) and date (3 bytes of days
// from 0001-01-01) of the newer date/time values.
ByteVector TimeAndDate(std::uint8_t scale, std::uint64_t time, std::uint32_t days) {
  return ByteVector{scale} + Le(time, scale < 3 ? 3 : scale < 5 ? 4 : 5) + Le(days, 3);
}

// The older xs:dateTime / xs:date counts, low two bits 2 and 1.
ByteVector XsdDateTime(std::int64_t year, int month, int day, std::int64_t millisOfDay) {
  std::int64_t days = day - 1 + 31 * (month - 1 + 12 * (year + 9999));
  return ByteVector{0x82} + Le<std::int64_t>(2 + 4 * (millisOfDay + 86'400'000 * days));
}
ByteVector XsdDate(std::int64_t year, int month, int day, int minutesToUtc) {
  std::int64_t days = day - 1 + 31 * (month - 1 + 12 * (year + 9999));
  return ByteVector{0x83} + Le<std::int64_t>(1 + 4 * (840 + minutesToUtc + 1740 * days));
}

constexpr std::uint32_t kFeb29th2024 = 738944;  // days from 0001-01-01
constexpr std::uint32_t kJan1st1900 = 693595;

TEST(XmlDecoderTest, IntegersBitsAndBooleans) {
  ExpectDecoded({
      {ByteVector{0x01} + Le<std::int16_t>(-32768), u"-32768"},
      {ByteVector{0x01} + Le<std::int16_t>(32767), u"32767"},
      {ByteVector{0x02} + Le<std::int32_t>(std::numeric_limits<std::int32_t>::min()), u"-2147483648"},
      {ByteVector{0x02} + Le<std::int32_t>(0), u"0"},
      {ByteVector{0x08} + Le<std::int64_t>(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808"},
      {ByteVector{0x08} + Le<std::int64_t>(std::numeric_limits<std::int64_t>::max()), u"9223372036854775807"},
      {{0x07, 0xFF}, u"255"},   // tinyint is unsigned
      {{0x88, 0x80}, u"-128"},  // xs:byte is signed
      {{0x88, 0x7F}, u"127"},
      {ByteVector{0x89} + Le<std::uint16_t>(65535), u"65535"},
      {ByteVector{0x8A} + Le<std::uint32_t>(4294967295u), u"4294967295"},
      {ByteVector{0x8B} + Le<std::uint64_t>(std::numeric_limits<std::uint64_t>::max()), u"18446744073709551615"},
      {{0x06, 0x00}, u"0"},
      {{0x06, 0x01}, u"1"},
      {{0x06, 0x05}, u"5"},
      {{0x86, 0x00}, u"false"},
      {{0x86, 0x01}, u"true"},
      {{0x86, 0x02}, u"true"},
  });
}

TEST(XmlDecoderTest, FloatsAsXQueryWritesThem) {
  ExpectDecoded({
      {Double(13.4), u"13.4"},
      {Double(-2e-11), u"-2.0E-11"},
      {Double(0.0), u"0.0E0"},
      {Double(-0.0), u"-0.0E0"},
      {Double(100), u"100"},
      {Double(0.1), u"0.1"},
      {Double(-1234.5678), u"-1234.5678"},
      {Double(999999.9), u"999999.9"},
      {Double(1e6), u"1.0E6"},
      {Double(0.000001), u"0.000001"},
      {Double(0.0000009), u"9.0E-7"},
      {Double(1.5e300), u"1.5E300"},
      {Double(std::numeric_limits<double>::max()), u"1.7976931348623157E308"},
      {Double(std::numeric_limits<double>::denorm_min()), u"5.0E-324"},
      {Double(-std::numeric_limits<double>::infinity()), u"-INF"},
      {Double(std::numeric_limits<double>::quiet_NaN()), u"NaN"},
      {Float(13.4f), u"13.4"},  // the shortest digits of the float, not of the double it widens to
      {Float(-2e-11f), u"-2.0E-11"},
      {Float(0.0f), u"0.0E0"},
      {Float(123456.0f), u"123456"},
      {Float(std::numeric_limits<float>::max()), u"3.4028235E38"},
      {Float(std::numeric_limits<float>::infinity()), u"INF"},
  });
}

TEST(XmlDecoderTest, MoneyAndDecimals) {
  ExpectDecoded({
      {Hex("05 59 92 01 00 00 00 00 00"), u"10.3001"},
      {ByteVector{0x05} + Le<std::int64_t>(103000), u"10.30"},
      {ByteVector{0x05} + Le<std::int64_t>(50000), u"5.00"},
      {ByteVector{0x05} + Le<std::int64_t>(-103001), u"-10.3001"},
      {ByteVector{0x05} + Le<std::int64_t>(0), u"0.00"},
      {ByteVector{0x05} + Le<std::int64_t>(std::numeric_limits<std::int64_t>::min()), u"-922337203685477.5808"},
      {ByteVector{0x14} + Le<std::int32_t>(-1), u"-0.0001"},
      {ByteVector{0x14} + Le<std::int32_t>(std::numeric_limits<std::int32_t>::max()), u"214748.3647"},
      // length, precision, scale, sign (1 = positive), magnitude
      {Hex("0A 07 06 04 01 5E 0D 03 00"), u"20.0030"},
      {Hex("0B 07 06 04 01 5E 0D 03 00"), u"20.0030"},
      {Hex("87 07 06 04 01 5E 0D 03 00"), u"20.003"},  // xs:decimal drops trailing zeros
      {Hex("87 07 05 03 01 E8 80 00 00"), u"33"},
      {Hex("0A 07 05 02 01 05 00 00 00"), u"0.05"},
      {Hex("0A 07 05 02 00 00 00 00 00"), u"0.00"},  // negative zero
      {Hex("87 07 05 02 00 00 00 00 00"), u"0"},
      {Hex("0A 0B 14 00 01 FF FF FF FF FF FF FF FF"), u"18446744073709551615"},
      {Hex("0A 13 26 00 00 FF FF FF FF 3F 22 8A 09 7A C4 86 5A A8 4C 3B 4B"),
       u"-99999999999999999999999999999999999999"},
      {Hex("0A 13 26 26 01 FF FF FF FF 3F 22 8A 09 7A C4 86 5A A8 4C 3B 4B"),
       u"0.99999999999999999999999999999999999999"},
  });
}

TEST(XmlDecoderTest, StringsBinaryAndUuid) {
  ExpectDecoded({
      {Hex("0E 02 68 00 69 00"), u"hi"},
      {Hex("18 02 68 00 69 00"), u"hi"},
      {Hex("0D 08 E4 04 00 00 63 61 66 E9"), u"caf\u00E9"},  // code page 1252
      {Hex("10 07 E9 FD 00 00 6E C3 A9"), u"n\u00E9"},       // 65001, UTF-8
      {Hex("16 08 B0 04 00 00 6F 00 6B 00"), u"ok"},         // 1200, UTF-16
      {Hex("0C 03 4D 61 6E"), u"TWFu"},
      {Hex("0F 01 4D"), u"TQ=="},
      {Hex("17 02 4D 61"), u"TWE="},
      {Hex("1B 00"), u""},
      {Hex("85 04 00 FF 10 80"), u"AP8QgA=="},
      {Hex("84 03 42 AC EF"), u"42ACEF"},
      {Hex("09 FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF"), u"6F9619FF-8B86-D011-B42D-00C04FC964FF"},
  });
}

TEST(XmlDecoderTest, DatesAndTimes) {
  ExpectDecoded({
      // datetime: days from 1900-01-01, 1/300 s since midnight
      {Hex("12 CF 95 00 00 25 C1 C5 00"), u"2005-01-01T12:00:00.123"},
      {ByteVector{0x12} + Le<std::int32_t>(0) + Le<std::uint32_t>(1080000), u"1900-01-01T01:00:00"},
      {ByteVector{0x12} + Le<std::int32_t>(-53690) + Le<std::uint32_t>(0), u"1753-01-01T00:00:00"},
      {ByteVector{0x12} + Le<std::int32_t>(2958463) + Le<std::uint32_t>(25919999), u"9999-12-31T23:59:59.997"},
      // smalldatetime: unsigned days, minutes
      {Hex("13 DB AB 0D 02"), u"2020-06-15T08:45:00"},
      {Hex("13 FF FF 9F 05"), u"2079-06-06T23:59:00"},
      // the older xsd kinds, in UTC or with a zone
      {Hex("82 CA D2 29 EE 76 7B 05 00"), u"2003-11-09T13:05:07.250Z"},
      {XsdDateTime(-44, 3, 15, 0), u"-0044-03-15T00:00:00Z"},
      {Hex("83 79 E2 52 3C 07 00 00 00"), u"2003-11-09-04:30"},
      {XsdDate(2003, 11, 9, 0), u"2003-11-09Z"},
      {XsdDate(2003, 11, 9, -330), u"2003-11-09+05:30"},
      {XsdDate(2003, 2, 31, 0), u"2003-02-31Z"},  // impossible, but written as stored
      {Hex("81 C8 32 3B 0B 00 00 00 00"), u"13:05:07.250Z"},
      {Hex("81 00 00 00 00 00 00 00 00"), u"00:00:00Z"},
      // the newer kinds: date, date and time, time, and the three with a zone
      {Hex("7F 80 46 0B"), u"2024-02-29"},
      {Hex("7F 00 00 00"), u"0001-01-01"},
      {ByteVector{0x7F} + Le(3652058u, 3), u"9999-12-31"},
      {ByteVector{0x7E} + TimeAndDate(7, 306001234567, kFeb29th2024), u"2024-02-29T08:30:00.1234567"},
      {ByteVector{0x7E} + TimeAndDate(3, 30600120, kFeb29th2024), u"2024-02-29T08:30:00.12"},
      {ByteVector{0x7E} + TimeAndDate(0, 25 * 3600, kFeb29th2024), u"2024-03-01T01:00:00"},  // carried
      {ByteVector{0x7D} + TimeAndDate(0, 45296, kJan1st1900), u"12:34:56"},
      {ByteVector{0x7B} + TimeAndDate(7, 306000000000, kFeb29th2024) + Le<std::int16_t>(0), u"2024-02-29T08:30:00Z"},
      {ByteVector{0x7B} + TimeAndDate(0, 2 * 3600, kFeb29th2024 + 1) + Le<std::int16_t>(-300),
       u"2024-02-29T21:00:00-05:00"},
      // The local date of a date with a zone, and the local time of a time.
      {ByteVector{0x7C} + TimeAndDate(0, 22 * 3600, kFeb29th2024) + Le<std::int16_t>(120), u"2024-03-01+02:00"},
      {ByteVector{0x7A} + TimeAndDate(0, 22 * 3600, kFeb29th2024) + Le<std::int16_t>(120), u"00:00:00+02:00"},
  });
}

TEST(XmlDecoderTest, NameTablesReusedFlushedAndSkipped) {
  Stream stream;
  stream.QName(u"", u"", u"");                                   // all three parts empty: unused, but it takes index 1
  stream.Element(u"r").Element(u"i").End().Element(u"i").End();  // one qname, used twice
  stream.Put({0xEA, 0x03, 0x01, 0x02, 0x03});                    // an extension: skipped
  stream.Flush().Element(u"j").Attribute(u"a").Flush().Nvarchar(u"1");
  stream.Attribute(u"b").EndAttributes().End();  // "j" and "b" are index 1 after each flush
  stream.End();
  EXPECT_EQ(stream.Decoded(), u"<r><i/><i/><j a=\"1\" b=\"\"/></r>");
}

TEST(XmlDecoderTest, NestedDocumentsHaveTablesOfTheirOwn) {
  Stream inner;
  inner.Put(Hex("FE 03 31 00 2E 00 30 00 00")).Element(u"in", u"p", u"urn:p").End();  // the declaration is dropped
  Stream outer;
  outer.Element(u"out", u"p", u"urn:p").Put({0xEC}).Put(inner.Bytes()).Put({0xEB});
  outer.Element(u"out", u"p", u"urn:p").End().End();  // qname 1 again: the outer table's
  EXPECT_EQ(outer.Decoded(), u"<p:out xmlns:p=\"urn:p\"><p:in/><p:out/></p:out>");
}

TEST(XmlDecoderTest, FragmentsOfSeveralTopLevelNodes) {
  Stream stream;
  stream.Nvarchar(u"a<b").Element(u"x").End().Element(u"y").End().Put({0x02}).Put(Le<std::int32_t>(7));
  EXPECT_EQ(stream.Decoded(), u"a&lt;b<x/><y/>7");
}

TEST(XmlDecoderTest, MultiByteLengths) {
  std::u16string long200(200, u'z');
  Stream stream;
  stream.Nvarchar(long200);
  ASSERT_EQ(ByteVector(stream.Bytes().begin() + 5, stream.Bytes().begin() + 8), Hex("11 C8 01"));
  EXPECT_EQ(stream.Decoded(), long200);
  EXPECT_EQ(DecodeXmlValue(Hex("DF FF 01 B0 04 11 81 80 00 78 00")), u"x");  // non-minimal length 1
}

// Bytes after a valid header that must give empty text.
TEST(XmlDecoderTest, MalformedValuesGiveEmptyText) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"unknown token 00", "00"},
      {"unknown token 15", "15"},
      {"unknown token 80", "80"},
      {"unknown token EE", "EE"},
      {"unknown token FF", "FF"},
      {"element of qname 0", "F8 00 F7"},
      {"element of an undefined qname", "F8 01 F7"},
      {"qname of an undefined name", "EF 00 00 01"},
      {"PI of an undefined name", "F4 01 00"},
      {"a qname index past 32 bits", "F0 01 61 00 EF 00 00 01 F8 80 80 80 80 08 F7"},
      {"a length of eleven bytes", "11 80 80 80 80 80 80 80 80 80 80 00"},
      {"a length past the end", "11 02 61 00"},
      {"end tag with nothing open", "F7"},
      {"element left open", "F0 01 61 00 EF 00 00 01 F8 01"},
      {"attributes not closed", "F0 01 61 00 EF 00 00 01 F8 01 F6 01 F7"},
      {"element with an empty name", "EF 00 00 00 F8 01 F7"},
      {"element named with a space", "F0 02 61 00 20 00 EF 00 00 01 F8 01 F7"},
      {"end of a nested document with none open", "EB"},
      {"nested document left open", "EC DF FF 01 B0 04"},
      {"nested header of another code page", "EC DF FF 01 E4 04 EB"},
      {"declaration after content", "11 00 FE 00 00"},
      {"second declaration", "FE 00 00 FE 00 00"},
      {"doctype after content", "11 00 FC 01 72 00"},
      {"standalone 3", "FE 00 03"},
      {"CDATA not ended", "F2 01 61 00"},
      {"CDATA ended by something else", "F2 01 61 00 F7"},
      {"comment holding --", "F3 02 2D 00 2D 00"},
      {"comment ending in -", "F3 01 2D 00"},
      {"PI data holding ?>", "F0 01 74 00 F4 01 02 3F 00 3E 00"},
      {"illegal character in a comment", "F3 01 01 00"},
      {"decimal of length 8", "0A 08 05 00 01 00 00 00 00 00"},
      {"decimal of precision 39", "0A 07 27 00 01 00 00 00 00"},
      {"decimal of scale above precision", "0A 07 02 03 01 00 00 00 00"},
      {"decimal of sign 2", "0A 07 02 00 02 00 00 00 00"},
      {"code page text shorter than its code page", "0D 03 E4 04 00"},
      {"odd UTF-16 code page text", "0D 05 B0 04 00 00 61"},
      {"datetime past midnight", "12 00 00 00 00 00 82 8B 01"},
      {"datetime before year 1", "12 00 00 F5 FF 00 00 00 00"},
      {"smalldatetime minute 1440", "13 00 00 A0 05"},
      {"xsd dateTime of kind 1", "82 01 00 00 00 00 00 00 00"},
      {"xsd time of 24 hours", "81 00 70 99 14 00 00 00 00"},
      {"time scale 8", "7E 08 00 00 00 00 00 00 00 00"},
      {"zone past 14 hours", "7B 00 00 00 00 00 00 00 49 03"},
      {"date past 9999", "7F FF FF FF"},
  };
  for (const auto& [what, bytes] : cases) EXPECT_EQ(DecodeXmlValue(Hex("DF FF 02 B0 04") + Hex(bytes)), u"") << what;
}

TEST(XmlDecoderTest, EveryCutOfAValueGivesEmptyText) {
  Stream nested;
  nested.Element(u"r").Attribute(u"a").Put({0x87}).Put(Hex("07 06 04 01 5E 0D 03 00")).EndAttributes();
  nested.Put({0xEC}).Put(Stream(2).Element(u"n").Nvarchar(u"t").End().Bytes()).Put({0xEB});
  nested.Put({0xF2}).Text(u"c").Put({0xF1}).End();
  for (const ByteVector& value :
       {kElementAttributeText, kPrefixedNames, kEscapesCommentPiCData, kTypedValues, nested.Bytes()}) {
    ASSERT_NE(DecodeXmlValue(value), u"");
    for (std::size_t cut = 0; cut < value.size(); ++cut)
      EXPECT_EQ(DecodeXmlValue(ByteSpan(value).first(cut)), u"") << "cut at " << cut;
  }
}

// Random bytes after a valid header, and every byte of the examples changed,
// must come back as text or as nothing, never as a crash or a read past the end.
TEST(XmlDecoderTest, RandomAndMutatedInputsDecodeWithoutHarm) {
  std::mt19937 random(20240229);
  // Mostly tokens and small numbers, so that the inputs get past the first byte.
  const ByteVector alphabet =
      Hex("00 01 02 03 04 05 06 07 0A 11 12 7B 7F 82 87 8C E9 EA EB EC EF F0 F1 F2 F3 F4 F5"
          "F6 F7 F8 FC FE 3C 26 DF FF B0");
  std::size_t decoded = 0;
  for (int i = 0; i < 3000; ++i) {
    ByteVector value = Hex("DF FF 02 B0 04");
    std::size_t length = random() % 64;
    for (std::size_t k = 0; k < length; ++k)
      value.push_back(random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<std::uint8_t>(random()));
    decoded += DecodeXmlValue(value).empty() ? 0 : 1;
  }
  for (const ByteVector& example : {kElementAttributeText, kPrefixedNames, kEscapesCommentPiCData, kTypedValues}) {
    for (std::size_t at = 5; at < example.size(); ++at) {
      for (int k = 0; k < 8; ++k) {
        ByteVector value = example;
        value[at] = static_cast<std::uint8_t>(random());
        decoded += DecodeXmlValue(value).empty() ? 0 : 1;
      }
    }
  }
  EXPECT_GT(decoded, 0u);
}

TEST(XmlDecoderTest, NestingIsBounded) {
  auto elements = [](std::size_t depth) {
    Stream stream;
    stream.Element(u"a");
    for (std::size_t i = 1; i < depth; ++i) stream.Put({0xF8, 0x01});
    for (std::size_t i = 0; i < depth; ++i) stream.End();
    return stream.Decoded();
  };
  auto documents = [](std::size_t depth) {
    ByteVector value = Hex("DF FF 01 B0 04");
    for (std::size_t i = 0; i < depth; ++i) value = value + Hex("EC DF FF 01 B0 04");
    value = value + Hex("11 01 78 00");
    for (std::size_t i = 0; i < depth; ++i) value.push_back(0xEB);
    return DecodeXmlValue(value);
  };
  EXPECT_EQ(elements(binxml::kMaxXmlDepth).size(), binxml::kMaxXmlDepth * 7 - 3);  // <a> and </a>, the last <a/>
  EXPECT_EQ(elements(binxml::kMaxXmlDepth + 1), u"");
  EXPECT_EQ(documents(binxml::kMaxXmlDepth), u"x");
  EXPECT_EQ(documents(binxml::kMaxXmlDepth + 1), u"");
}

TEST(XmlDecoderTest, TextPastTheCapGivesNothing) {
  const std::u16string text = u"<root a=\"1\">hi</root>";
  EXPECT_EQ(binxml::Decode(kElementAttributeText, text.size() * 2), text);
  EXPECT_EQ(binxml::Decode(kElementAttributeText, text.size() * 2 - 2), u"");
  // A long name used again and again: small in, far past 64 MiB out.
  Stream stream;
  stream.Element(std::u16string(1 << 20, u'n')).End();
  for (int i = 0; i < 40; ++i) stream.Put({0xF8, 0x01, 0xF7});
  EXPECT_EQ(stream.Decoded(), u"");
}

TEST(XmlDecoderTest, ChunksAreJoinedAndReleased) {
  const ByteVector& value = kElementAttributeText;
  std::vector<ByteVector> chunks = {ByteVector(value.begin(), value.begin() + 3),
                                    ByteVector(value.begin() + 3, value.begin() + 20), ByteVector(),
                                    ByteVector(value.begin() + 20, value.end())};
  EXPECT_EQ(DecodeXmlChunks(chunks), u"<root a=\"1\">hi</root>");
  for (const ByteVector& chunk : chunks) EXPECT_EQ(chunk.capacity(), 0u);

  std::vector<ByteVector> none;
  EXPECT_EQ(DecodeXmlChunks(none), u"");
  std::vector<ByteVector> empties(3);
  EXPECT_EQ(DecodeXmlChunks(empties), u"");

  // Past the cap: nothing is joined, and the chunks are still released.
  std::vector<ByteVector> large = {value, value};
  EXPECT_EQ(binxml::DecodeChunks(large, value.size() * 2 - 1), u"");
  for (const ByteVector& chunk : large) EXPECT_EQ(chunk.capacity(), 0u);
  std::vector<ByteVector> atCap = {ByteVector(value.begin(), value.begin() + 10),
                                   ByteVector(value.begin() + 10, value.end())};
  EXPECT_EQ(binxml::DecodeChunks(atCap, value.size()), u"<root a=\"1\">hi</root>");  // 43 bytes in, 42 out
}

}  // namespace
}  // namespace quillmark::testing
