// A read-only window over one cell's whole value, since the grid shows only a
// line of it: the text, a hex dump of its bytes, and the text laid out as XML
// when it is XML.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

class QPlainTextEdit;
class QTabWidget;

namespace quillmark::gui {

class ValueViewer : public QDialog {
  Q_OBJECT
 public:
  // `bytes`: the stored value when it was read whole; otherwise the cell's
  // text stands for it (its UTF-8 bytes in the hex view).
  ValueViewer(const QString& column, const QString& text, const std::optional<std::string>& bytes,
              QWidget* parent = nullptr);

  QTabWidget* views() const { return views_; }
  QString TextView() const;
  QString HexView() const;
  QString XmlView() const;

  // "offset  hex bytes  characters", 16 bytes a line.
  static QString HexDump(const QByteArray& bytes);
  // The text indented as XML; empty when it is not well-formed XML.
  static QString IndentedXml(const QString& text);

 private:
  QTabWidget* views_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  QPlainTextEdit* hex_ = nullptr;
  QPlainTextEdit* xml_ = nullptr;
};

}  // namespace quillmark::gui
