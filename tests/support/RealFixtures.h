// The real database files written by SQL Server (../shared/fixtures/real, or the
// folder named by QUILLMARK_FIXTURES). Tests that need them skip when the folder
// is missing, except under CI, where a missing folder fails.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillmark::testing {

// The fixtures folder, or empty when there is none.
std::filesystem::path RealFixturesFolder();
// Every .mdf file of the folder, sorted by name.
std::vector<std::filesystem::path> RealFixtureFiles();
std::filesystem::path RealFixture(const std::string& name);

// What the fixtures' README states about each file.
struct RealFixtureFacts {
  std::string file;
  int version;
  int createVersion;
  std::u16string databaseName;
  std::int64_t collationId;
  int pageCount;
};
const std::vector<RealFixtureFacts>& KnownRealFixtures();

}  // namespace quillmark::testing

// Skips the current test when the real fixtures are missing (fails under CI).
#define QM_REQUIRE_REAL_FIXTURES()                                                                 \
  do {                                                                                             \
    if (::quillmark::testing::RealFixturesFolder().empty()) {                                      \
      const char* ci = std::getenv("CI");                                                          \
      if (ci && std::string(ci) == "true") FAIL() << "real fixtures missing under CI";             \
      GTEST_SKIP() << "real fixtures not found: set QUILLMARK_FIXTURES to ../shared/fixtures/real"; \
    }                                                                                              \
  } while (0)
