// The simple controls of the window over Qt widgets: the records panel's text
// view, its status label and paging buttons, the progress bar and the log
// pane's list. Each is the widget itself, so it sits in layouts as one.
#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolButton>

#include "platform/Controls.h"

namespace quillmark::gui {

// Read-only, both scroll bars, no wrapping: module texts keep their lines.
class TextPane : public QPlainTextEdit, public platform::TextView {
  Q_OBJECT
 public:
  explicit TextPane(QWidget* parent = nullptr);
  void SetText(const std::u16string& text) override;
  std::u16string Text() const override;
  void ClearSelection() override;

 private:
  // The text as set: the edit keeps line breaks its own way.
  std::u16string text_;
};

class StatusLabel : public QLabel, public platform::Label {
  Q_OBJECT
 public:
  explicit StatusLabel(QWidget* parent = nullptr);
  void SetText(const std::u16string& text) override;
  std::u16string Text() const override;
};

class PagingButton : public QToolButton, public platform::Button {
  Q_OBJECT
 public:
  PagingButton(const QString& icon, const QString& toolTip, QWidget* parent = nullptr);
  void SetEnabled(bool enabled) override { setEnabled(enabled); }
  bool Enabled() const override { return isEnabled(); }
  void SetVisible(bool visible) override { setVisible(visible); }
  bool Visible() const override { return !isHidden(); }
};

class Progress : public QProgressBar, public platform::ProgressBar {
  Q_OBJECT
 public:
  explicit Progress(QWidget* parent = nullptr);
  void SetRange(std::int32_t low, std::int32_t high) override { setRange(low, high); }
  void SetPos(std::int32_t position) override { setValue(position); }
  std::int32_t Pos() const override { return value(); }
  std::int32_t Low() const override { return minimum(); }
  std::int32_t High() const override { return maximum(); }
  void SetVisible(bool visible) override { setVisible(visible); }
  bool Visible() const override { return !isHidden(); }
};

// One line per item, no header; the newest line kept in view.
class LogView : public QListWidget, public platform::LogList {
  Q_OBJECT
 public:
  explicit LogView(QWidget* parent = nullptr);
  void InsertLine(int index, const std::u16string& text) override;
  void SetLine(int index, const std::u16string& text) override;
  int LineCount() const override { return count(); }
  std::u16string Line(int index) const override;
};

// Arial, 16 pixels, normal weight: the records panel's text view, buttons and
// status label (a metric-compatible sans where Arial is missing).
QFont PanelFont();

}  // namespace quillmark::gui
