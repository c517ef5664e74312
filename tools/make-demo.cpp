// Writes the demo database: quillmark-make-demo <path of the .mdf> [--sql2000]
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "tests/support/DatabaseBuilder.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::string(argv[2]) != "--sql2000")) {
    std::cerr << "usage: quillmark-make-demo <path of the .mdf> [--sql2000]\n";
    return 2;
  }
  try {
    namespace testing = quillmark::testing;
    const std::filesystem::path path = std::filesystem::absolute(argv[1]);
    const testing::Layout layout = argc == 3 ? testing::Layout::kSql2000 : testing::Layout::kSql2005Plus;
    std::filesystem::create_directories(path.parent_path());
    testing::DemoShop(layout).Write(path.parent_path(), path.filename().string());
    std::cout << path.string() << "\n";
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "quillmark-make-demo: " << error.what() << "\n";
    return 1;
  }
}
