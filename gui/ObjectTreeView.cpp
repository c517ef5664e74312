#include "gui/ObjectTreeView.h"

#include <QHeaderView>
#include <QIcon>
#include <QMouseEvent>
#include <algorithm>

#include "gui/QtText.h"
#include "platform/TreeRules.h"

namespace quillmark::gui {
namespace {

Qt::CheckState ToQt(platform::CheckState state) {
  switch (state) {
    case platform::CheckState::kTicked:
      return Qt::Checked;
    case platform::CheckState::kPartly:
      return Qt::PartiallyChecked;
    default:
      return Qt::Unchecked;
  }
}

}  // namespace

ObjectTreeView::ObjectTreeView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  header()->hide();
  setRootIsDecorated(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  setExpandsOnDoubleClick(false);
  setIconSize(QSize(16, 16));
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

platform::TreeItem ObjectTreeView::Handle(const QTreeWidgetItem* item) {
  return reinterpret_cast<platform::TreeItem>(item);
}

QTreeWidgetItem* ObjectTreeView::ToItem(platform::TreeItem item) const {
  return items_.count(item) ? reinterpret_cast<QTreeWidgetItem*>(item) : nullptr;
}

platform::TreeItem ObjectTreeView::InsertItem(const std::u16string& text, platform::TreeItem parent,
                                              platform::InsertAt where, std::intptr_t itemData) {
  QTreeWidgetItem* above = ToItem(parent);
  if (parent != platform::kNoItem && !above) return platform::kNoItem;
  static const QIcon icon(QStringLiteral(":/icons/item.svg"));
  auto* item = new QTreeWidgetItem(QStringList{Q(text)});
  // The check state is shown but changed only by the rules of ClickCheckBox.
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(itemData));
  item->setCheckState(0, Qt::Unchecked);
  item->setIcon(0, icon);
  const bool first = where == platform::InsertAt::kFirst;
  if (above) {
    if (first) above->insertChild(0, item);
    else above->addChild(item);
  } else if (first) {
    insertTopLevelItem(0, item);
  } else {
    addTopLevelItem(item);
  }
  items_.insert(Handle(item));
  return Handle(item);
}

void ObjectTreeView::DeleteAllItems() {
  clearSelection();
  dropHighlight_ = platform::kNoItem;
  items_.clear();
  clear();
}

std::u16string ObjectTreeView::ItemText(platform::TreeItem item) const {
  const QTreeWidgetItem* found = ToItem(item);
  return found ? U16(found->text(0)) : std::u16string();
}

std::intptr_t ObjectTreeView::ItemData(platform::TreeItem item) const {
  const QTreeWidgetItem* found = ToItem(item);
  return found ? static_cast<std::intptr_t>(found->data(0, Qt::UserRole).toLongLong()) : 0;
}

platform::TreeItem ObjectTreeView::Parent(platform::TreeItem item) const {
  const QTreeWidgetItem* found = ToItem(item);
  return found ? Handle(found->parent()) : platform::kNoItem;
}

std::vector<QTreeWidgetItem*> ObjectTreeView::ChildItems(QTreeWidgetItem* parent) const {
  std::vector<QTreeWidgetItem*> children;
  const int count = parent ? parent->childCount() : topLevelItemCount();
  for (int i = 0; i < count; ++i) children.push_back(parent ? parent->child(i) : topLevelItem(i));
  return children;
}

std::vector<platform::TreeItem> ObjectTreeView::Children(platform::TreeItem item) const {
  QTreeWidgetItem* parent = ToItem(item);
  std::vector<platform::TreeItem> children;
  if (item != platform::kNoItem && !parent) return children;
  for (QTreeWidgetItem* child : ChildItems(parent)) children.push_back(Handle(child));
  return children;
}

platform::TreeItem ObjectTreeView::Selection() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? platform::kNoItem : Handle(selected.front());
}

void ObjectTreeView::Select(platform::TreeItem item) {
  QTreeWidgetItem* found = ToItem(item);
  if (!found) {
    clearSelection();
    return;
  }
  setCurrentItem(found);
  found->setSelected(true);
}

void ObjectTreeView::SetDropHighlight(platform::TreeItem item) {
  dropHighlight_ = ToItem(item) ? item : platform::kNoItem;
}

void ObjectTreeView::SetBold(platform::TreeItem item, bool bold) {
  if (QTreeWidgetItem* found = ToItem(item)) {
    QFont font = found->font(0);
    font.setBold(bold);
    found->setFont(0, font);
  }
}

bool ObjectTreeView::IsBold(platform::TreeItem item) const {
  const QTreeWidgetItem* found = ToItem(item);
  return found && found->font(0).bold();
}

void ObjectTreeView::SetCheckState(platform::TreeItem item, platform::CheckState state) {
  if (QTreeWidgetItem* found = ToItem(item)) found->setCheckState(0, ToQt(state));
}

platform::CheckState ObjectTreeView::GetCheckState(platform::TreeItem item) const {
  const QTreeWidgetItem* found = ToItem(item);
  if (!found) return platform::CheckState::kClear;
  switch (found->checkState(0)) {
    case Qt::Checked:
      return platform::CheckState::kTicked;
    case Qt::PartiallyChecked:
      return platform::CheckState::kPartly;
    default:
      return platform::CheckState::kClear;
  }
}

void ObjectTreeView::SortChildren(platform::TreeItem item) {
  QTreeWidgetItem* parent = ToItem(item);
  if (item != platform::kNoItem && !parent) return;
  QList<QTreeWidgetItem*> children = parent ? parent->takeChildren() : QList<QTreeWidgetItem*>();
  if (!parent)
    while (topLevelItemCount() > 0) children.push_back(takeTopLevelItem(0));
  std::stable_sort(children.begin(), children.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return platform::TreeTextLess(U16(a->text(0)), U16(b->text(0)));
  });
  if (parent) parent->addChildren(children);
  else addTopLevelItems(children);
}

void ObjectTreeView::Redraw() { viewport()->update(); }

// ---- Where a point falls ----

QStyleOptionViewItem ObjectTreeView::ItemOption(const QTreeWidgetItem* item) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QModelIndex index = indexFromItem(item, 0);
  option.index = index;
  option.rect = visualRect(index);
  option.text = item->text(0);
  option.icon = item->icon(0);
  option.font = item->font(0);
  option.fontMetrics = QFontMetrics(option.font);
  option.checkState = item->checkState(0);
  option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasCheckIndicator |
                     QStyleOptionViewItem::HasDecoration;
  return option;
}

QRect ObjectTreeView::LabelRect(const QTreeWidgetItem* item) const {
  if (!item || visualItemRect(item).isEmpty()) return {};
  const QStyleOptionViewItem option = ItemOption(item);
  QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  text.setWidth(std::min(text.width(), option.fontMetrics.horizontalAdvance(option.text) + 2 * margin));
  return text;
}

QRect ObjectTreeView::CheckBoxRect(const QTreeWidgetItem* item) const {
  if (!item || visualItemRect(item).isEmpty()) return {};
  const QStyleOptionViewItem option = ItemOption(item);
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QRect ObjectTreeView::ExpanderRect(const QTreeWidgetItem* item) const {
  const QRect row = item ? visualItemRect(item) : QRect();
  if (row.isEmpty()) return {};
  return QRect(row.left() - indentation(), row.top(), indentation(), row.height());
}

std::uint32_t ObjectTreeView::HitTest(const QPoint& point, QTreeWidgetItem** item) const {
  *item = itemAt(point);
  if (!*item) return kHitNowhere;
  if (CheckBoxRect(*item).contains(point)) return kHitOnStateIcon;
  if (LabelRect(*item).contains(point)) return platform::kHitOnLabel;
  const QRect row = visualItemRect(*item);
  if (point.x() < row.left()) {
    if ((*item)->childCount() > 0 && ExpanderRect(*item).contains(point)) return kHitOnButton;
    return kHitOnIndent;
  }
  if (point.x() > LabelRect(*item).right()) return kHitOnRight;
  return kHitOnIcon;
}

void ObjectTreeView::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = nullptr;
  const std::uint32_t flags = HitTest(event->position().toPoint(), &item);
  pressTaken_ = false;
  if (flags == kHitOnButton) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  pressTaken_ = true;
  event->accept();
  setFocus(Qt::MouseFocusReason);
  if (event->button() == Qt::LeftButton) {
    if (flags == kHitOnStateIcon) platform::ClickCheckBox(*this, Handle(item));
    else platform::LeftButtonDown(*this, Handle(item), flags, owner_);
  } else if (event->button() == Qt::RightButton) {
    platform::RightButtonDown(*this, Handle(item));
  }
}

void ObjectTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (pressTaken_) {
    event->accept();
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void ObjectTreeView::mouseMoveEvent(QMouseEvent* event) {
  // No rubber band and no drag: a press selects only as the rules say.
  if (event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QTreeWidget::mouseMoveEvent(event);
}

// A double click opens or closes the item; its first click has already been
// taken as a press.
void ObjectTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = nullptr;
  const std::uint32_t flags = HitTest(event->position().toPoint(), &item);
  event->accept();
  if (event->button() != Qt::LeftButton || !item) return;
  if (flags == kHitOnStateIcon) platform::ClickCheckBox(*this, Handle(item));
  else if (flags == kHitOnButton) QTreeWidget::mouseDoubleClickEvent(event);
  else item->setExpanded(!item->isExpanded());
}

}  // namespace quillmark::gui
