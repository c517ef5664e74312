// The records panel that fills the window's centre: either the records view
// (the records list, the page status and the Previous/Next Records buttons) or
// the text view, laid out in pixels from the panel's size. The buttons send
// their paging messages to the main frame.
#pragma once

#include <QWidget>

#include "gui/QtControls.h"
#include "gui/RecordsView.h"
#include "platform/Controls.h"
#include "platform/Messages.h"

namespace quillmark::gui {

class RecordsPanelWidget : public QWidget, public platform::RecordsPanel {
  Q_OBJECT
 public:
  explicit RecordsPanelWidget(QWidget* parent = nullptr);

  void SetOwner(platform::MessageTarget* owner) { owner_ = owner; }
  void ShowView(platform::PanelView view) override;
  platform::PanelView View() const override { return view_; }

  RecordsView* records() const { return records_; }
  TextPane* text() const { return text_; }
  StatusLabel* status() const { return status_; }
  PagingButton* previous() const { return previous_; }
  PagingButton* next() const { return next_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();

  platform::MessageTarget* owner_ = nullptr;
  platform::PanelView view_ = platform::PanelView::kText;
  RecordsView* records_ = nullptr;
  TextPane* text_ = nullptr;
  StatusLabel* status_ = nullptr;
  PagingButton* previous_ = nullptr;
  PagingButton* next_ = nullptr;
};

}  // namespace quillmark::gui
