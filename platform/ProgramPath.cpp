#include "platform/ProgramPath.h"

#include <system_error>

namespace quillmark::platform {

std::filesystem::path ProgramFolder() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || self.empty()) return std::filesystem::current_path(error);
  return self.parent_path();
}

}  // namespace quillmark::platform
