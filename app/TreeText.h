// A tree control's items as indented text: node texts exactly, children in
// display order, bold items (the tables with rows and columns) marked with "*"
// after the name. What tests and the command line compare trees by.
#pragma once

#include <string>

#include "platform/Controls.h"

namespace quillmark::app {

std::string TreeText(const platform::TreeControl& tree);

}  // namespace quillmark::app
