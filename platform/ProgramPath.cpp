#include "platform/ProgramPath.h"

#include <system_error>

namespace quillmark::platform {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || self.empty()) return std::filesystem::current_path(error);
  return self.parent_path();
}

std::filesystem::path ProgramDataFile(std::string_view name) { return ProgramDataFile(name, ProgramFolder()); }

std::filesystem::path ProgramDataFile(std::string_view name, const std::filesystem::path& folder) {
  std::filesystem::path beside = folder / name;
  std::error_code error;
  if (std::filesystem::exists(beside, error)) return beside;
  std::filesystem::path installed = folder.parent_path() / "share" / "quillmark" / name;
  if (std::filesystem::exists(installed, error)) return installed;
  return beside;
}

}  // namespace quillmark::platform
