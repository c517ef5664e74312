#include "app/TreeText.h"

#include <functional>

#include "platform/CodePage.h"

namespace quillmark::app {

std::string TreeText(const platform::TreeControl& tree) {
  std::string text;
  const std::function<void(platform::TreeItem, int)> walk = [&](platform::TreeItem item, int depth) {
    text += std::string(2 * static_cast<std::size_t>(depth), ' ') + platform::Utf16ToUtf8(tree.ItemText(item));
    if (tree.IsBold(item)) text += '*';
    text += '\n';
    for (const platform::TreeItem child : tree.Children(item)) walk(child, depth + 1);
  };
  for (const platform::TreeItem top : tree.Children(platform::kNoItem)) walk(top, 0);
  return text;
}

}  // namespace quillmark::app
