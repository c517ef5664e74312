// The controls the shell drives: the object tree, the records list, the text
// view, labels (status label, caption bar), the progress bar, buttons, the log
// list, message boxes and file dialogs. Each is an interface with two backends:
// platform/headless (in memory, for tests and the command line) and gui/ (Qt).
//
// Every call is made on the user-interface thread; workers reach the controls
// through UiDispatcher::Invoke.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmark::platform {

// A tree item handle; 0 is "no item" (and, as a parent, the tree's top level).
using TreeItem = std::uintptr_t;
inline constexpr TreeItem kNoItem = 0;

// Hit-test flag of a click on an item's label.
inline constexpr std::uint32_t kHitOnLabel = 0x0004;

enum class InsertAt { kFirst, kLast };

// Check-box state images: 1 clear, 2 ticked, 3 some descendants ticked.
enum class CheckState : std::uint8_t { kClear = 1, kTicked = 2, kPartly = 3 };

class TreeControl {
 public:
  virtual ~TreeControl() = default;

  virtual TreeItem InsertItem(const std::u16string& text, TreeItem parent, InsertAt where, std::intptr_t data) = 0;
  // Clears the selection, then deletes every item.
  virtual void DeleteAllItems() = 0;

  virtual std::u16string ItemText(TreeItem item) const = 0;
  virtual std::intptr_t ItemData(TreeItem item) const = 0;
  virtual TreeItem Parent(TreeItem item) const = 0;
  // The children of `item` (of the top level for kNoItem) in display order.
  virtual std::vector<TreeItem> Children(TreeItem item) const = 0;
  virtual std::size_t Count() const = 0;

  virtual TreeItem Selection() const = 0;
  virtual void Select(TreeItem item) = 0;
  virtual TreeItem DropHighlight() const = 0;
  virtual void SetDropHighlight(TreeItem item) = 0;

  virtual void SetBold(TreeItem item, bool bold) = 0;
  virtual bool IsBold(TreeItem item) const = 0;
  virtual void SetCheckState(TreeItem item, CheckState state) = 0;
  virtual CheckState GetCheckState(TreeItem item) const = 0;

  // Sorts the children of `item` by text, one level.
  virtual void SortChildren(TreeItem item) = 0;
  virtual void Redraw() {}

  TreeItem FirstChild(TreeItem item) const {
    const std::vector<TreeItem> children = Children(item);
    return children.empty() ? kNoItem : children.front();
  }
};

class RecordsList {
 public:
  virtual ~RecordsList() = default;

  virtual void InsertColumn(int index, const std::u16string& title, int width) = 0;
  virtual void DeleteColumn(int index) = 0;
  virtual int ColumnCount() const = 0;
  virtual std::u16string ColumnTitle(int index) const = 0;

  // Inserts a whole row at `index`: texts[0] is the item, the rest its
  // sub-items 1, 2, ... Returns the index the row took.
  virtual int InsertRow(int index, const std::vector<std::u16string>& texts) = 0;
  virtual void SetSubItem(int row, int column, const std::u16string& text) = 0;
  virtual void DeleteRow(int index) = 0;
  virtual void DeleteAllRows() = 0;
  virtual int RowCount() const = 0;
  virtual std::u16string Text(int row, int column) const = 0;

  virtual void SetSelected(int row, bool selected) = 0;
  virtual std::vector<int> SelectedRows() const = 0;
  virtual void Redraw() {}
};

class TextView {
 public:
  virtual ~TextView() = default;
  virtual void SetText(const std::u16string& text) = 0;
  virtual std::u16string Text() const = 0;
  virtual void ClearSelection() {}
};

// A line of text: the records panel's status label, the caption bar.
class Label {
 public:
  virtual ~Label() = default;
  virtual void SetText(const std::u16string& text) = 0;
  virtual std::u16string Text() const = 0;
};

class ProgressBar {
 public:
  virtual ~ProgressBar() = default;
  virtual void SetRange(std::int32_t low, std::int32_t high) = 0;
  virtual void SetPos(std::int32_t position) = 0;
  virtual std::int32_t Pos() const = 0;
  virtual std::int32_t Low() const = 0;
  virtual std::int32_t High() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
};

class Button {
 public:
  virtual ~Button() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
};

// The log pane's list: one line per item.
class LogList {
 public:
  virtual ~LogList() = default;
  virtual void InsertLine(int index, const std::u16string& text) = 0;
  virtual void SetLine(int index, const std::u16string& text) = 0;
  virtual int LineCount() const = 0;
  virtual std::u16string Line(int index) const = 0;
};

enum class Icon { kInformation, kQuestion, kError };
enum class Answer { kOk, kYes, kNo };

struct FileDialogOptions {
  bool save = false;           // Save As, else Open
  std::string defaultExtension;
  std::string fileName;        // suggested name
  std::string filter;          // "*.csv||", ".mdf Files (*.mdf)|*mdf||", ...
};

// Message boxes and the file and folder dialogs.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows `text`; `yesNo` asks a question and returns kYes or kNo, otherwise kOk.
  virtual Answer MessageBox(const std::u16string& text, const std::u16string& caption, Icon icon, bool yesNo) = 0;
  // The chosen path, or nothing when cancelled.
  virtual std::optional<std::string> ChooseFile(const FileDialogOptions& options) = 0;
  virtual std::optional<std::string> ChooseFolder(const std::u16string& title) = 0;
};

// The records panel shows either the records view (records list, status label,
// paging buttons) or the text view.
enum class PanelView { kRecords, kText };

class RecordsPanel {
 public:
  virtual ~RecordsPanel() = default;
  virtual void ShowView(PanelView view) = 0;
  virtual PanelView View() const = 0;
};

// Every control of the main window the shell drives, in one place.
struct FrameControls {
  TreeControl* tree = nullptr;
  RecordsList* records = nullptr;
  TextView* text = nullptr;
  Label* status = nullptr;    // the records panel's page status
  Label* caption = nullptr;   // the caption bar: the current activity
  ProgressBar* progress = nullptr;
  Button* previous = nullptr;  // Previous Records
  Button* next = nullptr;      // Next Records
  RecordsPanel* panel = nullptr;
  LogList* log = nullptr;
  Dialogs* dialogs = nullptr;
};

}  // namespace quillmark::platform
