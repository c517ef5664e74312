#include "gui/RecordsPanel.h"

#include <QResizeEvent>

namespace quillmark::gui {

RecordsPanelWidget::RecordsPanelWidget(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("recordsPanel"));
  previous_ = new PagingButton(QStringLiteral(":/icons/previous.svg"), QStringLiteral("Previous Records"), this);
  next_ = new PagingButton(QStringLiteral(":/icons/next.svg"), QStringLiteral("Next Records"), this);
  records_ = new RecordsView(this);
  records_->InsertColumn(0, u"", 1500);
  text_ = new TextPane(this);
  status_ = new StatusLabel(this);
  connect(previous_, &QToolButton::clicked, this,
          [this] { platform::Send(owner_, platform::WM_APP_PREV_RECORDS, 0, 0); });
  connect(next_, &QToolButton::clicked, this, [this] { platform::Send(owner_, platform::WM_APP_NEXT_RECORDS, 0, 0); });
  ShowView(platform::PanelView::kText);
}

void RecordsPanelWidget::ShowView(platform::PanelView view) {
  view_ = view;
  const bool records = view == platform::PanelView::kRecords;
  text_->setVisible(!records);
  records_->setVisible(records);
  status_->setVisible(records);
  previous_->setVisible(records);
  next_->setVisible(records);
}

void RecordsPanelWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Layout();
}

void RecordsPanelWidget::Layout() {
  const int cx = width();
  const int cy = height();
  text_->setGeometry(0, 0, cx, cy);
  records_->setGeometry(0, 0, cx, cy - 35);
  previous_->setGeometry(cx - 120, cy - 31, 50, 25);
  next_->setGeometry(cx - 65, cy - 31, 50, 25);
  status_->setGeometry(10, cy - 31, 490, 25);
}

}  // namespace quillmark::gui
