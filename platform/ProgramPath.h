// Where the running program lives, and where it finds the files it ships
// with (the collation list, the user guide).
#pragma once

#include <filesystem>
#include <string_view>

namespace quillmark::platform {

// The folder of the running executable; the current folder when it cannot be found.
std::filesystem::path ProgramFolder();

// A file the program ships with: `name` in the program's own folder, as a
// build tree lays it out, or else in `<prefix>/share/quillmark` of an
// installed program (the program in `<prefix>/bin`). When neither exists the
// path in the program's folder is returned, so a caller's error names it.
std::filesystem::path ProgramDataFile(std::string_view name);
std::filesystem::path ProgramDataFile(std::string_view name, const std::filesystem::path& programFolder);

}  // namespace quillmark::platform
