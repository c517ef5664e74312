#include "gui/ValueViewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace quillmark::gui {
namespace {

QPlainTextEdit* ReadOnlyText(const QString& text, bool fixed, QWidget* parent) {
  auto* view = new QPlainTextEdit(parent);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  if (fixed) view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view->setPlainText(text);
  return view;
}

}  // namespace

QString ValueViewer::HexDump(const QByteArray& bytes) {
  QString dump;
  for (qsizetype line = 0; line < bytes.size(); line += 16) {
    dump += QStringLiteral("%1  ").arg(line, 8, 16, QLatin1Char('0'));
    QString characters;
    for (qsizetype i = line; i < line + 16; ++i) {
      if (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        dump += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0'));
        characters += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar(u'.');
      } else {
        dump += QStringLiteral("   ");
      }
    }
    dump += u' ' + characters + u'\n';
  }
  return dump;
}

QString ValueViewer::IndentedXml(const QString& text) {
  if (!text.trimmed().startsWith(u'<')) return {};
  QXmlStreamReader reader(text);
  QString out;
  QXmlStreamWriter writer(&out);
  writer.setAutoFormatting(true);
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.tokenType() == QXmlStreamReader::StartDocument || reader.tokenType() == QXmlStreamReader::EndDocument)
      continue;
    if (reader.isWhitespace()) continue;
    writer.writeCurrentToken(reader);
  }
  return reader.hasError() ? QString() : out;
}

ValueViewer::ValueViewer(const QString& column, const QString& text, const std::optional<std::string>& bytes,
                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(column.isEmpty() ? QStringLiteral("Value") : column);
  resize(720, 480);
  const QByteArray raw = bytes ? QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())) : text.toUtf8();
  const QString whole = bytes ? QString::fromUtf8(raw) : text;
  views_ = new QTabWidget(this);
  text_ = ReadOnlyText(whole, false, views_);
  hex_ = ReadOnlyText(HexDump(raw), true, views_);
  const QString xml = IndentedXml(whole);
  xml_ = ReadOnlyText(xml.isEmpty() ? QStringLiteral("(not XML)") : xml, true, views_);
  views_->addTab(text_, QStringLiteral("Text"));
  views_->addTab(hex_, QStringLiteral("Hex"));
  views_->addTab(xml_, QStringLiteral("XML"));
  if (!xml.isEmpty()) views_->setCurrentWidget(xml_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(views_);
  layout->addWidget(buttons);
}

QString ValueViewer::TextView() const { return text_->toPlainText(); }
QString ValueViewer::HexView() const { return hex_->toPlainText(); }
QString ValueViewer::XmlView() const { return xml_->toPlainText(); }

}  // namespace quillmark::gui
