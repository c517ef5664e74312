// Help opens the guide beside the program, else the one of the installation's
// documentation folder; with neither there is no address to open.
#include <gtest/gtest.h>

#include <fstream>

#include "app/Guide.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::testing {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "<html></html>";
}

TEST(GuideTest, BesideTheProgramComesFirstThenTheDocumentationFolder) {
  TempDir dir;
  const fs::path bin = dir / "prefix/bin";
  fs::create_directories(bin);
  EXPECT_TRUE(app::FindGuide(bin).empty());
  Touch(dir / "prefix/share/doc/quillmark/guide.html");
  EXPECT_EQ(app::FindGuide(bin), fs::weakly_canonical(dir / "prefix/share/doc/quillmark/guide.html"));
  Touch(bin / "guide.html");
  EXPECT_EQ(app::FindGuide(bin), fs::weakly_canonical(bin / "guide.html"));
}

}  // namespace
}  // namespace quillmark::testing
