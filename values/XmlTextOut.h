// XML text as SQL Server writes it when it turns an xml value into text: the
// escapes of text nodes and of double-quoted attribute values, gathered under
// a size cap (going past it throws Malformed).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace quillmark::binxml {

// Characters XML 1.0 cannot hold, not even as references: C0 controls other
// than TAB, LF and CR, unpaired surrogates, U+FFFE and U+FFFF. Stored values
// hold them only when damaged.
bool HasIllegalCharacter(std::u16string_view text);

// A name that can be written verbatim: not empty, and nothing that would end
// or break the markup around it.
bool IsNameText(std::u16string_view text);

class TextOut {
 public:
  explicit TextOut(std::size_t maxUnits) : maxUnits_(maxUnits) {}

  void Raw(std::u16string_view text);
  void Raw(char16_t unit);
  // A text node. One that is only whitespace keeps its last character as a
  // reference, so that reading the text back does not drop the node.
  void Text(std::u16string_view text);
  void AttributeValue(std::u16string_view value);
  // Throws when `units` more would not fit.
  void CheckRoom(std::size_t units) const;
  std::u16string Take() { return std::move(text_); }

 private:
  void Escaped(std::u16string_view text, bool attribute);
  void Reference(char16_t unit);

  std::u16string text_;
  std::size_t maxUnits_;
};

}  // namespace quillmark::binxml
