// Runs quillmark-cli in-process and splits what it printed.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "engine/DatabaseFile.h"
#include "builder/FixtureBuilder.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

inline CliRun RunCommand(const std::vector<std::string>& args) {
  std::vector<const char*> argv{"quillmark-cli"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out;
  std::ostringstream err;
  CliRun run;
  run.code = cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The JSON a successful command printed; null when it failed.
inline nlohmann::json RunJson(const std::vector<std::string>& args) {
  CliRun run = RunCommand(args);
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  return run.code == 0 ? nlohmann::json::parse(run.out) : nlohmann::json();
}

// A refused command: exit code 1, nothing on stdout, one line on stderr holding `text`.
inline void ExpectOneLineError(const CliRun& run, const std::string& text) {
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

// The records of an RFC 4180 text whose every line ends in CRLF.
inline std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      field += '"';
      ++i;
    } else if (c == '"' && (quoted || field.empty())) {
      quoted = !quoted;
    } else if (quoted || (c != ',' && c != '\r')) {
      EXPECT_TRUE(quoted || c != '\n') << "a line break outside quotes ends no record";
      field += c;
    } else {
      record.push_back(std::move(field));
      field.clear();
      if (c == ',') continue;
      EXPECT_EQ(text.substr(i, 2), "\r\n");
      records.push_back(std::move(record));
      record.clear();
      ++i;
    }
  }
  EXPECT_TRUE(record.empty() && field.empty()) << "the last line has no CRLF";
  return records;
}

// The output split into blocks at each line starting with `marker`; the text
// before the first marker is dropped.
inline std::vector<std::string> BlocksStartingWith(const std::string& text, const std::string& marker) {
  std::vector<std::string> blocks;
  std::size_t at = text.rfind(marker, 0) == 0 ? 0 : text.find("\n" + marker);
  while (at != std::string::npos) {
    if (text[at] == '\n') ++at;
    std::size_t next = text.find("\n" + marker, at);
    blocks.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  return blocks;
}

// The value of the first "name = value" cell: up to the end of the line or the
// next cell (two blanks). An empty value ends its line at "name =".
inline std::string FieldValue(const std::string& text, const std::string& name) {
  std::size_t at = text.find(name + " =");
  if (at == std::string::npos) return "<missing " + name + ">";
  at += name.size() + 2;
  if (at < text.size() && text[at] == ' ') ++at;
  std::size_t end = std::min(text.find('\n', at), text.find("  ", at));
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The page of `map` with the highest score; a score below 0 rules a page out.
template <typename Score>
PageId HighestScoringPage(const PageMap& map, Score score) {
  PageId best{};
  std::int64_t most = -1;
  for (const auto& [key, pages] : map)
    for (const PageEntry& entry : pages)
      if (std::int64_t value = score(entry.Page()); value > most) {
        most = value;
        best = entry.Page();
      }
  return best;
}

// A small database written to a temporary folder: MinimalDatabase with `pages` set.
class BuiltDatabase {
 public:
  explicit BuiltDatabase(FileBuilder file) : path_((dir_ / "built.mdf").string()) { file.Write(path_); }
  const std::string& path() const { return path_; }

 private:
  TempDir dir_;
  std::string path_;
};

}  // namespace quillmark::testing
