#include "platform/ReadOnlyFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "builder/FixtureBuilder.h"

namespace quillmark::platform {
namespace {

using quillmark::testing::TempDir;
using quillmark::testing::WriteFile;

TEST(ReadOnlyFile, ShortReadAtTheEndLeavesTheRestUntouched) {
  TempDir dir;
  WriteFile(dir / "f", {1, 2, 3, 4, 5});
  auto file = ReadOnlyFile::Open((dir / "f").string());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Length(), 5u);
  std::uint8_t buffer[4] = {9, 9, 9, 9};
  EXPECT_EQ(file->ReadAt(3, buffer, 4), 2u);
  EXPECT_EQ(buffer[0], 4);
  EXPECT_EQ(buffer[1], 5);
  EXPECT_EQ(buffer[2], 9);
  EXPECT_EQ(file->ReadAt(5000000000ULL, buffer, 4), 0u);  // far past the end, 64-bit offset
  EXPECT_EQ(file->ReadAt(~0ULL, buffer, 4), 0u);
}

TEST(ReadOnlyFile, RefusesMissingFilesFoldersAndPipes) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ReadOnlyFile::Open((dir / "missing").string()));
  EXPECT_FALSE(ReadOnlyFile::Open(dir.path().string()));
  EXPECT_FALSE(ReadOnlyFile::Open((dir / "pipe").string()));  // returns at once, no writer needed
}

}  // namespace
}  // namespace quillmark::platform
