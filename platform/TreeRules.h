// What every backend's tree control does the same way: the order its sort
// gives, the selection a mouse click leaves with the notification of a label
// click, and the smart check boxes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Controls.h"
#include "platform/Messages.h"

namespace quillmark::platform {

// The order of a sort of children: a plain case-insensitive compare, A-Z folded
// to a-z, then code unit by code unit (so "_" sorts before the letters; no
// locale applies).
bool TreeTextLess(const std::u16string& a, const std::u16string& b);

// A left click: the current selection loses its selected state, the hit item
// (kNoItem for blank space) becomes the selected and drop-highlighted item;
// when an item was hit on its label, `owner` is told with
// WM_APP_OBJECT_SELECTED (wParam the hit flags, lParam the item).
void LeftButtonDown(TreeControl& tree, TreeItem hit, std::uint32_t hitFlags, MessageTarget* owner);

// A right click: the same change of selection, without a notification.
void RightButtonDown(TreeControl& tree, TreeItem hit);

// A click on an item's check box: the item's tick is inverted and handed down
// to every descendant; each ancestor then shows kTicked when all its
// descendants are ticked, kPartly when some are and kClear when none is.
void ClickCheckBox(TreeControl& tree, TreeItem item);

}  // namespace quillmark::platform
