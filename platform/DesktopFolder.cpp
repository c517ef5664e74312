#include "platform/DesktopFolder.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace quillmark::platform {
namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// A line of user-dirs.dirs reads XDG_DESKTOP_DIR="$HOME/Desktop": the value is
// quoted and is either absolute or starts with $HOME.
fs::path FromUserDirs(const std::string& home) {
  const std::string configHome = Environment("XDG_CONFIG_HOME");
  fs::path file;
  if (!configHome.empty()) file = fs::path(configHome) / "user-dirs.dirs";
  else if (!home.empty()) file = fs::path(home) / ".config" / "user-dirs.dirs";
  else return {};

  std::ifstream in(file);
  const std::string key = "XDG_DESKTOP_DIR=";
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    const std::string homeVariable = "$HOME";
    if (value.compare(0, homeVariable.size(), homeVariable) == 0) {
      if (home.empty()) return {};
      value = home + value.substr(homeVariable.size());
    }
    if (!value.empty() && value.front() == '/') return value;
  }
  return {};
}

fs::path ChosenDesktop(const std::string& home) {
  const std::string fromEnvironment = Environment("XDG_DESKTOP_DIR");
  if (!fromEnvironment.empty()) return fromEnvironment;
  if (fs::path fromFile = FromUserDirs(home); !fromFile.empty()) return fromFile;
  if (!home.empty()) return fs::path(home) / "Desktop";
  return {};
}

bool IsDirectory(const fs::path& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

}  // namespace

std::filesystem::path DesktopFolder() {
  const std::string home = Environment("HOME");
  const fs::path desktop = ChosenDesktop(home);
  std::error_code error;
  if (!desktop.empty()) {
    fs::create_directories(desktop, error);
    if (IsDirectory(desktop)) return desktop;
  }
  if (IsDirectory(home)) return home;
  return fs::current_path(error);
}

}  // namespace quillmark::platform
