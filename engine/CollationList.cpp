#include "engine/CollationList.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/ProgramPath.h"

namespace quillmark {

std::int64_t ParseCollationNumber(const char* text) {
  errno = 0;
  long long value = std::strtoll(text, nullptr, 10);  // saturates on overflow
  if (value >= 0x80000000LL && value <= 0xFFFFFFFFLL) value -= 0x100000000LL;
  return value;
}

namespace {

std::int32_t ToCodePage(std::int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

}  // namespace

void ParseCollationList(std::istream& in, CollationMap& map) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t firstTab = line.find('\t');
    if (line.empty() || firstTab == std::string::npos) continue;
    std::string rest = line.substr(firstTab + 1);
    std::size_t secondTab = rest.find('\t');
    if (rest.empty() || secondTab == std::string::npos) continue;
    std::int64_t id = ParseCollationNumber(rest.c_str());
    std::int32_t codePage = ToCodePage(ParseCollationNumber(rest.c_str() + secondTab + 1));
    map[id] = CollationEntry{line.substr(0, firstTab), codePage};
  }
}

void LoadCollationList(const std::filesystem::path& path, CollationMap& map) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  ParseCollationList(in, map);
}

void LoadCollationList() {
  LoadCollationList(platform::ProgramDataFile("collation.txt"), Settings().collationMap);
}

}  // namespace quillmark
