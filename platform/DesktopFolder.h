// The current user's desktop folder, where the log files go unless the user
// picks another folder.
#pragma once

#include <filesystem>

namespace quillmark::platform {

// $XDG_DESKTOP_DIR when set; else the XDG_DESKTOP_DIR line of the user's
// user-dirs.dirs ($XDG_CONFIG_HOME, or ~/.config); else $HOME/Desktop. The
// folder is created when missing; when it cannot be, $HOME, and without a home
// the current folder.
std::filesystem::path DesktopFolder();

}  // namespace quillmark::platform
