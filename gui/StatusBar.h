// The status bar: the link "Quillmark", a separator, the pane "Quillmark",
// and the progress bar, placed 250 pixels from the left and 3 from the top,
// 17 high and as wide as the bar less 560, on every resize.
#pragma once

#include <QStatusBar>

class QLabel;

namespace quillmark::gui {

class Progress;

class StatusBar : public QStatusBar {
  Q_OBJECT
 public:
  explicit StatusBar(QWidget* parent = nullptr);
  Progress* progress() const { return progress_; }
  QLabel* link() const { return link_; }
  QLabel* pane() const { return pane_; }

 signals:
  void linkActivated();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  Progress* progress_ = nullptr;
  QLabel* link_ = nullptr;
  QLabel* pane_ = nullptr;
};

}  // namespace quillmark::gui
