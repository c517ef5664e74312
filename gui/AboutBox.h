// "Quillmark v18.0": the product label, three links (their addresses are
// empty, so they open nothing), the maker and OK. A press anywhere in the box
// drags it, as a press on its title bar would.
#pragma once

#include <QDialog>
#include <QPoint>

namespace quillmark::gui {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QPoint grab_;  // the press point relative to the box's corner
};

}  // namespace quillmark::gui
