// The band under the ribbon that shows the current activity: an icon, the
// text, and a button that hides the band (View > Caption Bar shows it again).
#pragma once

#include <QFrame>

#include "platform/Controls.h"

class QLabel;
class QToolButton;

namespace quillmark::gui {

class CaptionBar : public QFrame, public platform::Label {
  Q_OBJECT
 public:
  explicit CaptionBar(QWidget* parent = nullptr);
  void SetText(const std::u16string& text) override;
  std::u16string Text() const override;
  QToolButton* closeButton() const { return close_; }

 private:
  QLabel* text_ = nullptr;
  QToolButton* close_ = nullptr;
};

}  // namespace quillmark::gui
