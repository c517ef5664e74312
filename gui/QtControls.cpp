#include "gui/QtControls.h"

#include <QIcon>

#include "gui/QtText.h"

namespace quillmark::gui {

QFont PanelFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(16);
  font.setWeight(QFont::Normal);
  return font;
}

TextPane::TextPane(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFont(PanelFont());
}

void TextPane::SetText(const std::u16string& text) {
  text_ = text;
  setPlainText(Q(text));
}

std::u16string TextPane::Text() const { return text_; }

void TextPane::ClearSelection() {
  QTextCursor cursor = textCursor();
  cursor.clearSelection();
  setTextCursor(cursor);
}

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {
  setFont(PanelFont());
  setTextFormat(Qt::PlainText);
}

void StatusLabel::SetText(const std::u16string& text) { setText(Q(text)); }

std::u16string StatusLabel::Text() const { return U16(text()); }

PagingButton::PagingButton(const QString& icon, const QString& toolTip, QWidget* parent) : QToolButton(parent) {
  setIcon(QIcon(icon));
  setIconSize(QSize(20, 20));
  setToolTip(toolTip);
  setAccessibleName(toolTip);
  setFont(PanelFont());
  setAutoRaise(false);
}

Progress::Progress(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
  setRange(0, 100);
  setValue(0);
}

LogView::LogView(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setUniformItemSizes(true);
}

void LogView::InsertLine(int index, const std::u16string& text) {
  const bool atEnd = index >= count();
  insertItem(std::clamp(index, 0, count()), Q(text));
  if (atEnd) scrollToBottom();
}

void LogView::SetLine(int index, const std::u16string& text) {
  if (QListWidgetItem* line = item(index)) line->setText(Q(text));
}

std::u16string LogView::Line(int index) const {
  const QListWidgetItem* line = item(index);
  return line ? U16(line->text()) : std::u16string();
}

}  // namespace quillmark::gui
