#include "gui/CaptionBar.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QToolButton>

#include "gui/QtText.h"

namespace quillmark::gui {

CaptionBar::CaptionBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("captionBar"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 3, 3, 3);
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/caption.svg")).pixmap(16, 16));
  text_ = new QLabel(this);
  text_->setTextFormat(Qt::PlainText);
  text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  close_ = new QToolButton(this);
  close_->setText(QStringLiteral("\u00d7"));
  close_->setAutoRaise(true);
  connect(close_, &QToolButton::clicked, this, &QWidget::hide);
  layout->addWidget(icon);
  layout->addWidget(text_, 1);
  layout->addWidget(close_);
}

void CaptionBar::SetText(const std::u16string& text) { text_->setText(Q(text)); }

std::u16string CaptionBar::Text() const { return U16(text_->text()); }

}  // namespace quillmark::gui
