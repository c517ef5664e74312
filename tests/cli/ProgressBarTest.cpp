#include "cli/ProgressBar.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quillmark::cli {
namespace {

constexpr const char* kRedraw = "\r\x1b[K";

std::vector<std::string> Draws(const std::string& text) {
  std::vector<std::string> draws;
  for (std::size_t at = text.find(kRedraw); at != std::string::npos;) {
    std::size_t next = text.find(kRedraw, at + 1);
    draws.push_back(text.substr(at + 4, next == std::string::npos ? std::string::npos : next - at - 4));
    at = next;
  }
  return draws;
}

TEST(CliProgressBar, RedrawsInPlaceOncePerPercent) {
  std::ostringstream out;
  ProgressBar bar(out);
  bar.SetRange(400);
  bar.SetText("Mapping Database Objects...........");
  for (std::uint64_t position = 0; position <= 400; ++position) bar.SetPosition(position);
  std::vector<std::string> draws = Draws(out.str());

  ASSERT_EQ(draws.size(), 1 + 100);  // the text at 0%, then each percent from 1 to 100
  EXPECT_EQ(draws.front(), "Mapping Database Objects [....................]   0%");
  EXPECT_EQ(draws[50], "Mapping Database Objects [##########..........]  50%");
  EXPECT_EQ(draws.back(), "Mapping Database Objects [####################] 100%");
  EXPECT_EQ(out.str().find('\n'), std::string::npos);
}

TEST(CliProgressBar, ClearLeavesAnEmptyLineOnlyAfterDrawing) {
  std::ostringstream out;
  ProgressBar bar(out);
  bar.Clear();
  EXPECT_EQ(out.str(), "");
  bar.SetText("Checking for file corruption");
  bar.Clear();
  EXPECT_TRUE(out.str().ends_with(std::string("]   0%") + kRedraw)) << out.str();
}

// A second pass starts from 0% under its own text, whatever the first left.
TEST(CliProgressBar, StartBeginsANewPassAtZero) {
  std::ostringstream out;
  ProgressBar bar(out);
  bar.SetRange(10);
  bar.SetText("Mapping Database Objects");
  bar.SetPosition(10);
  bar.Clear();
  bar.Start("Exporting Orders", 4);
  bar.SetPosition(1);
  const std::vector<std::string> draws = Draws(out.str());
  ASSERT_GE(draws.size(), 2u);
  EXPECT_EQ(draws[draws.size() - 2], "Exporting Orders [....................]   0%");
  EXPECT_EQ(draws.back(), "Exporting Orders [#####...............]  25%");
}

}  // namespace
}  // namespace quillmark::cli
