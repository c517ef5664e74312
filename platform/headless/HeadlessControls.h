// The headless backend: every control kept in memory, readable back by tests
// and by the command line; dialogs and message boxes answered from a script.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Controls.h"

namespace quillmark::platform::headless {

class Tree : public TreeControl {
 public:
  TreeItem InsertItem(const std::u16string& text, TreeItem parent, InsertAt where, std::intptr_t data) override;
  void DeleteAllItems() override;
  std::u16string ItemText(TreeItem item) const override;
  std::intptr_t ItemData(TreeItem item) const override;
  TreeItem Parent(TreeItem item) const override;
  std::vector<TreeItem> Children(TreeItem item) const override;
  std::size_t Count() const override { return items_.size(); }
  TreeItem Selection() const override { return selection_; }
  void Select(TreeItem item) override { selection_ = Exists(item) ? item : kNoItem; }
  TreeItem DropHighlight() const override { return dropHighlight_; }
  void SetDropHighlight(TreeItem item) override { dropHighlight_ = Exists(item) ? item : kNoItem; }
  void SetBold(TreeItem item, bool bold) override;
  bool IsBold(TreeItem item) const override;
  void SetCheckState(TreeItem item, CheckState state) override;
  CheckState GetCheckState(TreeItem item) const override;
  void SortChildren(TreeItem item) override;

  // The item reached by node texts from the top level, e.g. {root, "Tables",
  // "User Tables", "Orders"}; kNoItem when a step is missing.
  TreeItem Find(const std::vector<std::u16string>& path) const;
  // The texts of the children of `item` (of the top level for kNoItem) in display order.
  std::vector<std::u16string> ChildTexts(TreeItem item) const;

 private:
  struct Item {
    std::u16string text;
    std::intptr_t data = 0;
    TreeItem parent = kNoItem;
    // The children, last displayed first: objects are inserted first far more
    // often than last, and a vector grows cheaply at its end.
    std::vector<TreeItem> childrenLastFirst;
    bool bold = false;
    CheckState check = CheckState::kClear;
  };
  bool Exists(TreeItem item) const { return items_.count(item) != 0; }
  std::vector<TreeItem>& ChildList(TreeItem parent);

  std::map<TreeItem, Item> items_;
  std::vector<TreeItem> topLevelLastFirst_;
  TreeItem next_ = 1;
  TreeItem selection_ = kNoItem;
  TreeItem dropHighlight_ = kNoItem;
};

class List : public RecordsList {
 public:
  void InsertColumn(int index, const std::u16string& title, int width) override;
  void DeleteColumn(int index) override;
  int ColumnCount() const override { return static_cast<int>(columns_.size()); }
  std::u16string ColumnTitle(int index) const override;
  int InsertRow(int index, const std::vector<std::u16string>& texts) override;
  void SetSubItem(int row, int column, const std::u16string& text) override;
  void DeleteRow(int index) override;
  void DeleteAllRows() override { rows_.clear(); }
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::u16string Text(int row, int column) const override;
  void SetSelected(int row, bool selected) override;
  std::vector<int> SelectedRows() const override;

  std::vector<int> ColumnWidths() const;

 private:
  struct Column {
    std::u16string title;
    int width = 0;
  };
  struct Row {
    std::vector<std::u16string> texts;
    bool selected = false;
  };
  std::vector<Column> columns_;
  std::vector<Row> rows_;
};

class TextPanel : public TextView {
 public:
  void SetText(const std::u16string& text) override { text_ = text; }
  std::u16string Text() const override { return text_; }

 private:
  std::u16string text_;
};

class Line : public Label {
 public:
  void SetText(const std::u16string& text) override { text_ = text; }
  std::u16string Text() const override { return text_; }

 private:
  std::u16string text_;
};

class Progress : public ProgressBar {
 public:
  void SetRange(std::int32_t low, std::int32_t high) override { low_ = low, high_ = high; }
  void SetPos(std::int32_t position) override { pos_ = position; }
  std::int32_t Pos() const override { return pos_; }
  std::int32_t Low() const override { return low_; }
  std::int32_t High() const override { return high_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }

 private:
  std::int32_t low_ = 0, high_ = 100, pos_ = 0;
  bool visible_ = false;
};

class PushButton : public Button {
 public:
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }

 private:
  bool enabled_ = true;
  bool visible_ = true;
};

class Log : public LogList {
 public:
  void InsertLine(int index, const std::u16string& text) override;
  void SetLine(int index, const std::u16string& text) override;
  int LineCount() const override { return static_cast<int>(lines_.size()); }
  std::u16string Line(int index) const override;

  const std::vector<std::u16string>& Lines() const { return lines_; }

 private:
  std::vector<std::u16string> lines_;
};

class Panel : public RecordsPanel {
 public:
  void ShowView(PanelView view) override { view_ = view; }
  PanelView View() const override { return view_; }

 private:
  PanelView view_ = PanelView::kText;
};

// Answers from queues the caller fills; an empty queue answers Yes, and
// cancels a file or folder dialog. Every box shown is remembered.
class ScriptedDialogs : public Dialogs {
 public:
  struct Shown {
    std::u16string text;
    std::u16string caption;
    Icon icon = Icon::kInformation;
    bool yesNo = false;
  };

  Answer MessageBox(const std::u16string& text, const std::u16string& caption, Icon icon, bool yesNo) override;
  std::optional<std::string> ChooseFile(const FileDialogOptions& options) override;
  std::optional<std::string> ChooseFolder(const std::u16string& title) override;

  std::deque<Answer> answers;                        // for Yes/No questions
  std::deque<std::optional<std::string>> files;      // for file dialogs
  std::deque<std::optional<std::string>> folders;    // for folder dialogs
  std::vector<Shown> shown;
  std::vector<FileDialogOptions> fileDialogs;        // as asked
  // Runs while a box is open, before it is answered: a modal box keeps the
  // user-interface thread handling work, which a test may do here.
  std::function<void(const Shown&)> whileShown;

  std::vector<std::u16string> Texts() const;
};

// A whole main window in memory, as the shell finds it at start: the records
// list with its one untitled column 1500 wide, the text view shown, the
// progress bar hidden.
struct Window {
  Window() { records.InsertColumn(0, u"", 1500); }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  FrameControls Controls() {
    return FrameControls{&tree, &records, &text, &status, &caption, &progress, &previous, &next, &panel, &log, &dialogs};
  }

  Tree tree;
  List records;
  TextPanel text;
  Line status;
  Line caption;
  Progress progress;
  PushButton previous;
  PushButton next;
  Panel panel;
  Log log;
  ScriptedDialogs dialogs;
};

}  // namespace quillmark::platform::headless
