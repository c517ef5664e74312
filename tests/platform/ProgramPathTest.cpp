#include "platform/ProgramPath.h"

#include <gtest/gtest.h>

#include "builder/FixtureBuilder.h"

namespace quillmark::platform {
namespace {

using quillmark::testing::TempDir;
using quillmark::testing::WriteFile;

// A build tree keeps the shipped files beside the programs; an installed
// program finds them in <prefix>/share/quillmark.
TEST(ProgramDataFile, BesideTheProgramFirstThenTheInstalledShareFolder) {
  TempDir prefix;
  const std::filesystem::path bin = prefix / "bin";
  const std::filesystem::path share = prefix / "share" / "quillmark";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share);
  WriteFile(share / "collation.txt", {'x'});
  EXPECT_EQ(ProgramDataFile("collation.txt", bin), share / "collation.txt");

  WriteFile(bin / "collation.txt", {'y'});
  EXPECT_EQ(ProgramDataFile("collation.txt", bin), bin / "collation.txt");

  // Neither: the path beside the program, so an error message names it.
  EXPECT_EQ(ProgramDataFile("guide.html", bin), bin / "guide.html");
}

}  // namespace
}  // namespace quillmark::platform
