// Rewrites a copy of a database file into one of the crafted shapes the
// hardening tests build (builder/CraftedShapes.h), to try every command on it.
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>

#include "builder/CraftedShapes.h"

int main(int argc, char** argv) {
  namespace builder = quillmark::testing;
  CLI::App app{"Writes a copy of a database file rewritten into a crafted shape.", "quillmark-make-shape"};
  std::string shape;
  std::string source;
  std::string target;
  const std::map<std::string, int> shapes{
      {"shared-fragment", 0}, {"shared-row", 1}, {"shared-object-row", 2}, {"overlapping-fragments", 3}};
  app.add_option("SHAPE", shape, "shared-fragment, shared-row, shared-object-row or overlapping-fragments")
      ->required()
      ->check(CLI::IsMember(shapes));
  app.add_option("SOURCE", source, "The database file to copy")->required()->check(CLI::ExistingFile);
  app.add_option("TARGET", target, "The file to write")->required();
  CLI11_PARSE(app, argc, argv);

  std::ifstream in(source, std::ios::binary);
  builder::Bytes file(std::istreambuf_iterator<char>(in), {});
  builder::ShapeChange change;
  switch (shapes.at(shape)) {
    case 0: change = builder::ShapeSharedFragment(file); break;
    case 1: change = builder::ShapeSharedRow(file); break;
    case 2: change = builder::ShapeSharedObjectRow(file); break;
    default: change = builder::ShapeOverlappingFragments(file); break;
  }
  builder::WriteFile(target, file);
  std::cout << target << ": " << change.pages.size() << " pages written, " << change.slotsClaimed
            << " slots claimed, " << change.pointersRewritten << " pointers rewritten\n";
  return change.pages.empty() ? 1 : 0;
}
