#include "platform/TreeRules.h"

#include <algorithm>

namespace quillmark::platform {
namespace {

char16_t FoldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

void MoveSelection(TreeControl& tree, TreeItem hit) {
  tree.Select(kNoItem);
  tree.Select(hit);
  tree.SetDropHighlight(hit);
}

void SetSubtree(TreeControl& tree, TreeItem item, CheckState state) {
  tree.SetCheckState(item, state);
  for (TreeItem child : tree.Children(item)) SetSubtree(tree, child, state);
}

struct TickCount {
  std::size_t ticked = 0;
  std::size_t total = 0;
};

void CountDescendants(const TreeControl& tree, TreeItem item, TickCount& count) {
  for (TreeItem child : tree.Children(item)) {
    ++count.total;
    if (tree.GetCheckState(child) == CheckState::kTicked) ++count.ticked;
    CountDescendants(tree, child, count);
  }
}

CheckState StateFromDescendants(const TreeControl& tree, TreeItem item) {
  TickCount count;
  CountDescendants(tree, item, count);
  if (count.ticked == 0) return CheckState::kClear;
  return count.ticked == count.total ? CheckState::kTicked : CheckState::kPartly;
}

}  // namespace

bool TreeTextLess(const std::u16string& a, const std::u16string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return FoldCase(x) < FoldCase(y); });
}

void LeftButtonDown(TreeControl& tree, TreeItem hit, std::uint32_t hitFlags, MessageTarget* owner) {
  MoveSelection(tree, hit);
  if (hit != kNoItem && (hitFlags & kHitOnLabel) != 0)
    Send(owner, WM_APP_OBJECT_SELECTED, hitFlags, static_cast<LParam>(hit));
}

void RightButtonDown(TreeControl& tree, TreeItem hit) { MoveSelection(tree, hit); }

void ClickCheckBox(TreeControl& tree, TreeItem item) {
  if (item == kNoItem) return;
  const bool tick = tree.GetCheckState(item) != CheckState::kTicked;
  SetSubtree(tree, item, tick ? CheckState::kTicked : CheckState::kClear);
  for (TreeItem up = tree.Parent(item); up != kNoItem; up = tree.Parent(up))
    tree.SetCheckState(up, StateFromDescendants(tree, up));
}

}  // namespace quillmark::platform
