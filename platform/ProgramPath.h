// Where the running program lives (the folder that holds collation.txt).
#pragma once

#include <filesystem>

namespace quillmark::platform {

// The folder of the running executable; the current folder when it cannot be found.
std::filesystem::path ProgramFolder();

}  // namespace quillmark::platform
