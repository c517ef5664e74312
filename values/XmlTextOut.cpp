#include "values/XmlTextOut.h"

#include <fmt/format.h>

#include "values/BinaryXmlReader.h"

namespace quillmark::binxml {

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool IsPairAt(std::u16string_view text, std::size_t i) {
  return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
}

// Judged alone, so the halves of a pair count as illegal here.
bool IsIllegal(char16_t unit) {
  return (unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r') || (unit >= 0xD800 && unit <= 0xDFFF) ||
         unit >= 0xFFFE;
}

}  // namespace

bool HasIllegalCharacter(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsPairAt(text, i))
      ++i;
    else if (IsIllegal(text[i]))
      return true;
  }
  return false;
}

bool IsNameText(std::u16string_view text) {
  return !text.empty() && text.find_first_of(u" \t\r\n<>&\"'=/?!") == std::u16string_view::npos &&
         !HasIllegalCharacter(text);
}

void TextOut::CheckRoom(std::size_t units) const {
  if (units > maxUnits_ - text_.size()) Fail();
}

void TextOut::Raw(std::u16string_view text) {
  CheckRoom(text.size());
  text_ += text;
}

void TextOut::Raw(char16_t unit) {
  CheckRoom(1);
  text_ += unit;
}

void TextOut::Text(std::u16string_view text) {
  bool blank = !text.empty() && text.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
  if (!blank) return Escaped(text, false);
  Escaped(text.substr(0, text.size() - 1), false);
  Reference(text.back());
}

void TextOut::AttributeValue(std::u16string_view value) { Escaped(value, true); }

// Text escapes &, < and > (always, not only after "]]") and CR, which a reader
// would turn into LF. Attribute values also escape " and TAB and LF, which a
// reader would turn into spaces. Illegal characters become references too, so
// damage stays visible without breaking the text.
void TextOut::Escaped(std::u16string_view text, bool attribute) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t unit = text[i];
    if (IsPairAt(text, i)) {
      Raw(text.substr(i++, 2));
    } else if (unit == u'&') {
      Raw(u"&amp;");
    } else if (unit == u'<') {
      Raw(u"&lt;");
    } else if (unit == u'>') {
      Raw(u"&gt;");
    } else if (unit == u'"' && attribute) {
      Raw(u"&quot;");
    } else if (unit == u'\r' || (attribute && (unit == u'\t' || unit == u'\n')) || IsIllegal(unit)) {
      Reference(unit);
    } else {
      Raw(unit);
    }
  }
}

void TextOut::Reference(char16_t unit) {
  std::string reference = fmt::format("&#x{:X};", static_cast<unsigned>(unit));
  Raw(std::u16string(reference.begin(), reference.end()));
}

}  // namespace quillmark::binxml
