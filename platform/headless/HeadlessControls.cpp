#include "platform/headless/HeadlessControls.h"

#include <algorithm>

#include "platform/TreeRules.h"

namespace quillmark::platform::headless {

// ---- Tree ----

std::vector<TreeItem>& Tree::ChildList(TreeItem parent) {
  return parent == kNoItem ? topLevelLastFirst_ : items_.at(parent).childrenLastFirst;
}

TreeItem Tree::InsertItem(const std::u16string& text, TreeItem parent, InsertAt where, std::intptr_t data) {
  if (parent != kNoItem && !Exists(parent)) return kNoItem;
  const TreeItem item = next_++;
  items_[item] = Item{text, data, parent, {}, false, CheckState::kClear};
  std::vector<TreeItem>& siblings = ChildList(parent);
  siblings.insert(where == InsertAt::kFirst ? siblings.end() : siblings.begin(), item);
  return item;
}

void Tree::DeleteAllItems() {
  selection_ = kNoItem;
  dropHighlight_ = kNoItem;
  items_.clear();
  topLevelLastFirst_.clear();
}

std::u16string Tree::ItemText(TreeItem item) const {
  const auto found = items_.find(item);
  return found == items_.end() ? std::u16string() : found->second.text;
}

std::intptr_t Tree::ItemData(TreeItem item) const {
  const auto found = items_.find(item);
  return found == items_.end() ? 0 : found->second.data;
}

TreeItem Tree::Parent(TreeItem item) const {
  const auto found = items_.find(item);
  return found == items_.end() ? kNoItem : found->second.parent;
}

std::vector<TreeItem> Tree::Children(TreeItem item) const {
  const std::vector<TreeItem>* stored = &topLevelLastFirst_;
  if (item != kNoItem) {
    const auto found = items_.find(item);
    if (found == items_.end()) return {};
    stored = &found->second.childrenLastFirst;
  }
  return std::vector<TreeItem>(stored->rbegin(), stored->rend());
}

void Tree::SetBold(TreeItem item, bool bold) {
  if (Exists(item)) items_[item].bold = bold;
}

bool Tree::IsBold(TreeItem item) const { return Exists(item) && items_.at(item).bold; }

void Tree::SetCheckState(TreeItem item, CheckState state) {
  if (Exists(item)) items_[item].check = state;
}

CheckState Tree::GetCheckState(TreeItem item) const {
  return Exists(item) ? items_.at(item).check : CheckState::kClear;
}

void Tree::SortChildren(TreeItem item) {
  if (item != kNoItem && !Exists(item)) return;
  std::vector<TreeItem>& stored = ChildList(item);
  // Each child's text is looked up once, not at every comparison.
  std::vector<std::pair<const std::u16string*, TreeItem>> children;
  children.reserve(stored.size());
  for (auto child = stored.rbegin(); child != stored.rend(); ++child) children.emplace_back(&items_.at(*child).text, *child);
  std::stable_sort(children.begin(), children.end(),
                   [](const auto& a, const auto& b) { return TreeTextLess(*a.first, *b.first); });
  stored.clear();
  for (auto child = children.rbegin(); child != children.rend(); ++child) stored.push_back(child->second);
}

TreeItem Tree::Find(const std::vector<std::u16string>& path) const {
  TreeItem at = kNoItem;
  for (const std::u16string& text : path) {
    const std::vector<TreeItem> children = Children(at);
    const auto found =
        std::find_if(children.begin(), children.end(), [&](TreeItem child) { return ItemText(child) == text; });
    if (found == children.end()) return kNoItem;
    at = *found;
  }
  return at;
}

std::vector<std::u16string> Tree::ChildTexts(TreeItem item) const {
  std::vector<std::u16string> texts;
  for (TreeItem child : Children(item)) texts.push_back(ItemText(child));
  return texts;
}

// ---- List ----

void List::InsertColumn(int index, const std::u16string& title, int width) {
  index = std::clamp(index, 0, ColumnCount());
  columns_.insert(columns_.begin() + index, Column{title, width});
  for (Row& row : rows_)
    if (static_cast<int>(row.texts.size()) >= index) row.texts.insert(row.texts.begin() + index, std::u16string());
}

void List::DeleteColumn(int index) {
  if (index < 0 || index >= ColumnCount()) return;
  columns_.erase(columns_.begin() + index);
  for (Row& row : rows_)
    if (index < static_cast<int>(row.texts.size())) row.texts.erase(row.texts.begin() + index);
}

std::u16string List::ColumnTitle(int index) const {
  return index >= 0 && index < ColumnCount() ? columns_[index].title : std::u16string();
}

std::vector<int> List::ColumnWidths() const {
  std::vector<int> widths;
  for (const Column& column : columns_) widths.push_back(column.width);
  return widths;
}

int List::InsertRow(int index, const std::vector<std::u16string>& texts) {
  index = std::clamp(index, 0, RowCount());
  Row row;
  row.texts = texts;
  // A list keeps no more sub-items than it has columns (at least the item itself).
  row.texts.resize(std::max<std::size_t>(1, columns_.size()));
  rows_.insert(rows_.begin() + index, std::move(row));
  return index;
}

void List::SetSubItem(int row, int column, const std::u16string& text) {
  if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount()) return;
  rows_[row].texts[column] = text;
}

void List::DeleteRow(int index) {
  if (index >= 0 && index < RowCount()) rows_.erase(rows_.begin() + index);
}

std::u16string List::Text(int row, int column) const {
  if (row < 0 || row >= RowCount() || column < 0) return {};
  const std::vector<std::u16string>& texts = rows_[row].texts;
  return column < static_cast<int>(texts.size()) ? texts[column] : std::u16string();
}

void List::SetSelected(int row, bool selected) {
  if (row >= 0 && row < RowCount()) rows_[row].selected = selected;
}

std::vector<int> List::SelectedRows() const {
  std::vector<int> selected;
  for (int i = 0; i < RowCount(); ++i)
    if (rows_[i].selected) selected.push_back(i);
  return selected;
}

// ---- Log ----

void Log::InsertLine(int index, const std::u16string& text) {
  index = std::clamp(index, 0, LineCount());
  lines_.insert(lines_.begin() + index, text);
}

void Log::SetLine(int index, const std::u16string& text) {
  if (index >= 0 && index < LineCount()) lines_[index] = text;
}

std::u16string Log::Line(int index) const {
  return index >= 0 && index < LineCount() ? lines_[index] : std::u16string();
}

// ---- Dialogs ----

Answer ScriptedDialogs::MessageBox(const std::u16string& text, const std::u16string& caption, Icon icon,
                                   bool yesNo) {
  shown.push_back(Shown{text, caption, icon, yesNo});
  if (whileShown) whileShown(shown.back());
  if (!yesNo) return Answer::kOk;
  if (answers.empty()) return Answer::kYes;
  const Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::ChooseFile(const FileDialogOptions& options) {
  fileDialogs.push_back(options);
  if (files.empty()) return std::nullopt;
  std::optional<std::string> file = files.front();
  files.pop_front();
  return file;
}

std::optional<std::string> ScriptedDialogs::ChooseFolder(const std::u16string&) {
  if (folders.empty()) return std::nullopt;
  std::optional<std::string> folder = folders.front();
  folders.pop_front();
  return folder;
}

std::vector<std::u16string> ScriptedDialogs::Texts() const {
  std::vector<std::u16string> texts;
  for (const Shown& box : shown) texts.push_back(box.text);
  return texts;
}

}  // namespace quillmark::platform::headless
