#include "gui/StatusBar.h"

#include <QFrame>
#include <QLabel>
#include <QResizeEvent>

#include "gui/QtControls.h"

namespace quillmark::gui {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(true);
  setMinimumHeight(24);
  link_ = new QLabel(QStringLiteral("<a href=\"\">Quillmark</a>"), this);
  link_->setObjectName(QStringLiteral("statusLink"));
  connect(link_, &QLabel::linkActivated, this, [this] { emit linkActivated(); });
  addWidget(link_);
  auto* separator = new QFrame(this);
  separator->setFrameShape(QFrame::VLine);
  separator->setFrameShadow(QFrame::Sunken);
  pane_ = new QLabel(QStringLiteral("Quillmark"), this);
  pane_->setObjectName(QStringLiteral("statusPane"));
  addPermanentWidget(separator);
  addPermanentWidget(pane_);
  progress_ = new Progress(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->hide();
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  progress_->setGeometry(250, 3, width() - 560, 17);
  progress_->raise();
}

}  // namespace quillmark::gui
