// The tree of the "MS SQL Database Objects" pane over a QTreeWidget. It keeps
// the rules every backend's tree shares (platform/TreeRules): a left press
// moves the selection and reports a press on an item's label to its owner; a
// right press moves the selection silently; a press on a check box ticks the
// smart check boxes and selects nothing; a press on an expander only expands.
#pragma once

#include <QTreeWidget>
#include <unordered_set>

#include "platform/Controls.h"
#include "platform/Messages.h"

namespace quillmark::gui {

// Where a point falls on an item (the tree control's hit-test flags).
inline constexpr std::uint32_t kHitNowhere = 0x0001;
inline constexpr std::uint32_t kHitOnIcon = 0x0002;
inline constexpr std::uint32_t kHitOnIndent = 0x0008;
inline constexpr std::uint32_t kHitOnButton = 0x0010;
inline constexpr std::uint32_t kHitOnRight = 0x0020;
inline constexpr std::uint32_t kHitOnStateIcon = 0x0040;

class ObjectTreeView : public QTreeWidget, public platform::TreeControl {
  Q_OBJECT
 public:
  explicit ObjectTreeView(QWidget* parent = nullptr);

  // Told of a press on an item's label (the main frame).
  void SetOwner(platform::MessageTarget* owner) { owner_ = owner; }

  platform::TreeItem InsertItem(const std::u16string& text, platform::TreeItem parent, platform::InsertAt where,
                                std::intptr_t data) override;
  void DeleteAllItems() override;
  std::u16string ItemText(platform::TreeItem item) const override;
  std::intptr_t ItemData(platform::TreeItem item) const override;
  platform::TreeItem Parent(platform::TreeItem item) const override;
  std::vector<platform::TreeItem> Children(platform::TreeItem item) const override;
  std::size_t Count() const override { return items_.size(); }
  platform::TreeItem Selection() const override;
  void Select(platform::TreeItem item) override;
  platform::TreeItem DropHighlight() const override { return dropHighlight_; }
  void SetDropHighlight(platform::TreeItem item) override;
  void SetBold(platform::TreeItem item, bool bold) override;
  bool IsBold(platform::TreeItem item) const override;
  void SetCheckState(platform::TreeItem item, platform::CheckState state) override;
  platform::CheckState GetCheckState(platform::TreeItem item) const override;
  void SortChildren(platform::TreeItem item) override;
  void Redraw() override;

  static platform::TreeItem Handle(const QTreeWidgetItem* item);
  QTreeWidgetItem* ToItem(platform::TreeItem item) const;

  // The parts of a shown item, in viewport coordinates (empty when the item is
  // not shown): its text, its check box, its expander.
  QRect LabelRect(const QTreeWidgetItem* item) const;
  QRect CheckBoxRect(const QTreeWidgetItem* item) const;
  QRect ExpanderRect(const QTreeWidgetItem* item) const;
  // The item under `point` and the hit-test flags of the point.
  std::uint32_t HitTest(const QPoint& point, QTreeWidgetItem** item) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QStyleOptionViewItem ItemOption(const QTreeWidgetItem* item) const;
  std::vector<QTreeWidgetItem*> ChildItems(QTreeWidgetItem* parent) const;

  platform::MessageTarget* owner_ = nullptr;
  std::unordered_set<platform::TreeItem> items_;
  platform::TreeItem dropHighlight_ = platform::kNoItem;
  bool pressTaken_ = false;  // the last press was handled here, not by the view
};

}  // namespace quillmark::gui
