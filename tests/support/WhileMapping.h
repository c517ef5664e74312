// A main frame's message hook that calls an action once, on the
// user-interface thread, while a scan maps the file's pages.
#pragma once

#include <functional>
#include <string>

#include "engine/DatabaseFile.h"
#include "platform/Messages.h"

namespace quillmark::testing {

inline std::function<void(platform::MessageId, platform::WParam, platform::LParam)> OnceWhileMapping(
    std::function<void()> action) {
  return [done = false, action = std::move(action)](platform::MessageId id, platform::WParam,
                                                    platform::LParam lParam) mutable {
    if (done || id != platform::WM_APP_PANEL_TEXT || std::string(reinterpret_cast<const char*>(lParam)) != kMappingObjects)
      return;
    done = true;
    action();
  };
}

}  // namespace quillmark::testing
