#include "app/Guide.h"

#include <system_error>

#include "platform/ProgramPath.h"

namespace quillmark::app {

std::filesystem::path FindGuide(const std::filesystem::path& programFolder) {
  const std::filesystem::path candidates[] = {
      programFolder / "guide.html",
      programFolder / ".." / "share" / "doc" / "quillmark" / "guide.html",
  };
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return std::filesystem::weakly_canonical(candidate, error);
  }
  return {};
}

std::string GuideAddress() {
  const std::filesystem::path guide = FindGuide(platform::ProgramFolder());
  return guide.empty() ? std::string() : "file://" + guide.string();
}

}  // namespace quillmark::app
