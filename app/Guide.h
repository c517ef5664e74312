// The user guide that ships with the program, which Help opens: beside the
// program, or in the installation's documentation folder.
#pragma once

#include <filesystem>
#include <string>

namespace quillmark::app {

// `programFolder`/guide.html, else `programFolder`/../share/doc/quillmark/guide.html,
// whichever exists first; empty when neither does.
std::filesystem::path FindGuide(const std::filesystem::path& programFolder);

// The guide of the running program as a file address ("file:///..."), or
// empty when there is none (and Help then opens nothing).
std::string GuideAddress();

}  // namespace quillmark::app
