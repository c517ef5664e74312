// Texts between the shell (UTF-16 std::u16string, UTF-8 paths) and Qt (QString,
// UTF-16 as well): copies, no conversion.
#pragma once

#include <QString>
#include <string>

namespace quillmark::gui {

inline QString Q(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string U16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

inline QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace quillmark::gui
