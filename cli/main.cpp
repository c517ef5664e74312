#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) { return quillmark::cli::RunCli(argc, argv, std::cout, std::cerr); }
